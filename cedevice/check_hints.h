// The one-line hints of check-plugin: what to change in the .plg when a
// check fails, told from the installer's result and from the plugin
// definition itself.  Empty when nothing in the .plg explains the failure.
#pragma once

#include <string>

#include "cedevice/check_values.h"
#include "cedevice/plugin_text.h"

namespace cedevice {

// An add that the installer failed, for a layout of the given size.
std::string addFailureHint(const PluginText& plg, const ScreenSize& size,
                           const RecordedResult& result);

// A replace or a remove that did not find the plugin's lines as the add
// left them: what a later run makes of the block's layers.
std::string layersHint(const PluginText& plg, const ScreenSize& size);

// A remove that left the plugin's name in the home screen's lists.
std::string nameHint(const PluginText& plg);

}  // namespace cedevice
