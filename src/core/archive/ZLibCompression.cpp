#include "archive/ZLibCompression.h"

#include "base/Exceptions.h"

#include <zlib.h>

namespace bram {

CZLibCompression::CZLibCompression() : CModuleCompression("Deflate") {}

std::uint32_t CZLibCompression::Checksum(const void* data, std::uint32_t length, std::uint32_t initial) const
{
    return static_cast<std::uint32_t>(::crc32(initial, static_cast<const Bytef*>(data), length));
}

void CZLibCompression::Uncompress(void* destination, std::uint32_t& destinationLength, const void* source,
                                  std::uint32_t sourceLength) const
{
    uLongf length = destinationLength;
    if (::uncompress(static_cast<Bytef*>(destination), &length, static_cast<const Bytef*>(source), sourceLength) !=
        Z_OK) {
        throw CModuleException("Could not uncompress data.\n");
    }
    destinationLength = static_cast<std::uint32_t>(length);
}

void CZLibCompression::Compress(void* destination, std::uint32_t& destinationLength, const void* source,
                                std::uint32_t sourceLength) const
{
    uLongf length = destinationLength;
    if (::compress(static_cast<Bytef*>(destination), &length, static_cast<const Bytef*>(source), sourceLength) !=
        Z_OK) {
        throw CModuleException("Could not compress data.\n");
    }
    destinationLength = static_cast<std::uint32_t>(length);
}

std::uint32_t CZLibCompression::CompressBound(std::uint32_t length) const
{
    const uLong bound = ::compressBound(length);
    // Beyond 4 GiB the archive cannot hold the packed size anyway.
    if (bound > 0xFFFFFFFFu) {
        throw CModuleException("Could not compress data.\n");
    }
    return static_cast<std::uint32_t>(bound);
}

} // namespace bram
