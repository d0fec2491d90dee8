// hidapi's C entry points, answered by the virtual camera instead of the USB
// bus. Every entry point first lets the camera's schedule catch up with the
// clock, so late replies and returns happen while the tool is calling in.

#include "VirtualCamera.h"

#include <hidapi/hidapi.h>

#include <algorithm>
#include <cerrno>
#include <cwchar>
#include <deque>
#include <memory>
#include <string>
#include <vector>

// What the tool holds as a hid_device pointer. The camera knows it by id.
struct hid_device_
{
    quint64 id = 0;
    std::wstring lastError = L"Success";   // what hid_error(dev) says
};

namespace sim {

namespace {

// Closed handles are kept for a while, so that a second hid_close (or a
// late write) on one is counted instead of touching freed memory. Only the
// oldest beyond this many are freed.
constexpr std::size_t kRetiredHandleLimit = 4096;

struct HandlePool
{
    std::vector<std::unique_ptr<hid_device_>> live;
    std::deque<std::unique_ptr<hid_device_>> retired;
    std::wstring lastError = L"Success";
};

HandlePool &pool()
{
    static HandlePool handles;
    return handles;
}

// The messages the hidraw backend leaves for hid_error.
const wchar_t kNoDeviceWithIds[] = L"No HID devices with requested VID/PID found in the system.";
const wchar_t kNoDeviceWithSerial[] = L"Device with requested VID/PID/(SerialNumber) not found";
const wchar_t kReadOnRemovedDevice[] = L"hid_read_timeout: unexpected poll error (device disconnected)";
const wchar_t kWriteOnRemovedDevice[] = L"No such device";
const wchar_t kTransferFailed[] = L"Input/output error";
const wchar_t kReadInterrupted[] = L"Interrupted system call";

std::wstring openFailure(const QByteArray &path, bool listed)
{
    return QStringLiteral("Failed to open a device with path '%1': %2")
        .arg(QString::fromUtf8(path), QLatin1String(listed ? "Permission denied" : "No such file or directory"))
        .toStdWString();
}

hid_device_ *known(const hid_device *device)
{
    for (const auto &handle : pool().live) {
        if (handle.get() == device)
            return handle.get();
    }
    return nullptr;
}

// The camera id behind a pointer the tool passes in, 0 if it is not open.
quint64 liveId(const hid_device *device)
{
    const hid_device_ *handle = known(device);
    return handle ? handle->id : 0;
}

hid_device *adopt(quint64 id)
{
    if (id == 0)
        return nullptr;
    pool().live.push_back(std::make_unique<hid_device_>());
    pool().live.back()->id = id;
    pool().lastError = L"Success";
    return pool().live.back().get();
}

wchar_t *copyWide(const QString &text)
{
    const std::wstring wide = text.toStdWString();
    auto *copy = new wchar_t[wide.size() + 1];
    std::copy(wide.begin(), wide.end(), copy);
    copy[wide.size()] = L'\0';
    return copy;
}

char *copyText(const QByteArray &text)
{
    auto *copy = new char[size_t(text.size()) + 1];
    std::copy(text.constBegin(), text.constEnd(), copy);
    copy[text.size()] = '\0';
    return copy;
}

int copyString(const QString &text, wchar_t *string, size_t maxlen)
{
    if (!string || maxlen == 0)
        return -1;
    const std::wstring wide = text.toStdWString();
    const size_t count = std::min(wide.size(), maxlen - 1);
    std::copy_n(wide.begin(), count, string);
    string[count] = L'\0';
    return 0;
}

} // namespace

// The one way in from the hid_* functions to the camera.
struct CApi
{
    using Info = VirtualCamera::InterfaceInfo;

    static VirtualCamera &camera() { return VirtualCamera::instance(); }
    static void enter(const char *function) { camera().noteCall(function); }
    static QVector<Info> enumerate(quint16 vendorId, quint16 productId)
    {
        return camera().interfacesMatching(vendorId, productId);
    }
    static quint64 openFirst(quint16 vendorId, quint16 productId, const QString *serial)
    {
        return camera().openFirst(vendorId, productId, serial);
    }
    static quint64 openPath(const QByteArray &path) { return camera().openPath(path); }
    static void close(quint64 id) { camera().closeHandle(id); }
    static void doubleClose() { camera().noteDoubleClose(); }
    static bool info(const hid_device *device, Info *out)
    {
        const quint64 id = liveId(device);
        return id != 0 && camera().handleInterface(id, out);
    }
    static int write(const hid_device *device, const unsigned char *data, size_t length)
    {
        return camera().writeReport(liveId(device), data, length);
    }
    static int read(const hid_device *device, unsigned char *data, size_t length, int milliseconds)
    {
        return camera().readReport(liveId(device), data, length, milliseconds);
    }
    static void exit() { camera().noteExit(); }

    static int stringOf(hid_device *device, wchar_t *string, size_t maxlen, QString Info::*field)
    {
        Info found;
        if (!info(device, &found))
            return -1;
        return copyString(found.*field, string, maxlen);
    }
};

} // namespace sim

using sim::CApi;

extern "C" {

int HID_API_EXPORT HID_API_CALL hid_init(void)
{
    CApi::enter("hid_init");
    return 0;
}

int HID_API_EXPORT HID_API_CALL hid_exit(void)
{
    CApi::enter("hid_exit");
    CApi::exit();
    return 0;
}

struct hid_device_info HID_API_EXPORT *HID_API_CALL hid_enumerate(unsigned short vendor_id, unsigned short product_id)
{
    CApi::enter("hid_enumerate");
    hid_device_info *first = nullptr;
    hid_device_info **tail = &first;
    for (const CApi::Info &found : CApi::enumerate(vendor_id, product_id)) {
        auto *entry = new hid_device_info{};
        entry->path = sim::copyText(found.path);
        entry->vendor_id = found.vendorId;
        entry->product_id = found.productId;
        entry->serial_number = sim::copyWide(found.serialNumber);
        entry->release_number = found.releaseNumber;
        entry->manufacturer_string = sim::copyWide(found.manufacturer);
        entry->product_string = sim::copyWide(found.product);
        entry->usage_page = found.usagePage;
        entry->usage = found.usage;
        entry->interface_number = found.interfaceNumber;
#if HID_API_VERSION >= HID_API_MAKE_VERSION(0, 13, 0)
        entry->bus_type = HID_API_BUS_USB;
#endif
        *tail = entry;
        tail = &entry->next;
    }
    return first;
}

void HID_API_EXPORT HID_API_CALL hid_free_enumeration(struct hid_device_info *devs)
{
    CApi::enter("hid_free_enumeration");
    while (devs) {
        hid_device_info *next = devs->next;
        delete[] devs->path;
        delete[] devs->serial_number;
        delete[] devs->manufacturer_string;
        delete[] devs->product_string;
        delete devs;
        devs = next;
    }
}

HID_API_EXPORT hid_device *HID_API_CALL hid_open(unsigned short vendor_id, unsigned short product_id,
                                                 const wchar_t *serial_number)
{
    CApi::enter("hid_open");
    const QString serial = serial_number ? QString::fromWCharArray(serial_number) : QString();
    hid_device *device = sim::adopt(CApi::openFirst(vendor_id, product_id, serial_number ? &serial : nullptr));
    if (!device) {
        // hid_open is hid_enumerate and then hid_open_path on the first match.
        const auto listed = CApi::enumerate(vendor_id, product_id);
        const auto match = std::find_if(listed.cbegin(), listed.cend(), [&](const CApi::Info &info) {
            return !serial_number || info.serialNumber == serial;
        });
        if (listed.isEmpty())
            sim::pool().lastError = sim::kNoDeviceWithIds;
        else if (match == listed.cend())
            sim::pool().lastError = sim::kNoDeviceWithSerial;
        else
            sim::pool().lastError = sim::openFailure(match->path, true);
    }
    return device;
}

HID_API_EXPORT hid_device *HID_API_CALL hid_open_path(const char *path)
{
    CApi::enter("hid_open_path");
    if (!path)
        return nullptr;
    hid_device *device = sim::adopt(CApi::openPath(QByteArray(path)));
    if (!device) {
        // A path on the bus that cannot be opened is a permission problem,
        // any other is missing.
        bool listed = false;
        for (const CApi::Info &info : CApi::enumerate(0, 0))
            listed = listed || info.path == path;
        sim::pool().lastError = sim::openFailure(QByteArray(path), listed);
    }
    return device;
}

int HID_API_EXPORT HID_API_CALL hid_write(hid_device *dev, const unsigned char *data, size_t length)
{
    CApi::enter("hid_write");
    const int result = CApi::write(dev, data, length);
    if (hid_device_ *handle = sim::known(dev)) {
        const bool gone = !CApi::info(dev, nullptr);
        handle->lastError = result >= 0 ? L"Success" : gone ? sim::kWriteOnRemovedDevice : sim::kTransferFailed;
    }
    return result;
}

int HID_API_EXPORT HID_API_CALL hid_read_timeout(hid_device *dev, unsigned char *data, size_t length, int milliseconds)
{
    CApi::enter("hid_read_timeout");
    errno = 0;
    const int result = CApi::read(dev, data, length, milliseconds);
    // A wait cut short by a signal leaves errno at EINTR, as poll(2) does,
    // and hid_error says so in strerror's words.
    const int error = errno;
    if (hid_device_ *handle = sim::known(dev)) {
        const bool gone = !CApi::info(dev, nullptr);
        handle->lastError = result >= 0 ? L"Success"
                            : gone      ? sim::kReadOnRemovedDevice
                            : error == EINTR ? sim::kReadInterrupted
                                             : sim::kTransferFailed;
    }
    errno = error;
    return result;
}

int HID_API_EXPORT HID_API_CALL hid_read(hid_device *dev, unsigned char *data, size_t length)
{
    CApi::enter("hid_read");
    // A blocking read would hang a single-threaded caller for good; look once.
    return CApi::read(dev, data, length, 0);
}

int HID_API_EXPORT HID_API_CALL hid_set_nonblocking(hid_device *dev, int nonblock)
{
    CApi::enter("hid_set_nonblocking");
    Q_UNUSED(nonblock);   // every read here is bounded anyway
    return sim::liveId(dev) != 0 ? 0 : -1;
}

int HID_API_EXPORT HID_API_CALL hid_send_feature_report(hid_device *dev, const unsigned char *data, size_t length)
{
    CApi::enter("hid_send_feature_report");
    Q_UNUSED(dev);
    Q_UNUSED(data);
    Q_UNUSED(length);
    return -1;   // the camera has no feature reports
}

int HID_API_EXPORT HID_API_CALL hid_get_feature_report(hid_device *dev, unsigned char *data, size_t length)
{
    CApi::enter("hid_get_feature_report");
    Q_UNUSED(dev);
    Q_UNUSED(data);
    Q_UNUSED(length);
    return -1;
}

int HID_API_EXPORT HID_API_CALL hid_get_input_report(hid_device *dev, unsigned char *data, size_t length)
{
    CApi::enter("hid_get_input_report");
    Q_UNUSED(dev);
    Q_UNUSED(data);
    Q_UNUSED(length);
    return -1;
}

void HID_API_EXPORT HID_API_CALL hid_close(hid_device *dev)
{
    CApi::enter("hid_close");
    if (!dev)
        return;
    auto &live = sim::pool().live;
    const auto open = std::find_if(live.begin(), live.end(), [dev](const auto &handle) { return handle.get() == dev; });
    if (open == live.end()) {
        // Not open: closed before, or never handed out. Either way it is not dereferenced.
        CApi::doubleClose();
        return;
    }
    CApi::close((*open)->id);
    auto &retired = sim::pool().retired;
    retired.push_back(std::move(*open));
    live.erase(open);
    if (retired.size() > sim::kRetiredHandleLimit)
        retired.pop_front();
}

int HID_API_EXPORT_CALL hid_get_manufacturer_string(hid_device *dev, wchar_t *string, size_t maxlen)
{
    CApi::enter("hid_get_manufacturer_string");
    return CApi::stringOf(dev, string, maxlen, &CApi::Info::manufacturer);
}

int HID_API_EXPORT_CALL hid_get_product_string(hid_device *dev, wchar_t *string, size_t maxlen)
{
    CApi::enter("hid_get_product_string");
    return CApi::stringOf(dev, string, maxlen, &CApi::Info::product);
}

int HID_API_EXPORT_CALL hid_get_serial_number_string(hid_device *dev, wchar_t *string, size_t maxlen)
{
    CApi::enter("hid_get_serial_number_string");
    return CApi::stringOf(dev, string, maxlen, &CApi::Info::serialNumber);
}

int HID_API_EXPORT_CALL hid_get_indexed_string(hid_device *dev, int string_index, wchar_t *string, size_t maxlen)
{
    CApi::enter("hid_get_indexed_string");
    Q_UNUSED(dev);
    Q_UNUSED(string_index);
    Q_UNUSED(string);
    Q_UNUSED(maxlen);
    return -1;   // no string descriptors beyond the three above
}

HID_API_EXPORT const wchar_t *HID_API_CALL hid_error(hid_device *dev)
{
    CApi::enter("hid_error");
    if (!dev)
        return sim::pool().lastError.c_str();
    if (const hid_device_ *handle = sim::known(dev))
        return handle->lastError.c_str();
    return L"Device disconnected";   // not a handle that is open
}

HID_API_EXPORT const struct hid_api_version *HID_API_CALL hid_version(void)
{
    CApi::enter("hid_version");
    static const hid_api_version version = {HID_API_VERSION_MAJOR, HID_API_VERSION_MINOR, HID_API_VERSION_PATCH};
    return &version;
}

HID_API_EXPORT const char *HID_API_CALL hid_version_str(void)
{
    CApi::enter("hid_version_str");
    return HID_API_VERSION_STR;
}

} // extern "C"
