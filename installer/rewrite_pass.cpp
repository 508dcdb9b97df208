#include "installer/rewrite_pass.h"

#include "installer/pass_lines.h"
#include "platform/reg_values.h"

namespace qorv {

const char16_t* tempLayoutCopyPath(bool landscape) {
    return landscape ? u"\\tempTitaniumLandscapeCpr.txt" : u"\\tempTitaniumPortraitCpr.txt";
}

PassOutcome runRewritePass(const RewritePass& pass, PassBuffers& buffers) {
    PassLines lines{pass.layout, pass.temp, buffers.line, false, false};
    size_t tagAt = 0;
    ListView found = copyToListView(lines, &tagAt);
    if (pass.met != nullptr)
        pass.met->listView = found;
    if (found == ListView::None) {
        // Copied through unchanged: an add found no place for its block.
        bool add = pass.kind == PassKind::Inject;
        return passEnd(lines, add ? PassOutcome::NothingInjected : PassOutcome::Done);
    }
    ce::regWriteString(pass.runRecord, u"ListView", listViewName(found));
    switch (pass.kind) {
        case PassKind::Inject:
            return injectPass(pass, lines, buffers.blockLine);
        case PassKind::Remove:
            return removePass(pass, lines);
        case PassKind::SwitchListView:
            break;
    }
    return switchPass(pass, lines, found, tagAt, buffers.switchedLine, sizeof buffers.switchedLine);
}

}  // namespace qorv
