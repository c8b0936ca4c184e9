#pragma once
// A wrapped text in which chosen stretches are links carrying a value: the
// dialogs show an instruction's sentence with one link per parameter, and a
// click on a link (or Enter or Space on the link that has the keyboard focus;
// Tab moves between links) tells the owner the link's value. Each link is a
// child of the control's accessible object, named by its text.

#include <QTextLayout>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <vector>

namespace bram::gui {

class CHyperlinkCtrl : public QWidget {
    Q_OBJECT
public:
    // State flags of a link.
    static constexpr unsigned StatePressed = 2;
    static constexpr unsigned StateHover = 8;
    // How the owner marks a link: its parameter is set, or cannot be set yet.
    static constexpr unsigned MarkSet = 1;
    static constexpr unsigned MarkUnavailable = 2;

    struct CLink {
        int start = 0;
        int length = 1;
        std::uint32_t value = 0;
        unsigned state = 0;
        unsigned marks = 0;
        // What its characters cover after layout, one rectangle per line.
        std::vector<QRectF> rects;
    };

    explicit CHyperlinkCtrl(QWidget* parent = nullptr);
    ~CHyperlinkCtrl() override;

    void SetText(const QString& text);
    const QString& Text() const { return m_text; }

    // Inserted before the first link that starts later, so links with equal
    // starts keep the order they were added in.
    const CLink* AddLink(int start, int length, std::uint32_t value);
    // A link the control does not hold is an internal error.
    void RemoveLink(const CLink* link);
    void ClearLinks();
    // Both move the link to its sorted place.
    void SetLinkStart(const CLink* link, int start);
    void SetLinkLength(const CLink* link, int length);
    void SetLinkMarks(const CLink* link, unsigned marks);
    std::uint32_t GetLinkValue(const CLink* link) const;

    std::size_t LinkCount() const { return m_links.size(); }
    // In sorted order.
    const CLink* Link(std::size_t index) const;
    QString LinkText(const CLink* link) const;
    // The link with the keyboard focus, -1 for none.
    int FocusedLink() const { return hasFocus() ? m_focusLink : -1; }
    // The link under a point of the control, or null.
    const CLink* LinkAt(const QPointF& point) const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void linkClicked(std::uint32_t value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    int IndexOf(const CLink* link) const;
    CLink* Mutable(const CLink* link);
    void Insert(std::unique_ptr<CLink> link);
    void LinksChanged();
    void Relayout() const;
    void LayOut(QTextLayout& layout, int width) const;
    void SetHover(const CLink* hovered);
    void ClearPressed();
    void SetFocusLink(int index);
    void Activate(const CLink* link);

    QString m_text;
    std::vector<std::unique_ptr<CLink>> m_links;
    int m_focusLink = -1;
    mutable QTextLayout m_layout;
    mutable bool m_layoutValid = false;
    mutable int m_layoutWidth = -1;
};

} // namespace bram::gui
