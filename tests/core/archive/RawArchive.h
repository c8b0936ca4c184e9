#pragma once
// Builds ".modl" images byte by byte, so tests can make archives that the
// writer never would: roots in odd places and unusual entry orders. (The
// broken images this made are kept in tests/data/archive/broken.)

#include <cstdint>
#include <string>
#include <vector>

namespace bram {
class CModuleArchive;
}

namespace bram::test {

inline constexpr std::uint32_t kNone = 0xFFFFFFFFu;

struct RawEntry {
    std::uint32_t kind = 0; // 0 directory, 1 plain, other: packed with zlib
    std::string name;       // ASCII, stored as UTF-16LE
    std::string content;    // a file's uncompressed bytes
    std::uint32_t firstChild = kNone;
    std::uint32_t nextSibling = kNone;
};

inline RawEntry Dir(std::string name, std::uint32_t child = kNone, std::uint32_t next = kNone)
{
    RawEntry e;
    e.name = std::move(name);
    e.firstChild = child;
    e.nextSibling = next;
    return e;
}

inline RawEntry File(std::string name, std::string content, std::uint32_t kind = 1, std::uint32_t next = kNone)
{
    RawEntry e = Dir(std::move(name), kNone, next);
    e.kind = kind;
    e.content = std::move(content);
    return e;
}

struct RawArchive {
    std::vector<RawEntry> entries;
    std::uint32_t directoryCompression = 1;
};

inline RawArchive Raw(std::vector<RawEntry> entries, std::uint32_t directoryCompression = 1)
{
    return {std::move(entries), directoryCompression};
}

std::string BuildRawArchive(const RawArchive& archive);

std::uint32_t GetU32(const std::string& image, std::size_t offset);

// The node names in node order.
std::vector<std::string> NodeNames(const CModuleArchive& archive);

// The tree in pre-order, "name/" for a directory and "name=data" for a file;
// every parent and sibling link is checked on the way.
std::string Tree(const CModuleArchive& archive);

} // namespace bram::test
