#include "gui/controls/HyperlinkCtrl.h"

#include "log/Assertion.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QStyleOptionFocusRect>

#include <algorithm>
#include <cmath>

namespace bram::gui {

namespace {

// One link as an accessible object: a child of the control's, named by its
// text, pressed through its action.
class CLinkAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    CLinkAccessible(CHyperlinkCtrl* control, int index) : m_control(control), m_index(index) {}

    bool isValid() const override { return m_control != nullptr && Link() != nullptr; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_control != nullptr ? m_control->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_control.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    void setText(QAccessible::Text, const QString&) override {}
    QAccessible::Role role() const override { return QAccessible::Link; }

    QString text(QAccessible::Text t) const override
    {
        const CHyperlinkCtrl::CLink* link = Link();
        return t == QAccessible::Name && link != nullptr ? m_control->LinkText(link) : QString();
    }

    QRect rect() const override
    {
        const CHyperlinkCtrl::CLink* link = Link();
        QRectF united;
        if (link != nullptr) {
            for (const QRectF& r : link->rects) {
                united = united.united(r);
            }
        }
        const QRect local = united.toAlignedRect();
        return m_control != nullptr ? QRect(m_control->mapToGlobal(local.topLeft()), local.size()) : QRect();
    }

    QAccessible::State state() const override
    {
        QAccessible::State s;
        const CHyperlinkCtrl::CLink* link = Link();
        s.focusable = true;
        s.linked = true;
        s.focused = m_control != nullptr && m_control->FocusedLink() == m_index;
        s.disabled = link != nullptr && (link->marks & CHyperlinkCtrl::MarkUnavailable) != 0;
        s.invisible = m_control != nullptr && !m_control->isVisible();
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }
    void doAction(const QString& name) override
    {
        if (name == pressAction() && Link() != nullptr) {
            emit m_control->linkClicked(Link()->value);
        }
    }

private:
    const CHyperlinkCtrl::CLink* Link() const
    {
        return m_control != nullptr && m_index >= 0 && static_cast<std::size_t>(m_index) < m_control->LinkCount()
                   ? m_control->Link(static_cast<std::size_t>(m_index))
                   : nullptr;
    }

    QPointer<CHyperlinkCtrl> m_control;
    int m_index;
};

// The control's accessible object: the whole text, with one child per link.
class CHyperlinkAccessible : public QAccessibleWidget {
public:
    explicit CHyperlinkAccessible(CHyperlinkCtrl* control) : QAccessibleWidget(control, QAccessible::StaticText) {}
    ~CHyperlinkAccessible() override
    {
        for (const QAccessible::Id id : m_children) {
            if (id != 0) {
                QAccessible::deleteAccessibleInterface(id);
            }
        }
    }
    CHyperlinkAccessible(const CHyperlinkAccessible&) = delete;
    CHyperlinkAccessible& operator=(const CHyperlinkAccessible&) = delete;

    int childCount() const override { return static_cast<int>(Control()->LinkCount()); }

    QAccessibleInterface* child(int index) const override
    {
        if (index < 0 || index >= childCount()) {
            return nullptr;
        }
        const auto at = static_cast<std::size_t>(index);
        if (m_children.size() <= at) {
            m_children.resize(at + 1, 0);
        }
        if (m_children[at] == 0) {
            m_children[at] = QAccessible::registerAccessibleInterface(new CLinkAccessible(Control(), index));
        }
        return QAccessible::accessibleInterface(m_children[at]);
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        for (std::size_t i = 0; i < m_children.size(); ++i) {
            if (m_children[i] != 0 && QAccessible::accessibleInterface(m_children[i]) == child) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

    QAccessibleInterface* focusChild() const override { return child(Control()->FocusedLink()); }

    QAccessibleInterface* childAt(int x, int y) const override
    {
        const CHyperlinkCtrl* control = Control();
        const CHyperlinkCtrl::CLink* link = control->LinkAt(control->mapFromGlobal(QPoint(x, y)));
        for (std::size_t i = 0; link != nullptr && i < control->LinkCount(); ++i) {
            if (control->Link(i) == link) {
                return child(static_cast<int>(i));
            }
        }
        return nullptr;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) {
            return Control()->Text();
        }
        return QAccessibleWidget::text(t);
    }

private:
    CHyperlinkCtrl* Control() const { return static_cast<CHyperlinkCtrl*>(widget()); }

    mutable std::vector<QAccessible::Id> m_children;
};

QAccessibleInterface* HyperlinkAccessibleFactory(const QString&, QObject* object)
{
    auto* control = qobject_cast<CHyperlinkCtrl*>(object);
    return control != nullptr ? new CHyperlinkAccessible(control) : nullptr;
}

} // namespace

CHyperlinkCtrl::CHyperlinkCtrl(QWidget* parent) : QWidget(parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(&HyperlinkAccessibleFactory);
        return true;
    }();
    (void)factoryInstalled;
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

CHyperlinkCtrl::~CHyperlinkCtrl() = default;

void CHyperlinkCtrl::SetText(const QString& text)
{
    m_text = text;
    LinksChanged();
}

int CHyperlinkCtrl::IndexOf(const CLink* link) const
{
    for (std::size_t i = 0; i < m_links.size(); ++i) {
        if (m_links[i].get() == link) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

CHyperlinkCtrl::CLink* CHyperlinkCtrl::Mutable(const CLink* link)
{
    const int index = IndexOf(link);
    BRAMBLETON_ASSERT(index >= 0);
    return index >= 0 ? m_links[static_cast<std::size_t>(index)].get() : nullptr;
}

void CHyperlinkCtrl::Insert(std::unique_ptr<CLink> link)
{
    const auto at =
        std::upper_bound(m_links.begin(), m_links.end(), link->start,
                         [](int start, const std::unique_ptr<CLink>& other) { return start < other->start; });
    m_links.insert(at, std::move(link));
}

const CHyperlinkCtrl::CLink* CHyperlinkCtrl::AddLink(int start, int length, std::uint32_t value)
{
    auto link = std::make_unique<CLink>();
    link->start = std::max(start, 0);
    link->length = std::max(length, 1);
    link->value = value;
    const CLink* added = link.get();
    Insert(std::move(link));
    LinksChanged();
    return added;
}

void CHyperlinkCtrl::RemoveLink(const CLink* link)
{
    const int index = IndexOf(link);
    BRAMBLETON_ASSERT(index >= 0);
    if (index < 0) {
        return;
    }
    m_links.erase(m_links.begin() + index);
    LinksChanged();
}

void CHyperlinkCtrl::ClearLinks()
{
    m_links.clear();
    LinksChanged();
}

void CHyperlinkCtrl::SetLinkStart(const CLink* link, int start)
{
    const int index = IndexOf(link);
    BRAMBLETON_ASSERT(index >= 0);
    if (index < 0) {
        return;
    }
    std::unique_ptr<CLink> moved = std::move(m_links[static_cast<std::size_t>(index)]);
    m_links.erase(m_links.begin() + index);
    moved->start = std::max(start, 0);
    Insert(std::move(moved));
    LinksChanged();
}

void CHyperlinkCtrl::SetLinkLength(const CLink* link, int length)
{
    if (CLink* target = Mutable(link)) {
        target->length = std::max(length, 1);
        LinksChanged();
    }
}

void CHyperlinkCtrl::SetLinkMarks(const CLink* link, unsigned marks)
{
    if (CLink* target = Mutable(link)) {
        target->marks = marks;
        LinksChanged();
    }
}

std::uint32_t CHyperlinkCtrl::GetLinkValue(const CLink* link) const
{
    BRAMBLETON_ASSERT(link != nullptr);
    return link != nullptr ? link->value : 0;
}

const CHyperlinkCtrl::CLink* CHyperlinkCtrl::Link(std::size_t index) const
{
    BRAMBLETON_ASSERT(index < m_links.size());
    return index < m_links.size() ? m_links[index].get() : nullptr;
}

QString CHyperlinkCtrl::LinkText(const CLink* link) const
{
    return link != nullptr ? m_text.mid(link->start, link->length) : QString();
}

void CHyperlinkCtrl::LinksChanged()
{
    m_layoutValid = false;
    if (m_focusLink >= static_cast<int>(m_links.size())) {
        m_focusLink = m_links.empty() ? -1 : 0;
    }
    setFocusPolicy(m_links.empty() ? Qt::NoFocus : Qt::StrongFocus);
    updateGeometry();
    update();
}

// ---- layout and painting ------------------------------------------------------

void CHyperlinkCtrl::LayOut(QTextLayout& layout, int width) const
{
    layout.setText(m_text);
    layout.setFont(font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QList<QTextLayout::FormatRange> formats;
    for (const auto& link : m_links) {
        QTextLayout::FormatRange range;
        range.start = link->start;
        range.length = std::min(link->length, static_cast<int>(m_text.size()) - link->start);
        if (range.length <= 0) {
            continue;
        }
        if ((link->marks & MarkUnavailable) != 0) {
            range.format.setForeground(palette().color(QPalette::Disabled, QPalette::Text));
        } else {
            range.format.setFontUnderline(true);
            const QPalette::ColorRole role = (link->state & StatePressed) != 0 ? QPalette::LinkVisited
                                             : (link->state & StateHover) != 0 ? QPalette::Highlight
                                                                               : QPalette::Link;
            range.format.setForeground(palette().color(role));
            // A parameter still to be given stands out.
            range.format.setFontItalic((link->marks & MarkSet) == 0);
        }
        formats.push_back(range);
    }
    layout.setFormats(formats);
    layout.beginLayout();
    qreal y = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(std::max(width, 1));
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();
}

void CHyperlinkCtrl::Relayout() const
{
    if (m_layoutValid && m_layoutWidth == width()) {
        return;
    }
    LayOut(m_layout, width());
    m_layoutValid = true;
    m_layoutWidth = width();
    for (const auto& link : m_links) {
        link->rects.clear();
        const int end = std::min(link->start + link->length, static_cast<int>(m_text.size()));
        for (int i = 0; i < m_layout.lineCount(); ++i) {
            const QTextLine line = m_layout.lineAt(i);
            const int from = std::max(link->start, line.textStart());
            const int to = std::min(end, line.textStart() + line.textLength());
            if (from >= to) {
                continue;
            }
            const qreal x1 = line.cursorToX(from);
            const qreal x2 = line.cursorToX(to);
            link->rects.emplace_back(QPointF(std::min(x1, x2), line.y()),
                                     QPointF(std::max(x1, x2), line.y() + line.height()));
        }
    }
}

int CHyperlinkCtrl::heightForWidth(int width) const
{
    QTextLayout layout;
    LayOut(layout, width);
    return static_cast<int>(std::ceil(layout.boundingRect().height()));
}

QSize CHyperlinkCtrl::sizeHint() const
{
    // One line up to about 50 characters; longer texts wrap.
    const QFontMetrics metrics(font());
    const int width = std::min(metrics.horizontalAdvance(m_text) + 1, metrics.averageCharWidth() * 50);
    return {width, std::max(heightForWidth(width), metrics.height())};
}

QSize CHyperlinkCtrl::minimumSizeHint() const
{
    const QFontMetrics metrics(font());
    return {metrics.averageCharWidth() * 10, metrics.height()};
}

void CHyperlinkCtrl::paintEvent(QPaintEvent*)
{
    Relayout();
    QPainter painter(this);
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    m_layout.draw(&painter, QPointF(0, 0));
    if (const int focused = FocusedLink(); focused >= 0) {
        for (const QRectF& rect : m_links[static_cast<std::size_t>(focused)]->rects) {
            QStyleOptionFocusRect option;
            option.initFrom(this);
            option.rect = rect.toAlignedRect();
            option.backgroundColor = palette().color(QPalette::Window);
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
        }
    }
}

void CHyperlinkCtrl::resizeEvent(QResizeEvent* event)
{
    m_layoutValid = false;
    QWidget::resizeEvent(event);
}

void CHyperlinkCtrl::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange) {
        m_layoutValid = false;
        updateGeometry();
    }
    QWidget::changeEvent(event);
}

// ---- mouse and keyboard ------------------------------------------------------------

const CHyperlinkCtrl::CLink* CHyperlinkCtrl::LinkAt(const QPointF& point) const
{
    Relayout();
    for (const auto& link : m_links) {
        for (const QRectF& rect : link->rects) {
            if (rect.contains(point)) {
                return link.get();
            }
        }
    }
    return nullptr;
}

void CHyperlinkCtrl::SetHover(const CLink* hovered)
{
    bool changed = false;
    for (const auto& link : m_links) {
        const unsigned state = link.get() == hovered ? (link->state | StateHover) : (link->state & ~StateHover);
        changed = changed || state != link->state;
        link->state = state;
    }
    if (hovered != nullptr) {
        setCursor(Qt::PointingHandCursor);
    } else {
        unsetCursor();
    }
    if (changed) {
        m_layoutValid = false;
        update();
    }
}

void CHyperlinkCtrl::ClearPressed()
{
    for (const auto& link : m_links) {
        link->state &= ~StatePressed;
    }
    m_layoutValid = false;
    update();
}

void CHyperlinkCtrl::mouseMoveEvent(QMouseEvent* event)
{
    SetHover(LinkAt(event->position()));
    QWidget::mouseMoveEvent(event);
}

void CHyperlinkCtrl::leaveEvent(QEvent* event)
{
    SetHover(nullptr);
    QWidget::leaveEvent(event);
}

void CHyperlinkCtrl::mousePressEvent(QMouseEvent* event)
{
    const CLink* link = event->button() == Qt::LeftButton ? LinkAt(event->position()) : nullptr;
    if (link == nullptr) {
        QWidget::mousePressEvent(event);
        return;
    }
    SetHover(link);
    Mutable(link)->state |= StatePressed;
    m_layoutValid = false;
    m_focusLink = IndexOf(link);
    setFocus(Qt::MouseFocusReason);
    repaint();
    // The owner may open a dialog and rebuild the links meanwhile.
    Activate(link);
    ClearPressed();
}

void CHyperlinkCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    ClearPressed();
    QWidget::mouseReleaseEvent(event);
}

void CHyperlinkCtrl::Activate(const CLink* link) { emit linkClicked(link->value); }

void CHyperlinkCtrl::SetFocusLink(int index)
{
    if (index < 0 || index >= static_cast<int>(m_links.size())) {
        return;
    }
    m_focusLink = index;
    update();
    if (hasFocus() && QAccessible::isActive()) {
        QAccessibleEvent focusEvent(this, QAccessible::Focus);
        focusEvent.setChild(index);
        QAccessible::updateAccessibility(&focusEvent);
    }
}

void CHyperlinkCtrl::focusInEvent(QFocusEvent* event)
{
    if (event->reason() == Qt::TabFocusReason || m_focusLink < 0) {
        SetFocusLink(0);
    } else if (event->reason() == Qt::BacktabFocusReason) {
        SetFocusLink(static_cast<int>(m_links.size()) - 1);
    }
    QWidget::focusInEvent(event);
    update();
}

void CHyperlinkCtrl::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}

bool CHyperlinkCtrl::focusNextPrevChild(bool next)
{
    const int target = m_focusLink + (next ? 1 : -1);
    if (hasFocus() && target >= 0 && target < static_cast<int>(m_links.size())) {
        SetFocusLink(target);
        return true;
    }
    return QWidget::focusNextPrevChild(next);
}

void CHyperlinkCtrl::keyPressEvent(QKeyEvent* event)
{
    const int focused = FocusedLink();
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (focused >= 0) {
            Activate(m_links[static_cast<std::size_t>(focused)].get());
            return;
        }
        break;
    case Qt::Key_Left:
    case Qt::Key_Up: SetFocusLink(focused - 1); return;
    case Qt::Key_Right:
    case Qt::Key_Down: SetFocusLink(focused + 1); return;
    default: break;
    }
    QWidget::keyPressEvent(event);
}

} // namespace bram::gui
