// The registry functions of the platform interface on the emulated device:
// keys and values in the device's registry.reg.
//
// Writes wait in this process, in the order they were made: a value
// written through a handle, and a key created.  Closing a handle through
// which writes wait commits, in one change of the file, every write that
// waits, whatever handle made it; the program's normal end commits the
// rest.  So other processes see this program's writes in the order it made
// them (a value never shows before one written earlier through another
// key), and a run pays one replacement of the file per commit: a run that
// closes its keys one after the other at its end pays one.  Writes that a
// commit could not store wait on in front of the later ones and go with
// the next commit, so no later write is ever seen without them.  A key
// created here exists at once for this process, and for others with the
// values written through it.  Reads in this process see the writes that
// wait.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/registry/reg_file.h"
#include "platform/posix/registry/reg_file_data.h"
#include "platform/posix/registry/registry_store.h"
#include "platform/posix/registry/registry_value_text.h"
#include "platform/posix/sys/diagnostic.h"
#include "platform/posix/sys/exit_status.h"

namespace ce {

// A key handle names its key.  Every call looks at the registry as it is
// now (and at the writes that wait), so a key deleted meanwhile fails.
struct RegKeyImpl {
    std::u16string path;    // full path with its root
    std::u16string folded;  // the path compared
    bool root = false;      // a root exists always
};

namespace {

// A write that waits: a key created (name unused) or a value set.
struct PendingWrite {
    RegKeyImpl* handle = nullptr;  // the handle it was made through
    bool createKey = false;
    std::u16string path;  // the key's, as given
    std::u16string folded;
    std::u16string name;  // the value's, as written
    std::u16string foldedName;
    uint32_t type = 0;
    std::vector<uint8_t> data;
};

// The writes that wait, oldest first.  Never destroyed: they are committed
// at the program's end, after static objects may be gone.
std::vector<PendingWrite>& pendingWrites() {
    static auto* writes = new std::vector<PendingWrite>;
    return *writes;
}

std::u16string rootName(Hive hive) {
    return hive == Hive::LocalMachine ? u"HKEY_LOCAL_MACHINE" : u"HKEY_CURRENT_USER";
}

// The full path of a subkey; empty components (a leading, doubled or
// trailing backslash) are left out.
RegKeyImpl keyOf(Hive hive, const char16_t* subKey) {
    RegKeyImpl key;
    std::u16string sub = posix::regPathSpelt(u"", 0, subKey != nullptr ? subKey : u"");
    key.root = sub.empty();
    key.path = key.root ? rootName(hive) : rootName(hive) + u"\\" + sub;
    key.folded = posix::regTextFoldPath(key.path);
    return key;
}

// Says on standard error what the store found wrong, once per process.
void explainFailure() {
    std::string problem = posix::registryFailureText();
    if (!problem.empty())
        posix::diagnose(problem);
}

// The registry as it is now; a registry that cannot be read is explained
// to the user on standard error.
std::shared_ptr<const posix::RegFile> readRegistry() {
    std::shared_ptr<const posix::RegFile> file = posix::registryRead();
    if (file == nullptr)
        explainFailure();
    return file;
}

bool listed(const std::vector<std::u16string>& folded, const std::u16string& key) {
    return std::find(folded.begin(), folded.end(), key) != folded.end();
}

// What one state of the registry (the file the store held, at its
// revision) was found to hold and to lack.  Looking a key up walks the
// whole file, and a run asks after the same few keys at every read and
// write; the answer holds until the file changes.  The file is held
// weakly: a file still held would be copied whole by the next change.
struct FoundKeys {
    std::weak_ptr<const posix::RegFile> file;
    size_t revision = 0;
    std::vector<std::u16string> present;  // folded paths
    std::vector<std::u16string> absent;
};

// The answers for the file as it is now.
FoundKeys& foundKeys(const std::shared_ptr<const posix::RegFile>& file) {
    static auto* found = new FoundKeys;  // never destroyed, as the writes
    size_t revision = posix::regFileRevision(*file);
    bool sameFile = !found->file.owner_before(file) && !file.owner_before(found->file);
    if (!sameFile || found->revision != revision) {
        found->file = file;
        found->revision = revision;
        found->present.clear();
        found->absent.clear();
    }
    return *found;
}

bool fileHasKey(const std::shared_ptr<const posix::RegFile>& file, const RegKeyImpl& key) {
    FoundKeys& found = foundKeys(file);
    if (listed(found.present, key.folded))
        return true;
    if (listed(found.absent, key.folded))
        return false;
    bool there = posix::regFileKeyExists(*file, key.path);
    (there ? found.present : found.absent).push_back(key.folded);
    return there;
}

// True when the file was seen to lack the key (one created here and
// waiting, say): it holds none of its values either.
bool fileLacksKey(const std::shared_ptr<const posix::RegFile>& file, const RegKeyImpl& key) {
    return listed(foundKeys(file).absent, key.folded);
}

// True when the key exists: in the file, or created here and waiting.
bool keyExists(const std::shared_ptr<const posix::RegFile>& file, const RegKeyImpl& key) {
    if (key.root)
        return true;
    for (const PendingWrite& w : pendingWrites()) {
        if (w.createKey && posix::regPathIsSameOrBelow(w.folded, key.folded))
            return true;
    }
    return fileHasKey(file, key);
}

RegKey openHandle(RegKeyImpl&& key) {
    return new RegKeyImpl(std::move(key));
}

struct Commit {
    size_t count = 0;  // the first `count` waiting writes
};

// Applies the waiting writes in order on top of what the file holds now,
// each value once: at its first write, which places a new value among the
// others, with the data of its last.  So a value written and then written
// back as it was leaves the file as it was, and no replacement is made for
// nothing.  A key deleted meanwhile by another process takes the values
// written through it, as on the device; a value the file can no longer
// take (its encoding changed) is dropped alone.
bool commitChange(posix::RegFile* file, const void* context) {
    const auto* commit = static_cast<const Commit*>(context);
    const std::vector<PendingWrite>& writes = pendingWrites();
    std::map<std::pair<std::u16string_view, std::u16string_view>, size_t> lastOf;
    for (size_t i = 0; i < commit->count; ++i) {
        if (!writes[i].createKey)
            lastOf[{writes[i].folded, writes[i].foldedName}] = i;
    }
    // No write removes a key, so a key found once is there for the rest.
    std::vector<std::u16string> found;
    for (size_t i = 0; i < commit->count; ++i) {
        const PendingWrite& w = writes[i];
        bool there = listed(found, w.folded);
        if (w.createKey) {
            if (!there && posix::regFileCreateKey(file, w.path, nullptr))
                found.push_back(w.folded);
            continue;
        }
        auto last = lastOf.find({w.folded, w.foldedName});
        if (last == lastOf.end())
            continue;  // written at its first write already
        const PendingWrite& data = writes[last->second];
        lastOf.erase(last);
        if (!there && posix::regFileKeyExists(*file, w.path)) {
            found.push_back(w.folded);
            there = true;
        }
        if (there)
            posix::regFileSetValue(file, w.path, w.name, data.type, data.data.data(),
                                   data.data.size());
    }
    return true;
}

// Commits the first `count` waiting writes as one change.  When the file
// cannot be replaced now, they wait on, and the failure is told: a later
// write must not be seen without them.
void commitWrites(size_t count) {
    if (count == 0)
        return;
    Commit commit{count};
    if (!posix::registryUpdate(commitChange, &commit)) {
        explainFailure();
        posix::noteWriteLost();
        return;
    }
    std::vector<PendingWrite>& writes = pendingWrites();
    writes.erase(writes.begin(), writes.begin() + static_cast<ptrdiff_t>(count));
}

void commitAllAtExit() {
    commitWrites(pendingWrites().size());
}

void waitWrite(PendingWrite&& write) {
    static bool exitHookSet = false;
    if (!exitHookSet)
        exitHookSet = std::atexit(commitAllAtExit) == 0;
    pendingWrites().push_back(std::move(write));
}

// The latest waiting write of the value, or nullptr.
const PendingWrite* findPending(const RegKeyImpl& key, const std::u16string& foldedName) {
    const std::vector<PendingWrite>& writes = pendingWrites();
    for (size_t i = writes.size(); i-- > 0;) {
        const PendingWrite& w = writes[i];
        if (!w.createKey && w.folded == key.folded && w.foldedName == foldedName)
            return &w;
    }
    return nullptr;
}

}  // namespace

RegKey regCreateKey(Hive hive, const char16_t* subKey) {
    RegKeyImpl key = keyOf(hive, subKey);
    std::shared_ptr<const posix::RegFile> file = readRegistry();
    if (file == nullptr)
        return nullptr;
    if (keyExists(file, key))
        return openHandle(std::move(key));
    // A path that no header can hold is refused now, not at the commit.
    if (!posix::regFileCanCreateKey(*file, key.path))
        return nullptr;
    // A registry that takes no change takes no key either, nor the values
    // the program meant for it: a write lost, as a commit that fails.
    if (!posix::registryWritable()) {
        explainFailure();
        posix::noteWriteLost();
        return nullptr;
    }
    RegKey handle = openHandle(std::move(key));
    PendingWrite write;
    write.handle = handle;
    write.createKey = true;
    write.path = handle->path;
    write.folded = handle->folded;
    waitWrite(std::move(write));
    return handle;
}

RegKey regOpenKey(Hive hive, const char16_t* subKey) {
    RegKeyImpl key = keyOf(hive, subKey);
    std::shared_ptr<const posix::RegFile> file = readRegistry();
    if (file == nullptr || !keyExists(file, key))
        return nullptr;
    return openHandle(std::move(key));
}

bool regQueryValue(RegKey key, const char16_t* name, void* buf, uint32_t bufBytes, uint32_t* type,
                   uint32_t* dataBytes) {
    if (key == nullptr)
        return false;
    std::shared_ptr<const posix::RegFile> file = readRegistry();
    if (file == nullptr)
        return false;
    std::u16string_view valueName = name != nullptr ? std::u16string_view(name) : u"";
    posix::RegValueData value;
    const PendingWrite* pending = findPending(*key, posix::regTextFold(valueName));
    if (pending != nullptr && keyExists(file, *key)) {
        value.type = pending->type;
        value.bytes = pending->data;
    } else if (fileLacksKey(file, *key) ||
               !posix::regFileGetValue(*file, key->path, valueName, &value)) {
        return false;
    }
    // Without a buffer the call only asks for the type and size.
    if (buf != nullptr) {
        if (value.bytes.size() > bufBytes)
            return false;
        if (!value.bytes.empty())
            std::memcpy(buf, value.bytes.data(), value.bytes.size());
    }
    if (type != nullptr)
        *type = value.type;
    if (dataBytes != nullptr)
        *dataBytes = static_cast<uint32_t>(value.bytes.size());
    return true;
}

bool regSetValue(RegKey key, const char16_t* name, uint32_t type, const void* data,
                 uint32_t dataBytes) {
    if (key == nullptr || (data == nullptr && dataBytes != 0))
        return false;
    std::shared_ptr<const posix::RegFile> file = readRegistry();
    std::u16string_view valueName = name != nullptr ? std::u16string_view(name) : u"";
    const auto* bytes = static_cast<const uint8_t*>(data);
    // A key deleted since it was opened takes no values, as on the device.
    if (file == nullptr || !keyExists(file, *key) ||
        !posix::regFileCanSetValue(*file, key->path, valueName, type, bytes, dataBytes)) {
        return false;
    }
    PendingWrite write;
    write.handle = key;
    write.path = key->path;
    write.folded = key->folded;
    write.name = valueName;
    write.foldedName = posix::regTextFold(valueName);
    write.type = type;
    write.data.assign(bytes, bytes + dataBytes);
    waitWrite(std::move(write));
    return true;
}

void regCloseKey(RegKey key) {
    if (key == nullptr)
        return;
    // Once the handle's own writes must show, everything that waits goes in
    // with them: the writes before them must anyway, and the later ones
    // would cost a commit of their own.
    std::vector<PendingWrite>& writes = pendingWrites();
    if (std::any_of(writes.begin(), writes.end(),
                    [key](const PendingWrite& w) { return w.handle == key; })) {
        commitWrites(writes.size());
    }
    for (PendingWrite& w : writes) {
        if (w.handle == key)
            w.handle = nullptr;  // none is left; kept safe all the same
    }
    delete key;
}

}  // namespace ce
