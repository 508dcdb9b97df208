// One end-to-end case, read from a file in tests/cases/: how the device
// looks before a run, which program runs with which command line, and what
// the registry, the files, the message boxes and the exit status are
// afterwards.  The same case runs on the emulated posix device and on
// Windows under wine; the format is described in tests/cases/README.md.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cecase {

struct CaseFile {
    std::string devicePath;  // "\Windows\x.cpr"
    std::string bytes;       // content as the file holds it
};

// A copy of one of the programs ("qorvinstall", "Zandoval", "Vantrelo")
// placed at a device path, so that a case can launch it.
struct ProgramCopy {
    std::string devicePath;
    std::string program;
};

enum class ExpectKind { String, Dword, NoValue };

struct RegExpect {
    ExpectKind kind = ExpectKind::String;
    std::string key;  // full path: "HKEY_CURRENT_USER\SOFTWARE\QORV"
    std::string name;
    std::string text;     // String: UTF-8 text
    uint32_t number = 0;  // Dword
    int line = 0;         // in the case file, for messages
};

struct FileExpect {
    std::string devicePath;
    bool present = true;
    std::string bytes;
    int line = 0;
};

struct Case {
    std::string name;  // file name without ".case"
    std::string program;
    std::string commandLine;
    int screenWidth = 480;
    int screenHeight = 800;
    bool checkExit = false;
    int exitCode = 0;
    std::string guardWindow;  // class of a window that exists during the run
    int pick = 0;             // launcher: 1-based entry to choose, 0 for none
    int settleSeconds = 0;    // expectations may take this long to come true
    std::string registry;     // initial registry, .reg text in UTF-8
    std::vector<CaseFile> files;
    std::vector<ProgramCopy> programCopies;
    std::vector<CaseFile> menuFiles;  // devicePath holds the file name only
    std::vector<RegExpect> regExpects;
    std::vector<FileExpect> fileExpects;
    bool checkBoxes = false;
    std::vector<std::string> boxes;  // "CAPTION: text", in order
};

// Reads a case; false with a message naming the line when it is malformed.
bool parseCase(const std::string& name, const std::string& text, Case* out, std::string* error);

// Reads every *.case file of a directory, sorted by name.
bool loadCases(const std::string& dir, std::vector<Case>* out, std::string* error);

// "HKLM\..." and "HKCU\..." written out as "HKEY_LOCAL_MACHINE\...".
std::string fullKeyPath(const std::string& key);

// The key paths a case names in its expectations, each once.
std::vector<std::string> expectedKeys(const Case& c);

// UTF-16LE bytes of UTF-8 text, for menu files; with a byte-order mark when bom.
std::string utf16leBytes(const std::string& utf8, bool bom);

}  // namespace cecase
