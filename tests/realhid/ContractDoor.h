#pragma once

// The contract tests check hidapi's behaviour as the tool relies on it, once
// through each door to the virtual camera: its own hid_* functions (the
// picture of hidapi the window tests use), and the system's libhidapi-hidraw
// over emulated hidraw nodes. Each test executable links one door; the
// checks are the same, so a difference between the picture and the real
// library fails in one of the two.

#include "VirtualCamera.h"

#include <QString>

#include <functional>
#include <memory>

class ContractDoor
{
public:
    // The door linked into this executable, with a fresh camera and
    // nothing attached.
    static std::unique_ptr<ContractDoor> open();
    virtual ~ContractDoor() = default;

    // Why the hid_* functions in this process are not the ones this door
    // stands for; empty when they are.
    virtual QString libraryProblem() const = 0;
    // Opens of the attached device's interfaces with this usage page fail
    // from now on, as for a user without access to them; false if the door
    // cannot arrange that.
    virtual bool refuseOpens(quint16 usagePage) = 0;
    // Runs `change` on the camera, then lets the bus show what it did.
    virtual void withCamera(const std::function<void(sim::VirtualCamera &)> &change) = 0;
    // Reads the camera's records.
    template <class T>
    T read(const std::function<T(sim::VirtualCamera &)> &look)
    {
        T value{};
        withCamera([&](sim::VirtualCamera &camera) { value = look(camera); });
        return value;
    }
};
