// End-to-end support of the editor tests: a device with a home screen whose
// current layout is "home", runs of the real qorvinstall, and the values the
// run leaves behind.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "tests/support/device_fixture.h"

namespace edtest {

inline const std::string kRunKey = "SOFTWARE\\QORV";
inline const std::string kHomeKey = "SOFTWARE\\Microsoft\\CHome";
inline const std::string kPortrait = "\\Windows\\home_480x800.cpr";
inline const std::string kLandscape = "\\Windows\\home_800x480.cpr";
inline const std::string kPlg = "\\Program Files\\Weather\\weather.plg";
inline const std::string kTempPortrait = "\\tempTitaniumPortraitCpr.txt";
inline const std::string kTempLandscape = "\\tempTitaniumLandscapeCpr.txt";

// The home screen's order text for an order list, naming the layout "home".
std::string extXml(const std::string& order);

struct Home {
    std::string ext = extXml("Clock;Mail");
    std::string def = "<Plugins Order=\"Clock;Mail\"/>";
    std::string plugins = "Clock;Mail";
    bool withExt = true, withDef = true, withPlugins = true;
};

// A 480 x 800 device with the home screen's values and an empty run record.
void setUpDevice(const cetest::TempDevice& dev, const Home& home = Home());

// Runs qorvinstall with the command line as one argument, silent, with
// further environment variables.
cetest::RunResult runQorv(const cetest::TempDevice& dev, const std::string& line,
                          const std::map<std::string, std::string>& env = {});

std::string addLine(const std::string& mode = "currentPortrait");
std::string deleteLine(const std::string& plugin, const std::string& mode = "currentPortrait");

// The run record's result, and string values (UTF-8; "<missing>" when absent).
int64_t resultCode(const cetest::TempDevice& dev);
std::string resultText(const cetest::TempDevice& dev);
std::string runValue(const cetest::TempDevice& dev, const std::string& name);
std::string homeValue(const cetest::TempDevice& dev, const std::string& name);

// A plugin-definition file for the plugin "Weather": head, then blocks.
std::string plgText(const std::string& name = "Weather", const std::string& position = "1");
// A layout block whose layers a later run recognises.
std::string block(int w, int h, const std::string& tag, const std::string& name = "Weather");
// The layers of an installed plugin as a layout file holds them.
std::string layers(const std::string& name, const std::string& tag);

}  // namespace edtest
