// Internal checks of the definition records: asking a kind for what it does
// not have is reported through the assertion routine and answered safely.

#include "TestSupport.h"
#include "code/Constant.h"
#include "log/Assertion.h"
#include "records/BlockInfo.h"
#include "records/InstructionInfo.h"
#include "records/TypeInfo.h"

#include <functional>
#include <gtest/gtest.h>
#include <tuple>

namespace bram {
namespace {

TEST(RecordsTest, MisuseFailsAnInternalCheck)
{
    const CTypeInfo number("Num", "Type", RealTypeNumber, "", {}, nullptr);
    const CTypeInfo text("Text", "Type", RealTypeString, "", {{kStartStringKey, "\""}}, nullptr);
    const CTypeInfo variable("Var", "Type", RealTypeVariable, "", {}, nullptr);
    const CBlockInfo block("B", "Block", "", "", "", "", &number, nullptr);
    const CParameterInfo typed("P", "Parameter", &text, false, nullptr);
    const CParameterInfo enumerated("E", "Parameter", std::vector<CEnumValue>{{"Yes", "1"}}, nullptr);
    const CParameterInfo reference("R", "Parameter", 0u, nullptr);

    // What is done, how, and whether it fails the check.
    const std::tuple<const char*, std::function<void()>, bool> cases[] = {
        {"parameter count of a type", [&] { EXPECT_EQ(number.GetParameterCount(), 0u); }, false},
        {"parameter count of a block", [&] { EXPECT_EQ(block.GetParameterCount(), 0u); }, false},
        {"parameter count of an enumerated parameter", [&] { EXPECT_EQ(enumerated.GetParameterCount(), 1u); }, false},
        {"parameter of a type", [&] { EXPECT_EQ(number.GetParameter(0), nullptr); }, true},
        {"parameter count of a typed parameter", [&] { EXPECT_EQ(typed.GetParameterCount(), 0u); }, true},
        {"parameter count of a reference", [&] { EXPECT_EQ(reference.GetParameterCount(), 0u); }, true},
        {"values of a typed parameter", [&] { EXPECT_TRUE(typed.GetValues().empty()); }, true},
        {"code of a type", [&] { EXPECT_EQ(number.CreateCode(), nullptr); }, true},
        {"replacements on a number type",
         [&] {
             CTypeInfo("N", "Type", RealTypeNumber, "", {{"a", "b"}}, nullptr);
         },
         true},
        {"number parameter without a number type", [&] { CParameterInfo("P", "P", &text, false, 1.0, nullptr); }, true},
        {"plain parameter of a number type", [&] { CParameterInfo("P", "P", &number, false, nullptr); }, true},
        {"enumeration without values", [&] { CParameterInfo("E", "P", std::vector<CEnumValue>{}, nullptr); }, true},
        {"constant of a variable type", [&] { CConstant(&variable, "C", "Constant", "1", nullptr); }, true},
        {"constant without a name", [&] { CConstant(&number, "", "Constant", "1", nullptr); }, true},
        {"constant of a number type",
         [&] { EXPECT_EQ(CConstant(&number, "C", "Constant", "1", nullptr).GetCode(3), "1"); }, false},
    };
    for (const auto& [what, use, fails] : cases) {
        const unsigned before = GetAssertionFailureCount();
        use();
        EXPECT_EQ(GetAssertionFailureCount() > before, fails) << what;
    }
}

} // namespace
} // namespace bram
