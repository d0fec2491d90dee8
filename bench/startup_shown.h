#pragma once

// Shared by the two start-up programs (the window and the empty-window
// floor), which link nothing else of the benchmarks: notices the first paint
// of the window, prints the time since the driver started the process and
// the peak resident size, and ends the event loop.

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace startup {

// The driver puts its CLOCK_MONOTONIC reading, in ns, taken just before it
// starts the process, in this variable.
constexpr const char *kSpawnVariable = "BENCH_SPAWN_NS";

inline long long monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (long long)now.tv_sec * 1000000000LL + now.tv_nsec;
}

inline long long peakResidentKiB()
{
    FILE *status = std::fopen("/proc/self/status", "r");
    if (!status)
        return -1;
    char line[256];
    long long value = -1;
    while (std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, "VmHWM:", 6) == 0) {
            value = std::atoll(line + 6);
            break;
        }
    }
    std::fclose(status);
    return value;
}

// Installed on the top-level window. The first paint means the window and
// all its children have been drawn into the backing store; the report runs
// once that paint has returned.
class ShownProbe : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            QTimer::singleShot(0, this, [] {
                const long long now = monotonicNs();
                const char *spawn = std::getenv(kSpawnVariable);
                const long long elapsed = spawn ? now - std::atoll(spawn) : -1;
                std::printf("SHOWN %lld %lld\n", elapsed, peakResidentKiB());
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_seen = false;
};

// The whole of either program: the application, a `Window` shown with the
// probe on it, and the event loop until the probe ends it.
template <class Window>
int showOnce(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Window window;
    ShownProbe probe;
    window.installEventFilter(&probe);
    window.show();
    return app.exec();
}

} // namespace startup
