// The virtual camera's own door: this executable links its hid_* functions.

#include "ContractDoor.h"
#include "RealLibrary.h"

#include <hidapi/hidapi.h>

namespace {

class SimDoor : public ContractDoor
{
public:
    SimDoor() { sim::VirtualCamera::instance().reset(); }
    ~SimDoor() override { sim::VirtualCamera::instance().reset(); }

    QString libraryProblem() const override
    {
        const QString file = realhid::libraryFileOf(reinterpret_cast<const void *>(&hid_enumerate));
        if (file.isEmpty())
            return QStringLiteral("cannot tell where hid_enumerate comes from");
        if (file.contains(QLatin1String("hidapi")))
            return QStringLiteral("hid_enumerate comes from %1, not the virtual camera").arg(file);
        return QString();
    }

    bool refuseOpens(quint16 usagePage) override
    {
        sim::VirtualCamera::instance().setOpenFails(usagePage, true);
        return true;
    }

    void withCamera(const std::function<void(sim::VirtualCamera &)> &change) override
    {
        change(sim::VirtualCamera::instance());
    }
};

} // namespace

std::unique_ptr<ContractDoor> ContractDoor::open()
{
    return std::make_unique<SimDoor>();
}
