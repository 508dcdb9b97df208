#include "installer/command_line.h"

#include "platform/wstr.h"

namespace qorv {

bool hasSwitch(const char16_t* line, const char16_t* switchText) {
    return ce::u16str(line, switchText) != nullptr;
}

Action findAction(const char16_t* line) {
    if (hasSwitch(line, kSwitchAddChange))
        return Action::AddChange;
    if (hasSwitch(line, kSwitchDelete))
        return Action::Delete;
    if (hasSwitch(line, kSwitchChange))
        return Action::Change;
    return Action::None;
}

const char16_t* actionName(Action action) {
    switch (action) {
        case Action::AddChange:
            return u"addchange";
        case Action::Delete:
            return u"delete";
        case Action::Change:
            return u"change";
        case Action::None:
            break;
    }
    return u"";
}

PluginNameResult takePluginName(const char16_t* line, char16_t* out, size_t outChars) {
    const char16_t* found = ce::u16str(line, kSwitchPlugin);
    if (found == nullptr) {
        if (outChars > 0)
            out[0] = 0;
        return PluginNameResult::Missing;
    }
    const char16_t* start = found + ce::u16len(kSwitchPlugin);
    size_t n = 0;
    while (start[n] != 0 && start[n] != u' ')
        ++n;
    if (!ce::u16copyN(out, outChars, start, n))
        return PluginNameResult::TooLong;
    return PluginNameResult::Taken;
}

}  // namespace qorv
