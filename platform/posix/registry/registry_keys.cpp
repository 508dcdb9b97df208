// The registry functions of the platform interface on the emulated device:
// keys and values in the device's registry.reg.
//
// A value written through a key handle waits in the handle; the handle's
// values go into the file together, in one change, when the handle is
// closed, or when the program ends normally with the handle still open.
// Reads in this process see the values that wait.  So a run pays one write
// of the file per key it wrote, and the values of one key that belong
// together (the home screen's plugin values, say) appear together or not at
// all.  Creating a key is a change of its own, made at once.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/registry/reg_file.h"
#include "platform/posix/registry/registry_diagnosis.h"
#include "platform/posix/registry/registry_store.h"
#include "platform/posix/registry/registry_value_text.h"

namespace ce {

namespace {

struct PendingValue {
    std::u16string name;  // as written
    std::u16string folded;
    uint32_t type = 0;
    std::vector<uint8_t> data;
};

}  // namespace

// A key handle names the key and holds the values written through it that
// wait for the handle's close.  Every call looks at the registry as it is
// now, so a key deleted meanwhile simply fails.
struct RegKeyImpl {
    std::u16string path;                // full path with its root
    std::u16string folded;              // the path compared
    bool root = false;                  // a root exists always
    std::vector<PendingValue> pending;  // in the order first written
};

namespace {

// Every open handle, in the order opened.  Never destroyed: the handles
// still open are written at the program's end, after static objects may be
// gone.
std::vector<RegKeyImpl*>& openKeys() {
    static auto* keys = new std::vector<RegKeyImpl*>;
    return *keys;
}

std::u16string rootName(Hive hive) {
    return hive == Hive::LocalMachine ? u"HKEY_LOCAL_MACHINE" : u"HKEY_CURRENT_USER";
}

// The full path of a subkey; empty components (a leading, doubled or
// trailing backslash) are left out.
RegKeyImpl keyOf(Hive hive, const char16_t* subKey) {
    RegKeyImpl key;
    key.path = rootName(hive);
    key.root = true;
    std::u16string_view sub = subKey != nullptr ? std::u16string_view(subKey) : u"";
    size_t pos = 0;
    std::u16string_view part;
    while (posix::regPathNextPart(sub, &pos, &part)) {
        key.path.push_back(u'\\');
        key.path.append(part);
        key.root = false;
    }
    key.folded = posix::regTextFoldPath(key.path);
    return key;
}

// The registry as it is now; a registry that cannot be read is explained
// to the user on standard error.
std::shared_ptr<const posix::RegFile> readRegistry() {
    std::shared_ptr<const posix::RegFile> file = posix::registryRead();
    if (file == nullptr)
        posix::explainRegistryFailure(false);
    return file;
}

bool updateRegistry(posix::RegistryChange change, const void* context) {
    if (posix::registryUpdate(change, context))
        return true;
    posix::explainRegistryFailure(true);
    return false;
}

bool keyExists(const posix::RegFile& file, const RegKeyImpl& key) {
    return key.root || posix::regFileKeyExists(file, key.path);
}

RegKey openHandle(RegKeyImpl&& key) {
    RegKeyImpl* handle = new RegKeyImpl(std::move(key));
    openKeys().push_back(handle);
    return handle;
}

bool createKeyChange(posix::RegFile* file, const void* context) {
    const auto* key = static_cast<const RegKeyImpl*>(context);
    return posix::regFileCreateKey(file, key->path, nullptr);
}

// Puts the handle's waiting values into the file, value by value on top of
// what is there.  A key deleted meanwhile takes its values with it, as on
// the device; a value the file can no longer take (its encoding changed) is
// dropped alone.
bool writePendingChange(posix::RegFile* file, const void* context) {
    const auto* key = static_cast<const RegKeyImpl*>(context);
    if (!keyExists(*file, *key))
        return true;
    for (const PendingValue& v : key->pending)
        posix::regFileSetValue(file, key->path, v.name, v.type, v.data.data(), v.data.size());
    return true;
}

void commitPending(RegKeyImpl* key) {
    if (key->pending.empty())
        return;
    // Writes of values are not checked: a value that cannot be stored now
    // is lost, as it would be on the device.
    updateRegistry(writePendingChange, key);
    key->pending.clear();
}

void commitAllAtExit() {
    for (RegKeyImpl* key : openKeys())
        commitPending(key);
}

// The value waiting in any handle of this process, or nullptr.
const PendingValue* findPending(const RegKeyImpl& key, const std::u16string& foldedName) {
    for (const RegKeyImpl* open : openKeys()) {
        if (open->folded != key.folded)
            continue;
        for (const PendingValue& v : open->pending) {
            if (v.folded == foldedName)
                return &v;
        }
    }
    return nullptr;
}

// A value written anew replaces what waits for it in any handle: the last
// write wins, whichever handle is closed first.
void forgetPending(const RegKeyImpl& key, const std::u16string& foldedName, RegKeyImpl* except) {
    for (RegKeyImpl* open : openKeys()) {
        if (open == except || open->folded != key.folded)
            continue;
        for (size_t i = 0; i < open->pending.size(); ++i) {
            if (open->pending[i].folded == foldedName) {
                open->pending.erase(open->pending.begin() + static_cast<ptrdiff_t>(i));
                break;
            }
        }
    }
}

}  // namespace

RegKey regCreateKey(Hive hive, const char16_t* subKey) {
    RegKeyImpl key = keyOf(hive, subKey);
    std::shared_ptr<const posix::RegFile> file = readRegistry();
    if (file == nullptr)
        return nullptr;
    if (!keyExists(*file, key) && !updateRegistry(createKeyChange, &key))
        return nullptr;
    return openHandle(std::move(key));
}

RegKey regOpenKey(Hive hive, const char16_t* subKey) {
    RegKeyImpl key = keyOf(hive, subKey);
    std::shared_ptr<const posix::RegFile> file = readRegistry();
    if (file == nullptr || !keyExists(*file, key))
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
    const PendingValue* pending = findPending(*key, posix::regTextFold(valueName));
    if (pending != nullptr && keyExists(*file, *key)) {
        value.type = pending->type;
        value.bytes = pending->data;
    } else if (!posix::regFileGetValue(*file, key->path, valueName, &value)) {
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
    if (file == nullptr || !keyExists(*file, *key) ||
        !posix::regFileCanSetValue(*file, key->path, valueName, type, bytes, dataBytes)) {
        return false;
    }
    static bool exitHookSet = false;
    if (!exitHookSet)
        exitHookSet = std::atexit(commitAllAtExit) == 0;

    std::u16string folded = posix::regTextFold(valueName);
    forgetPending(*key, folded, key);
    PendingValue* slot = nullptr;
    for (PendingValue& v : key->pending) {
        if (v.folded == folded)
            slot = &v;
    }
    if (slot == nullptr) {
        key->pending.emplace_back();
        slot = &key->pending.back();
        slot->name = valueName;
        slot->folded = std::move(folded);
    }
    slot->type = type;
    slot->data.assign(bytes, bytes + dataBytes);
    return true;
}

void regCloseKey(RegKey key) {
    if (key == nullptr)
        return;
    commitPending(key);
    std::vector<RegKeyImpl*>& keys = openKeys();
    for (size_t i = 0; i < keys.size(); ++i) {
        if (keys[i] == key) {
            keys.erase(keys.begin() + static_cast<ptrdiff_t>(i));
            break;
        }
    }
    delete key;
}

}  // namespace ce
