#pragma once
// What an edit changed, told to the views so that each updates only that.
//
// An edit notes its changes on the document as it makes them
// (CApplicationDocument::NoteChange); the next UpdateAllViews hands what was
// noted to the listeners as one report and starts a new one. Undo and redo
// report what the step they reverse touched. A report that holds a Document
// change (a new or opened document, a whole step undone, anything not noted
// more precisely) means: anything may have changed.
//
// Categories and entries named by a change may be gone from the category
// system already (a removal): a view compares their addresses, it does not
// read them.

#include <algorithm>
#include <cstdint>
#include <vector>

namespace bram {

class CCategory;
class CTriggerEntry;

enum class EChangeKind {
    Document,   // anything
    Categories, // categories added, removed or renamed
    // The triggers of `category`: added, removed, renamed, moved in or out;
    // with `entry`, only that entry was (added, removed or renamed).
    Entries,
    TriggerFlags, // the enabled flags of trigger `triggerId`
    Text,         // a text of trigger `triggerId` (comment, code); of 0: the preamble and header
    // The instruction tree of trigger `triggerId`, or only its node objects:
    // every step that keeps a trigger puts copies of its nodes in their place.
    Instructions,
    Variables, // globals or locals, and the parameters that use them
    Selection, // the current trigger, or its current node
};

struct SModelChange {
    EChangeKind kind = EChangeKind::Document;
    const CCategory* category = nullptr;
    std::uint32_t triggerId = 0;
    const CTriggerEntry* entry = nullptr;

    bool operator==(const SModelChange&) const = default;
};

class CChangeReport {
public:
    CChangeReport() = default;
    explicit CChangeReport(SModelChange change) { Add(change); }

    // Once each.
    void Add(SModelChange change)
    {
        if (!Has(change)) {
            m_changes.push_back(change);
        }
    }
    void Add(const CChangeReport& other)
    {
        for (const SModelChange& change : other.m_changes) {
            Add(change);
        }
    }
    bool IsEmpty() const { return m_changes.empty(); }
    const std::vector<SModelChange>& Changes() const { return m_changes; }

    // Anything may have changed.
    bool IsEverything() const { return Has(EChangeKind::Document); }
    bool Has(const SModelChange& change) const { return std::ranges::find(m_changes, change) != m_changes.end(); }
    bool Has(EChangeKind kind) const
    {
        return std::ranges::any_of(m_changes, [kind](const SModelChange& c) { return c.kind == kind; });
    }
    // The kind, or a Document change, which holds every other.
    bool Covers(EChangeKind kind) const { return IsEverything() || Has(kind); }
    // Only the selection moved: nothing a view shows of the document changed.
    bool IsSelectionOnly() const { return m_changes.size() == 1 && m_changes[0].kind == EChangeKind::Selection; }

private:
    std::vector<SModelChange> m_changes;
};

} // namespace bram
