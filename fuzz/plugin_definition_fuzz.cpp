// The plugin-definition reader: the name and position of a .plg, and the
// layout block that an add injects, for a portrait and a landscape screen.
//
// Input: the plugin-definition file.  The name must stand between its tags
// on one line of the file, the position must read as the runtime's strtol
// reads it, and the injected block must be the model's (layout_model.h).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "fuzz/layout_model.h"
#include "fuzz/memory_device.h"
#include "installer/plugin_definition.h"
#include "installer/rewrite_pass.h"

namespace {

constexpr std::string_view kLayout = "<TitaniumListView>\n</Form>\n";

// The position text as the C runtime reads it.
int32_t runtimePosition(std::string_view text) {
    std::string s(text);
    return static_cast<int32_t>(std::strtol(s.c_str(), nullptr, 10));
}

void checkInjection(std::string_view plg, const qorv::PluginHead& head, bool landscape) {
    cefuzz::memoryDeviceSetFile(u"\\in.cpr", kLayout);
    qorv::RewritePass pass = {};
    pass.kind = qorv::PassKind::Inject;
    pass.pluginName = head.name;
    pass.landscape = landscape;
    pass.layout = ce::fileOpen(u"\\in.cpr", ce::FileMode::Read);
    pass.temp = ce::fileOpen(u"\\out.txt", ce::FileMode::Write);
    pass.plg = ce::fileOpen(u"\\in.plg", ce::FileMode::Read);
    // The same stream position as in an add: right after the position line.
    qorv::PluginHead again = {};
    static qorv::PassBuffers buffers;
    FUZZ_CHECK(qorv::readPluginName(pass.plg, buffers.blockLine, again) == qorv::PlgHeadStatus::Ok);
    FUZZ_CHECK(qorv::readPluginPosition(pass.plg, buffers.blockLine, again) ==
               qorv::PlgHeadStatus::Ok);
    FUZZ_CHECK(std::string_view(again.name) == head.name && again.position == head.position);
    qorv::PassOutcome outcome = qorv::runRewritePass(pass, buffers);
    ce::fileClose(pass.layout);
    ce::fileClose(pass.temp);
    ce::fileClose(pass.plg);
    std::string out;
    FUZZ_CHECK(cefuzz::memoryDeviceGetFile(u"\\out.txt", &out));

    // The blocks are looked for after the position line only.
    std::string_view tail;
    int found = 0;
    for (std::string_view piece : cefuzz::layoutPieces(plg)) {
        if (found < 2 && piece.find(found == 0 ? "</name>" : "</position>") != piece.npos) {
            if (++found == 2)
                tail = plg.substr(static_cast<size_t>(piece.data() - plg.data()) + piece.size());
        }
    }
    FUZZ_CHECK(found == 2);
    cefuzz::ModelPass model;
    model.lookForLayers = true;
    model.pluginName = head.name;
    model.inject = true;
    model.plg = tail;
    model.width = landscape ? 800 : 480;
    model.height = landscape ? 480 : 800;
    cefuzz::ModelResult want = cefuzz::modelPass(kLayout, model);
    FUZZ_CHECK(outcome == want.outcome);
    if (outcome == qorv::PassOutcome::Done)
        FUZZ_CHECK(out == want.out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view plg(reinterpret_cast<const char*>(data), size);
    FUZZ_CHECK(qorv::parsePosition(plg.substr(0, qorv::kMaxPositionChars)) ==
               runtimePosition(plg.substr(0, qorv::kMaxPositionChars)));

    cefuzz::memoryDeviceReset();
    cefuzz::memoryDeviceSetScreen(480, 800);
    cefuzz::memoryDeviceSetFile(u"\\in.plg", plg);
    ce::File file = ce::fileOpen(u"\\in.plg", ce::FileMode::Read);
    qorv::PluginHead head = {};
    static qorv::LayoutLine line;
    qorv::PlgHeadStatus name = qorv::readPluginName(file, line, head);
    qorv::PlgHeadStatus position = qorv::PlgHeadStatus::PositionMissing;
    if (name == qorv::PlgHeadStatus::Ok)
        position = qorv::readPluginPosition(file, line, head);
    ce::fileClose(file);

    bool hasCloseTag = plg.find("</name>") != std::string_view::npos;
    FUZZ_CHECK(hasCloseTag || name == qorv::PlgHeadStatus::NameMissing);
    if (name != qorv::PlgHeadStatus::Ok)
        return 0;
    std::string_view nameText(head.name);
    FUZZ_CHECK(nameText.size() <= qorv::kMaxPluginNameBytes);
    // The tags stand around the name (a NUL, which would cut it, is refused
    // with the other control characters).
    std::string tagged = "<name>" + std::string(nameText) + "</name>";
    FUZZ_CHECK(plg.find(tagged) != std::string_view::npos);
    FUZZ_CHECK(nameText.find('\n') == std::string_view::npos);
    // Nothing that would break the lists, the markup or -delete's name.
    for (char c : nameText)
        FUZZ_CHECK(std::string_view(" ;\"<>&\x7f").find(c) == std::string_view::npos &&
                   static_cast<unsigned char>(c) >= 0x20);
    if (position != qorv::PlgHeadStatus::Ok)
        return 0;

    checkInjection(plg, head, false);
    checkInjection(plg, head, true);
    return 0;
}
