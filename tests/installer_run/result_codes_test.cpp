// The one table of results: what a run records must agree with itself.
#include "installer/result_codes.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

namespace qorv {
namespace {

// Every recorded text begins with "#", its own number and a blank; only the
// failures the run raises while reading its request have a box; no two
// results record the same number and text (each row says one thing).
TEST(ResultCodes, EveryRowAgreesWithItsNumberAndItsRaiser) {
    std::set<std::pair<uint32_t, std::u16string>> seen;
    for (int i = 0; i < static_cast<int>(Result::Count); ++i) {
        Result r = static_cast<Result>(i);
        SCOPED_TRACE(i);
        bool raisedByTheRun = r >= Result::NoAction && r <= Result::NoHomeKey;
        EXPECT_EQ(boxText(r) != nullptr, raisedByTheRun);
        const char16_t* text = resultText(r) != nullptr ? resultText(r) : boxText(r);
        ASSERT_NE(text, nullptr);
        std::string prefix = "#" + std::to_string(resultNumber(r)) + " ";
        EXPECT_EQ(std::u16string(text).substr(0, prefix.size()),
                  std::u16string(prefix.begin(), prefix.end()));
        EXPECT_TRUE(seen.insert({resultNumber(r), text}).second);
    }
    EXPECT_EQ(resultText(Result::NoRunRecord), nullptr);
    EXPECT_EQ(resultNumber(Result::Success), 0u);
}

}  // namespace
}  // namespace qorv
