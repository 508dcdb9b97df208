// IniReader on menu texts given as bytes, and on a real UTF-16LE file.
#include "menu/ini_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/wstr.h"

namespace {

using vantrelo::IniReader;

enum class Form { Utf16, Utf16Bom, Utf8, Utf8Bom, Utf16Be, Utf16BeBom };

std::string encode(const std::string& utf8, Form form) {
    if (form == Form::Utf8)
        return utf8;
    if (form == Form::Utf8Bom)
        return "\xEF\xBB\xBF" + utf8;
    std::u16string wide = ce::u16(utf8);
    const bool big = form == Form::Utf16Be || form == Form::Utf16BeBom;
    std::string bytes = form == Form::Utf16Bom     ? std::string("\xFF\xFE")
                        : form == Form::Utf16BeBom ? std::string("\xFE\xFF")
                                                   : std::string();
    for (char16_t c : wide) {
        bytes.push_back(static_cast<char>(big ? c >> 8 : c & 0xFF));
        bytes.push_back(static_cast<char>(big ? c & 0xFF : c >> 8));
    }
    return bytes;
}

// A reader over menu text held in memory.
struct TextMenu {
    IniReader reader;

    explicit TextMenu(const std::string& utf8, Form form = Form::Utf16) {
        const std::string bytes = encode(utf8, form);
        EXPECT_TRUE(reader.openBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    }
    std::string get(const std::string& section, const std::string& key,
                    const std::string& def = "") {
        return ce::utf8(
            reader.getValue(ce::u16(section).c_str(), ce::u16(key).c_str(), ce::u16(def).c_str()));
    }
};

// A host path written the way the reader takes paths: with backslashes.
std::u16string devicePath(std::string host) {
    for (char& c : host) {
        if (c == '/')
            c = '\\';
    }
    return ce::u16(host);
}

// A new temporary file holding bytes; its host path.
std::string tempFile(const std::string& bytes) {
    char path[] = "/tmp/ini_reader_test_XXXXXX";
    const int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(fd);
    return path;
}

const char* kSample =
    "[Menus]\r\n"
    "Menu1=Mail\r\n"
    "Menu2=Notes\r\n"
    "[Actions]\r\n"
    "Action1=\\Windows\\tmail.exe\r\n"
    "Action2=\\Windows\\pword.exe|-new\r\n";

TEST(IniReader, ReadsEveryEncodingTheSameWay) {
    for (Form form : {Form::Utf16, Form::Utf16Bom, Form::Utf8, Form::Utf8Bom}) {
        TextMenu m(kSample, form);
        EXPECT_EQ(m.get("Menus", "Menu1"), "Mail");
        EXPECT_EQ(m.get("Menus", "Menu2"), "Notes");
        EXPECT_EQ(m.get("Actions", "Action2"), "\\Windows\\pword.exe|-new");
        EXPECT_EQ(m.get("Actions", "Action1"), "\\Windows\\tmail.exe");
        EXPECT_EQ(m.get("Menus", "Menu3", "none"), "none");
    }
}

TEST(IniReader, ByteOrderMarkIsNotPartOfTheFirstLine) {
    // Without skipping the mark, the first header would not start with "[".
    TextMenu m("[Menus]\nMenu1=A\n", Form::Utf16Bom);
    EXPECT_EQ(m.get("Menus", "Menu1"), "A");
    TextMenu u("[Menus]\nMenu1=A\n", Form::Utf8Bom);
    EXPECT_EQ(u.get("Menus", "Menu1"), "A");
}

TEST(IniReader, NonAsciiTextSurvivesBothEncodings) {
    for (Form form : {Form::Utf16, Form::Utf8}) {
        TextMenu m("[Menus]\nMenu1=Grüße 日本 🎵\n", form);
        EXPECT_EQ(m.get("Menus", "Menu1"), "Grüße 日本 🎵");
    }
}

// Without a mark, UTF-16LE is told by the zero bytes of the whole file: a
// first line of characters beyond U+00FF alone has none for a long way (Ж),
// or only where UTF-16BE has them (一).
TEST(IniReader, Utf16WithoutMarkIsToldByTheWholeFile) {
    for (const char* character : {"Ж", "一"}) {
        std::string comment;
        for (int i = 0; i < 300; ++i)
            comment += character;
        TextMenu m(comment + "\r\n[Menus]\r\nMenu1=Меню\r\n");
        EXPECT_EQ(m.get("Menus", "Menu1"), "Меню") << character;
    }
}

TEST(IniReader, InvalidUtf8BytesAreKeptOneCharacterEach) {
    TextMenu m("[Menus]\nMenu1=caf\xE9!\n", Form::Utf8);
    EXPECT_EQ(m.get("Menus", "Menu1"), "café!");
}

TEST(IniReader, SectionHeadersMatchBySubstring) {
    TextMenu m(
        "Menu1=before any header\n"
        "[My Menus]\nMenu1=mine\n"
        "[menus]\nMenu2=lower case\n"
        "[Menus2\nMenu3=no closing bracket\n"
        " [Menus]\nMenu4=blank before bracket is no header\n");
    EXPECT_EQ(m.get("Menus", "Menu1"), "mine");
    EXPECT_EQ(m.get("Menus", "Menu2"), "");
    EXPECT_EQ(m.get("Menus", "Menu3"), "no closing bracket");
    // The line " [Menus]" is an ordinary line of section "Menus2".
    EXPECT_EQ(m.get("Menus", "Menu4"), "blank before bracket is no header");
}

TEST(IniReader, EveryHeaderDecidesAnewAndTheFirstMatchWins) {
    TextMenu m(
        "[Menus]\nMenu1=first\n"
        "[Other]\nMenu2=other section\n"
        "[Menus again]\nMenu1=second\nMenu2=found later\n");
    EXPECT_EQ(m.get("Menus", "Menu1"), "first");
    EXPECT_EQ(m.get("Menus", "Menu2"), "found later");
    EXPECT_EQ(m.get("Other", "Menu2"), "other section");
}

TEST(IniReader, FirstMatchingLineDecidesEvenWhenItsValueIsEmpty) {
    TextMenu m("[Menus]\nMenu1=\nMenu1=later\nMenu2==\r\n");
    EXPECT_EQ(m.get("Menus", "Menu1", "def"), "def");
    EXPECT_EQ(m.get("Menus", "Menu2", "def"), "def");
}

TEST(IniReader, KeyIncludesItsEqualsSign) {
    TextMenu m("[Menus]\nMenu10=ten\nMenu1 =blank\n Menu2=indented\nMenu1=one\n");
    EXPECT_EQ(m.get("Menus", "Menu1"), "one");
    EXPECT_EQ(m.get("Menus", "Menu10"), "ten");
    EXPECT_EQ(m.get("Menus", "Menu2"), "");
    EXPECT_EQ(m.get("Menus", "menu1"), "");
}

TEST(IniReader, ValueStopsAtEqualsAndLineEnd) {
    TextMenu m("[S]\nA=a=b\nB===b\nC= padded\t \r\nD=x\r\ny\n");
    EXPECT_EQ(m.get("S", "A"), "a");
    EXPECT_EQ(m.get("S", "B"), "b");
    EXPECT_EQ(m.get("S", "C"), " padded\t ");
    EXPECT_EQ(m.get("S", "D"), "x");
}

TEST(IniReader, LastLineWithoutLineFeedIsRead) {
    TextMenu m("[Menus]\r\nMenu1=last");
    EXPECT_EQ(m.get("Menus", "Menu1"), "last");
}

TEST(IniReader, LongLinesArriveInPiecesOf254) {
    const std::string filler(254 - 6, 'x');  // "Menu1=" + filler fills one piece
    TextMenu m("[Menus]\nMenu1=" + filler + "Menu2=from the continuation\n" + "Menu3=" + filler +
               "[Actions]\nAction1=run\n");
    EXPECT_EQ(m.get("Menus", "Menu1"), filler);
    EXPECT_TRUE(m.reader.valueCut());  // its line goes on ("Menu2") in the next piece
    EXPECT_EQ(m.get("Menus", "Menu2"), "from the continuation");
    // A continuation that begins with "[" is a header.
    EXPECT_EQ(m.get("Actions", "Action1"), "run");
    EXPECT_FALSE(m.reader.valueCut());
    // A value that fills its piece and goes on is known to be cut, unless
    // the line ends right after it.
    TextMenu cut("[A]\nk=" + std::string(252, 'v') + "more\nj=" + std::string(252, 'w') + "\r\n");
    EXPECT_EQ(cut.get("A", "k"), std::string(252, 'v'));
    EXPECT_TRUE(cut.reader.valueCut());
    EXPECT_EQ(cut.get("A", "j"), std::string(252, 'w'));
    EXPECT_FALSE(cut.reader.valueCut());
}

TEST(IniReader, LookupsMayComeInAnyOrder) {
    TextMenu m(kSample);
    EXPECT_EQ(m.get("Actions", "Action2"), "\\Windows\\pword.exe|-new");
    EXPECT_EQ(m.get("Menus", "Menu1"), "Mail");
    EXPECT_EQ(m.get("Actions", "Action2"), "\\Windows\\pword.exe|-new");
}

TEST(IniReader, ClosedOrMissingReaderGivesTheDefault) {
    IniReader missing;
    EXPECT_FALSE(missing.open(u"\\no\\such\\dir\\Vantrelo.ini"));
    EXPECT_EQ(ce::utf8(missing.getValue(u"Menus", u"Menu1", u"dflt")), "dflt");

    TextMenu m(kSample);
    m.reader.close();
    EXPECT_EQ(m.get("Menus", "Menu1", "closed"), "closed");
}

TEST(IniReader, OverlongKeyOrDefaultNeverOverflows) {
    TextMenu m("[S]\n" + std::string(250, 'k') + "=v\n");
    EXPECT_EQ(m.get("S", std::string(250, 'k')), "v");
    EXPECT_EQ(m.get("S", std::string(255, 'k'), "d"), "d");
    EXPECT_EQ(m.get("S", "missing", std::string(600, 'd')), "");
}

TEST(IniReader, EmptyFileAndOddByteCount) {
    TextMenu empty("", Form::Utf8);
    EXPECT_EQ(empty.get("Menus", "Menu1", "d"), "d");
    TextMenu odd(encode("[Menus]\nMenu1=A", Form::Utf16) + "\x41", Form::Utf8);
    EXPECT_EQ(odd.get("Menus", "Menu1"), "A");
}

// The file is read whole when the reader opens it (in several reads when it
// is long): later lookups see it as it was then, even once it has changed
// or is gone.
TEST(IniReader, ReadsTheFileOnceWhenOpened) {
    const std::string comments(3 * 4096, ';');
    const std::string hostPath =
        tempFile(encode("[Menus]\n" + comments + "\nMenu1=first\n", Form::Utf16Bom));
    IniReader reader;
    ASSERT_TRUE(reader.open(devicePath(hostPath).c_str()));
    FILE* f = std::fopen(hostPath.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    const std::string second = encode("[Menus]\nMenu1=second\n", Form::Utf16Bom);
    std::fwrite(second.data(), 1, second.size(), f);
    std::fclose(f);
    EXPECT_EQ(ce::utf8(reader.getValue(u"Menus", u"Menu1", u"")), "first");
    std::remove(hostPath.c_str());
    EXPECT_EQ(ce::utf8(reader.getValue(u"Menus", u"Menu1", u"")), "first");
}

// A menu file is read whole, up to a size no menu reaches: one larger is
// refused, and every lookup gives its default.  So is one in UTF-16
// big-endian, which no lookup could match: refused with a word.
TEST(IniReader, AFileLargerThanAnyMenuOrInUtf16BigEndianIsRefused) {
    const std::string menu = "[Menus]\nMenu1=first\n";
    std::string largest = menu;
    largest.resize(vantrelo::kMaxMenuFileBytes, ';');
    const struct {
        std::string bytes;
        const char* refusal;  // nullptr: read
    } rows[] = {
        {largest, nullptr},
        {largest + ";", "is larger than 1 MB"},
        {encode(menu, Form::Utf16BeBom), "is UTF-16 big-endian"},
        {encode(menu, Form::Utf16Be), "is UTF-16 big-endian"},
        {encode(menu, Form::Utf16), nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.bytes.size());
        const std::string hostPath = tempFile(row.bytes);
        IniReader reader;
        const bool read = row.refusal == nullptr;
        testing::internal::CaptureStderr();
        EXPECT_EQ(reader.open(devicePath(hostPath).c_str()), read);
        const std::string said = testing::internal::GetCapturedStderr();
        // The file by its name, not by the launcher's own form of its path.
        const std::string name = hostPath.substr(hostPath.rfind('/') + 1);
        if (read)
            EXPECT_EQ(said, "");
        else
            EXPECT_NE(said.find("the menu file " + name + " beside the program " + row.refusal),
                      std::string::npos)
                << said;
        EXPECT_EQ(ce::utf8(reader.getValue(u"Menus", u"Menu1", u"none")), read ? "first" : "none");
        std::remove(hostPath.c_str());
    }
}

// A file of someone else's, UTF-16LE with a mark and an empty first line,
// opened by path as the launcher opens its menu file.
TEST(IniReader, ReadsRealUtf16File) {
    const std::string host =
        std::string(INI_CORPUS_DIR) + "/favorites_root_desktop_utf16le-bom.ini";
    IniReader reader;
    ASSERT_TRUE(reader.open(devicePath(host).c_str())) << host;
    auto get = [&](const char* section, const char* key) {
        return ce::utf8(reader.getValue(ce::u16(section).c_str(), ce::u16(key).c_str(), u""));
    };
    EXPECT_EQ(get(".ShellClassInfo", "LocalizedResourceName"), "Favorites");
    EXPECT_EQ(get("ShellClass", "IconResource"), "C:\\Windows\\system32\\SHELL32.dll,43");
    EXPECT_EQ(get(".ShellClassInfo", "IconFile"), "%SystemRoot%\\system32\\shell32.dll");
    EXPECT_EQ(get(".ShellClassInfo", "IconIndex"), "-173");
    EXPECT_EQ(get(".shellclassinfo", "IconIndex"), "");
}

}  // namespace
