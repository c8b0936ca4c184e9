#include "archive/ZLibCompression.h"

#include "base/Exceptions.h"

#include <zlib.h>

namespace bram {

CZLibCompression::CZLibCompression() : CModuleCompression("Deflate") {}

std::uint32_t CZLibCompression::Checksum(const void* data, std::uint32_t length, std::uint32_t initial) const
{
    return static_cast<std::uint32_t>(::crc32(initial, static_cast<const Bytef*>(data), length));
}

std::uint32_t CZLibCompression::CombineChecksums(std::uint32_t first, std::uint32_t second,
                                                 std::uint64_t secondLength) const
{
    return static_cast<std::uint32_t>(::crc32_combine(first, second, static_cast<z_off_t>(secondLength)));
}

namespace {

// zlib's compress and uncompress share one calling convention.
using ZlibCall = int (*)(Bytef*, uLongf*, const Bytef*, uLong);

void Call(ZlibCall function, void* destination, std::uint32_t& destinationLength, const void* source,
          std::uint32_t sourceLength, const char* failure)
{
    uLongf length = destinationLength;
    if (function(static_cast<Bytef*>(destination), &length, static_cast<const Bytef*>(source), sourceLength) != Z_OK) {
        throw CModuleException(failure);
    }
    destinationLength = static_cast<std::uint32_t>(length);
}

} // namespace

void CZLibCompression::Uncompress(void* destination, std::uint32_t& destinationLength, const void* source,
                                  std::uint32_t sourceLength) const
{
    Call(::uncompress, destination, destinationLength, source, sourceLength, "Could not uncompress data.\n");
}

void CZLibCompression::Compress(void* destination, std::uint32_t& destinationLength, const void* source,
                                std::uint32_t sourceLength) const
{
    Call(::compress, destination, destinationLength, source, sourceLength, "Could not compress data.\n");
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
