// umockdev's headers come first: GLib's structures use names that Qt
// defines as macros.
#include <umockdev.h>

#include "HidrawCamera.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <unistd.h>

// --- The handler umockdev calls for every ioctl, read and write on a node.
// A GObject type, so it is declared the GLib way; it only forwards to the
// HidrawCamera that made it.

struct RealHidNodeHandler
{
    UMockdevIoctlBase parent;
    realhid::HidrawCamera::Node *node;
};

struct RealHidNodeHandlerClass
{
    UMockdevIoctlBaseClass parent_class;
};

G_DEFINE_TYPE(RealHidNodeHandler, realhid_node_handler, UMOCKDEV_TYPE_IOCTL_BASE)

namespace realhid {

struct HidrawCamera::Node
{
    HidrawCamera *owner = nullptr;
    NodeRecord record;
    QByteArray cameraPath;   // the camera's own path for this interface; empty for consumer control
    quint16 vendorId = 0;
    quint16 productId = 0;
    QByteArray descriptor;
    QByteArray hidrawSyspath;
    QByteArray hidSyspath;
    QByteArray interfaceSyspath;
    QByteArray usbSyspath;
    quint64 generation = 0;  // the camera's bus generation this node's device belongs to
    bool live = false;       // answering; false once its device has left
    int masterFd = -1;       // the testbed's side of the pseudo-terminal; the camera writes here
    int peerFd = -1;         // our own way into the program's side, past the preload
    QByteArray ptsPath;
    QByteArray inFlight;     // the report in the pseudo-terminal, not yet read

    struct Client
    {
        quint64 handle = 0;     // the camera's handle id
        bool counted = false;   // became a usable handle
    };
    std::map<void *, Client> clients;
    UMockdevIoctlBase *handler = nullptr;
};

} // namespace realhid

namespace {

using realhid::HidrawCamera;

HidrawCamera::Node &nodeOf(UMockdevIoctlBase *self)
{
    return *reinterpret_cast<RealHidNodeHandler *>(self)->node;
}

gboolean handlerIoctl(UMockdevIoctlBase *self, UMockdevIoctlClient *client)
{
    HidrawCamera::Node &node = nodeOf(self);
    return node.owner->onIoctl(node, client);
}

gboolean handlerWrite(UMockdevIoctlBase *self, UMockdevIoctlClient *client)
{
    HidrawCamera::Node &node = nodeOf(self);
    return node.owner->onWrite(node, client);
}

gboolean handlerRead(UMockdevIoctlBase *self, UMockdevIoctlClient *client)
{
    HidrawCamera::Node &node = nodeOf(self);
    return node.owner->onRead(node, client);
}

// umockdev frees a client once the program has closed its descriptor,
// which is how a close shows here: the client-vanished signal is not sent
// for a plain close.
void clientFinalized(gpointer data, GObject *client)
{
    auto *node = static_cast<HidrawCamera::Node *>(data);
    node->owner->onVanished(*node, client);
}

void handlerConnected(UMockdevIoctlBase *self, UMockdevIoctlClient *client)
{
    HidrawCamera::Node &node = nodeOf(self);
    node.owner->onConnected(node, client);
    g_object_weak_ref(G_OBJECT(client), clientFinalized, &node);
}

} // namespace

static void realhid_node_handler_class_init(RealHidNodeHandlerClass *klass)
{
    auto *base = reinterpret_cast<UMockdevIoctlBaseClass *>(klass);
    base->handle_ioctl = handlerIoctl;
    base->handle_write = handlerWrite;
    base->handle_read = handlerRead;
    base->client_connected = handlerConnected;
}

static void realhid_node_handler_init(RealHidNodeHandler *self)
{
    self->node = nullptr;
}

namespace realhid {

namespace {

// The user "nobody", who owns nothing on the emulated bus.
constexpr uid_t kNobody = 65534;
// What the kernel's hidraw driver accepts in one write.
constexpr size_t kMinWrite = 2;
constexpr size_t kMaxWrite = 16384;

void complete(void *client, long result, int error)
{
    umockdev_ioctl_client_complete(static_cast<UMockdevIoctlClient *>(client), result, error);
}

// Fills `size` bytes of an ioctl's argument; false if the program passed
// no room for them.
bool answer(UMockdevIoctlClient *client, const void *data, size_t size, size_t offset = 0)
{
    GError *error = nullptr;
    UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
    UMockdevIoctlData *room = umockdev_ioctl_data_resolve(arg, offset, size, &error);
    if (!room) {
        g_clear_error(&error);
        return false;
    }
    std::memcpy(room->data, data, size);
    g_object_unref(room);
    return true;
}

} // namespace

// The testbed, touched on the owning thread only.
struct HidrawCamera::Bus
{
    UMockdevTestbed *testbed = nullptr;
    QString root;
    int nextMinor = 0;
    int nextHidId = 1;
    int nextDevnum = 2;
};

HidrawCamera::Access::Access(HidrawCamera *owner)
    : m_owner(owner)
    , m_lock(owner->m_mutex)
    , m_camera(&sim::VirtualCamera::instance())
{
}

HidrawCamera::Access::Access(Access &&other) noexcept
    : m_owner(other.m_owner)
    , m_lock(std::move(other.m_lock))
    , m_camera(other.m_camera)
{
    other.m_owner = nullptr;
}

HidrawCamera::Access::~Access()
{
    if (m_owner && m_lock.owns_lock())
        m_owner->afterChangeLocked();
}

HidrawCamera::HidrawCamera()
{
    start(Options());
}

HidrawCamera::HidrawCamera(const Options &options)
{
    start(options);
}

void HidrawCamera::start(const Options &options)
{
    if (!underPreload())
        qFatal("HidrawCamera needs umockdev's preload library (run under umockdev-wrapper)");
    m_options = options;
    sim::VirtualCamera &camera = sim::VirtualCamera::instance();
    camera.reset();
    camera.setUpgradeReturnDelay(options.upgradeReturnDelay);
    m_nullFd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    m_bus = std::make_unique<Bus>();
    m_bus->testbed = umockdev_testbed_new();
    gchar *root = umockdev_testbed_get_root_dir(m_bus->testbed);
    m_bus->root = QString::fromUtf8(root);
    g_free(root);
    m_context = new QObject;
    if (options.busThread) {
        m_busThread = std::make_unique<QThread>();
        m_context->moveToThread(m_busThread.get());
        m_busThread->start();
    }
    m_appliedGeneration = camera.busGeneration();
    m_thread = std::thread([this] { cameraLoop(); });
}

HidrawCamera::~HidrawCamera()
{
    QObject *context = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
        // Nothing may post to the context once it is on its way out.
        context = m_context;
        m_context = nullptr;
        m_wake.notify_all();
    }
    m_thread.join();
    if (m_busThread) {
        m_busThread->quit();
        m_busThread->wait();
    }
    delete context;
    // The testbed goes first, with umockdev's worker and the clients it
    // still holds; only then the nodes its handlers point at.
    g_object_unref(m_bus->testbed);
    for (auto &node : m_nodes) {
        // A client the testbed did not free must not report to a node
        // that is about to go.
        for (const auto &client : node->clients)
            g_object_weak_unref(G_OBJECT(client.first), clientFinalized, node.get());
        if (node->handler)
            g_object_unref(node->handler);
        if (node->peerFd >= 0)
            ::close(node->peerFd);
    }
    if (m_nullFd >= 0)
        ::close(m_nullFd);
    sim::VirtualCamera::instance().reset();
}

HidrawCamera::Access HidrawCamera::camera()
{
    return Access(this);
}

bool HidrawCamera::underPreload()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return false;
    return maps.readAll().contains("libumockdev-preload");
}

// --- Keeping the bus in step ------------------------------------------------

void HidrawCamera::afterChangeLocked()
{
    sim::VirtualCamera &camera = sim::VirtualCamera::instance();
    const quint64 generation = camera.busGeneration();
    // A device that left is gone for the program at once: reads and writes
    // on its nodes fail from now on, even before its files are removed.
    for (auto &node : m_nodes) {
        if (node->live && node->generation != generation)
            hangUpLocked(*node);
    }
    if (m_appliedGeneration != generation)
        postSettle();
    deliverReportsLocked();
    m_wake.notify_all();
}

void HidrawCamera::hangUpLocked(Node &node)
{
    node.live = false;
    node.inFlight.clear();
    // Putting /dev/null in the master's place closes the master, which
    // hangs the program's side up (poll reports POLLHUP, as on a removed
    // hidraw node), while the testbed keeps a valid descriptor to close.
    if (node.masterFd >= 0 && m_nullFd >= 0)
        ::dup2(m_nullFd, node.masterFd);
    if (node.peerFd >= 0) {
        ::close(node.peerFd);
        node.peerFd = -1;
    }
}

void HidrawCamera::postSettle()
{
    if (m_settlePosted || !m_context)
        return;
    m_settlePosted = true;
    QMetaObject::invokeMethod(m_context, [this] { settleHere(); }, Qt::QueuedConnection);
}

void HidrawCamera::deliverReportsLocked()
{
    Node *control = nullptr;
    for (auto &node : m_nodes) {
        if (node->live && !node->cameraPath.isEmpty() && node->record.usagePage == sim::kControlUsagePage) {
            control = node.get();
            break;
        }
    }
    if (!control || !control->inFlight.isEmpty())
        return;
    sim::VirtualCamera &camera = sim::VirtualCamera::instance();
    QByteArray report;
    while (camera.nextReport(&report)) {
        if (report.isEmpty()) {
            // A hidraw node has no empty reports; the camera's empty junk
            // never reaches the program.
            camera.reportRead(0, report);
            continue;
        }
        const ssize_t written = ::write(control->masterFd, report.constData(), size_t(report.size()));
        if (written != report.size()) {
            m_violations << QStringLiteral("could not put a %1-byte report into %2 (%3)")
                                .arg(report.size())
                                .arg(QString::fromLatin1(control->record.devnode))
                                .arg(QString::fromLocal8Bit(std::strerror(errno)));
            return;
        }
        control->inFlight = report;
        return;
    }
}

void HidrawCamera::cameraLoop()
{
    sim::VirtualCamera &camera = sim::VirtualCamera::instance();
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stop) {
        camera.pump();
        afterChangeLocked();
        const auto next = camera.nextPlannedAction();
        if (next == sim::VirtualCamera::Clock::time_point::max())
            m_wake.wait(lock);
        else
            m_wake.wait_until(lock, next);
    }
}

DevicePlan HidrawCamera::planLocked() const
{
    sim::VirtualCamera &camera = sim::VirtualCamera::instance();
    DevicePlan plan;
    plan.attached = camera.isAttached();
    const bool normal = camera.identity() == sim::Identity::Normal;
    plan.vendorId = normal ? sim::kNormalVendorId : sim::kUpgradeVendorId;
    plan.productId = normal ? sim::kNormalProductId : sim::kUpgradeProductId;
    for (const auto &info : camera.interfacesMatching(0, 0)) {
        plan.release = info.releaseNumber;
        plan.manufacturer = info.manufacturer;
        plan.product = info.product;
        plan.serial = info.serialNumber;
        plan.interfaces.append({info.path, info.usagePage, info.usage, info.interfaceNumber, ":uaccess:"});
    }
    const int consumer = m_options.consumerInterface;
    const bool numberFree =
        std::none_of(plan.interfaces.cbegin(), plan.interfaces.cend(),
                     [consumer](const DevicePlan::Interface &spec) { return spec.interfaceNumber == consumer; });
    if (plan.attached && normal && consumer >= 0 && numberFree)
        plan.interfaces.append({QByteArray(), kConsumerUsagePage, kConsumerControlUsage, consumer, ":uaccess:"});
    for (DevicePlan::Interface &planned : plan.interfaces) {
        const auto tags = m_udevTags.find(planned.usagePage);
        if (tags != m_udevTags.end())
            planned.udevTags = tags->second;
    }
    return plan;
}

void HidrawCamera::settle()
{
    QObject *context = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        context = m_context;
    }
    if (m_busThread && context && QThread::currentThread() != m_busThread.get())
        QMetaObject::invokeMethod(context, [this] { settleHere(); }, Qt::BlockingQueuedConnection);
    else
        settleHere();
}

void HidrawCamera::settleHere()
{
    for (;;) {
        std::vector<Node *> leaving;
        DevicePlan plan;
        quint64 target = 0;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_settlePosted = false;
            target = sim::VirtualCamera::instance().busGeneration();
            if (m_appliedGeneration == target)
                return;
            for (auto &node : m_nodes) {
                if (!node->record.present)
                    continue;
                if (node->live)
                    hangUpLocked(*node);
                node->record.present = false;
                leaving.push_back(node.get());
            }
            plan = planLocked();
        }

        removeDevice(leaving);
        addDevice(plan, target);

        std::lock_guard<std::mutex> lock(m_mutex);
        m_appliedGeneration = target;
        // Hangs the new nodes up again if the camera moved on meanwhile.
        afterChangeLocked();
    }
}

void HidrawCamera::addDevice(const DevicePlan &plan, quint64 generation)
{
    if (!plan.attached || plan.interfaces.isEmpty())
        return;
    Bus &bus = *m_bus;
    const int devnum = bus.nextDevnum++;
    QByteArray records = usbDeviceRecord(plan, devnum);
    std::vector<std::unique_ptr<Node>> batch;
    for (int i = 0; i < plan.interfaces.size(); ++i) {
        const DevicePlan::Interface &planned = plan.interfaces.at(i);
        auto node = std::make_unique<Node>();
        node->owner = this;
        node->cameraPath = planned.cameraPath;
        node->vendorId = plan.vendorId;
        node->productId = plan.productId;
        node->descriptor = reportDescriptor(planned.usagePage, planned.usage);
        node->generation = generation;
        node->record.usagePage = planned.usagePage;
        node->record.interfaceNumber = planned.interfaceNumber;
        node->record.cameraInterface = !planned.cameraPath.isEmpty();
        const InterfaceRecords made =
            interfaceRecords(plan, planned, bus.nextMinor++, bus.nextHidId++, node->descriptor);
        records += made.records;
        node->record.devnode = made.paths.devnode;
        node->usbSyspath = made.paths.usbSyspath;
        node->interfaceSyspath = made.paths.interfaceSyspath;
        node->hidSyspath = made.paths.hidSyspath;
        node->hidrawSyspath = made.paths.hidrawSyspath;
        batch.push_back(std::move(node));
        const bool last = i + 1 == plan.interfaces.size();
        if (!last && m_options.interfaceGap.count() == 0)
            continue;
        installNodes(records, std::move(batch));
        records.clear();
        batch.clear();
        if (!last)
            std::this_thread::sleep_for(m_options.interfaceGap);
    }
}

void HidrawCamera::installNodes(const QByteArray &records, std::vector<std::unique_ptr<Node>> nodes)
{
    Bus &bus = *m_bus;
    GError *error = nullptr;
    // Adding the records also sends their "add" uevents, parents first.
    if (!umockdev_testbed_add_from_string(bus.testbed, records.constData(), &error)) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_violations << QStringLiteral("the testbed refused the device: ") + QString::fromUtf8(error->message);
        g_clear_error(&error);
        return;
    }
    for (auto &node : nodes) {
        auto *handler = static_cast<RealHidNodeHandler *>(g_object_new(realhid_node_handler_get_type(), nullptr));
        handler->node = node.get();
        node->handler = &handler->parent;
        if (!umockdev_testbed_attach_ioctl(bus.testbed, node->record.devnode.constData(), node->handler, &error)) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_violations << QStringLiteral("no ioctl handler on %1: %2")
                                .arg(QString::fromLatin1(node->record.devnode), QString::fromUtf8(error->message));
            g_clear_error(&error);
        }
        node->masterFd = umockdev_testbed_get_dev_fd(bus.testbed, node->record.devnode.constData());
        if (node->masterFd >= 0) {
            ::fcntl(node->masterFd, F_SETFL, ::fcntl(node->masterFd, F_GETFL) | O_NONBLOCK);
            // Straight to the kernel: through the preload this descriptor
            // would count as one of the program's.
            node->peerFd = int(::syscall(SYS_ioctl, node->masterFd, TIOCGPTPEER,
                                         O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        }
        const QString link = bus.root + QString::fromLatin1(node->record.devnode);
        node->ptsPath = QFile::encodeName(QFileInfo(link).symLinkTarget());
    }
    // Answering from here on; a handle opened before this was turned away.
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto now = std::chrono::steady_clock::now();
    for (auto &node : nodes) {
        node->live = true;
        node->record.present = true;
        node->record.arrived = now;
        if (m_nodeAccess.count(node->record.usagePage) > 0) {
            openTestbedLocked();
            applyAccessLocked(*node);
        }
        m_nodes.push_back(std::move(node));
    }
}

void HidrawCamera::removeDevice(const std::vector<Node *> &nodes)
{
    if (nodes.empty())
        return;
    UMockdevTestbed *testbed = m_bus->testbed;
    // Children first, each announced before it goes, as the kernel does.
    const auto remove = [testbed](const QByteArray &syspath) {
        umockdev_testbed_uevent(testbed, syspath.constData(), "remove");
        umockdev_testbed_remove_device(testbed, syspath.constData());
    };
    for (Node *node : nodes)
        remove(node->hidrawSyspath);
    for (Node *node : nodes)
        remove(node->hidSyspath);
    for (Node *node : nodes)
        remove(node->interfaceSyspath);
    remove(nodes.front()->usbSyspath);
    for (Node *node : nodes) {
        GError *error = nullptr;
        if (!umockdev_testbed_detach_ioctl(testbed, node->record.devnode.constData(), &error))
            g_clear_error(&error);
        // The testbed leaves its note of which pseudo-terminal stood for the
        // node; a later node may get the same terminal number.
        if (!node->ptsPath.isEmpty()) {
            QByteArray mapped = node->ptsPath;
            mapped.replace('/', '_');
            ::unlink(QFile::encodeName(m_bus->root + QStringLiteral("/dev/.ptymap/")).append(mapped).constData());
        }
    }
}

// --- What the program does on a node, from umockdev's worker thread -------

bool HidrawCamera::onIoctl(Node &node, void *opaque)
{
    auto *client = static_cast<UMockdevIoctlClient *>(opaque);
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    long result = 0;
    int error = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Node::Client &state = node.clients[client];
        if (!node.live) {
            result = -1;
            error = ENODEV;
        } else if (!state.counted) {
            // hidapi asks for the descriptor size straight after open(), so
            // the first ioctl is when a handle becomes usable. The camera
            // may still turn it away; hidapi 0.13 then closes the node but
            // does not free its handle, so tests that want a refused open
            // use denyAccess() instead, which refuses open() itself.
            quint64 handle = 0;
            if (!node.cameraPath.isEmpty()) {
                handle = sim::VirtualCamera::instance().openPath(node.cameraPath);
                if (handle == 0) {
                    ++node.record.refused;
                    result = -1;
                    error = EACCES;
                }
            }
            if (error == 0) {
                state.handle = handle;
                state.counted = true;
                ++node.record.opened;
            }
        }
    }
    if (error == 0) {
        if (request == HIDIOCGRDESCSIZE) {
            const int size = int(node.descriptor.size());
            if (!answer(client, &size, sizeof size))
                result = -1, error = EFAULT;
        } else if (request == HIDIOCGRDESC) {
            hidraw_report_descriptor descriptor{};
            descriptor.size = __u32(node.descriptor.size());
            std::memcpy(descriptor.value, node.descriptor.constData(), size_t(node.descriptor.size()));
            if (!answer(client, &descriptor, sizeof descriptor))
                result = -1, error = EFAULT;
        } else if (request == HIDIOCGRAWINFO) {
            hidraw_devinfo info{};
            info.bustype = kBusUsb;
            info.vendor = __s16(node.vendorId);
            info.product = __s16(node.productId);
            if (!answer(client, &info, sizeof info))
                result = -1, error = EFAULT;
        } else {
            result = -1;
            error = ENOTTY;
        }
    }
    complete(client, result, error);
    return true;
}

bool HidrawCamera::onWrite(Node &node, void *opaque)
{
    auto *client = static_cast<UMockdevIoctlClient *>(opaque);
    UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
    const size_t length = arg->data_len > 0 ? size_t(arg->data_len) : 0;
    long result = 0;
    int error = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        sim::VirtualCamera &camera = sim::VirtualCamera::instance();
        ++node.record.writes;
        const auto known = node.clients.find(client);
        const Node::Client state = known != node.clients.end() ? known->second : Node::Client();
        if (!node.live) {
            // The camera still records the attempt; the kernel answers for
            // a device that has gone.
            if (state.counted && !node.cameraPath.isEmpty())
                camera.writeReport(state.handle, arg->data, length);
            result = -1;
            error = ENODEV;
        } else if (length < kMinWrite || length > kMaxWrite) {
            result = -1;
            error = EINVAL;
        } else if (!state.counted) {
            result = -1;
            error = EBADF;
        } else if (node.cameraPath.isEmpty()) {
            m_violations << QStringLiteral("%1 bytes written to the consumer-control interface").arg(length);
            result = long(length);
        } else {
            result = camera.writeReport(state.handle, arg->data, length);
            if (result < 0)
                error = EIO;   // the transfer failed on the bus
        }
        afterChangeLocked();
    }
    complete(client, result, error);
    return true;
}

bool HidrawCamera::onRead(Node &node, void *opaque)
{
    auto *client = static_cast<UMockdevIoctlClient *>(opaque);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!node.live) {
            complete(client, -1, EIO);
            return true;
        }
    }
    // The program reads from the pseudo-terminal itself; the camera only
    // learns what it took.
    int error = 0;
    GError *failure = nullptr;
    const int result = umockdev_ioctl_client_execute(client, &error, &failure);
    g_clear_error(&failure);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (result > 0) {
            UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
            const QByteArray taken(reinterpret_cast<const char *>(arg->data), result);
            QByteArray &report = node.inFlight;
            ++node.record.reads;
            if (report.isEmpty() || !report.startsWith(taken)) {
                m_violations << QStringLiteral("a read on %1 took %2 bytes that are not the start of one report")
                                    .arg(QString::fromLatin1(node.record.devnode))
                                    .arg(result);
            } else {
                if (result < report.size()) {
                    // hidraw hands out one report per read and drops what
                    // did not fit the program's buffer.
                    QByteArray rest(report.size() - result, '\0');
                    ::syscall(SYS_read, node.peerFd, rest.data(), size_t(rest.size()));
                    ++node.record.truncatedReads;
                }
                const auto known = node.clients.find(client);
                const quint64 handle = known != node.clients.end() ? known->second.handle : 0;
                if (!node.cameraPath.isEmpty())
                    sim::VirtualCamera::instance().reportRead(handle, report);
                report.clear();
            }
        }
        afterChangeLocked();
    }
    complete(client, result, result < 0 ? error : 0);
    return true;
}

void HidrawCamera::onConnected(Node &node, void *client)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    node.clients[client] = Node::Client();
}

void HidrawCamera::onVanished(Node &node, void *client)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto known = node.clients.find(client);
    if (known == node.clients.end())
        return;
    if (known->second.counted) {
        if (!node.cameraPath.isEmpty())
            sim::VirtualCamera::instance().closeHandle(known->second.handle);
        ++node.record.closed;
    }
    node.clients.erase(known);
}

// --- Records --------------------------------------------------------------

QVector<NodeRecord> HidrawCamera::nodes() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QVector<NodeRecord> records;
    for (const auto &node : m_nodes)
        records.append(node->record);
    return records;
}

NodeRecord HidrawCamera::presentNode(quint16 usagePage) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto &node : m_nodes) {
        if (node->record.present && node->record.usagePage == usagePage)
            return node->record;
    }
    return NodeRecord();
}

QByteArray HidrawCamera::syspathOf(quint16 usagePage) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto &node : m_nodes) {
        if (node->record.present && node->record.usagePage == usagePage)
            return node->hidrawSyspath;
    }
    return QByteArray();
}

int HidrawCamera::openHandles() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    int open = 0;
    for (const auto &node : m_nodes)
        open += node->record.opened - node->record.closed;
    return open;
}

QStringList HidrawCamera::violations() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_violations;
}

void HidrawCamera::openTestbedLocked()
{
    ::chmod(QFile::encodeName(m_bus->root).constData(), 0755);
    // The preload reaches the ioctl handlers through sockets in the testbed.
    QDirIterator sockets(m_bus->root + QStringLiteral("/ioctl"), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System,
                         QDirIterator::Subdirectories);
    while (sockets.hasNext()) {
        const QByteArray path = QFile::encodeName(sockets.next());
        ::chmod(path.constData(), sockets.fileInfo().isDir() ? 0755 : 0777);
    }
}

void HidrawCamera::applyAccessLocked(Node &node)
{
    const auto rule = m_nodeAccess.find(node.record.usagePage);
    if (rule == m_nodeAccess.end() || node.ptsPath.isEmpty())
        return;
    // The pseudo-terminal stands for the node: the preload follows the
    // node's /dev entry to it.
    if (::chown(node.ptsPath.constData(), rule->second.owner, rule->second.group) != 0
        || ::chmod(node.ptsPath.constData(), rule->second.mode) != 0)
        m_violations << QStringLiteral("cannot set the owner and mode of %1").arg(QString::fromLatin1(node.record.devnode));
}

void HidrawCamera::setNodeAccess(quint16 usagePage, uid_t owner, gid_t group, mode_t mode)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nodeAccess[usagePage] = NodeAccess{owner, group, mode};
    openTestbedLocked();
    for (const auto &node : m_nodes) {
        if (node->record.present && node->record.usagePage == usagePage)
            applyAccessLocked(*node);
    }
}

void HidrawCamera::setUdevTags(quint16 usagePage, const QByteArray &tags)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_udevTags[usagePage] = tags;
}

bool HidrawCamera::hideNode(quint16 usagePage)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto &node : m_nodes) {
        if (node->record.present && node->record.usagePage == usagePage)
            return ::unlink(QFile::encodeName(m_bus->root + QString::fromLatin1(node->record.devnode)).constData()) == 0;
    }
    return false;
}

bool HidrawCamera::denyAccess(quint16 usagePage)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    bool found = false;
    openTestbedLocked();
    for (const auto &node : m_nodes) {
        if (!node->record.present || node->ptsPath.isEmpty())
            continue;
        const bool denied = node->record.usagePage == usagePage;
        found = found || denied;
        if (::chmod(node->ptsPath.constData(), denied ? 0 : 0666) != 0)
            return false;
    }
    return found;
}

UnprivilegedScope::UnprivilegedScope()
{
    // The real user too, which access(2) answers for; root stays the saved
    // user, so the scope can return to it.
    if (geteuid() == 0)
        m_switched = setresuid(kNobody, kNobody, 0) == 0;
}

UnprivilegedScope::~UnprivilegedScope()
{
    if (m_switched && setresuid(0, 0, 0) != 0)
        qFatal("cannot return to root");
}

bool UnprivilegedScope::unprivileged() const
{
    return getuid() != 0 && geteuid() != 0;
}

} // namespace realhid
