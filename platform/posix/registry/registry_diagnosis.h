// Why the device's registry cannot be used, for a user at a PC.
//
// The registry store reports only that a read or a change failed.  These
// look at the device again to find the reason a user can act on: the
// device directory, registry.reg itself, its lock file, or a new file
// beside it (a read-only directory, a full or read-only file system), and
// say it on standard error with the host path and the system's reason.
#pragma once

#include <string>

namespace ce::posix {

// The reason, or "" when none is found (the device is fine, and what failed
// was the change itself: a key deleted meanwhile, a name that no line can
// hold).  writing: the file was to be replaced, not only read.
std::string registryProblem(bool writing);

// Says registryProblem on standard error (once per process) when there is
// one.  Nothing more is said about a device directory that cannot be used:
// that has been said already.
void explainRegistryFailure(bool writing);

}  // namespace ce::posix
