#pragma once
// The three views of the main window side by side on one document of a started
// sample workspace, and the gestures the view tests share.

#include "GuiTestSupport.h"

#include <QModelIndex>
#include <QWidget>

#include <functional>
#include <vector>

class QAbstractItemView;
class QLineEdit;
class QModelIndex;

namespace bram::gui {
class CCategoriesView;
class CCommentView;
class CInstructionView;
} // namespace bram::gui

namespace bram::test {

class ViewsTest : public DocumentTest {
protected:
    ViewsTest();

    // Opens the workspace's Countdown sample, shows the window and selects the item of the label.
    void Countdown(const QString& selected = {});
    void Show() { ASSERT_TRUE(ShowActive(window)); }

    // The categories tree's row of the label, or an invalid index.
    QModelIndex CatRow(const QString& label) const;
    // Selects the categories tree's row of the label as a user's click on it would.
    void Select(const QString& label);
    void ClickRow(const QModelIndex& row);
    // Ends a label edit of the categories tree's row with the text and Return.
    void RenameRow(const QModelIndex& row, const QString& text);
    static void Type(QWidget* widget, const QString& text);
    // Runs what the event loop has queued (a label edit's end, the sorting after it).
    static void Settle();
    // The labels of a row's children (in either tree), in screen order.
    static QStringList Children(const QModelIndex& row);
    // The open label editor of the tree, or null.
    static QLineEdit* LabelEditor(const QAbstractItemView* tree);
    // The actions of the popup menu that `open` shows, as "name+" (enabled)
    // or "name-" with "x" when checked; the menu is closed again.
    static QStringList PopupMenu(const std::function<void()>& open);

    // The instruction tree's row at a path of child indexes under the trigger's row.
    QModelIndex InstructionRow(const std::vector<int>& path) const;
    // Makes the instruction tree's row at the path current and the one selected.
    void SelectInstruction(const std::vector<int>& path) const;

    std::vector<std::string> UndoNames() const { return document.GetHistory().GetUndoNames(); }
    std::string Comment() const;

    QWidget window;
    gui::CCategoriesView* categories = nullptr;
    gui::CCommentView* comment = nullptr;
    gui::CInstructionView* instructions = nullptr;
};

} // namespace bram::test
