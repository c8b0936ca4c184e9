#pragma once
// The codec interface of module archives. A codec is known in an archive by
// a u32 id that the file stores in each entry's kind and in the directory
// compression field; id 1 means "stored as is" and has no codec object.

#include <cstdint>
#include <string>

namespace bram {

inline constexpr std::uint32_t kNoCompression = 1;
inline constexpr std::uint32_t kDeflateCompression = 2;

class CModuleCompression {
public:
    explicit CModuleCompression(const char* name) : m_name(name) {}
    virtual ~CModuleCompression() = default;
    CModuleCompression(const CModuleCompression&) = delete;
    CModuleCompression& operator=(const CModuleCompression&) = delete;

    // Running checksum; archives always start from 0.
    virtual std::uint32_t Checksum(const void* data, std::uint32_t length, std::uint32_t initial) const = 0;
    // The checksum of two pieces one after the other, from the checksums of
    // each (started from 0) and the length of the second.
    virtual std::uint32_t CombineChecksums(std::uint32_t first, std::uint32_t second,
                                           std::uint64_t secondLength) const = 0;
    // destinationLength goes in as the buffer size and comes out as the number
    // of bytes written. Both throw CModuleException on failure.
    virtual void Uncompress(void* destination, std::uint32_t& destinationLength, const void* source,
                            std::uint32_t sourceLength) const = 0;
    virtual void Compress(void* destination, std::uint32_t& destinationLength, const void* source,
                          std::uint32_t sourceLength) const = 0;
    // The most bytes Compress may produce from that many input bytes.
    virtual std::uint32_t CompressBound(std::uint32_t length) const = 0;
    virtual void SetLevel(int level) = 0;
    virtual int GetLevel() const = 0;

    const char* GetName() const { return m_name; }

private:
    const char* m_name;
};

} // namespace bram
