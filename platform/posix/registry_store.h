// The device's registry file (registry.reg in the device directory), read
// and changed safely while other processes use it too.
//
// Reading needs no lock: the file is only ever replaced by a rename, so a
// reader sees either the old or the new file.  A change takes an exclusive
// lock on registry.reg.lock beside the file, re-reads the file under the
// lock, applies itself, writes a temporary file in the same directory,
// flushes it to the disk and renames it over registry.reg.  So two writers
// never lose each other's values, and a crash leaves the old file or the new.
#pragma once

#include <memory>

#include "platform/posix/reg_file.h"

namespace ce::posix {

// The registry of the device named now by CE_DEVICE_DIR.  A missing file is
// the empty registry.  nullptr when registry.reg exists but cannot be read
// as a file (a directory, no permission), or the device directory cannot
// be used (device_dir.h).
std::shared_ptr<const RegFile> registryRead();

// A change of the registry: edits the file; false when it cannot be made.
using RegistryChange = bool (*)(RegFile* file, const void* context);

// Applies the change under the lock and replaces the file when the change
// altered it.  A missing file is created as a new registry.  False when the
// registry cannot be reached, the change fails or the file cannot be
// written; the file is then as it was.
bool registryUpdate(RegistryChange change, const void* context);

}  // namespace ce::posix
