#include "archive/ModuleArchive.h"

#include "archive/ArchiveFormat.h"
#include "archive/ZLibCompression.h"
#include "base/Exceptions.h"
#include "base/Paths.h"
#include "base/Text.h"
#include "log/Assertion.h"

#include <algorithm>
#include <clocale>
#include <cwctype>
#include <fcntl.h>
#include <locale.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wctype.h>

namespace bram {

using namespace archive_format;

namespace {

[[noreturn]] void Fail(const char* message) { throw CModuleException(message); }

std::uint64_t g_unpackedSizeLimit = kDefaultUnpackedSizeLimit;

// The file mapped read-only for the duration of a read.
class CMappedFile {
public:
    explicit CMappedFile(const std::string& path)
    {
        // Without O_NONBLOCK opening a FIFO waits for a writer, maybe forever.
        m_fd = ::open(ToDiskPath(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        struct stat st {};
        if (m_fd < 0 || ::fstat(m_fd, &st) != 0 || S_ISDIR(st.st_mode)) {
            Close();
            Fail("Could not open archive file.");
        }
        if (!S_ISREG(st.st_mode)) {
            Close();
            Fail("Archive file is not a regular file.");
        }
        // An empty file cannot be mapped, as on the platforms the format
        // comes from.
        if (st.st_size <= 0) {
            Close();
            Fail("Could not create file mapping object.");
        }
        m_size = static_cast<std::size_t>(st.st_size);
        void* view = ::mmap(nullptr, m_size, PROT_READ, MAP_PRIVATE, m_fd, 0);
        if (view == MAP_FAILED) {
            Close();
            Fail("Could not create map view.");
        }
        m_view = view;
    }
    ~CMappedFile() { Close(); }
    CMappedFile(const CMappedFile&) = delete;
    CMappedFile& operator=(const CMappedFile&) = delete;

    std::string_view Bytes() const { return {static_cast<const char*>(m_view), m_size}; }

private:
    void Close()
    {
        if (m_view != nullptr) {
            ::munmap(m_view, m_size);
            m_view = nullptr;
        }
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }

    int m_fd = -1;
    void* m_view = nullptr;
    std::size_t m_size = 0;
};

// Fuzzing builds still compute every checksum but accept a mismatch, so that
// mutated inputs reach the checks behind the checksums.
bool ChecksumMatches(std::uint32_t computed, std::uint32_t stored)
{
#ifdef BRAMBLETON_FUZZING
    (void)computed;
    (void)stored;
    return true;
#else
    return computed == stored;
#endif
}

} // namespace

// ---------------------------------------------------------------------------
// Reading. Every offset and size is checked against the bytes present before
// it is used, so a hostile file ends in an exception, never in a wild read or
// a huge allocation.

class CModuleArchive::CReader {
public:
    CReader(CModuleArchive& archive, const std::uint8_t* data, std::size_t size)
        : m_archive(archive), m_data(data), m_size(size)
    {
    }

    // The body's checksum comes last: for a plain archive it is combined from
    // the checksums of the entries and the directory, which are computed
    // anyway, so that each byte is read once. A failure on the way is
    // reported as a damaged body when the body is damaged, as the first
    // check would have.
    void Read()
    {
        ReadHeader();
        try {
            ReadSections();
            ReadDirectory();
            BuildTree();
        } catch (const CModuleException&) {
            CheckBody({});
            throw;
        }
        CheckBody(std::move(m_checkedSpans));
    }

private:
    bool Next(std::uint32_t& value)
    {
        if (m_size - m_pos < 4) {
            return false;
        }
        value = LoadU32(m_data + m_pos);
        m_pos += 4;
        return true;
    }

    void NextOrFail(std::uint32_t& value, const char* message)
    {
        if (!Next(value)) {
            Fail(message);
        }
    }

    void ReadHeader()
    {
        std::uint32_t value = 0;
        if (!Next(value) || value != kMagicModl) {
            Fail("Header expected (modl)");
        }
        if (!Next(value) || value != kVersion) {
            Fail("Unsupported module version (modl)");
        }
        if (!Next(value) || value != kNoCompression) {
            Fail("Unsupported file compression (modl)");
        }
        if (!Next(value) || m_size < kHeaderSize || value != m_size - kHeaderSize) {
            Fail("Invalid data length (modl)");
        }
        NextOrFail(m_bodyChecksum, "Invalid data length (modl)");
        m_bodySize = m_size - kHeaderSize;
        m_body = m_data + kHeaderSize;
    }

    // A part of the body whose checksum is known.
    struct SSpan {
        std::size_t offset = 0;
        std::size_t size = 0;
        std::uint32_t checksum = 0;
    };

    void NoteSpan(const std::uint8_t* bytes, std::size_t size, std::uint32_t checksum)
    {
        if (size > 0) {
            m_checkedSpans.push_back({static_cast<std::size_t>(bytes - m_body), size, checksum});
        }
    }

    // Checks the body against its stored checksum: the known spans (in any
    // order, overlaps ignored) are combined, every byte between them is read.
    void CheckBody(std::vector<SSpan> spans) const
    {
        const CModuleCompression& codec = m_archive.ChecksumCodec();
        std::sort(spans.begin(), spans.end(), [](const SSpan& a, const SSpan& b) { return a.offset < b.offset; });
        std::uint32_t checksum = 0;
        std::size_t done = 0;
        auto readUpTo = [&](std::size_t end) {
            if (end > done) {
                checksum = codec.Checksum(m_body + done, static_cast<std::uint32_t>(end - done), checksum);
                done = end;
            }
        };
        for (const SSpan& span : spans) {
            if (span.offset < done) {
                continue;
            }
            readUpTo(span.offset);
            checksum = codec.CombineChecksums(checksum, span.checksum, span.size);
            done = span.offset + span.size;
        }
        readUpTo(m_bodySize);
        if (!ChecksumMatches(checksum, m_bodyChecksum)) {
            Fail("Checksum error (modl)");
        }
    }

    void ReadSections()
    {
        std::uint32_t value = 0;
        if (!Next(value) || value != kMagicFile) {
            Fail("File header expected (file)");
        }
        std::uint32_t dataLength = 0;
        if (!Next(dataLength) || dataLength > m_size - m_pos) {
            Fail("Directory header expected (mdir)");
        }
        m_pos += dataLength;
        if (!Next(value) || value != kMagicMdir) {
            Fail("Directory header expected (mdir)");
        }
        NextOrFail(value, "Directory section truncated (mdir)"); // section length, not needed
    }

    void ReadDirectory()
    {
        const char* truncated = "Directory section truncated (mdir)";
        std::uint32_t compression = 0;
        NextOrFail(compression, truncated);
        std::uint32_t size = 0;
        std::uint32_t checksum = 0;
        if (compression == kNoCompression) {
            NextOrFail(size, truncated);
            NextOrFail(checksum, truncated);
            if (size > m_size - m_pos) {
                Fail(truncated);
            }
            m_directory = m_data + m_pos;
            m_directorySize = size;
            const std::uint32_t computed = m_archive.ChecksumCodec().Checksum(m_directory, size, 0);
            if (!ChecksumMatches(computed, checksum)) {
                Fail("Checksum error.");
            }
            NoteSpan(m_directory, size, computed);
        } else {
            const CModuleCompression* codec = m_archive.GetCodec(compression);
            if (codec == nullptr) {
                Fail("Unsupported compression algorithm.");
            }
            std::uint32_t packed = 0;
            NextOrFail(size, truncated);
            NextOrFail(packed, truncated);
            NextOrFail(checksum, truncated);
            if (packed > m_size - m_pos) {
                Fail(truncated);
            }
            if (size > MaxUnpackedSize(packed)) {
                Fail("Directory size does not match its packed size (mdir)");
            }
            if (size > g_unpackedSizeLimit) {
                Fail("Directory exceeds the unpacked size limit (mdir)");
            }
            m_unpackedDirectory = std::make_unique_for_overwrite<std::uint8_t[]>(size);
            std::uint32_t unpacked = size;
            codec->Uncompress(m_unpackedDirectory.get(), unpacked, m_data + m_pos, packed);
            if (unpacked != size) {
                Fail("Could not uncompress data.\n");
            }
            m_directory = m_unpackedDirectory.get();
            m_directorySize = size;
            if (!ChecksumMatches(codec->Checksum(m_directory, size, 0), checksum)) {
                Fail("Checksum error.");
            }
        }
        m_archive.m_compression = compression;
    }

    // Entry offsets are indexed once, so each lookup by index is constant time.
    void IndexEntries()
    {
        if (m_directorySize < 4) {
            Fail("Directory entry count invalid (mdir)");
        }
        const std::uint32_t count = LoadU32(m_directory);
        if (count > (m_directorySize - 4) / kEntryFixedSize) {
            Fail("Directory entry count invalid (mdir)");
        }
        m_entries.reserve(count);
        std::size_t offset = 4;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::size_t left = m_directorySize - offset;
            if (left < kEntryFixedSize) {
                Fail("Directory entry truncated (mdir)");
            }
            const std::uint32_t nameLength = LoadU32(m_directory + offset + kEntryNameLength);
            if (nameLength > (left - kEntryFixedSize) / 2) {
                Fail("Directory entry truncated (mdir)");
            }
            m_entries.push_back(static_cast<std::uint32_t>(offset));
            offset += kEntryFixedSize + 2 * static_cast<std::size_t>(nameLength);
        }
    }

    const std::uint8_t* Entry(std::uint32_t index) const { return m_directory + m_entries[index]; }
    std::uint32_t Field(std::uint32_t index, std::uint32_t fieldOffset) const
    {
        return LoadU32(Entry(index) + fieldOffset);
    }

    // Checks that [offset, offset + length) lies in the body.
    const std::uint8_t* BodyRange(std::uint32_t offset, std::uint32_t length) const
    {
        if (offset > m_bodySize || length > m_bodySize - offset) {
            Fail("File data out of range (file)");
        }
        return m_body + offset;
    }

    void BuildTree()
    {
        IndexEntries();
        const std::uint32_t count = static_cast<std::uint32_t>(m_entries.size());
        std::uint32_t root = kNoArchiveIndex;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint8_t* e = Entry(i);
            if (LoadU32(e + kEntryNameLength) == 1 && e[kEntryName] == '.' && e[kEntryName + 1] == 0) {
                root = i;
                break;
            }
        }
        if (root == kNoArchiveIndex) {
            Fail("Main directory not found (mdir)");
        }
        if (Field(root, kEntryKind) != kKindDirectory) {
            Fail("Main directory is not a directory (mdir)");
        }
        if (Field(root, kEntryNextSibling) != kNoArchiveIndex) {
            Fail("Main directory has siblings (mdir)");
        }

        // The pre-order walk with an explicit stack: depth never grows the
        // call stack, and an entry reached twice (a loop or a shared
        // subtree) is rejected.
        std::vector<bool> used(count, false);
        struct Pending {
            std::uint32_t index;
            CArchiveNode* parent;
            CArchiveNode* previous;
        };
        std::vector<Pending> stack{{root, nullptr, nullptr}};
        m_archive.m_nodes.reserve(count);
        m_unpackedBudget = MaxUnpackedSize(m_bodySize);
        while (!stack.empty()) {
            const Pending p = stack.back();
            stack.pop_back();
            if (p.index == kNoArchiveIndex) {
                continue;
            }
            if (p.index >= count) {
                Fail("Directory entry index out of range (mdir)");
            }
            if (used[p.index]) {
                Fail("Directory entry used twice (mdir)");
            }
            used[p.index] = true;
            CArchiveNode* node = BuildNode(p.index, p.parent, p.previous);
            stack.push_back({Field(p.index, kEntryNextSibling), p.parent, node});
            stack.push_back({Field(p.index, kEntryFirstChild), node, nullptr});
        }
        BRAMBLETON_ASSERT(!m_archive.m_nodes.empty() && m_archive.m_nodes.front()->GetName() == ".");
    }

    void CountUnpacked(std::uint32_t size)
    {
        m_unpackedTotal += size;
        if (m_unpackedTotal > g_unpackedSizeLimit) {
            Fail("Files exceed the unpacked size limit (file)");
        }
    }

    CArchiveNode* BuildNode(std::uint32_t index, CArchiveNode* parent, CArchiveNode* previous)
    {
        const std::uint8_t* e = Entry(index);
        const std::uint32_t kind = LoadU32(e + kEntryKind);
        const std::uint32_t offset = LoadU32(e + kEntryOffset);
        const std::uint32_t size = LoadU32(e + kEntrySize);
        const std::uint32_t packed = LoadU32(e + kEntryPackedSize);
        const std::uint32_t checksum = LoadU32(e + kEntryChecksum);
        const std::uint32_t nameLength = LoadU32(e + kEntryNameLength);
        const std::string_view nameBytes(reinterpret_cast<const char*>(e + kEntryName), 2 * std::size_t(nameLength));
        std::string name = NormalizePath(Utf16LEBytesToUtf8(nameBytes));

        std::unique_ptr<std::uint8_t[]> data;
        if (kind != kKindDirectory) {
            if (LoadU32(e + kEntryFirstChild) != kNoArchiveIndex) {
                Fail("File entry has children (mdir)");
            }
            if (kind == kNoCompression) {
                const std::uint8_t* bytes = BodyRange(offset, size);
                CountUnpacked(size);
                const std::uint32_t computed = m_archive.ChecksumCodec().Checksum(bytes, size, 0);
                if (!ChecksumMatches(computed, checksum)) {
                    Fail("Checksum error.");
                }
                NoteSpan(bytes, size, computed);
                data = std::make_unique_for_overwrite<std::uint8_t[]>(size);
                if (size != 0) {
                    std::memcpy(data.get(), bytes, size);
                }
            } else {
                const CModuleCompression* codec = m_archive.GetCodec(kind);
                if (codec == nullptr) {
                    Fail("Unsupported compression method.\n");
                }
                const std::uint8_t* bytes = BodyRange(offset, packed);
                // Each claim must fit its own packed bytes and, summed up, what
                // the whole body could unpack to.
                if (size > MaxUnpackedSize(packed) || size > m_unpackedBudget) {
                    Fail("File size does not match its packed size (file)");
                }
                m_unpackedBudget -= size;
                CountUnpacked(size);
                data = std::make_unique_for_overwrite<std::uint8_t[]>(size);
                std::uint32_t unpacked = size;
                codec->Uncompress(data.get(), unpacked, bytes, packed);
                if (unpacked != size) {
                    Fail("Could not uncompress data.\n");
                }
                if (!ChecksumMatches(codec->Checksum(data.get(), size, 0), checksum)) {
                    Fail("Checksum error.");
                }
            }
        }

        CArchiveNode* node = m_archive.AppendNode(std::move(name), nullptr);
        if (data) {
            node->m_data = std::move(data);
            node->m_isFile = true;
            node->m_size = size;
        }
        node->m_parent = parent;
        node->m_previousSibling = previous;
        if (parent != nullptr && parent->m_firstChild == nullptr) {
            parent->m_firstChild = node;
        }
        if (previous != nullptr) {
            previous->m_nextSibling = node;
        }
        return node;
    }

    CModuleArchive& m_archive;
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
    const std::uint8_t* m_body = nullptr;
    std::size_t m_bodySize = 0;
    const std::uint8_t* m_directory = nullptr;
    std::size_t m_directorySize = 0;
    std::unique_ptr<std::uint8_t[]> m_unpackedDirectory;
    std::vector<std::uint32_t> m_entries;
    std::uint32_t m_bodyChecksum = 0;
    std::vector<SSpan> m_checkedSpans;
    std::uint64_t m_unpackedBudget = 0;
    std::uint64_t m_unpackedTotal = 0;
};

// ---------------------------------------------------------------------------

void SetUnpackedSizeLimit(std::uint64_t bytes) { g_unpackedSizeLimit = bytes; }
std::uint64_t GetUnpackedSizeLimit() { return g_unpackedSizeLimit; }

CModuleArchive::CModuleArchive()
{
    m_codecs.emplace(kDeflateCompression, std::make_unique<CZLibCompression>());
    Reset();
}

CModuleArchive::CModuleArchive(const std::string& path)
{
    m_codecs.emplace(kDeflateCompression, std::make_unique<CZLibCompression>());
    Open(path);
}

CModuleArchive::~CModuleArchive() = default;

void CModuleArchive::Reset()
{
    m_nodes.clear();
    m_compression = kNoCompression;
    AppendNode(".", nullptr);
}

CArchiveNode* CModuleArchive::AppendNode(std::string name, CArchiveNode* parent)
{
    m_nodes.push_back(std::unique_ptr<CArchiveNode>(new CArchiveNode(*this, std::move(name))));
    CArchiveNode* node = m_nodes.back().get();
    if (parent != nullptr) {
        node->m_parent = parent;
        CArchiveNode* last = parent->m_firstChild;
        if (last == nullptr) {
            parent->m_firstChild = node;
        } else {
            while (last->m_nextSibling != nullptr) {
                last = last->m_nextSibling;
            }
            last->m_nextSibling = node;
            node->m_previousSibling = last;
        }
    }
    return node;
}

void CModuleArchive::Open(const std::string& path)
{
    m_nodes.clear();
    m_path = path;
    try {
        const CMappedFile file(path);
        const std::string_view bytes = file.Bytes();
        CReader(*this, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()).Read();
    } catch (...) {
        Reset();
        throw;
    }
}

void CModuleArchive::OpenMemory(std::string_view bytes, const std::string& path)
{
    m_nodes.clear();
    m_path = path;
    try {
        CReader(*this, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()).Read();
    } catch (...) {
        Reset();
        throw;
    }
}

const CModuleCompression& CModuleArchive::ChecksumCodec() const { return *m_codecs.at(kDeflateCompression); }

CModuleCompression* CModuleArchive::GetCodec(std::uint32_t id) const
{
    const auto it = m_codecs.find(id);
    return it != m_codecs.end() ? it->second.get() : nullptr;
}

std::string CModuleArchive::NormalizePath(std::string_view path)
{
    std::string result(path);
    bool ascii = true;
    for (char& c : result) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
        c = (c == '/') ? '\\' : static_cast<char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
    }
    if (ascii) {
        return result;
    }
    std::string lower = ToLowerUnicode(path);
    std::replace(lower.begin(), lower.end(), '/', '\\');
    return lower;
}

CArchiveNode* CModuleArchive::Find(std::string_view path, CArchiveNode* start) const
{
    return FindNormalized(NormalizePath(path), start);
}

CArchiveNode* CModuleArchive::FindNormalized(std::string_view path, CArchiveNode* start) const
{
    CArchiveNode* node = start != nullptr ? start : GetRoot();
    while (node != nullptr && node->m_name != path) {
        // A child leads to the path when its name is the path or the path
        // goes on below it. Requiring the separator keeps "data" from
        // swallowing the lookup of a sibling "database.xml".
        CArchiveNode* child = node->m_firstChild;
        for (; child != nullptr; child = child->m_nextSibling) {
            const std::string& name = child->m_name;
            if (StartsWith(path, name) && (path.size() == name.size() || path[name.size()] == '\\')) {
                break;
            }
        }
        node = child;
    }
    return node;
}

bool CModuleArchive::IsDirectory(std::string_view path) const
{
    const CArchiveNode* node = Find(path);
    return node != nullptr && node->IsDirectory();
}

bool CModuleArchive::IsDirectoryNormalized(std::string_view path) const
{
    const CArchiveNode* node = FindNormalized(path);
    return node != nullptr && node->IsDirectory();
}

std::uint32_t CModuleArchive::IndexOf(const CArchiveNode* node) const
{
    if (node == nullptr) {
        return kNoArchiveIndex;
    }
    for (std::size_t i = 0; i < m_nodes.size(); ++i) {
        if (m_nodes[i].get() == node) {
            return static_cast<std::uint32_t>(i);
        }
    }
    return kNoArchiveIndex;
}

CArchiveNode* CArchiveNode::FindRelative(std::string_view relative)
{
    std::string path = CModuleArchive::NormalizePath(relative);
    CArchiveNode* node = this;
    while (true) {
        // The root's name "." is no prefix of the full paths below it.
        if (node->m_parent != nullptr && StartsWith(path, node->m_name) &&
            (path.size() == node->m_name.size() || path[node->m_name.size()] == '\\')) {
            return node->m_archive->FindNormalized(path, node);
        }
        if (StartsWith(path, ".\\")) {
            path.erase(0, 2);
            continue;
        }
        if (StartsWith(path, "..\\") && node->m_parent != nullptr) {
            path.erase(0, 3);
            node = node->m_parent;
            continue;
        }
        // Names below the root carry no ".\" prefix.
        if (node->m_parent == nullptr) {
            return node->m_archive->FindNormalized(path, node);
        }
        return node->m_archive->FindNormalized(node->m_name + "\\" + path, node);
    }
}

} // namespace bram
