#include "installer/layout_mode.h"

#include <iterator>

#include "platform/wstr.h"

namespace qorv {

namespace {

// The forced portrait mode records "forcecurrent", not its switch word:
// callers that read "callTypeCPR" know it by that text.
constexpr LayoutModeInfo kModes[] = {
    {LayoutMode::CurrentPortrait, u" -cpr:currentPortrait", u"currentPortrait", false, true},
    {LayoutMode::CurrentLandscape, u" -cpr:currentLandscape", u"currentLandscape", true, true},
    {LayoutMode::ForceCurrentPortrait, u" -cpr:forcecurrentPortrait", u"forcecurrent", false, true},
    {LayoutMode::ForceCurrentLandscape, u" -cpr:forcecurrentLandscape", u"forcecurrentLandscape",
     true, true},
    {LayoutMode::All, u" -cpr:all", u"all", false, false},
    {LayoutMode::Direct, u" -cpr:", u"direct", false, false},
};

constexpr LayoutModeInfo kNoMode = {LayoutMode::None, u"", u"", false, false};

}  // namespace

const LayoutModeInfo* findLayoutMode(const char16_t* line) {
    for (const LayoutModeInfo& info : kModes) {
        if (ce::u16str(line, info.switchText) != nullptr)
            return &info;
    }
    static_assert(std::size(kModes) == 6);
    return &kNoMode;
}

}  // namespace qorv
