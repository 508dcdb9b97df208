// Device paths to host file-system entries under <device>/fs.
//
// A device path is absolute and begins with a backslash; backslash and
// forward slash both separate components, and empty components are
// ignored.  "." and ".." are resolved in the text first, as in a root
// directory: ".." at the root stays at the root.  Each component is then
// looked up in its directory, exactly as written first, else as an entry
// whose name differs only in case (compared as UTF-16 with u16lowerChar);
// a name that does not exist yet keeps the case written in the path.
//
// Nothing leads out of fs/.  Every step is an openat() of one component
// with O_NOFOLLOW, so the kernel never follows a link on its own.  A
// symbolic link met on the way is followed by this code, and only while it
// stays inside fs/: a relative target is resolved from the link's
// directory, where ".." above fs/ fails; an absolute target must lie below
// the host path of fs/ and is resolved from there.  A path that would need
// to leave fs/ fails like a missing file, and so does a chain of more than
// kMaxLinkHops links.
//
// No host path longer than a single component is given to a system call,
// so device paths may be far longer than the host's PATH_MAX.  The last
// directory resolved is remembered (its path, host names and open
// descriptors of its deepest levels): resolving its child, a sibling or an
// ancestor then costs a few system calls, whatever the depth.  The memory
// notices a change of device directory (CE_DEVICE_DIR), and directories
// removed meanwhile (a failed step is tried again from fs/).
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace ce::posix {

// Most symbolic links followed while resolving one path.
constexpr int kMaxLinkHops = 40;

// Characters that no name on the device holds, besides the control
// characters and the separator: listings leave host names with them out,
// and no new entry gets one.
constexpr char kCharsNoDeviceName[] = "*?:\"<>|";

enum class LeafMode {
    MustExist,  // the entry must exist; a link as the last component is followed
    MayCreate,  // the directory must exist, the entry need not; a link is followed
    NoFollow,   // the entry must exist; a link as the last component is the entry
};

struct DeviceEntry {
    int dirFd = -1;    // the directory that holds the entry (owned)
    std::string name;  // host name of the entry in dirFd; "." for a directory path
    bool exists = false;
    mode_t type = 0;  // S_IFREG, S_IFDIR, S_IFLNK, ... when it exists
};

// Resolves a device path to an entry.  On success *entry holds an open
// directory descriptor that closeDeviceEntry releases.  A path that names a
// directory as a whole (the root, or one ending in a separator, "." or
// "..") gives that directory with the name ".".  When hostPath is given it
// receives the host path of the entry, and the call fails when that path
// would be longer than PATH_MAX.
bool resolveDevicePath(const char16_t* devicePath, LeafMode mode, DeviceEntry* entry,
                       std::string* hostPath = nullptr);
void closeDeviceEntry(DeviceEntry* entry);

// Called for each entry of a listed directory, in readdir order, "." and
// ".." included: its host name, its readdir type (DT_DIR, DT_LNK, ...,
// DT_UNKNOWN) and a descriptor of the directory for fstatat().  It must not
// call back into this file.
using DirectoryVisitor = void (*)(void* context, const char* name, unsigned char type, int dirFd);

// Lists the directory of a find pattern: a device path, a separator and a
// last component ("\Windows\*.*"; "\*.*" for the root).  *namePatternStart
// receives where that last component begins.  False when the pattern is
// malformed, the directory does not exist (or is not one) or cannot be
// read to its end.  Only the part of the pattern that differs from the
// directory listed before is looked at twice, so a walk down a deep tree
// costs one pass over each pattern.
bool listDeviceDirectory(const char16_t* pattern, size_t* namePatternStart, DirectoryVisitor visit,
                         void* context);

// The host path of a device path, for handing to another program (the
// launcher starts and opens files by host path).  The entry need not exist,
// but its directory must.  Fails when the result would exceed PATH_MAX.
bool deviceToHostPath(const char16_t* devicePath, std::string* hostPath);

// Most directory descriptors kept open along the remembered path (its
// deepest levels), so that stepping back up needs no system call.
constexpr size_t kOpenLevels = 64;

// Drops the remembered directory and its descriptors (tests use it to
// start from a clean state; programs never need it).
void forgetResolvedDirectory();

}  // namespace ce::posix
