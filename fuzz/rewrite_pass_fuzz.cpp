// The rewrite pass of each editor (add, removal, list-view switch) on a
// layout file and a plugin definition held in memory.
//
// Input: one byte choosing the editor (its value modulo 3: add, removal,
// switch), one byte of options (bit 0 landscape, bit 1 to Titanium, bit 2
// to Bronze), the plugin name, then "<<<>>>", the layout file, "<<<>>>"
// and the plugin definition.
//
// Wherever the pass has nothing to edit (a removal or an add of a plugin
// whose layers the file does not hold, a switch that asks for no variant)
// its copy must equal the plain model of layout_model.h, and an add must
// put exactly the model's layout block before the form's end.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "fuzz/layout_model.h"
#include "fuzz/memory_device.h"
#include "installer/layer_markers.h"
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
    qorv::PassOutcome outcome = qorv::runRewritePass(pass);
    ce::fileClose(pass.layout);
    ce::fileClose(pass.temp);
    ce::fileClose(pass.plg);
    std::string out;
    FUZZ_CHECK(cefuzz::memoryDeviceGetFile(u"\\out.txt", &out));

    // Memory stays bounded: a switch adds a few bytes to two lines, an add
    // one block.
    FUZZ_CHECK(out.size() <= layout.size() + plg.size() + 2 * 16 + 7);
    FUZZ_CHECK(outcome != qorv::PassOutcome::ReadFailed &&
               outcome != qorv::PassOutcome::WriteFailed);

    char marker[qorv::kMarkerBytes];
    bool layersLookedFor = pass.kind != qorv::PassKind::SwitchListView &&
                           qorv::buildExpandedMarker(pass.pluginName, marker, sizeof marker) &&
                           layout.find(marker) != std::string_view::npos;
    bool switchAsked =
        pass.kind == qorv::PassKind::SwitchListView && (pass.toTitanium || pass.toBronze);
    if (layersLookedFor || switchAsked)
        return 0;

    cefuzz::CopyThrough model = cefuzz::copyThrough(layout);
    std::string formEnd = model.formEnd ? "</Form>" : "";
    if (pass.kind != qorv::PassKind::Inject) {
        FUZZ_CHECK(outcome == qorv::PassOutcome::Done);
        FUZZ_CHECK(out == model.copied + formEnd);
        return 0;
    }
    if (!model.formEnd) {
        FUZZ_CHECK(outcome == qorv::PassOutcome::NothingInjected);
        FUZZ_CHECK(out == model.copied);
        return 0;
    }
    std::string block;
    int w = pass.landscape ? 800 : 480;
    int h = pass.landscape ? 480 : 800;
    switch (cefuzz::layoutBlock(plg, w, h, &block)) {
        case cefuzz::BlockFound::Whole:
            FUZZ_CHECK(outcome == qorv::PassOutcome::Done);
            FUZZ_CHECK(out == model.copied + block + formEnd);
            break;
        case cefuzz::BlockFound::NoResolution:
            FUZZ_CHECK(outcome == qorv::PassOutcome::NoResolution);
            break;
        case cefuzz::BlockFound::NoLayoutEnd:
            FUZZ_CHECK(outcome == qorv::PassOutcome::NoLayoutEnd);
            break;
    }
    return 0;
}
