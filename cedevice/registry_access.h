// The device's registry for the tool's commands: read it, or change it
// through the registry store, and say plainly why that failed.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/posix/registry/reg_file.h"

namespace cedevice {

// The registry as it is now; nullptr after the reason has been said on
// standard error.
std::shared_ptr<const ce::posix::RegFile> readRegistry();

// Applies the edit under the store's lock and replaces registry.reg when it
// changed something.  The edit returns false with its own reason in
// *refusal ("no value ..."), which is then said; a registry that cannot be
// written is explained with its path and the system's reason.  Returns the
// exit status.
using RegistryEdit = std::function<bool(ce::posix::RegFile* file, std::string* refusal)>;
int editRegistry(const RegistryEdit& edit);

}  // namespace cedevice
