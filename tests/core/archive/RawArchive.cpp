#include "RawArchive.h"

#include <zlib.h>

namespace bram::test {

std::uint32_t Crc(const std::string& data)
{
    return static_cast<std::uint32_t>(
        ::crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

std::uint32_t GetU32(const std::string& image, std::size_t offset)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) {
        v = v << 8 | static_cast<unsigned char>(image.at(offset + static_cast<std::size_t>(i)));
    }
    return v;
}

void PutU32(std::string& image, std::size_t offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        image.at(offset + static_cast<std::size_t>(i)) = static_cast<char>(value >> (8 * i));
    }
}

static void Append(std::string& out, std::uint32_t value)
{
    out.append(4, '\0');
    PutU32(out, out.size() - 4, value);
}

std::string Deflate(const std::string& data)
{
    uLongf length = ::compressBound(data.size());
    std::string out(length, '\0');
    ::compress(reinterpret_cast<Bytef*>(out.data()), &length, reinterpret_cast<const Bytef*>(data.data()), data.size());
    out.resize(length);
    return out;
}

void FixBody(std::string& image)
{
    PutU32(image, 12, static_cast<std::uint32_t>(image.size() - 20));
    PutU32(image, 16, Crc(image.substr(20)));
}

std::string BuildRawArchive(const RawArchive& archive)
{
    std::string data;
    std::string directory;
    Append(directory, archive.entryCount.value_or(static_cast<std::uint32_t>(archive.entries.size())));
    for (const RawEntry& e : archive.entries) {
        std::uint32_t offset = 0;
        std::uint32_t packed = 0;
        std::uint32_t size = 0;
        std::uint32_t sum = 0;
        if (e.kind != 0) {
            std::string stored = e.stored.value_or(e.kind == 1 ? e.content : Deflate(e.content));
            offset = static_cast<std::uint32_t>(8 + data.size());
            size = static_cast<std::uint32_t>(e.content.size());
            packed = e.kind == 1 ? 0 : static_cast<std::uint32_t>(stored.size());
            sum = Crc(e.content);
            data += stored;
        }
        Append(directory, e.kind);
        Append(directory, e.offset.value_or(offset));
        Append(directory, e.size.value_or(size));
        Append(directory, e.packedSize.value_or(packed));
        Append(directory, e.checksum.value_or(sum));
        Append(directory, static_cast<std::uint32_t>(e.name.size()));
        Append(directory, 0);
        Append(directory, e.firstChild);
        Append(directory, e.nextSibling);
        Append(directory, kNone);
        Append(directory, kNone);
        for (char c : e.name) {
            directory += c;
            directory += '\0';
        }
        directory.append(2, '\0');
    }
    std::string out;
    Append(out, 0x6C646F6D);
    Append(out, 1);
    Append(out, 1);
    Append(out, 0);
    Append(out, 0);
    Append(out, 0x656C6966);
    Append(out, static_cast<std::uint32_t>(data.size()));
    out += data;
    Append(out, 0x7269646D);
    const std::size_t sectionPos = out.size();
    Append(out, 0);
    Append(out, archive.directoryCompression);
    if (archive.directoryCompression == 1) {
        Append(out, static_cast<std::uint32_t>(directory.size()));
        Append(out, Crc(directory));
        out += directory;
    } else {
        const std::string packedDirectory = archive.directoryCompression == 2 ? Deflate(directory) : directory;
        Append(out, static_cast<std::uint32_t>(directory.size()));
        Append(out, static_cast<std::uint32_t>(packedDirectory.size()));
        Append(out, Crc(directory));
        out += packedDirectory;
    }
    PutU32(out, sectionPos, static_cast<std::uint32_t>(out.size() - sectionPos - 4));
    FixBody(out);
    return out;
}

} // namespace bram::test
