// Live-process marker files under <device>/run/: top-level windows
// (run/windows/<class>) and named events (run/events/<name>).
//
// A marker exists while its file exists and its first line is the decimal
// id of a live process.  A file whose process is gone counts as absent.
// Markers made here carry the process's start time (clock ticks after boot)
// as a second line, so that a marker left by a killed process does not
// come alive again when an unrelated process gets the same id; a marker
// without that line counts by its id alone.
// Markers are made complete in one step (written to a private file, then
// hard-linked to their name), so a reader never sees a half-written id, and
// creating a name that another process creates at the same moment lets
// exactly one of them win.
//
// Typical use by a program that owns a window or an event:
//
//     std::string path;
//     if (!ce::posix::runMarkerPath("windows", u"Vantrelo", &path)) ...;
//     switch (ce::posix::createRunMarker(path)) {
//         case RunMarker::Created: ...          // ours now
//         case RunMarker::AlreadyExists: ...    // a live process holds it
//         case RunMarker::Failed: ...           // run/ cannot be written
//     }
//     ...
//     ce::posix::removeOwnRunMarker(path);      // at the end of its life
#pragma once

#include <sys/types.h>

#include <string>

namespace ce::posix {

// Longest marker name in bytes (UTF-8), the host's file-name limit.
constexpr size_t kMaxRunMarkerName = 255;

// Host path of the marker <device>/run/<kind>/<name>, kind being "windows"
// or "events".  run/ and run/<kind> are created when missing.  Fails when
// the name is empty, ".", "..", contains a slash, a NUL or is not valid
// UTF-16, or is longer than kMaxRunMarkerName bytes.
bool runMarkerPath(const char* kind, const char16_t* name, std::string* path);

// The process id named by the marker when that process is alive, else 0
// (no file, unreadable, malformed, or a process that is gone).  A process
// that exists but belongs to another user counts as alive.
pid_t liveRunMarkerOwner(const std::string& path);

enum class RunMarker {
    Created,        // the file now holds this process's id
    AlreadyExists,  // a live process (this one included) holds the name
    Failed,         // the file could not be made
};

// Makes the marker for this process.  A marker left by a process that is
// gone is replaced.  Safe against other processes creating, replacing or
// removing the same name at the same time.
RunMarker createRunMarker(const std::string& path);

// Removes the marker when it names this process; leaves another process's
// marker alone.  Returns true when the file is gone afterwards or belongs to
// another process.
bool removeOwnRunMarker(const std::string& path);

// Named events are held by every process that has a handle to one, not
// only by the process that made the marker.  joinRunMarker makes the marker
// like createRunMarker, or, when a live process holds it already, records
// this process as a further holder (a marker of its own under
// run/<kind>/.held/<name>/).  leaveRunMarker is called when this process
// closes its last handle: a marker naming this process passes to a live
// holder, so it names that process from then on, and is removed only when
// no holder is left.  The event thus lasts until the last handle of any
// process is closed.  Neither touches the markers of windows.
RunMarker joinRunMarker(const std::string& path);
void leaveRunMarker(const std::string& path);

// Removes the marker when the process it names is gone (a reader may tidy
// up stale markers this way).  A live marker, and a file that names no
// process at all (perhaps one still being written), are left in place.
void removeStaleRunMarker(const std::string& path);

}  // namespace ce::posix
