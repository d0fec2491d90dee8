#pragma once

// The real window on the virtual camera, driven through its widgets the way
// a user would: a freshly reset camera and a new window for each session,
// the modal watcher answering the window's boxes and dialogs, and the waits
// that connecting and choosing an image need.

#include "ModalWatcher.h"
#include "Widgets.h"

#include "MainWindow.h"
#include "VirtualCamera.h"

#include <QString>

#include <chrono>
#include <memory>

namespace driver {

// The window polls the control interface every 20 ms and handles a reply
// in the tick that reads it.
constexpr std::chrono::milliseconds kPollTick(20);
constexpr std::chrono::milliseconds kDrainTimeout(5000);

class CameraWindow
{
public:
    // `readWaits`: whether hid_read_timeout waits up to its time-out when
    // nothing is queued, as the real library does; off, reads return at once.
    explicit CameraWindow(bool readWaits = false);
    virtual ~CameraWindow();
    CameraWindow(const CameraWindow &) = delete;
    CameraWindow &operator=(const CameraWindow &) = delete;

    template <class T>
    T *find(const char *name) const
    {
        return driver::find<T>(window.get(), name);
    }
    // Clicks a button by object name (hidden buttons too); there being none
    // is a fault.
    void click(const char *name);
    // Presses Refresh, which runs the presence check at once.
    void refresh() { click("Refresh"); }

    // Attaches the camera in the given identity, presses Refresh and waits
    // until the connect requests' replies have been handled.
    bool connect(sim::Identity identity = sim::Identity::Normal,
                 std::chrono::milliseconds timeout = kDrainTimeout);
    // Lets at least one poll tick pass, then the event loop run until every
    // queued reply has been read (and so handled).
    bool drainReplies(std::chrono::milliseconds timeout = kDrainTimeout);
    // Chooses `path` through the file dialog of the Select button and
    // forgets the records so far. True when the window took it: its path
    // field shows it.
    bool chooseImage(const QString &path);

    sim::VirtualCamera &camera;
    ModalWatcher modals;
    std::unique_ptr<MainWindow> window;

protected:
    // What a missing widget does: by default the program stops with the
    // reason, as a broken driver should.
    virtual void fault(const QString &why) const;
};

} // namespace driver
