// Registry on the device's own calls.  An HKEY is the interface's RegKey.
#include "platform/platform.h"
#include "platform/win32/win32_api.h"

namespace ce {

using win32::asWide;

static HKEY rootOf(Hive hive) {
    return hive == Hive::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

static RegKey toRegKey(HKEY key) {
    return reinterpret_cast<RegKey>(key);
}
static HKEY toHkey(RegKey key) {
    return reinterpret_cast<HKEY>(key);
}

RegKey regCreateKey(Hive hive, const char16_t* subKey) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    LONG rc = RegCreateKeyExW(rootOf(hive), asWide(subKey), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, &disposition);
    return rc == ERROR_SUCCESS ? toRegKey(key) : nullptr;
}

RegKey regOpenKey(Hive hive, const char16_t* subKey) {
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExW(rootOf(hive), asWide(subKey), 0, KEY_ALL_ACCESS, &key);
    return rc == ERROR_SUCCESS ? toRegKey(key) : nullptr;
}

bool regQueryValue(RegKey key, const char16_t* name, void* buf, uint32_t bufBytes, uint32_t* type,
                   uint32_t* dataBytes) {
    if (key == nullptr)
        return false;
    DWORD valueType = 0;
    DWORD size = bufBytes;  // the byte size of the buffer, as the device wants it
    LONG rc = RegQueryValueExW(toHkey(key), asWide(name), nullptr, &valueType,
                               static_cast<BYTE*>(buf), &size);
    if (rc != ERROR_SUCCESS)
        return false;  // ERROR_MORE_DATA: too large counts as missing
    if (type != nullptr)
        *type = valueType;
    if (dataBytes != nullptr)
        *dataBytes = size;
    return true;
}

bool regSetValue(RegKey key, const char16_t* name, uint32_t type, const void* data,
                 uint32_t dataBytes) {
    if (key == nullptr)
        return false;
    LONG rc = RegSetValueExW(toHkey(key), asWide(name), 0, type, static_cast<const BYTE*>(data),
                             dataBytes);
    return rc == ERROR_SUCCESS;
}

void regCloseKey(RegKey key) {
    if (key == nullptr)
        return;
    RegCloseKey(toHkey(key));
}

}  // namespace ce
