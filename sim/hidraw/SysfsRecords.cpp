#include "SysfsRecords.h"

#include "DeviceFrames.h"
#include "VirtualCamera.h"

namespace realhid {

namespace {

using namespace sim::frames;

constexpr int kHidrawMajor = 243;
// Where the camera sits: one port of the first bus of a PCI host controller.
const char kUsbDevicePath[] = "/devices/pci0000:00/0000:00:14.0/usb1/1-1";
const char kUsbPhys[] = "usb-0000:00:14.0-1";
constexpr int kUsbBus = 1;

// Short items of a report descriptor, with their data size chosen so that
// no value is read as negative.
void item(QByteArray &descriptor, quint8 tag, quint32 value)
{
    if (value <= 0x7F) {
        descriptor.append(char(tag | 0x01));
        descriptor.append(char(value));
    } else {
        descriptor.append(char(tag | 0x02));
        descriptor.append(char(value & 0xFF));
        descriptor.append(char((value >> 8) & 0xFF));
    }
}

enum Tag : quint8 {
    UsagePage = 0x04,
    Usage = 0x08,
    Collection = 0xA0,
    ReportId = 0x84,
    LogicalMinimum = 0x14,
    LogicalMaximum = 0x24,
    ReportSize = 0x74,
    ReportCount = 0x94,
    Input = 0x80,
    Output = 0x90,
};
constexpr quint8 kEndCollection = 0xC0;
constexpr quint32 kApplication = 0x01;
constexpr quint32 kDataVariable = 0x02;
constexpr quint32 kConstant = 0x03;

// A vendor interface: one application collection with one report ID,
// byte-sized fields, an input report and an output report of the given
// sizes (without the ID byte; 0 for none).
QByteArray vendorDescriptor(quint16 usagePage, quint16 usage, quint8 reportId, int inputBytes, int outputBytes)
{
    QByteArray d;
    item(d, UsagePage, usagePage);
    item(d, Usage, usage);
    item(d, Collection, kApplication);
    item(d, ReportId, reportId);
    item(d, LogicalMinimum, 0);
    item(d, LogicalMaximum, 0xFF);
    item(d, ReportSize, 8);
    if (inputBytes > 0) {
        item(d, ReportCount, quint32(inputBytes));
        item(d, Usage, usage);
        item(d, Input, kDataVariable);
    }
    if (outputBytes > 0) {
        item(d, ReportCount, quint32(outputBytes));
        item(d, Usage, usage);
        item(d, Output, kDataVariable);
    }
    d.append(char(kEndCollection));
    return d;
}

// Mute and volume keys, as the consumer-control interface of a conference
// device reports them.
QByteArray consumerDescriptor(quint16 usage)
{
    QByteArray d;
    item(d, UsagePage, kConsumerUsagePage);
    item(d, Usage, usage);
    item(d, Collection, kApplication);
    item(d, ReportId, 0x01);
    item(d, LogicalMinimum, 0);
    item(d, LogicalMaximum, 1);
    item(d, ReportSize, 1);
    item(d, ReportCount, 3);
    item(d, Usage, 0xE2);   // mute
    item(d, Usage, 0xE9);   // volume up
    item(d, Usage, 0xEA);   // volume down
    item(d, Input, kDataVariable);
    item(d, ReportSize, 5);
    item(d, ReportCount, 1);
    item(d, Input, kConstant);
    d.append(char(kEndCollection));
    return d;
}

} // namespace

// The camera's two vendor interfaces carry its command frames and its
// upgrade data reports, sized without their report ID byte; any other
// vendor interface gets 63-byte reports both ways under report ID 1.
QByteArray reportDescriptor(quint16 usagePage, quint16 usage)
{
    if (usagePage == sim::kControlUsagePage)
        return vendorDescriptor(usagePage, usage, kFrameReportId, kFrameSize - 1, kFrameSize - 1);
    if (usagePage == sim::kDataUsagePage)
        return vendorDescriptor(usagePage, usage, kDataReportId, 0, kDataReportSize - 1);
    if (usagePage == kConsumerUsagePage)
        return consumerDescriptor(usage);
    return vendorDescriptor(usagePage, usage, 0x01, 63, 63);
}

QByteArray usbDeviceRecord(const DevicePlan &plan, int devnum)
{
    QByteArray record = QByteArray("P: ") + kUsbDevicePath + "\n";
    record += "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\n";
    record += QString::asprintf("E: PRODUCT=%x/%x/%x\nE: BUSNUM=%03d\nE: DEVNUM=%03d\n", plan.vendorId,
                                plan.productId, plan.release, kUsbBus, devnum)
                  .toUtf8();
    record += QString::asprintf("A: idVendor=%04x\nA: idProduct=%04x\nA: bcdDevice=%04x\n", plan.vendorId,
                                plan.productId, plan.release)
                  .toUtf8();
    record += "A: manufacturer=" + plan.manufacturer.toUtf8() + "\n";
    record += "A: product=" + plan.product.toUtf8() + "\n";
    record += "A: serial=" + plan.serial.toUtf8() + "\n";
    record += QString::asprintf("A: busnum=%d\nA: devnum=%d\nA: bDeviceClass=ef\nA: bNumInterfaces=%2d\n"
                                "A: speed=480\n\n",
                                kUsbBus, devnum, int(plan.interfaces.size()))
                  .toUtf8();
    return record;
}

// N: makes the /dev entry; the "device" link is where hidapi reads uevent
// and report_descriptor.
InterfaceRecords interfaceRecords(const DevicePlan &plan, const DevicePlan::Interface &planned, int minor, int hidId,
                                  const QByteArray &descriptor)
{
    const QByteArray number = QByteArray::number(planned.interfaceNumber);
    const QByteArray interfaceDir = QByteArray(kUsbDevicePath) + "/1-1:1." + number;
    const QByteArray hidName =
        QString::asprintf("%04X:%04X:%04X.%04X", kBusUsb, plan.vendorId, plan.productId, hidId).toUtf8();
    const QByteArray hidDir = interfaceDir + "/" + hidName;
    const QByteArray hidrawName = "hidraw" + QByteArray::number(minor);
    const QByteArray hidrawDir = hidDir + "/hidraw/" + hidrawName;
    InterfacePaths paths;
    paths.devnode = "/dev/" + hidrawName;
    paths.usbSyspath = QByteArray("/sys") + kUsbDevicePath;
    paths.interfaceSyspath = "/sys" + interfaceDir;
    paths.hidSyspath = "/sys" + hidDir;
    paths.hidrawSyspath = "/sys" + hidrawDir;

    const bool vendor = planned.usagePage >= 0xFF00;
    QByteArray records = "P: " + interfaceDir + "\n";
    records += "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\nE: DRIVER=usbhid\nE: INTERFACE=3/0/0\n";
    records += QString::asprintf("A: bInterfaceNumber=%02x\nA: bAlternateSetting= 0\nA: bInterfaceClass=03\n"
                                 "A: bInterfaceSubClass=00\nA: bInterfaceProtocol=00\nA: bNumEndpoints=%02d\n\n",
                                 planned.interfaceNumber, vendor ? 2 : 1)
                   .toUtf8();

    records += "P: " + hidDir + "\n";
    records += "E: SUBSYSTEM=hid\nE: DRIVER=hid-generic\n";
    records += QString::asprintf("E: HID_ID=%04X:%08X:%08X\n", kBusUsb, plan.vendorId, plan.productId).toUtf8();
    records += "E: HID_NAME=" + plan.manufacturer.toUtf8() + " " + plan.product.toUtf8() + "\n";
    records += QByteArray("E: HID_PHYS=") + kUsbPhys + "/input" + number + "\n";
    records += "E: HID_UNIQ=" + plan.serial.toUtf8() + "\n";
    records += QString::asprintf("E: MODALIAS=hid:b%04Xg0001v%08Xp%08X\n", kBusUsb, plan.vendorId, plan.productId)
                   .toUtf8();
    records += "H: report_descriptor=" + descriptor.toHex().toUpper() + "\n\n";

    records += "P: " + hidrawDir + "\nN: " + hidrawName + "\n";
    records += "E: SUBSYSTEM=hidraw\nE: DEVNAME=" + paths.devnode + "\n";
    records += "E: TAGS=" + planned.udevTags + "\nE: CURRENT_TAGS=" + planned.udevTags + "\n";
    records += QString::asprintf("A: dev=%d:%d\n", kHidrawMajor, minor).toUtf8();
    records += "L: device=../../../" + hidName + "\n\n";
    return {records, paths};
}

} // namespace realhid
