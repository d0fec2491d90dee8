#pragma once

// Sets the virtual camera up to behave like the real one at a real pace, for
// the demo program.

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <chrono>

namespace demo {

// Product name the demo camera gives its video function.
constexpr char kCameraName[] = "Kelvora Camera 2 (demo)";
// The framing mode it is in when the demo starts, and the name the window
// gives that mode.
constexpr quint8 kStartMode = 1;
constexpr char kStartModeName[] = "AutoFraming";

// Gives the virtual camera the demo's names, versions and pace (its return
// in upgrade mode, its own writing, its restart) and plugs it in, in normal
// mode. The window's demo and the command-line demo start from it.
void setUpDemoCamera();

class DemoCamera : public QObject
{
public:
    explicit DemoCamera(QObject *parent = nullptr);

    // Plugs the camera in, in normal mode. Done before the window is built,
    // so the window's first presence check finds it.
    void plugIn();

    // Every protocol mistake the camera has seen the tool make so far.
    QStringList violations() const;

    // Makes each data report take this long to go out, as over a slow link.
    void setUploadPace(std::chrono::microseconds perReport);

private:
    void trimRecords();

    // The virtual camera records every call and frame, which a demo left
    // running for hours would pile up; the records are dropped regularly,
    // keeping only the protocol mistakes.
    QTimer m_trimTimer;
    QStringList m_violations;
};

} // namespace demo
