#pragma once

// `doctor`: why the camera can or cannot be reached from here. It gathers
// the facts (the bus, the nodes' owners, modes, ACLs and udev tags, the
// udev rules, the login session from logind, a sandbox, the hidapi in use)
// and hands them to the checks in Diagnosis.h. It opens no node for long
// and sends the camera nothing.

#include "Options.h"
#include "Output.h"

namespace cli {

// hid_init must have run. Returns 0 when nothing keeps the camera from
// being used, Exit::Blocked when a check found a problem.
int runDoctor(const Options &options, Output &output);

} // namespace cli
