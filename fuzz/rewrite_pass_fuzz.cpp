// The rewrite pass of each editor (add, removal, list-view switch) on a
// layout file and a plugin definition held in memory.
//
// Input: one byte choosing the editor (its value modulo 3: add, removal,
// switch), one byte of options (bit 0 landscape, bit 1 to Titanium, bit 2
// to Bronze), the plugin name, then "<<<>>>", the layout file, "<<<>>>"
// and the plugin definition.
//
// A layout in UTF-16 (or holding a zero byte) must be a read failure.
// Otherwise an add and a removal must give the outcome and the copy of the
// plain model of layout_model.h, and so must a switch that asks for no
// variant (a plain copy); a switch that asks for one is only held to the
// bound on the copy's size.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "fuzz/layout_model.h"
#include "fuzz/memory_device.h"
#include "installer/layer_markers.h"
#include "installer/layout_line.h"
#include "installer/rewrite_pass.h"

namespace {

constexpr std::string_view kPartEnd = "<<<>>>";

std::string_view nextPart(std::string_view* rest) {
    size_t end = rest->find(kPartEnd);
    std::string_view part = rest->substr(0, end);
    rest->remove_prefix(end == std::string_view::npos ? rest->size() : end + kPartEnd.size());
    return part;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    std::string_view rest(reinterpret_cast<const char*>(data) + 2, size - 2);
    std::string name(nextPart(&rest));
    std::string_view layout = nextPart(&rest);
    std::string_view plg = nextPart(&rest);

    cefuzz::memoryDeviceReset();
    cefuzz::memoryDeviceSetScreen(480, 800);
    cefuzz::memoryDeviceSetFile(u"\\in.cpr", layout);
    cefuzz::memoryDeviceSetFile(u"\\in.plg", plg);

    qorv::RewritePass pass = {};
    pass.kind = static_cast<qorv::PassKind>(data[0] % 3);
    pass.landscape = (data[1] & 1) != 0;
    pass.toTitanium = (data[1] & 2) != 0;
    pass.toBronze = (data[1] & 4) != 0;
    pass.pluginName = name.c_str();  // cut at a NUL, as the editors' C strings are
    pass.layout = ce::fileOpen(u"\\in.cpr", ce::FileMode::Read);
    pass.temp = ce::fileOpen(u"\\out.txt", ce::FileMode::Write);
    pass.plg = ce::fileOpen(u"\\in.plg", ce::FileMode::Read);
    static qorv::PassBuffers buffers;
    qorv::PassOutcome outcome = qorv::runRewritePass(pass, buffers);
    ce::fileClose(pass.layout);
    ce::fileClose(pass.temp);
    ce::fileClose(pass.plg);
    std::string out;
    FUZZ_CHECK(cefuzz::memoryDeviceGetFile(u"\\out.txt", &out));

    // Memory stays bounded: a switch adds a few bytes to two lines, an add
    // one block.
    FUZZ_CHECK(out.size() <= layout.size() + plg.size() + 2 * 16 + 7);
    FUZZ_CHECK(outcome != qorv::PassOutcome::WriteFailed);
    // A layout whose first piece opens as UTF-16 text is not read, nor is
    // one with a zero byte in a piece that the pass reaches (it may stop
    // before); any other is read to its end.
    const size_t lineEnd = std::min(layout.find('\n'), layout.size() - 1) + 1;
    const std::string_view first = layout.substr(0, std::min(lineEnd, qorv::kLinePieceBytes));
    const bool utf16 = !layout.empty() && qorv::looksLikeUtf16(first);
    const bool zero = layout.find('\0') != std::string_view::npos;
    FUZZ_CHECK(!utf16 || outcome == qorv::PassOutcome::ReadFailed);
    FUZZ_CHECK(outcome != qorv::PassOutcome::ReadFailed || utf16 || zero);

    bool switchAsked =
        pass.kind == qorv::PassKind::SwitchListView && (pass.toTitanium || pass.toBronze);
    if (switchAsked || outcome == qorv::PassOutcome::ReadFailed)
        return 0;
    char marker[qorv::kMarkerBytes];
    cefuzz::ModelPass model;
    model.lookForLayers = pass.kind != qorv::PassKind::SwitchListView &&
                          qorv::buildExpandedMarker(pass.pluginName, marker, sizeof marker);
    model.pluginName = pass.pluginName;
    model.inject = pass.kind == qorv::PassKind::Inject;
    model.plg = plg;
    model.width = pass.landscape ? 800 : 480;
    model.height = pass.landscape ? 480 : 800;
    cefuzz::ModelResult want = cefuzz::modelPass(layout, model);
    FUZZ_CHECK(outcome == want.outcome);
    if (outcome == qorv::PassOutcome::Done || outcome == qorv::PassOutcome::NothingInjected)
        FUZZ_CHECK(out == want.out);
    return 0;
}
