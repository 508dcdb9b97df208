#include "installer/switch_path.h"

#include "platform/wstr.h"

namespace qorv {

SwitchPathResult takeSwitchPath(const char16_t* line, const char16_t* switchText,
                                const char16_t* extension, char16_t* out, size_t outChars) {
    if (outChars > 0)
        out[0] = 0;
    const char16_t* found = ce::u16str(line, switchText);
    if (found == nullptr)
        return SwitchPathResult::SwitchMissing;
    const char16_t* start = found + ce::u16len(switchText);
    if (*start != u'\\')
        return SwitchPathResult::NoBackslash;
    const char16_t* ext = ce::u16str(start, extension);
    if (ext == nullptr)
        return SwitchPathResult::ExtensionMissing;
    size_t n = static_cast<size_t>(ext - start) + ce::u16len(extension);
    if (!ce::u16copyN(out, outChars, start, n))
        return SwitchPathResult::TooLong;
    return SwitchPathResult::Taken;
}

}  // namespace qorv
