// Editing the in-memory tree of an archive and writing it back.

#include "archive/ArchiveFormat.h"
#include "archive/ModuleArchive.h"
#include "archive/ZLibCompression.h"
#include "base/Exceptions.h"
#include "base/Paths.h"
#include "base/Text.h"
#include "log/Assertion.h"

#include <unordered_map>
#include <unordered_set>

namespace bram {

using namespace archive_format;

namespace {

[[noreturn]] void Fail(const char* message) { throw CModuleException(message); }

template <typename F>
bool NoThrow(F&& operation)
{
    try {
        operation();
        return true;
    } catch (const CException&) {
        return false;
    }
}

std::string_view BaseName(std::string_view name)
{
    const std::size_t slash = name.rfind('\\');
    return slash == std::string_view::npos ? name : name.substr(slash + 1);
}

void AppendU32(std::string& out, std::uint32_t value)
{
    std::uint8_t bytes[4];
    StoreU32(bytes, value);
    out.append(reinterpret_cast<const char*>(bytes), 4);
}

void PatchU32(std::string& out, std::size_t offset, std::uint32_t value)
{
    StoreU32(reinterpret_cast<std::uint8_t*>(out.data() + offset), value);
}

} // namespace

// ---------------------------------------------------------------------------
// Nodes

void CArchiveNode::AssignData(const void* data, std::uint32_t size)
{
    auto copy = std::make_unique_for_overwrite<std::uint8_t[]>(size);
    if (size != 0) {
        std::memcpy(copy.get(), data, size);
    }
    m_data = std::move(copy);
    m_size = size;
    m_isFile = true;
}

void CArchiveNode::SetFileData(const void* data, std::uint32_t size)
{
    if (!m_isFile) {
        Fail("Could not set file data: Trying to convert a directory to a file.");
    }
    AssignData(data, size);
}

bool CArchiveNode::TrySetFileData(const void* data, std::uint32_t size)
{
    return NoThrow([&] { SetFileData(data, size); });
}

// ---------------------------------------------------------------------------
// Copy

CModuleArchive::CModuleArchive(const CModuleArchive& other) : m_path(other.m_path), m_compression(other.m_compression)
{
    m_codecs.emplace(kDeflateCompression, std::make_unique<CZLibCompression>());
    if (m_compression != kNoCompression) {
        if (CModuleCompression* codec = GetCodec(m_compression)) {
            codec->SetLevel(other.GetCompressionLevel());
        }
    }
    const CArchiveNode* root = other.GetRoot();
    if (root == nullptr) {
        Reset();
        return;
    }
    m_nodes.reserve(other.m_nodes.size());
    // Pre-order with an explicit stack; children are pushed in reverse.
    std::vector<std::pair<const CArchiveNode*, CArchiveNode*>> stack{{root, nullptr}};
    std::vector<const CArchiveNode*> children;
    while (!stack.empty()) {
        const auto [source, parent] = stack.back();
        stack.pop_back();
        CArchiveNode* node = AppendNode(source->m_name, parent);
        if (source->m_isFile) {
            node->AssignData(source->m_data.get(), source->m_size);
        }
        children.clear();
        for (const CArchiveNode* c = source->m_firstChild; c != nullptr; c = c->m_nextSibling) {
            children.push_back(c);
        }
        for (auto it = children.rbegin(); it != children.rend(); ++it) {
            stack.emplace_back(*it, node);
        }
    }
}

// ---------------------------------------------------------------------------
// Editing

void CModuleArchive::EnsureParentDirectory(const std::string& path)
{
    // Every missing directory on the way is created from the top down; an
    // existing file on the way refuses, as creating it by name would.
    std::size_t slash = path.find('\\');
    while (slash != std::string::npos) {
        const std::string parent = path.substr(0, slash);
        const CArchiveNode* node = FindNormalized(parent);
        if (node == nullptr) {
            CreateDirectoryNormalized(parent);
        } else if (!node->IsDirectory()) {
            Fail("Could not create directory: equally named file already exist");
        }
        slash = path.find('\\', slash + 1);
    }
}

// A new node at the end of the list and of its parent's children; missing
// parents are created first.
CArchiveNode* CModuleArchive::AppendAtPath(const std::string& path)
{
    EnsureParentDirectory(path);
    const std::size_t slash = path.rfind('\\');
    CArchiveNode* parent = slash == std::string::npos ? GetRoot() : FindNormalized(path.substr(0, slash));
    return AppendNode(path, parent);
}

void CModuleArchive::CreateDirectoryNormalized(const std::string& path)
{
    if (const CArchiveNode* existing = FindNormalized(path)) {
        if (existing->IsDirectory()) {
            Fail("Could not create directory: directory already exist.");
        }
        Fail("Could not create directory: equally named file already exist");
    }
    if (path.empty() || path.back() == '\\') {
        Fail("Could not create directory: current directory name is empty.");
    }
    AppendAtPath(path);
}

void CModuleArchive::AddFileNormalized(const std::string& path, const void* data, std::uint32_t size)
{
    if (FindNormalized(path) != nullptr) {
        Fail("Could not add file: file already exist.");
    }
    if (path.empty() || path.back() == '\\') {
        Fail("Could not add file: no file name.");
    }
    AppendAtPath(path)->AssignData(data, size);
}

void CModuleArchive::AddFile(std::string_view path, const void* data, std::uint32_t size)
{
    AddFileNormalized(NormalizePath(path), data, size);
}

void CModuleArchive::WriteFile(std::string_view path, const void* data, std::uint32_t size)
{
    const std::string normalized = NormalizePath(path);
    if (FindNormalized(normalized) != nullptr) {
        RemoveFile(normalized);
    }
    AddFileNormalized(normalized, data, size);
}

void CModuleArchive::CreateDirectory(std::string_view path) { CreateDirectoryNormalized(NormalizePath(path)); }

void CModuleArchive::RemoveNode(CArchiveNode* node)
{
    if (node->m_previousSibling != nullptr) {
        node->m_previousSibling->m_nextSibling = node->m_nextSibling;
    } else if (node->m_parent != nullptr) {
        node->m_parent->m_firstChild = node->m_nextSibling;
    }
    if (node->m_nextSibling != nullptr) {
        node->m_nextSibling->m_previousSibling = node->m_previousSibling;
    }
    std::erase_if(m_nodes, [node](const std::unique_ptr<CArchiveNode>& n) { return n.get() == node; });
}

void CModuleArchive::RemoveFile(std::string_view path)
{
    CArchiveNode* node = Find(path);
    if (node == nullptr) {
        Fail("Could not remove file: file does not exist.");
    }
    if (node->m_firstChild != nullptr) {
        Fail("Could not remove file: it is a directory with subsequent files; use DestroyDirectory() instead.");
    }
    // The archive always keeps its root.
    if (node == GetRoot()) {
        Fail("Could not remove file: the main directory cannot be removed.");
    }
    RemoveNode(node);
}

void CModuleArchive::DestroyNode(CArchiveNode* directory)
{
    // Collect the subtree without recursion, unlink its top and drop every
    // node of it from the list in one pass.
    std::unordered_set<const CArchiveNode*> doomed;
    std::vector<const CArchiveNode*> stack{directory};
    while (!stack.empty()) {
        const CArchiveNode* n = stack.back();
        stack.pop_back();
        doomed.insert(n);
        for (const CArchiveNode* c = n->m_firstChild; c != nullptr; c = c->m_nextSibling) {
            stack.push_back(c);
        }
    }
    directory->m_firstChild = nullptr;
    RemoveNode(directory);
    std::erase_if(m_nodes, [&doomed](const std::unique_ptr<CArchiveNode>& n) { return doomed.count(n.get()) != 0; });
}

void CModuleArchive::DestroyDirectory(std::string_view path)
{
    CArchiveNode* node = Find(path);
    if (node == nullptr || !node->IsDirectory()) {
        Fail("Could not destroy directory: directory does not exist or it is a file.");
    }
    if (node == GetRoot()) {
        Fail("Could not destroy directory: the main directory cannot be destroyed.");
    }
    DestroyNode(node);
}

void CModuleArchive::MoveFile(std::string_view fromPath, std::string_view toPath)
{
    const std::string from = NormalizePath(fromPath);
    const std::string to = NormalizePath(toPath);
    CArchiveNode* source = FindNormalized(from);
    if (source == nullptr) {
        Fail("Could not move file: file to move doesn't exist.");
    }
    if (FindNormalized(to) != nullptr) {
        Fail("Could not move file: file at position where to move exist.");
    }
    if (source == GetRoot()) {
        Fail("Could not move file: the main directory cannot be moved.");
    }
    if (!source->IsDirectory()) {
        AddFileNormalized(to, source->m_data.get(), source->m_size);
        RemoveNode(source);
        return;
    }
    if (to.size() > from.size() && StartsWith(to, from) && to[from.size()] == '\\') {
        Fail("Could not move file: a directory cannot be moved into itself.");
    }
    // The whole subtree is copied to its new place first and the source
    // removed last, so a failure part way loses nothing.
    CreateDirectoryNormalized(to);
    std::vector<std::pair<const CArchiveNode*, std::string>> stack;
    auto pushChildren = [&stack](const CArchiveNode* directory, const std::string& target) {
        std::vector<const CArchiveNode*> children;
        for (const CArchiveNode* c = directory->m_firstChild; c != nullptr; c = c->m_nextSibling) {
            children.push_back(c);
        }
        for (auto it = children.rbegin(); it != children.rend(); ++it) {
            stack.emplace_back(*it, target + "\\" + std::string(BaseName((*it)->m_name)));
        }
    };
    pushChildren(source, to);
    while (!stack.empty()) {
        const auto [child, target] = stack.back();
        stack.pop_back();
        if (child->IsDirectory()) {
            CreateDirectoryNormalized(target);
            pushChildren(child, target);
        } else {
            AddFileNormalized(target, child->m_data.get(), child->m_size);
        }
    }
    DestroyNode(source);
}

bool CModuleArchive::TryAddFile(std::string_view path, const void* data, std::uint32_t size)
{
    return NoThrow([&] { AddFile(path, data, size); });
}
bool CModuleArchive::TryWriteFile(std::string_view path, const void* data, std::uint32_t size)
{
    return NoThrow([&] { WriteFile(path, data, size); });
}
bool CModuleArchive::TryRemoveFile(std::string_view path)
{
    return NoThrow([&] { RemoveFile(path); });
}
bool CModuleArchive::TryMoveFile(std::string_view from, std::string_view to)
{
    return NoThrow([&] { MoveFile(from, to); });
}
bool CModuleArchive::TryCreateDirectory(std::string_view path)
{
    return NoThrow([&] { CreateDirectory(path); });
}
bool CModuleArchive::TryDestroyDirectory(std::string_view path)
{
    return NoThrow([&] { DestroyDirectory(path); });
}
bool CModuleArchive::TrySave(const std::string& path)
{
    return NoThrow([&] { Save(path); });
}

// ---------------------------------------------------------------------------
// Codecs

void CModuleArchive::SetCompression(std::uint32_t id)
{
    const bool known = id == kNoCompression || GetCodec(id) != nullptr;
    BRAMBLETON_ASSERT(known);
    if (known) {
        m_compression = id;
    }
}

void CModuleArchive::SetCompressionLevel(int level)
{
    if (CModuleCompression* codec = GetCodec(m_compression)) {
        codec->SetLevel(level);
    }
}

int CModuleArchive::GetCompressionLevel() const
{
    const CModuleCompression* codec = GetCodec(m_compression);
    return codec != nullptr ? codec->GetLevel() : -1;
}

std::vector<std::uint32_t> CModuleArchive::GetCompressions() const
{
    std::vector<std::uint32_t> ids{kNoCompression};
    for (const auto& [id, codec] : m_codecs) {
        ids.push_back(id);
    }
    return ids;
}

std::string CModuleArchive::GetCompressionName(std::uint32_t id) const
{
    if (id == kNoCompression) {
        return "No compression";
    }
    const CModuleCompression* codec = GetCodec(id);
    BRAMBLETON_ASSERT(codec != nullptr);
    return codec != nullptr ? codec->GetName() : std::string();
}

// ---------------------------------------------------------------------------
// Writing

// Lays out the image: header, file section with every file's bytes, then
// the directory section whose entries point into the file section.
class CModuleArchive::CWriter {
public:
    explicit CWriter(const CModuleArchive& archive)
        : m_archive(archive), m_checksum(archive.ChecksumCodec()), m_compression(archive.m_compression)
    {
        if (m_compression != kNoCompression) {
            m_codec = archive.GetCodec(m_compression);
            if (m_codec == nullptr) {
                Fail("Unsupported compression algorithm.");
            }
        }
    }

    std::string Write()
    {
        const std::uint64_t dataSize = IndexNodes();
        m_out.reserve(static_cast<std::size_t>(64 + dataSize + m_directory.size()));
        AppendU32(m_out, kMagicModl);
        AppendU32(m_out, kVersion);
        AppendU32(m_out, kNoCompression);
        AppendU32(m_out, 0); // body length
        AppendU32(m_out, 0); // body checksum, written last
        WriteFileSection();
        WriteDirectorySection();
        const auto bodyLength = static_cast<std::uint32_t>(m_out.size() - kHeaderSize);
        PatchU32(m_out, 12, bodyLength);
        PatchU32(m_out, 16, m_checksum.Checksum(m_out.data() + kHeaderSize, bodyLength, 0));
        return std::move(m_out);
    }

private:
    static constexpr std::uint64_t kLimit = 0xFFFFFFFFu;

    static void CheckLimit(std::uint64_t size)
    {
        if (size > kLimit) {
            Fail("Could not save archive: it would exceed 4 GiB.");
        }
    }

    // Entry indexes and UTF-16 names; sizes the directory. Returns the unpacked data size.
    std::uint64_t IndexNodes()
    {
        const auto& nodes = m_archive.m_nodes;
        m_index.reserve(nodes.size());
        m_names.reserve(nodes.size());
        std::uint64_t directorySize = 4;
        std::uint64_t dataSize = 0;
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            m_index.emplace(nodes[i].get(), static_cast<std::uint32_t>(i));
            m_names.push_back(Utf8ToUtf16(nodes[i]->m_name));
            directorySize += kEntryFixedSize + 2 * m_names.back().size();
            dataSize += nodes[i]->m_size;
        }
        CheckLimit(directorySize);
        m_directory.assign(directorySize, '\0');
        m_entry = reinterpret_cast<std::uint8_t*>(m_directory.data());
        StoreU32(m_entry, static_cast<std::uint32_t>(nodes.size()));
        m_entry += 4;
        return dataSize;
    }

    std::uint32_t IndexOf(const CArchiveNode* node) const
    {
        return node != nullptr ? m_index.at(node) : kNoArchiveIndex;
    }

    // Packs into the reused buffer; returns the packed length.
    std::uint32_t Pack(const void* data, std::uint32_t size)
    {
        const std::uint32_t bound = m_codec->CompressBound(size);
        if (bound > m_packedCapacity) {
            m_packed = std::make_unique_for_overwrite<std::uint8_t[]>(bound);
            m_packedCapacity = bound;
        }
        std::uint32_t length = bound;
        m_codec->Compress(m_packed.get(), length, data, size);
        return length;
    }

    void WriteFileSection()
    {
        AppendU32(m_out, kMagicFile);
        const std::size_t lengthPos = m_out.size();
        AppendU32(m_out, 0);
        for (const auto& node : m_archive.m_nodes) {
            if (node->m_isFile) {
                WriteFileData(*node);
            }
            WriteEntryLinks(*node, m_names[m_index.at(node.get())]);
        }
        PatchU32(m_out, lengthPos, static_cast<std::uint32_t>(m_out.size() - lengthPos - 4));
    }

    void WriteFileData(const CArchiveNode& node)
    {
        const std::uint64_t offset = m_out.size() - kHeaderSize;
        std::uint32_t packedSize = 0;
        std::uint32_t sum = 0;
        if (m_codec == nullptr) {
            sum = m_checksum.Checksum(node.m_data.get(), node.m_size, 0);
            m_out.append(reinterpret_cast<const char*>(node.m_data.get()), node.m_size);
        } else {
            packedSize = Pack(node.m_data.get(), node.m_size);
            sum = m_codec->Checksum(node.m_data.get(), node.m_size, 0);
            m_out.append(reinterpret_cast<const char*>(m_packed.get()), packedSize);
        }
        CheckLimit(m_out.size() - kHeaderSize);
        StoreU32(m_entry + kEntryKind, m_compression);
        StoreU32(m_entry + kEntryOffset, static_cast<std::uint32_t>(offset));
        StoreU32(m_entry + kEntrySize, node.m_size);
        StoreU32(m_entry + kEntryPackedSize, packedSize);
        StoreU32(m_entry + kEntryChecksum, sum);
    }

    // The name and tree links of the entry; moves on to the next entry.
    void WriteEntryLinks(const CArchiveNode& node, const std::u16string& name)
    {
        const std::size_t slash = name.rfind(u'\\');
        StoreU32(m_entry + kEntryNameLength, static_cast<std::uint32_t>(name.size()));
        StoreU32(m_entry + kEntryNameStart, slash == std::u16string::npos ? 0 : static_cast<std::uint32_t>(slash + 1));
        StoreU32(m_entry + kEntryFirstChild, IndexOf(node.m_firstChild));
        StoreU32(m_entry + kEntryNextSibling, IndexOf(node.m_nextSibling));
        StoreU32(m_entry + kEntryPreviousSibling, IndexOf(node.m_previousSibling));
        StoreU32(m_entry + kEntryParent, IndexOf(node.m_parent));
        std::uint8_t* p = m_entry + kEntryName;
        for (const char16_t c : name) {
            *p++ = static_cast<std::uint8_t>(c);
            *p++ = static_cast<std::uint8_t>(c >> 8);
        }
        m_entry += kEntryFixedSize + 2 * name.size(); // the terminator is already 0
    }

    void WriteDirectorySection()
    {
        AppendU32(m_out, kMagicMdir);
        const std::size_t lengthPos = m_out.size();
        AppendU32(m_out, 0);
        AppendU32(m_out, m_compression);
        const auto directoryLength = static_cast<std::uint32_t>(m_directory.size());
        if (m_codec == nullptr) {
            AppendU32(m_out, directoryLength);
            AppendU32(m_out, m_checksum.Checksum(m_directory.data(), directoryLength, 0));
            m_out += m_directory;
        } else {
            const std::uint32_t packedSize = Pack(m_directory.data(), directoryLength);
            AppendU32(m_out, directoryLength);
            AppendU32(m_out, packedSize);
            AppendU32(m_out, m_codec->Checksum(m_directory.data(), directoryLength, 0));
            m_out.append(reinterpret_cast<const char*>(m_packed.get()), packedSize);
        }
        CheckLimit(m_out.size() - kHeaderSize);
        PatchU32(m_out, lengthPos, static_cast<std::uint32_t>(m_out.size() - lengthPos - 4));
    }

    const CModuleArchive& m_archive;
    const CModuleCompression& m_checksum;
    std::uint32_t m_compression;
    const CModuleCompression* m_codec = nullptr;
    std::unordered_map<const CArchiveNode*, std::uint32_t> m_index;
    std::vector<std::u16string> m_names;
    std::string m_directory;
    std::uint8_t* m_entry = nullptr;
    std::string m_out;
    std::unique_ptr<std::uint8_t[]> m_packed;
    std::uint32_t m_packedCapacity = 0;
};

std::string CModuleArchive::SaveToMemory() const { return CWriter(*this).Write(); }

void CModuleArchive::Save(const std::string& path)
{
    if (!path.empty()) {
        m_path = path;
    }
    if (m_path.empty()) {
        Fail("Could not save archive: no file name.");
    }
    const std::string image = SaveToMemory();
    const std::string reason = WriteFileAtomically(m_path, image);
    if (!reason.empty()) {
        throw CModuleException("Could not save archive: " + reason);
    }
}

} // namespace bram
