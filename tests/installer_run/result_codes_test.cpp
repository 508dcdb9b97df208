// The one table of results: what a run records must agree with itself.
#include "installer/result_codes.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <utility>

#include "installer/failure_hints.h"
#include "platform/wstr.h"
#include "tests/support/device_fixture.h"

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

// Every failure has a line that says what to fix, but for those whose file
// the platform names itself; a sound run that did its work has none.
TEST(ResultCodes, EveryFailureHasAHint) {
    const std::set<Result> namedByThePlatform = {
        Result::PlgNotOpened,          Result::AddLayoutNotOpened,   Result::AddTempNotCreated,
        Result::DeleteLayoutNotOpened, Result::DeleteTempNotCreated, Result::ChangeLayoutNotOpened,
        Result::ChangeTempNotCreated,  Result::LayoutNotCopiedBack,  Result::SwitchNotCopiedBack};
    cetest::TempDevice dev;  // the hints that read a file find none
    auto ctx = std::make_unique<RunContext>();
    ce::u16copy(ctx->request.plgPath, kTextChars, u"\\w.plg");
    ce::u16copy(ctx->request.targetCpr, kTextChars, u"\\w.cpr");
    for (int i = 0; i < static_cast<int>(Result::Count); ++i) {
        Result r = static_cast<Result>(i);
        SCOPED_TRACE(i);
        ctx->outcome.result = r;
        ctx->outcome.noChange = NoChange::None;
        std::u16string hint = outcomeHint(*ctx, u"-x");
        EXPECT_EQ(hint.empty(), r == Result::Success || namedByThePlatform.count(r) == 1);
        EXPECT_EQ(hint.find(u'{'), std::u16string::npos);  // every field filled in
    }
}

}  // namespace
}  // namespace qorv
