#include "fuzz/layout_model.h"

namespace cefuzz {

namespace {

constexpr size_t kPieceBytes = 4999;
constexpr int kTabsTurned = 100;

bool holds(std::string_view piece, std::string_view text) {
    return piece.find(text) != std::string_view::npos;
}

// The first piece from `from` on that holds text, or pieces.size().
size_t nextHolding(const std::vector<std::string_view>& pieces, size_t from,
                   std::string_view text) {
    while (from < pieces.size() && !holds(pieces[from], text))
        ++from;
    return from;
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

qorv::PassOutcome layoutBlock(std::string_view plg, int w, int h, std::string* block) {
    std::string marker =
        "ayout screenWidth=\"" + std::to_string(w) + "\" screenHeight=\"" + std::to_string(h);
    block->clear();
    bool open = false;
    for (std::string_view piece : layoutPieces(plg)) {
        if (!open) {
            open = holds(piece, marker);
        } else if (holds(piece, "</layout>")) {
            return qorv::PassOutcome::Done;
        } else {
            *block += tabsToBlanks(piece);
        }
    }
    return open ? qorv::PassOutcome::NoLayoutEnd : qorv::PassOutcome::NoResolution;
}

namespace {

// The text in front of a form end is kept when it ends a tag and leaves no
// comment and no quoted text open: a walk over it in three states.
bool standsAlone(std::string_view front) {
    size_t end = front.size();
    while (end > 0 && (front[end - 1] == ' ' || front[end - 1] == '\t' || front[end - 1] == '\r' ||
                       front[end - 1] == '\n')) {
        --end;
    }
    if (end == 0 || front[end - 1] != '>')
        return false;
    enum { Text, Quoted, Comment } state = Text;
    for (size_t i = 0; i < front.size(); ++i) {
        std::string_view here = front.substr(i);
        if (state == Text && here.rfind("<!--", 0) == 0) {
            state = Comment;
            i += 3;
        } else if (state == Comment && here.rfind("-->", 0) == 0) {
            state = Text;
            i += 2;
        } else if (state != Comment && front[i] == '"') {
            state = state == Text ? Quoted : Text;
        }
    }
    return state == Text;
}

}  // namespace

ModelResult modelPass(std::string_view layout, const ModelPass& pass) {
    std::string name(pass.pluginName);
    std::string expanded = "<Layer ID=\"" + name + "Expanded";
    std::string condensed = "<Layer ID=\"" + name + "Condensed";
    std::vector<std::string_view> pieces = layoutPieces(layout);
    ModelResult r;
    bool lookFor = pass.lookForLayers;
    bool injected = false;
    size_t i = 0;
    while (i < pieces.size() && !holds(pieces[i], "<TitaniumListView") &&
           !holds(pieces[i], "<BronzeListView")) {
        r.out += tabsToBlanks(pieces[i++]);
    }
    if (i < pieces.size())
        r.out += tabsToBlanks(pieces[i++]);  // the piece that opens the list view
    for (; i < pieces.size(); ++i) {
        bool replaced = false;
        if (lookFor && holds(pieces[i], expanded)) {
            lookFor = false;
            size_t last = nextHolding(pieces, i + 1, condensed);
            last = nextHolding(pieces, last + 1, "</Layer>");
            last = nextHolding(pieces, last + 1, "</Layer>");
            if (last >= pieces.size()) {
                r.outcome = qorv::PassOutcome::LayersUnfinished;
                return r;
            }
            // A removal goes on with the piece after the layers; an add puts
            // its block in place of the last piece of the layers.
            i = pass.inject ? last : last + 1;
            replaced = pass.inject;
            if (i == pieces.size())
                break;
        }
        bool formEnd = holds(pieces[i], "</Form>");
        if (formEnd && !replaced) {
            std::string_view front = pieces[i].substr(0, pieces[i].find("</Form>"));
            if (standsAlone(front))
                r.out += tabsToBlanks(front);
        }
        bool consumed = false;
        if (pass.inject && !injected && (replaced || formEnd)) {
            std::string block;
            r.outcome = layoutBlock(pass.plg, pass.width, pass.height, &block);
            if (r.outcome != qorv::PassOutcome::Done)
                return r;
            r.out += block;
            injected = consumed = true;
        }
        if (formEnd) {
            r.out += "</Form>";
            break;
        }
        if (!consumed)
            r.out += tabsToBlanks(pieces[i]);
    }
    if (pass.inject && !injected)
        r.outcome = qorv::PassOutcome::NothingInjected;
    return r;
}

}  // namespace cefuzz
