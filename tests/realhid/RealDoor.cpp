// The real library's door: this executable links the system's
// libhidapi-hidraw, and the camera sits behind emulated hidraw nodes.

#include "ContractDoor.h"
#include "HidrawCamera.h"

#include <hidapi/hidapi.h>

#include <QFileInfo>

#include <dlfcn.h>

namespace {

class RealDoor : public ContractDoor
{
public:
    RealDoor()
        : m_bus(options())
    {
    }

    QString libraryProblem() const override
    {
        if (!realhid::HidrawCamera::underPreload())
            return QStringLiteral("not running under umockdev's preload library");
        Dl_info where{};
        if (!dladdr(reinterpret_cast<void *>(&hid_enumerate), &where) || !where.dli_fname)
            return QStringLiteral("cannot tell where hid_enumerate comes from");
        const QString file = QFileInfo(QString::fromLocal8Bit(where.dli_fname)).fileName();
        if (!file.startsWith(QLatin1String("libhidapi-hidraw.so")))
            return QStringLiteral("hid_enumerate comes from %1, not the system's libhidapi-hidraw").arg(file);
        return QString();
    }

    // The kernel's own refusal: the node's permissions deny this process,
    // switched to an unprivileged user for the rest of the test.
    bool refuseOpens(quint16 usagePage) override
    {
        if (!m_bus.denyAccess(usagePage))
            return false;
        m_user = std::make_unique<realhid::UnprivilegedScope>();
        return m_user->unprivileged();
    }

    void withCamera(const std::function<void(sim::VirtualCamera &)> &change) override
    {
        {
            auto camera = m_bus.camera();
            change(*camera);
        }
        m_bus.settle();
    }

private:
    static realhid::HidrawCamera::Options options()
    {
        // The contract is about the camera's own interfaces.
        realhid::HidrawCamera::Options options;
        options.consumerInterface = -1;
        return options;
    }

    realhid::HidrawCamera m_bus;
    // Declared after the bus, so gone before it: root again for the teardown.
    std::unique_ptr<realhid::UnprivilegedScope> m_user;
};

} // namespace

std::unique_ptr<ContractDoor> ContractDoor::open()
{
    return std::make_unique<RealDoor>();
}
