#pragma once
// The "Deflate" codec (id 2), which also computes every checksum of an
// archive: zlib's CRC-32 started from 0.

#include "archive/ModuleCompression.h"

namespace bram {

class CZLibCompression : public CModuleCompression {
public:
    CZLibCompression();

    std::uint32_t Checksum(const void* data, std::uint32_t length, std::uint32_t initial) const override;
    std::uint32_t CombineChecksums(std::uint32_t first, std::uint32_t second,
                                   std::uint64_t secondLength) const override;
    void Uncompress(void* destination, std::uint32_t& destinationLength, const void* source,
                    std::uint32_t sourceLength) const override;
    void Compress(void* destination, std::uint32_t& destinationLength, const void* source,
                  std::uint32_t sourceLength) const override;
    std::uint32_t CompressBound(std::uint32_t length) const override;
    // The level is kept and copied with an archive; Compress always uses
    // zlib's default level, so the bytes of a saved archive do not depend on it.
    void SetLevel(int level) override { m_level = level; }
    int GetLevel() const override { return m_level; }

private:
    int m_level = -1;
};

} // namespace bram
