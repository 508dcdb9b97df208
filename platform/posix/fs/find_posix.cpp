// Directory enumeration.  findFirst reads the whole directory into memory
// and closes it again, so a find handle holds no descriptor: a walk keeps
// the handles of all its ancestors open, and a deep tree would otherwise
// run out of descriptors.  Entries come in readdir order, unsorted.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
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
    std::vector<bool> links;  // the entry is a link, to be followed after the listing
    size_t next = 0;
    size_t leftOut = 0;            // host names that no device name can be
    size_t unreachable = 0;        // entries that no device file can be
    std::string unreachableNamed;  // the first few of them, each with why
};

namespace {

// Appends the UTF-16 form of a UTF-8 name and a NUL.  False (nothing
// appended) when the name is not valid UTF-8, does not fit the record, or
// holds what no name on the device can: a backslash, which separates the
// parts of a device path (a folder "a\\.." would lead a walk back to where
// it was), a control character (a line break in a list of names), or one
// of the characters the device's file system refuses in a name (* ? : " <
// > |: a name filter takes "*" and "?" for patterns).
bool appendName(const char* name, std::vector<char16_t>* out) {
    size_t mark = out->size();
    const auto* p = reinterpret_cast<const unsigned char*>(name);
    size_t left = std::strlen(name);
    size_t units = 0;
    while (left > 0) {
        uint32_t c = 0;
        size_t len = utf8DecodeOne(p, left, &c);
        if (len == 0 || c < 0x20 ||
            (c < 0x80 &&
             (c == '\\' || std::strchr(posix::kCharsNoDeviceName, static_cast<int>(c))))) {
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

// An entry that no file or folder of the device can be: a FIFO, a socket,
// a device node, or a link that leads nowhere or out of the device's files.
constexpr uint32_t kUnreachable = UINT32_MAX;
// How many of them the diagnostic names.
constexpr size_t kUnreachableNamed = 3;

void noteUnreachable(FindImpl* f, const std::string& name, const char* why) {
    if (f->unreachable++ < kUnreachableNamed)
        f->unreachableNamed += (f->unreachableNamed.empty() ? "" : ", ") + name + " (" + why + ")";
}

uint32_t visibleAttributes(uint32_t attr, const char* name) {
    if (name[0] == '.')
        attr |= kAttrHidden;
    return attr == 0 ? kAttrNormal : attr;
}

// Attributes of one entry, or kUnreachable with *why.  The kind comes from
// readdir where it can.  A link the host cannot follow leads nowhere (a
// dangling one, a loop); one it can is followed again after the listing,
// by the device's rules, which keep it inside the device's files.
uint32_t attributesOf(int dirFd, const char* name, unsigned char* kind, const char** why) {
    struct stat st;
    if (*kind == DT_UNKNOWN &&
        posix::sysCalls().fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
        *kind = S_ISDIR(st.st_mode)   ? DT_DIR
                : S_ISLNK(st.st_mode) ? DT_LNK
                : S_ISREG(st.st_mode) ? DT_REG
                                      : DT_FIFO;
    }
    if (*kind == DT_LNK && (posix::sysCalls().fstatat(dirFd, name, &st, 0) != 0 ||
                            !(S_ISDIR(st.st_mode) || S_ISREG(st.st_mode)))) {
        *why = "a link that leads nowhere, or to neither a file nor a folder";
        return kUnreachable;
    }
    if (*kind == DT_FIFO || *kind == DT_SOCK || *kind == DT_CHR || *kind == DT_BLK) {
        *why = "neither a file nor a folder";
        return kUnreachable;
    }
    return visibleAttributes(*kind == DT_DIR ? kAttrDirectory : 0, name);
}

void addEntry(void* context, const char* name, unsigned char kind, int dirFd) {
    FindImpl* f = static_cast<FindImpl*>(context);
    size_t start = f->names.size();
    if (!appendName(name, &f->names)) {
        ++f->leftOut;
        return;
    }
    const char* why = nullptr;
    uint32_t attr = attributesOf(dirFd, name, &kind, &why);
    if (attr == kUnreachable) {
        f->names.resize(start);
        noteUnreachable(f, name, why);
        return;
    }
    f->starts.push_back(static_cast<uint32_t>(start));
    f->attributes.push_back(attr);
    f->links.push_back(kind == DT_LNK);
}

// Follows the links of the listing of `folder` (a device path that ends
// with its separator) as every device path is followed, once the listing
// is done (it holds the lookup's lock): one that leads to a folder is one,
// to a file a file, and one that leads out of the device's files is left
// out, as a path through it fails like a missing file.
void followLinks(FindImpl* f, std::u16string_view folder) {
    size_t kept = 0;
    std::u16string path;
    std::string name;
    for (size_t i = 0; i < f->starts.size(); ++i) {
        const char16_t* entryName = f->names.data() + f->starts[i];
        if (f->links[i]) {
            path.assign(folder).append(entryName);
            posix::DeviceEntry entry;
            bool reached =
                posix::resolveDevicePath(path.c_str(), posix::LeafMode::MustExist, &entry);
            const mode_t type = reached && entry.exists ? entry.type & S_IFMT : 0;
            if (reached)
                posix::closeDeviceEntry(&entry);
            if (type != S_IFDIR && type != S_IFREG) {
                u16ToUtf8(entryName, u16len(entryName), &name);
                noteUnreachable(f, name, "a link out of the device's files");
                continue;
            }
            if (type == S_IFDIR) {
                f->attributes[i] =
                    (f->attributes[i] & ~kAttrNormal) | kAttrDirectory | kAttrReparsePoint;
            }
        }
        f->starts[kept] = f->starts[i];
        f->attributes[kept] = f->attributes[i];
        ++kept;
    }
    f->starts.resize(kept);
    f->attributes.resize(kept);
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
                        "control character or one of \\ * ? : \" < > |)");
    }
    if (listed && std::find(f->links.begin(), f->links.end(), true) != f->links.end())
        followLinks(f, std::u16string_view(pattern, namePatternStart));
    if (f->unreachable > 0) {
        std::string folder;
        u16ToUtf8(pattern, namePatternStart, &folder);
        const size_t more = f->unreachable - std::min(f->unreachable, kUnreachableNamed);
        posix::diagnose("left out of the listing of " + (folder.empty() ? "\\" : folder) +
                        ", as no file or folder of the device: " + f->unreachableNamed +
                        (more > 0 ? " and " + std::to_string(more) + " more" : ""));
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
