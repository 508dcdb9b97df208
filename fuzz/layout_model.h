// A plain model of the rewrite pass where it has nothing to edit, for the
// fuzz targets to hold the real pass against.
//
// Such a pass copies the layout file piece by piece (a piece ends after a
// line feed or at 4,999 bytes), turns the first 100 tabs of each piece
// into blanks, opens the list view at the first piece holding a list-view
// tag, and stops at the first later piece holding "</Form>", in whose place
// it writes what goes before the form's end and "</Form>".
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace cefuzz {

std::vector<std::string_view> layoutPieces(std::string_view bytes);

// The first 100 tabs of a piece turned into blanks.
std::string tabsToBlanks(std::string_view piece);

struct CopyThrough {
    std::string copied;    // the pieces before the form end (all when there is none)
    bool formEnd = false;  // a piece after the list view's opening piece held "</Form>"
};
CopyThrough copyThrough(std::string_view layout);

enum class BlockFound { Whole, NoResolution, NoLayoutEnd };

// The first layout block of a plugin definition for a screen of w x h
// pixels: the pieces between the piece holding its opening tag and the next
// one holding "</layout>", tabs turned into blanks.
BlockFound layoutBlock(std::string_view plg, int w, int h, std::string* block);

}  // namespace cefuzz
