// What the phases of a rewrite pass share: reading the layout file line by
// line, writing the temporary layout copy, and the phases that every kind
// of pass goes through in the same way.
//
// The first failure to read or write ends the pass: reads stop at it, and
// nothing more is written once a write has failed.  passEnd turns the
// failure, if any, into the pass's outcome, so every phase ends with it.
#pragma once

#include <cstddef>
#include <string_view>

#include "installer/layer_depth.h"
#include "installer/layout_line.h"
#include "installer/rewrite_pass.h"
#include "platform/platform.h"

namespace qorv {

struct PassLines {
    ce::File layout;   // read
    ce::File temp;     // written
    LayoutLine& line;  // the current line
    bool readFailed;   // the layout file could not be read to its end
    bool writeFailed;  // the temporary layout copy could not be written
    // The current line is a later piece of a physical line longer than a
    // piece, whose earlier pieces are written already; pieceOpen: the line
    // read last is a piece that such a line goes on after.
    bool continuesLine = false;
    bool pieceOpen = false;
    bool started = false;  // a line has been read
    // What the current line ends inside, as the searches for tags in
    // markup (the list view's, a plugin's layers) read it.
    TextSection section = TextSection::Markup;
};

// Reads the next line into lines.line.  False at the end of the file, on a
// read failure and once a write has failed.  A layout in UTF-16 is not
// read: a line that is not 8-bit text (notEightBitLine) is a read failure.
bool nextLine(PassLines& lines);

// Writes a line through replaceTabs.  False once a write has failed.
bool copyLine(PassLines& lines, char* text, size_t length);
bool copyCurrentLine(PassLines& lines);

// Writes the literal "</Form>" without a line end in place of the form end.
void writeFormEnd(PassLines& lines);

// Writes what stands in front of "</Form>" on the current line, through
// replaceTabs, up to its last '>' when it is whole markup (wholeMarkup),
// or whatever it is when the line continues a longer one: the pieces
// before it were written, and the line would be cut open without it.  A
// switched closing tag ends without a line end, so the form end follows it on one line:
// were that text dropped with the line, a second switch or an add would
// lose the list view's closing tag.
void copyTextBeforeFormEnd(PassLines& lines);

// True when text can stand on its own in front of the form end: more than
// white space, its last other character closes a tag ('>'), and it leaves
// no comment ("<!--" without "-->"), tag or attribute value open.  Quotes
// count only inside a tag: in an element's text ('5" screen') they are
// text, and text that ends an attribute begun on an earlier line, whose
// start was written, closes what that line opened.  Text that opens a
// comment or an attribute whose end stood after "</Form>" would, kept,
// swallow what the pass writes after it, the form end included.
bool wholeMarkup(std::string_view text);

// Makes the line's text from `from` on the current line, or empties it
// when that is blank.
void keepLineFrom(LayoutLine& line, size_t from);

// ReadFailed or WriteFailed after a failure, otherwise sound.
PassOutcome passEnd(const PassLines& lines, PassOutcome sound);

// Phase one, for every kind: copies the lines in front of the list view and
// stops on the first line holding a list-view tag in markup
// (findListViewTag), which is then current
// and not yet copied.  None when the file ended first; *tagAt receives where
// the tag begins.
ListView copyToListView(PassLines& lines, size_t* tagAt);

// An add and a removal: copies lines until the plugin's layers or the form
// end.  On Dropped the layers are gone, from the expanded marker up to the
// second "</Layer>" after the condensed marker; what stood in front of them
// on their first line is written when it is whole markup, and what follows
// them on their last line is the current line (empty when blank).  On
// FormEnd the form end is current, not written.  Unfinished: the file ended
// inside the layers.
// The plugin's layers also end Unfinished where the search for one of
// their "</Layer>" meets a line that no block can hold (stopsLayerEnd).
// A marker cut by the end of a piece is found where it begins.
enum class LayersFound { Dropped, FormEnd, Unfinished, FileEnd };
LayersFound copyToPluginLayers(PassLines& lines, const char* pluginName);

// The last phase of every kind: copies the lines after the current one up
// to the form end, which it replaces by the text in front of "</Form>"
// (see copyTextBeforeFormEnd) and the literal "</Form>".
PassOutcome copyToFormEnd(PassLines& lines);
// The same after Dropped: the current line, what followed the layers on
// their last line, first.
PassOutcome copyToFormEndAfterLayers(PassLines& lines);

// The handling of each kind of pass, entered with the line that opened the
// list view current and not yet copied.
PassOutcome injectPass(const RewritePass& pass, PassLines& lines, LayoutLine& blockLine);
PassOutcome removePass(const RewritePass& pass, PassLines& lines);
PassOutcome switchPass(const RewritePass& pass, PassLines& lines, ListView found, size_t tagAt,
                       char* switchedLine, size_t switchedBytes);

}  // namespace qorv
