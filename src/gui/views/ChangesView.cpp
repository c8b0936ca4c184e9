#include "gui/views/ChangesView.h"

#include "gui/common/UserPrompts.h"

#include <QHeaderView>

#include <utility>

namespace bram::gui {

namespace {

const char* SubjectKey(EChangeSubject subject)
{
    switch (subject) {
    case EChangeSubject::Global: return "Changes/Global";
    case EChangeSubject::Category: return "Changes/Category";
    case EChangeSubject::Trigger:
    case EChangeSubject::TriggerContent: return "Changes/Trigger";
    case EChangeSubject::Order: return "Changes/Order";
    case EChangeSubject::Preamble: return "Changes/Preamble";
    case EChangeSubject::Header: return "Changes/Header";
    }
    return "";
}

// The diff's words as string-table keys.
const char* WhatKey(const std::string& what)
{
    static const std::pair<const char*, const char*> keys[] = {
        {"added", "Changes/Added"},
        {"removed", "Changes/Removed"},
        {"renamed", "Changes/Renamed"},
        {"retyped", "Changes/Retyped"},
        {"moved", "Changes/Moved"},
        {"changed", "Changes/Changed"},
        {"flags", "Changes/Flags"},
        {"comment", "Changes/Comment"},
        {"code", "Changes/Code"},
        {"local added", "Changes/LocalAdded"},
        {"local removed", "Changes/LocalRemoved"},
        {"local changed", "Changes/LocalChanged"},
        {"blocks", "Changes/Blocks"},
        {"categories", "Changes/CategoryOrder"},
        {"triggers", "Changes/TriggerOrder"},
        {"file", "Changes/FileOrder"},
    };
    for (const auto& [word, key] : keys) {
        if (what == word) {
            return key;
        }
    }
    return "Changes/Changed";
}

QString Joined(const std::vector<std::string>& lines)
{
    QStringList texts;
    for (const std::string& line : lines) {
        texts << ToQ(line);
    }
    return texts.join(QStringLiteral(" / "));
}

} // namespace

CChangesView::CChangesView(QWidget* parent) : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("Changes"));
    setAccessibleName(Localized("MainFrame/Changes"));
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setHeaderLabels({Localized("Changes/Change"), Localized("Changes/Name"), Localized("Changes/Place"),
                     Localized("Changes/Old"), Localized("Changes/New")});
    header()->setStretchLastSection(true);
    connect(this, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        const int index = indexOfTopLevelItem(item);
        if (index >= 0 && static_cast<std::size_t>(index) < m_changes.size()) {
            emit ChangeActivated(m_changes[static_cast<std::size_t>(index)]);
        }
    });
}

QString CChangesView::What(const SDocumentChange& change)
{
    return Localized(SubjectKey(change.subject)) + QLatin1Char(' ') + Localized(WhatKey(change.what));
}

void CChangesView::SetChanges(std::vector<SDocumentChange> changes)
{
    m_changes = std::move(changes);
    clear();
    QList<QTreeWidgetItem*> items;
    for (const SDocumentChange& change : m_changes) {
        items << new QTreeWidgetItem(
            {What(change), ToQ(change.name), ToQ(change.place), Joined(change.oldLines), Joined(change.newLines)});
    }
    addTopLevelItems(items);
    if (!items.isEmpty()) {
        setCurrentItem(items.front());
    }
}

} // namespace bram::gui
