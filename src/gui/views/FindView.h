#pragma once
// The find bar: a search box with its two options over one results list
// (trigger, place, text), which also lists the usages of a variable. The
// list follows the document while the bar is shown; hidden, it catches up
// when shown again or stepped through. A result names its target by trigger
// id and node path only, so a result never points at a node of an older
// state: activating one asks the main window to find the target again.

#include "document/Search.h"

#include <QWidget>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QTimer;
class QTreeWidget;

namespace bram {
class CApplicationDocument;
class CTypeInfo;
} // namespace bram

namespace bram::gui {

// A variable named the way it survives the state copies of undo steps: a
// global or a local (of a trigger) by name, a trigger variable by its
// trigger and its type.
struct SVariableRef {
    enum class EScope { Global, Local, Trigger };
    EScope scope = EScope::Global;
    std::uint32_t triggerId = 0;
    std::string name{};
    const CTypeInfo* type = nullptr;

    // Null when the state does not hold the variable.
    static std::optional<SVariableRef> Of(const CState& state, const CVariableBase& variable);
    const CVariableBase* Resolve(const CState& state) const;
};

class CFindView : public QWidget {
    Q_OBJECT
public:
    explicit CFindView(CApplicationDocument& document, QWidget* parent = nullptr);
    ~CFindView() override;

    // Text search: the search box shows again and takes the focus, its text selected.
    void StartFind();
    // Lists the usages of the variable of the current state; false when the state does not hold it.
    bool ShowUsages(const CVariableBase& variable);
    bool IsUsages() const { return m_usages.has_value(); }
    // Runs the search (or the usages) again on the current state, at once.
    void Refresh();
    // Whether a refresh is waiting for the typing or editing to pause.
    bool IsStale() const { return m_stale; }
    const std::vector<SMatch>& Matches() const { return m_matches; }
    // Moves to the next or previous result, wrapping, and activates it; false without results.
    bool Step(bool forward);

    QLabel* Title() const { return m_title; }
    QLineEdit* SearchBox() const { return m_search; }
    QCheckBox* CaseSensitiveBox() const { return m_caseSensitive; }
    QCheckBox* WholeWordBox() const { return m_wholeWord; }
    QTreeWidget* Results() const { return m_results; }
    QLabel* Status() const { return m_status; }

signals:
    // length: of the searched text at the match's offset (0 for usages).
    void MatchActivated(const bram::SMatch& match, std::size_t length);
    // Escape: the bar wants to be hidden.
    void CloseRequested();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void SetMode(bool usages);
    void Activate(int row);
    // Rebuilds the list when the matches differ from the shown ones, keeping the current row.
    void Show(std::vector<SMatch> matches);

    CApplicationDocument& m_document;
    QLabel* m_title;
    QLineEdit* m_search;
    QCheckBox* m_caseSensitive;
    QCheckBox* m_wholeWord;
    QLabel* m_status;
    QTreeWidget* m_results;
    std::vector<SMatch> m_matches;
    std::optional<SVariableRef> m_usages;
    bool m_stale = false;
    // Typing and edits refresh the list once they pause: a search of a big
    // document on every key would hold up the typing.
    QTimer* m_refresh = nullptr;
    static constexpr int kTypingPauseMs = 150;
    static constexpr int kEditPauseMs = 300;
    static constexpr qsizetype kMeasuredRows = 2000;
    int m_listener = 0;
};

} // namespace bram::gui
