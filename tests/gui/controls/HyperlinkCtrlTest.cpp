// The link text: sorted links, mouse, keyboard and accessible links.

#include "gui/controls/HyperlinkCtrl.h"

#include "GuiTestSupport.h"
#include "log/Assertion.h"

#include <QAccessible>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

namespace bram {
namespace {

using gui::CHyperlinkCtrl;

std::vector<std::uint32_t> Values(const CHyperlinkCtrl& control)
{
    std::vector<std::uint32_t> values;
    for (std::size_t i = 0; i < control.LinkCount(); ++i) {
        values.push_back(control.GetLinkValue(control.Link(i)));
    }
    return values;
}

TEST(HyperlinkCtrlTest, LinksStaySortedWithEqualStartsInInsertionOrder)
{
    CHyperlinkCtrl control;
    control.SetText(QStringLiteral("Set the variable count to 5.00."));
    control.AddLink(17, 5, 1);
    const CHyperlinkCtrl::CLink* moved = control.AddLink(0, 3, 2);
    control.AddLink(17, 2, 3);
    EXPECT_EQ(Values(control), (std::vector<std::uint32_t>{2, 1, 3}));
    control.SetLinkStart(moved, 17);
    EXPECT_EQ(Values(control), (std::vector<std::uint32_t>{1, 3, 2})) << "a moved link goes after equal starts";
    control.SetLinkLength(control.Link(0), 0);
    EXPECT_EQ(control.LinkText(control.Link(0)), QStringLiteral("c")) << "a link is at least one character";

    const unsigned assertions = GetAssertionFailureCount();
    CHyperlinkCtrl other;
    control.RemoveLink(other.AddLink(0, 1, 9));
    EXPECT_EQ(GetAssertionFailureCount(), assertions + 1);
    EXPECT_EQ(control.LinkCount(), 3u);
}

struct HyperlinkWindowTest : ::testing::Test {
    void SetUp() override
    {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(before);
        layout->addWidget(control);
        layout->addWidget(after);
        control->SetText(QStringLiteral("Print the text hello and then wait 2.00 seconds"));
        control->AddLink(15, 5, 10);
        control->AddLink(35, 4, 20);
        window.resize(420, 120);
        ASSERT_TRUE(test::ShowActive(window));
    }

    QWidget window;
    QLineEdit* before = new QLineEdit;
    CHyperlinkCtrl* control = new CHyperlinkCtrl;
    QLineEdit* after = new QLineEdit;
    QSignalSpy clicks{control, &CHyperlinkCtrl::linkClicked};
};

TEST_F(HyperlinkWindowTest, TabMovesBetweenLinksEnterAndSpaceActivate)
{
    before->setFocus();
    QTest::keyClick(before, Qt::Key_Tab);
    ASSERT_TRUE(control->hasFocus());
    EXPECT_EQ(control->FocusedLink(), 0);
    QTest::keyClick(control, Qt::Key_Return);
    QTest::keyClick(control, Qt::Key_Tab);
    EXPECT_EQ(control->FocusedLink(), 1);
    QTest::keyClick(control, Qt::Key_Space);
    ASSERT_EQ(clicks.count(), 2);
    EXPECT_EQ(clicks[0][0].value<std::uint32_t>(), 10u);
    EXPECT_EQ(clicks[1][0].value<std::uint32_t>(), 20u);

    // Past the last link Tab leaves the control; Shift+Tab comes back to the last link.
    QTest::keyClick(control, Qt::Key_Tab);
    EXPECT_TRUE(after->hasFocus());
    QTest::keyClick(after, Qt::Key_Backtab);
    EXPECT_EQ(control->FocusedLink(), 1);
}

TEST_F(HyperlinkWindowTest, AClickOnALinkTellsItsValueElsewhereNothing)
{
    ASSERT_EQ(control->LinkAt(QPointF(-1, -1)), nullptr); // lays the text out
    ASSERT_FALSE(control->Link(1)->rects.empty());
    const QRectF second = control->Link(1)->rects.front();
    QTest::mouseClick(control, Qt::LeftButton, {}, second.center().toPoint());
    QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(2, 2));
    ASSERT_EQ(clicks.count(), 1);
    EXPECT_EQ(clicks[0][0].value<std::uint32_t>(), 20u);
    EXPECT_EQ(control->Link(1)->state & CHyperlinkCtrl::StatePressed, 0u) << "pressed only while the owner reacts";
    EXPECT_EQ(control->LinkAt(second.center()), control->Link(1));
}

TEST_F(HyperlinkWindowTest, EveryLinkIsAnAccessibleLinkNamedByItsText)
{
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
    ASSERT_NE(accessible, nullptr);
    ASSERT_EQ(accessible->childCount(), 2);
    QAccessibleInterface* link = accessible->child(1);
    EXPECT_EQ(link->role(), QAccessible::Link);
    EXPECT_EQ(link->text(QAccessible::Name), QStringLiteral("2.00"));
    EXPECT_EQ(accessible->child(0)->text(QAccessible::Name), QStringLiteral("hello"));
    EXPECT_EQ(accessible->indexOfChild(link), 1);
    EXPECT_EQ(link->parent(), accessible);
    link->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    ASSERT_EQ(clicks.count(), 1);
    EXPECT_EQ(clicks[0][0].value<std::uint32_t>(), 20u);
}

} // namespace
} // namespace bram
