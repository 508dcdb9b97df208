// The layout's list view: finding its opening tag, and the lines that switch
// it between its Titanium and Bronze variants.
#pragma once

#include <cstddef>
#include <string_view>

#include "installer/layout_line.h"

namespace qorv {

enum class ListView { None, Titanium, Bronze };

// What a line begins inside: markup, or a comment ("<!--" to "-->") or a
// CDATA section ("<![CDATA[" to "]]>"), either of which may span lines.  A
// tag in a comment or a CDATA section is text.
enum class TextSection { Markup, Comment, Cdata };

// Where `text` first stands on the line outside comments and CDATA
// sections, or npos.  *section tells what the line begins inside and is
// left telling what the next one does.  A mark that opens or closes a
// comment or CDATA section cut by the end of a piece is none.
size_t findInMarkup(std::string_view line, std::string_view text, TextSection* section);

// The first list-view tag of a line outside comments and CDATA sections:
// "<TitaniumListView" is looked for first, "<BronzeListView" only when it
// is absent.  *at receives where the tag begins.  A list view commented out
// ("<!-- <TitaniumListView ID=\"old\"> -->") or in a CDATA section is none.
// *section is followed as findInMarkup follows it; a mark cut by the end of
// a piece is none, as a tag cut there is none.
ListView findListViewTag(std::string_view line, size_t* at, TextSection* section);

// The value recorded as "ListView" for the variant found.
const char16_t* listViewName(ListView variant);

// The closing-tag text of a variant, without its ">", so that it matches
// the closing tag with or without anything after the name.
std::string_view closingSearchText(ListView variant);

// A switched line may be a few bytes longer than the piece it replaces:
// three blanks are put before a tag whose name may be longer, and a
// closing tag cut by the end of a piece is switched with the piece after
// it, the start of the tag in front.
constexpr size_t kSwitchedLineBytes = kLineBytes + 64;

// Rewrites the line that opens a list view of the variant found (its tag at
// tagAt) into the other variant's opening line: the text in front of the tag
// with its white space trimmed, three blanks, the other tag, and the rest of
// the line.  When the rest also closes the list view outside comments, that tag is
// switched too and *closedHere is set; so it is when the tag closes itself
// ("<TitaniumListView ID=\"x\"/>").  Returns the length written into out.
// A later piece of a long line (continuesLine) keeps the blanks it opens
// with: they go on from the piece before.
size_t switchOpeningLine(std::string_view line, size_t tagAt, ListView found, char* out,
                         size_t outBytes, bool* closedHere, bool continuesLine = false);

// Rewrites the line that closes the list view (closing search text at
// closeAt): the trimmed text in front of the tag, three blanks and the other
// variant's closing tag.  What follows the tag's ">" is kept, line end
// included, when it is more than white space; otherwise the line ends there
// without a line end.  Returns the length written into out.  A later piece
// keeps its leading blanks, as above.
size_t switchClosingLine(std::string_view line, size_t closeAt, ListView found, char* out,
                         size_t outBytes, bool continuesLine = false);

}  // namespace qorv
