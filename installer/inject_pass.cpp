// The rewrite pass of an add: the plugin's layout block for this screen goes
// in place of the plugin's old layers (a change) or just before the form's
// end (an add).
#include "installer/pass_lines.h"
#include "installer/plugin_definition.h"

namespace qorv {

namespace {

constexpr std::string_view kLayoutEnd = "</layout>";

// Copies the plugin-definition file's layout block for this screen into the
// temporary layout copy: the lines after the one holding the resolution
// marker, up to the next line holding "</layout>".
PassOutcome copyLayoutBlock(const RewritePass& pass, PassLines& lines, LayoutLine& block) {
    int w = ce::screenWidth();
    int h = ce::screenHeight();
    char resolution[kResolutionMarkerBytes];
    if (pass.landscape) {
        buildResolutionMarker(h, w, resolution, sizeof resolution);
    } else {
        buildResolutionMarker(w, h, resolution, sizeof resolution);
    }
    bool open = false;
    while (readLayoutLine(pass.plg, block) == ReadStatus::Line) {
        if (!open) {
            open = lineHolds(block.view(), resolution);
        } else if (lineHolds(block.view(), kLayoutEnd)) {
            return PassOutcome::Done;
        } else if (notEightBitLine(block.view(), false)) {
            // Written into the layout, it would make the layout one that no
            // later run reads, the delete of this plugin included.
            return PassOutcome::BlockNotText;
        } else if (lineHolds(block.view(), kFormEnd)) {
            // Every later run would take it for the form's end and cut the
            // plugin's layers there.
            return PassOutcome::BlockHoldsFormEnd;
        } else {
            copyLine(lines, block.text, block.length);
        }
    }
    return open ? PassOutcome::NoLayoutEnd : PassOutcome::NoResolution;
}

}  // namespace

PassOutcome injectPass(const RewritePass& pass, PassLines& lines, LayoutLine& blockLine) {
    if (!copyCurrentLine(lines))
        return passEnd(lines, PassOutcome::Done);
    LayersFound found = copyToPluginLayers(lines, pass.pluginName);
    if (found == LayersFound::Unfinished)
        return passEnd(lines, PassOutcome::LayersUnfinished);
    if (found == LayersFound::FileEnd)
        return passEnd(lines, PassOutcome::NothingInjected);

    // The block takes the place of the form end or of the old layers, which
    // what followed them on their last line (the form end, say) follows.
    // Text in front of a form end that no layer holds stays in front of the
    // block.
    if (found == LayersFound::FormEnd)
        copyTextBeforeFormEnd(lines);
    PassOutcome block = copyLayoutBlock(pass, lines, blockLine);
    if (block != PassOutcome::Done)
        return block;
    if (found == LayersFound::Dropped)
        return copyToFormEndAfterLayers(lines);
    writeFormEnd(lines);
    return passEnd(lines, PassOutcome::Done);
}

}  // namespace qorv
