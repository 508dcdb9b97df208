// The device's registry file (registry.reg in the device directory): read
// once and kept for the life of the process, and changed safely while
// other processes use it too.
//
// Reading needs no lock: the file is only ever replaced by a rename, so a
// reader sees either the old or the new file.  The file is read whole into
// one buffer and indexed in one pass.  Each call checks with one stat
// whether the file is still the one that was read: same device, inode,
// size, and modification and change time to the nanosecond.  Only a file
// whose identity changed is read again.  A file rewritten in place within
// one tick of the clock that stamps it keeps its identity, though; so a
// file changed within the current tick is trusted only once that tick is
// over (a few milliseconds), and a file this process has just written is
// read again at its next use.
//
// A change takes an exclusive lock on registry.reg.lock beside the file,
// brings the kept file up to date (reading it again only when it changed
// since), edits the kept buffer in place, writes it to a temporary file in
// the same directory, flushes that to the disk, renames it over
// registry.reg and flushes the directory.  So two writers never lose each
// other's values, and a crash leaves the old file or the new.  Holding the
// lock, it removes the temporary files that killed writers left beside the
// registry.
//
// A call that fails says what failed at the step that failed: see
// registryFailure.
//
// The programs run on one thread; so does the store.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/posix/registry/reg_file.h"

namespace ce::posix {

// The largest registry.reg (and export) that is read: a phone's registry
// is megabytes, and a larger file (a sparse one, say) would only take the
// memory there is.
constexpr uint64_t kRegistryMaxBytes = uint64_t{1} << 30;
constexpr char kRegistryTooLarge[] = "larger than 1 GiB, more than any registry holds";

// The registry of the device named now by CE_DEVICE_DIR.  A missing file is
// the empty registry.  nullptr when registry.reg exists but cannot be read
// as a file (a directory, no permission, over kRegistryMaxBytes), or the
// device directory cannot be used (device_dir.h).  The parsed file is the store's own, shared: a
// change made later is made on a copy when the caller still holds it.
std::shared_ptr<const RegFile> registryRead();

// A change of the registry: edits the file; false when it cannot be made.
// Whether a byte changed is told by the file's revision (regFileRevision).
using RegistryChange = bool (*)(RegFile* file, const void* context);

// Applies the change under the lock and replaces the file when the change
// altered it; a file that nobody may write (no write permission bit) is
// read-only, and a change that would alter it fails, as does one that would
// make it larger than kRegistryMaxBytes.  A missing file is created as a new registry.
// False when the registry cannot be reached, the change fails or the file cannot be written; the
// file is then as it was.
bool registryUpdate(RegistryChange change, const void* context);

// True when a change could be made now: the registry can be read and its
// write lock taken (and let go again).
bool registryWritable();

// Why the last registryRead or registryUpdate that failed did fail, for a
// user at a PC: the step with the host path ("cannot read the registry
// /home/me/dev/registry.reg") and the reason ("not a regular file", or the
// system's).  `what` is empty when nothing on the host failed: the change
// itself refused, or the device directory cannot be used (which its own
// check has said already).
struct RegistryFailure {
    std::string what;
    std::string reason;
};
const RegistryFailure& registryFailure();
// "what: reason", or "" when `what` is empty.
std::string registryFailureText();

}  // namespace ce::posix
