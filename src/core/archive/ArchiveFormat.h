#pragma once
// Constants and little-endian helpers of the ".modl" layout, shared by the
// reader and the writer.

#include <cstdint>
#include <cstring>

namespace bram::archive_format {

inline constexpr std::uint32_t kMagicModl = 0x6C646F6D; // "modl"
inline constexpr std::uint32_t kMagicFile = 0x656C6966; // "file"
inline constexpr std::uint32_t kMagicMdir = 0x7269646D; // "mdir"
inline constexpr std::uint32_t kVersion = 1;
inline constexpr std::uint32_t kHeaderSize = 20;
// Fixed part of a directory entry including the name's terminator.
inline constexpr std::uint32_t kEntryFixedSize = 46;
inline constexpr std::uint32_t kKindDirectory = 0;

// Byte offsets of the fields of a directory entry.
inline constexpr std::uint32_t kEntryKind = 0; // compression id of a file, kKindDirectory for a folder
inline constexpr std::uint32_t kEntryOffset = 4;
inline constexpr std::uint32_t kEntrySize = 8;
inline constexpr std::uint32_t kEntryPackedSize = 12;
inline constexpr std::uint32_t kEntryChecksum = 16;
inline constexpr std::uint32_t kEntryNameLength = 20;
inline constexpr std::uint32_t kEntryNameStart = 24; // where the last path element begins
inline constexpr std::uint32_t kEntryFirstChild = 28;
inline constexpr std::uint32_t kEntryNextSibling = 32;
inline constexpr std::uint32_t kEntryPreviousSibling = 36;
inline constexpr std::uint32_t kEntryParent = 40;
inline constexpr std::uint32_t kEntryName = 44; // UTF-16LE, then a 0 terminator

inline std::uint32_t LoadU32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

inline void StoreU32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

// Deflate cannot expand data by more than about 1032:1; a claimed unpacked
// size beyond this bound cannot be justified by the packed bytes.
inline std::uint64_t MaxUnpackedSize(std::uint64_t packed) { return packed * 1032 + 1024; }

} // namespace bram::archive_format
