// The rewrite pass on its own, over files of a temporary device.
#include "installer/rewrite_pass.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "installer/layout_line.h"
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
    auto buffers = std::make_unique<PassBuffers>();
    PassRun run{runRewritePass(pass, *buffers), ""};
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

// A block cut short never takes the next plugin's first layer, nor lines
// past the form's end: the pass stops unfinished and nothing is lost.
TEST(RewritePass, LayersCutShortStopBeforeWhatNoBlockHolds) {
    TempDevice dev;
    const std::string two =
        "<Layer ID=\"PExpanded\">\n</Layer>\n<Layer ID=\"PCondensed\">\n</Layer>\n";
    const std::string next = "<Layer ID=\"QExpanded\" Height=\"9\">\n</Layer>\n";
    // A line long enough to arrive in pieces, whose first piece ends `into`
    // bytes into the text after it.
    auto cutAt = [](size_t into, const std::string& after) {
        return "<T H=\"" + std::string(qorv::kLinePieceBytes - into - 9, 'x') + "\"/>" + after;
    };
    const struct {
        std::string layers;
        PassOutcome outcome;
    } cases[] = {
        {two + next, PassOutcome::LayersUnfinished},
        {two + "<Layer ID=\"PIcon\"/>\n" + next, PassOutcome::LayersUnfinished},
        {two + "</Form>\n<Layer ID=\"X\">\n</Layer>\n", PassOutcome::LayersUnfinished},
        // Tags that the pieces of a long line cut in two are read whole: the
        // expanded layer's "</Layer>", another plugin's first tag, and a
        // "</Form>".
        {"<Layer ID=\"PExpanded\">\n" + cutAt(4, "</Layer>\n") +
             "<Layer ID=\"PCondensed\">\n</Layer>\n" + next,
         PassOutcome::LayersUnfinished},
        {two + cutAt(15, next), PassOutcome::LayersUnfinished},
        {two + cutAt(3, "</Form>\n") + "<Layer ID=\"X\">\n</Layer>\n",
         PassOutcome::LayersUnfinished},
        {two + "<Layer ID=\"PIcon\">\n" + cutAt(4, "</Layer>" + next),
         PassOutcome::LayersUnfinished},
        {"<Layer ID=\"PExpanded\"></Layer>\n<Layer ID=\"PCondensed\"></Layer>\n"
         "<Layer ID=\"PIcon\"></Layer>\n" +
             next,
         PassOutcome::LayersUnfinished},
        // A tag over two lines that closes itself opens no layer.
        {"<Layer ID=\"PExpanded\">\n<Layer ID=\"PDot\"\n Width=\"8\"/>\n</Layer>\n"
         "<Layer ID=\"PCondensed\">\n</Layer>\n" +
             next,
         PassOutcome::LayersUnfinished},
        // A third layer nested or named otherwise is the plugin's own, and
        // what follows it on its line stays.
        {two + "<Layer ID=\"PIcon\">\n<Layer ID=\"SubExpanded\"/>\n</Layer>\n" + next,
         PassOutcome::Done},
        {two + "<Layer ID=\"PIcon\"><Layer ID=\"DotExpanded\"/></Layer>\n" + next,
         PassOutcome::Done},
        {two + "<Layer ID=\"PIcon\"></Layer>" + next, PassOutcome::Done},
        // A "</Layer>" cut so is the one the search looks for.
        {"<Layer ID=\"PExpanded\">\n</Layer>\n<Layer ID=\"PCondensed\">\n" +
             cutAt(4, "</Layer>\n") + "<Layer ID=\"PIcon\">\n</Layer>\n" + next,
         PassOutcome::Done},
    };
    for (const auto& c : cases) {
        for (PassKind kind : {PassKind::Remove, PassKind::Inject}) {
            std::string layout = "<TitaniumListView>\n" + c.layers + "</Form>\n";
            PassRun run =
                runPass(dev, kind, layout,
                        "<layout screenWidth=\"480\" screenHeight=\"800\">\n<N/>\n</layout>\n");
            EXPECT_EQ(run.outcome, c.outcome) << c.layers;
            std::string kept = kind == PassKind::Inject ? "<N/>\n" + next : next;
            if (c.outcome == PassOutcome::Done) {
                EXPECT_EQ(run.out, "<TitaniumListView>\n" + kept + "</Form>") << c.layers;
            }
        }
    }
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

// Where one phase of a pass hands over to the next.
TEST(RewritePass, PhaseBoundaries) {
    struct Case {
        const char* what;
        PassKind kind;
        std::string layout;
        PassOutcome outcome;
        std::string out;
    };
    const std::string block =
        "<layout screenWidth=\"480\" screenHeight=\"800\">\n<B/>\n</layout>\n";
    const std::string layers =
        kLayers.substr(0, kLayers.size() - 9);  // without the last "</Layer>\n"
    const Case cases[] = {
        {"the last old layer line also ends the form", PassKind::Inject,
         "<BronzeListView>\n" + layers + "</Layer></Form>\n<gone/>\n", PassOutcome::Done,
         "<BronzeListView>\n<B/>\n</Form>"},
        {"a change injects once; the later form end gets no second block", PassKind::Inject,
         "<BronzeListView>\n" + kLayers + "<Z/>\n</Form>\n", PassOutcome::Done,
         "<BronzeListView>\n<B/>\n<Z/>\n</Form>"},
        {"the expanded marker wins over a form end on its line", PassKind::Remove,
         "<BronzeListView>\n<Layer ID=\"PExpanded\"></Form>\n" +
             kLayers.substr(kLayers.find('\n') + 1) + "<Z/>\n",
         PassOutcome::Done, "<BronzeListView>\n<Z/>\n"},
        // What shares a line with the layers but is none of them stays.
        // It keeps no line end of its own: what follows the layers takes
        // their place on its line, as the block of an add did there.
        {"a closing tag in front of the layers stays", PassKind::Remove,
         "<BronzeListView>\r\n   </BronzeListView>  " + kLayers + "</Form>\n", PassOutcome::Done,
         "<BronzeListView>\r\n   </BronzeListView></Form>"},
        {"the block goes after a closing tag in front of the layers", PassKind::Inject,
         "<BronzeListView>\n</BronzeListView>" + kLayers + "</Form>\n", PassOutcome::Done,
         "<BronzeListView>\n</BronzeListView><B/>\n</Form>"},
        {"text in front of the layers that is no whole markup goes", PassKind::Remove,
         "<BronzeListView>\n<Tag " + kLayers + "</Form>\n", PassOutcome::Done,
         "<BronzeListView>\n</Form>"},
        {"layers in a comment are none, though the comment is open at the form end",
         PassKind::Remove, "<BronzeListView>\n<!-- " + kLayers + "</Form>\n", PassOutcome::Done,
         "<BronzeListView>\n<!-- " + kLayers + "</Form>"},
        {"closing tags after the layers stay", PassKind::Remove,
         "<BronzeListView>\n" + layers + "</Layer></BronzeListView></Form>\n<gone/>\n",
         PassOutcome::Done, "<BronzeListView>\n</BronzeListView></Form>"},
        {"closing tags after the old layers follow the block", PassKind::Inject,
         "<BronzeListView>\n" + layers + "</Layer> </BronzeListView>\n</Form>\n", PassOutcome::Done,
         "<BronzeListView>\n<B/>\n </BronzeListView>\n</Form>"},
        {"the closing tags of layers nested in the last one go with it, not what follows",
         PassKind::Remove,
         "<BronzeListView>\n" + kLayers.substr(0, kLayers.find("<L>")) +
             "<Layer ID=\"PIcon\">\n <Layer ID=\"In\"><I/></Layer></Layer></BronzeListView>\n"
             "</Form>\n",
         PassOutcome::Done, "<BronzeListView>\n</BronzeListView>\n</Form>"},
        {"a form end on a later piece of a long line keeps the line's text in front of it",
         PassKind::Remove, "<BronzeListView>\n<F T=\"" + std::string(5000, 'f') + "\"/></Form>\n",
         PassOutcome::Done, "<BronzeListView>\n<F T=\"" + std::string(5000, 'f') + "\"/></Form>"},
        {"a form end before the closing tag is copied", PassKind::SwitchListView,
         "<TitaniumListView>\n</Form>\n</TitaniumListView>\n</Form>\n<gone/>\n", PassOutcome::Done,
         "   <BronzeListView>\n</Form>\n   </BronzeListView></Form>"},
    };
    TempDevice dev;
    for (const Case& c : cases) {
        PassRun run = runPass(dev, c.kind, c.layout, block);
        EXPECT_EQ(run.outcome, c.outcome) << c.what;
        EXPECT_EQ(run.out, c.out) << c.what;
    }
}

// A plugin's layers on lines longer than a piece are found wherever the
// piece ends: before, inside or after each text the search looks for (the
// first layer, the condensed one, each "</Layer>"), and the layer after
// them stays.
TEST(RewritePass, AMarkerCutByTheEndOfAPieceIsFound) {
    const std::string block =
        "<layout screenWidth=\"480\" screenHeight=\"800\">\n<B/>\n</layout>\n";
    const std::string after = "<Layer ID=\"Clock\"></Layer>\n</Form>";
    TempDevice dev;
    for (size_t lineAt = 0; lineAt < kLayers.size(); lineAt = kLayers.find('\n', lineAt) + 1) {
        for (size_t fill = 4965; fill <= 4995; fill += 2) {
            SCOPED_TRACE(std::to_string(lineAt) + " " + std::to_string(fill));
            const std::string cut = "<F T=\"" + std::string(fill, 'f') + "\"/>";
            const std::string layout = "<BronzeListView>\n" + kLayers.substr(0, lineAt) + cut +
                                       kLayers.substr(lineAt) + after + "\n";
            const std::string kept = "<BronzeListView>\n" + (lineAt == 0 ? cut : "");
            EXPECT_EQ(runPass(dev, PassKind::Remove, layout).out, kept + after);
            EXPECT_EQ(runPass(dev, PassKind::Inject, layout, block).out, kept + "<B/>\n" + after);
        }
    }
}

// Text in front of the form end stays only when it is whole markup; text
// that opens a comment or an attribute ending after "</Form>" gives way.
// Quotes outside tags are text.
TEST(RewritePass, TextInFrontOfTheFormEndStaysOnlyWhenWhole) {
    const std::string block =
        "<layout screenWidth=\"480\" screenHeight=\"800\">\n<B/>\n</layout>\n";
    const std::string comment = "<!-- old end: </Form> -->\r\n</Form>\r\n";
    const std::string attribute = "<Note text=\"see </Form>\"/>\r\n</Form>\r\n";
    const std::string closing = "</BronzeListView><!-- x --></Form>\r\n";
    // Quotes in an element's text, and an attribute begun on the line before.
    const std::string quoted = "<Label>5\" screen</Label></Form>\r\n";
    const std::string continued = "<Text T=\"one\r\ntwo\"/></Form>\r\n";
    const struct {
        PassKind kind;
        std::string layout;
        std::string out;
    } cases[] = {
        {PassKind::Inject, "<BronzeListView>\n" + comment, "<BronzeListView>\n<B/>\n</Form>"},
        {PassKind::Inject, "<BronzeListView>\n" + attribute, "<BronzeListView>\n<B/>\n</Form>"},
        {PassKind::Inject, "<BronzeListView>\n" + closing,
         "<BronzeListView>\n</BronzeListView><!-- x --><B/>\n</Form>"},
        {PassKind::Inject, "<BronzeListView>\n" + quoted,
         "<BronzeListView>\n<Label>5\" screen</Label><B/>\n</Form>"},
        {PassKind::Inject, "<BronzeListView>\n" + continued,
         "<BronzeListView>\n<Text T=\"one\r\ntwo\"/><B/>\n</Form>"},
        {PassKind::Remove, "<BronzeListView>\n" + comment, "<BronzeListView>\n</Form>"},
        {PassKind::Remove, "<BronzeListView>\n" + quoted,
         "<BronzeListView>\n<Label>5\" screen</Label></Form>"},
        {PassKind::Remove, "<BronzeListView>\n" + attribute, "<BronzeListView>\n</Form>"},
        {PassKind::Remove, "<BronzeListView>\n" + kLayers + closing,
         "<BronzeListView>\n</BronzeListView><!-- x --></Form>"},
        {PassKind::SwitchListView, "<TitaniumListView>\n</TitaniumListView>\n" + comment,
         "   <BronzeListView>\n   </BronzeListView></Form>"},
        {PassKind::SwitchListView, "<TitaniumListView>\n</TitaniumListView>\n" + attribute,
         "   <BronzeListView>\n   </BronzeListView></Form>"},
    };
    TempDevice dev;
    for (const auto& c : cases) {
        PassRun run = runPass(dev, c.kind, c.layout, block);
        EXPECT_EQ(run.outcome, PassOutcome::Done) << c.layout;
        EXPECT_EQ(run.out, c.out) << c.layout;
    }
}

TEST(RewritePass, SwitchOfAListViewOpenedAndClosedOnOneLine) {
    TempDevice dev;
    PassRun run = runPass(dev, PassKind::SwitchListView,
                          "<TitaniumListView>x</TitaniumListView>\n</Form>\n<gone/>\n");
    EXPECT_EQ(run.out, "   <BronzeListView>x</BronzeListView>\n</Form>");
}

}  // namespace
}  // namespace qorv
