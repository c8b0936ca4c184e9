#pragma once
// The check the data file fuzzer runs on every input, shared with the test
// that replays the seed corpus in the normal test run.
//
// Any input must either load or fail with CDocumentException; a file that
// loads must be written, read again and written again to the same bytes,
// and printed. The same bytes as a clipboard fragment are either pasted
// whole, into a document that then reads back the same, or refused without
// a trace.

#include "base/Text.h"
#include "code/State.h"
#include "document/ApplicationDocument.h"
#include "document/Clipboard.h"
#include "document/DocumentEdits.h"
#include "generation/GenerationSettings.h"
#include "log/Assertion.h"
#include "modules/Module.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace bram::fuzz {

// The sample language's two modules and generation settings, made once from
// their module XML (the files of examples/modules-src).
void SetUpDataFileLanguage(const std::string& coreXml, const std::string& standardXml);

inline void CheckFragmentInput(std::string_view input)
{
    CApplicationDocument target;
    target.NewDocument();
    CCategory* category = CreateCategory(target);
    CreateTrigger(target, category);
    const CCodeTrigger* trigger = target.GetState()->GetTrigger(0);
    const CCodeBase* block = trigger->GetBlockCount() > 0 ? trigger->GetBlock(0) : nullptr;
    const std::string before = target.WriteDataFile();
    const std::size_t steps = target.GetUndoCount();
    const SPasteOutcome outcome = Paste(target, input, {.category = category, .node = block});
    const std::string after = target.WriteDataFile();
    if (outcome.result != EPasteResult::Pasted) {
        if (after != before || target.GetUndoCount() != steps) {
            std::abort();
        }
        return;
    }
    CApplicationDocument again;
    again.NewDocument();
    again.ReadDataFileFromMemory(after, "pasted");
    if (again.WriteDataFile() != after) {
        std::abort();
    }
}

// Returns true when the input loaded.
inline bool CheckDataFileInput(const std::uint8_t* data, std::size_t size)
{
    const unsigned assertions = GetAssertionFailureCount();
    CApplicationDocument document;
    document.NewDocument();
    bool loaded = true;
    try {
        document.ReadDataFileFromMemory(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz");
    } catch (const CDocumentException&) {
        loaded = false;
    }
    if (loaded) {
        const std::string written = document.WriteDataFile();
        CApplicationDocument again;
        again.NewDocument();
        again.ReadDataFileFromMemory(written, "again");
        if (again.WriteDataFile() != written) {
            std::abort();
        }
    }
    CheckFragmentInput(std::string_view(reinterpret_cast<const char*>(data), size));
    // Hostile input must never reach an internal check of the reader or writer.
    if (GetAssertionFailureCount() != assertions) {
        std::abort();
    }
    if (loaded) {
        // Printing must not crash; a literal that holds a placeholder text
        // does reach the check of the placeholder filling, so it is not counted.
        (void)document.GetState()->GetCode(0);
    }
    return loaded;
}

} // namespace bram::fuzz
