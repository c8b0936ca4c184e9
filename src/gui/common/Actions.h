#pragma once
// The action table of a window or view: each command is one entry (a stable
// name, the program's command id where it has one, the text key in the
// owner's string table, keys, handler, enable and check rules). The table
// makes one QAction per entry, named by the entry (so tests and
// accessibility tools find it by name) and labelled with its localized
// text, and builds menu bars and context menus from lists of names. Views
// keep a table of their own for their context menus and keys.

#include "gui/common/ControlIds.h"

#include <QKeySequence>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace bram::gui {

struct CActionEntry {
    // The action's objectName: "New", "GenerateScript".
    QString name{};
    // The program's command id, or none.
    ECommand command = ECommand::None;
    // The key of the label in the table's string table; none for an action
    // whose owner sets its text (the recent files) or that has no menu item.
    const char* textKey = nullptr;
    QList<QKeySequence> keys{};
    Qt::ShortcutContext keyContext = Qt::WindowShortcut;
    std::function<void()> handler{};
    // Rules run by Update; no enable rule: always enabled, no check rule: not checkable.
    std::function<bool()> enabled{};
    std::function<bool()> checked{};
    // Rewrites the text from the label when the rules run (the undo step's name).
    std::function<QString(const QString& label)> text{};
};

class CActionTable {
public:
    // owner: the parent of the actions, whose window their keys act in.
    // group: the string table of the text keys; a missing table or key
    // shows the key. The labels are read once, here and in Add.
    CActionTable(QWidget* owner, std::string_view group);
    ~CActionTable();
    CActionTable(const CActionTable&) = delete;
    CActionTable& operator=(const CActionTable&) = delete;

    QAction* Add(CActionEntry entry);
    // By name, or by command id written as a number ("62004").
    QAction* Find(const QString& name) const;
    QAction* Find(ECommand command) const;
    QList<QAction*> Actions() const;
    // The localized text of a key of the table's group.
    QString Label(const char* key) const;

    // Appends the named actions to the menu in order; "-" is a separator.
    void Fill(QMenu* menu, const QStringList& names) const;
    // A menu bar popup titled by a text key, filled with the named actions.
    QMenu* AddMenu(QMenuBar* bar, const char* titleKey, const QStringList& names) const;
    // A context menu of the named actions, with the rules run.
    std::unique_ptr<QMenu> ContextMenu(const QStringList& names, QWidget* parent = nullptr) const;
    // Runs every enable, check and text rule.
    void Update() const;

private:
    struct CItem {
        CActionEntry entry;
        QString label;
        QAction* action;
    };
    const CItem* FindItem(const QString& name) const;

    QWidget* m_owner;
    std::string m_group;
    std::vector<CItem> m_items;
};

} // namespace bram::gui
