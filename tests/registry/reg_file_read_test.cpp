// Reading registry exports: every real file round-trips byte for byte, and
// values read from them are what the registry editor would import.
#include <gtest/gtest.h>

#include "platform/posix/registry/reg_file.h"
#include "platform/posix/registry/reg_file_tool.h"
#include "platform/wstr.h"
#include "tests/registry/reg_test_util.h"

using ce::posix::RegFile;
using ce::posix::regFileKeyExists;
using ce::posix::regFileParse;
using ce::posix::regFileSerialize;
using regtest::dwordBytes;
using regtest::readCorpus;
using regtest::szBytes;
using regtest::valueOf;

namespace {

std::vector<uint8_t> hexList(const std::string& list) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i < list.size(); i += 3) {
        out.push_back(static_cast<uint8_t>(std::stoul(list.substr(i, 2), nullptr, 16)));
    }
    return out;
}

bool keyExists(const RegFile& f, const std::string& key) {
    return regFileKeyExists(f, ce::u16(key));
}

TEST(RegFileRead, EveryCorpusFileWritesBackUnchanged) {
    std::vector<std::string> files = regtest::corpusFiles();
    ASSERT_GE(files.size(), 20u) << "corpus missing at " << REG_CORPUS_DIR;
    for (const std::string& name : files) {
        std::string bytes = readCorpus(name);
        RegFile f = regFileParse(bytes);
        EXPECT_EQ(regFileSerialize(f), bytes) << name;
        // Every real export passes the import's check.
        ce::posix::RegExportFault fault;
        EXPECT_TRUE(ce::posix::regCheckExport(f, &fault))
            << name << ":" << fault.line << ": " << fault.what;
    }
}

TEST(RegFileRead, Utf16ExportWithContinuedMultiString) {
    RegFile f = regFileParse(readCorpus("wixsharp_MyProduct_utf16le.reg"));
    const std::string key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Galos\\WixSharp\\Test";
    EXPECT_EQ(valueOf(f, key, "").bytes, szBytes("dfault val"));
    EXPECT_EQ(valueOf(f, key, "").type, 1u);
    EXPECT_EQ(valueOf(f, key, "binaryval").type, 3u);
    EXPECT_EQ(valueOf(f, key, "binaryval").bytes, hexList("00,03,12,31"));
    EXPECT_EQ(valueOf(f, key, "dword32").type, 4u);
    EXPECT_EQ(valueOf(f, key, "dword32").bytes, dwordBytes(0x20));
    ce::posix::RegValueData multi = valueOf(f, key, "mstringval");
    EXPECT_EQ(multi.type, 7u);
    EXPECT_EQ(multi.bytes, hexList("6f,00,6e,00,65,00,00,00,74,00,77,00,6f,00,00,00,74,00,68,00,"
                                   "72,00,65,00,65,00,00,00,00,00"));
    EXPECT_EQ(valueOf(f, key, "expandableval").type, 2u);
    EXPECT_EQ(valueOf(f, key + "\\SubKey\\SubKey", "Value1").bytes, szBytes("testval"));
    // A key whose only header is that of a key below it exists too.
    EXPECT_TRUE(keyExists(f, key + "\\SubKey"));
    EXPECT_FALSE(keyExists(f, key + "\\Other"));
    EXPECT_EQ(valueOf(f, key + "\\SubKey", "Value1").type, 0xffffffffu);
}

TEST(RegFileRead, Regedit4WithDosEndOfFileAndBlanksAroundEquals) {
    RegFile f = regFileParse(readCorpus("mswcs_perf_AppMem.Reg"));
    const std::string perf =
        "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\AppMem\\Performance";
    EXPECT_EQ(valueOf(f, perf, "Library").bytes, szBytes("appmem.dll"));
    EXPECT_EQ(valueOf(f, perf, "Close").bytes, szBytes("CloseAppMemPerformanceData"));
    const std::string log =
        "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\AppMem";
    EXPECT_EQ(valueOf(f, log, "EventMessageFile").bytes,
              szBytes("%systemroot%\\system32\\appmem.dll"));
    EXPECT_EQ(valueOf(f, log, "TypesSupported").bytes, dwordBytes(7));
    EXPECT_EQ(ce::posix::regFileLayout(f).trailerSize, 1u);
    EXPECT_EQ(ce::posix::regFileBytes(f).back(), '\x1A');

    RegFile g = regFileParse(readCorpus("mswcs_functiondiscovery_Install.reg"));
    EXPECT_EQ(valueOf(g,
                      "HKEY_CLASSES_ROOT\\CLSID\\{8C19066A-643A-4586-92B2-A785B90D766F}\\"
                      "InprocServer32",
                      "ThreadingModel")
                  .bytes,
              szBytes("Free"));
}

TEST(RegFileRead, HexDataOverContinuationLines) {
    RegFile f = regFileParse(readCorpus("mswcs_sideshow_Pictures.reg"));
    const std::string key =
        "HKEY_CURRENT_USER\\Software\\Microsoft\\SideShow\\Gadgets\\"
        "{00BA1AD8-5381-449b-9A13-551FA4ADE0F2}";
    ce::posix::RegValueData name = valueOf(f, key, "FriendlyName");
    EXPECT_EQ(name.type, 2u);
    EXPECT_EQ(name.bytes, szBytes("@%USERPROFILE%\\Desktop\\WindowsSideShowPictures\\"
                                  "WindowsSideShowPictures.exe,-1000"));
    ce::posix::RegValueData ends = valueOf(f, key, "Endpoints");
    EXPECT_EQ(ends.type, 7u);
    std::vector<uint8_t> expected = szBytes("{A9A5353F-2D4B-47ce-93EE-759F3A7DDA4F}");
    expected.push_back(0);
    expected.push_back(0);
    EXPECT_EQ(ends.bytes, expected);
    EXPECT_EQ(valueOf(f, key, "OnlineOnly").bytes, dwordBytes(1));

    RegFile g = regFileParse(readCorpus("mswcs_functiondiscovery_Install.reg"));
    ce::posix::RegValueData acl = valueOf(
        g, "HKEY_CLASSES_ROOT\\AppID\\{71F70024-0C44-4a05-A918-651F41EF8548}", "AccessPermission");
    EXPECT_EQ(acl.type, 3u);
    ASSERT_EQ(acl.bytes.size(), 164u);
    EXPECT_EQ(acl.bytes[0], 0x01);
    EXPECT_EQ(acl.bytes[2], 0x04);
    EXPECT_EQ(acl.bytes[163], 0x00);
    EXPECT_EQ(acl.bytes[161], 0x02);

    RegFile h = regFileParse(readCorpus("mswcs_wmp_debugon.reg"));
    EXPECT_EQ(valueOf(h, "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\MediaPlayer\\Preferences",
                      "ScriptDebugging")
                  .bytes,
              std::vector<uint8_t>{1});
}

TEST(RegFileRead, HexListsAsTheEditorReadsThem) {
    const uint32_t none = 0xffffffffu;  // the line is not understood
    const struct {
        std::string data;
        uint32_t type;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"hex:01,2,ff,AB", 3, {0x01, 0x02, 0xff, 0xab}},
        {"hex: 01 ,\t2 , 0a,", 3, {0x01, 0x02, 0x0a}},
        {"hex:", 3, {}},
        {"HEX(B):00", 0xb, {0x00}},
        {"hex:001", none, {}},
        {"hex:0 1", none, {}},
        {"hex:01,,02", none, {}},
        {"hex:,", none, {}},
        {"hex:0g", none, {}},
        {"hex(1g):00", none, {}},
    };
    for (const auto& c : cases) {
        RegFile f = regFileParse("REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"v\"=" + c.data + "\n");
        ce::posix::RegValueData v = valueOf(f, "HKEY_CURRENT_USER\\K", "v");
        EXPECT_EQ(v.type, c.type) << c.data;
        EXPECT_EQ(v.bytes, c.bytes) << c.data;
    }
}

// Hand-annotated exports: a comment line between continued lines is
// passed over, a blank line ends the value, and a comment after a number,
// a hex list or a deletion is a comment.
TEST(RegFileRead, CommentsInAndAfterValueData) {
    const uint32_t none = 0xffffffffu;
    const struct {
        std::string lines;
        uint32_t type;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"\"v\"=hex:01,\\\n; note\n\t;\n  02\n", 3, {0x01, 0x02}},
        {"\"v\"=hex:01,\\\n\n  02\n", 3, {0x01}},
        {"\"v\"=hex:01,\\\n; note\n\"w\"=dword:1\n", 3, {0x01}},
        {"\"v\"=dword:0000001e ; thirty\n", 4, {0x1e, 0, 0, 0}},
        {"\"v\"=hex:01,\\\n  02 ;two\n", 3, {0x01, 0x02}},
        {"\"v\"=\"a;b\"\n", 1, {'a', 0, ';', 0, 'b', 0, 0, 0}},
        {"\"v\"=dword:1\n\"v\"=-;gone\n", none, {}},
        {"\"v\"=dword:;1\n", none, {}},
    };
    for (const auto& c : cases) {
        RegFile f = regFileParse("REGEDIT4\n[HKEY_CURRENT_USER\\K]\n" + c.lines);
        ce::posix::RegValueData v = valueOf(f, "HKEY_CURRENT_USER\\K", "v");
        EXPECT_EQ(v.type, c.type) << c.lines;
        EXPECT_EQ(v.bytes, c.bytes) << c.lines;
    }
}

TEST(RegFileRead, UnescapedBackslashesStayAsWritten) {
    RegFile f = regFileParse(readCorpus("mswcs_knownfolders_kfdef.reg"));
    const std::string key =
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\explorer\\"
        "FolderDescriptions\\{9577B273-21CD-4bb5-88FB-3781C577543F}";
    EXPECT_EQ(valueOf(f, key, "Icon").bytes, szBytes("%windir%\\system32\\shell32.dll,-267"));
    // Values after comments and blank lines inside the key still belong to it.
    EXPECT_EQ(valueOf(f, key, "Category").bytes, dwordBytes(4));
    EXPECT_EQ(valueOf(f, key, "Roamable").bytes, dwordBytes(1));
    EXPECT_EQ(valueOf(f, key, "Name").bytes, szBytes("Microsoft.SDKSample.Recipes"));

    RegFile g = regFileParse(readCorpus("debloat10_add-run-with-powershell-as-admin.reg"));
    EXPECT_EQ(
        valueOf(g, "HKEY_CLASSES_ROOT\\Microsoft.PowerShellScript.1\\Shell\\RunAs\\Command", "")
            .bytes,
        szBytes("\"C:\\Windows\\System32\\WindowsPowerShell\\v1.0\\powershell.exe\" \"%1\""));
}

TEST(RegFileRead, NineDigitDwordAndNumbersAsStrings) {
    RegFile f = regFileParse(readCorpus("debloat10_lower-ram-usage.reg"));
    const std::string key =
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Multimedia\\"
        "SystemProfile";
    EXPECT_EQ(valueOf(f, key, "NetworkThrottlingIndex").bytes, dwordBytes(0xffffffffu));
    EXPECT_EQ(valueOf(f, "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control",
                      "WaitToKillServiceTimeout")
                  .bytes,
              szBytes("2000"));
    EXPECT_EQ(valueOf(f, key + "\\Tasks\\Audio", "Background Only").bytes, szBytes("True"));
    EXPECT_TRUE(keyExists(f, key + "\\Tasks"));
}

TEST(RegFileRead, NamesAndPathsIgnoreCaseButKeepTrailingBlanks) {
    RegFile f = regFileParse(readCorpus("win11debloat_sysprep_disable-animations_utf16le-lf.reg"));
    EXPECT_EQ(
        valueOf(f, "HKEY_USERS\\DEFAULT\\control panel\\DESKTOP", "userpreferencesmask").bytes,
        hexList("90,12,07,80,10,00,00,00"));
    EXPECT_EQ(
        valueOf(f, "hkey_users\\default\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
                "DisableAnimations")
            .bytes,
        szBytes("reg add \"HKCU\\Control Panel\\Desktop\" /v UserPreferencesMask /t "
                "REG_BINARY /d 9012078010000000 /f"));

    RegFile g = regFileParse(readCorpus("mswcs_wcs_DefaultIntentWorkaround.reg"));
    const std::string key =
        "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows "
        "NT\\CurrentVersion\\ICM\\RegisteredProfiles";
    EXPECT_EQ(valueOf(g, key, "RI  ").bytes, dwordBytes(0));
    EXPECT_EQ(valueOf(g, key, "ri").type, 0xffffffffu);
    EXPECT_EQ(ce::posix::regFileValueNames(g, ce::u16(key)), std::vector<std::u16string>{u"ri  "});
}

TEST(RegFileRead, DeletionsOfValuesAndKeys) {
    RegFile edge = regFileParse(readCorpus("win11debloat_undo_enable-edge-ads_utf16le.reg"));
    const std::string edgeKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Microsoft\\Edge";
    EXPECT_TRUE(keyExists(edge, edgeKey));
    EXPECT_TRUE(ce::posix::regFileValueNames(edge, ce::u16(edgeKey)).empty());

    // A deletion as the very last bytes of the file removes a value set
    // just before it.
    std::string metaBytes =
        readCorpus("win11debloat_undo_enable-device-auto-app-download_utf16le-lf.reg");
    std::string deletion = regtest::utf16le("\"PreventDeviceMetadataFromNetwork\"=-");
    ASSERT_EQ(metaBytes.rfind(deletion), metaBytes.size() - deletion.size());
    RegFile meta = regFileParse(
        metaBytes.substr(0, metaBytes.size() - deletion.size()) +
        regtest::utf16le("\"PreventDeviceMetadataFromNetwork\"=dword:00000001\n") + deletion);
    EXPECT_EQ(
        valueOf(meta, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Microsoft\\Windows\\Device Metadata",
                "PreventDeviceMetadataFromNetwork")
            .type,
        0xffffffffu);

    // The same header repeated: one key; a value deleted in the first block.
    RegFile folders =
        regFileParse(readCorpus("win11debloat_add-all-folders-under-this-pc_utf16le.reg"));
    const std::string desktop =
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MyComputer\\"
        "NameSpace\\{B4BFCC3A-DB2C-424C-B029-7FE99A87C641}";
    EXPECT_EQ(valueOf(folders, desktop, "HiddenByDefault").bytes, dwordBytes(0));
    EXPECT_EQ(valueOf(folders, desktop, "HideIfEnabled").type, 0xffffffffu);

    // Import the "add" file, then the "remove" file: the key and its subkeys
    // are gone, the parent stays.
    std::string add = readCorpus("debloat10_add-run-with-powershell-as-admin.reg");
    std::string remove = readCorpus("debloat10_remove-run-with-powershell-as-admin.reg");
    RegFile both = regFileParse(add + "\r\n" + remove.substr(remove.find('[')));
    const std::string shell = "HKEY_CLASSES_ROOT\\Microsoft.PowerShellScript.1\\Shell";
    EXPECT_TRUE(keyExists(both, shell));
    EXPECT_FALSE(keyExists(both, shell + "\\RunAs"));
    EXPECT_FALSE(keyExists(both, shell + "\\runas\\command"));
    EXPECT_EQ(valueOf(both, shell + "\\RunAs\\Command", "").type, 0xffffffffu);
}

TEST(RegFileRead, ImportOrderDecides) {
    RegFile f = regFileParse(
        "REGEDIT4\n\n"
        "[HKEY_CURRENT_USER\\A]\n\"v\"=\"1\"\n\"w\"=\"1\"\n\n"
        "[hkey_current_user\\a]\n\"V\"=\"2\"\n\"W\"=-\n\n"
        "[HKEY_CURRENT_USER\\B\\C]\n\"x\"=dword:1\n"
        "[-HKEY_CURRENT_USER\\B]\n"
        "\"orphan\"=\"after a deletion header\"\n"
        "[HKEY_CURRENT_USER\\B]\n"
        "[HKEY_CURRENT_USER\\D\n"
        "\"lost\"=\"after a broken header\"\n"
        "\"bad\"=dword:123456789\n"
        "not a line of an export\n"
        "[HKEY_CURRENT_USER\\E]\r\r\n\"cr\"=dword:00000001\r\r\n");
    EXPECT_EQ(valueOf(f, "HKEY_CURRENT_USER\\A", "v").bytes, szBytes("2"));
    EXPECT_EQ(valueOf(f, "HKEY_CURRENT_USER\\A", "w").type, 0xffffffffu);
    EXPECT_TRUE(keyExists(f, "HKEY_CURRENT_USER\\B"));
    EXPECT_FALSE(keyExists(f, "HKEY_CURRENT_USER\\B\\C"));
    EXPECT_TRUE(ce::posix::regFileValueNames(f, u"HKEY_CURRENT_USER\\B").empty());
    EXPECT_FALSE(keyExists(f, "HKEY_CURRENT_USER\\D"));
    EXPECT_EQ(valueOf(f, "HKEY_CURRENT_USER\\B", "lost").type, 0xffffffffu);
    EXPECT_EQ(valueOf(f, "HKEY_CURRENT_USER\\B", "bad").type, 0xffffffffu);
    // A stray carriage return before a line end is read as a blank.
    EXPECT_EQ(valueOf(f, "HKEY_CURRENT_USER\\E", "cr").bytes, dwordBytes(1));
}

TEST(RegFileRead, Utf8WithByteOrderMarkAndLatinLetters) {
    std::string bytes =
        "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_CURRENT_USER\\\xC3\x84rger]\r\n\"Gr\xC3\xB6\xC3\x9F"
        "e\"=\"gro\xC3\x9F\"\r\n";
    RegFile f = regFileParse(bytes);
    EXPECT_EQ(regFileSerialize(f), bytes);
    // Latin-1 letters compare without regard to case.
    EXPECT_EQ(valueOf(f, "HKEY_CURRENT_USER\\\xC3\xA4RGER",
                      "GR\xC3\x96\xC3\x9F"
                      "E")
                  .bytes,
              szBytes("gro\xC3\x9F"));
}

}  // namespace
