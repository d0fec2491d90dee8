#pragma once

// A fresh window on a fresh virtual camera for one test function, with the
// modal watcher and the log capture in place.

#include "LogCapture.h"
#include "ModalWatcher.h"
#include "MainWindow.h"
#include "VirtualCamera.h"

#include <QAbstractButton>
#include <QByteArray>
#include <QVector>

#include <memory>

class WindowHarness
{
public:
    WindowHarness();
    ~WindowHarness();

    template <class T>
    T *find(const char *name) const
    {
        return window->findChild<T *>(QString::fromLatin1(name));
    }
    // Clicks a button by object name (hidden buttons too).
    void click(const char *name);
    // Presses Refresh, which runs the presence check at once.
    void refresh() { click("Refresh"); }

    // Attaches the camera in the given identity, presses Refresh and waits
    // until the connect requests' replies have been handled.
    bool connect(sim::Identity identity = sim::Identity::Normal);
    // Lets the event loop run until every queued reply has been read.
    bool drainReplies();

    // Control-interface requests written since the last clearRecords(), as
    // (group, code) pairs.
    QVector<QPair<int, int>> requests() const;

    sim::VirtualCamera &camera;
    LogCapture log;
    ModalWatcher modals;
    std::unique_ptr<MainWindow> window;
};

// The 8-bit wrap-around sum of every byte, as the device computes it.
quint8 byteSumOf(const QByteArray &bytes);

// Builds a well-formed reply the way the camera would send it.
QByteArray cameraReply(quint8 group, quint8 code, const QByteArray &payload, int size = 64);
