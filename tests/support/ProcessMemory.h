#pragma once
// The process's resident memory, for the tests and the benchmarks that
// hold memory to a limit.

#include <cstdlib>
#include <fstream>
#include <string>

namespace bram::test {

// VmRSS in KiB now; -1 when unknown.
inline long ResidentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return -1;
}

} // namespace bram::test
