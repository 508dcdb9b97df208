// The device tool's changes of the registry (a value set, an export
// imported) ended at every call that changes the disk, by a crash and by a
// power loss: registry.reg is always the old file or the new one whole, and
// a rerun reaches the new one and leaves nothing beside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <string>

#include "platform/posix/registry/reg_file.h"
#include "platform/posix/registry/reg_file_tool.h"
#include "platform/posix/registry/registry_store.h"
#include "tests/registry/reg_test_util.h"
#include "tests/support/device_fixture.h"
#include "tests/support/sys_faults.h"

namespace {

using cetest::Effect;
using cetest::Fault;
using cetest::Kind;

const std::string kStart =
    "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n\"v\"=\"old\"\r\n";
const std::string kExport =
    "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n"
    "\"v\"=\"new\"\r\n\r\n[HKEY_USERS\\B]\r\n\"w\"=dword:00000002\r\n";

bool setChange(ce::posix::RegFile* file, const void*) {
    std::vector<uint8_t> data = regtest::szBytes("new");
    return ce::posix::regFileSetValue(file, u"HKEY_CURRENT_USER\\A", u"v", 1, data.data(),
                                      data.size());
}

bool importChange(ce::posix::RegFile* file, const void*) {
    return ce::posix::regFileImport(file, ce::posix::regFileParse(kExport));
}

TEST(RegistryCrashPoints, ASetAndAnImportLeaveTheOldFileOrTheNew) {
    for (ce::posix::RegistryChange change : {setChange, importChange}) {
        auto body = [&] { return ce::posix::registryUpdate(change, nullptr) ? 0 : 1; };
        int calls = 0;
        std::string after;
        {
            cetest::TempDevice clean;
            clean.writeRegistry(kStart);
            ASSERT_EQ(
                cetest::runWithFault(clean.dir(), Fault{Kind::Any, "", INT_MAX, Effect::Crash, 0},
                                     body, &calls),
                0);
            after = clean.readRegistryFile();
        }
        ASSERT_NE(after, kStart);
        ASSERT_GT(calls, 0);
        for (Effect end : {Effect::Crash, Effect::PowerLoss}) {
            for (int n = 1; n <= calls; ++n) {
                SCOPED_TRACE("ended at call " + std::to_string(n) +
                             (end == Effect::PowerLoss ? " by a power loss" : ""));
                cetest::TempDevice dev;
                dev.writeRegistry(kStart);
                EXPECT_EQ(cetest::runWithFault(dev.dir(), Fault{Kind::Any, "", n, end, 0}, body),
                          cetest::kCrashedStatus);
                std::string torn = dev.readRegistryFile();
                EXPECT_TRUE(torn == kStart || torn == after) << regtest::fileText(torn);
                EXPECT_EQ(cetest::runWithFault(dev.dir(), cetest::noFault(), body), 0);
                EXPECT_EQ(dev.readRegistryFile(), after);
                std::vector<std::string> left;
                for (const auto& e : std::filesystem::directory_iterator(dev.dir()))
                    left.push_back(e.path().filename().string());
                std::sort(left.begin(), left.end());
                EXPECT_EQ(left,
                          (std::vector<std::string>{"fs", "registry.reg", "registry.reg.lock"}));
            }
        }
    }
}

}  // namespace
