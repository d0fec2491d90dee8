#pragma once

// The real window on the virtual camera, driven through its widgets the way
// a user would: buttons found by object name, the file dialog and the boxes
// answered by the tests' ModalWatcher.

#include "MainWindow.h"
#include "ModalWatcher.h"
#include "VirtualCamera.h"

#include <QString>

#include <functional>
#include <memory>

namespace bench {

class WindowSession
{
public:
    // `readWaits`: whether hid_read_timeout sleeps up to its time-out when
    // nothing is queued, as the real library does.
    explicit WindowSession(bool readWaits);
    ~WindowSession();
    WindowSession(const WindowSession &) = delete;
    WindowSession &operator=(const WindowSession &) = delete;

    template <class T>
    T *find(const char *name) const
    {
        return window->findChild<T *>(QString::fromLatin1(name));
    }
    void click(const char *name);

    // Runs the event loop until `done` holds or the time is up.
    bool waitUntil(const std::function<bool()> &done, int timeoutMs);
    // Attaches the camera in this identity, presses Refresh and waits until
    // every reply to the connect requests has been handled.
    void connect(sim::Identity identity);
    // Opens the upgrade panel and chooses this image through the file dialog.
    void prepareUpgrade(const QString &imagePath);
    // Start is enabled again: no upgrade holds the controls.
    bool controlsFree() const;

    sim::VirtualCamera &camera;
    ModalWatcher modals;
    std::unique_ptr<MainWindow> window;
};

} // namespace bench
