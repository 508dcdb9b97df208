// The one rewrite pass over a layout file, shared by the three editors.
//
// The pass reads the target layout file piece by piece and writes the
// temporary layout copy.  Until the list view opens (the first line holding
// a list-view tag) lines are only copied; from the line after it on, the
// editor's own handling runs: an add drops the plugin's old layers and
// injects its layout block, a removal drops the layers, a switch rewrites
// the list view's opening and closing lines.  The first line that holds
// "</Form>" where the form end is looked for is replaced by whatever the
// editor puts before the form's end and the literal "</Form>" without a
// line end; nothing after it is kept.  Every copied line passes through
// replaceTabs.  Memory stays bounded by the line buffers, whatever the size
// of the file.
//
// The pass runs in phases: up to the line that opens the list view (the
// same for every kind), then the kind's own handling, then on to the form
// end.  pass_lines.h holds what the phases share.
#pragma once

#include "installer/layout_line.h"
#include "installer/list_view_tags.h"
#include "platform/platform.h"

namespace qorv {

enum class PassKind { Inject, Remove, SwitchListView };

// The temporary layout copy in the root of the device's file system, one
// per orientation.  It stays after every run.
const char16_t* tempLayoutCopyPath(bool landscape);

// What a pass met on its way, for a run that changes nothing to say why.
struct PassMet {
    ListView listView;  // the variant found, None without a list view
    bool layers;        // the plugin's layers were found (an add or a removal)
};

struct RewritePass {
    PassKind kind;
    PassMet* met;          // filled in when not null
    ce::File layout;       // read
    ce::File temp;         // written
    ce::RegKey runRecord;  // receives "ListView"; may be null

    // Inject and Remove: the plugin's 8-bit name (at most kMaxPluginNameBytes).
    const char* pluginName;
    // Inject: the plugin-definition file, positioned after its position line,
    // and the orientation that picks the layout block.
    ce::File plg;
    bool landscape;

    // SwitchListView: the variants asked for (both may be set).
    bool toTitanium;
    bool toBronze;
};

enum class PassOutcome {
    Done,
    LayersUnfinished,   // the file ended inside the plugin's old layers
    NoResolution,       // no layout block for this screen in the .plg
    NoLayoutEnd,        // the block has no closing "</layout>" line
    BlockNotText,       // a line of the block holds a zero byte
    BlockHoldsFormEnd,  // a line of the block holds "</Form>"
    NothingInjected,    // an add found no place for the block
    ReadFailed,         // the layout file could not be read to its end
    WriteFailed,        // the temporary layout copy could not be written
};

// The pass's line buffers: the run keeps them with its other big buffers.
struct PassBuffers {
    LayoutLine line;  // the current line of the layout file
    // The current line of the plugin-definition file: its head is read into
    // it before the pass, its layout block during the pass.
    LayoutLine blockLine;
    char switchedLine[kSwitchedLineBytes];  // a rewritten list-view line
};

PassOutcome runRewritePass(const RewritePass& pass, PassBuffers& buffers);

}  // namespace qorv
