// The rewrite pass on its own, over files of a temporary device.
#include "installer/rewrite_pass.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/installer_editors/editor_device.h"

namespace qorv {
namespace {

using cetest::TempDevice;

struct PassRun {
    PassOutcome outcome;
    std::string out;
};

PassRun runPass(const TempDevice& dev, PassKind kind, const std::string& layout,
                const std::string& plg = "") {
    dev.setScreen(480, 800);
    dev.writeFile("\\in.cpr", layout);
    dev.writeFile("\\in.plg", plg);
    RewritePass pass = {};
    pass.kind = kind;
    pass.layout = ce::fileOpen(u"\\in.cpr", ce::FileMode::Read);
    pass.temp = ce::fileOpen(u"\\out.txt", ce::FileMode::Write);
    pass.plg = ce::fileOpen(u"\\in.plg", ce::FileMode::Read);
    pass.pluginName = "P";
    pass.toBronze = true;
    PassRun run{runRewritePass(pass), ""};
    ce::fileClose(pass.layout);
    ce::fileClose(pass.temp);
    ce::fileClose(pass.plg);
    run.out = dev.readFile("\\out.txt");
    return run;
}

const std::string kLayers =
    "<Layer ID=\"PExpanded\">\n</Layer>\n<Layer ID=\"PCondensed\">\n</Layer>\n<L>\n</Layer>\n";

TEST(RewritePass, NothingIsLookedForBeforeTheListView) {
    TempDevice dev;
    std::string layout = "</Form>\n" + kLayers + "<BronzeListView>\n" + kLayers + "</Form>\n";
    PassRun run = runPass(dev, PassKind::Remove, layout);
    EXPECT_EQ(run.outcome, PassOutcome::Done);
    EXPECT_EQ(run.out, "</Form>\n" + kLayers + "<BronzeListView>\n</Form>");
}

TEST(RewritePass, RemovalAtTheEndOfTheFileEndsThePass) {
    TempDevice dev;
    PassRun run = runPass(dev, PassKind::Remove, "<TitaniumListView>\n" + kLayers);
    EXPECT_EQ(run.outcome, PassOutcome::Done);
    EXPECT_EQ(run.out, "<TitaniumListView>\n");
    run = runPass(dev, PassKind::Remove, "<TitaniumListView>\n" + kLayers.substr(0, 40));
    EXPECT_EQ(run.outcome, PassOutcome::LayersUnfinished);
}

TEST(RewritePass, InjectionOutcomes) {
    TempDevice dev;
    std::string layout = "<TitaniumListView>\n</Form>\n";
    EXPECT_EQ(
        runPass(dev, PassKind::Inject, layout, "<layout screenWidth=\"480\" screenHeight=\"80\">\n")
            .outcome,
        PassOutcome::NoResolution);
    EXPECT_EQ(runPass(dev, PassKind::Inject, layout,
                      "<Layout screenWidth=\"480\" screenHeight=\"800\">\n<x/>\n")
                  .outcome,
              PassOutcome::NoLayoutEnd);
    // The opening line of the block is not tested for its end.
    PassRun run =
        runPass(dev, PassKind::Inject, layout,
                "<Layout screenWidth=\"480\" screenHeight=\"800\"></layout>\n<x/>\n</layout>\n");
    EXPECT_EQ(run.outcome, PassOutcome::Done);
    EXPECT_EQ(run.out, "<TitaniumListView>\n<x/>\n</Form>");
    EXPECT_EQ(runPass(dev, PassKind::Inject, "<TitaniumListView>\n", "").outcome,
              PassOutcome::NothingInjected);
}

TEST(RewritePass, ChangeInjectsOnTheLastLayerLine) {
    TempDevice dev;
    PassRun run = runPass(dev, PassKind::Inject, "<TitaniumListView>\n" + kLayers + "<Z/>\n",
                          "<layout screenWidth=\"480\" screenHeight=\"800\">\n<New/>\n</layout>\n");
    EXPECT_EQ(run.outcome, PassOutcome::Done);
    EXPECT_EQ(run.out, "<TitaniumListView>\n<New/>\n<Z/>\n");
}

TEST(RewritePass, SwitchOfAListViewOpenedAndClosedOnOneLine) {
    TempDevice dev;
    PassRun run = runPass(dev, PassKind::SwitchListView,
                          "<TitaniumListView/>x</TitaniumListView>\n</Form>\n<gone/>\n");
    EXPECT_EQ(run.out, "   <BronzeListView/>x</BronzeListView>\n</Form>");
}

}  // namespace
}  // namespace qorv
