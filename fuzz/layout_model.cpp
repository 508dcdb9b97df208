#include "fuzz/layout_model.h"

namespace cefuzz {

namespace {

constexpr size_t kPieceBytes = 4999;
constexpr int kTabsTurned = 100;

bool holds(std::string_view piece, std::string_view text) {
    return piece.find(text) != std::string_view::npos;
}

}  // namespace

std::vector<std::string_view> layoutPieces(std::string_view bytes) {
    std::vector<std::string_view> pieces;
    while (!bytes.empty()) {
        size_t n = bytes.find('\n');
        n = n == std::string_view::npos ? bytes.size() : n + 1;
        if (n > kPieceBytes)
            n = kPieceBytes;
        pieces.push_back(bytes.substr(0, n));
        bytes.remove_prefix(n);
    }
    return pieces;
}

std::string tabsToBlanks(std::string_view piece) {
    std::string out(piece);
    int turned = 0;
    for (char& c : out) {
        if (c == '\t' && turned < kTabsTurned) {
            c = ' ';
            ++turned;
        }
    }
    return out;
}

CopyThrough copyThrough(std::string_view layout) {
    CopyThrough r;
    bool open = false;
    for (std::string_view piece : layoutPieces(layout)) {
        if (open && holds(piece, "</Form>")) {
            r.formEnd = true;
            break;
        }
        open = open || holds(piece, "<TitaniumListView") || holds(piece, "<BronzeListView");
        r.copied += tabsToBlanks(piece);
    }
    return r;
}

BlockFound layoutBlock(std::string_view plg, int w, int h, std::string* block) {
    std::string marker =
        "ayout screenWidth=\"" + std::to_string(w) + "\" screenHeight=\"" + std::to_string(h);
    block->clear();
    bool open = false;
    for (std::string_view piece : layoutPieces(plg)) {
        if (!open) {
            open = holds(piece, marker);
        } else if (holds(piece, "</layout>")) {
            return BlockFound::Whole;
        } else {
            *block += tabsToBlanks(piece);
        }
    }
    return open ? BlockFound::NoLayoutEnd : BlockFound::NoResolution;
}

}  // namespace cefuzz
