#pragma once
// What changed between two documents, in the terms the user knows: globals
// added, removed, retyped or renamed; categories added, removed or renamed;
// triggers added, removed, moved between categories or renamed; and for a
// changed trigger its flags, comment, locals, code and instructions with
// their places and old and new texts.

#include "document/Outline.h"

#include <string>
#include <vector>

namespace bram {

enum class EChangeSubject { Global, Category, Trigger, TriggerContent, Order, Preamble, Header };

struct SDocumentChange {
    EChangeSubject subject = EChangeSubject::Trigger;
    std::string what;  // "added", "removed", "renamed", "retyped", "moved", "changed", "flags", ...
    std::string name;  // the global, category or trigger (the new name of a renamed one)
    std::string place; // an instruction's place in the new document (the old one when removed)
    std::vector<std::string> oldLines{};
    std::vector<std::string> newLines{};
    // The instruction's node path in the new document (empty when removed).
    std::vector<std::size_t> path{};
};

// Empty exactly when the two outlines are the same.
std::vector<SDocumentChange> DiffOutlines(const SOutline& before, const SOutline& after);

// The changes as readable lines, grouped by globals, categories, triggers and
// then each changed trigger.
std::string FormatChanges(const std::vector<SDocumentChange>& changes);

} // namespace bram
