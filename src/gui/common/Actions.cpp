#include "gui/common/Actions.h"

#include "localization/Localization.h"
#include "log/Assertion.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

namespace bram::gui {

CActionTable::CActionTable(QWidget* owner, std::string_view group) : m_owner(owner), m_group(group) {}

CActionTable::~CActionTable() = default;

QString CActionTable::Label(const char* key) const
{
    return QString::fromStdString(GetLocalizedString(m_group + "/" + key));
}

QAction* CActionTable::Add(CActionEntry entry)
{
    BRAMBLETON_ASSERT(!entry.name.isEmpty() && FindItem(entry.name) == nullptr);
    auto* action = new QAction(m_owner);
    action->setObjectName(entry.name);
    QString label = entry.textKey != nullptr ? Label(entry.textKey) : QString();
    // A table may write a key after a tab ("&New\tCtrl+N"). The menu names
    // the action's own keys, in the words of Qt's translation; a second,
    // literal naming would mix languages and may name a key the action lacks.
    if (const qsizetype tab = label.indexOf(QLatin1Char('\t')); tab >= 0) {
        label.truncate(tab);
    }
    action->setText(label);
    action->setShortcuts(entry.keys);
    action->setShortcutContext(entry.keyContext);
    action->setCheckable(static_cast<bool>(entry.checked));
    if (entry.handler) {
        QObject::connect(action, &QAction::triggered, m_owner, entry.handler);
    }
    // Keys work whether or not a menu shows the action.
    m_owner->addAction(action);
    m_items.push_back({std::move(entry), label, action});
    return action;
}

const CActionTable::CItem* CActionTable::FindItem(const QString& name) const
{
    bool isNumber = false;
    const int command = name.toInt(&isNumber);
    for (const CItem& item : m_items) {
        if (item.entry.name == name || (isNumber && command != 0 && static_cast<int>(item.entry.command) == command)) {
            return &item;
        }
    }
    return nullptr;
}

QAction* CActionTable::Find(const QString& name) const
{
    const CItem* item = FindItem(name);
    return item != nullptr ? item->action : nullptr;
}

QAction* CActionTable::Find(ECommand command) const
{
    return command != ECommand::None ? Find(QString::number(static_cast<int>(command))) : nullptr;
}

QList<QAction*> CActionTable::Actions() const
{
    QList<QAction*> actions;
    for (const CItem& item : m_items) {
        actions << item.action;
    }
    return actions;
}

void CActionTable::Fill(QMenu* menu, const QStringList& names) const
{
    for (const QString& name : names) {
        if (name == QLatin1String("-")) {
            menu->addSeparator();
            continue;
        }
        QAction* action = Find(name);
        // A name the table lacks is a fault of the menu list, not of the user.
        BRAMBLETON_ASSERT(action != nullptr);
        if (action != nullptr) {
            menu->addAction(action);
        }
    }
}

QMenu* CActionTable::AddMenu(QMenuBar* bar, const char* titleKey, const QStringList& names) const
{
    QMenu* menu = bar->addMenu(Label(titleKey));
    BRAMBLETON_ASSERT(menu != nullptr);
    Fill(menu, names);
    return menu;
}

std::unique_ptr<QMenu> CActionTable::ContextMenu(const QStringList& names, QWidget* parent) const
{
    Update();
    auto menu = std::make_unique<QMenu>(parent);
    Fill(menu.get(), names);
    return menu;
}

void CActionTable::Update() const
{
    for (const CItem& item : m_items) {
        item.action->setEnabled(!item.entry.enabled || item.entry.enabled());
        if (item.entry.checked) {
            item.action->setChecked(item.entry.checked());
        }
        if (item.entry.text) {
            item.action->setText(item.entry.text(item.label));
        }
    }
}

} // namespace bram::gui
