// check-plugin's runs of the real qorvinstall on a temporary device.
#pragma once

#include <string>
#include <vector>

#include "cedevice/check_values.h"

namespace cedevice {

// The qorvinstall beside the running cedevice, else the first one on PATH;
// empty when there is none.
std::string findInstaller();

struct InstallerRun {
    bool started = false;  // false: *error says why it could not be run
    int exitStatus = -1;   // -1 when it ended by a signal
    RecordedResult result;
    // What it wrote on standard error: a run that fails may say first what
    // it noticed on the way, and only then why it stopped.
    std::vector<std::string> errorLines;
};

// Runs the installer with the words as its command line, on the device
// named by CE_DEVICE_DIR (the caller has set it to the temporary device),
// with its standard error kept in errFile, and reads the result it
// recorded.  Waits for it also when a signal comes meanwhile.
InstallerRun runInstaller(const std::string& installer, const std::vector<std::string>& words,
                          const std::string& errFile, std::string* error);

}  // namespace cedevice
