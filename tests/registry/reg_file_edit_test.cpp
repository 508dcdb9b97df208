// Editing registry exports: a change touches only the lines of the value it
// sets, and writes them as an export writes them.
#include <gtest/gtest.h>

#include "platform/posix/registry/reg_file.h"
#include "platform/posix/registry/reg_file_tool.h"
#include "platform/wstr.h"
#include "tests/registry/reg_test_util.h"

using ce::posix::RegFile;
using ce::posix::regFileParse;
using ce::posix::regFileSerialize;
using regtest::dwordBytes;
using regtest::readCorpus;
using regtest::replaceOnce;
using regtest::setValue;
using regtest::szBytes;
using regtest::utf16le;
using regtest::valueOf;

namespace {

const std::string kFolders =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MyComputer\\"
    "NameSpace\\";
const std::string kSideShow =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\SideShow\\Gadgets\\"
    "{00BA1AD8-5381-449b-9A13-551FA4ADE0F2}";
const std::string kWix = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Galos\\WixSharp\\Test";

// Sets a value and compares the whole file with the expectation.
void expectEdit(const std::string& original, const std::string& key, const std::string& name,
                uint32_t type, const std::vector<uint8_t>& data, const std::string& expected) {
    RegFile f = regFileParse(original);
    ASSERT_TRUE(setValue(&f, key, name, type, data));
    EXPECT_EQ(regtest::fileText(regFileSerialize(f)), regtest::fileText(expected));
    EXPECT_EQ(regFileSerialize(f), expected);
    // What was written reads back, also after a fresh parse.
    EXPECT_EQ(valueOf(regFileParse(regFileSerialize(f)), key, name).bytes, data);
    EXPECT_EQ(valueOf(regFileParse(regFileSerialize(f)), key, name).type, type);
}

TEST(RegFileEdit, ReplacesOnlyTheValuesLine) {
    std::string kf = readCorpus("mswcs_knownfolders_kfdef.reg");
    const std::string key =
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\explorer\\"
        "FolderDescriptions\\{9577B273-21CD-4bb5-88FB-3781C577543F}";
    expectEdit(kf, key, "ICON", 1, szBytes("C:\\x \"y\".dll"),
               replaceOnce(kf, "\"Icon\"=\"%windir%\\system32\\shell32.dll,-267\"\n",
                           "\"Icon\"=\"C:\\\\x \\\"y\\\".dll\"\n"));

    // Blanks around "=" go with the replaced line; the other lines keep theirs.
    std::string perf = readCorpus("mswcs_perf_Perfgen.Reg");
    expectEdit(perf,
               "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\"
               "PerfGen",
               "TypesSupported", 4, dwordBytes(0x1e),
               replaceOnce(perf, "\"TypesSupported\" = dword:00000007\n",
                           "\"TypesSupported\"=dword:0000001e\n"));
}

TEST(RegFileEdit, ReplacesAllContinuationLinesOfAValue) {
    std::string side = readCorpus("mswcs_sideshow_Pictures.reg");
    size_t from = side.find("\"FriendlyName\"");
    size_t to = side.find("\"Icon\"");
    std::string expected =
        side.substr(0, from) + "\"FriendlyName\"=\"Pictures\"\n" + side.substr(to);
    expectEdit(side, kSideShow, "FriendlyName", 1, szBytes("Pictures"), expected);

    std::string wix = readCorpus("wixsharp_MyProduct_utf16le.reg");
    expectEdit(
        wix, kWix, "mstringval", 4, dwordBytes(2),
        replaceOnce(wix,
                    utf16le("\"mstringval\"=hex(7):6f,00,6e,00,65,00,00,00,74,00,77,00,6f,"
                            "00,00,00,74,00,68,\\\r\n  00,72,00,65,00,65,00,00,00,00,00\r\n"),
                    utf16le("\"mstringval\"=dword:00000002\r\n")));
}

TEST(RegFileEdit, RewritingAValueWithItsOwnDataChangesNothing) {
    // The writer breaks hex lines exactly where exports do: a value set to
    // other data and then back to its own gives its lines as they were.
    struct Case {
        std::string file, key;
    } cases[] = {
        {"mswcs_sideshow_Pictures.reg", kSideShow},
        {"wixsharp_MyProduct_utf16le.reg", kWix},
        {"mswcs_functiondiscovery_Install.reg",
         "HKEY_CLASSES_ROOT\\AppID\\{71F70024-0C44-4a05-A918-651F41EF8548}"},
        {"mswcs_wirelessdiag_L2SecExt.reg",
         "HKEY_CLASSES_ROOT\\AppID\\{00102030-4050-6070-8090-A0B0C0D0E0F0}"},
    };
    for (const Case& c : cases) {
        std::string bytes = readCorpus(c.file);
        RegFile f = regFileParse(bytes);
        std::vector<std::u16string> names = ce::posix::regFileValueNames(f, ce::u16(c.key));
        EXPECT_FALSE(names.empty()) << c.file;
        for (const std::u16string& name : names) {
            ce::posix::RegValueData v = valueOf(f, c.key, ce::utf8(name));
            ASSERT_TRUE(setValue(&f, c.key, ce::utf8(name), 4, dwordBytes(7)));
            ASSERT_TRUE(setValue(&f, c.key, ce::utf8(name), v.type, v.bytes));
        }
        EXPECT_EQ(regtest::fileText(regFileSerialize(f)), regtest::fileText(bytes)) << c.file;
    }
    // A value that holds the data already keeps its lines and the file its
    // revision, whatever form the lines give the data in: UTF-8 in a file
    // of 8-bit lines, UTF-8 hex text in a REGEDIT4 file, a short dword.
    const std::string v5 = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\T]\n";
    const struct {
        std::string file;
        uint32_t type;
        std::vector<uint8_t> data;
    } same[] = {
        {v5 + "\"o\"=\"caf\xE9\"\n\"v\"=\"caf\xC3\xA9\"\n", 1, szBytes("caf\xC3\xA9")},
        {"REGEDIT4\n\n[HKEY_CURRENT_USER\\T]\n\"v\"=hex(2):c3,a9,00\n", 2, szBytes("\xC3\xA9")},
        {v5 + "\"v\"=dword:7\n", 4, dwordBytes(7)},
    };
    for (const auto& c : same) {
        RegFile f = regFileParse(c.file);
        ASSERT_TRUE(setValue(&f, "HKEY_CURRENT_USER\\T", "v", c.type, c.data));
        EXPECT_EQ(regFileSerialize(f), c.file);
        EXPECT_EQ(ce::posix::regFileRevision(f), 0u);
    }
}

TEST(RegFileEdit, NewValueGoesAtTheEndOfItsKeysLastBlock) {
    std::string wix = readCorpus("wixsharp_MyProduct_utf16le.reg");
    std::string expand = "\"expandableval\"=hex(2):25,00,50,00,41,00,54,00,48,00,25,00,00,00\r\n";
    expectEdit(wix, kWix, "New", 1, szBytes("v\xC3\xA9"),
               replaceOnce(wix, utf16le(expand), utf16le(expand + "\"New\"=\"v\xC3\xA9\"\r\n")));

    // The key's header appears twice: the new value joins the second block,
    // before the blank line and the next section's comment.
    std::string folders = readCorpus("win11debloat_add-all-folders-under-this-pc_utf16le.reg");
    std::string desktop = kFolders + "{B4BFCC3A-DB2C-424C-B029-7FE99A87C641}";
    std::string hidden = "\"HiddenByDefault\"=dword:00000000\r\n\r\n; Documents";
    expectEdit(folders, desktop, "HideIfEnabled", 4, dwordBytes(1),
               replaceOnce(folders, utf16le(hidden),
                           utf16le("\"HiddenByDefault\"=dword:00000000\r\n"
                                   "\"HideIfEnabled\"=dword:00000001\r\n\r\n; Documents")));
    // The value in the second block is replaced where it stands.
    expectEdit(folders, desktop, "hiddenbydefault", 4, dwordBytes(1),
               replaceOnce(folders, utf16le(hidden),
                           utf16le("\"HiddenByDefault\"=dword:00000001\r\n\r\n; Documents")));
    // Values whose closing backslash promised a line that never came: a
    // line after them would be taken for it, so the new one goes before.
    const std::string head = "REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"a\"=dword:1\n";
    const std::string cut = "\"b\"=hex:01,\\\n\"c\"=hex:02,\\\n\n";
    expectEdit(head + cut, "HKEY_CURRENT_USER\\K", "d", 4, dwordBytes(2),
               head + "\"d\"=dword:00000002\n" + cut);
}

TEST(RegFileEdit, KeepsAMissingFinalLineEnd) {
    std::string edge = readCorpus("debloat10_disable-edge-prelaunch.reg");
    expectEdit(edge,
               "HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Microsoft\\MicrosoftEdge\\TabPreloader",
               "Extra", 4, dwordBytes(3), edge + "\n\"Extra\"=dword:00000003");
    expectEdit(edge, "HKEY_LOCAL_MACHINE\\SOFTWARE\\New", "", 1, szBytes("d"),
               edge + "\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\New]\n@=\"d\"");
    // A value that is the last line keeps having no line end.
    std::string defender = readCorpus("debloat10_disable-defender_utf16le.reg");
    expectEdit(defender,
               "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Policies\\Microsoft\\Windows Defender\\"
               "Real-Time Protection",
               "DisableRealtimeMonitoring", 4, dwordBytes(0),
               defender.substr(0, defender.size() - utf16le("dword:00000001").size()) +
                   utf16le("dword:00000000"));
}

TEST(RegFileEdit, NewKeyGoesBeforeTheDosEndOfFileByte) {
    std::string app = readCorpus("mswcs_perf_AppMem.Reg");
    ASSERT_EQ(app.back(), '\x1A');
    expectEdit(app, "hkey_local_machine\\SYSTEM\\CurrentControlSet\\Services\\AppMem\\New", "n", 11,
               {1, 2, 3, 4, 5, 6, 7, 8},
               app.substr(0, app.size() - 1) +
                   "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\AppMem\\New]\n"
                   "\"n\"=hex(b):01,02,03,04,05,06,07,08\n\x1A");

    // The byte may follow the last line's text directly, in either encoding.
    const std::string key = "HKEY_CURRENT_USER\\Software\\QORV";
    const std::string head = "REGEDIT4\r\n\r\n[" + key + "]\r\n\"A\"=dword:00000007";
    EXPECT_EQ(valueOf(regFileParse(head + "\x1A"), key, "A").bytes, dwordBytes(7));
    expectEdit(head + "\x1A", key, "B", 4, dwordBytes(2), head + "\r\n\"B\"=dword:00000002\x1A");
    std::string wide = "\xFF\xFE" + utf16le(head);
    expectEdit(wide + utf16le("\x1A"), key, "B", 4, dwordBytes(2),
               wide + utf16le("\r\n\"B\"=dword:00000002\x1A"));
}

TEST(RegFileEdit, KeyDeletedInTheFileGetsANewHeader) {
    std::string remove = readCorpus("debloat10_remove-run-with-powershell-as-admin.reg");
    const std::string key = "HKEY_CLASSES_ROOT\\Microsoft.PowerShellScript.1\\Shell\\RunAs";
    RegFile f = regFileParse(remove);
    EXPECT_FALSE(ce::posix::regFileKeyExists(f, ce::u16(key)));
    bool created = false;
    ASSERT_TRUE(ce::posix::regFileCreateKey(&f, ce::u16(key + "\\Command"), &created));
    EXPECT_TRUE(created);
    EXPECT_EQ(regFileSerialize(f), remove + "\r\n\r\n[" + key + "\\Command]");
    EXPECT_TRUE(ce::posix::regFileKeyExists(f, ce::u16(key)));
    // Creating it again changes nothing.
    ASSERT_TRUE(ce::posix::regFileCreateKey(&f, ce::u16(key + "\\COMMAND"), &created));
    EXPECT_FALSE(created);

    // A value whose key was deleted after it was set starts a new block.
    std::string text =
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"a\"=\"1\"\n\n[-HKEY_CURRENT_USER\\K]\n";
    expectEdit(text, "HKEY_CURRENT_USER\\K", "a", 1, szBytes("2"),
               text + "\n[HKEY_CURRENT_USER\\K]\n\"a\"=\"2\"\n");
}

TEST(RegFileEdit, NewKeysKeepTheCaseOfTheirExistingParents) {
    std::string text =
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\QORV\\Page1]\n";
    RegFile f = regFileParse(text);
    ASSERT_TRUE(
        ce::posix::regFileCreateKey(&f, u"HKEY_CURRENT_USER\\SOFTWARE\\qorv\\Sub", nullptr));
    EXPECT_EQ(regFileSerialize(f), text + "\n[HKEY_CURRENT_USER\\Software\\QORV\\Sub]\n");
    ASSERT_TRUE(
        setValue(&f, "hkey_current_user\\software\\QORV\\SUB", "ErrorNumber", 4, dwordBytes(0)));
    ASSERT_TRUE(
        setValue(&f, "HKEY_CURRENT_USER\\SOFTWARE\\QORV\\Sub", "errornumber", 4, dwordBytes(5)));
    EXPECT_EQ(
        regFileSerialize(f),
        text + "\n[HKEY_CURRENT_USER\\Software\\QORV\\Sub]\n\"ErrorNumber\"=dword:00000005\n");
}

// A new header spells the parts that exist as the first header since
// their last deletion spells them; a key that exists through a subkey's
// header needs no header of its own.  Headers are told apart by their
// first two parts, so the cases vary those: the root alone, a deletion
// between, characters beyond ASCII, doubled separators.
TEST(RegFileEdit, NewHeadersSpellWhatExistsAsTheFileDoes) {
    struct Case {
        const char* headers;  // the file's key lines after "REGEDIT4", UTF-8
        const char* key;      // created
        const char* header;   // the header it gets, or "" when it exists already
    };
    const Case cases[] = {
        {"[hkey_current_user\\Other]", "HKEY_CURRENT_USER\\New\\K", "[hkey_current_user\\New\\K]"},
        {"[HKEY_CURRENT_USER\\Software\\A]\n[-HKEY_CURRENT_USER\\SOFTWARE]\n"
         "[HKEY_CURRENT_USER\\software\\B]",
         "HKEY_CURRENT_USER\\SOFTWARE\\C", "[HKEY_CURRENT_USER\\software\\C]"},
        {"[HKEY_CURRENT_USER\\Software\\A]\n[-HKEY_CURRENT_USER\\SOFTWARE]\n[HKCU_x\\Y]",
         "HKEY_CURRENT_USER\\SOFTWARE\\C", "[HKEY_CURRENT_USER\\SOFTWARE\\C]"},
        {"[HKEY_CURRENT_USER\\\xC3\x84rger\\X]", "HKEY_CURRENT_USER\\\xC3\xA4RGER\\Y",
         "[HKEY_CURRENT_USER\\\xC3\x84rger\\Y]"},
        {"[HKEY_CURRENT_USER\\\\Software\\\\X]", "hkey_current_user\\software\\Y",
         "[HKEY_CURRENT_USER\\Software\\Y]"},
        {"[HKEY_CURRENT_USER\\\\Software\\\\Deep\\Er]", "HKEY_CURRENT_USER\\software\\DEEP", ""},
        {"[HKEY_CURRENT_USER\\\xC3\x84\\Deep\\Er]", "HKEY_CURRENT_USER\\\xC3\xA4\\deep", ""},
        {"[HKEY_CURRENT_USER\\A\\B]", "HKEY_CURRENT_USER", ""},
        {"[HKEY_LOCAL_MACHINE\\A]\n[hkey_current_user\\B]", "HKEY_CURRENT_USER\\A\\C",
         "[hkey_current_user\\A\\C]"},
        {"[HKEY_LOCAL_MACHINE\\A]", "HKEY_CURRENT_USER", "[HKEY_CURRENT_USER]"},
        {"[HKEY_CURRENT_USER\\A\\B]\n[-HKEY_CURRENT_USER\\A]", "HKEY_CURRENT_USER\\A",
         "[HKEY_CURRENT_USER\\A]"},
        {"[hkey_current_user\\software\\X]\n[HKEY_CURRENT_USER\\SOFTWARE\\B]",
         "HKEY_CURRENT_USER\\Software\\b\\C", "[hkey_current_user\\software\\B\\C]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.headers);
        std::string text = std::string("REGEDIT4\n\n") + c.headers + "\n";
        RegFile f = regFileParse(text);
        bool created = false;
        ASSERT_TRUE(ce::posix::regFileCreateKey(&f, ce::u16(c.key), &created));
        std::string header = c.header;
        EXPECT_EQ(created, !header.empty());
        EXPECT_EQ(regFileSerialize(f), header.empty() ? text : text + "\n" + header + "\n");
    }
}

// A walk made before a key was added knows the key's header afterwards.
TEST(RegFileEdit, AKeyAddedAfterAWalkMakesTheKeysAboveItExist) {
    RegFile f = regFileParse("REGEDIT4\n\n[HKEY_CURRENT_USER\\X]\n");
    EXPECT_FALSE(ce::posix::regFileKeyExists(f, u"HKEY_CURRENT_USER\\New"));
    ASSERT_TRUE(ce::posix::regFileCreateKey(&f, u"HKEY_CURRENT_USER\\New\\Sub", nullptr));
    EXPECT_TRUE(ce::posix::regFileKeyExists(f, u"HKEY_CURRENT_USER\\new"));
    EXPECT_TRUE(ce::posix::regFileKeyExists(f, u"HKEY_CURRENT_USER"));
}

TEST(RegFileEdit, DataThatIsNoPlainTextIsWrittenAsHex) {
    RegFile f = ce::posix::regFileNew();
    const std::string key = "HKEY_CURRENT_USER\\T";
    std::vector<uint8_t> inner = szBytes("a");
    inner.insert(inner.end(), {'b', 0, 0, 0});  // a NUL inside
    ASSERT_TRUE(setValue(&f, key, "inner", 1, inner));
    ASSERT_TRUE(setValue(&f, key, "lines", 1, szBytes("one\r\ntwo")));
    ASSERT_TRUE(setValue(&f, key, "odd", 1, {'x', 0, 0}));
    ASSERT_TRUE(setValue(&f, key, "short", 4, {1, 2}));
    ASSERT_TRUE(setValue(&f, key, "none", 0, {}));
    ASSERT_TRUE(setValue(&f, key, "expand", 2, szBytes("%x%")));
    std::vector<uint8_t> blob(40);
    for (size_t i = 0; i < blob.size(); ++i)
        blob[i] = static_cast<uint8_t>(i * 7);
    ASSERT_TRUE(setValue(&f, key, "blob", 3, blob));
    EXPECT_EQ(
        regtest::fileText(regFileSerialize(f)),
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\T]\r\n"
        "\"inner\"=hex(1):61,00,00,00,62,00,00,00\r\n"
        "\"lines\"=hex(1):6f,00,6e,00,65,00,0d,00,0a,00,74,00,77,00,6f,00,00,00\r\n"
        "\"odd\"=hex(1):78,00,00\r\n"
        "\"short\"=hex(4):01,02\r\n"
        "\"none\"=hex(0):\r\n"
        "\"expand\"=hex(2):25,00,78,00,25,00,00,00\r\n"
        "\"blob\"=hex:00,07,0e,15,1c,23,2a,31,38,3f,46,4d,54,5b,62,69,70,77,7e,85,8c,93,\\\r\n"
        "  9a,a1,a8,af,b6,bd,c4,cb,d2,d9,e0,e7,ee,f5,fc,03,0a,11\r\n");
    RegFile back = regFileParse(regFileSerialize(f));
    EXPECT_EQ(valueOf(back, key, "inner").bytes, inner);
    EXPECT_EQ(valueOf(back, key, "lines").bytes, szBytes("one\r\ntwo"));
    EXPECT_EQ(valueOf(back, key, "none").type, 0u);
    EXPECT_EQ(valueOf(back, key, "blob").bytes, blob);
}

TEST(RegFileEdit, StringsTakeTheFilesEncoding) {
    // UTF-8 lines, and 8-bit ones (a line that is no UTF-8 makes the file
    // Latin-1); a REGEDIT4 file holds the text of hex(1), hex(2) and hex(7)
    // in those 8 bits too, where a version 5 file holds UTF-16LE.
    const std::string v5 = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\T]\n";
    const std::string r4 = "REGEDIT4\n\n[HKEY_CURRENT_USER\\T]\n";
    const std::string r4latin = r4 + "\"o\"=\"Ren\xE9\"\n";
    std::vector<uint8_t> lone = {0x00, 0xD8, 0, 0};
    const struct {
        std::string file;
        uint32_t type;
        std::vector<uint8_t> data;
        const char* line;  // nullptr: refused
    } cases[] = {
        {v5, 1, szBytes("\xE2\x82\xAC 5"), "\"v\"=\"\xE2\x82\xAC 5\""},
        {v5, 1, lone, "\"v\"=hex(1):00,d8,00,00"},
        {v5, 2, szBytes("\xC3\xA9"), "\"v\"=hex(2):e9,00,00,00"},
        {r4, 2, szBytes("\xC3\xA9"), "\"v\"=hex(2):e9,00"},
        {r4, 7, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}, "\"v\"=hex(7):61,00,62,00,00"},
        {r4, 1, lone, nullptr},
        {v5 + "\"o\"=\"Ren\xE9\"\n", 1, szBytes("\xC3\xA9"), "\"v\"=\"\xE9\""},
        {r4latin, 1, szBytes("Caf\xC3\xA9"), "\"v\"=\"Caf\xE9\""},
        {r4latin, 2, szBytes("\xC3\xA9"), "\"v\"=hex(2):e9,00"},
        // No Latin-1 form, or one that would read back as UTF-8: UTF-8.
        {r4latin, 1, szBytes("\xE2\x82\xAC"), "\"v\"=\"\xE2\x82\xAC\""},
        {r4latin, 1, szBytes("\xC3\x83\xC2\xA9"), "\"v\"=\"\xC3\x83\xC2\xA9\""},
        {r4latin, 2, szBytes("\xE2\x82\xAC"), "\"v\"=hex(2):e2,82,ac,00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file + (c.line != nullptr ? c.line : "(refused)"));
        if (c.line != nullptr) {
            expectEdit(c.file, "HKEY_CURRENT_USER\\T", "v", c.type, c.data, c.file + c.line + "\n");
        } else {
            RegFile f = regFileParse(c.file);
            EXPECT_FALSE(setValue(&f, "HKEY_CURRENT_USER\\T", "v", c.type, c.data));
            EXPECT_EQ(regFileSerialize(f), c.file);
        }
    }
    // A name has no hex form to fall back on.
    RegFile f = regFileParse(v5);
    std::u16string loneName = u"x";
    loneName.push_back(static_cast<char16_t>(0xD800));
    std::vector<uint8_t> one = dwordBytes(1);
    EXPECT_FALSE(
        ce::posix::regFileSetValue(&f, u"HKEY_CURRENT_USER\\T", loneName, 4, one.data(), 4));
    EXPECT_FALSE(
        ce::posix::regFileSetValue(&f, u"HKEY_CURRENT_USER\\T", u"a\nb", 4, one.data(), 4));
    EXPECT_FALSE(ce::posix::regFileSetValue(&f, u"\\\\", u"a", 4, one.data(), 4));
}

TEST(RegFileEdit, NewAndEmptyFilesLookLikeExports) {
    std::string expected = regtest::utf16File(
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\QORV]\r\n"
        "\"ErrorNumber\"=dword:00000000\r\n");
    for (RegFile f : {ce::posix::regFileNew(), regFileParse("")}) {
        ASSERT_TRUE(
            setValue(&f, "HKEY_CURRENT_USER\\SOFTWARE\\QORV", "ErrorNumber", 4, dwordBytes(0)));
        EXPECT_EQ(regFileSerialize(f), expected);
    }
    // A file of blank lines (or a byte-order mark alone) is an empty
    // registry too: its first value comes after the header line, in the
    // file's encoding and line ends, and the result reads as an export.
    const std::pair<std::string, std::string> blank[] = {
        {"\r\n",
         "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"v\"=\"x\"\r\n"},
        {"\xEF\xBB\xBF \n\n",
         "\xEF\xBB\xBFWindows Registry Editor Version 5.00\n "
         "\n\n[HKEY_CURRENT_USER\\K]\n\"v\"=\"x\"\n"},
        {"\xFF\xFE",
         regtest::utf16File("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n"
                            "\"v\"=\"x\"\r\n")},
    };
    for (const auto& [before, after] : blank) {
        RegFile f = regFileParse(before);
        ASSERT_TRUE(setValue(&f, "HKEY_CURRENT_USER\\K", "v", 1, regtest::szBytes("x")));
        EXPECT_EQ(regFileSerialize(f), after);
        ce::posix::RegExportFault fault;
        EXPECT_TRUE(ce::posix::regCheckExport(f, &fault)) << fault.what;
    }
}

}  // namespace
