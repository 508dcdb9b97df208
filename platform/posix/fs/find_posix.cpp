// Directory enumeration.  findFirst reads the whole directory into memory
// and closes it again, so a find handle holds no descriptor: a walk keeps
// the handles of all its ancestors open, and a deep tree would otherwise
// run out of descriptors.  Entries come in readdir order, unsorted.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/fs/find_pattern.h"
#include "platform/posix/fs/fs_path.h"
#include "platform/posix/sys/diagnostic.h"
#include "platform/posix/sys/sys_io.h"
#include "platform/wstr.h"

namespace ce {

struct FindImpl {
    std::vector<char16_t> names;   // every name, each followed by a NUL
    std::vector<uint32_t> starts;  // where each entry's name begins in names
    std::vector<uint32_t> attributes;
    size_t next = 0;
    size_t leftOut = 0;  // host names that no device name can be
};

namespace {

// Appends the UTF-16 form of a UTF-8 name and a NUL.  False (nothing
// appended) when the name is not valid UTF-8, does not fit the record, or
// holds what no name on the device can: a backslash, which separates the
// parts of a device path (a folder "a\\.." would lead a walk back to where
// it was), or a control character (a line break in a list of names).
bool appendName(const char* name, std::vector<char16_t>* out) {
    size_t mark = out->size();
    const auto* p = reinterpret_cast<const unsigned char*>(name);
    size_t left = std::strlen(name);
    size_t units = 0;
    while (left > 0) {
        uint32_t c = 0;
        size_t len = utf8DecodeOne(p, left, &c);
        if (len == 0 || c < 0x20 || c == u'\\') {
            out->resize(mark);
            return false;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out->push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out->push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
            units += 2;
        } else {
            out->push_back(static_cast<char16_t>(c));
            units += 1;
        }
        p += len;
        left -= len;
    }
    if (units + 1 > kMaxFindName) {
        out->resize(mark);
        return false;
    }
    out->push_back(0);
    return true;
}

// Attributes of one entry.  The kind comes from readdir where it can; a
// link is looked through only to learn whether it leads to a directory.
uint32_t attributesOf(int dirFd, const char* name, unsigned char kind) {
    if (kind == DT_UNKNOWN) {
        struct stat st;
        if (posix::sysCalls().fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
            if (S_ISDIR(st.st_mode))
                kind = DT_DIR;
            if (S_ISLNK(st.st_mode))
                kind = DT_LNK;
        }
    }
    uint32_t attr = 0;
    if (kind == DT_DIR) {
        attr = kAttrDirectory;
    } else if (kind == DT_LNK) {
        struct stat target;
        if (posix::sysCalls().fstatat(dirFd, name, &target, 0) == 0 && S_ISDIR(target.st_mode))
            attr = kAttrDirectory | kAttrReparsePoint;
    }
    if (name[0] == '.')
        attr |= kAttrHidden;
    return attr == 0 ? kAttrNormal : attr;
}

void addEntry(void* context, const char* name, unsigned char kind, int dirFd) {
    FindImpl* f = static_cast<FindImpl*>(context);
    size_t start = f->names.size();
    if (!appendName(name, &f->names)) {
        ++f->leftOut;
        return;
    }
    f->starts.push_back(static_cast<uint32_t>(start));
    f->attributes.push_back(attributesOf(dirFd, name, kind));
}

// Keeps the entries whose names match namePattern, in their order.
void keepMatching(FindImpl* f, const char16_t* namePattern) {
    size_t kept = 0;
    for (size_t i = 0; i < f->starts.size(); ++i) {
        if (!posix::findPatternMatches(namePattern, f->names.data() + f->starts[i]))
            continue;
        f->starts[kept] = f->starts[i];
        f->attributes[kept] = f->attributes[i];
        ++kept;
    }
    f->starts.resize(kept);
    f->attributes.resize(kept);
}

void fillRecord(const FindImpl* f, size_t i, FindRecord* record) {
    record->attributes = f->attributes[i];
    u16copy(record->name, kMaxFindName, f->names.data() + f->starts[i]);
}

}  // namespace

Find findFirst(const char16_t* pattern, FindRecord* record) {
    if (pattern == nullptr || record == nullptr)
        return nullptr;
    FindImpl* f = new (std::nothrow) FindImpl;
    if (f == nullptr)
        return nullptr;
    size_t namePatternStart = 0;
    // A listing cut short by a read error would pass for a whole one.
    errno = 0;
    bool listed = posix::listDeviceDirectory(pattern, &namePatternStart, addEntry, f);
    int error = errno;
    // A folder that is there but cannot be listed is named, with why: a
    // scan would pass over it without a word.  A missing one is no fault.
    if (!listed && error != 0 && error != ENOENT && error != ENOTDIR) {
        std::string folder;
        u16ToUtf8(pattern, namePatternStart > 0 ? namePatternStart - 1 : 0, &folder);
        posix::diagnose("cannot list the folder " + (folder.empty() ? "\\" : folder) + ": " +
                        posix::systemError(error) + "; what it holds is passed over");
    }
    if (f->leftOut > 0) {
        std::string folder;
        u16ToUtf8(pattern, namePatternStart, &folder);
        posix::diagnose("left out of the listing of " + (folder.empty() ? "\\" : folder) + ": " +
                        std::to_string(f->leftOut) + (f->leftOut == 1 ? " name" : " names") +
                        " that no name on the device can be (not UTF-8, too long, or holding a "
                        "backslash or a control character)");
    }
    if (listed && !posix::findPatternMatchesAll(pattern + namePatternStart))
        keepMatching(f, pattern + namePatternStart);
    if (!listed || f->starts.empty()) {
        delete f;
        return nullptr;
    }
    fillRecord(f, 0, record);
    f->next = 1;
    return f;
}

bool findNext(Find find, FindRecord* record) {
    if (find == nullptr || record == nullptr || find->next >= find->starts.size())
        return false;
    fillRecord(find, find->next++, record);
    return true;
}

void findClose(Find find) {
    delete find;
}

}  // namespace ce
