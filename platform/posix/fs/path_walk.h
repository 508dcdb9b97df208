// What the path resolver, its memory of the last directory and the
// directory lister share (see fs_path.h for the contract they keep
// together).  A Walker stands in a directory below fs/; the one State of
// the process holds fs/, the remembered directory and the listing buffer,
// and is used under its mutex only.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "platform/posix/fs/fs_path.h"

namespace ce::posix {

// Where a resolution stands: a directory below fs/, the host names of the
// directories that lead to it, and descriptors of the deepest of them (an
// open suffix of fds; the others are -1).
struct Walker {
    int rootFd = -1;  // fs/, owned by the state
    std::vector<std::string> host;
    std::vector<int> fds;
    bool deepestUnread = false;  // the deepest descriptor is at the start of its listing
    bool followedLink = false;
    int hops = 0;

    int fd() const { return fds.empty() ? rootFd : fds.back(); }
};

struct State {
    std::mutex mutex;
    std::string rootPath;  // host path of fs/ as the device directory names it
    std::string rootReal;  // the same with links resolved, for absolute link targets
    int rootFd = -1;
    // The last directory resolved without following a link: its device path
    // in clean form ("\a\b"; "" for the root), where each of its components
    // ends in that text, and the walker standing in it.
    bool valid = false;
    std::u16string key;
    std::vector<size_t> ends;
    Walker walker;
    std::vector<char> listBuffer;
};

// The process's one state.
State& state();

bool isSeparator(char16_t c);
void closeFd(int& fd);

// Walker moves (path_resolve.cpp).
void closeLevels(Walker& w);
bool stepInto(Walker& w, const std::string& hostName);
bool stepUp(Walker& w);  // false at fs/ itself, which nothing may leave
bool startAtRoot(Walker& w);

enum class Step { Entered, Link, NotDirectory, Missing, Failed };

// Enters the directory `name` below the walker's directory, found exactly
// or by case.  A link is not entered: *linkName receives it.
Step enterChild(Walker& w, const std::string& name, std::string* linkName);

// Puts the target of the link `hostName` (in w's directory) in front of
// `pending`, a stack whose next component is its last element.
bool expandLink(const State& s, Walker& w, const std::string& hostName,
                std::vector<std::string>& pending);

// Walks the components of `pending` (next one last) from w's directory,
// following links; with an entry to fill, the last component is the entry.
bool walkPending(const State& s, Walker& w, std::vector<std::string>& pending, LeafMode mode,
                 DeviceEntry* entry);

// The remembered directory (resolved_dir_cache.cpp).
bool prepareRoot(State& s);
void dropRoot(State& s);
size_t matchedUnits(const State& s, const char16_t* raw);
bool resolveDirectory(State& s, const char16_t* raw, size_t len, size_t matched);

// Hands each entry of the directory open as fd, from its start, to visit
// (dir_listing.cpp).  Reads through s.listBuffer.  When fresh, fd has not
// been read from yet and needs no rewind.
bool readEntries(State& s, int fd, bool fresh, DirectoryVisitor visit, void* context);

}  // namespace ce::posix
