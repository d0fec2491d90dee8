#pragma once

// The virtual camera behind emulated hidraw nodes. The tool's own code and
// the system's libhidapi-hidraw run unchanged; umockdev's preload library
// shows them a sysfs tree, udev properties and /dev/hidrawN nodes that this
// class keeps in step with the camera: a USB device with one interface per
// HID interface the camera has, each with its report descriptor, plus the
// consumer-control interface a composite camera also carries.
//
// Several threads take part. The bus thread makes every change to the
// emulated bus: by default the thread that made this object, so that a
// program on that thread (the window) sees each change between its own
// calls, never a device half-made; with Options::busThread a thread of its
// own, as the kernel is, so that the window meets a device whose interfaces
// arrive one after the other while it runs. A program on a thread of its own
// (a command-line command) sees the bus change under it either way, as a
// process sees the kernel's. umockdev's worker thread answers the program's
// ioctls, writes and reads on the nodes. A camera thread runs the camera's
// schedule (late replies, progress, the return in upgrade mode) and hangs a
// node up the moment its device leaves. The camera's state is shared by all
// of them behind one lock: reach it through camera().
//
// Reports the camera sends go into the control node's pseudo-terminal one
// at a time; the next goes in only once the program has read the last, so
// that every read returns exactly one whole report as a hidraw node does.

#include "SysfsRecords.h"
#include "VirtualCamera.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <sys/types.h>

class QObject;
class QThread;

namespace realhid {

using namespace std::chrono_literals;

// What one emulated hidraw node saw.
struct NodeRecord
{
    QByteArray devnode;            // "/dev/hidrawN"; numbers are not reused within one bus
    quint16 usagePage = 0;
    int interfaceNumber = -1;
    bool cameraInterface = false;  // false for the consumer-control interface
    bool present = false;          // its files are on the emulated bus now
    std::chrono::steady_clock::time_point arrived;   // when its files were put on the bus
    int opened = 0;                // handles that became usable (answered their first ioctl)
    int closed = 0;                // of those, closed again
    int refused = 0;               // handles the camera turned away
    int writes = 0;                // writes that reached the node
    int reads = 0;                 // reads that took a report
    int truncatedReads = 0;        // reads whose buffer was shorter than the report
};

class HidrawCamera
{
public:
    struct Options
    {
        // The camera's normal identity also carries a consumer-control
        // interface (usage page 0x0C) on this interface number; -1 for none.
        int consumerInterface = 2;
        // After CAMERA_ENTER_UPD the upgrade device is back this much later.
        std::chrono::milliseconds upgradeReturnDelay = 1000ms;
        // A device that comes on the bus shows its interfaces this far
        // apart, one after the other, as the kernel adds them; 0 for all at
        // once. The pause is taken on the bus thread, so only a program that
        // runs on another thread can see a device half-arrived.
        std::chrono::milliseconds interfaceGap = 0ms;
        // The bus on a thread of its own rather than the one that made this
        // object (see above).
        bool busThread = false;
    };

    // Starts a fresh testbed with nothing attached. Must run under the
    // umockdev preload; fails the process otherwise (see underPreload()).
    HidrawCamera();
    explicit HidrawCamera(const Options &options);
    ~HidrawCamera();
    HidrawCamera(const HidrawCamera &) = delete;
    HidrawCamera &operator=(const HidrawCamera &) = delete;

    // The camera, locked for as long as the returned object lives. Changes
    // made through it (attach, detach, queued reports) reach the bus when
    // it goes out of scope. The program's calls on the nodes wait for the
    // lock, so it must not be held while the program runs.
    class Access
    {
    public:
        sim::VirtualCamera *operator->() const { return m_camera; }
        sim::VirtualCamera &operator*() const { return *m_camera; }
        ~Access();
        Access(Access &&other) noexcept;
        Access(const Access &) = delete;
        Access &operator=(const Access &) = delete;

    private:
        friend class HidrawCamera;
        Access(HidrawCamera *owner);
        HidrawCamera *m_owner;
        std::unique_lock<std::mutex> m_lock;
        sim::VirtualCamera *m_camera;
    };
    Access camera();

    // Brings the emulated bus in line with the camera, and returns once it
    // is: every interface of an arriving device is there. Runs by itself on
    // the bus thread; a test calls it to act on a change without waiting for
    // that thread's event loop (or, with a bus thread of its own, to wait
    // for the whole device).
    void settle();

    // Every node made since construction, in the order made.
    QVector<NodeRecord> nodes() const;
    // The node on the bus now with this usage page (present == false if none).
    NodeRecord presentNode(quint16 usagePage) const;
    // Handles the program holds on any node, present or gone.
    int openHandles() const;
    // Things the door saw that a hidraw node would never do.
    QStringList violations() const;
    // The sysfs path of the present node with this usage page.
    QByteArray syspathOf(quint16 usagePage) const;

    // Leaves the nodes with this usage page without access for anyone but
    // root, and opens every other node and the testbed's files to any user:
    // what a udev rule that missed one interface leaves behind. A test then
    // runs the program as an unprivileged user.
    bool denyAccess(quint16 usagePage);

    // Gives the nodes with this usage page, present and to come, this
    // owner, group and mode, as udev's rules would, and opens the testbed's
    // files to any user. (The nodes cannot carry an ACL: the emulated nodes
    // are pseudo-terminals, whose file system has none.)
    void setNodeAccess(quint16 usagePage, uid_t owner, gid_t group, mode_t mode);
    // The udev tags (TAGS and CURRENT_TAGS, ":uaccess:" unless set) of the
    // nodes with this usage page that come from now on.
    void setUdevTags(quint16 usagePage, const QByteArray &tags);
    // Takes the /dev entry of the present node with this usage page away
    // while sysfs still shows it, as a sandbox without the device does.
    bool hideNode(quint16 usagePage);

    // Whether this process runs under umockdev's preload library.
    static bool underPreload();

    struct Node;

private:
    void start(const Options &options);
    // settle() on the bus thread.
    void settleHere();
    // All of these run with m_mutex held.
    void afterChangeLocked();
    void hangUpLocked(Node &node);
    void deliverReportsLocked();
    void postSettle();
    void cameraLoop();
    DevicePlan planLocked() const;
    // The emulated bus, on the owning thread only.
    void removeDevice(const std::vector<Node *> &nodes);
    // The testbed's folder and the sockets behind its nodes, open to any user.
    void openTestbedLocked();
    void applyAccessLocked(Node &node);
    void addDevice(const DevicePlan &plan, quint64 generation);
    // Puts the nodes' records on the bus, then lets them answer.
    void installNodes(const QByteArray &records, std::vector<std::unique_ptr<Node>> nodes);

public:
    // Called from umockdev's worker thread through the node handlers.
    bool onIoctl(Node &node, void *client);
    bool onWrite(Node &node, void *client);
    bool onRead(Node &node, void *client);
    void onConnected(Node &node, void *client);
    void onVanished(Node &node, void *client);

private:
    Options m_options;
    struct Bus;
    std::unique_ptr<Bus> m_bus;          // the testbed; owning thread only
    QObject *m_context = nullptr;        // lives on the bus thread, receives settle()
    std::unique_ptr<QThread> m_busThread;   // when the bus has a thread of its own
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<std::unique_ptr<Node>> m_nodes;   // every node ever made, kept until the end
    quint64 m_appliedGeneration = ~quint64(0);    // the camera's bus generation the emulated bus shows
    bool m_settlePosted = false;
    bool m_stop = false;
    int m_nullFd = -1;
    QStringList m_violations;
    struct NodeAccess
    {
        uid_t owner;
        gid_t group;
        mode_t mode;
    };
    std::map<quint16, NodeAccess> m_nodeAccess;   // by usage page
    std::map<quint16, QByteArray> m_udevTags;     // by usage page
    std::thread m_thread;
};

// Runs this process as an unprivileged user while in scope, when it runs as
// root: its real and effective user both, as for a user who logged in, so
// that access(2) and open(2) answer alike. A user without access to a node
// then meets the kernel's own refusal. As any other user it changes nothing.
class UnprivilegedScope
{
public:
    UnprivilegedScope();
    ~UnprivilegedScope();
    UnprivilegedScope(const UnprivilegedScope &) = delete;
    UnprivilegedScope &operator=(const UnprivilegedScope &) = delete;
    bool unprivileged() const;

private:
    bool m_switched = false;
};

} // namespace realhid
