// Large registries: a header at and around 64 KB and 128 KB into the file,
// after a line longer than 64 KB, in both encodings, parsed from bytes and
// through the device's registry.reg.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/posix/registry/reg_file.h"
#include "platform/reg_values.h"
#include "platform/wstr.h"
#include "tests/registry/reg_test_util.h"
#include "tests/support/device_fixture.h"

namespace {

const std::string kHead =
    "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Filler]\r\n\"Big\"=\"";
const std::string kTarget = "[HKEY_CURRENT_USER\\Target]\r\n\"v\"=dword:00000007\r\n";

TEST(RegFileLarge, HeadersAroundChunkEdgesAndLongLinesAreRead) {
    const size_t chunk = 64 * 1024;
    for (bool utf16 : {false, true}) {
        const size_t unit = utf16 ? 2 : 1;
        // The target header starts `shift` units from the first or second
        // chunk's edge; before the second, the filler line is longer than
        // a chunk.
        for (size_t edge : {chunk, 2 * chunk}) {
            for (int shift : {-3, -1, 0, 1, 2}) {
                size_t headerUnits = edge / unit + static_cast<size_t>(shift);
                std::string fill(headerUnits - kHead.size() - 3, 'x');  // 3: "\"\r\n"
                std::string text = kHead + fill + "\"\r\n" + kTarget;
                std::string bytes = utf16 ? regtest::utf16File(text) : text;
                std::string what = std::string(utf16 ? "UTF-16 " : "UTF-8 ") +
                                   std::to_string(edge) + " " + std::to_string(shift);

                ce::posix::RegFile f = ce::posix::regFileParse(bytes);
                EXPECT_EQ(regtest::valueOf(f, "HKEY_CURRENT_USER\\Target", "v").bytes,
                          regtest::dwordBytes(7))
                    << what;
                EXPECT_EQ(regtest::valueOf(f, "HKEY_CURRENT_USER\\Filler", "Big").bytes.size(),
                          (fill.size() + 1) * 2)
                    << what;
                EXPECT_TRUE(ce::posix::regFileKeyExists(f, u"HKEY_CURRENT_USER"));
                EXPECT_FALSE(ce::posix::regFileKeyExists(f, u"HKEY_CURRENT_USER\\Targ"));
                EXPECT_TRUE(ce::posix::regFileSerialize(f) == bytes) << what;

                // Through the device: a value read, one written, and a new
                // key whose parent keeps the case of its header.
                cetest::TempDevice dev;
                dev.writeRegistry(bytes);
                ce::RegKey key = ce::regOpenKey(ce::Hive::CurrentUser, u"target");
                ASSERT_NE(key, nullptr) << what;
                uint32_t v = 0;
                EXPECT_TRUE(ce::regReadDword(key, u"V", &v));
                EXPECT_EQ(v, 7u);
                EXPECT_TRUE(ce::regWriteDword(key, u"w", 1));
                ce::regCloseKey(key);
                ce::regCloseKey(ce::regCreateKey(ce::Hive::CurrentUser, u"TARGET\\Sub"));
                std::string expected =
                    text + "\"w\"=dword:00000001\r\n\r\n" + "[HKEY_CURRENT_USER\\Target\\Sub]\r\n";
                EXPECT_TRUE(dev.readRegistryFile() ==
                            (utf16 ? regtest::utf16File(expected) : expected))
                    << what;
            }
        }
    }
}

}  // namespace
