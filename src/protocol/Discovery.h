#pragma once

// Finding the camera: its two USB identities, the vendor interfaces it
// talks through, and the decisions made from what hidapi reports. Pure
// functions over copies of hidapi's lists, so that the window and the
// command-line tool decide alike and tests can reach them without a device.

#include <QByteArray>
#include <QString>
#include <QVector>

#include <hidapi/hidapi.h>

#include <optional>

namespace discovery {

enum class Identity {
    Camera,   // normal mode
    Upgrade,  // upgrade mode: the loader that takes new firmware
};

struct UsbId
{
    quint16 vendorId;
    quint16 productId;
};

constexpr UsbId kCameraId{0x2207, 0x2008};
constexpr UsbId kUpgradeId{0x1D6B, 0x0102};

// Every command frame goes to the control interface, every data report to
// the data interface.
constexpr quint16 kControlUsagePage = 0xFF00;
constexpr quint16 kDataUsagePage = 0xFF01;

constexpr UsbId usbId(Identity identity)
{
    return identity == Identity::Camera ? kCameraId : kUpgradeId;
}

// The identity a vendor and product ID belong to, if they are the camera's.
std::optional<Identity> identityOf(quint16 vendorId, quint16 productId);

// One HID interface as hidapi enumerated it.
struct Interface
{
    QByteArray path;
    quint16 vendorId = 0;
    quint16 productId = 0;
    quint16 releaseNumber = 0;
    quint16 usagePage = 0;
    quint16 usage = 0;
    int interfaceNumber = -1;
    QString serialNumber;
    QString manufacturer;
    QString product;
};

// A copy of hidapi's list, in its order.
QVector<Interface> interfacesFrom(const hid_device_info *list);

// What the two presence probes found.
enum class Presence {
    Nothing,
    Camera,
    Upgrade,
    Both,   // both identities at once: neither is taken
};
Presence presenceOf(bool cameraFound, bool upgradeFound);

// Whether an enumeration of one identity lists both vendor interfaces, the
// control and the data interface. The kernel adds a device's interfaces one
// after the other, so a device that has just arrived may list only some.
bool listsBothVendorInterfaces(const QVector<Interface> &interfaces);

// Which of one device's interfaces carry the commands and the data, among
// those that opened: the last opened interface of each usage page wins.
// Every other opened interface is of no use and is to be closed.
struct InterfaceChoice
{
    int control = -1;   // index in the list, -1 when none
    int data = -1;
    QVector<int> unused;

    bool complete() const { return control >= 0 && data >= 0; }
};
InterfaceChoice chooseInterfaces(const QVector<Interface> &interfaces, const QVector<bool> &opened);

// One attached device in either identity, with the interfaces it lists.
struct Device
{
    Identity identity = Identity::Camera;
    QString serialNumber;            // empty when the device reports none
    QVector<Interface> interfaces;   // in enumeration order
};

// Sorts an enumeration of the whole bus into the camera's devices, in the
// order each first appears; interfaces of other products are left out.
// Interfaces of one identity and one serial number belong to one device.
// The bus names no device for an interface, so those without a serial
// number join the first serial-less device of their identity that has no
// interface of the same number yet, and start a new device otherwise.
QVector<Device> devicesFrom(const QVector<Interface> &interfaces);

} // namespace discovery
