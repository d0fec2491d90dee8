#pragma once

// What the emulated bus shows of the camera, built from a plan of the
// device alone: the report descriptor of each HID interface, and the
// records umockdev reads to lay out the sysfs tree (P: path, E: property,
// A: attribute, H: binary attribute, N: device node, L: link), as the
// kernel describes a composite USB device with its hidraw nodes. Nothing
// here touches the bus; HidrawCamera puts the records on it.

#include <QByteArray>
#include <QString>
#include <QVector>

namespace realhid {

// The consumer-control interface a composite camera also carries.
constexpr quint16 kConsumerUsagePage = 0x000C;
constexpr quint16 kConsumerControlUsage = 0x0001;
// The bus type the kernel gives a USB device (BUS_USB).
constexpr int kBusUsb = 3;

// What the camera has on the bus, taken under the lock and acted on after.
struct DevicePlan
{
    struct Interface
    {
        QByteArray cameraPath;   // empty for the consumer-control interface
        quint16 usagePage = 0;
        quint16 usage = 0;
        int interfaceNumber = 0;
        QByteArray udevTags = ":uaccess:";   // the node's TAGS and CURRENT_TAGS, as the camera's rule sets them
    };
    bool attached = false;
    quint16 vendorId = 0;
    quint16 productId = 0;
    quint16 release = 0;
    QString manufacturer;
    QString product;
    QString serial;
    QVector<Interface> interfaces;
};

// The report descriptor of one HID interface.
QByteArray reportDescriptor(quint16 usagePage, quint16 usage);

// The USB device's record; `devnum` is its number on the bus.
QByteArray usbDeviceRecord(const DevicePlan &plan, int devnum);

// Where one HID interface's files stand once its records are on the bus.
struct InterfacePaths
{
    QByteArray devnode;            // "/dev/hidrawN"
    QByteArray usbSyspath;         // the USB device it belongs to
    QByteArray interfaceSyspath;
    QByteArray hidSyspath;
    QByteArray hidrawSyspath;
};

struct InterfaceRecords
{
    QByteArray records;
    InterfacePaths paths;
};

// One HID interface: the USB interface, the HID device bound to it with
// `descriptor`, and the hidraw node numbered `minor`; `hidId` numbers the
// HID device as the kernel does, one up for every device it binds.
InterfaceRecords interfaceRecords(const DevicePlan &plan, const DevicePlan::Interface &planned, int minor, int hidId,
                                  const QByteArray &descriptor);

} // namespace realhid
