#include "category/CategorySystem.h"

#include "base/Exceptions.h"
#include "log/Assertion.h"

#include <algorithm>
#include <utility>

namespace bram {

namespace {

[[noreturn]] void Refuse(const char* why) { throw CNotSupportedException(why); }

template <typename T>
int IndexIn(const std::vector<std::unique_ptr<T>>& list, const T* item)
{
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i].get() == item) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace

void NormalizeName(std::string& name)
{
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_') {
            out += static_cast<char>(c);
        } else if (c == ' ') {
            out += '_';
        } else if (c == 0xC3 && i + 1 < name.size()) {
            // The umlauts and sharp s are two-byte sequences C3 xx in UTF-8.
            switch (static_cast<unsigned char>(name[i + 1])) {
            case 0x84:
                out += "Ae";
                ++i;
                break;
            case 0x96:
                out += "Oe";
                ++i;
                break;
            case 0x9C:
                out += "Ue";
                ++i;
                break;
            case 0xA4:
                out += "ae";
                ++i;
                break;
            case 0xB6:
                out += "oe";
                ++i;
                break;
            case 0xBC:
                out += "ue";
                ++i;
                break;
            case 0x9F:
                out += "ss";
                ++i;
                break;
            default: break; // removed; its continuation byte is skipped below
            }
        }
        // Every other byte (other characters and their continuation bytes) is removed.
    }
    name = std::move(out);
}

std::string NormalizedName(std::string_view name)
{
    std::string copy(name);
    NormalizeName(copy);
    return copy;
}

CTriggerEntry::CTriggerEntry(std::string_view name, std::uint32_t id, CCategorySystem* system)
    : m_system(system), m_name(NormalizedName(name)), m_id(id)
{
    if (m_name.empty()) {
        Refuse("A trigger name needs at least one letter, digit or underscore.");
    }
    if (system == nullptr) {
        throw CInvalidArgException("A trigger entry needs its category system.");
    }
    system->CheckNewTriggerName(m_name);
}

void CTriggerEntry::SetName(std::string_view name)
{
    std::string normalized = NormalizedName(name);
    m_system->CheckNewTriggerName(normalized);
    if (normalized.empty()) {
        Refuse("A trigger name needs at least one letter, digit or underscore.");
    }
    const std::string old = std::exchange(m_name, std::move(normalized));
    m_system->EntryRenamed(*this, old);
}

CCategory::CCategory(std::string_view name, CCategorySystem* system) : m_system(system)
{
    if (system == nullptr) {
        throw CInvalidArgException("A category needs its category system.");
    }
    system->CheckNewCategoryName(name);
    m_name = std::string(name);
}

void CCategory::SetName(std::string_view name)
{
    m_system->CheckNewCategoryName(name);
    m_name = std::string(name);
}

CTriggerEntry* CCategory::GetTrigger(std::size_t index) const
{
    if (index >= m_triggers.size()) {
        Refuse("Trigger index out of range.");
    }
    return m_triggers[index].get();
}

CTriggerEntry* CCategory::AddTrigger(std::string_view name, std::uint32_t id)
{
    return AddTrigger(std::make_unique<CTriggerEntry>(name, id, m_system));
}

CTriggerEntry* CCategory::AddTrigger(std::unique_ptr<CTriggerEntry> entry)
{
    BRAMBLETON_ASSERT(entry != nullptr);
    if (entry == nullptr) {
        return nullptr;
    }
    m_triggers.push_back(std::move(entry));
    if (m_inSystem) {
        m_system->EntryAdded(*m_triggers.back());
    }
    return m_triggers.back().get();
}

CTriggerEntry* CCategory::InsertTrigger(std::unique_ptr<CTriggerEntry> entry, std::size_t index)
{
    BRAMBLETON_ASSERT(entry != nullptr && index <= m_triggers.size());
    if (entry == nullptr) {
        return nullptr;
    }
    index = std::min(index, m_triggers.size());
    CTriggerEntry* inserted = m_triggers.insert(m_triggers.begin() + static_cast<long>(index), std::move(entry))->get();
    if (m_inSystem) {
        m_system->EntryAdded(*inserted);
    }
    return inserted;
}

std::unique_ptr<CTriggerEntry> CCategory::RemoveTrigger(const CTriggerEntry* entry, bool destroy)
{
    const int index = IndexIn(m_triggers, entry);
    if (index < 0) {
        return nullptr;
    }
    std::unique_ptr<CTriggerEntry> removed = std::move(m_triggers[static_cast<std::size_t>(index)]);
    m_triggers.erase(m_triggers.begin() + index);
    if (m_inSystem) {
        m_system->EntryRemoved(*removed);
    }
    if (destroy) {
        return nullptr;
    }
    return removed;
}

void CCategory::DestroyTrigger(const CTriggerEntry* entry) { (void)RemoveTrigger(entry, true); }

int CCategory::IndexOf(const CTriggerEntry* entry) const { return IndexIn(m_triggers, entry); }

bool CCategory::HasTrigger(std::string_view name, bool normalized) const
{
    const std::string wanted = normalized ? std::string(name) : NormalizedName(name);
    return std::any_of(m_triggers.begin(), m_triggers.end(),
                       [&](const auto& entry) { return entry->GetName() == wanted; });
}

std::string CCategory::FindTriggerName(std::uint32_t id, bool& found) const
{
    for (const auto& entry : m_triggers) {
        if (entry->GetId() == id) {
            found = true;
            return entry->GetName();
        }
    }
    found = false;
    return {};
}

void CCategory::CheckNewTriggerName(std::string_view name) const
{
    if (HasTrigger(name, true)) {
        Refuse("A trigger of that name exists already.");
    }
}

CCategory* CCategorySystem::GetCategory(std::size_t index) const
{
    if (index >= m_categories.size()) {
        Refuse("Category index out of range.");
    }
    return m_categories[index].get();
}

CCategory* CCategorySystem::AddCategory(std::string_view name)
{
    return AddCategory(std::make_unique<CCategory>(name, this));
}

CCategory* CCategorySystem::AddCategory(std::unique_ptr<CCategory> category)
{
    BRAMBLETON_ASSERT(category != nullptr);
    if (category == nullptr) {
        return nullptr;
    }
    m_categories.push_back(std::move(category));
    Adopt(*m_categories.back());
    return m_categories.back().get();
}

CCategory* CCategorySystem::InsertCategory(std::unique_ptr<CCategory> category, std::size_t index)
{
    BRAMBLETON_ASSERT(category != nullptr && index <= m_categories.size());
    if (category == nullptr) {
        return nullptr;
    }
    index = std::min(index, m_categories.size());
    CCategory* inserted =
        m_categories.insert(m_categories.begin() + static_cast<long>(index), std::move(category))->get();
    Adopt(*inserted);
    return inserted;
}

std::unique_ptr<CCategory> CCategorySystem::RemoveCategory(const CCategory* category, bool destroy)
{
    const int index = IndexIn(m_categories, category);
    if (index < 0) {
        return nullptr;
    }
    std::unique_ptr<CCategory> removed = std::move(m_categories[static_cast<std::size_t>(index)]);
    m_categories.erase(m_categories.begin() + index);
    removed->m_inSystem = false;
    InvalidateIndex();
    if (m_namesValid) {
        for (const auto& entry : removed->m_triggers) {
            CountName(entry->GetName(), -1);
        }
    }
    if (destroy) {
        return nullptr;
    }
    return removed;
}

int CCategorySystem::IndexOf(const CCategory* category) const { return IndexIn(m_categories, category); }

CCategory* CCategorySystem::FindCategory(std::string_view name) const
{
    for (const auto& category : m_categories) {
        if (category->GetName() == name) {
            return category.get();
        }
    }
    return nullptr;
}

CCategorySystem::TriggerLocation CCategorySystem::FindTrigger(std::string_view name) const
{
    for (const auto& category : m_categories) {
        for (std::size_t i = 0; i < category->GetTriggerCount(); ++i) {
            if (CTriggerEntry* entry = category->GetTrigger(i); entry->GetName() == name) {
                return {category.get(), entry};
            }
        }
    }
    return {};
}

bool CCategorySystem::HasCategory(std::string_view name) const
{
    return std::any_of(m_categories.begin(), m_categories.end(),
                       [&](const auto& category) { return category->GetName() == name; });
}

bool CCategorySystem::HasTrigger(std::string_view name) const { return HasEntryName(NormalizedName(name)); }

bool CCategorySystem::HasEntryName(std::string_view normalized) const
{
    if (!m_namesValid) {
        m_names.clear();
        for (const auto& category : m_categories) {
            for (const auto& entry : category->m_triggers) {
                CountName(entry->GetName(), 1);
            }
        }
        m_namesValid = true;
    }
    return m_names.find(normalized) != m_names.end();
}

void CCategorySystem::CountName(const std::string& name, int change) const
{
    auto it = m_names.find(name);
    if (change > 0) {
        if (it == m_names.end()) {
            m_names.emplace(name, 1);
        } else {
            ++it->second;
        }
    } else if (it != m_names.end() && --it->second == 0) {
        m_names.erase(it);
    }
}

void CCategorySystem::EntryAdded(const CTriggerEntry& entry)
{
    if (m_namesValid) {
        CountName(entry.GetName(), 1);
    }
    // A new id is the first of its kind wherever it stands; otherwise which
    // entry comes first in display order is worked out again when asked.
    if (m_indexValid && !m_index.emplace(entry.GetId(), &entry).second) {
        InvalidateIndex();
    }
}

void CCategorySystem::EntryRenamed(const CTriggerEntry& entry, const std::string& oldName)
{
    // Only an entry of the system's categories is counted (one a step keeps is not);
    // looking for it costs less than counting every name again.
    if (!m_namesValid) {
        return;
    }
    const bool counted =
        std::ranges::any_of(m_categories, [&entry](const auto& category) { return category->IndexOf(&entry) >= 0; });
    if (counted) {
        CountName(oldName, -1);
        CountName(entry.GetName(), 1);
    }
}

void CCategorySystem::EntryRemoved(const CTriggerEntry& entry)
{
    if (m_namesValid) {
        CountName(entry.GetName(), -1);
    }
    if (m_indexValid) {
        const auto it = m_index.find(entry.GetId());
        if (it != m_index.end() && it->second == &entry) {
            if (m_indexDuplicates) {
                InvalidateIndex(); // another entry of the same id may stand in
            } else {
                m_index.erase(it);
            }
        }
    }
}

void CCategorySystem::Adopt(CCategory& category)
{
    category.m_inSystem = true;
    for (const auto& entry : category.m_triggers) {
        EntryAdded(*entry);
    }
}

void CCategorySystem::Clear()
{
    m_categories.clear();
    m_index.clear();
    m_indexValid = true;
    m_indexDuplicates = false;
    m_names.clear();
    m_namesValid = true;
}

const CTriggerEntry* CCategorySystem::FindEntry(std::uint32_t id) const
{
    if (!m_indexValid) {
        m_index.clear();
        m_indexDuplicates = false;
        for (const auto& category : m_categories) {
            for (std::size_t i = 0; i < category->GetTriggerCount(); ++i) {
                const CTriggerEntry* entry = category->GetTrigger(i);
                // The first in display order stays.
                m_indexDuplicates = !m_index.emplace(entry->GetId(), entry).second || m_indexDuplicates;
            }
        }
        m_indexValid = true;
    }
    const auto it = m_index.find(id);
    return it == m_index.end() ? nullptr : it->second;
}

std::string CCategorySystem::GetTriggerName(std::uint32_t id) const
{
    const CTriggerEntry* entry = FindEntry(id);
    return entry != nullptr ? entry->GetName() : std::string();
}

CCategory* CCategorySystem::FindCategoryOfTrigger(std::uint32_t id) const
{
    for (const auto& category : m_categories) {
        bool found = false;
        category->FindTriggerName(id, found);
        if (found) {
            return category.get();
        }
    }
    return nullptr;
}

void CCategorySystem::CheckNewCategoryName(std::string_view name) const
{
    if (HasCategory(name)) {
        Refuse("A category of that name exists already.");
    }
}

void CCategorySystem::CheckNewTriggerName(std::string_view name) const
{
    if (HasEntryName(name)) {
        Refuse("A trigger of that name exists already.");
    }
}

} // namespace bram
