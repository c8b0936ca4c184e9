// libFuzzer entry for the archive reader.

#include "ArchiveFuzzTarget.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    bram::fuzz::CheckArchiveInput(data, size);
    return 0;
}
