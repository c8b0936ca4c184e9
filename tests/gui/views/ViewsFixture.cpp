#include "ViewsFixture.h"

#include "gui/views/CategoriesView.h"
#include "gui/views/CommentView.h"
#include "gui/views/InstructionView.h"

#include "code/State.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QTreeView>

namespace bram::test {

ViewsTest::ViewsTest()
{
    // What an earlier test copied would make Paste available.
    QApplication::clipboard()->clear();
    categories = new gui::CCategoriesView(document);
    comment = new gui::CCommentView(document);
    instructions = new gui::CInstructionView(document);
    auto* layout = new QHBoxLayout(&window);
    layout->addWidget(categories);
    layout->addWidget(comment);
    layout->addWidget(instructions);
    window.resize(1200, 600);
}

void ViewsTest::Countdown(const QString& selected)
{
    ASSERT_TRUE(document.OpenDocument(started.workspace / "samples/Countdown.bdf"));
    document.UpdateAllViews();
    Show();
    if (!selected.isEmpty()) {
        Select(selected);
    }
}

QModelIndex ViewsTest::CatRow(const QString& label) const
{
    const QAbstractItemModel* model = categories->model();
    return model->match(model->index(0, 0), Qt::DisplayRole, label, 1, Qt::MatchExactly | Qt::MatchRecursive).value(0);
}

void ViewsTest::Select(const QString& label)
{
    const QModelIndex row = CatRow(label);
    ASSERT_TRUE(row.isValid()) << label.toStdString();
    categories->setCurrentIndex(row);
}

void ViewsTest::ClickRow(const QModelIndex& row)
{
    ASSERT_TRUE(row.isValid());
    QTest::mouseClick(categories->viewport(), Qt::LeftButton, {}, categories->visualRect(row).center());
}

QLineEdit* ViewsTest::LabelEditor(const QAbstractItemView* tree)
{
    for (QLineEdit* editor : tree->findChildren<QLineEdit*>()) {
        if (!editor->isHidden()) { // closed editors are hidden, then deleted later
            return editor;
        }
    }
    return nullptr;
}

void ViewsTest::RenameRow(const QModelIndex& row, const QString& text)
{
    ASSERT_TRUE(row.isValid());
    categories->edit(row);
    QLineEdit* editor = LabelEditor(categories);
    ASSERT_NE(editor, nullptr);
    editor->setText(text);
    QTest::keyClick(editor, Qt::Key_Return);
    Settle();
}

void ViewsTest::Settle()
{
    // The editor commits on the next turn of the event loop, and the tree is sorted on the one after.
    for (int i = 0; i < 3; ++i) {
        QApplication::processEvents();
    }
}

QModelIndex ViewsTest::InstructionRow(const std::vector<int>& path) const
{
    const QAbstractItemModel* model = instructions->Tree()->model();
    QModelIndex row = model->index(0, 0);
    for (const int index : path) {
        row = model->index(index, 0, row);
    }
    return row;
}

QStringList ViewsTest::Children(const QModelIndex& row)
{
    QStringList labels;
    for (int i = 0; row.isValid() && i < row.model()->rowCount(row); ++i) {
        labels << row.model()->index(i, 0, row).data().toString();
    }
    return labels;
}

void ViewsTest::SelectInstruction(const std::vector<int>& path) const
{
    instructions->Tree()->setCurrentIndex(InstructionRow(path));
}

QStringList ViewsTest::PopupMenu(const std::function<void()>& open)
{
    // The offscreen platform has no window manager to give the activation back after the popup.
    QWidget* active = QApplication::activeWindow();
    QWidget* focus = QApplication::focusWidget();
    QStringList shown;
    QTimer::singleShot(0, [&shown] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        for (const QAction* action : menu != nullptr ? menu->actions() : QList<QAction*>()) {
            if (!action->isSeparator()) {
                shown << action->objectName() + (action->isEnabled() ? "+" : "-") + (action->isChecked() ? "x" : "");
            }
        }
        if (menu != nullptr) {
            menu->close();
        }
    });
    open();
    QApplication::processEvents();
    if (active != nullptr) {
        QApplication::setActiveWindow(active);
    }
    if (focus != nullptr) {
        focus->setFocus();
    }
    return shown;
}

void ViewsTest::Type(QWidget* widget, const QString& text)
{
    // Key by key, with the characters a keyboard layout would give (QTest knows only ASCII keys).
    for (const QChar c : text) {
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

std::string ViewsTest::Comment() const
{
    const CCodeTrigger* trigger = document.GetState()->GetCurrentTrigger();
    return trigger != nullptr ? trigger->GetComment() : "(none)";
}

} // namespace bram::test
