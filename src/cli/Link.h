#pragma once

// The camera as the command-line tool reaches it: the devices on the bus,
// choosing one, opening its interfaces, and requests with their replies read
// in order against a deadline. Plain hidapi calls, so the same code runs
// with the system library and with the virtual camera.

#include "Output.h"

#include "protocol/CommandFrame.h"
#include "protocol/Discovery.h"
#include "protocol/NodeAccess.h"

#include <hidapi/hidapi.h>

#include <QJsonObject>
#include <QVector>

#include <chrono>
#include <functional>

namespace cli {

using Clock = std::chrono::steady_clock;

// Every device of the camera on the bus, in either identity (one walk of it).
QVector<discovery::Device> attachedDevices();

// The devices a --device value names: by serial number, or by the node of
// any of their interfaces. An empty selector names them all.
QVector<discovery::Device> selectDevices(const QVector<discovery::Device> &devices, const QString &selector);

// The device that is `before` after it switched identity: the one of the new
// identity with the same serial number, or else the only device of that
// identity that was not on the bus before. Null when there is none, or more
// than one such newcomer.
const discovery::Device *sameDeviceAfterSwitch(const QVector<discovery::Device> &now,
                                               discovery::Identity identity,
                                               const discovery::Device &before,
                                               const QVector<discovery::Device> &presentBefore);

// Whether this user may open a node, as far as can be told without keeping
// it open.
using Access = nodeaccess::Access;
// For `list`: a node path is checked with access(2); anything else is opened
// and closed again.
Access nodeAccess(const QByteArray &path);
const char *accessKeyword(Access access);

// What tells the user how to get at the nodes.
QStringList accessHints();

// The JSON form of a device; with `access` (one for each of its interfaces,
// in their order), each node says whether it opens.
QJsonObject deviceJson(const discovery::Device &device, const QVector<Access> &access = {});
// "control", "data" or "other", by the interface's usage page.
const char *roleKeyword(const discovery::Interface &entry);
// "camera (normal mode)" or "upgrade mode".
QString identityText(discovery::Identity identity);
// A USB ID as lsusb writes it, "2207:2008"; and one half of it, "2207".
QString usbIdText(discovery::Identity identity);
QString hex4(quint16 value);
const char *identityKeyword(discovery::Identity identity);

// A command frame's name, for the log.
QString commandName(frame::Command command);

// An opened device.
class Link
{
public:
    // Called while a wait runs, between two reads: true stops the wait.
    using StopCheck = std::function<bool()>;

    Link(Output &output, bool verbose);
    ~Link();
    Link(const Link &) = delete;
    Link &operator=(const Link &) = delete;

    // Opens the control interface, and the data interface when `withData`.
    // A node that does not open is retried until `settle` has passed (a node
    // just created may get its permissions a moment later).
    bool open(const discovery::Device &device, bool withData, Clock::duration settle, Problem *problem);
    // Closes both interfaces; the link may be opened again.
    void close();

    const discovery::Device &device() const { return m_device; }
    hid_device *data() const { return m_data; }

    // Throws away whatever the camera sent before, so that a reply read later
    // answers the request sent after.
    void drain();
    // Writes one request; false when the write failed.
    bool send(frame::Command command, const quint8 *payload = nullptr, int length = 0);

    enum class Wait { Got, TimedOut, Gone, Stopped };
    // Reads until one of `wanted` arrives whole and correct (header, length
    // rule and checksum), the deadline passes, the device leaves, or `stop`
    // says so. Everything else read meanwhile is dropped and counted.
    Wait await(const QVector<frame::Command> &wanted, Clock::time_point deadline, const StopCheck &stop,
               frame::Command *got, QByteArray *payload);

    // What was dropped while waiting, for the message of a time-out: "2
    // replies with a wrong checksum, 3 unreadable reports".
    QString droppedText() const;
    void clearDropped();

private:
    void log(const QString &text);

    Output &m_output;
    bool m_verbose;
    discovery::Device m_device;
    hid_device *m_control = nullptr;   // closed by close(), at the latest by the destructor
    hid_device *m_data = nullptr;      // likewise
    int m_badChecksums = 0;
    int m_badReports = 0;              // too short, wrong length byte, wrong header
    int m_unexpected = 0;              // well-formed, but not what was waited for
};

} // namespace cli
