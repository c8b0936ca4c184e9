#include "document/DocumentDiff.h"

#include <dtl/dtl.hpp>

#include <map>
#include <set>

namespace bram {

namespace {

struct SEdit {
    int type;           // dtl::SES_ADD, SES_DELETE or SES_COMMON
    std::size_t before; // index in the old sequence (not for added ones)
    std::size_t after;  // index in the new sequence (not for removed ones)
};

// The shortest edit script between two sequences of lines.
std::vector<SEdit> SequenceEdits(const std::vector<std::string>& before, const std::vector<std::string>& after)
{
    dtl::Diff<std::string, std::vector<std::string>> diff(before, after);
    diff.onHuge();
    diff.compose();
    std::vector<SEdit> edits;
    for (const auto& [element, info] : diff.getSes().getSequence()) {
        edits.push_back({info.type, static_cast<std::size_t>(std::max(info.beforeIdx - 1, 0LL)),
                         static_cast<std::size_t>(std::max(info.afterIdx - 1, 0LL))});
    }
    return edits;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    if (text.empty()) {
        return lines;
    }
    std::size_t from = 0;
    for (;;) {
        const std::size_t end = text.find('\n', from);
        lines.push_back(OutlineEscaped(text.substr(from, end == std::string::npos ? end : end - from)));
        if (end == std::string::npos) {
            return lines;
        }
        from = end + 1;
    }
}

// Runs of removed and added elements; a removal followed by additions pairs
// up as changes.
template <typename Report>
void WalkEdits(const std::vector<SEdit>& edits, const Report& report)
{
    std::vector<std::size_t> removed;
    std::vector<std::size_t> added;
    const auto flush = [&] {
        const std::size_t paired = std::min(removed.size(), added.size());
        for (std::size_t i = 0; i < paired; ++i) {
            report("changed", removed[i], added[i]);
        }
        for (std::size_t i = paired; i < removed.size(); ++i) {
            report("removed", removed[i], std::size_t(-1));
        }
        for (std::size_t i = paired; i < added.size(); ++i) {
            report("added", std::size_t(-1), added[i]);
        }
        removed.clear();
        added.clear();
    };
    for (const SEdit& edit : edits) {
        if (edit.type == dtl::SES_DELETE) {
            removed.push_back(edit.before);
        } else if (edit.type == dtl::SES_ADD) {
            added.push_back(edit.after);
        } else {
            flush();
        }
    }
    flush();
}

void DiffText(std::vector<SDocumentChange>& out, EChangeSubject subject, const std::string& what,
              const std::string& name, const std::string& before, const std::string& after)
{
    if (before != after) {
        out.push_back({.subject = subject,
                       .what = what,
                       .name = name,
                       .place = {},
                       .oldLines = Lines(before),
                       .newLines = Lines(after)});
    }
}

// An instruction is the same where its context, text and values are.
void DiffInstructions(std::vector<SDocumentChange>& out, const SOutlineTrigger& before, const SOutlineTrigger& after)
{
    const auto keys = [](const SOutlineTrigger& trigger) {
        std::vector<std::string> result;
        result.reserve(trigger.instructions.size());
        for (const SOutlineInstruction& line : trigger.instructions) {
            result.push_back(line.context + "\n" + line.text + "\n" + line.value);
        }
        return result;
    };
    const std::vector<std::string> oldKeys = keys(before);
    const std::vector<std::string> newKeys = keys(after);
    if (oldKeys == newKeys) {
        return;
    }
    WalkEdits(SequenceEdits(oldKeys, newKeys), [&](const char* what, std::size_t b, std::size_t a) {
        const SOutlineInstruction* o = b != std::size_t(-1) ? &before.instructions[b] : nullptr;
        const SOutlineInstruction* n = a != std::size_t(-1) ? &after.instructions[a] : nullptr;
        std::vector<std::string> oldLines;
        std::vector<std::string> newLines;
        if (o != nullptr) {
            oldLines = {o->text, "= " + o->value};
        }
        if (n != nullptr) {
            newLines = {n->text, "= " + n->value};
        }
        // Where only the values differ, the texts say nothing new.
        if (o != nullptr && n != nullptr && o->text == n->text) {
            oldLines.erase(oldLines.begin());
            newLines.erase(newLines.begin());
        } else if (o != nullptr && n != nullptr && o->value == n->value) {
            oldLines.pop_back();
            newLines.pop_back();
        }
        std::string place = n != nullptr ? n->place : o->place;
        if (o != nullptr && n != nullptr && o->place != n->place) {
            place = o->place + " -> " + n->place;
        }
        out.push_back({.subject = EChangeSubject::TriggerContent,
                       .what = what,
                       .name = after.name,
                       .place = std::move(place),
                       .oldLines = std::move(oldLines),
                       .newLines = std::move(newLines),
                       .path = n != nullptr ? n->path : std::vector<std::size_t>()});
    });
}

void DiffTrigger(std::vector<SDocumentChange>& out, const SOutlineTrigger& before, const SOutlineTrigger& after)
{
    const auto add = [&](const std::string& what, const std::string& place, std::vector<std::string> oldLines,
                         std::vector<std::string> newLines) {
        out.push_back({.subject = EChangeSubject::TriggerContent,
                       .what = what,
                       .name = after.name,
                       .place = place,
                       .oldLines = std::move(oldLines),
                       .newLines = std::move(newLines)});
    };
    const std::size_t first = out.size();
    if (before.flags != after.flags) {
        add("flags", {}, {before.flags}, {after.flags});
    }
    DiffText(out, EChangeSubject::TriggerContent, "comment", after.name, before.comment, after.comment);
    DiffText(out, EChangeSubject::TriggerContent, "code", after.name, before.code, after.code);
    if (before.locals != after.locals) {
        WalkEdits(SequenceEdits(before.locals, after.locals), [&](const char* what, std::size_t b, std::size_t a) {
            add(std::string("local ") + what, {},
                b != std::size_t(-1) ? std::vector{before.locals[b]} : std::vector<std::string>{},
                a != std::size_t(-1) ? std::vector{after.locals[a]} : std::vector<std::string>{});
        });
    }
    if (before.blocks != after.blocks) {
        add("blocks", {}, before.blocks, after.blocks);
    }
    DiffInstructions(out, before, after);
    // Whatever else the body holds (the blocks of a structure): the trigger changed.
    if (out.size() == first && before.body != after.body) {
        add("changed", {}, {}, {});
    }
}

template <typename Item, typename Key>
std::vector<std::string> KeysOf(const std::vector<Item>& items, const Key& key)
{
    std::vector<std::string> keys;
    keys.reserve(items.size());
    for (const Item& item : items) {
        keys.push_back(key(item));
    }
    return keys;
}

void DiffGlobals(std::vector<SDocumentChange>& out, const SOutline& before, const SOutline& after)
{
    // Globals: by name; a removed and an added one of the same type and uses are a rename.
    std::vector<const SOutlineGlobal*> removedGlobals;
    for (const SOutlineGlobal& global : before.globals) {
        const SOutlineGlobal* now = after.FindGlobal(global.name);
        if (now == nullptr) {
            removedGlobals.push_back(&global);
        } else if (now->type != global.type) {
            out.push_back({.subject = EChangeSubject::Global,
                           .what = "retyped",
                           .name = global.name,
                           .place = {},
                           .oldLines = {global.type},
                           .newLines = {now->type}});
        }
    }
    for (const SOutlineGlobal& global : after.globals) {
        if (before.FindGlobal(global.name) != nullptr) {
            continue;
        }
        auto renamed = std::find_if(removedGlobals.begin(), removedGlobals.end(), [&](const SOutlineGlobal* old) {
            return old->type == global.type && old->uses == global.uses;
        });
        if (renamed != removedGlobals.end()) {
            out.push_back({.subject = EChangeSubject::Global,
                           .what = "renamed",
                           .name = global.name,
                           .place = {},
                           .oldLines = {(*renamed)->name},
                           .newLines = {global.name}});
            removedGlobals.erase(renamed);
        } else {
            out.push_back({.subject = EChangeSubject::Global,
                           .what = "added",
                           .name = global.name,
                           .place = {},
                           .oldLines = {},
                           .newLines = {global.type}});
        }
    }
    for (const SOutlineGlobal* global : removedGlobals) {
        out.push_back({.subject = EChangeSubject::Global,
                       .what = "removed",
                       .name = global->name,
                       .place = {},
                       .oldLines = {global->type},
                       .newLines = {}});
    }
}

void DiffCategories(std::vector<SDocumentChange>& out, const SOutline& before, const SOutline& after)
{
    // Categories: by name; a removed and an added one with the same triggers are a rename.
    std::vector<const SOutlineCategory*> removedCategories;
    for (const SOutlineCategory& category : before.categories) {
        if (after.FindCategory(category.name) == nullptr) {
            removedCategories.push_back(&category);
        }
    }
    for (const SOutlineCategory& category : after.categories) {
        if (before.FindCategory(category.name) != nullptr) {
            continue;
        }
        auto renamed = std::find_if(removedCategories.begin(), removedCategories.end(),
                                    [&](const SOutlineCategory* old) { return old->triggers == category.triggers; });
        if (renamed != removedCategories.end()) {
            out.push_back({.subject = EChangeSubject::Category,
                           .what = "renamed",
                           .name = category.name,
                           .place = {},
                           .oldLines = {(*renamed)->name},
                           .newLines = {category.name}});
            removedCategories.erase(renamed);
        } else {
            out.push_back({.subject = EChangeSubject::Category, .what = "added", .name = category.name, .place = {}});
        }
    }
    for (const SOutlineCategory* category : removedCategories) {
        out.push_back({.subject = EChangeSubject::Category, .what = "removed", .name = category->name, .place = {}});
    }
}

// The category's new name when the changes so far rename it.
const std::string& RenamedCategory(const std::vector<SDocumentChange>& changes, const std::string& name)
{
    for (const SDocumentChange& change : changes) {
        if (change.subject == EChangeSubject::Category && change.what == "renamed" && change.oldLines.front() == name) {
            return change.name;
        }
    }
    return name;
}

// A trigger in a renamed category has not moved.
void DiffTriggers(std::vector<SDocumentChange>& out, const SOutline& before, const SOutline& after)
{
    // Triggers: by name; a removed and an added one with the same body are a rename.
    std::multimap<std::string, const SOutlineTrigger*> removedByBody;
    for (const SOutlineTrigger& trigger : before.triggers) {
        if (after.FindTrigger(trigger.name) == nullptr) {
            removedByBody.emplace(trigger.body, &trigger);
        }
    }
    std::vector<std::pair<const SOutlineTrigger*, const SOutlineTrigger*>> changed;
    for (const SOutlineTrigger& trigger : after.triggers) {
        const SOutlineTrigger* old = before.FindTrigger(trigger.name);
        if (old == nullptr) {
            const auto renamed = removedByBody.find(trigger.body);
            if (renamed != removedByBody.end()) {
                old = renamed->second;
                removedByBody.erase(renamed);
                out.push_back({.subject = EChangeSubject::Trigger,
                               .what = "renamed",
                               .name = trigger.name,
                               .place = {},
                               .oldLines = {old->name},
                               .newLines = {trigger.name}});
            } else {
                out.push_back({.subject = EChangeSubject::Trigger,
                               .what = "added",
                               .name = trigger.name,
                               .place = {},
                               .oldLines = {},
                               .newLines = {trigger.category}});
                continue;
            }
        }
        if (RenamedCategory(out, old->category) != trigger.category) {
            out.push_back({.subject = EChangeSubject::Trigger,
                           .what = "moved",
                           .name = trigger.name,
                           .place = {},
                           .oldLines = {old->category},
                           .newLines = {trigger.category}});
        }
        if (old->body != trigger.body) {
            changed.emplace_back(old, &trigger);
        }
    }
    std::vector<const SOutlineTrigger*> removedTriggers;
    for (const auto& [body, trigger] : removedByBody) {
        removedTriggers.push_back(trigger);
    }
    std::sort(removedTriggers.begin(), removedTriggers.end());
    for (const SOutlineTrigger* trigger : removedTriggers) {
        out.push_back({.subject = EChangeSubject::Trigger,
                       .what = "removed",
                       .name = trigger->name,
                       .place = {},
                       .oldLines = {trigger->category},
                       .newLines = {}});
    }
    for (const auto& [old, now] : changed) {
        DiffTrigger(out, *old, *now);
    }
}

void DiffOrders(std::vector<SDocumentChange>& out, const SOutline& before, const SOutline& after)
{
    // Orders: of the triggers in their categories, of the categories, and the file's own.
    const std::vector<std::string> oldCategories =
        KeysOf(before.categories, [](const SOutlineCategory& c) { return c.name; });
    const std::vector<std::string> newCategories =
        KeysOf(after.categories, [](const SOutlineCategory& c) { return c.name; });
    const auto common = [](const std::vector<std::string>& list, const auto& contains) {
        std::vector<std::string> kept;
        for (const std::string& name : list) {
            if (contains(name)) {
                kept.push_back(name);
            }
        }
        return kept;
    };
    const auto inAfter = [&](const std::string& name) { return after.FindCategory(name) != nullptr; };
    const auto inBefore = [&](const std::string& name) { return before.FindCategory(name) != nullptr; };
    if (common(oldCategories, inAfter) != common(newCategories, inBefore)) {
        out.push_back({.subject = EChangeSubject::Order,
                       .what = "categories",
                       .name = {},
                       .place = {},
                       .oldLines = oldCategories,
                       .newLines = newCategories});
    }
    for (const SOutlineCategory& category : after.categories) {
        const SOutlineCategory* old = before.FindCategory(category.name);
        if (old == nullptr) {
            continue;
        }
        const auto wasThere = [&](const std::string& name) {
            return std::find(old->triggers.begin(), old->triggers.end(), name) != old->triggers.end();
        };
        const auto isThere = [&](const std::string& name) {
            return std::find(category.triggers.begin(), category.triggers.end(), name) != category.triggers.end();
        };
        if (common(old->triggers, isThere) != common(category.triggers, wasThere)) {
            out.push_back({.subject = EChangeSubject::Order,
                           .what = "triggers",
                           .name = category.name,
                           .place = {},
                           .oldLines = old->triggers,
                           .newLines = category.triggers});
        }
    }
}

} // namespace

std::vector<SDocumentChange> DiffOutlines(const SOutline& before, const SOutline& after)
{
    std::vector<SDocumentChange> out;
    DiffGlobals(out, before, after);
    DiffCategories(out, before, after);
    DiffTriggers(out, before, after);
    DiffOrders(out, before, after);
    DiffText(out, EChangeSubject::Preamble, "changed", {}, before.preamble, after.preamble);
    DiffText(out, EChangeSubject::Header, "changed", {}, before.header, after.header);
    // Whatever is left (the file's own order of the triggers, the needed modules).
    if (out.empty() && RenderOutline(before) != RenderOutline(after)) {
        out.push_back({.subject = EChangeSubject::Order,
                       .what = "file",
                       .name = {},
                       .place = {},
                       .oldLines = KeysOf(before.triggers, [](const SOutlineTrigger& t) { return t.name; }),
                       .newLines = KeysOf(after.triggers, [](const SOutlineTrigger& t) { return t.name; })});
    }
    return out;
}

namespace {

void AppendLines(std::string& out, const char* indent, const SDocumentChange& change)
{
    for (const std::string& line : change.oldLines) {
        out.append(indent).append("- ").append(line) += '\n';
    }
    for (const std::string& line : change.newLines) {
        out.append(indent).append("+ ").append(line) += '\n';
    }
}

// One line of a global, category or trigger as a whole.
void AppendEntityLine(std::string& out, const SDocumentChange& change)
{
    out += "  " + change.what + " " + OutlineEscaped(change.name);
    const std::vector<std::string>& shown = change.newLines.empty() ? change.oldLines : change.newLines;
    if (change.what == "renamed") {
        out += " (was " + OutlineEscaped(change.oldLines.front()) + ")";
    } else if (change.what == "retyped" || change.what == "moved") {
        out += ": " + OutlineEscaped(change.oldLines.front()) + " -> " + OutlineEscaped(change.newLines.front());
    } else if (change.subject == EChangeSubject::Global) {
        out += ": " + shown.front();
    } else if (change.subject == EChangeSubject::Trigger) {
        out += " (in " + OutlineEscaped(shown.front()) + ")";
    }
    out += '\n';
}

void AppendTriggerContents(std::string& out, const std::vector<SDocumentChange>& changes)
{
    const std::string* current = nullptr;
    for (const SDocumentChange& change : changes) {
        if (change.subject != EChangeSubject::TriggerContent) {
            continue;
        }
        if (current == nullptr || change.name != *current) {
            out += "trigger " + OutlineEscaped(change.name) + "\n";
            current = &change.name;
        }
        out += "  " + (change.place.empty() ? change.what : change.place + " " + change.what) + "\n";
        AppendLines(out, "    ", change);
    }
}

} // namespace

std::string FormatChanges(const std::vector<SDocumentChange>& changes)
{
    std::string out;
    const std::pair<EChangeSubject, const char*> groups[] = {{EChangeSubject::Global, "globals"},
                                                             {EChangeSubject::Category, "categories"},
                                                             {EChangeSubject::Trigger, "triggers"}};
    for (const auto& [subject, heading] : groups) {
        bool first = true;
        for (const SDocumentChange& change : changes) {
            if (change.subject == subject) {
                out += first ? std::string(heading) + "\n" : std::string();
                first = false;
                AppendEntityLine(out, change);
            }
        }
    }
    AppendTriggerContents(out, changes);
    for (const SDocumentChange& change : changes) {
        if (change.subject == EChangeSubject::Order) {
            out += "order of " + change.what + (change.name.empty() ? "" : " in " + OutlineEscaped(change.name)) + "\n";
            AppendLines(out, "  ", change);
        } else if (change.subject == EChangeSubject::Preamble || change.subject == EChangeSubject::Header) {
            out += change.subject == EChangeSubject::Preamble ? "preamble changed\n" : "header changed\n";
            AppendLines(out, "  ", change);
        }
    }
    return out;
}

} // namespace bram
