#include "DemoCamera.h"

#include "DemoFirmware.h"
#include "VirtualCamera.h"

#include <array>
#include <chrono>

namespace demo {

namespace {

using std::chrono::milliseconds;

// How long the camera stays off the bus between EnterUPD and its return as
// the upgrade device.
constexpr milliseconds kUpgradeReturnDelay(2000);
// The device's own progress after an upload: a step every 400 ms, about four
// seconds in all, then a second before it is back as the camera.
constexpr milliseconds kProgressInterval(400);
constexpr milliseconds kRebootDelay(1000);
constexpr milliseconds kTrimInterval(60000);

// Eight microphones, the reference channel and the sound direction.
constexpr std::array<quint8, 10> kAudioLevels = {62, 71, 55, 80, 47, 66, 58, 74, 30, 45};

} // namespace

DemoCamera::DemoCamera(QObject *parent)
    : QObject(parent)
{
    m_trimTimer.setInterval(kTrimInterval);
    connect(&m_trimTimer, &QTimer::timeout, this, &DemoCamera::trimRecords);
}

void setUpDemoCamera()
{
    sim::VirtualCamera &camera = sim::VirtualCamera::instance();
    camera.reset();
    // Reads wait for their time-out like the real library, so the window's
    // polling runs at the pace it would with a camera on the desk.
    camera.setReadWaits(true);
    camera.setVersion(kFirmwareVersionBefore);
    camera.setUvcName(kCameraName);
    camera.setMode(kStartMode);
    camera.setAudioLevels(kAudioLevels);
    camera.setUpgradeReturnDelay(kUpgradeReturnDelay);

    QVector<quint8> steps;
    for (int percent = 0; percent <= 100; percent += 10)
        steps.append(quint8(percent));
    camera.setProgressPlan(steps, kProgressInterval, kRebootDelay, kFirmwareVersionAfter);

    camera.attach(sim::Identity::Normal);
}

void DemoCamera::plugIn()
{
    setUpDemoCamera();
    m_trimTimer.start();
}

QStringList DemoCamera::violations() const
{
    return m_violations + sim::VirtualCamera::instance().formatViolations();
}

void DemoCamera::setUploadPace(std::chrono::microseconds perReport)
{
    sim::VirtualCamera::instance().setDataWritePace(perReport);
}

void DemoCamera::trimRecords()
{
    sim::VirtualCamera &camera = sim::VirtualCamera::instance();
    m_violations += camera.formatViolations();
    camera.clearRecords();
}

} // namespace demo
