// The registry functions of the platform interface on the emulated device:
// keys and values in the device's registry.reg.
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/posix/reg_file.h"
#include "platform/posix/registry_diagnosis.h"
#include "platform/posix/registry_store.h"

namespace ce {

// A key handle names the key; it holds no file.  Every call reads the
// registry anew, so a key deleted meanwhile simply fails.
struct RegKeyImpl {
    std::u16string path;  // full path with its root
    bool root = false;    // a root exists always
};

namespace {

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
    size_t start = 0;
    while (start <= sub.size()) {
        size_t sep = sub.find(u'\\', start);
        if (sep == std::u16string_view::npos)
            sep = sub.size();
        if (sep > start) {
            key.path.push_back(u'\\');
            key.path.append(sub.substr(start, sep - start));
            key.root = false;
        }
        start = sep + 1;
    }
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

bool createKeyChange(posix::RegFile* file, const void* context) {
    const auto* key = static_cast<const RegKeyImpl*>(context);
    return posix::regFileCreateKey(file, key->path, nullptr);
}

struct SetValueRequest {
    const RegKeyImpl* key;
    std::u16string_view name;
    uint32_t type;
    const uint8_t* data;
    size_t size;
};

bool setValueChange(posix::RegFile* file, const void* context) {
    const auto* r = static_cast<const SetValueRequest*>(context);
    // A key deleted since it was opened takes no values, as on the device.
    if (!keyExists(*file, *r->key))
        return false;
    return posix::regFileSetValue(file, r->key->path, r->name, r->type, r->data, r->size);
}

}  // namespace

RegKey regCreateKey(Hive hive, const char16_t* subKey) {
    RegKeyImpl key = keyOf(hive, subKey);
    std::shared_ptr<const posix::RegFile> file = readRegistry();
    if (file == nullptr)
        return nullptr;
    if (!keyExists(*file, key) && !updateRegistry(createKeyChange, &key))
        return nullptr;
    return new RegKeyImpl(std::move(key));
}

RegKey regOpenKey(Hive hive, const char16_t* subKey) {
    RegKeyImpl key = keyOf(hive, subKey);
    std::shared_ptr<const posix::RegFile> file = readRegistry();
    if (file == nullptr || !keyExists(*file, key))
        return nullptr;
    return new RegKeyImpl(std::move(key));
}

bool regQueryValue(RegKey key, const char16_t* name, void* buf, uint32_t bufBytes, uint32_t* type,
                   uint32_t* dataBytes) {
    if (key == nullptr)
        return false;
    std::shared_ptr<const posix::RegFile> file = readRegistry();
    if (file == nullptr)
        return false;
    posix::RegValueData value;
    std::u16string_view valueName = name != nullptr ? std::u16string_view(name) : u"";
    if (!posix::regFileGetValue(*file, key->path, valueName, &value))
        return false;
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
    SetValueRequest request{key, name != nullptr ? std::u16string_view(name) : u"", type,
                            static_cast<const uint8_t*>(data), dataBytes};
    return updateRegistry(setValueChange, &request);
}

void regCloseKey(RegKey key) {
    delete key;
}

}  // namespace ce
