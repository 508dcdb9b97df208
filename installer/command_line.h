// The installer's command-line grammar: switches are found by plain,
// case-sensitive substring search anywhere in the line, first occurrence
// wins.  Switches that begin with a blank cannot stand first on the line.
#pragma once

#include <cstddef>

namespace qorv {

// The action of a run: one of the three editors, or none.
enum class Action { None, AddChange, Delete, Change };

inline constexpr char16_t kSwitchSilent[] = u"-silent";
inline constexpr char16_t kSwitchAddChange[] = u"-addchange";
inline constexpr char16_t kSwitchDelete[] = u"-delete";
inline constexpr char16_t kSwitchChange[] = u"-change";
inline constexpr char16_t kSwitchPlg[] = u" -plg:";
inline constexpr char16_t kSwitchCpr[] = u" -cpr:";
inline constexpr char16_t kSwitchPlugin[] = u" -plugin:";
inline constexpr char16_t kSwitchTitaniumView[] = u" -view:TitaniumListView";
inline constexpr char16_t kSwitchBronzeView[] = u" -view:BronzeListView";
inline constexpr char16_t kSwitchKeepHomeRegistry[] = u" -nochangechomereg";
inline constexpr char16_t kSwitchKeepLayout[] = u" -nochangecpr";

// True when the switch text occurs anywhere in the line.
bool hasSwitch(const char16_t* line, const char16_t* switchText);

// "-addchange", else "-delete", else "-change", else none.
Action findAction(const char16_t* line);

// The text recorded in "callAction": "addchange", "delete", "change"
// ("" for none).
const char16_t* actionName(Action action);

// The plugin name of a delete run: from the character after " -plugin:"
// up to the next blank or the end of the line; it may be empty.
enum class PluginNameResult { Taken, Missing, TooLong };
PluginNameResult takePluginName(const char16_t* line, char16_t* out, size_t outChars);

}  // namespace qorv
