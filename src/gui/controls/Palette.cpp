#include "gui/controls/Palette.h"

#include "gui/common/UserPrompts.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace bram::gui {

namespace {

constexpr int kVisibleRows = 10;
constexpr int kMaxWidth = 560;

// Hands the first letter typed into a widget to a callback.
class CLetterFilter : public QObject {
public:
    CLetterFilter(QWidget* target, std::function<bool()> when, std::function<void(const QString&)> open)
        : QObject(target), m_when(std::move(when)), m_open(std::move(open))
    {
        target->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress) {
            return false;
        }
        const auto* key = static_cast<const QKeyEvent*>(event);
        const Qt::KeyboardModifiers chords = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
        const QString text = key->text();
        if ((key->modifiers() & chords) != 0 || text.size() != 1 || !text.front().isLetter() || !m_when()) {
            return false;
        }
        m_open(text);
        return true;
    }

private:
    std::function<bool()> m_when;
    std::function<void(const QString&)> m_open;
};

} // namespace

CPalette::CPalette(QWidget* host, QWidget* over, const char* fieldKey, const char* listKey)
    : QFrame(host), m_over(over), m_field(new QLineEdit(this)), m_list(new QListWidget(this))
{
    setObjectName(QStringLiteral("Palette"));
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setAutoFillBackground(true);
    m_field->setObjectName(QStringLiteral("PaletteField"));
    m_list->setObjectName(QStringLiteral("PaletteList"));
    m_field->setPlaceholderText(Localized(fieldKey));
    m_field->setAccessibleName(m_field->placeholderText());
    m_list->setAccessibleName(Localized(listKey));
    // The focus stays in the line edit; the arrows reach the list through it.
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->setUniformItemSizes(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(2);
    layout->addWidget(m_field);
    layout->addWidget(m_list);
    m_field->installEventFilter(this);
    connect(m_field, &QLineEdit::textChanged, this, &CPalette::Refill);
    connect(m_list, &QListWidget::itemActivated, this, &CPalette::Choose);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        // Clicked or tabbed away: gone, and the focus stays where it went.
        if (isVisible() && now != nullptr && now != this && !isAncestorOf(now)) {
            m_focusBefore.clear();
            Close();
        }
    });
    hide();
}

void CPalette::Open(std::vector<SEntry> entries, const QString& typed)
{
    m_entries = std::move(entries);
    m_ranking = CNameRanking();
    for (const SEntry& entry : m_entries) {
        const std::size_t index = m_ranking.Add(entry.name.toStdString(),
                                                (entry.detail + QLatin1Char(' ') + entry.description).toStdString());
        m_ranking.SetRecency(index, m_used.value(entry.key, 0));
    }
    if (!isVisible()) {
        m_focusBefore = QApplication::focusWidget();
    }
    m_field->setText(typed);
    Refill();
    Place();
    show();
    raise();
    m_field->setFocus(Qt::ShortcutFocusReason);
}

void CPalette::Close()
{
    if (isHidden()) {
        return;
    }
    hide();
    if (m_focusBefore != nullptr) {
        m_focusBefore->setFocus(Qt::OtherFocusReason);
    }
    m_focusBefore.clear();
}

int CPalette::CurrentEntry() const
{
    const QListWidgetItem* item = m_list->currentItem();
    return item != nullptr ? item->data(Qt::UserRole).toInt() : -1;
}

void CPalette::Refill()
{
    m_list->clear();
    for (const std::size_t index : m_ranking.Rank(m_field->text().toStdString(), kMaxRows)) {
        const SEntry& entry = m_entries[index];
        auto* item = new QListWidgetItem(
            entry.detail.isEmpty() ? entry.name : entry.name + QStringLiteral("  \u2013  ") + entry.detail, m_list);
        item->setData(Qt::UserRole, static_cast<int>(index));
    }
    m_list->setCurrentRow(m_list->count() > 0 ? 0 : -1);
}

void CPalette::Choose()
{
    const int entry = CurrentEntry();
    if (entry < 0) {
        UserPrompts().Beep();
        return;
    }
    m_used.insert(m_entries[static_cast<std::size_t>(entry)].key, ++m_clock);
    Close();
    emit Chosen(entry);
}

void CPalette::Place()
{
    QWidget* host = parentWidget();
    const QRect area = m_over == host ? host->rect() : QRect(m_over->mapTo(host, QPoint(0, 0)), m_over->size());
    const int top = area.top() + 4;
    // As many rows as fit below the line edit, from a few up to kVisibleRows.
    const int rowHeight = std::max(m_list->sizeHintForRow(0), m_list->fontMetrics().height());
    const int margins = layout()->contentsMargins().top() + layout()->contentsMargins().bottom() + layout()->spacing() +
                        2 * frameWidth() + 2 * m_list->frameWidth();
    const int room = host->height() - top - 4 - m_field->sizeHint().height() - margins;
    const int rows = std::clamp(room / std::max(rowHeight, 1), 3, kVisibleRows);
    m_list->setFixedHeight(rowHeight * rows + 2 * m_list->frameWidth());
    const int width = std::min({kMaxWidth, std::max(area.width() - 16, 200), host->width()});
    setGeometry(std::max(area.center().x() - width / 2, 0), top, width, sizeHint().height());
}

bool CPalette::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_field || (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)) {
        return QFrame::eventFilter(watched, event);
    }
    auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape: break;
    default: return QFrame::eventFilter(watched, event);
    }
    // These keys are the palette's, whatever shortcuts the window has.
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    if (key->key() == Qt::Key_Escape) {
        Close();
    } else if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        Choose();
    } else {
        QApplication::sendEvent(m_list, event);
    }
    return true;
}

void CPalette::keyPressEvent(QKeyEvent* event)
{
    // Nothing typed here reaches the view underneath.
    event->accept();
}

void OpenOnLetter(QWidget* target, std::function<bool()> when, std::function<void(const QString&)> open)
{
    new CLetterFilter(target, std::move(when), std::move(open));
}

} // namespace bram::gui
