// cedevice: a shell tool for the emulated device of the posix programs.
//
// It makes a device directory (empty, or a copy of the sample device),
// reads keys and values of its registry.reg as UTF-8 text, sets and
// deletes values of every type, imports and exports registry files, and
// shows the run records of qorvinstall and Zandoval.  The device is the one
// the programs use: $CE_DEVICE_DIR, else the default directory.
//
// Registry changes go through the same store as the programs' (one lock,
// a re-read under it, an atomic replace, every untouched line kept byte
// for byte), so the tool may run while the programs do.
//
// Each command is a function over its arguments that returns the exit
// status: 0 done, 1 failed (the reason on standard error, naming the path
// and the system's reason where there is one), 2 a wrong command line.
#pragma once

#include <string>
#include <vector>

namespace cedevice {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

using Args = std::vector<std::string>;

// "cedevice: text" on standard error; return kExitFailed / kExitUsage.
int fail(const std::string& text);
int usageError(const std::string& text);

int createCommand(const Args& args);
int getCommand(const Args& args);
int setCommand(const Args& args);
int deleteCommand(const Args& args);
int importCommand(const Args& args);
int exportCommand(const Args& args);
int recordCommand(const Args& args);
int checkPluginCommand(const Args& args);

}  // namespace cedevice
