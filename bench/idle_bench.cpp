// Figure 5: CPU time of the window with the camera attached and nothing
// happening (the 20 ms poll with its 10 ms read wait, the presence check
// every 1.5 s), against a bare event loop making the same hidapi calls.
// hid_read_timeout sleeps up to its time-out, as the real library does.
//
//   bench_idle [--seconds N]

#include "BenchCommon.h"
#include "Waiting.h"
#include "Widgets.h"

#include "MainWindow.h"
#include "VirtualCamera.h"

#include <QApplication>
#include <QMainWindow>
#include <QTimer>

#include <hidapi/hidapi.h>

#include <chrono>

using namespace bench;
using namespace std::chrono_literals;

namespace {

constexpr int kDefaultSeconds = 20;
constexpr auto kSettle = 2000ms;
// The same rhythm as the window's own timers.
constexpr auto kPollInterval = 20ms;
constexpr int kReadTimeoutMs = 10;
constexpr auto kPresenceInterval = 1500ms;

struct Usage
{
    double cpu = 0;
    double wall = 0;
    double perMinute() const { return cpu / wall * 60; }
    double shareOfCore() const { return cpu / wall; }
};

Usage measure(int milliseconds)
{
    const double cpuBefore = cpuSeconds();
    const Clock::time_point start = Clock::now();
    driver::pause(std::chrono::milliseconds(milliseconds));
    return {cpuSeconds() - cpuBefore, secondsSince(start)};
}

// The least an idle tool can do: an empty window, and the same two timers
// with the same hidapi calls, minus everything the window does with them.
Usage floorUsage(int milliseconds)
{
    QMainWindow window;
    window.show();
    hid_device *control = openCameraControlInterface();

    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [control] {
        unsigned char buffer[64] = {};
        hid_read_timeout(control, buffer, sizeof buffer, kReadTimeoutMs);
    });
    QTimer presence;
    QObject::connect(&presence, &QTimer::timeout, [] {
        hid_device *camera = hid_open(sim::kNormalVendorId, sim::kNormalProductId, nullptr);
        hid_device *upgrade = hid_open(sim::kUpgradeVendorId, sim::kUpgradeProductId, nullptr);
        if (camera)
            hid_close(camera);
        if (upgrade)
            hid_close(upgrade);
    });
    poll.start(kPollInterval);
    presence.start(kPresenceInterval);
    driver::pause(kSettle);
    const Usage usage = measure(milliseconds);
    hid_close(control);
    return usage;
}

Usage windowUsage(int milliseconds)
{
    sim::VirtualCamera &camera = sim::VirtualCamera::instance();
    MainWindow window;
    window.show();
    driver::click(&window, "Refresh");
    driver::pause(kSettle);
    if (camera.pendingReports() != 0
        || driver::textOf(&window, "statusLabel") != QLatin1String("Status: Connected"))
        fail(QStringLiteral("the window did not connect to the camera"));
    return measure(milliseconds);
}

QString usageCell(const Usage &usage)
{
    return QStringLiteral("%1 ms/min (%2 % of a core)")
        .arg(number(usage.perMinute() * 1e3, 0), number(usage.shareOfCore() * 100, 3));
}

} // namespace

int main(int argc, char *argv[])
{
    useOffscreenPlatformUnlessSet();
    QApplication app(argc, argv);
    dropDebugOutput();
    const QStringList args = app.arguments();
    const int secondsIndex = args.indexOf(QStringLiteral("--seconds"));
    const int seconds = secondsIndex > 0 && secondsIndex + 1 < args.size() ? args.at(secondsIndex + 1).toInt()
                                                                        : kDefaultSeconds;

    sim::VirtualCamera &camera = sim::VirtualCamera::instance();
    camera.reset();   // read waits on, as the real library
    camera.attach(sim::Identity::Normal);

    progress(QStringLiteral("figure 5: %1 s idle, floor then window").arg(seconds));
    const Usage floor = floorUsage(seconds * 1000);
    const Usage window = windowUsage(seconds * 1000);

    constexpr double kGoalShare = 0.01;
    printRow({QStringLiteral("5"), QStringLiteral("CPU while idle, camera attached"), usageCell(window),
              usageCell(floor) + QStringLiteral(" (bare loop, same calls)"),
              ratioText(window.cpu / window.wall / (floor.cpu / floor.wall)), QStringLiteral("< 1 % of a core"),
              verdict(window.shareOfCore() < kGoalShare)});
    printNote(QStringLiteral("figure 5: CPU time (user + system, getrusage) over %1 s of wall time each, scaled to "
                             "a minute; the floor is an empty window with a 20 ms timer doing the same 10 ms "
                             "hid_read_timeout and a 1.5 s timer doing the same two hid_open calls")
                  .arg(seconds));
    return 0;
}
