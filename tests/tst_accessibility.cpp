// What assistive technology sees of the window through Qt's accessibility
// interfaces, and the window driven from the keyboard alone.

#include "WindowHarness.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QQueue>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

const char *const kModeButtons[] = {"btnFullScreen", "btnAutoFraming", "btnVoiceTracking", "btnSmartGallery"};
const char kAccessCode[] = "5291";

QAccessibleInterface *accessible(QWidget *widget)
{
    return QAccessible::queryAccessibleInterface(widget);
}

// A window on the virtual camera driven from the keyboard alone: keys go to
// the widget that has the focus, and every box and dialog the window opens
// is answered with keystrokes too.
class KeyboardSession : public QObject
{
public:
    KeyboardSession()
        : camera(sim::VirtualCamera::instance())
    {
        camera.reset();
        camera.setReadWaits(false);
        window = std::make_unique<MainWindow>();
        window->show();
        m_answerTimer.setInterval(10);
        connect(&m_answerTimer, &QTimer::timeout, this, &KeyboardSession::answerModal);
        m_answerTimer.start();
    }
    ~KeyboardSession() override
    {
        m_answerTimer.stop();
        window.reset();
        camera.reset();
    }

    // The offscreen platform has no window manager to give the window its
    // activation back when a dialog closes; done here as one would.
    bool activate()
    {
        QApplication::setActiveWindow(window.get());
        return QTest::qWaitForWindowActive(window.get());
    }

    template <class T>
    T *find(const char *name) const
    {
        return window->findChild<T *>(QString::fromLatin1(name));
    }
    QString focusName() const
    {
        QWidget *focus = QApplication::focusWidget();
        return focus ? focus->objectName() : QString();
    }
    void press(Qt::Key key)
    {
        if (!QApplication::activeModalWidget() && QApplication::activeWindow() != window.get())
            activate();
        QWidget *focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : window.get(), key);
    }
    // Presses Tab until `name` has the focus; false after a whole round.
    bool tabTo(const char *name)
    {
        for (int i = 0; i < 40; ++i) {
            if (focusName() == QLatin1String(name))
                return true;
            press(Qt::Key_Tab);
        }
        return false;
    }
    // Shows or hides the extra settings: their button is never visible, so
    // it is clicked directly, and the code goes into its dialog by keyboard.
    void toggleExtraSettings(const QString &typed)
    {
        m_typing.enqueue(typed);
        find<QPushButton>("exitButton_2")->click();
    }

    // Texts of the message boxes answered, and of the dialogs dismissed.
    QStringList answered;

    sim::VirtualCamera &camera;
    std::unique_ptr<MainWindow> window;

private:
    void answerModal()
    {
        QWidget *modal = QApplication::activeModalWidget();
        QWidget *focus = QApplication::focusWidget();
        // Keys go where the focus is; until the dialog has it, wait.
        if (!modal || !focus || (focus != modal && !modal->isAncestorOf(focus)))
            return;
        if (modal->property("keyboardAnswered").toBool())
            return;
        modal->setProperty("keyboardAnswered", true);
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            answered << box->text();
            QTest::keyClick(focus, Qt::Key_Return);
        } else if (qobject_cast<QInputDialog *>(modal) && !m_typing.isEmpty()) {
            QTest::keyClicks(focus, m_typing.dequeue());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        } else {
            answered << modal->windowTitle();
            QTest::keyClick(focus, Qt::Key_Escape);
        }
    }

    QTimer m_answerTimer;
    QQueue<QString> m_typing;
};

bool extraSettingsShown(const KeyboardSession &session)
{
    return session.find<QWidget>("micRms1")->isVisible() && session.find<QWidget>("lpfOn")->isVisible();
}

// Both panels open, the upgrade panel through its button pressed with Space.
bool openBothPanels(KeyboardSession &session)
{
    if (!session.tabTo("upgradeMode"))
        return false;
    session.press(Qt::Key_Space);
    session.toggleExtraSettings(QLatin1String(kAccessCode));
    return QTest::qWaitFor([&session] {
        return session.find<QWidget>("StartUpd")->isVisible() && extraSettingsShown(session);
    });
}

} // namespace

class AccessibilityTest : public QObject
{
    Q_OBJECT

private slots:
    void rolesAndNames_data();
    void rolesAndNames();
    void everyControlIsNamed();
    void modeButtonsSayWhichIsSelected();
    void modeChosenThroughActions_data();
    void modeChosenThroughActions();
    void statusLinesFollowTheLabels();
    void progressBarExposesItsValue();
    void tabOrderFollowsTheWindow();
    void spacePressesEachButton_data();
    void spacePressesEachButton();
    void keyboardAppliesAMode();
    void accessCodeByKeyboard_data();
    void accessCodeByKeyboard();
    void noticeReadAndReachedByKeyboard();
};

void AccessibilityTest::rolesAndNames_data()
{
    QTest::addColumn<QString>("widget");
    QTest::addColumn<int>("role");   // QAccessible::Role
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("described");

    QTest::newRow("device line") << "deviceNameLabel" << int(QAccessible::StatusBar) << "Device: Unknown" << false;
    QTest::newRow("status line") << "statusLabel" << int(QAccessible::StatusBar) << "Status: Disconnected" << false;
    QTest::newRow("mode line") << "Mode" << int(QAccessible::StatusBar) << "MODE:" << false;
    QTest::newRow("Refresh") << "Refresh" << int(QAccessible::Button) << "Refresh" << true;
    QTest::newRow("full screen") << "btnFullScreen" << int(QAccessible::RadioButton) << "FullScreen" << true;
    QTest::newRow("smart gallery") << "btnSmartGallery" << int(QAccessible::RadioButton)
                                   << "SmartGallery(1080P only)" << true;
    QTest::newRow("file field") << "SelectFilePath" << int(QAccessible::EditableText) << "Firmware image file" << false;
    QTest::newRow("version field") << "Version" << int(QAccessible::EditableText) << "Firmware version" << true;
    QTest::newRow("EnterUPD") << "ufuMode" << int(QAccessible::Button) << "EnterUPD" << true;
    QTest::newRow("upgrade bar") << "DownloadProgress" << int(QAccessible::ProgressBar) << "DOWNLOAD:" << true;
    QTest::newRow("first microphone") << "micRms1" << int(QAccessible::ProgressBar) << "Microphone 1 level" << false;
    QTest::newRow("last microphone") << "micRms8" << int(QAccessible::ProgressBar) << "Microphone 8 level" << false;
    QTest::newRow("second reference") << "refRms2" << int(QAccessible::ProgressBar) << "Reference 2 level" << false;
    QTest::newRow("direction") << "doa1" << int(QAccessible::ProgressBar) << "Sound direction 1" << false;
    QTest::newRow("LPF") << "lpfOn" << int(QAccessible::Button) << "LPF" << true;
    QTest::newRow("Apply") << "applyButton" << int(QAccessible::Button) << "Apply" << true;
    QTest::newRow("EXIT") << "exitButton" << int(QAccessible::Button) << "EXIT" << true;
}

void AccessibilityTest::rolesAndNames()
{
    QFETCH(QString, widget);
    QFETCH(int, role);
    QFETCH(QString, name);
    QFETCH(bool, described);

    WindowHarness h;
    h.click("upgradeMode");
    QAccessibleInterface *iface = accessible(h.window->findChild<QWidget *>(widget));
    QVERIFY(iface);
    QCOMPARE(int(iface->role()), role);
    QCOMPARE(iface->text(QAccessible::Name), name);
    QCOMPARE(!iface->text(QAccessible::Description).isEmpty(), described);
}

void AccessibilityTest::everyControlIsNamed()
{
    // A control added later without a name (a field without a buddy, a
    // meter) is found here, panels open or not.
    WindowHarness h;
    h.click("upgradeMode");
    h.modals.queueInput(QLatin1String(kAccessCode));
    h.click("exitButton_2");
    QTRY_VERIFY(h.find<QWidget>("micRms1")->isVisible());

    const QList<QAccessible::Role> controls = {QAccessible::Button, QAccessible::RadioButton,
                                               QAccessible::CheckBox, QAccessible::EditableText,
                                               QAccessible::ProgressBar, QAccessible::StatusBar};
    QStringList unnamed;
    int seen = 0;
    for (QWidget *widget : h.window->findChildren<QWidget *>()) {
        QAccessibleInterface *iface = accessible(widget);
        if (!iface || !controls.contains(iface->role()))
            continue;
        ++seen;
        if (iface->text(QAccessible::Name).trimmed().isEmpty())
            unnamed << widget->objectName();
    }
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));
    QCOMPARE(seen, 33);
}

void AccessibilityTest::modeButtonsSayWhichIsSelected()
{
    WindowHarness h;
    h.camera.setMode(2);
    QVERIFY(h.connect());
    const auto selected = [&h] {
        QStringList checked;
        QStringList described;
        for (const char *name : kModeButtons) {
            QAccessibleInterface *iface = accessible(h.find<QWidget>(name));
            if (iface->state().checked)
                checked << QLatin1String(name);
            if (iface->text(QAccessible::Description).startsWith(QLatin1String("Selected")))
                described << QLatin1String(name);
            if (!iface->state().checkable)
                return QStringList{QStringLiteral("not checkable: ") + QLatin1String(name)};
        }
        return checked == described ? checked : checked + QStringList{QStringLiteral("| described:")} + described;
    };
    QCOMPARE(selected(), QStringList{"btnVoiceTracking"});
    h.click("btnSmartGallery");
    QCOMPARE(selected(), QStringList{"btnSmartGallery"});
}

void AccessibilityTest::modeChosenThroughActions_data()
{
    QTest::addColumn<QString>("action");
    QTest::newRow("press") << QAccessibleActionInterface::pressAction();
    QTest::newRow("toggle") << QAccessibleActionInterface::toggleAction();
}

void AccessibilityTest::modeChosenThroughActions()
{
    // A screen reader's "press" or "toggle" on a mode button must select the
    // mode as a click does; Apply's "press" then sends it.
    QFETCH(QString, action);
    WindowHarness h;
    h.camera.setMode(1);
    QVERIFY(h.connect());
    QVERIFY(h.find<QPushButton>("btnAutoFraming")->isChecked());
    QAccessibleActionInterface *voice = accessible(h.find<QWidget>("btnVoiceTracking"))->actionInterface();
    QVERIFY(voice);
    QVERIFY(voice->actionNames().contains(action));
    voice->doAction(action);
    QVERIFY(h.find<QPushButton>("btnVoiceTracking")->isChecked());
    QVERIFY(!h.find<QPushButton>("btnAutoFraming")->isChecked());

    QAccessibleActionInterface *apply = accessible(h.find<QWidget>("applyButton"))->actionInterface();
    QVERIFY(apply->actionNames().contains(QAccessibleActionInterface::pressAction()));
    apply->doAction(QAccessibleActionInterface::pressAction());
    QTRY_COMPARE(int(h.camera.mode()), 2);
    QTRY_COMPARE(h.find<QLabel>("Mode")->text(), QStringLiteral("Mode: VoiceTracking"));
    QCOMPARE(h.modals.texts(), QStringList{"The new settings have been set successfully."});
}

void AccessibilityTest::statusLinesFollowTheLabels()
{
    // Qt announces each new text of a label; the announcements themselves
    // are seen on the desktop's accessibility bus (tests/a11y).
    WindowHarness h;
    h.camera.setMode(8);
    QVERIFY(h.connect());
    QStringList names;
    for (const char *name : {"deviceNameLabel", "statusLabel", "Mode"})
        names << accessible(h.find<QWidget>(name))->text(QAccessible::Name);
    QCOMPARE(names, (QStringList{h.find<QLabel>("deviceNameLabel")->text(), "Status: Connected",
                                 "Mode: SmartGallery(1080P only)"}));
}

void AccessibilityTest::progressBarExposesItsValue()
{
    WindowHarness h;
    h.click("upgradeMode");
    h.camera.attach(sim::Identity::Upgrade);
    h.refresh();
    h.camera.queueReply(0x22, 0x04, QByteArray(1, char(40)));
    QVERIFY(h.drainReplies());

    QAccessibleInterface *bar = accessible(h.find<QWidget>("DownloadProgress"));
    QAccessibleValueInterface *value = bar->valueInterface();
    QVERIFY(value);
    QCOMPARE(value->currentValue().toInt(), 40);
    QCOMPARE(value->maximumValue().toInt(), 100);
    // Named by its label, which says the phase.
    QCOMPARE(bar->text(QAccessible::Name), QStringLiteral("UPGRADE:"));
}

void AccessibilityTest::tabOrderFollowsTheWindow()
{
    KeyboardSession session;
    QVERIFY(session.activate());
    QVERIFY(openBothPanels(session));

    QVERIFY(session.activate());
    session.find<QWidget>("Refresh")->setFocus(Qt::TabFocusReason);
    QStringList order{session.focusName()};
    for (int i = 0; i < 30; ++i) {
        session.press(Qt::Key_Tab);
        if (session.focusName() == order.first())
            break;
        order << session.focusName();
    }
    QCOMPARE(order, (QStringList{"Refresh", "btnFullScreen", "btnAutoFraming", "btnVoiceTracking",
                                 "btnSmartGallery", "lpfOn", "refOn", "SelectFilePath", "SelectFile",
                                 "Version", "GetVersion", "ufuMode", "StartUpd", "upgradeMode",
                                 "applyButton", "exitButton"}));
}

void AccessibilityTest::spacePressesEachButton_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("answered");   // what the press opened
    QTest::newRow("Refresh") << "Refresh" << QStringList();
    QTest::newRow("full screen") << "btnFullScreen" << QStringList();
    QTest::newRow("smart gallery") << "btnSmartGallery" << QStringList();
    QTest::newRow("LPF") << "lpfOn" << QStringList();
    QTest::newRow("REF") << "refOn" << QStringList();
    QTest::newRow("Select") << "SelectFile" << QStringList{"选择文件"};
    QTest::newRow("GetVersion") << "GetVersion" << QStringList();
    QTest::newRow("EnterUPD") << "ufuMode" << QStringList();
    QTest::newRow("Start") << "StartUpd" << QStringList{"UPD Not Connect, Pls Enter UPD First!"};
    QTest::newRow("Upgrade Mode") << "upgradeMode" << QStringList();
    QTest::newRow("Apply") << "applyButton" << QStringList{"Device offline"};
    QTest::newRow("EXIT") << "exitButton" << QStringList();
}

void AccessibilityTest::spacePressesEachButton()
{
    QFETCH(QString, button);
    QFETCH(QStringList, answered);
    KeyboardSession session;
    QVERIFY(session.activate());
    QVERIFY(openBothPanels(session));

    auto *target = session.find<QPushButton>(qPrintable(button));
    QSignalSpy clicks(target, &QAbstractButton::clicked);
    QVERIFY2(session.tabTo(qPrintable(button)), "not reachable with Tab");
    session.press(Qt::Key_Space);
    QTRY_COMPARE(clicks.count(), 1);
    QTRY_COMPARE(session.answered, answered);
}

void AccessibilityTest::keyboardAppliesAMode()
{
    KeyboardSession session;
    QVERIFY(session.activate());
    session.camera.setMode(1);
    session.camera.attach(sim::Identity::Normal);
    QVERIFY(session.tabTo("Refresh"));
    session.press(Qt::Key_Space);
    QTRY_COMPARE(session.find<QLabel>("Mode")->text(), QStringLiteral("Mode: AutoFraming"));
    // The connect asks for the mode twice; both answers are in before the
    // selection, so neither can overwrite it.
    QTRY_COMPARE(session.camera.pendingReports(), 0);

    QVERIFY(session.tabTo("btnVoiceTracking"));
    session.press(Qt::Key_Space);
    QVERIFY(session.tabTo("applyButton"));
    session.press(Qt::Key_Space);
    QTRY_COMPARE(int(session.camera.mode()), 2);
    // The confirmation box is closed with Return, and only then does the
    // label follow.
    QTRY_COMPARE(session.answered, QStringList{"The new settings have been set successfully."});
    QTRY_COMPARE(session.find<QLabel>("Mode")->text(), QStringLiteral("Mode: VoiceTracking"));
}

void AccessibilityTest::accessCodeByKeyboard_data()
{
    QTest::addColumn<QString>("typed");   // then Return; null: Escape instead
    QTest::addColumn<bool>("shown");
    QTest::newRow("right code") << QString::fromLatin1(kAccessCode) << true;
    QTest::newRow("trailing space") << QStringLiteral("5291 ") << false;
    QTest::newRow("escape") << QString() << false;
}

void AccessibilityTest::accessCodeByKeyboard()
{
    QFETCH(QString, typed);
    QFETCH(bool, shown);
    KeyboardSession session;
    QVERIFY(session.activate());
    if (typed.isNull()) {
        session.find<QPushButton>("exitButton_2")->click();
        QCOMPARE(session.answered, QStringList{"Password"});
    } else {
        session.toggleExtraSettings(typed);
    }
    QCOMPARE(extraSettingsShown(session), shown);
    if (!shown)
        return;
    // And hidden again the same way; the meters' buttons are keyboard
    // reachable while shown.
    QVERIFY(session.tabTo("refOn"));
    session.toggleExtraSettings(typed);
    QVERIFY(!extraSettingsShown(session));
}

void AccessibilityTest::noticeReadAndReachedByKeyboard()
{
    // The camera on the bus, its nodes out of reach: the notice appears as a
    // notification named by its heading, its text the description, and its
    // controls come right after Refresh, the commands in a box whose text
    // the keyboard can select.
    KeyboardSession session;
    QVERIFY(session.activate());
    session.camera.setProbeFails(sim::Identity::Normal, true);
    session.camera.attach(sim::Identity::Normal);
    QVERIFY(session.tabTo("Refresh"));
    session.press(Qt::Key_Space);
    QWidget *notice = session.find<QWidget>("accessNotice");
    QVERIFY(notice && notice->isVisible());

    QAccessibleInterface *iface = accessible(notice);
    QCOMPARE(iface->role(), QAccessible::Notification);
    QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("This user may not open the camera"));
    QVERIFY(iface->text(QAccessible::Description).startsWith(QLatin1String("The camera is on the USB bus")));
    QAccessibleInterface *commands = accessible(session.find<QWidget>("accessNoticeCommands"));
    QCOMPARE(commands->text(QAccessible::Name), QStringLiteral("Commands to run"));
    QVERIFY(commands->state().readOnly);
    QVERIFY(commands->textInterface());
    QVERIFY(commands->textInterface()->text(0, commands->textInterface()->characterCount())
                .contains(QLatin1String("kelvora-camera-cli doctor")));

    QStringList order{session.focusName()};
    for (int i = 0; i < 4; ++i) {
        session.press(Qt::Key_Tab);
        order << session.focusName();
    }
    QCOMPARE(order, (QStringList{"Refresh", "accessNoticeCommands", "accessNoticeCopy", "accessNoticeHide",
                                 "btnFullScreen"}));
    QVERIFY(session.tabTo("accessNoticeHide"));
    session.press(Qt::Key_Space);
    QTRY_VERIFY(!notice->isVisible());
}

QTEST_MAIN(AccessibilityTest)
#include "tst_accessibility.moc"
