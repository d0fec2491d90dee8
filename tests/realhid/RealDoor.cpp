// The real library's door: this executable links the system's
// libhidapi-hidraw, and the camera sits behind emulated hidraw nodes.

#include "ContractDoor.h"
#include "HidrawCamera.h"
#include "RealLibrary.h"

namespace {

class RealDoor : public ContractDoor
{
public:
    RealDoor()
        : m_bus(options())
    {
    }

    QString libraryProblem() const override { return realhid::realLibraryProblem(); }

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
