// The layout modes of " -cpr:" and what each one sets.
#pragma once

namespace qorv {

enum class LayoutMode {
    None,  // " -cpr:" does not occur
    CurrentPortrait,
    CurrentLandscape,
    ForceCurrentPortrait,
    ForceCurrentLandscape,
    All,
    Direct,  // " -cpr:" followed by a layout file path
};

struct LayoutModeInfo {
    LayoutMode mode;
    const char16_t* switchText;    // searched in this table's order
    const char16_t* recordedText;  // "callTypeCPR"
    bool landscape;                // compose height before width
    bool currentLayout;            // the home screen's layout in use now
};

// The first mode whose switch occurs in the line, tested in the order
// currentPortrait, currentLandscape, forcecurrentPortrait,
// forcecurrentLandscape, all, direct.  Never null: mode None when no
// " -cpr:" occurs.
const LayoutModeInfo* findLayoutMode(const char16_t* line);

}  // namespace qorv
