// Deleting values and keys, importing an export, and reading the whole
// registry in one pass: each edit takes away exactly the lines it must and
// keeps every other byte.
#include <gtest/gtest.h>

#include <functional>

#include "platform/posix/registry/reg_file.h"
#include "platform/posix/registry/reg_file_tool.h"
#include "platform/wstr.h"
#include "tests/registry/reg_test_util.h"

namespace {

using ce::posix::RegFile;

const std::string kHead = "Windows Registry Editor Version 5.00\n\n";

struct Edit {
    const char* what;
    std::string before;
    std::function<bool(RegFile*)> edit;
    bool changed;
    std::string after;
};

bool deleteValue(RegFile* f, const std::string& key, const std::string& name) {
    return ce::posix::regFileDeleteValue(f, ce::u16(key), ce::u16(name));
}

bool deleteKey(RegFile* f, const std::string& key) {
    return ce::posix::regFileDeleteKey(f, ce::u16(key));
}

bool import(RegFile* f, const std::string& source) {
    size_t revision = ce::posix::regFileRevision(*f);
    return ce::posix::regFileImport(f, ce::posix::regFileParse(source)) &&
           ce::posix::regFileRevision(*f) != revision;
}

TEST(RegFileTree, EditsRemoveExactlyTheirLines) {
    const std::string twoBlocks = kHead +
                                  "[HKEY_LOCAL_MACHINE\\A]\n\"x\"=\"1\"\n\"y\"=\"2\"\n\n"
                                  "[hkey_local_machine\\a]\n\"X\"=\"3\"\n";
    const std::string tree = kHead +
                             "[HKEY_LOCAL_MACHINE\\A]\n\"x\"=\"1\"\n\n"
                             "[HKEY_LOCAL_MACHINE\\A\\B]\n\"y\"=hex:01,\\\n  02\n; about C\n"
                             "[HKEY_LOCAL_MACHINE\\C]\n\"z\"=\"2\"\n\n"
                             "[HKEY_LOCAL_MACHINE\\AB]\n\"w\"=\"3\"";
    const Edit edits[] = {
        {"a value and the earlier line that would show through", twoBlocks,
         [](RegFile* f) { return deleteValue(f, "HKEY_LOCAL_MACHINE\\A", "x"); }, true,
         kHead + "[HKEY_LOCAL_MACHINE\\A]\n\"y\"=\"2\"\n\n[hkey_local_machine\\a]\n"},
        {"a continued value with its continuation", tree,
         [](RegFile* f) { return deleteValue(f, "HKEY_LOCAL_MACHINE\\A\\B", "Y"); }, true,
         kHead + "[HKEY_LOCAL_MACHINE\\A]\n\"x\"=\"1\"\n\n[HKEY_LOCAL_MACHINE\\A\\B]\n"
                 "; about C\n[HKEY_LOCAL_MACHINE\\C]\n\"z\"=\"2\"\n\n"
                 "[HKEY_LOCAL_MACHINE\\AB]\n\"w\"=\"3\""},
        {"a value after one whose continuation is missing: its line end stays, so that the "
         "orphan continuation after it does not join the value before",
         kHead + "[HKEY_LOCAL_MACHINE\\A]\n\"h\"=hex:01,\\\n\"x\"=\"1\"\n  02\n",
         [](RegFile* f) { return deleteValue(f, "HKEY_LOCAL_MACHINE\\A", "x"); }, true,
         kHead + "[HKEY_LOCAL_MACHINE\\A]\n\"h\"=hex:01,\\\n\n  02\n"},
        {"the same with a comment between, which the reader passes over as it waits",
         kHead + "[HKEY_LOCAL_MACHINE\\A]\n\"h\"=hex:01,\\\n; note\n\"x\"=\"1\"\n  02\n",
         [](RegFile* f) { return deleteValue(f, "HKEY_LOCAL_MACHINE\\A", "x"); }, true,
         kHead + "[HKEY_LOCAL_MACHINE\\A]\n\"h\"=hex:01,\\\n; note\n\n  02\n"},
        {"an import that adds a value before a cut-short one and changes that one too",
         kHead + "[HKEY_LOCAL_MACHINE\\K]\n\"c\"=hex:02,\\\n\n[HKEY_LOCAL_MACHINE\\L]\n",
         [](RegFile* f) {
             return import(f, kHead + "[HKEY_LOCAL_MACHINE\\K]\n\"c\"=dword:5\n\"d\"=dword:6\n");
         },
         true,
         kHead + "[HKEY_LOCAL_MACHINE\\K]\n\"d\"=dword:00000006\n\"c\"=dword:00000005\n\n"
                 "[HKEY_LOCAL_MACHINE\\L]\n"},
        {"a missing value", tree,
         [](RegFile* f) { return deleteValue(f, "HKEY_LOCAL_MACHINE\\C", "x"); }, false, tree},
        {"a key, its subkeys and their blank lines, not a sibling with the same start", tree,
         [](RegFile* f) { return deleteKey(f, "hkey_local_machine\\a"); }, true,
         kHead + "; about C\n[HKEY_LOCAL_MACHINE\\C]\n\"z\"=\"2\"\n\n"
                 "[HKEY_LOCAL_MACHINE\\AB]\n\"w\"=\"3\""},
        {"the last key of a file without a final line end", tree,
         [](RegFile* f) { return deleteKey(f, "HKEY_LOCAL_MACHINE\\AB"); }, true,
         kHead + "[HKEY_LOCAL_MACHINE\\A]\n\"x\"=\"1\"\n\n"
                 "[HKEY_LOCAL_MACHINE\\A\\B]\n\"y\"=hex:01,\\\n  02\n; about C\n"
                 "[HKEY_LOCAL_MACHINE\\C]\n\"z\"=\"2\"\n"},
        {"the last key of a file whose lines end in two ways: the line before keeps its own",
         kHead +
             "[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=\"1\"\r\n\r\n[HKEY_LOCAL_MACHINE\\B]\n\"y\"=\"2\"\n",
         [](RegFile* f) { return deleteKey(f, "HKEY_LOCAL_MACHINE\\B"); }, true,
         kHead + "[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=\"1\"\r\n\r\n"},
        {"the last key of a file without a final line end, after a line ending in a DOS "
         "end-of-file byte: that line keeps its line end, or it would read as a value",
         kHead + "[HKEY_LOCAL_MACHINE\\A]\n\"x\"=dword:00000001\x1A\n[HKEY_LOCAL_MACHINE\\B]",
         [](RegFile* f) { return deleteKey(f, "HKEY_LOCAL_MACHINE\\B"); }, true,
         kHead + "[HKEY_LOCAL_MACHINE\\A]\n\"x\"=dword:00000001\x1A\n"},
        {"the last key of a file without the header line: what is left stays a registry",
         "[HKEY_LOCAL_MACHINE\\A]\n\"x\"=\"1\"\n; kept\n",
         [](RegFile* f) { return deleteKey(f, "HKEY_LOCAL_MACHINE\\A"); }, true,
         "Windows Registry Editor Version 5.00\n; kept\n"},
        {"a key whose two blocks end a file without a final line end", twoBlocks + "\"z\"=\"4\"",
         [](RegFile* f) { return deleteKey(f, "HKEY_LOCAL_MACHINE\\A"); }, true,
         kHead.substr(0, kHead.size() - 1)},
        {"a key that exists only through a subkey",
         kHead + "[HKEY_CURRENT_USER\\P\\Q]\n\"q\"=\"1\"\n",
         [](RegFile* f) { return deleteKey(f, "HKEY_CURRENT_USER\\P"); }, true, kHead},
        {"a subkey that alone made its parent exist: the parent keeps a header of its own",
         kHead + "[HKEY_CURRENT_USER\\P\\Q]\n\"q\"=\"1\"\n",
         [](RegFile* f) { return deleteKey(f, "hkey_current_user\\p\\q"); }, true,
         kHead + "[HKEY_CURRENT_USER\\P]\n"},
        {"that parent, last in a file without a final line end: blank lines and ending stay",
         kHead + "[HKEY_CURRENT_USER\\S]\n\n\n[HKEY_CURRENT_USER\\P\\Q]\n\"q\"=\"1\"",
         [](RegFile* f) { return deleteKey(f, "HKEY_CURRENT_USER\\P\\Q"); }, true,
         kHead + "[HKEY_CURRENT_USER\\S]\n\n\n[HKEY_CURRENT_USER\\P]"},
        {"a subkey whose parent lives on through a sibling: no header is added",
         kHead + "[HKEY_CURRENT_USER\\P\\Q]\n\n[HKEY_CURRENT_USER\\P\\R]\n",
         [](RegFile* f) { return deleteKey(f, "HKEY_CURRENT_USER\\P\\Q"); }, true,
         kHead + "[HKEY_CURRENT_USER\\P\\R]\n"},
        {"a subkey whose sibling a later deletion took: the parent keeps a header of its own",
         kHead +
             "[HKEY_CURRENT_USER\\P\\R]\n\n[-HKEY_CURRENT_USER\\P]\n\n[HKEY_CURRENT_USER\\P\\Q]\n",
         [](RegFile* f) { return deleteKey(f, "HKEY_CURRENT_USER\\P\\Q"); }, true,
         kHead +
             "[HKEY_CURRENT_USER\\P\\R]\n\n[-HKEY_CURRENT_USER\\P]\n\n[HKEY_CURRENT_USER\\P]\n"},
        {"a missing key", tree, [](RegFile* f) { return deleteKey(f, "HKEY_LOCAL_MACHINE\\D"); },
         false, tree},
        {"an import, top to bottom", tree,
         [](RegFile* f) {
             return import(f, kHead +
                                  "\"lost\"=\"no key\"\n[-HKEY_LOCAL_MACHINE\\A\\B]\n"
                                  "[HKEY_LOCAL_MACHINE\\C]\n\"z\"=-\n\"n\"=dword:00000010\n"
                                  "[HKEY_LOCAL_MACHINE\\New]\n");
         },
         true,
         kHead + "[HKEY_LOCAL_MACHINE\\A]\n\"x\"=\"1\"\n\n; about C\n"
                 "[HKEY_LOCAL_MACHINE\\C]\n\"n\"=dword:00000010\n\n"
                 "[HKEY_LOCAL_MACHINE\\AB]\n\"w\"=\"3\"\n\n[HKEY_LOCAL_MACHINE\\New]"},
        {"an import of an empty key after its subkey gives it its header, as the export did", kHead,
         [](RegFile* f) {
             return import(f, kHead +
                                  "[HKEY_LOCAL_MACHINE\\P\\Q]\n\"x\"=\"1\"\n\n"
                                  "[HKEY_LOCAL_MACHINE\\P]\n\n[HKEY_LOCAL_MACHINE\\P\\Q\\R]\n");
         },
         true,
         kHead + "[HKEY_LOCAL_MACHINE\\P\\Q]\n\"x\"=\"1\"\n\n[HKEY_LOCAL_MACHINE\\P]\n\n"
                 "[HKEY_LOCAL_MACHINE\\P\\Q\\R]\n"},
        {"an import's value deletions, all in the one pass: a value given twice loses both lines, "
         "a last line without a line end leaves the file without one",
         twoBlocks + "\"z\"=\"4\"",
         [](RegFile* f) {
             return import(f,
                           kHead + "[HKEY_LOCAL_MACHINE\\A]\n\"x\"=-\n\"y\"=-\n\"z\"=-\n\"q\"=-\n");
         },
         true, kHead + "[HKEY_LOCAL_MACHINE\\A]\n\n[hkey_local_machine\\a]"},
        {"an import's deletions of keys, all in the one pass: a key deleted and written again "
         "goes to the end, a key the export made before its deletion leaves nothing, and a "
         "parent that only the deleted key made exist keeps a header of its own",
         kHead +
             "[HKEY_LOCAL_MACHINE\\A]\n\"x\"=\"1\"\n\n[HKEY_LOCAL_MACHINE\\P\\Q]\n\"q\"=\"1\"\n\n"
             "[HKEY_LOCAL_MACHINE\\Z]\n\"z\"=\"1\"\n",
         [](RegFile* f) {
             return import(f, kHead +
                                  "[-HKEY_LOCAL_MACHINE\\A]\n[HKEY_LOCAL_MACHINE\\A]\n\"y\"=\"2\"\n"
                                  "[HKEY_LOCAL_MACHINE\\N]\n\"n\"=\"1\"\n[-HKEY_LOCAL_MACHINE\\N]\n"
                                  "[-HKEY_LOCAL_MACHINE\\P\\Q]\n");
         },
         true,
         kHead + "[HKEY_LOCAL_MACHINE\\Z]\n\"z\"=\"1\"\n\n[HKEY_LOCAL_MACHINE\\A]\n\"y\"=\"2\"\n\n"
                 "[HKEY_LOCAL_MACHINE\\P]\n"},
        {"an import that deletes a value and writes it again gives it the export's spelling, "
         "whether its data changed or not",
         kHead + "[HKEY_LOCAL_MACHINE\\A]\n\"a\"=\"1\"\n\"b\"=\"2\"\n\"c\"=\"3\"\n",
         [](RegFile* f) {
             return import(
                 f, kHead +
                        "[HKEY_LOCAL_MACHINE\\A]\n\"a\"=-\n\"A\"=\"1\"\n\"b\"=-\n\"B\"=\"4\"\n"
                        "\"C\"=\"5\"\n");
         },
         true, kHead + "[HKEY_LOCAL_MACHINE\\A]\n\"A\"=\"1\"\n\"B\"=\"4\"\n\"c\"=\"5\"\n"},
        {"an import into a file closed by a DOS end-of-file byte: the new lines go before it",
         kHead + "[HKEY_LOCAL_MACHINE\\A]\n\"x\"=\"1\"\n\x1A",
         [](RegFile* f) {
             return import(f, kHead +
                                  "[HKEY_LOCAL_MACHINE\\A]\n\"y\"=\"2\"\n"
                                  "[HKEY_LOCAL_MACHINE\\N]\n\"n\"=\"3\"\n");
         },
         true,
         kHead + "[HKEY_LOCAL_MACHINE\\A]\n\"x\"=\"1\"\n\"y\"=\"2\"\n\n"
                 "[HKEY_LOCAL_MACHINE\\N]\n\"n\"=\"3\"\n\x1A"},
    };
    for (const Edit& e : edits) {
        RegFile f = ce::posix::regFileParse(e.before);
        EXPECT_EQ(e.edit(&f), e.changed) << e.what;
        EXPECT_EQ(ce::posix::regFileSerialize(f), e.after) << e.what;
        EXPECT_EQ(ce::posix::regFileNotAnExport(f), "") << e.what;
        // The edited model reads as the same file read afresh.
        EXPECT_EQ(ce::posix::regFileContents(f).size(),
                  ce::posix::regFileContents(ce::posix::regFileParse(e.after)).size())
            << e.what;
    }
}

// An export that this registry cannot hold (a name with a lone surrogate
// into UTF-8) is refused at its line.
TEST(RegFileTree, AnImportTheRegistryCannotHoldNamesItsLine) {
    std::string lone = regtest::utf16le(kHead + "[HKEY_LOCAL_MACHINE\\S]\n\"ok\"=\"1\"\n\"n");
    lone += std::string("\x00\xDC", 2) + regtest::utf16le("\"=\"v\"\n");
    RegFile f = ce::posix::regFileParse(kHead);
    ce::posix::RegExportFault fault;
    EXPECT_FALSE(ce::posix::regFileImport(&f, ce::posix::regFileParse("\xFF\xFE" + lone), &fault));
    EXPECT_EQ(fault.line, 5u) << fault.what;
    // Such a value in a key that a later line deletes is never written (a
    // failed import leaves its file partly changed: it is dropped).
    f = ce::posix::regFileParse(kHead);
    const std::string deleted =
        regtest::utf16le("\n[-HKEY_LOCAL_MACHINE\\S]\n[HKEY_LOCAL_MACHINE\\T]\n");
    EXPECT_TRUE(
        ce::posix::regFileImport(&f, ce::posix::regFileParse("\xFF\xFE" + lone + deleted), &fault));
    EXPECT_TRUE(ce::posix::regFileKeyExists(f, u"HKEY_LOCAL_MACHINE\\T"));
    EXPECT_FALSE(ce::posix::regFileKeyExists(f, u"HKEY_LOCAL_MACHINE\\S"));
}

TEST(RegFileTree, ContentsFollowTheImportOrder) {
    const RegFile f = ce::posix::regFileParse(
        kHead +
        "[HKEY_LOCAL_MACHINE\\A]\n\"x\"=\"1\"\n\"y\"=\"2\"\n[HKEY_LOCAL_MACHINE\\A\\Sub]\n"
        "[HKEY_LOCAL_MACHINE\\B]\n\"b\"=dword:00000002\n[hkey_local_machine\\a]\n\"x\"=-\n"
        "\"Y\"=\"3\"\n\"x\"=\"4\"\n[-HKEY_LOCAL_MACHINE\\A\\Sub]\n[HKEY_LOCAL_MACHINE\\Gone]\n"
        "[-HKEY_LOCAL_MACHINE\\Gone]\n[HKEY_LOCAL_MACHINE\\P\\Q\\R]\n\"r\"=\"5\"\n"
        "[-hkey_local_machine\\p\\q]\n");
    std::vector<std::string> seen;
    for (const ce::posix::RegKeyContents& k : ce::posix::regFileContents(f)) {
        std::string line = ce::utf8(k.path) + ":";
        for (size_t i = 0; i < k.names.size(); ++i)
            line += " " + ce::utf8(k.names[i]) + "=" + static_cast<char>(k.data[i].bytes[0]);
        seen.push_back(line);
    }
    // A deletion leaves the key above, which existed only through the keys
    // it took, as a key of its own.
    EXPECT_EQ(seen, (std::vector<std::string>{"HKEY_LOCAL_MACHINE\\A: y=3 x=4",
                                              "HKEY_LOCAL_MACHINE\\B: b=\x02",
                                              "HKEY_LOCAL_MACHINE\\P:"}));
}

// A key's values are found in its own list while it holds few, by hash once
// it holds more: both give the same latest line of a name, and a value
// deleted and set again goes last.
TEST(RegFileTree, ALargeKeyReadsAsASmallOne) {
    for (int count : {8, 20}) {
        std::string text = kHead + "[HKEY_LOCAL_MACHINE\\K]\n";
        std::string want = "v0=d v1=b";
        for (int i = 0; i < count; ++i) {
            text += "\"v" + std::to_string(i) + "\"=\"a\"\n";
            if (i > 2)
                want += " v" + std::to_string(i) + "=a";
        }
        text += "[hkey_local_machine\\k]\n\"V1\"=\"b\"\n\"v2\"=-\n\"v2\"=\"c\"\n\"V0\"=\"d\"\n";
        std::string seen;
        for (const ce::posix::RegKeyContents& k :
             ce::posix::regFileContents(ce::posix::regFileParse(text))) {
            for (size_t i = 0; i < k.names.size(); ++i)
                seen += (i > 0 ? " " : "") + ce::utf8(k.names[i]) + "=" +
                        static_cast<char>(k.data[i].bytes[0]);
        }
        EXPECT_EQ(seen, want + " v2=c") << count << " values";
    }
}

}  // namespace
