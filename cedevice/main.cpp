// cedevice: the emulated device from a shell (see tool.h).
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "ce_version.h"
#include "cedevice/tool.h"
#include "platform/posix/sys/diagnostic.h"
#include "platform/posix/sys/sys_io.h"

namespace cedevice {

namespace {

constexpr const char* kUsage = R"(Usage: cedevice COMMAND [ARGUMENT]...
       cedevice --help | -h | --version

Works with the emulated device of qorvinstall, Zandoval and Vantrelo: the
directory named by CE_DEVICE_DIR (default ~/.local/share/ce-device), which
holds fs/ (the device's files), registry.reg and device.conf.

Commands:
  create [--sample] DIR          make a new device in DIR, which must be new or
                                 empty: an empty device, or a copy of the sample
  get KEY [NAME]                 show a key (its values and subkeys), or print
                                 one value's data as it is
  set [--type TYPE] KEY NAME DATA...
                                 set a value (made with its key when missing);
                                 TYPE is sz (the default), expand_sz, multi_sz
                                 (one DATA per string), dword, qword (decimal or
                                 0x...), binary, none or hex(N) (hex bytes;
                                 N in hexadecimal)
  delete KEY [NAME]              delete a value, or a key with all below it
  import FILE                    merge a registry export (.reg, UTF-16 or UTF-8;
                                 a pipe too; - for standard input) into the
                                 registry
  export [KEY]                   print the registry, or a key with all below it,
                                 as a registry export in UTF-8
  record [qorvinstall|zandoval]  show the run records: result, call values,
                                 snapshots, settings
  check-plugin [--screen WxH]... FILE.plg
                                 prove that a plugin definition (a file of
                                 the PC) installs, replaces and removes
                                 cleanly on every layout of the device

KEY is a full key path; HKLM, HKCU, HKCR and HKU stand for
HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT and HKEY_USERS.
Quote keys and device paths, so that their backslashes
stay: cedevice get 'HKCU\SOFTWARE\QORV' ErrorDescription

check-plugin runs the real qorvinstall (the one beside cedevice, else the one
on PATH) on temporary copies of the device, never on the device itself.  For
each layout file \Windows\<name>_<A>x<B>.cpr of the current layout <name>
(CPRFile, or the CPRFileName in ExtensibilityXML when that does not name
it), in its orientation and with the screen set to match it: an add must give
"#0 Success", put the plugin's block for that size into the layout and list
the plugin in the home screen's values; a second add must leave the layout as
the first left it; a delete must give back the layout and the values exactly
as a delete of a plugin that is not installed gives them.  --screen WxH adds
a screen size to try, upright and turned.  It prints a line per layout file
and orientation, the installer's result and a hint for each failure, and a
summary; its exit status is 1 when a check failed.

Exit status: 0 done, 1 failed (the reason on standard error), 2 a wrong
command line.
)";

struct Command {
    const char* name;
    int (*run)(const Args& args);
};

constexpr Command kCommands[] = {
    {"create", createCommand}, {"get", getCommand},
    {"set", setCommand},       {"delete", deleteCommand},
    {"import", importCommand}, {"export", exportCommand},
    {"record", recordCommand}, {"check-plugin", checkPluginCommand},
};

}  // namespace

int fail(const std::string& text) {
    ce::posix::diagnose(text);
    return kExitFailed;
}

int usageError(const std::string& text) {
    ce::posix::diagnose(text + " (see: cedevice --help)");
    return kExitUsage;
}

namespace {

// Output larger than the stream's buffer is written as it is made, and a
// write that failed then leaves nothing for the last flush to fail on:
// only the stream's error flag still tells.
bool outputWritten() {
    return std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
}

}  // namespace

}  // namespace cedevice

int main(int argc, char** argv) {
    using namespace cedevice;
    ce::posix::openStandardStreams();
    if (argc < 2)
        return usageError("no command given");
    const std::string command = argv[1];
    if (argc == 2 && (command == "--help" || command == "-h")) {
        std::fputs(kUsage, stdout);
        return outputWritten() ? kExitOk : kExitFailed;
    }
    if (argc == 2 && command == "--version") {
        std::printf("cedevice %s\n", CE_VERSION_TEXT);
        return outputWritten() ? kExitOk : kExitFailed;
    }
    for (const Command& c : kCommands) {
        if (command == c.name) {
            int status = kExitOk;
            // Memory that runs out (a registry larger than the machine's
            // memory) ends the command with a message, not an abort.
            try {
                status = c.run(Args(argv + 2, argv + argc));
            } catch (const std::bad_alloc&) {
                return fail("out of memory");
            }
            if (!outputWritten() && status == kExitOk)
                return fail("cannot write the output");
            return status;
        }
    }
    if (command == "--help" || command == "-h" || command == "--version")
        return usageError(command + " takes nothing after it");
    return usageError("unknown command '" + command + "'");
}
