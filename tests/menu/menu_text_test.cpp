// The launcher's plain text routines: menu file path, folder variables and
// the split of an action into file and parameters.
#include <gtest/gtest.h>

#include <string>

#include "menu/action_split.h"
#include "menu/menu_path.h"
#include "menu/path_variables.h"
#include "platform/wstr.h"

namespace {

using ce::u16;
using ce::utf8;

std::string menuPath(const std::string& module, const std::string& commandLine) {
    char16_t path[vantrelo::kPathChars];
    if (!vantrelo::buildMenuFilePath(u16(module).c_str(), u16(commandLine).c_str(), path)) {
        EXPECT_EQ(path[0], 0);
        return "<refused>";
    }
    return utf8(path);
}

TEST(MenuPath, NamedByTheCommandLine) {
    const std::string exe = "\\Program Files\\Vantrelo\\Vantrelo.exe";
    const std::string dir = "\\Program Files\\Vantrelo\\";
    EXPECT_EQ(menuPath(exe, ""), dir + "Vantrelo.ini");
    EXPECT_EQ(menuPath(exe, "-2"), dir + "Vantrelo2.ini");
    EXPECT_EQ(menuPath(exe, "2"), dir + "Vantrelo2.ini");
    EXPECT_EQ(menuPath(exe, "--x"), dir + "Vantrelo-x.ini");
    EXPECT_EQ(menuPath(exe, "-a b"), dir + "Vantreloa b.ini");
    // A name without any backslash keeps all of it as the directory.
    EXPECT_EQ(menuPath("Vantrelo.exe", ""), "Vantrelo.exe\\Vantrelo.ini");
}

TEST(MenuPath, RefusesWhatDoesNotFit) {
    const std::string exe = "\\Program Files\\V\\Vantrelo.exe";
    EXPECT_EQ(menuPath(exe, "-" + std::string(16, 'x')),
              "\\Program Files\\V\\Vantrelo" + std::string(16, 'x') + ".ini");
    EXPECT_EQ(menuPath(exe, std::string(18, 'x')), "<refused>");
    // Directory plus "Vantrelo.ini" of exactly 255 characters fits, one more does not.
    const std::string dir = "\\" + std::string(255 - 13 - 1, 'd') + "\\";
    EXPECT_EQ(menuPath(dir + "V.exe", ""), dir + "Vantrelo.ini");
    EXPECT_EQ(menuPath("\\d" + dir + "V.exe", ""), "<refused>");
    EXPECT_EQ(menuPath("\\" + std::string(400, 'd') + "\\V.exe", ""), "<refused>");
}

vantrelo::FolderPaths deviceFolders() {
    vantrelo::FolderPaths f;
    const char* paths[] = {"\\Program Files", "\\Windows", "\\My Documents\\My Music",
                           "\\My Documents\\My Videos", "\\My Documents\\My Pictures"};
    for (size_t i = 0; i < vantrelo::kFolderCount; ++i) {
        ce::u16copy(f.path[i], vantrelo::kFolderChars, u16(paths[i]).c_str());
    }
    return f;
}

std::string expand(const std::string& action, const vantrelo::FolderPaths& folders) {
    char16_t result[vantrelo::kExpansionChars];
    const char16_t* r = vantrelo::expandPathVariables(u16(action).c_str(), folders, result);
    if (r == nullptr) {
        EXPECT_EQ(result[0], 0);
        return "<refused>";
    }
    EXPECT_EQ(r, result);
    return utf8(r);
}

TEST(ExpandPathVariables, ReplacesEveryVariableEverywhere) {
    const auto f = deviceFolders();
    EXPECT_EQ(expand("%WINDOWS%\\a.exe|%MYMUSIC%\\x.mp3", f),
              "\\Windows\\a.exe|\\My Documents\\My Music\\x.mp3");
    EXPECT_EQ(expand("%PROGRAMFILES%%PROGRAMFILES%;%MYVIDEO% and %MYVIDEO%", f),
              "\\Program Files\\Program Files;\\My Documents\\My Videos and \\My "
              "Documents\\My Videos");
    EXPECT_EQ(expand("%MYPICTURES%", f), "\\My Documents\\My Pictures");
    EXPECT_EQ(expand("%windows% %TEMP% %WINDOWS %", f), "%windows% %TEMP% %WINDOWS %");
    EXPECT_EQ(expand("", f), "");
}

TEST(ExpandPathVariables, DecidesOnTheTextAsGiven) {
    // A folder path that looks like a later variable is not replaced again.
    auto f = deviceFolders();
    ce::u16copy(f.path[0], vantrelo::kFolderChars, u"%WINDOWS%");
    EXPECT_EQ(expand("%PROGRAMFILES%\\x", f), "%WINDOWS%\\x");
    EXPECT_EQ(expand("%PROGRAMFILES%\\x %WINDOWS%", f), "\\Windows\\x \\Windows");
    // A folder the device cannot name is the empty string.
    f.path[2][0] = 0;
    EXPECT_EQ(expand("%MYMUSIC%\\song.mp3", f), "\\song.mp3");
}

TEST(ExpandPathVariables, RefusesAResultBeyond255Characters) {
    const auto f = deviceFolders();
    const std::string tail(255 - 8, 'x');  // "\Windows" is 8 characters
    EXPECT_EQ(expand("%WINDOWS%" + tail, f), "\\Windows" + tail);
    EXPECT_EQ(expand("%WINDOWS%x" + tail, f), "<refused>");
    std::string many;
    for (int i = 0; i < 20; ++i)
        many += "%MYPICTURES%";
    EXPECT_EQ(expand(many, f), "<refused>");
}

TEST(ReplaceAll, ReplacesAfterEachInsertion) {
    char16_t text[64];
    ce::u16copy(text, 64, u"aXbXX");
    ASSERT_TRUE(vantrelo::replaceAll(text, 64, u"X", u"XX"));
    EXPECT_EQ(utf8(text), "aXXbXXXX");
    ce::u16copy(text, 64, u"aaaa");
    ASSERT_TRUE(vantrelo::replaceAll(text, 64, u"aa", u"b"));
    EXPECT_EQ(utf8(text), "bb");
    ASSERT_TRUE(vantrelo::replaceAll(text, 64, u"", u"z"));
    EXPECT_EQ(utf8(text), "bb");
}

TEST(ReplaceAll, LeavesTheTextWhenTheResultDoesNotFit) {
    char16_t text[8];
    ce::u16copy(text, 8, u"abc");
    EXPECT_FALSE(vantrelo::replaceAll(text, 8, u"b", u"123456"));
    EXPECT_EQ(utf8(text), "abc");
    EXPECT_TRUE(vantrelo::replaceAll(text, 8, u"b", u"12345"));
    EXPECT_EQ(utf8(text), "a12345c");
}

struct Split {
    std::string file;
    std::string parameters;
    bool operator==(const Split&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Split& s) {
    return os << "{" << s.file << " | " << s.parameters << "}";
}

Split split(const std::string& action) {
    char16_t file[vantrelo::kFileChars];
    char16_t parameters[vantrelo::kParameterChars];
    if (!vantrelo::splitAction(u16(action).c_str(), file, parameters))
        return {"<refused>", ""};
    return {utf8(file), utf8(parameters)};
}

TEST(SplitAction, FileAndParameters) {
    EXPECT_EQ(split("\\Windows\\a.exe"), (Split{"\\Windows\\a.exe", ""}));
    EXPECT_EQ(split(" \\My App\\b.exe "), (Split{" \\My App\\b.exe ", ""}));
    EXPECT_EQ(split("a.exe|-x -y"), (Split{"a.exe", "-x -y"}));
    EXPECT_EQ(split("a.exe;-x"), (Split{"a.exe", "-x"}));
    EXPECT_EQ(split("a.exe|"), (Split{"a.exe", ""}));
}

TEST(SplitAction, BarWinsOverSemicolon) {
    EXPECT_EQ(split("a;b.exe|p;q"), (Split{"a;b.exe", "p;q"}));
    EXPECT_EQ(split("a.exe;p|q"), (Split{"a.exe;p", "q"}));
}

TEST(SplitAction, EmptyFieldsAreSkipped) {
    EXPECT_EQ(split("||a.exe||p|third"), (Split{"a.exe", "p"}));
    EXPECT_EQ(split(";;"), (Split{"", ""}));
    EXPECT_EQ(split("|"), (Split{"", ""}));
}

}  // namespace
