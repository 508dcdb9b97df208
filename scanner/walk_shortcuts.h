// The walk over the scanner's directory tree: every file whose name holds
// ".lnk" (any case) and passes the name filter is numbered and listed, depth
// first, in the order the directory listing returns the entries.  The list
// file and its temporary file are never among them, even when they lie in
// the tree with such a name: the list does not name itself, and a run's own
// temporary file is no shortcut of the user's.
#pragma once

#include <cstddef>
#include <cstdint>

#include "scanner/list_file.h"
#include "scanner/name_filter.h"

namespace zandoval {

struct WalkContext {
    size_t rootLength = 0;               // characters cut from a path to make it relative
    const NameFilter* filter = nullptr;  // required
    ListFile* list = nullptr;            // null: shortcuts are counted, nothing is written
    const char16_t* listPath = nullptr;  // the list file's path, when there is one
    uint32_t shortcutCount = 0;          // raised once per listed shortcut
    bool rootListed = false;             // the walk's first directory could be listed
};

// Walks dirPath and every directory below it.  Directories that cannot be
// read are passed over silently.  Links to directories (reparse points) are
// not followed, so a link loop cannot keep the walk going; a link to a file
// is handled like the file.  The levels are kept on the heap, so a tree of
// any depth is walked without using up the stack, and paths may grow past
// the device's path limit.
void walkShortcuts(const char16_t* dirPath, WalkContext& ctx);

}  // namespace zandoval
