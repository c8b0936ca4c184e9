#include "RawArchive.h"

#include "archive/ArchiveFormat.h"
#include "archive/ModuleArchive.h"
#include "archive/ZLibCompression.h"

#include <functional>
#include <gtest/gtest.h>

namespace bram::test {

static std::uint32_t Crc(const std::string& data)
{
    return CZLibCompression().Checksum(data.data(), static_cast<std::uint32_t>(data.size()), 0);
}

std::uint32_t GetU32(const std::string& image, std::size_t offset)
{
    (void)image.at(offset + 3);
    return archive_format::LoadU32(reinterpret_cast<const std::uint8_t*>(image.data() + offset));
}

static void PutU32(std::string& image, std::size_t offset, std::uint32_t value)
{
    (void)image.at(offset + 3);
    archive_format::StoreU32(reinterpret_cast<std::uint8_t*>(image.data() + offset), value);
}

static void Append(std::string& out, std::uint32_t value)
{
    out.append(4, '\0');
    PutU32(out, out.size() - 4, value);
}

static std::string Deflate(const std::string& data)
{
    const CZLibCompression codec;
    const auto size = static_cast<std::uint32_t>(data.size());
    std::string out(codec.CompressBound(size), '\0');
    std::uint32_t length = static_cast<std::uint32_t>(out.size());
    codec.Compress(out.data(), length, data.data(), size);
    out.resize(length);
    return out;
}

static void FixBody(std::string& image)
{
    PutU32(image, 12, static_cast<std::uint32_t>(image.size() - 20));
    PutU32(image, 16, Crc(image.substr(20)));
}

std::vector<std::string> NodeNames(const CModuleArchive& archive)
{
    std::vector<std::string> names;
    for (std::uint32_t i = 0; i < archive.GetNodeCount(); ++i) {
        names.push_back(archive.GetNode(i)->GetName());
    }
    return names;
}

std::string Tree(const CModuleArchive& archive)
{
    std::string out;
    std::uint32_t count = 0;
    std::function<void(const CArchiveNode*)> walk = [&](const CArchiveNode* node) {
        ++count;
        out += (out.empty() ? "" : " ") + node->GetName() +
               (node->IsDirectory() ? std::string("/") : "=" + std::string(node->GetDataView()));
        const CArchiveNode* previous = nullptr;
        for (const CArchiveNode* c = node->GetFirstChild(); c != nullptr; previous = c, c = c->GetNextSibling()) {
            EXPECT_EQ(c->GetParent(), node) << c->GetName();
            EXPECT_EQ(c->GetPreviousSibling(), previous) << c->GetName();
            walk(c);
        }
    };
    walk(archive.GetRoot());
    EXPECT_EQ(count, archive.GetNodeCount()) << "every node is in the tree once";
    return out;
}

std::string BuildRawArchive(const RawArchive& archive)
{
    std::string data;
    std::string directory;
    Append(directory, static_cast<std::uint32_t>(archive.entries.size()));
    for (const RawEntry& e : archive.entries) {
        std::uint32_t offset = 0;
        std::uint32_t packed = 0;
        std::uint32_t size = 0;
        std::uint32_t sum = 0;
        if (e.kind != 0) {
            const std::string stored = e.kind == 1 ? e.content : Deflate(e.content);
            offset = static_cast<std::uint32_t>(8 + data.size());
            size = static_cast<std::uint32_t>(e.content.size());
            packed = e.kind == 1 ? 0 : static_cast<std::uint32_t>(stored.size());
            sum = Crc(e.content);
            data += stored;
        }
        for (std::uint32_t field : {e.kind, offset, size, packed, sum, static_cast<std::uint32_t>(e.name.size()), 0u,
                                    e.firstChild, e.nextSibling, kNone, kNone}) {
            Append(directory, field);
        }
        for (char c : e.name) {
            directory += c;
            directory += '\0';
        }
        directory.append(2, '\0');
    }
    std::string out;
    for (std::uint32_t field : {archive_format::kMagicModl, 1u, 1u, 0u, 0u, archive_format::kMagicFile,
                                static_cast<std::uint32_t>(data.size())}) {
        Append(out, field);
    }
    out += data;
    Append(out, archive_format::kMagicMdir);
    const std::size_t sectionPos = out.size();
    Append(out, 0);
    Append(out, archive.directoryCompression);
    Append(out, static_cast<std::uint32_t>(directory.size()));
    if (archive.directoryCompression == 1) {
        Append(out, Crc(directory));
        out += directory;
    } else {
        const std::string packedDirectory = Deflate(directory);
        Append(out, static_cast<std::uint32_t>(packedDirectory.size()));
        Append(out, Crc(directory));
        out += packedDirectory;
    }
    PutU32(out, sectionPos, static_cast<std::uint32_t>(out.size() - sectionPos - 4));
    FixBody(out);
    return out;
}

} // namespace bram::test
