#pragma once
// Categories group the triggers of a document for display, and hold the
// triggers' names: a trigger knows only its id and asks the category system
// for its name. Names that enter the system are normalized into script
// identifiers. Refused input changes nothing.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace bram {

class CCategorySystem;

// Turns a name into a script identifier, in place: blank to "_", German
// umlauts and sharp s spelled out, ASCII letters, digits and "_" kept,
// everything else removed.
void NormalizeName(std::string& name);
std::string NormalizedName(std::string_view name);

class CTriggerEntry {
public:
    // Normalizes the name; refuses an empty or taken name, or a null system.
    CTriggerEntry(std::string_view name, std::uint32_t id, CCategorySystem* system);

    const std::string& GetName() const { return m_name; }
    std::uint32_t GetId() const { return m_id; }
    // Refuses a name that normalizes to an empty or taken one (its own included).
    void SetName(std::string_view name);

private:
    CCategorySystem* m_system;
    std::string m_name;
    std::uint32_t m_id;
};

class CCategory {
public:
    CCategory(std::string_view name, CCategorySystem* system);
    CCategory(const CCategory&) = delete;
    CCategory& operator=(const CCategory&) = delete;

    const std::string& GetName() const { return m_name; }
    void SetName(std::string_view name);

    std::size_t GetTriggerCount() const { return m_triggers.size(); }
    CTriggerEntry* GetTrigger(std::size_t index) const;
    CTriggerEntry* AddTrigger(std::string_view name, std::uint32_t id);
    CTriggerEntry* AddTrigger(std::unique_ptr<CTriggerEntry> entry);
    CTriggerEntry* InsertTrigger(std::unique_ptr<CTriggerEntry> entry, std::size_t index);
    // Returns the entry when it is kept (destroy false); null otherwise. The
    // caller must take the entry it keeps, or it is destroyed at once.
    [[nodiscard]] std::unique_ptr<CTriggerEntry> RemoveTrigger(const CTriggerEntry* entry, bool destroy);
    // RemoveTrigger(entry, true).
    void DestroyTrigger(const CTriggerEntry* entry);
    // Index of the entry, or -1.
    int IndexOf(const CTriggerEntry* entry) const;

    bool HasTrigger(std::string_view name, bool normalized) const;
    std::string FindTriggerName(std::uint32_t id, bool& found) const;
    void CheckNewTriggerName(std::string_view name) const;

    CCategorySystem* GetSystem() const { return m_system; }

private:
    friend class CCategorySystem;

    CCategorySystem* m_system;
    std::vector<std::unique_ptr<CTriggerEntry>> m_triggers;
    std::string m_name;
    bool m_inSystem = false;
};

class CCategorySystem {
public:
    CCategorySystem() = default;
    CCategorySystem(const CCategorySystem&) = delete;
    CCategorySystem& operator=(const CCategorySystem&) = delete;

    std::size_t GetCategoryCount() const { return m_categories.size(); }
    CCategory* GetCategory(std::size_t index) const;
    CCategory* AddCategory(std::string_view name);
    CCategory* AddCategory(std::unique_ptr<CCategory> category);
    // Puts the category at that index (at most the count).
    CCategory* InsertCategory(std::unique_ptr<CCategory> category, std::size_t index);
    // Returns the category when it is kept (destroy false); null otherwise.
    // The caller must take the category it keeps, or it is destroyed at once.
    [[nodiscard]] std::unique_ptr<CCategory> RemoveCategory(const CCategory* category, bool destroy);
    int IndexOf(const CCategory* category) const;

    // The category of exactly that name, or null.
    CCategory* FindCategory(std::string_view name) const;
    // Where the entry of exactly that name is (entry names are normalized);
    // both null when none has it.
    struct TriggerLocation {
        CCategory* category = nullptr;
        CTriggerEntry* entry = nullptr;
        explicit operator bool() const { return entry != nullptr; }
    };
    TriggerLocation FindTrigger(std::string_view name) const;

    bool HasCategory(std::string_view name) const;
    bool HasTrigger(std::string_view name) const;
    std::string GetTriggerName(std::uint32_t id) const;
    // The first entry in display order of that trigger id, or null (kept in an index).
    const CTriggerEntry* FindEntry(std::uint32_t id) const;
    // The category holding the entry of that trigger id, or null.
    CCategory* FindCategoryOfTrigger(std::uint32_t id) const;
    void CheckNewCategoryName(std::string_view name) const;
    void CheckNewTriggerName(std::string_view name) const;
    void Clear();

    // Called by categories when their entries change.
    void InvalidateIndex() { m_indexValid = false; }
    // Called by an entry that was just renamed.
    void EntryRenamed(const CTriggerEntry& entry, const std::string& oldName);

private:
    friend class CCategory;
    bool HasEntryName(std::string_view normalized) const;
    void Adopt(CCategory& category);
    // The indexes follow an entry that joins or leaves one of the system's
    // categories instead of being rebuilt, so adding many entries stays linear.
    void EntryAdded(const CTriggerEntry& entry);
    void EntryRemoved(const CTriggerEntry& entry);
    void CountName(const std::string& name, int change) const;

    std::vector<std::unique_ptr<CCategory>> m_categories;
    // Trigger id -> its first entry in display order. Names are asked for
    // every trigger whenever a script is printed, so they are not searched.
    mutable std::unordered_map<std::uint32_t, const CTriggerEntry*> m_index;
    mutable bool m_indexValid = false;
    // Some id is borne by more than one entry (a hand-edited file): removing
    // the indexed one has the index built again, to find the next.
    mutable bool m_indexDuplicates = false;
    // The entry names of every category with how many entries bear each (a
    // category taken out and put back may bring a name twice), so that a new
    // name is checked at once and reading a file of many triggers stays linear.
    struct SNameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const { return std::hash<std::string_view>()(name); }
    };
    mutable std::unordered_map<std::string, std::size_t, SNameHash, std::equal_to<>> m_names;
    mutable bool m_namesValid = false;
};

} // namespace bram
