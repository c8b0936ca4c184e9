// make-datafile TRIGGERS OUTFILE: writes a data file of that many triggers
// for the sample workspace (see tests/support/SampleDataFile.h), for trying
// the programs on big documents.

#include "SampleDataFile.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    char* end = nullptr;
    const long triggers = argc == 3 ? std::strtol(argv[1], &end, 10) : -1;
    if (argc != 3 || end == argv[1] || *end != '\0' || triggers < 0 || triggers > 10000000) {
        std::fprintf(stderr, "usage: make-datafile TRIGGERS OUTFILE\n");
        return 2;
    }
    std::FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr) {
        std::perror(argv[2]);
        return 1;
    }
    bool ok = true;
    const auto size = bram::test::WriteSampleDataFile(static_cast<int>(triggers), [&](std::string_view piece) {
        ok = ok && std::fwrite(piece.data(), 1, piece.size(), out) == piece.size();
    });
    ok = std::fclose(out) == 0 && ok;
    if (!ok) {
        std::perror(argv[2]);
        return 1;
    }
    std::printf("%s: %ld triggers, %zu instructions, %zu bytes\n", argv[2], triggers, size.instructions, size.bytes);
    return 0;
}
