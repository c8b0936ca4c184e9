// The number edit, driven by keys as a user types.

#include "gui/controls/NumberEdit.h"

#include "GuiTestSupport.h"

#include <QTest>

namespace bram {
namespace {

using gui::CNumberEdit;

struct NumberEditTest : ::testing::Test {
    // Types the keys at the caret; "<" is Home, "|" toggles overwrite, "#" is Delete.
    void Type(const char* keys)
    {
        for (const char* k = keys; *k != '\0'; ++k) {
            switch (*k) {
            case '<': QTest::keyClick(&edit, Qt::Key_Home); break;
            case '|': QTest::keyClick(&edit, Qt::Key_Insert); break;
            case '#': QTest::keyClick(&edit, Qt::Key_Delete); break;
            default: QTest::keyClick(&edit, *k); break;
            }
        }
    }

    test::CFakePrompts prompts;
    CNumberEdit edit;
};

TEST_F(NumberEditTest, ShowsTheSetDecimalsWithTheSeparator)
{
    EXPECT_EQ(edit.text(), QStringLiteral("0")) << "an unbounded edit starts at 0";
    edit.SetDecimals(2);
    edit.SetSeparator(QLatin1Char(','));
    edit.SetValue(3.14159);
    EXPECT_EQ(edit.text(), QStringLiteral("3,14"));
    edit.SetValue(0.5);
    EXPECT_EQ(edit.text(), QStringLiteral("0,50"));
    EXPECT_EQ(edit.GetStoredText(), QStringLiteral("0.50"));
    EXPECT_DOUBLE_EQ(edit.GetValue(), 0.5);
    edit.SetValue(-0.001);
    EXPECT_EQ(edit.text(), QStringLiteral("0,00")) << "no sign on a value that rounds to zero";

    // Out of range nothing changes; a narrower range brings the value in.
    edit.SetRange(1, 10);
    EXPECT_EQ(edit.text(), QStringLiteral("1,00"));
    edit.SetValue(12);
    EXPECT_EQ(edit.text(), QStringLiteral("1,00"));
    edit.StepBy(20);
    EXPECT_EQ(edit.text(), QStringLiteral("10,00")) << "steps stop at the range's end";
}

TEST_F(NumberEditTest, RefusedKeysBeepAndLeaveTheText)
{
    edit.SetDecimals(2);
    edit.SetRange(0, 100);
    edit.SetValue(3.14);
    const QString before = edit.text();
    Type("-x");
    EXPECT_EQ(edit.text(), before);
    EXPECT_EQ(prompts.beeps, 2);

    // Digits that would leave the range are refused; those that keep it are taken.
    Type("<9");
    EXPECT_EQ(edit.text(), QStringLiteral("93.14"));
    Type("<9");
    EXPECT_EQ(edit.text(), QStringLiteral("93.14"));
    EXPECT_EQ(prompts.beeps, 3);
    // Deleting a digit may not leave the range either.
    edit.SetRange(10, 100);
    Type("<#");
    EXPECT_EQ(edit.text(), QStringLiteral("93.14"));
    EXPECT_EQ(prompts.beeps, 4);

    // Pasted text obeys the same rules as typed text.
    edit.selectAll();
    edit.insert(QStringLiteral("abc"));
    edit.insert(QStringLiteral("500"));
    EXPECT_EQ(edit.text(), QStringLiteral("93.14"));

    edit.SetDecimals(0);
    Type(".");
    EXPECT_EQ(prompts.beeps, 5) << "no separator without decimals";
}

TEST_F(NumberEditTest, TypedNumbersTakeTheNormalFormOverwriteModeReplaces)
{
    edit.SetDecimals(2);
    edit.SetRange(-1000, 1000);
    edit.SetValue(0);
    edit.setCursorPosition(1);
    Type("52");
    EXPECT_EQ(edit.text(), QStringLiteral("52.00"));
    EXPECT_EQ(edit.cursorPosition(), 2) << "the caret stays before the separator";
    Type("-");
    EXPECT_EQ(edit.text(), QStringLiteral("-52.00"));
    Type("+");
    EXPECT_EQ(edit.text(), QStringLiteral("52.00"));

    // The separator moves to the caret.
    edit.setCursorPosition(1);
    Type(".");
    EXPECT_EQ(edit.text(), QStringLiteral("5.20"));

    // Overwrite mode replaces digits, steps over the separator and keeps the form as typed.
    Type("<|79");
    EXPECT_TRUE(edit.IsOverwriteMode());
    EXPECT_EQ(edit.text(), QStringLiteral("7.90"));
    Type("<12");
    EXPECT_EQ(edit.text(), QStringLiteral("1.20"));
    Type("34");
    EXPECT_EQ(edit.text(), QStringLiteral("1.23")) << "no more decimals than set";

    // Delete works at once; its release brings back the normal form.
    Type("|<");
    QTest::keyPress(&edit, Qt::Key_Delete);
    EXPECT_EQ(edit.text(), QStringLiteral(".23"));
    QTest::keyRelease(&edit, Qt::Key_Delete);
    EXPECT_EQ(edit.text(), QStringLiteral("0.23"));
    EXPECT_EQ(prompts.beeps, 1);
}

} // namespace
} // namespace bram
