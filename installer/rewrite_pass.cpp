#include "installer/rewrite_pass.h"

#include <cstring>

#include "installer/layout_line.h"
#include "installer/plugin_definition.h"
#include "installer/replace_tabs.h"
#include "platform/reg_values.h"
#include "platform/wstr.h"

namespace qorv {

namespace {

constexpr std::string_view kFormEnd = "</Form>";
constexpr std::string_view kLayoutEnd = "</layout>";

struct PassState {
    const RewritePass& in;
    LayoutLine line;
    char switched[kSwitchedLineBytes];  // a rewritten list-view line
    char marker[kMarkerBytes];
    bool lookForPlugin = false;  // the marker still holds the expanded marker
    bool regionOpen = false;
    bool formEndSeen = false;
    bool injected = false;
    bool switchComplete = false;
    ListView found = ListView::None;
    bool writeFailed = false;
    bool readFailed = false;
};

void writeBytes(PassState& st, const char* data, size_t length) {
    if (!st.writeFailed && !ce::fileWrite(st.in.temp, data, length))
        st.writeFailed = true;
}

void copyLine(PassState& st, char* text, size_t length) {
    replaceTabs(text, length);
    writeBytes(st, text, length);
}

// False at the end of the file or on a read failure (noted in the state).
bool nextLine(PassState& st, LayoutLine& line) {
    ReadStatus status = readLayoutLine(st.in.layout, line);
    if (status == ReadStatus::Failed)
        st.readFailed = true;
    return status == ReadStatus::Line;
}

// Reads and drops lines up to and including the next one holding text.
bool dropThrough(PassState& st, std::string_view text) {
    while (nextLine(st, st.line)) {
        if (lineHolds(st.line.view(), text))
            return true;
    }
    return false;
}

// The current line holds the expanded marker: drop it and the plugin's
// layers up to the second "</Layer>" after the condensed marker, which is
// then the current line.
bool dropPluginLayers(PassState& st) {
    st.lookForPlugin = false;
    buildCondensedMarker(st.in.pluginName, st.marker, sizeof st.marker);
    if (!dropThrough(st, st.marker))
        return false;
    ce::strCopy(st.marker, sizeof st.marker, kLayerEnd);
    return dropThrough(st, st.marker) && dropThrough(st, st.marker);
}

// Copies the plugin-definition file's layout block for this screen into the
// temporary layout copy.
PassOutcome injectBlock(PassState& st) {
    int w = ce::screenWidth();
    int h = ce::screenHeight();
    if (st.in.landscape) {
        int t = w;
        w = h;
        h = t;
    }
    char resolution[kResolutionMarkerBytes];
    buildResolutionMarker(w, h, resolution, sizeof resolution);
    LayoutLine block;
    bool open = false;
    while (readLayoutLine(st.in.plg, block) == ReadStatus::Line) {
        if (!open) {
            open = lineHolds(block.view(), resolution);
        } else if (lineHolds(block.view(), kLayoutEnd)) {
            st.injected = true;
            return PassOutcome::Done;
        } else {
            copyLine(st, block.text, block.length);
        }
    }
    return open ? PassOutcome::NoLayoutEnd : PassOutcome::NoResolution;
}

// Tests a line outside the list view for the list-view tag.  On the line
// that opens it, a switch rewrites the opening tag when the other variant
// is asked for.  *text and *length receive the line to copy.
void openRegion(PassState& st, size_t* length, char** text) {
    *text = st.line.text;
    *length = st.line.length;
    size_t tagAt = 0;
    st.found = findListViewTag(st.line.view(), &tagAt);
    if (st.found == ListView::None)
        return;
    st.regionOpen = true;
    ce::regWriteString(st.in.runRecord, u"ListView", listViewName(st.found));
    if (st.in.kind != PassKind::SwitchListView)
        return;
    bool wanted = st.found == ListView::Titanium ? st.in.toBronze : st.in.toTitanium;
    if (!wanted) {
        st.switchComplete = true;
        return;
    }
    bool closedHere = false;
    *length = switchOpeningLine(st.line.view(), tagAt, st.found, st.switched, sizeof st.switched,
                                &closedHere);
    *text = st.switched;
    st.switchComplete = closedHere;
}

}  // namespace

const char16_t* tempLayoutCopyPath(bool landscape) {
    return landscape ? u"\\tempTitaniumLandscapeCpr.txt" : u"\\tempTitaniumPortraitCpr.txt";
}

PassOutcome runRewritePass(const RewritePass& pass) {
    PassState st{pass, {}, {}, {}};
    if (pass.kind != PassKind::SwitchListView) {
        st.lookForPlugin = buildExpandedMarker(pass.pluginName, st.marker, sizeof st.marker);
    }
    while (!st.formEndSeen && nextLine(st, st.line)) {
        // Layers and the form end are looked for only after the line that
        // opened the list view; a switch looks for the form end only once
        // the list view's closing line lies behind.
        bool testFormEnd =
            st.regionOpen && (pass.kind != PassKind::SwitchListView || st.switchComplete);
        char* text = st.line.text;
        size_t length = st.line.length;
        bool skipCompleted = false;
        if (!st.regionOpen) {
            openRegion(st, &length, &text);
        } else if (pass.kind == PassKind::SwitchListView) {
            if (!st.switchComplete) {
                std::string_view closing = closingSearchText(st.found);
                size_t at = st.line.view().find(closing);
                if (at != std::string_view::npos) {
                    length = switchClosingLine(st.line.view(), at, st.found, st.switched,
                                               sizeof st.switched);
                    text = st.switched;
                    st.switchComplete = true;
                }
            }
        } else if (st.lookForPlugin && lineHolds(st.line.view(), st.marker)) {
            if (!dropPluginLayers(st)) {
                return st.readFailed ? PassOutcome::ReadFailed : PassOutcome::LayersUnfinished;
            }
            if (pass.kind == PassKind::Remove) {
                // The line after the layers is handled like any other line.
                if (!nextLine(st, st.line))
                    break;
                length = st.line.length;
            } else {
                skipCompleted = true;
            }
        }
        if (testFormEnd && lineHolds(st.line.view(), kFormEnd))
            st.formEndSeen = true;
        bool consumed = false;
        if (pass.kind == PassKind::Inject && !st.injected && (skipCompleted || st.formEndSeen)) {
            PassOutcome injected = injectBlock(st);
            if (injected != PassOutcome::Done)
                return injected;
            consumed = true;
        }
        if (st.formEndSeen) {
            writeBytes(st, kFormEnd.data(), kFormEnd.size());
        } else if (!consumed) {
            copyLine(st, text, length);
        }
        if (st.writeFailed)
            return PassOutcome::WriteFailed;
    }
    if (st.readFailed)
        return PassOutcome::ReadFailed;
    if (st.writeFailed)
        return PassOutcome::WriteFailed;
    if (pass.kind == PassKind::Inject && !st.injected)
        return PassOutcome::NothingInjected;
    return PassOutcome::Done;
}

}  // namespace qorv
