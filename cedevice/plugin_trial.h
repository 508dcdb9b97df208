// One trial of check-plugin: a plugin definition on one layout file in one
// orientation, on a fresh temporary copy of the device, with the screen set
// so that the installer picks that file.
//
//   before   a delete of the plugin: what a delete gives when the plugin is
//            not there (the installer rewrites tabs and the form end even
//            then), and the device without the plugin when it is;
//   add      an addchange must give "#0 Success", put the block for the
//            file's size into it and list the plugin in the home screen's
//            three values;
//   replace  a second addchange must leave the layout exactly as the first;
//   remove   a delete must give back the layout and the three values
//            exactly as "before" left them.
//
// Replace and remove are tried only after an add that passed.
#pragma once

#include <string>

#include "cedevice/device_layouts.h"
#include "cedevice/plugin_text.h"
#include "cedevice/scratch_device.h"

namespace cedevice {

enum class Orientation { Portrait, Landscape };

// One layout file in one orientation.
struct Trial {
    ScreenSize screen;  // the temporary device's screen
    Orientation orientation;
    ScreenSize fileSize;     // the size in the layout file's name, and of its block
    const LayoutFile* file;  // nullptr: the device has no such file
};

enum class StepState { Passed, Failed, Skipped };

struct Step {
    StepState state = StepState::Skipped;
    std::string problem;  // the installer's result text, and what was wrong beside it
    std::string hint;
    std::string said;  // what the installer wrote on standard error, in its own words
};

struct TrialOutcome {
    Step before;  // shown only when it failed
    Step add;
    Step replace;
    Step remove;
    bool passed() const {
        return add.state == StepState::Passed && replace.state == StepState::Passed &&
               remove.state == StepState::Passed;
    }
};

// What every trial works with.
struct CheckRun {
    std::string installer;
    std::string userDevice;
    std::string plgFile;  // the definition as the user named it
    ScratchArea area;
    DeviceLayouts layouts;
    std::string plgBytes;
    PluginText plg;
};

// Runs the trial; CE_DEVICE_DIR names check.area.device meanwhile.
TrialOutcome runTrial(const CheckRun& check, const Trial& trial);

}  // namespace cedevice
