#include "gui/views/FindView.h"

#include "gui/common/UserPrompts.h"

#include "code/State.h"
#include "document/ApplicationDocument.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <tuple>

namespace bram::gui {

namespace {

// A label as its control's accessible name: no mnemonic, no colon.
QString PlainLabel(const QString& text)
{
    QString plain = PlainMenuText(text);
    while (plain.endsWith(QLatin1Char(':'))) {
        plain.chop(1);
    }
    return plain;
}

QString PlaceText(const SMatch& match)
{
    switch (match.where) {
    case EMatchPlace::TriggerName: return Localized("Find/Place_Name");
    case EMatchPlace::Comment: return Localized("Find/Place_Comment");
    case EMatchPlace::Code: return Localized("Find/Place_Code");
    case EMatchPlace::Preamble: return Localized("Find/Place_Preamble");
    case EMatchPlace::Header: return Localized("Find/Place_Header");
    case EMatchPlace::Instruction: break;
    }
    return ToQ(MatchPlaceText(match));
}

bool SameMatches(const std::vector<SMatch>& a, const std::vector<SMatch>& b)
{
    const auto key = [](const SMatch& m) {
        return std::tie(m.where, m.hasTrigger, m.triggerId, m.trigger, m.path, m.place, m.text, m.offset);
    };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [&key](const SMatch& x, const SMatch& y) { return key(x) == key(y); });
}

template <typename List>
const CUserDefinedVariable* Named(const List& list, const std::string& name)
{
    for (const auto& variable : list) {
        if (variable->GetName() == name) {
            return variable.get();
        }
    }
    return nullptr;
}

template <typename List>
bool Holds(const List& list, const CVariableBase& variable)
{
    return std::any_of(list.begin(), list.end(), [&variable](const auto& held) { return held.get() == &variable; });
}

} // namespace

std::optional<SVariableRef> SVariableRef::Of(const CState& state, const CVariableBase& variable)
{
    if (Holds(state.GetGlobals(), variable)) {
        return SVariableRef{.scope = EScope::Global, .name = variable.GetText()};
    }
    for (std::size_t i = 0; i < state.GetTriggerCount(); ++i) {
        const CCodeTrigger* trigger = state.GetTrigger(i);
        if (Holds(trigger->GetLocals(), variable)) {
            return SVariableRef{.scope = EScope::Local, .triggerId = trigger->GetId(), .name = variable.GetText()};
        }
    }
    for (std::size_t i = 0; i < state.GetTriggerVariableCount(); ++i) {
        const CTriggerVariable* held = state.GetTriggerVariable(i);
        if (held == &variable && held->GetTrigger() != nullptr) {
            return SVariableRef{.scope = EScope::Trigger,
                                .triggerId = held->GetTrigger()->GetId(),
                                .name = variable.GetText(),
                                .type = held->GetType()};
        }
    }
    return std::nullopt;
}

const CVariableBase* SVariableRef::Resolve(const CState& state) const
{
    switch (scope) {
    case EScope::Global: return Named(state.GetGlobals(), name);
    case EScope::Local: {
        const CCodeTrigger* trigger = state.FindTrigger(triggerId);
        return trigger != nullptr ? Named(trigger->GetLocals(), name) : nullptr;
    }
    case EScope::Trigger:
        for (std::size_t i = 0; i < state.GetTriggerVariableCount(); ++i) {
            const CTriggerVariable* held = state.GetTriggerVariable(i);
            if (held->GetTrigger() != nullptr && held->GetTrigger()->GetId() == triggerId && held->GetType() == type) {
                return held;
            }
        }
        return nullptr;
    }
    return nullptr;
}

CFindView::CFindView(CApplicationDocument& document, QWidget* parent)
    : QWidget(parent),
      m_document(document),
      m_title(new QLabel(this)),
      m_search(new QLineEdit(this)),
      m_caseSensitive(new QCheckBox(Localized("Find/CaseSensitive"), this)),
      m_wholeWord(new QCheckBox(Localized("Find/WholeWord"), this)),
      m_status(new QLabel(this)),
      m_results(new QTreeWidget(this))
{
    setObjectName(QStringLiteral("FindView"));
    m_title->setObjectName(QStringLiteral("FindTitle"));
    m_search->setObjectName(QStringLiteral("FindText"));
    m_caseSensitive->setObjectName(QStringLiteral("FindCaseSensitive"));
    m_wholeWord->setObjectName(QStringLiteral("FindWholeWord"));
    m_status->setObjectName(QStringLiteral("FindStatus"));
    m_results->setObjectName(QStringLiteral("FindResults"));
    m_title->setBuddy(m_search);
    for (QCheckBox* box : {m_caseSensitive, m_wholeWord}) {
        box->setAccessibleName(PlainLabel(box->text()));
    }
    m_search->setClearButtonEnabled(true);
    // The box's own clear button, named for screen readers.
    for (QWidget* button : m_search->findChildren<QToolButton*>()) {
        button->setAccessibleName(Localized("Find/Clear"));
    }
    m_results->setRootIsDecorated(false);
    m_results->setUniformRowHeights(true);
    m_results->setSelectionMode(QAbstractItemView::SingleSelection);
    m_results->setHeaderLabels({Localized("Find/Trigger"), Localized("Find/Place"), Localized("Find/Text")});
    m_results->header()->setStretchLastSection(true);

    auto* row = new QHBoxLayout;
    row->addWidget(m_title);
    row->addWidget(m_search, 1);
    row->addWidget(m_caseSensitive);
    row->addWidget(m_wholeWord);
    row->addWidget(m_status);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(row);
    layout->addWidget(m_results, 1);
    setFocusProxy(m_search);

    // Escape anywhere in the bar hides it; Down goes from the box to the results.
    auto* close = new QAction(this);
    close->setObjectName(QStringLiteral("FindClose"));
    close->setShortcut(QKeySequence(Qt::Key_Escape));
    close->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(close);
    connect(close, &QAction::triggered, this, &CFindView::CloseRequested);
    auto* down = new QAction(m_search);
    down->setShortcut(QKeySequence(Qt::Key_Down));
    down->setShortcutContext(Qt::WidgetShortcut);
    m_search->addAction(down);
    connect(down, &QAction::triggered, this, [this] {
        if (m_results->currentItem() == nullptr && m_results->topLevelItemCount() > 0) {
            m_results->setCurrentItem(m_results->topLevelItem(0));
        }
        m_results->setFocus();
    });

    m_refresh = new QTimer(this);
    m_refresh->setSingleShot(true);
    connect(m_refresh, &QTimer::timeout, this, [this] { Refresh(); });
    connect(m_search, &QLineEdit::textChanged, this, [this] {
        m_stale = true;
        m_refresh->start(kTypingPauseMs);
    });
    connect(m_search, &QLineEdit::returnPressed, this, [this] {
        if (!Step(true)) {
            UserPrompts().Beep();
        }
    });
    connect(m_caseSensitive, &QCheckBox::toggled, this, [this] { Refresh(); });
    connect(m_wholeWord, &QCheckBox::toggled, this, [this] { Refresh(); });
    connect(m_results, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item) { Activate(m_results->indexOfTopLevelItem(item)); });
    m_listener = m_document.AddUpdateListener(this, [this] {
        // Hidden, the bar waits until it is shown or stepped through.
        m_stale = true;
        if (isVisible()) {
            m_refresh->start(kEditPauseMs);
        }
    });
    SetMode(false);
}

CFindView::~CFindView() { m_document.RemoveUpdateListener(m_listener); }

void CFindView::SetMode(bool usages)
{
    if (!usages) {
        m_usages.reset();
        m_title->setText(Localized("Find/Label"));
    }
    for (QWidget* control : std::initializer_list<QWidget*>{m_search, m_caseSensitive, m_wholeWord}) {
        control->setVisible(!usages);
    }
    m_search->setAccessibleName(PlainLabel(Localized("Find/Label")));
    m_results->setAccessibleName(usages ? m_title->text() : Localized("Find/Results"));
}

void CFindView::StartFind()
{
    const bool wasUsages = IsUsages();
    SetMode(false);
    if (wasUsages || m_stale) {
        Refresh();
    }
    m_search->selectAll();
    m_search->setFocus(Qt::ShortcutFocusReason);
}

bool CFindView::ShowUsages(const CVariableBase& variable)
{
    const CState* state = m_document.GetState();
    std::optional<SVariableRef> ref = state != nullptr ? SVariableRef::Of(*state, variable) : std::nullopt;
    if (!ref) {
        return false;
    }
    m_usages = std::move(ref);
    m_title->setText(Localized("Find/UsagesTitle", {ToQ(m_usages->name)}));
    SetMode(true);
    // A new list: its first row is current, nothing is kept from the last one.
    m_matches.clear();
    m_results->clear();
    Refresh();
    return true;
}

void CFindView::Refresh()
{
    m_stale = false;
    m_refresh->stop();
    const CState* state = m_document.GetState();
    std::vector<SMatch> matches;
    if (state != nullptr && m_usages) {
        if (const CVariableBase* variable = m_usages->Resolve(*state)) {
            matches = FindUsages(*state, *variable);
        }
    } else if (state != nullptr) {
        matches = FindInState(*state, m_search->text().toStdString(),
                              {.caseSensitive = m_caseSensitive->isChecked(), .wholeWord = m_wholeWord->isChecked()});
    }
    Show(std::move(matches));
    const std::size_t count = m_matches.size();
    const bool nothingAsked = !m_usages && m_search->text().isEmpty();
    m_status->setText(nothingAsked ? QString()
                      : count == 0 ? Localized("Find/NoMatches")
                      : count == 1 ? Localized("Find/OneMatch")
                                   : Localized("Find/Matches", {QString::number(count)}));
}

void CFindView::Show(std::vector<SMatch> matches)
{
    if (SameMatches(matches, m_matches) && m_results->topLevelItemCount() == static_cast<int>(matches.size())) {
        return;
    }
    const int current = m_results->indexOfTopLevelItem(m_results->currentItem());
    m_matches = std::move(matches);
    m_results->clear();
    QList<QTreeWidgetItem*> items;
    for (const SMatch& match : m_matches) {
        QString text = ToQ(match.text);
        text.replace(QLatin1Char('\n'), QLatin1Char(' '));
        items << new QTreeWidgetItem({ToQ(match.trigger), PlaceText(match), text});
    }
    m_results->addTopLevelItems(items);
    // Trigger and place fit their texts; measuring costs a pass over the rows, so only for lists a user reads.
    if (items.size() <= kMeasuredRows) {
        m_results->resizeColumnToContents(0);
        m_results->resizeColumnToContents(1);
    }
    if (current >= 0 && !items.isEmpty()) {
        m_results->setCurrentItem(items.at(std::min(current, static_cast<int>(items.size()) - 1)));
    }
}

bool CFindView::Step(bool forward)
{
    if (m_stale) {
        Refresh();
    }
    const int count = m_results->topLevelItemCount();
    if (count == 0) {
        return false;
    }
    const int current = m_results->indexOfTopLevelItem(m_results->currentItem());
    const int next = current < 0 ? (forward ? 0 : count - 1) : (current + (forward ? 1 : count - 1)) % count;
    m_results->setCurrentItem(m_results->topLevelItem(next));
    Activate(next);
    return true;
}

void CFindView::Activate(int row)
{
    if (row < 0 || static_cast<std::size_t>(row) >= m_matches.size()) {
        return;
    }
    // A copy: going there updates the views, which may rebuild the list.
    const SMatch match = m_matches[static_cast<std::size_t>(row)];
    const std::size_t length = m_usages ? 0 : m_search->text().toStdString().size();
    emit MatchActivated(match, length);
}

void CFindView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_stale) {
        Refresh();
    }
}

} // namespace bram::gui
