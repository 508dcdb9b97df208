// A plain model of the rewrite pass of an add and a removal, for the fuzz
// targets to hold the real pass against.  It is written from the layout
// file's rules, over the whole file at once:
//   - the file is read in pieces (a piece ends after a line feed or at
//     4,999 bytes), and the first 100 tabs of each copied piece become
//     blanks;
//   - the list view opens at the first piece holding a list-view tag
//     outside comments ("<!--" to the next "-->") and CDATA sections
//     ("<![CDATA[" to the next "]]>"), each mark whole in one piece;
//     only later pieces are looked at for layers and the form end;
//   - a plugin's layers run from the piece holding its expanded marker
//     (one cut by the end of a piece counts where it begins; that piece's
//     end is searched with the next piece, so each byte once)
//     through the first piece holding its condensed marker and two more
//     pieces holding "</Layer>" (one of these cut by the end of a piece
//     counts for the piece where it ends; a "</Form>" cut so stops the
//     run unfinished); only the first such run is edited: a removal drops
//     it, an add puts its layout block in its place;
//   - the first piece holding "</Form>" is replaced by the text in front of
//     "</Form>" up to its last '>' when that stands alone as markup (it
//     ends with '>', leaves no comment and no quoted text open), what goes
//     before the form's end (an add's block, when it has not been put in)
//     and "</Form>", and nothing after it is kept;
//   - text in front of a plugin's layers on their first piece stays by the
//     same rule, without a line end: what takes the layers' place follows
//     it on that line.
// A pass with no plugin to look for and no block to put copies the file
// through, which is also what a list-view switch that asks for nothing does.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "installer/rewrite_pass.h"

namespace cefuzz {

std::vector<std::string_view> layoutPieces(std::string_view bytes);

// The first 100 tabs of a piece turned into blanks.
std::string tabsToBlanks(std::string_view piece);

// The layout block of a plugin definition for a screen of w x h pixels:
// the pieces between the piece holding its opening tag and the next one
// holding "</layout>", tabs turned into blanks.  Done, NoResolution or
// NoLayoutEnd.
qorv::PassOutcome layoutBlock(std::string_view plg, int w, int h, std::string* block);

struct ModelPass {
    // The plugin whose layers are looked for, if any.
    bool lookForLayers = false;
    std::string_view pluginName;
    // An add puts the block; a removal (and a plain copy) has none.
    bool inject = false;
    std::string_view plg;
    int width = 0;
    int height = 0;
};

struct ModelResult {
    qorv::PassOutcome outcome = qorv::PassOutcome::Done;
    std::string out;  // the temporary copy, when the pass went to its end
};

ModelResult modelPass(std::string_view layout, const ModelPass& pass);

}  // namespace cefuzz
