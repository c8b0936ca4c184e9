#pragma once
// Data files of any size for the sample workspace (modules "core" and
// "standard" of examples/), for the tests and the benchmarks: each trigger
// has events, conditions and actions with loops, conditions, nested calls,
// predefined values, globals, locals, trigger variables of both kinds,
// constants and literals of every kind, texts with "&", "<" and "]]>", a
// disabled and an incomplete instruction; some triggers are disabled, off
// at the beginning, commented or turned into custom code.
//
// The text is exactly what the data file writer makes of the document it
// describes, so reading and writing it again gives the same bytes. It is
// produced in pieces, so a file larger than the memory at hand can be written.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace bram::test {

struct SSampleFileSize {
    std::size_t bytes = 0;
    // Instructions in blocks and calls given as values.
    std::size_t instructions = 0;
};

// Hands the file to `sink` in pieces of about a megabyte.
SSampleFileSize WriteSampleDataFile(int triggers, const std::function<void(std::string_view)>& sink);
std::string SampleDataFile(int triggers);

} // namespace bram::test
