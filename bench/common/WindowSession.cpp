#include "WindowSession.h"

#include "BenchCommon.h"

#include <QWidget>

#include <chrono>

namespace bench {

namespace {
using namespace std::chrono_literals;

constexpr auto kSettleTimeout = 10000ms;
// After a good upload the device reports 100 % at once and then stays in
// upgrade mode for the rest of the run, so uploads can follow one another.
constexpr auto kProgressInterval = 1ms;
constexpr auto kRebootDelay = std::chrono::duration_cast<std::chrono::milliseconds>(1h);
} // namespace

WindowSession::WindowSession(bool readWaits, sim::Identity identity)
    : driver::CameraWindow(readWaits)
{
    camera.setProgressPlan({100}, kProgressInterval, kRebootDelay, "V9.9.9");
    if (!connect(identity, kSettleTimeout))
        fail(QStringLiteral("the window did not take the connect replies"));
}

void WindowSession::fault(const QString &why) const
{
    fail(why);
}

void WindowSession::prepareUpgrade(const QString &imagePath)
{
    if (!find<QWidget>("StartUpd")->isVisible())
        click("upgradeMode");
    if (!chooseImage(imagePath))
        fail(QStringLiteral("the file dialog did not take %1").arg(imagePath));
}

bool WindowSession::controlsFree() const
{
    return find<QWidget>("StartUpd")->isEnabled();
}

} // namespace bench
