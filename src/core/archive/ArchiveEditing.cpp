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
    EnsureParentDirectory(path);
    const std::size_t slash = path.rfind('\\');
    CArchiveNode* parent = slash == std::string::npos ? GetRoot() : FindNormalized(path.substr(0, slash));
    AppendNode(path, parent);
}

void CModuleArchive::AddFileNormalized(const std::string& path, const void* data, std::uint32_t size)
{
    if (FindNormalized(path) != nullptr) {
        Fail("Could not add file: file already exist.");
    }
    if (path.empty() || path.back() == '\\') {
        Fail("Could not add file: no file name.");
    }
    EnsureParentDirectory(path);
    const std::size_t slash = path.rfind('\\');
    CArchiveNode* parent = slash == std::string::npos ? GetRoot() : FindNormalized(path.substr(0, slash));
    CArchiveNode* node = AppendNode(path, parent);
    node->AssignData(data, size);
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

std::string CModuleArchive::BuildImage() const
{
    const CModuleCompression* codec = nullptr;
    if (m_compression != kNoCompression) {
        codec = GetCodec(m_compression);
        if (codec == nullptr) {
            Fail("Unsupported compression algorithm.");
        }
    }
    const CModuleCompression& checksum = ChecksumCodec();
    constexpr std::uint64_t kLimit = 0xFFFFFFFFu;
    auto tooLarge = [] { Fail("Could not save archive: it would exceed 4 GiB."); };

    std::unordered_map<const CArchiveNode*, std::uint32_t> index;
    index.reserve(m_nodes.size());
    std::vector<std::u16string> names;
    names.reserve(m_nodes.size());
    std::uint64_t directorySize = 4;
    std::uint64_t dataSize = 0;
    for (std::size_t i = 0; i < m_nodes.size(); ++i) {
        index.emplace(m_nodes[i].get(), static_cast<std::uint32_t>(i));
        names.push_back(Utf8ToUtf16(m_nodes[i]->m_name));
        directorySize += kEntryFixedSize + 2 * names.back().size();
        dataSize += m_nodes[i]->m_size;
    }
    if (directorySize > kLimit) {
        tooLarge();
    }
    auto indexOf = [&index](const CArchiveNode* node) { return node != nullptr ? index.at(node) : kNoArchiveIndex; };

    std::string directory(directorySize, '\0');
    auto* entry = reinterpret_cast<std::uint8_t*>(directory.data());
    StoreU32(entry, static_cast<std::uint32_t>(m_nodes.size()));
    entry += 4;

    std::string out;
    out.reserve(static_cast<std::size_t>(64 + dataSize + directorySize));
    AppendU32(out, kMagicModl);
    AppendU32(out, kVersion);
    AppendU32(out, kNoCompression);
    AppendU32(out, 0); // body length
    AppendU32(out, 0); // body checksum, written last
    AppendU32(out, kMagicFile);
    const std::size_t dataLengthPos = out.size();
    AppendU32(out, 0);

    std::unique_ptr<std::uint8_t[]> packed;
    std::uint32_t packedCapacity = 0;
    auto pack = [&](const void* data, std::uint32_t size) {
        const std::uint32_t bound = codec->CompressBound(size);
        if (bound > packedCapacity) {
            packed = std::make_unique_for_overwrite<std::uint8_t[]>(bound);
            packedCapacity = bound;
        }
        std::uint32_t length = bound;
        codec->Compress(packed.get(), length, data, size);
        return length;
    };

    for (const auto& holder : m_nodes) {
        const CArchiveNode& node = *holder;
        const std::u16string& name = names[index.at(&node)];
        if (node.m_isFile) {
            const std::uint64_t offset = out.size() - kHeaderSize;
            std::uint32_t packedSize = 0;
            std::uint32_t sum = 0;
            if (codec == nullptr) {
                sum = checksum.Checksum(node.m_data.get(), node.m_size, 0);
                out.append(reinterpret_cast<const char*>(node.m_data.get()), node.m_size);
            } else {
                packedSize = pack(node.m_data.get(), node.m_size);
                sum = codec->Checksum(node.m_data.get(), node.m_size, 0);
                out.append(reinterpret_cast<const char*>(packed.get()), packedSize);
            }
            if (out.size() - kHeaderSize > kLimit) {
                tooLarge();
            }
            StoreU32(entry, m_compression);
            StoreU32(entry + 4, static_cast<std::uint32_t>(offset));
            StoreU32(entry + 8, node.m_size);
            StoreU32(entry + 12, packedSize);
            StoreU32(entry + 16, sum);
        }
        const std::size_t slash = name.rfind(u'\\');
        StoreU32(entry + 20, static_cast<std::uint32_t>(name.size()));
        StoreU32(entry + 24, slash == std::u16string::npos ? 0 : static_cast<std::uint32_t>(slash + 1));
        StoreU32(entry + 28, indexOf(node.m_firstChild));
        StoreU32(entry + 32, indexOf(node.m_nextSibling));
        StoreU32(entry + 36, indexOf(node.m_previousSibling));
        StoreU32(entry + 40, indexOf(node.m_parent));
        std::uint8_t* p = entry + 44;
        for (const char16_t c : name) {
            *p++ = static_cast<std::uint8_t>(c);
            *p++ = static_cast<std::uint8_t>(c >> 8);
        }
        entry += kEntryFixedSize + 2 * name.size(); // the terminator is already 0
    }
    PatchU32(out, dataLengthPos, static_cast<std::uint32_t>(out.size() - dataLengthPos - 4));

    AppendU32(out, kMagicMdir);
    const std::size_t sectionLengthPos = out.size();
    AppendU32(out, 0);
    AppendU32(out, m_compression);
    const auto directoryLength = static_cast<std::uint32_t>(directory.size());
    if (codec == nullptr) {
        AppendU32(out, directoryLength);
        AppendU32(out, checksum.Checksum(directory.data(), directoryLength, 0));
        out += directory;
    } else {
        const std::uint32_t packedSize = pack(directory.data(), directoryLength);
        AppendU32(out, directoryLength);
        AppendU32(out, packedSize);
        AppendU32(out, codec->Checksum(directory.data(), directoryLength, 0));
        out.append(reinterpret_cast<const char*>(packed.get()), packedSize);
    }
    if (out.size() - kHeaderSize > kLimit) {
        tooLarge();
    }
    PatchU32(out, sectionLengthPos, static_cast<std::uint32_t>(out.size() - sectionLengthPos - 4));

    const auto bodyLength = static_cast<std::uint32_t>(out.size() - kHeaderSize);
    PatchU32(out, 12, bodyLength);
    PatchU32(out, 16, checksum.Checksum(out.data() + kHeaderSize, bodyLength, 0));
    return out;
}

void CModuleArchive::Save(const std::string& path)
{
    if (!path.empty()) {
        m_path = path;
    }
    if (m_path.empty()) {
        Fail("Could not save archive: no file name.");
    }
    const std::string image = BuildImage();
    const std::string reason = WriteFileAtomically(m_path, image);
    if (!reason.empty()) {
        throw CModuleException("Could not save archive: " + reason);
    }
}

} // namespace bram
