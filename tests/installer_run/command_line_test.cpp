#include "installer/command_line.h"

#include <gtest/gtest.h>

#include <string>

#include "installer/switch_path.h"

namespace qorv {
namespace {

TEST(CommandLine, ActionPriorityAddchangeThenDeleteThenChange) {
    EXPECT_EQ(findAction(u"-delete -addchange"), Action::AddChange);
    EXPECT_EQ(findAction(u"-change -delete"), Action::Delete);
    EXPECT_EQ(findAction(u"x-changey"), Action::Change);
    EXPECT_EQ(findAction(u"-Change -ADDCHANGE add delete"), Action::None);
    // " -nochangecpr" holds "change" but not "-change".
    EXPECT_EQ(findAction(u"-cpr:all -nochangecpr"), Action::None);
}

TEST(CommandLine, SwitchesAreSubstringsAndBlankLedOnesNeedTheirBlank) {
    EXPECT_TRUE(hasSwitch(u"-addchange foo-silentbar", kSwitchSilent));
    EXPECT_FALSE(hasSwitch(u"-addchange -Silent", kSwitchSilent));
    EXPECT_FALSE(hasSwitch(u"-nochangecpr -addchange", kSwitchKeepLayout));
    EXPECT_TRUE(hasSwitch(u"-addchange -nochangecpr", kSwitchKeepLayout));
}

TEST(CommandLine, PluginNameRunsToTheNextBlankOrTheEnd) {
    char16_t name[64];
    EXPECT_EQ(takePluginName(u"-delete -plugin:Weather -silent", name, 64),
              PluginNameResult::Taken);
    EXPECT_EQ(std::u16string(name), u"Weather");
    EXPECT_EQ(takePluginName(u"-delete -cpr:all -plugin:Clock2", name, 64),
              PluginNameResult::Taken);
    EXPECT_EQ(std::u16string(name), u"Clock2");
    EXPECT_EQ(takePluginName(u"-delete -plugin: Weather", name, 64), PluginNameResult::Taken);
    EXPECT_EQ(std::u16string(name), u"");
    EXPECT_EQ(takePluginName(u"-plugin:Weather -delete", name, 64), PluginNameResult::Missing);
}

TEST(CommandLine, PluginNameThatDoesNotFitIsRefusedNotCut) {
    char16_t name[8];
    EXPECT_EQ(takePluginName(u"-delete -plugin:1234567", name, 8), PluginNameResult::Taken);
    EXPECT_EQ(takePluginName(u"-delete -plugin:12345678", name, 8), PluginNameResult::TooLong);
    EXPECT_EQ(name[0], 0);
}

TEST(SwitchPath, TakenFromBackslashThroughFirstExtension) {
    char16_t out[128];
    EXPECT_EQ(takeSwitchPath(u"-addchange -plg:\\Program Files\\W x\\w.plg -cpr:all", u" -plg:",
                             u".plg", out, 128),
              SwitchPathResult::Taken);
    EXPECT_EQ(std::u16string(out), u"\\Program Files\\W x\\w.plg");
    // An extension inside the path cuts it there; what follows is ignored.
    EXPECT_EQ(takeSwitchPath(u"a -plg:\\a.plg\\b.plgX", u" -plg:", u".plg", out, 128),
              SwitchPathResult::Taken);
    EXPECT_EQ(std::u16string(out), u"\\a.plg");
}

TEST(SwitchPath, Failures) {
    char16_t out[128];
    EXPECT_EQ(takeSwitchPath(u"-plg:\\a.plg", u" -plg:", u".plg", out, 128),
              SwitchPathResult::SwitchMissing);
    EXPECT_EQ(takeSwitchPath(u"x -plg:\"\\a.plg\"", u" -plg:", u".plg", out, 128),
              SwitchPathResult::NoBackslash);
    EXPECT_EQ(takeSwitchPath(u"x -plg:a.plg", u" -plg:", u".plg", out, 128),
              SwitchPathResult::NoBackslash);
    EXPECT_EQ(takeSwitchPath(u"x -cpr:\\Windows\\X.CPR", u" -cpr:", u".cpr", out, 128),
              SwitchPathResult::ExtensionMissing);
    EXPECT_EQ(takeSwitchPath(u"x -cpr:\\", u" -cpr:", u".cpr", out, 128),
              SwitchPathResult::ExtensionMissing);
    char16_t small[8];
    EXPECT_EQ(takeSwitchPath(u"x -cpr:\\abc.cpr", u" -cpr:", u".cpr", small, 8),
              SwitchPathResult::TooLong);
    EXPECT_EQ(small[0], 0);
}

}  // namespace
}  // namespace qorv
