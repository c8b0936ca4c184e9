// The Deflate codec on its own.

#include "archive/ZLibCompression.h"
#include "ModuleFixtures.h"

#include <gtest/gtest.h>
#include <random>
#include <zlib.h>

namespace bram {
namespace {

TEST(ZLibCompressionTest, ChecksumIsTheStandardCrc32)
{
    const CZLibCompression codec;
    EXPECT_EQ(codec.Checksum("", 0, 0), 0u);
    // The check value of the ISO 3309 / ITU-T V.42 CRC-32.
    EXPECT_EQ(codec.Checksum("123456789", 9, 0), 0xCBF43926u);
    // Running: the checksum of the halves chains to that of the whole.
    EXPECT_EQ(codec.Checksum("6789", 4, codec.Checksum("12345", 5, 0)), 0xCBF43926u);

    // Long runs take a faster path than zlib's own: every length, start and
    // running value gives zlib's result.
    std::mt19937 random(7);
    std::string data(70000, '\0');
    for (char& c : data) {
        c = static_cast<char>(random());
    }
    for (std::uint32_t length = 0; length < 400; ++length) {
        for (const std::size_t start : {0, 1, 7, 16}) {
            const std::uint32_t initial = length % 3 == 0 ? 0 : static_cast<std::uint32_t>(random());
            const auto* bytes = reinterpret_cast<const Bytef*>(data.data() + start);
            ASSERT_EQ(codec.Checksum(bytes, length, initial), ::crc32(initial, bytes, length))
                << "length " << length << " from " << start;
        }
    }
    EXPECT_EQ(codec.Checksum(data.data(), 65536 + 37, 5),
              ::crc32(5, reinterpret_cast<const Bytef*>(data.data()), 65573));
}

// Packing and unpacking themselves run in every archive round trip.
TEST(ZLibCompressionTest, TooSmallDestinationsFail)
{
    const CZLibCompression codec;
    const std::string text(5000, 'a');
    std::string packed(codec.CompressBound(5000), '\0');
    std::uint32_t packedLength = static_cast<std::uint32_t>(packed.size());
    codec.Compress(packed.data(), packedLength, text.data(), 5000);
    std::string unpacked(5000, '\0');
    std::uint32_t small = 4999;
    EXPECT_EQ(test::ModuleErrorOf([&] { codec.Uncompress(unpacked.data(), small, packed.data(), packedLength); }),
              "Could not uncompress data.\n");
    std::uint32_t tiny = 2;
    EXPECT_EQ(test::ModuleErrorOf([&] { codec.Compress(unpacked.data(), tiny, text.data(), 5000); }),
              "Could not compress data.\n");
}

} // namespace
} // namespace bram
