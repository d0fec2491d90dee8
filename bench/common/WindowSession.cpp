#include "WindowSession.h"

#include "BenchCommon.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>

#include <chrono>

namespace bench {

namespace {
using namespace std::chrono_literals;

constexpr int kSettleTimeoutMs = 10000;
// After a good upload the device reports 100 % at once and then stays in
// upgrade mode for the rest of the run, so uploads can follow one another.
constexpr auto kProgressInterval = 1ms;
constexpr auto kRebootDelay = std::chrono::duration_cast<std::chrono::milliseconds>(1h);
} // namespace

WindowSession::WindowSession(bool readWaits)
    : camera(sim::VirtualCamera::instance())
{
    camera.reset();
    camera.setReadWaits(readWaits);
    camera.setProgressPlan({100}, kProgressInterval, kRebootDelay, "V9.9.9");
    window = std::make_unique<MainWindow>();
    window->show();
    QCoreApplication::processEvents();
}

WindowSession::~WindowSession()
{
    window.reset();
    camera.reset();
}

void WindowSession::click(const char *name)
{
    auto *button = find<QAbstractButton>(name);
    if (!button)
        fail(QStringLiteral("no button named %1").arg(QLatin1String(name)));
    button->click();
}

bool WindowSession::waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer check;
    check.setInterval(1);
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    bool met = false;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        met = done();
        if (met || Clock::now() >= deadline)
            loop.quit();
    });
    check.start();
    loop.exec();
    return met;
}

void WindowSession::connect(sim::Identity identity)
{
    camera.attach(identity);
    click("Refresh");
    if (!waitUntil([this] { return camera.pendingReports() == 0; }, kSettleTimeoutMs))
        fail(QStringLiteral("the window did not take the connect replies"));
}

void WindowSession::prepareUpgrade(const QString &imagePath)
{
    if (!find<QWidget>("StartUpd")->isVisible())
        click("upgradeMode");
    modals.queueFile(imagePath);
    click("SelectFile");
    if (find<QLineEdit>("SelectFilePath")->text() != imagePath)
        fail(QStringLiteral("the file dialog did not take %1").arg(imagePath));
    modals.clear();
}

bool WindowSession::controlsFree() const
{
    return find<QWidget>("StartUpd")->isEnabled();
}

} // namespace bench
