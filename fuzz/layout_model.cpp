#include "fuzz/layout_model.h"

#include <algorithm>
#include <initializer_list>

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
        } else if (holds(piece, std::string_view("\0", 1))) {
            return qorv::PassOutcome::BlockNotText;
        } else if (holds(piece, "</Form>")) {
            return qorv::PassOutcome::BlockHoldsFormEnd;
        } else {
            *block += tabsToBlanks(piece);
        }
    }
    return open ? qorv::PassOutcome::NoLayoutEnd : qorv::PassOutcome::NoResolution;
}

namespace {

// The text in front of a form end is kept when it ends a tag and leaves no
// comment, tag or attribute value open: a walk over it in four states,
// where quotes open a value only inside a tag.
bool standsAlone(std::string_view front) {
    size_t end = front.size();
    while (end > 0 && (front[end - 1] == ' ' || front[end - 1] == '\t' || front[end - 1] == '\r' ||
                       front[end - 1] == '\n')) {
        --end;
    }
    if (end == 0 || front[end - 1] != '>')
        return false;
    enum { Text, Tag, Quoted, Comment, Cdata } state = Text;
    char quote = 0;
    for (size_t i = 0; i < front.size(); ++i) {
        std::string_view here = front.substr(i);
        if (state == Text && here.rfind("<!--", 0) == 0) {
            state = Comment;
            i += 3;
        } else if (state == Comment && here.rfind("-->", 0) == 0) {
            state = Text;
            i += 2;
        } else if (state == Text && here.rfind("<![CDATA[", 0) == 0) {
            state = Cdata;
            i += 8;
        } else if (state == Cdata && here.rfind("]]>", 0) == 0) {
            state = Text;
            i += 2;
        } else if (state == Text && front[i] == '<') {
            state = Tag;
        } else if (state == Tag && (front[i] == '"' || front[i] == '\'')) {
            state = Quoted;
            quote = front[i];
        } else if (state == Tag && front[i] == '>') {
            state = Text;
        } else if (state == Quoted && front[i] == quote) {
            state = Tag;
        }
    }
    return state == Text;
}

// True when pieces[i] is a later piece of a line longer than a piece.
bool continuesLine(const std::vector<std::string_view>& pieces, size_t i) {
    return i > 0 && pieces[i - 1].size() == kPieceBytes && !pieces[i - 1].ends_with('\n');
}

// What stays of the text in front of a plugin's layers or of "</Form>" on
// pieces[i]: all of it on a later piece of a long line, else the text up
// to its last '>' when it stands alone, else nothing.
std::string_view keptFront(const std::vector<std::string_view>& pieces, size_t i,
                           std::string_view front) {
    if (continuesLine(pieces, i))
        return front;
    return standsAlone(front) ? front.substr(0, front.rfind('>') + 1) : std::string_view();
}

// The end of a piece that may begin `text` or "</Form>": the longest.
std::string heldEnd(std::string_view piece, std::string_view text) {
    size_t keep = 0;
    for (std::string_view t : {text, std::string_view("</Form>")}) {
        for (size_t n = std::min(piece.size(), t.size() - 1); n > keep; --n) {
            if (t.starts_with(piece.substr(piece.size() - n))) {
                keep = n;
                break;
            }
        }
    }
    return std::string(piece.substr(piece.size() - keep));
}

bool isBlank(std::string_view text) {
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// The layers open at a point of the layout; a tag (or the start of one)
// that the pieces so far end in, read whole with the next piece; and
// whether a "<Layer" tag too long for that goes on (with a quoted value
// open in it).
struct Open {
    int layers = 0;
    std::string pending;
    bool inTag = false;
    bool quoted = false;
    // pending is the plugin's own first tag, which is no other plugin's.
    bool ownPending = false;
};
constexpr size_t kLongestPending = 1024;

// Follows the layers through a text: first the end of a tag left open
// before it, which opened none when it ends in "/>"; then each "<Layer"
// tag (followed by a blank, '/', '>' or the text's end) opens one, unless
// the first '>' after it outside quotes follows a '/' (a tag without a '>'
// in the text stays open); each "</Layer>" closes one.  *endAt, when
// given, gets the offset after the first "</Layer>" that leaves none open
// (npos if none does).  *stop, when given, is set when, before the text's
// first "</Layer>", "</Form>" stands, or a "<Layer ID=" tag whose ID ends
// with "Expanded" where no layer is open: no plugin's layers hold either.
void follow(std::string_view piece, Open* o, size_t* endAt = nullptr, bool* stop = nullptr) {
    if (endAt != nullptr)
        *endAt = std::string_view::npos;
    const std::string joined = o->pending + std::string(piece);
    const size_t before = o->pending.size();
    const bool own = o->ownPending;
    o->pending.clear();
    o->ownPending = false;
    std::string_view text = joined;
    bool ended = false;  // a "</Layer>" was met
    size_t i = 0;
    for (; o->inTag && i < text.size(); ++i) {
        if (text[i] == '"') {
            o->quoted = !o->quoted;
        } else if (text[i] == '>' && !o->quoted) {
            o->inTag = false;
            if (i > 0 && text[i - 1] == '/')
                --o->layers;
        }
    }
    while (i < text.size()) {
        std::string_view here = text.substr(i);
        if (here.starts_with("</Layer>")) {
            ended = ended || i >= before;  // one begun in an earlier piece ends no search
            i += 8;
            if (--o->layers <= 0 && endAt != nullptr && *endAt == std::string_view::npos) {
                *endAt = i - before;
                return;
            }
            continue;
        }
        if (stop != nullptr && !ended && here.starts_with("</Form>"))
            *stop = true;
        if (stop != nullptr && !ended && o->layers <= 0 && !(own && i < before) &&
            here.starts_with("<Layer ID=\"")) {
            std::string_view id = here.substr(11);
            if (id.substr(0, id.find('"')).ends_with("Expanded"))
                *stop = true;
        }
        if (here.size() < 8 && (std::string_view("</Layer>").starts_with(here) ||
                                std::string_view("<Layer").starts_with(here))) {
            o->pending = here;
            return;
        }
        bool tag = here.starts_with("<Layer") &&
                   (here.size() == 6 ||
                    std::string_view(" \t\r\n/>").find(here[6]) != std::string_view::npos);
        if (!tag) {
            ++i;
            continue;
        }
        size_t close = std::string_view::npos;
        bool quoted = false;
        for (size_t k = 6; k < here.size() && close == std::string_view::npos; ++k) {
            if (here[k] == '"')
                quoted = !quoted;
            else if (here[k] == '>' && !quoted)
                close = k;
        }
        if (close == std::string_view::npos && here.size() <= kLongestPending) {
            o->pending = here;
            return;
        }
        if (close == std::string_view::npos) {
            ++o->layers;
            o->inTag = true;
            o->quoted = quoted;
            return;
        }
        if (here[close - 1] != '/')
            ++o->layers;
        i += close + 1;
    }
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
    // Where one of the texts first stands in a piece outside comments and
    // CDATA sections, followed on from piece to piece; a comment runs from a
    // "<!--" to the next "-->", a CDATA section from a "<![CDATA[" to the
    // next "]]>", each mark whole in one piece.
    enum { Markup, Comment, Cdata } section = Markup;
    auto outsideComments = [&](std::string_view piece,
                               std::initializer_list<std::string_view> texts) {
        size_t found = std::string_view::npos;
        for (size_t at = 0; at < piece.size(); ++at) {
            std::string_view here = piece.substr(at);
            if (section == Comment && here.starts_with("-->")) {
                section = Markup;
                at += 2;
            } else if (section == Cdata && here.starts_with("]]>")) {
                section = Markup;
                at += 2;
            } else if (section == Markup && here.starts_with("<!--")) {
                section = Comment;
                at += 3;
            } else if (section == Markup && here.starts_with("<![CDATA[")) {
                section = Cdata;
                at += 8;
            } else if (section == Markup && found == std::string_view::npos &&
                       std::any_of(texts.begin(), texts.end(),
                                   [&](std::string_view t) { return here.starts_with(t); })) {
                found = at;
            }
        }
        return found;
    };
    // The list view opens at the first piece holding its tag.
    while (i < pieces.size() &&
           outsideComments(pieces[i], {"<TitaniumListView", "<BronzeListView"}) ==
               std::string_view::npos) {
        r.out += tabsToBlanks(pieces[i++]);
    }
    if (i < pieces.size())
        r.out += tabsToBlanks(pieces[i++]);  // the piece that opens the list view
    // The end of a piece that a later piece of its line follows, when it
    // may begin the expanded marker, is searched and written with the next
    // piece: a marker cut by a piece's end is found where it begins.
    std::string held;
    bool formEnded = false;
    for (; i < pieces.size(); ++i) {
        std::string_view piece = pieces[i];
        size_t keep = 0;
        for (size_t n = std::min(piece.size(), expanded.size() - 1);
             lookFor && keep == 0 && n > 0 && piece.size() == kPieceBytes && !piece.ends_with('\n');
             --n) {
            keep = std::string_view(expanded).starts_with(piece.substr(piece.size() - n)) ? n : 0;
        }
        const std::string text = held + std::string(piece);
        size_t markerAt =
            lookFor
                ? outsideComments(std::string_view(text).substr(0, text.size() - keep), {expanded})
                : std::string_view::npos;
        if (markerAt != std::string_view::npos) {
            lookFor = false;
            // Whole markup in front of the layers stays, without a line
            // end (all of it on a later piece of a long line); what follows
            // them on their last piece is handled as a piece of its own.
            std::string_view fromMarker;
            if (markerAt < held.size()) {
                r.out += tabsToBlanks(held.substr(0, markerAt));
                fromMarker = std::string_view(text).substr(markerAt);
            } else {
                r.out += tabsToBlanks(held);
                markerAt -= held.size();
                r.out += tabsToBlanks(keptFront(pieces, i, piece.substr(0, markerAt)));
                fromMarker = piece.substr(markerAt);
            }
            held.clear();
            // The condensed layer, then two "</Layer>", each looked for up
            // to a piece that no plugin's layers hold, or that ends a
            // "</Form>" begun by the piece before.  One of these texts that
            // the end of a piece of a longer line cuts counts for the piece
            // where it ends.
            Open open;
            follow(fromMarker, &open);
            open.ownPending = open.pending == fromMarker;
            const std::string_view looked[] = {condensed, "</Layer>", "</Layer>"};
            int found = 0;
            std::string cut = continuesLine(pieces, i + 1) ? heldEnd(fromMarker, looked[0]) : "";
            bool stopped = false;
            size_t last = i;
            size_t cutEnd = 0;  // where the last "</Layer>" ends on its piece
            while (!stopped && ++last < pieces.size()) {
                const std::string joined = cut + std::string(pieces[last]);
                Open after = open;
                follow(pieces[last], &after, nullptr, &stopped);
                stopped = stopped || joined.find("</Form>") < cut.size();
                if (stopped)
                    break;
                size_t at = joined.find(looked[found]);
                if (at != std::string::npos && ++found == 3) {
                    cutEnd = at + 8 - cut.size();
                    break;
                }
                open = after;
                cut = continuesLine(pieces, last + 1) ? heldEnd(pieces[last], looked[found]) : "";
            }
            if (stopped || last >= pieces.size()) {
                r.outcome = qorv::PassOutcome::LayersUnfinished;
                return r;
            }
            size_t endAt = 0;
            follow(pieces[last], &open, &endAt);
            if (endAt == std::string_view::npos)
                endAt = cutEnd;
            std::string_view rest = pieces[last].substr(endAt);
            if (isBlank(rest))
                rest = {};
            if (pass.inject) {
                std::string block;
                r.outcome = layoutBlock(pass.plg, pass.width, pass.height, &block);
                if (r.outcome != qorv::PassOutcome::Done)
                    return r;
                r.out += block;
                injected = true;
            }
            if (holds(rest, "</Form>")) {
                r.out +=
                    tabsToBlanks(keptFront(pieces, last, rest.substr(0, rest.find("</Form>"))));
                r.out += "</Form>";
                return r;
            }
            r.out += tabsToBlanks(rest);
            i = last;
            continue;
        }
        r.out += tabsToBlanks(held);
        held.clear();
        bool formEnd = holds(pieces[i], "</Form>");
        if (formEnd)
            r.out +=
                tabsToBlanks(keptFront(pieces, i, pieces[i].substr(0, pieces[i].find("</Form>"))));
        bool consumed = false;
        if (pass.inject && !injected && formEnd) {
            std::string block;
            r.outcome = layoutBlock(pass.plg, pass.width, pass.height, &block);
            if (r.outcome != qorv::PassOutcome::Done)
                return r;
            r.out += block;
            injected = consumed = true;
        }
        if (formEnd) {
            r.out += "</Form>";
            formEnded = true;
            break;
        }
        if (!consumed) {
            r.out += tabsToBlanks(piece.substr(0, piece.size() - keep));
            held = piece.substr(piece.size() - keep);
        }
    }
    if (!formEnded)
        r.out += tabsToBlanks(held);
    if (pass.inject && !injected)
        r.outcome = qorv::PassOutcome::NothingInjected;
    return r;
}

}  // namespace cefuzz
