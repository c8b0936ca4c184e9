#include "archive/ZLibCompression.h"

#include "base/Exceptions.h"

#include <zlib.h>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace bram {

namespace {

#if defined(__x86_64__)
// zlib's CRC-32 by carry-less multiplication, several times faster than its
// table code on the megabytes a start-up checks: blocks of 64 bytes folded
// four lanes at a time, then one lane, then reduced (Barrett) to 32 bits.
#define BRAM_CLMUL __attribute__((target("pclmul,sse4.1")))

BRAM_CLMUL inline __m128i Load(const unsigned char* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// The lane multiplied forward by the distance the constants stand for, plus the next block.
BRAM_CLMUL inline __m128i Fold(__m128i lane, __m128i constants, __m128i next)
{
    const __m128i low = _mm_clmulepi64_si128(lane, constants, 0x00);
    const __m128i high = _mm_clmulepi64_si128(lane, constants, 0x11);
    return _mm_xor_si128(_mm_xor_si128(low, high), next);
}

// Takes and gives the register form of the CRC (the complement of zlib's
// value); length: a multiple of 16, at least 64.
BRAM_CLMUL std::uint32_t FoldedCrc(const unsigned char* p, std::size_t length, std::uint32_t crc)
{
    // x^(4*128+64), x^(4*128) mod P; x^(128+64), x^128; x^64; P and its Barrett factor (bit-reflected).
    const __m128i fold4 = _mm_set_epi64x(0x01c6e41596, 0x0154442bd4);
    const __m128i fold1 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
    const __m128i fold64 = _mm_set_epi64x(0, 0x0163cd6124);
    const __m128i barrett = _mm_set_epi64x(0x01f7011641, 0x01db710641);
    const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);
    __m128i a = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
    __m128i b = Load(p + 16);
    __m128i c = Load(p + 32);
    __m128i d = Load(p + 48);
    std::size_t at = 64;
    for (; at + 64 <= length; at += 64) {
        a = Fold(a, fold4, Load(p + at));
        b = Fold(b, fold4, Load(p + at + 16));
        c = Fold(c, fold4, Load(p + at + 32));
        d = Fold(d, fold4, Load(p + at + 48));
    }
    a = Fold(Fold(Fold(a, fold1, b), fold1, c), fold1, d);
    for (; at + 16 <= length; at += 16) {
        a = Fold(a, fold1, Load(p + at));
    }
    // 128 to 64 bits, then 64 to 32.
    __m128i x = _mm_xor_si128(_mm_srli_si128(a, 8), _mm_clmulepi64_si128(a, fold1, 0x10));
    x = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x, low32), fold64, 0x00), _mm_srli_si128(x, 4));
    __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x, low32), barrett, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), barrett, 0x00);
    return static_cast<std::uint32_t>(_mm_extract_epi32(_mm_xor_si128(x, t), 1));
}

#undef BRAM_CLMUL

bool CanFold()
{
    static const bool can = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return can;
}
#endif

} // namespace

CZLibCompression::CZLibCompression() : CModuleCompression("Deflate") {}

std::uint32_t CZLibCompression::Checksum(const void* data, std::uint32_t length, std::uint32_t initial) const
{
    const auto* p = static_cast<const unsigned char*>(data);
    std::uint32_t crc = initial;
#if defined(__x86_64__)
    if (length >= 64 && CanFold()) {
        const std::uint32_t whole = length & ~15U;
        crc = ~FoldedCrc(p, whole, ~crc);
        p += whole;
        length -= whole;
    }
#endif
    return static_cast<std::uint32_t>(::crc32(crc, p, length));
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
