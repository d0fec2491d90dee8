#include "HotPlugMonitor.h"

#include <QDebug>
#include <QSocketNotifier>

#include <libudev.h>

#include <cstring>

HotPlugMonitor::HotPlugMonitor(QObject *parent)
    : QObject(parent)
{
    m_udev = udev_new();
    if (m_udev)
        m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
    if (!m_monitor || udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "hidraw", nullptr) < 0
        || udev_monitor_enable_receiving(m_monitor) < 0) {
        qDebug() << "Hot-plug events unavailable; the camera is looked for every 1.5 s only";
        return;
    }
    m_notifier = new QSocketNotifier(udev_monitor_get_fd(m_monitor), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &HotPlugMonitor::readEvents);
}

HotPlugMonitor::~HotPlugMonitor()
{
    delete m_notifier;
    if (m_monitor)
        udev_monitor_unref(m_monitor);
    if (m_udev)
        udev_unref(m_udev);
}

void HotPlugMonitor::readEvents()
{
    // The socket does not block: every event waiting is taken now.
    while (udev_device *device = udev_monitor_receive_device(m_monitor)) {
        const char *action = udev_device_get_action(device);
        const char *node = udev_device_get_devnode(device);
        if (action && node) {
            if (std::strcmp(action, "add") == 0)
                emit nodeChanged(true, QByteArray(node));
            else if (std::strcmp(action, "remove") == 0)
                emit nodeChanged(false, QByteArray(node));
        }
        udev_device_unref(device);
    }
}
