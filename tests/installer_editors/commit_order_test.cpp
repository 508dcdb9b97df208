// The order in which other processes see a run's registry writes: every
// replacement of registry.reg during a run is recorded as the file then
// was, and no state shows a value before one the run wrote earlier.  Runs
// are the installer's run routine in a forked child whose rename is
// recorded.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "installer/run.h"
#include "platform/posix/registry/reg_file.h"
#include "platform/posix/sys/sys_io.h"
#include "platform/wstr.h"
#include "tests/installer_editors/editor_device.h"
#include "tests/support/sys_faults.h"

namespace edtest {
namespace {

using cetest::TempDevice;

const char* gSnapshotDir = nullptr;
int gSnapshots = 0;
int (*gRename)(int, const char*, int, const char*) = nullptr;

bool gFailFirst = false;  // the first replacement of registry.reg fails (a full disk)

// Keeps a copy of each new registry.reg as it is renamed into place.
int recordingRename(int fromDir, const char* from, int toDir, const char* to) {
    if (std::string(to) == "registry.reg" && gFailFirst) {
        gFailFirst = false;
        errno = ENOSPC;
        return -1;
    }
    if (std::string(to) == "registry.reg") {
        std::ifstream in("/proc/self/fd/" + std::to_string(fromDir) + "/" + from, std::ios::binary);
        std::ofstream out(std::string(gSnapshotDir) + "/" + std::to_string(gSnapshots++),
                          std::ios::binary);
        out << in.rdbuf();
    }
    return gRename(fromDir, from, toDir, to);
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The states registry.reg went through during the run, in order.
std::vector<std::string> replacementsDuring(const TempDevice& dev, const std::string& line,
                                            bool failFirst) {
    TempDevice scratch;
    gSnapshotDir = scratch.dir().c_str();
    int status = cetest::runWithFault(dev.dir(), cetest::noFault(), [&] {
        gFailFirst = failFirst;
        gRename = ce::posix::sysCalls().renameat;
        ce::posix::sysCalls().renameat = recordingRename;
        auto* ctx = new qorv::RunContext;
        return qorv::runInstaller(*ctx, ce::u16(line + " -silent").c_str()) == 0 ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
    std::vector<std::string> states;
    for (int i = 0; std::filesystem::exists(scratch.dir() + "/" + std::to_string(i)); ++i)
        states.push_back(readAll(scratch.dir() + "/" + std::to_string(i)));
    return states;
}

std::string text(const ce::posix::RegFile& f, const std::u16string& key, const char16_t* name) {
    ce::posix::RegValueData v;
    if (!ce::posix::regFileGetValue(f, key, name, &v))
        return "<missing>";
    std::u16string s;
    for (size_t i = 0; i + 3 < v.bytes.size(); i += 2)
        s.push_back(static_cast<char16_t>(v.bytes[i] | (v.bytes[i + 1] << 8)));
    return ce::utf8(s);
}

const std::u16string kHome = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\CHome";
const std::u16string kQorv = kHome + u"\\QORV";
const std::u16string kQorvRecord = u"HKEY_CURRENT_USER\\SOFTWARE\\QORV";

TEST(CommitOrder, TheStarImageNeverShowsBeforeThePluginValues) {
    struct Case {
        const char* what;
        bool runRecord;  // the run record exists before the run
        bool star;       // the star image is enabled
        bool failFirst;  // the first replacement fails
        size_t replacements;
    };
    // The keys closed at the run's end go in one replacement, so a first
    // run replaces the file as often as a later one; the star image's keys
    // are closed before, each with a replacement.  Writes that a failed
    // replacement could not store go with the next one.
    const Case cases[] = {
        {"a first run", false, false, false, 1},
        {"a later run", true, false, false, 1},
        {"a run with the star image", true, true, false, 3},
        {"a full disk at the first replacement", true, true, true, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDevice dev;
        setUpDevice(dev);
        dev.writeFile(kPortrait, "<Form ID=\"home\">\r\n  <TitaniumListView ID=\"lv\">\r\n" +
                                     layers("Clock", "Clock") +
                                     "  </TitaniumListView>\r\n</Form>\r\n");
        dev.writeFile(kPlg, plgText() + block(480, 800, "Port") + "</plugin>\r\n");
        std::string reg = dev.readRegistryFile();
        if (!c.runRecord)
            reg = reg.substr(0, reg.find("\r\n[HKEY_CURRENT_USER")) + "\r\n";
        if (c.star) {
            reg +=
                "\"QORVCompleteInstalled\"=dword:00000001\r\n"
                "\"is2StarPath\"=\"\\\\star.png\"\r\n"
                "\r\n[HKEY_LOCAL_MACHINE\\" +
                kHomeKey + "\\QORV\\Page1]\r\n\"starPNG\"=\"\"\r\n";
        }
        dev.writeRegistry(reg);

        std::vector<std::string> states = replacementsDuring(dev, addLine(), c.failFirst);
        EXPECT_EQ(states.size(), c.replacements);
        for (size_t i = 0; i < states.size(); ++i) {
            SCOPED_TRACE("replacement " + std::to_string(i + 1));
            ce::posix::RegFile f = ce::posix::regFileParse(states[i]);
            bool pluginsNew = text(f, kHome, u"Plugins").find("Weather") != std::string::npos;
            bool extNew = text(f, kHome, u"ExtensibilityXML").find("Weather") != std::string::npos;
            ce::posix::RegValueData updated;
            if (ce::posix::regFileGetValue(f, kQorv, u"Updated", &updated) ||
                text(f, kQorv + u"\\Page1", u"starPNG") != "") {
                EXPECT_TRUE(pluginsNew && extNew) << states[i];
            }
        }
        ASSERT_FALSE(states.empty());
        ce::posix::RegFile last = ce::posix::regFileParse(states.back());
        EXPECT_NE(text(last, kHome, u"Plugins").find("Weather"), std::string::npos);
        EXPECT_EQ(text(last, kQorv + u"\\Page1", u"starPNG"), c.star ? "\\star.png" : "<missing>");
        EXPECT_EQ(text(last, kQorvRecord, u"ErrorDescription"), "#0 Success");
    }
}

}  // namespace
}  // namespace edtest
