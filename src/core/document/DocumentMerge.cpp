#include "document/DocumentMerge.h"

#include "base/Text.h"
#include "category/CategorySystem.h"
#include "code/CodeTrigger.h"
#include "document/ApplicationDocument.h"
#include "document/DataFileAssembly.h"
#include "document/Outline.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace bram {

namespace {

using Version = std::optional<std::string>;

enum class ETake { Ours, Theirs, Conflict };

ETake Decide(const Version& base, const Version& ours, const Version& theirs)
{
    if (ours == theirs || base == theirs) {
        return ETake::Ours;
    }
    return base == ours ? ETake::Theirs : ETake::Conflict;
}

std::string Why(const Version& base, const Version& ours, const Version& theirs)
{
    if (!ours) {
        return "removed in ours, changed in theirs";
    }
    if (!theirs) {
        return "changed in ours, removed in theirs";
    }
    return base ? "changed differently on both sides" : "added differently on both sides";
}

// Whether the side put what it shares with the base in another order.
bool Reordered(const std::vector<std::string>& base, const std::vector<std::string>& side)
{
    const std::unordered_set<std::string> inSide(side.begin(), side.end());
    const std::unordered_set<std::string> inBase(base.begin(), base.end());
    std::vector<std::string> a;
    std::vector<std::string> b;
    for (const std::string& x : base) {
        if (inSide.contains(x)) {
            a.push_back(x);
        }
    }
    for (const std::string& x : side) {
        if (inBase.contains(x)) {
            b.push_back(x);
        }
    }
    return a != b;
}

// The order of what is kept: that of the side that reordered (ours when both
// or neither did), with what the other side has besides placed after the
// element that comes before it there.
std::vector<std::string> MergeOrder(const std::vector<std::string>& base, const std::vector<std::string>& ours,
                                    const std::vector<std::string>& theirs,
                                    const std::function<bool(const std::string&)>& keep)
{
    const bool theirsFirst = !Reordered(base, ours) && Reordered(base, theirs);
    const std::vector<std::string>& skeleton = theirsFirst ? theirs : ours;
    const std::vector<std::string>& other = theirsFirst ? ours : theirs;
    std::vector<std::string> result;
    std::unordered_set<std::string> placed;
    for (const std::string& x : skeleton) {
        if (keep(x) && placed.insert(x).second) {
            result.push_back(x);
        }
    }
    std::size_t at = 0;
    for (const std::string& x : other) {
        if (placed.contains(x)) {
            at = static_cast<std::size_t>(std::find(result.begin(), result.end(), x) - result.begin()) + 1;
        } else if (keep(x)) {
            result.insert(result.begin() + static_cast<long>(at), x);
            placed.insert(x);
            ++at;
        }
    }
    return result;
}

template <typename Item>
std::vector<std::string> NamesOf(const std::vector<Item>& items)
{
    std::vector<std::string> names;
    names.reserve(items.size());
    for (const Item& item : items) {
        names.push_back(item.name);
    }
    return names;
}

// Every name of the three lists, once.
std::vector<std::string> AllNames(const std::vector<std::string>& a, const std::vector<std::string>& b,
                                  const std::vector<std::string>& c)
{
    std::vector<std::string> all;
    std::unordered_set<std::string> seen;
    for (const auto* list : {&a, &b, &c}) {
        for (const std::string& name : *list) {
            if (seen.insert(name).second) {
                all.push_back(name);
            }
        }
    }
    return all;
}

// A trigger's body and its category merge apart: a move on one side and an
// edit on the other do not conflict.
Version TriggerVersion(const SOutline& outline, const std::string& name)
{
    const SOutlineTrigger* trigger = outline.FindTrigger(name);
    return trigger != nullptr ? Version(trigger->body) : std::nullopt;
}

Version CategoryOfTrigger(const SOutline& outline, const std::string& name)
{
    const SOutlineTrigger* trigger = outline.FindTrigger(name);
    return trigger != nullptr ? Version(trigger->category) : std::nullopt;
}

Version GlobalVersion(const std::unordered_map<std::string, const SOutlineGlobal*>& globals, const std::string& name)
{
    const auto it = globals.find(name);
    return it != globals.end() ? Version(it->second->type) : std::nullopt;
}

std::unordered_map<std::string, const SOutlineGlobal*> GlobalsByName(const SOutline& outline)
{
    std::unordered_map<std::string, const SOutlineGlobal*> map;
    for (const SOutlineGlobal& global : outline.globals) {
        map.emplace(global.name, &global);
    }
    return map;
}

const std::vector<std::string>& TriggersOf(const SOutline& outline, const std::string& category)
{
    static const std::vector<std::string> none;
    const SOutlineCategory* found = outline.FindCategory(category);
    return found != nullptr ? found->triggers : none;
}

struct SMergedTrigger {
    const SOutlineTrigger* source = nullptr;
    std::string category;
};

// The merge of one base with two sides, step by step into the assembled document.
class CMerger {
public:
    CMerger(const CApplicationDocument& base, const CApplicationDocument& ours, const CApplicationDocument& theirs,
            SMergeResult& result)
        : m_base(MakeOutline(base)), m_ours(MakeOutline(ours)), m_theirs(MakeOutline(theirs)), m_result(result)
    {
    }

    SAssembledDocument Merge()
    {
        MergeGlobals();
        DecideTriggers();
        AddCopies();
        OrderTriggers();
        MergeCategories();
        MergeTexts();
        return std::move(m_assembled);
    }

private:
    void MergeGlobals()
    {
        // Globals.
        const auto bGlobals = GlobalsByName(m_base);
        const auto oGlobals = GlobalsByName(m_ours);
        const auto tGlobals = GlobalsByName(m_theirs);
        std::unordered_map<std::string, const SOutlineGlobal*> globals;
        for (const std::string& name :
             AllNames(NamesOf(m_base.globals), NamesOf(m_ours.globals), NamesOf(m_theirs.globals))) {
            const Version vb = GlobalVersion(bGlobals, name);
            const Version vo = GlobalVersion(oGlobals, name);
            const Version vt = GlobalVersion(tGlobals, name);
            const ETake take = Decide(vb, vo, vt);
            if (take == ETake::Conflict) {
                m_result.conflicts.push_back({"global", name, Why(vb, vo, vt) + "; ours kept"});
            }
            const auto& side = take == ETake::Theirs ? tGlobals : oGlobals;
            const auto it = side.find(name);
            if (it != side.end()) {
                globals.emplace(name, it->second);
            }
        }
        for (const std::string& name :
             MergeOrder(NamesOf(m_base.globals), NamesOf(m_ours.globals), NamesOf(m_theirs.globals),
                        [&](const std::string& n) { return globals.contains(n); })) {
            m_assembled.globals.push_back(globals.at(name)->source);
        }
    }

    void DecideTriggers()
    {
        for (const std::string& name : AllNames(m_baseNames, m_ourNames, m_theirNames)) {
            const Version vb = TriggerVersion(m_base, name);
            const Version vo = TriggerVersion(m_ours, name);
            const Version vt = TriggerVersion(m_theirs, name);
            const ETake take = Decide(vb, vo, vt);
            const SOutlineTrigger* chosen =
                take == ETake::Theirs ? m_theirs.FindTrigger(name) : m_ours.FindTrigger(name);
            if (take == ETake::Conflict) {
                m_conflicting.push_back(name);
            }
            if (chosen == nullptr) {
                continue;
            }
            std::string category = chosen->category;
            // Kept on both sides: the category is a change of its own.
            const Version cb = CategoryOfTrigger(m_base, name);
            const Version co = CategoryOfTrigger(m_ours, name);
            const Version ct = CategoryOfTrigger(m_theirs, name);
            if (cb && co && ct) {
                const ETake move = Decide(cb, co, ct);
                category = move == ETake::Theirs ? *ct : *co;
                if (move == ETake::Conflict) {
                    m_result.conflicts.push_back({"trigger", name, "moved to different categories; ours kept"});
                }
            }
            m_triggers.emplace(name, SMergedTrigger{chosen, std::move(category)});
        }
    }

    void AddCopies()
    {
        std::unordered_set<std::string> taken;
        for (const auto& [name, trigger] : m_triggers) {
            taken.insert(NormalizedName(name));
        }
        for (const std::string& name : m_conflicting) {
            const Version vb = TriggerVersion(m_base, name);
            const Version vo = TriggerVersion(m_ours, name);
            const Version vt = TriggerVersion(m_theirs, name);
            const std::string why = Why(vb, vo, vt);
            std::string copyName;
            if (const SOutlineTrigger* theirsTrigger = m_theirs.FindTrigger(name)) {
                copyName = FirstFreeName(name + "_theirs", [&](const std::string& candidate) {
                    return taken.contains(NormalizedName(candidate));
                });
                taken.insert(NormalizedName(copyName));
                std::string comment =
                    StringPrintf("Merge conflict on %s: %s; this is their version.", name.c_str(), why.c_str());
                if (!theirsTrigger->comment.empty()) {
                    comment.append("\n").append(theirsTrigger->comment);
                }
                m_copies.emplace_back(name, SAssembledTrigger{.trigger = theirsTrigger->source,
                                                              .name = copyName,
                                                              .disable = true,
                                                              .replaceComment = true,
                                                              .comment = std::move(comment)});
                m_copyCategories.emplace(copyName, theirsTrigger->category);
            }
            std::string outcome = why;
            outcome += copyName.empty() ? "; ours kept" : "; theirs is beside it as ";
            outcome += copyName;
            m_result.conflicts.push_back({"trigger", name, std::move(outcome)});
        }
    }

    void OrderTriggers()
    {
        // The file's m_order, each copy after the trigger it stands beside.
        m_order = MergeOrder(m_baseNames, m_ourNames, m_theirNames,
                             [&](const std::string& n) { return m_triggers.contains(n); });
        std::unordered_map<std::string, std::vector<const SAssembledTrigger*>> copiesAfter;
        for (const auto& [name, copy] : m_copies) {
            copiesAfter[m_triggers.contains(name) ? name : std::string()].push_back(&copy);
        }
        const auto appendCopies = [&](const std::string& after) {
            const auto it = copiesAfter.find(after);
            if (it != copiesAfter.end()) {
                for (const SAssembledTrigger* copy : it->second) {
                    m_assembled.triggers.push_back(*copy);
                }
            }
        };
        for (const std::string& name : m_order) {
            m_assembled.triggers.push_back({.trigger = m_triggers.at(name).source->source});
            appendCopies(name);
        }
        appendCopies({});
    }

    void MergeCategories()
    {
        // Categories: those one side added or kept, and any a trigger needs.
        std::unordered_set<std::string> neededCategories;
        for (const SAssembledTrigger& trigger : m_assembled.triggers) {
            const std::string name = trigger.name.empty() ? trigger.trigger->GetName() : trigger.name;
            const auto copy = m_copyCategories.find(name);
            neededCategories.insert(copy != m_copyCategories.end() ? copy->second : m_triggers.at(name).category);
        }
        const auto categoryVersion = [](const SOutline& outline, const std::string& name) {
            return outline.FindCategory(name) != nullptr ? Version(std::string()) : std::nullopt;
        };
        const std::vector<std::string> categoryOrder = MergeOrder(
            NamesOf(m_base.categories), NamesOf(m_ours.categories), NamesOf(m_theirs.categories),
            [&](const std::string& n) {
                const ETake take =
                    Decide(categoryVersion(m_base, n), categoryVersion(m_ours, n), categoryVersion(m_theirs, n));
                return neededCategories.contains(n) ||
                       (take == ETake::Theirs ? m_theirs.FindCategory(n) : m_ours.FindCategory(n)) != nullptr;
            });
        std::unordered_set<std::string> placed;
        for (const std::string& category : categoryOrder) {
            const auto inCategory = [&](const std::string& n) {
                const auto it = m_triggers.find(n);
                return it != m_triggers.end() && it->second.category == category;
            };
            std::vector<std::string> list = MergeOrder(TriggersOf(m_base, category), TriggersOf(m_ours, category),
                                                       TriggersOf(m_theirs, category), inCategory);
            placed.insert(list.begin(), list.end());
            // Copies after the trigger they stand beside, or last.
            for (const auto& [name, copy] : m_copies) {
                if (m_copyCategories.at(copy.name) != category) {
                    continue;
                }
                const auto it = std::find(list.begin(), list.end(), name);
                list.insert(it != list.end() ? it + 1 : list.end(), copy.name);
            }
            m_assembled.categories.emplace_back(category, std::move(list));
        }
        // A trigger that no side's list put in its category (a move against a reorder).
        for (const std::string& name : m_order) {
            if (!placed.contains(name)) {
                for (auto& [category, list] : m_assembled.categories) {
                    if (category == m_triggers.at(name).category) {
                        list.push_back(name);
                    }
                }
            }
        }
    }

    void MergeTexts()
    {
        // Preamble and header.
        const auto text = [&](const char* kind, const std::string& vb, const std::string& vo, const std::string& vt) {
            const ETake take = Decide(vb, vo, vt);
            if (take == ETake::Conflict) {
                m_result.conflicts.push_back({kind, {}, "changed differently on both sides; ours kept"});
            }
            return take == ETake::Theirs ? vt : vo;
        };
        m_assembled.preamble = text("preamble", m_base.preamble, m_ours.preamble, m_theirs.preamble);
        m_assembled.header = text("header", m_base.header, m_ours.header, m_theirs.header);
    }

    const SOutline m_base;
    const SOutline m_ours;
    const SOutline m_theirs;
    SMergeResult& m_result;
    SAssembledDocument m_assembled;
    const std::vector<std::string> m_baseNames = NamesOf(m_base.triggers);
    const std::vector<std::string> m_ourNames = NamesOf(m_ours.triggers);
    const std::vector<std::string> m_theirNames = NamesOf(m_theirs.triggers);
    std::unordered_map<std::string, SMergedTrigger> m_triggers;
    std::vector<std::string> m_conflicting;
    std::vector<std::pair<std::string, SAssembledTrigger>> m_copies; // after the trigger of that name
    std::unordered_map<std::string, std::string> m_copyCategories;
    std::vector<std::string> m_order; // the file's
};

} // namespace

SMergeResult MergeDocuments(const CApplicationDocument& base, const CApplicationDocument& ours,
                            const CApplicationDocument& theirs)
{
    SMergeResult result;
    const SAssembledDocument assembled = CMerger(base, ours, theirs, result).Merge();

    // Read back: what is written is what opens.
    const std::string data = WriteAssembledDataFile(assembled);
    CApplicationDocument merged;
    merged.NewDocument();
    std::string error;
    if (merged.OpenDocumentData(data, "merged document", &error)) {
        result.data = merged.WriteDataFile();
    } else {
        while (!error.empty() && (error.back() == '\n' || error.back() == '.')) {
            error.pop_back();
        }
        result.conflicts.push_back({"document", {}, "the merged document does not read (" + error + "); ours kept"});
        result.data = ours.WriteDataFile();
    }
    merged.DeleteContents();
    return result;
}

} // namespace bram
