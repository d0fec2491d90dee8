#include "Discovery.h"

#include <algorithm>

namespace discovery {

namespace {

QString wide(const wchar_t *text)
{
    return text ? QString::fromWCharArray(text) : QString();
}

} // namespace

std::optional<Identity> identityOf(quint16 vendorId, quint16 productId)
{
    for (const Identity identity : {Identity::Camera, Identity::Upgrade}) {
        const UsbId id = usbId(identity);
        if (id.vendorId == vendorId && id.productId == productId)
            return identity;
    }
    return std::nullopt;
}

QVector<Interface> interfacesFrom(const hid_device_info *list)
{
    QVector<Interface> interfaces;
    for (const hid_device_info *info = list; info; info = info->next) {
        Interface entry;
        entry.path = QByteArray(info->path ? info->path : "");
        entry.vendorId = info->vendor_id;
        entry.productId = info->product_id;
        entry.releaseNumber = info->release_number;
        entry.usagePage = info->usage_page;
        entry.usage = info->usage;
        entry.interfaceNumber = info->interface_number;
        entry.serialNumber = wide(info->serial_number);
        entry.manufacturer = wide(info->manufacturer_string);
        entry.product = wide(info->product_string);
        interfaces.append(entry);
    }
    return interfaces;
}

Presence presenceOf(bool cameraFound, bool upgradeFound)
{
    if (cameraFound && upgradeFound)
        return Presence::Both;
    if (cameraFound)
        return Presence::Camera;
    if (upgradeFound)
        return Presence::Upgrade;
    return Presence::Nothing;
}

bool listsBothVendorInterfaces(const QVector<Interface> &interfaces)
{
    const auto lists = [&interfaces](quint16 usagePage) {
        return std::any_of(interfaces.cbegin(), interfaces.cend(),
                           [usagePage](const Interface &entry) { return entry.usagePage == usagePage; });
    };
    return lists(kControlUsagePage) && lists(kDataUsagePage);
}

InterfaceChoice chooseInterfaces(const QVector<Interface> &interfaces, const QVector<bool> &opened)
{
    InterfaceChoice choice;
    const int count = qMin(interfaces.size(), opened.size());
    for (int i = 0; i < count; ++i) {
        if (!opened.at(i))
            continue;
        if (interfaces.at(i).usagePage == kControlUsagePage) {
            if (choice.control >= 0)
                choice.unused.append(choice.control);
            choice.control = i;
        } else if (interfaces.at(i).usagePage == kDataUsagePage) {
            if (choice.data >= 0)
                choice.unused.append(choice.data);
            choice.data = i;
        } else {
            choice.unused.append(i);
        }
    }
    return choice;
}

QVector<Device> devicesFrom(const QVector<Interface> &interfaces)
{
    QVector<Device> devices;
    for (const Interface &entry : interfaces) {
        const std::optional<Identity> identity = identityOf(entry.vendorId, entry.productId);
        if (!identity)
            continue;
        const auto belongs = [&](const Device &device) {
            if (device.identity != *identity || device.serialNumber != entry.serialNumber)
                return false;
            if (!entry.serialNumber.isEmpty())
                return true;
            for (const Interface &known : device.interfaces) {
                if (known.interfaceNumber == entry.interfaceNumber)
                    return false;
            }
            return true;
        };
        const auto found = std::find_if(devices.begin(), devices.end(), belongs);
        if (found != devices.end()) {
            found->interfaces.append(entry);
            continue;
        }
        Device device;
        device.identity = *identity;
        device.serialNumber = entry.serialNumber;
        device.interfaces.append(entry);
        devices.append(device);
    }
    return devices;
}

} // namespace discovery
