#pragma once
// The check the archive fuzzer runs on every input, shared with the test
// that replays the seed corpus in the normal test run.
//
// Any input must either open or fail with CModuleException; an archive that
// opens must survive being written and read again with the same nodes.

#include "archive/ModuleArchive.h"
#include "base/Exceptions.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace bram::fuzz {

// Returns true when the input opened as an archive.
inline bool CheckArchiveInput(const std::uint8_t* data, std::size_t size)
{
    CModuleArchive archive;
    try {
        archive.OpenMemory(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const CModuleException&) {
        return false;
    }
    // Every node is reachable by its own name or lies behind a name that
    // leads elsewhere; either way the lookup must terminate.
    for (std::uint32_t i = 0; i < archive.GetNodeCount(); ++i) {
        (void)archive.Find(archive.GetNode(i)->GetName());
    }
    CModuleArchive reread;
    reread.OpenMemory(archive.SaveToMemory());
    if (reread.GetNodeCount() != archive.GetNodeCount()) {
        std::abort();
    }
    for (std::uint32_t i = 0; i < archive.GetNodeCount(); ++i) {
        if (reread.GetNode(i)->GetName() != archive.GetNode(i)->GetName() ||
            reread.GetNode(i)->GetDataView() != archive.GetNode(i)->GetDataView() ||
            reread.GetNode(i)->IsDirectory() != archive.GetNode(i)->IsDirectory()) {
            std::abort();
        }
    }
    return true;
}

} // namespace bram::fuzz
