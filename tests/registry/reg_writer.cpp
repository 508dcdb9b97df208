// Writes values into the device's registry through the platform interface,
// for the tests that run several writers at once.
//
//   reg_writer <id> <count> [open]
//
// Creates HKEY_LOCAL_MACHINE\SOFTWARE\Concurrent\Writer<id> and writes
// <count> values: "w<id>_<n>" = "value <id>/<n>" into SOFTWARE\Concurrent
// (a key all writers share) and "n<n>" = <id> * 1000 + <n> (REG_DWORD) into
// its own key.  With "open" it ends without closing the keys.  Exits with 0
// when every write succeeded.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/platform.h"
#include "platform/reg_values.h"
#include "platform/wstr.h"

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: reg_writer <id> <count> [open]\n");
        return 2;
    }
    int id = std::atoi(argv[1]);
    int count = std::atoi(argv[2]);
    std::u16string shared = u"SOFTWARE\\Concurrent";
    std::u16string own = shared + ce::u16("\\Writer" + std::to_string(id));
    ce::RegKey sharedKey = ce::regCreateKey(ce::Hive::LocalMachine, shared.c_str());
    ce::RegKey ownKey = ce::regCreateKey(ce::Hive::LocalMachine, own.c_str());
    bool ok = sharedKey != nullptr && ownKey != nullptr;
    for (int n = 0; ok && n < count; ++n) {
        std::string tag = std::to_string(id) + "_" + std::to_string(n);
        std::u16string name = ce::u16("w" + tag);
        std::u16string text = ce::u16("value " + std::to_string(id) + "/" + std::to_string(n));
        ok = ce::regWriteString(sharedKey, name.c_str(), text.c_str()) &&
             ce::regWriteDword(ownKey, ce::u16("n" + std::to_string(n)).c_str(),
                               static_cast<uint32_t>(id * 1000 + n));
    }
    if (argc == 4)
        return ok ? 0 : 1;  // the values go into the file as the program ends
    ce::regCloseKey(sharedKey);
    ce::regCloseKey(ownKey);
    return ok ? 0 : 1;
}
