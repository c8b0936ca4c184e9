#pragma once
// The check the data file fuzzer runs on every input, shared with the test
// that replays the seed corpus in the normal test run.
//
// Any input must either load or fail with CDocumentException; a file that
// loads must be written, read again and written again to the same bytes,
// and printed.

#include "base/Text.h"
#include "code/State.h"
#include "document/ApplicationDocument.h"
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
