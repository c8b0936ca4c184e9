// libFuzzer entry for the data file reader, on the sample language.

#include "DataFileFuzzTarget.h"

#include "base/Paths.h"

#include <cstdio>

namespace {

bool SetUp()
{
    const std::string root = BRAMBLETON_EXAMPLES_SOURCE_DIR;
    const auto core = bram::ReadWholeFile(root + "/modules-src/core/Data/data.xml");
    const auto standard = bram::ReadWholeFile(root + "/modules-src/standard/Data/data.xml");
    if (!core || !standard) {
        std::fprintf(stderr, "data-file-fuzzer: the sample modules are missing\n");
        std::abort();
    }
    bram::fuzz::SetUpDataFileLanguage(*core, *standard);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool ready = SetUp();
    (void)ready;
    bram::fuzz::CheckDataFileInput(data, size);
    return 0;
}
