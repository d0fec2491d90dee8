#include "UeventLog.h"

#include <QSocketNotifier>

#include <libudev.h>

UeventLog::UeventLog()
    : m_udev(udev_new())
{
    m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
    udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "hidraw", nullptr);
    udev_monitor_enable_receiving(m_monitor);
    m_clock.start();
    m_notifier = std::make_unique<QSocketNotifier>(udev_monitor_get_fd(m_monitor), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { take(); });
}

UeventLog::~UeventLog()
{
    m_notifier.reset();
    udev_monitor_unref(m_monitor);
    udev_unref(m_udev);
}

QVector<UeventLog::Event> UeventLog::withAction(const char *action) const
{
    QVector<Event> found;
    for (const Event &event : m_events) {
        if (event.action == action)
            found.append(event);
    }
    return found;
}

void UeventLog::take()
{
    while (udev_device *device = udev_monitor_receive_device(m_monitor)) {
        m_events.append({udev_device_get_action(device), udev_device_get_syspath(device), m_clock.elapsed()});
        udev_device_unref(device);
    }
}
