// The rewrite pass of a removal: the plugin's layers are dropped, nothing is
// put in their place, and the line after them is handled like any other.
#include "installer/pass_lines.h"

namespace qorv {

PassOutcome removePass(const RewritePass& pass, PassLines& lines) {
    if (!copyCurrentLine(lines))
        return passEnd(lines, PassOutcome::Done);
    switch (copyToPluginLayers(lines, pass.pluginName)) {
        case LayersFound::Dropped:
            if (pass.met != nullptr)
                pass.met->layers = true;
            return copyToFormEndAfterLayers(lines);
        case LayersFound::FormEnd:
            copyTextBeforeFormEnd(lines);
            writeFormEnd(lines);
            return passEnd(lines, PassOutcome::Done);
        case LayersFound::Unfinished:
            return passEnd(lines, PassOutcome::LayersUnfinished);
        case LayersFound::FileEnd:
            break;
    }
    return passEnd(lines, PassOutcome::Done);
}

}  // namespace qorv
