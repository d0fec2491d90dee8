#pragma once

// Tells the window at once when a hidraw node comes or goes, from the
// kernel's device events as udev passes them on, read on the GUI thread.
// Where there is no udev (a container, a bare chroot) it says nothing and
// the window finds the camera with its watch timer alone.

#include <QByteArray>
#include <QObject>

struct udev;
struct udev_monitor;
class QSocketNotifier;

class HotPlugMonitor : public QObject
{
    Q_OBJECT

public:
    explicit HotPlugMonitor(QObject *parent = nullptr);
    ~HotPlugMonitor() override;

    // Whether events can arrive at all.
    bool active() const { return m_notifier != nullptr; }

signals:
    // `added` is false for a node that went away. `node` is its device
    // file, as hidapi names the interface (/dev/hidrawN).
    void nodeChanged(bool added, const QByteArray &node);

private:
    void readEvents();

    udev *m_udev = nullptr;
    udev_monitor *m_monitor = nullptr;
    QSocketNotifier *m_notifier = nullptr;
};
