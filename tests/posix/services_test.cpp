// Message box, screen size from device.conf, and 8-bit text conversion.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/device/device_conf.h"
#include "platform/wstr.h"
#include "tests/support/device_fixture.h"

using cetest::TempDevice;

TEST(MessageBox, WritesOneLineToStandardError) {
    testing::internal::CaptureStderr();
    ce::messageBox(u"QORV", u"#4 Plugin file \u00FCnreadable\r\nsecond line");
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "QORV: #4 Plugin file \xC3\xBCnreadable  second line\n");
}

TEST(DeviceConf, ScreenLineGivesTheSizeElseTheDefault) {
    using ce::posix::parseDeviceConf;
    auto size = [](const std::string& text) {
        auto c = parseDeviceConf(text);
        return std::to_string(c.screenWidth) + "x" + std::to_string(c.screenHeight);
    };
    EXPECT_EQ(size(""), "480x800");
    EXPECT_EQ(size("screen=240x320\n"), "240x320");
    EXPECT_EQ(size("# screen=1x1\r\nother=5\r\n screen = 800 x 480 \r\n"), "800x480");
    EXPECT_EQ(size("screen=240x320\nscreen=640x480"), "640x480");
    EXPECT_EQ(size("\xEF\xBB\xBFscreen=800x480\r\n"), "800x480");  // saved by a Windows editor
    for (const char* bad : {"screen=480", "screen=0x800", "screen=-1x5", "screen=480x800x2",
                            "screen=x", "screen=99999999x1", "screen=480X800junk"}) {
        EXPECT_EQ(size(std::string("screen=240x320\n") + bad), "480x800") << bad;
    }
}

TEST(DeviceConf, EachMistakeNamesItsLineAndWhatIsExpected) {
    const std::string expected = "; expected screen=WIDTHxHEIGHT";
    const std::string notSize =
        " is not WIDTHxHEIGHT in decimal with a lower-case x, such as 480x800; the screen is "
        "480x800";
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"# a comment\n\nscreen=240x320\r\n", {}},
        {"screen=240X320\n", {"line 1: screen=240X320" + notSize}},
        {"\nscreen=240*320", {"line 2: screen=240*320" + notSize}},
        {"Screen=240x320\n", {"line 1: unknown name \"Screen\" (ignored)" + expected}},
        {"screen 240x320\r\nscreen=\n",
         {"line 1: \"screen 240x320\" is not name=value" + expected, "line 2: screen=" + notSize}},
    };
    for (const auto& [text, want] : cases) {
        std::vector<std::string> problems;
        ce::posix::DeviceConf conf = ce::posix::parseDeviceConf(text, &problems);
        EXPECT_EQ(problems, want) << text;
        EXPECT_EQ(conf.screenWidth, want.empty() ? 240 : 480) << text;
    }
}

TEST(DeviceConf, ScreenFunctionsReadTheCurrentDevice) {
    TempDevice dev;
    EXPECT_EQ(ce::screenWidth(), 480);
    EXPECT_EQ(ce::screenHeight(), 800);
    dev.setScreen(720, 1280);
    EXPECT_EQ(ce::screenWidth(), 720);
    EXPECT_EQ(ce::screenHeight(), 1280);
}

// A file that is there but cannot be read, or that goes on past the limit,
// is named; a line cut at the limit is not read as another size.
TEST(DeviceConf, AFileThatCannotBeReadWholeIsNamed) {
    TempDevice dev;
    const std::string conf = dev.dir() + "/device.conf";
    std::filesystem::create_directory(conf);
    testing::internal::CaptureStderr();
    EXPECT_EQ(ce::screenWidth(), 480);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot read " + conf +
                                                          ": not a regular file; the screen is "
                                                          "480x800"),
              std::string::npos);
    std::filesystem::remove(conf);
    // The limit falls inside "screen=320x240", after "screen=320x2".
    cetest::writeHostFile(conf, "#" + std::string(65522, 'x') + "\nscreen=320x240\n");
    testing::internal::CaptureStderr();
    EXPECT_EQ(ce::screenHeight(), 800);  // the default, not 2
    EXPECT_NE(testing::internal::GetCapturedStderr().find("is longer than 64 KiB"),
              std::string::npos);
}

TEST(TextConversion, Utf8IsTheDefaultCodePage) {
    char16_t wide[8];
    ASSERT_TRUE(ce::acpToWide("\xC3\xA9t\xC3\xA9", wide, 8));
    EXPECT_EQ(std::u16string(wide), u"\u00E9t\u00E9");
    EXPECT_FALSE(ce::acpToWide("\xFF", wide, 8));
    EXPECT_EQ(wide[0], 0);
    EXPECT_FALSE(ce::acpToWide("1234567890", wide, 8));  // does not fit
    EXPECT_TRUE(ce::acpToWide("1234567", wide, 8));

    char narrow[6];
    ASSERT_TRUE(ce::wideToAcp(u"\u00E9t\u00E9", narrow, 6));
    EXPECT_EQ(std::string(narrow), "\xC3\xA9t\xC3\xA9");
    EXPECT_FALSE(ce::wideToAcp(u"\u00E9t\u00E9!", narrow, 6));  // 6 bytes and the NUL
    EXPECT_EQ(narrow[0], 0);
    const char16_t lone[] = {u'a', 0xDC00, 0};
    EXPECT_FALSE(ce::wideToAcp(lone, narrow, 6));
    // Text with a lone surrogate is refused, yet converted whole, U+FFFD in its place.
    std::string utf8;
    EXPECT_FALSE(ce::u16ToUtf8(lone, 2, &utf8));
    EXPECT_EQ(utf8, "a\xEF\xBF\xBD");
}

TEST(TextConversion, LowerCasingPairsLettersAsUnicodeDoes) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"ÀÞĀāĹĺŊŋŐőŶŷŸŹźſ", u"àþāāĺĺŋŋőőŷŷÿźźſ"},
        {u"ΑΩΫΣς ЀЏАЯая", u"αωϋσς ѐџаяая"},
        // Romanian, accented Greek, Ukrainian, Vietnamese, Armenian.
        {u"ȘȚ ΆΏ Ґ ỨẠ Ա ǅ", u"șț άώ ґ ứạ ա ǆ"},
        {u"\u0130 \u212A \u2126 \u212B \u00DF",
         u"\u0130 \u212A \u2126 \u212B \u00DF"},  // no pair of one UTF-8 length
    };
    for (auto [text, lower] : cases) {
        ce::u16lower(text.data());
        EXPECT_EQ(text, lower);
    }
    // Every unit keeps its UTF-8 length, ASCII stays ASCII, and lower-case
    // is lower-cased no further: device path lookups rely on all three.
    auto utf8Size = [](char16_t c) { return c < 0x80 ? 1 : c < 0x800 ? 2 : 3; };
    for (uint32_t u = 0; u <= 0xFFFF; ++u) {
        const auto c = static_cast<char16_t>(u);
        const char16_t lower = ce::u16lowerChar(c);
        ASSERT_EQ(utf8Size(lower), utf8Size(c)) << std::hex << u;
        ASSERT_EQ(ce::u16lowerChar(lower), lower) << std::hex << u;
    }
}
