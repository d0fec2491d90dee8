// The window driver library on its own: the file dialog answer that has to
// survive a name field with the focus, the watcher's holding and judging of
// boxes and dialogs, and waits that keep the event loop going.

#include "ModalWatcher.h"
#include "Waiting.h"
#include "Widgets.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace std::chrono_literals;

class DriverTest : public QObject
{
    Q_OBJECT

private slots:
    void fileDialogTakesPathDespiteFocusedNameField();
    void fileDialogRefusingPathIsCancelled();
    void heldBoxIsRecordedOnceAndReleased();
    void inputAndOtherDialogs();
    void waitsRunTheEventLoop();
    void waiterChainsWatches();
    void runningTimerSkipsStoppedNamesakes();
};

namespace {

QString writeImage(const QTemporaryDir &dir, const QString &name)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write("image") != 5)
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// A file dialog as the window opens one: widgets, not the desktop's own.
void openDialog(QFileDialog &dialog, const QString &folder)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDirectory(folder);
    dialog.setModal(true);
    dialog.show();
}

} // namespace

// selectFile() leaves a name field that has the focus as it is, and accept()
// reads that field: what the user (or a stale answer) typed there must not
// win over the path chosen.
void DriverTest::fileDialogTakesPathDespiteFocusedNameField()
{
    QTemporaryDir dir;
    const QString wanted = writeImage(dir, QStringLiteral("wanted.bin"));
    const QString other = writeImage(dir, QStringLiteral("other.bin"));
    QFileDialog dialog;
    openDialog(dialog, dir.path());
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    auto *name = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    QVERIFY(name);
    name->setFocus();
    QTRY_VERIFY(name->hasFocus());
    name->setText(other);

    QVERIFY(driver::chooseFile(&dialog, wanted));
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.selectedFiles(), QStringList{wanted});
}

void DriverTest::fileDialogRefusingPathIsCancelled()
{
    QTemporaryDir dir;
    {
        QFileDialog dialog;
        openDialog(dialog, dir.path());
        QVERIFY(!driver::chooseFile(&dialog, dir.filePath(QStringLiteral("missing.bin"))));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }
    QFileDialog dialog;
    openDialog(dialog, dir.path());
    QVERIFY(!driver::chooseFile(&dialog, QString()));
    QVERIFY(!dialog.isVisible());
}

// A held box stays open across many polls, is recorded and announced once,
// and is answered as soon as the hold ends.
void DriverTest::heldBoxIsRecordedOnceAndReleased()
{
    driver::ModalWatcher watcher;
    watcher.setHoldBoxes(true);
    int announced = 0;
    int ticksWhileOpen = 0;
    QTimer ticks;
    ticks.setInterval(10);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        if (++ticksWhileOpen == 8)
            watcher.setHoldBoxes(false);
    });
    watcher.onEachBox([&](int index) {
        QCOMPARE(index, 0);
        ++announced;
        ticks.start();
    });
    bool returned = false;
    QTimer::singleShot(0, [&] {
        QMessageBox::warning(nullptr, QStringLiteral("Title"), QStringLiteral("Text"));
        returned = true;
    });
    QTRY_VERIFY(returned);
    QVERIFY(ticksWhileOpen >= 8);
    QCOMPARE(announced, 1);
    QCOMPARE(watcher.count(), 1);
    const driver::ModalRecord box = watcher.records().first();
    QCOMPARE(box.kind, QStringLiteral("QMessageBox"));
    QCOMPARE(box.title, QStringLiteral("Title"));
    QCOMPARE(box.text, QStringLiteral("Text"));
    QCOMPARE(box.icon, int(QMessageBox::Warning));
}

// Input dialogs take the queued answers in order and are cancelled when none
// is left; a modal widget the watcher does not know is closed and reported.
void DriverTest::inputAndOtherDialogs()
{
    driver::ModalWatcher watcher;
    QVector<int> reported;
    watcher.onEachDialog([&reported](int index) { reported.append(index); });
    watcher.queueInput(QStringLiteral("5291"));
    watcher.queueInput(QStringLiteral("0000"), false);

    QStringList answers;
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        bool returned = false;
        QTimer::singleShot(0, [&] {
            answers << QInputDialog::getText(nullptr, QStringLiteral("Password"), QStringLiteral("Code:"),
                                             QLineEdit::Password, QString(), &ok);
            returned = true;
        });
        QTRY_VERIFY(returned);
        answers.last() += ok ? QStringLiteral(" ok") : QStringLiteral(" cancelled");
    }
    QCOMPARE(answers, (QStringList{QStringLiteral("5291 ok"), QStringLiteral(" cancelled"),
                                   QStringLiteral(" cancelled")}));

    QDialog other;
    other.setWindowTitle(QStringLiteral("Other"));
    int result = -1;
    QTimer::singleShot(0, [&] { result = other.exec(); });
    QTRY_COMPARE(result, int(QDialog::Rejected));

    QCOMPARE(reported, (QVector<int>{0, 1, 2, 3}));
    const QVector<driver::ModalRecord> records = watcher.records();
    QCOMPARE(records.at(0).text, QStringLiteral("Code:"));
    QVERIFY(records.at(0).accepted);
    QVERIFY(!records.at(1).accepted);
    QCOMPARE(records.at(3).kind, QStringLiteral("QDialog"));
    QCOMPARE(records.at(3).title, QStringLiteral("Other"));
}

// A wait lets timers fire while it runs, ends as soon as its condition holds,
// and gives up when its time is over.
void DriverTest::waitsRunTheEventLoop()
{
    bool set = false;
    QTimer::singleShot(30, [&set] { set = true; });
    QElapsedTimer clock;
    clock.start();
    QVERIFY(driver::waitUntil([&set] { return set; }, 5000ms));
    QVERIFY(clock.elapsed() < 4000);

    clock.restart();
    QVERIFY(!driver::waitUntil([] { return false; }, 50ms));
    QVERIFY(clock.elapsed() >= 50);

    // A condition that holds already needs no turn of the loop: a timer due
    // at once does not fire.
    bool fired = false;
    QTimer::singleShot(0, [&fired] { fired = true; });
    QVERIFY(driver::waitUntil([] { return true; }, 50ms));
    QVERIFY(!fired);
    QTRY_VERIFY(fired);
}

// The demo's walk starts the next step's watch from the last one's end.
void DriverTest::waiterChainsWatches()
{
    driver::Waiter waiter;
    int first = 0;
    int second = 0;
    QStringList ends;
    waiter.watch([&first] { return ++first == 3; }, 5000ms, [&](bool met) {
        ends << QStringLiteral("first %1").arg(met);
        waiter.watch([&second] { return ++second == 2; }, 5000ms,
                     [&ends](bool met) { ends << QStringLiteral("second %1").arg(met); });
    });
    QTRY_COMPARE(ends.size(), 2);
    QCOMPARE(ends, (QStringList{QStringLiteral("first 1"), QStringLiteral("second 1")}));
    QCOMPARE(first, 3);
    QCOMPARE(second, 2);

    // A stopped watch never ends.
    bool ended = false;
    waiter.watch([] { return true; }, 5000ms, [&ended](bool) { ended = true; });
    waiter.stop();
    QVERIFY(!driver::waitUntil([&ended] { return ended; }, 50ms));
}

void DriverTest::runningTimerSkipsStoppedNamesakes()
{
    QObject window;
    auto *old = new QTimer(&window);
    old->setObjectName(QStringLiteral("pollTimer"));
    QCOMPARE(driver::runningTimer(&window, "pollTimer"), nullptr);
    auto *current = new QTimer(&window);
    current->setObjectName(QStringLiteral("pollTimer"));
    current->start(1000);
    QCOMPARE(driver::runningTimer(&window, "pollTimer"), current);
    QCOMPARE(driver::runningTimer(&window, "watchTimer"), nullptr);
}

QTEST_MAIN(DriverTest)
#include "tst_driver.moc"
