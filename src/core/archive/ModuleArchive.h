#pragma once
// A module archive (".modl"): a tree of directories and files read wholly
// into memory, edited there and written back in one piece.
//
// Node names are full paths from the root, normalized: lower case with "\"
// as the separator; the root is named ".". The node list owns every node;
// its order is the entry order of a saved archive (tree pre-order after a
// read, new nodes at the end after edits).
//
// Every failure throws CModuleException with a fixed message. Each editing
// operation also has a Try... form that returns false instead of throwing.

#include "archive/ModuleCompression.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace bram {

class CModuleArchive;

inline constexpr std::uint32_t kNoArchiveIndex = 0xFFFFFFFFu;

// The most that the files of one archive may unpack to together, its
// directory included on its own. A hostile archive near deflate's ratio
// would otherwise take a thousand times its size in memory. Start-up sets it
// from Modules/MaxUnpackedMiB; the default is 1 GiB.
inline constexpr std::uint64_t kDefaultUnpackedSizeLimit = std::uint64_t(1) << 30;
void SetUnpackedSizeLimit(std::uint64_t bytes);
std::uint64_t GetUnpackedSizeLimit();

class CArchiveNode {
public:
    CArchiveNode(const CArchiveNode&) = delete;
    CArchiveNode& operator=(const CArchiveNode&) = delete;

    const std::string& GetName() const { return m_name; }
    // The file's bytes; nullptr for a directory. A file of size 0 still has
    // data (a non-null pointer), which is what makes it a file.
    const std::uint8_t* GetData() const { return m_isFile ? m_data.get() : nullptr; }
    std::uint32_t GetSize() const { return m_size; }
    std::string_view GetDataView() const
    {
        return m_isFile ? std::string_view(reinterpret_cast<const char*>(m_data.get()), m_size) : std::string_view();
    }
    bool IsDirectory() const { return !m_isFile; }

    CArchiveNode* GetFirstChild() const { return m_firstChild; }
    CArchiveNode* GetNextSibling() const { return m_nextSibling; }
    CArchiveNode* GetPreviousSibling() const { return m_previousSibling; }
    CArchiveNode* GetParent() const { return m_parent; }
    CModuleArchive& GetArchive() const { return *m_archive; }

    // A path relative to this directory: a full path, ".\x", "..\x" or a
    // plain relative name.
    CArchiveNode* FindRelative(std::string_view path);

    void SetFileData(const void* data, std::uint32_t size);
    bool TrySetFileData(const void* data, std::uint32_t size);

private:
    friend class CModuleArchive;
    CArchiveNode(CModuleArchive& archive, std::string name) : m_name(std::move(name)), m_archive(&archive) {}
    void AssignData(const void* data, std::uint32_t size);

    std::string m_name;
    std::unique_ptr<std::uint8_t[]> m_data;
    bool m_isFile = false;
    std::uint32_t m_size = 0;
    CArchiveNode* m_firstChild = nullptr;
    CArchiveNode* m_nextSibling = nullptr;
    CArchiveNode* m_previousSibling = nullptr;
    CArchiveNode* m_parent = nullptr;
    CModuleArchive* m_archive;
};

class CModuleArchive {
public:
    // An empty archive: only the root directory, no compression.
    CModuleArchive();
    // Opens the file; throws like Open.
    explicit CModuleArchive(const std::string& path);
    // A copy of every node (in tree pre-order), the path, the compression
    // id and, when compressed, the level.
    CModuleArchive(const CModuleArchive& other);
    CModuleArchive& operator=(const CModuleArchive&) = delete;
    ~CModuleArchive();

    // Reads the archive file. On failure the archive is left empty (root
    // only, no compression) and CModuleException is thrown.
    void Open(const std::string& path);
    // Reads an archive image from memory; the path becomes `path`.
    void OpenMemory(std::string_view bytes, const std::string& path = {});

    // Lower case, "/" turned into "\".
    static std::string NormalizePath(std::string_view path);

    // Lookup from `start` (the root when null). The search follows the first
    // child whose name leads to the path and never backtracks.
    CArchiveNode* Find(std::string_view path, CArchiveNode* start = nullptr) const;
    CArchiveNode* FindNormalized(std::string_view normalizedPath, CArchiveNode* start = nullptr) const;
    bool Exists(std::string_view path) const { return Find(path) != nullptr; }
    bool ExistsNormalized(std::string_view path) const { return FindNormalized(path) != nullptr; }
    bool IsDirectory(std::string_view path) const;
    bool IsDirectoryNormalized(std::string_view path) const;

    CArchiveNode* GetRoot() const { return m_nodes.empty() ? nullptr : m_nodes.front().get(); }
    std::uint32_t IndexOf(const CArchiveNode* node) const;
    std::uint32_t GetNodeCount() const { return static_cast<std::uint32_t>(m_nodes.size()); }
    CArchiveNode* GetNode(std::uint32_t index) const { return index < m_nodes.size() ? m_nodes[index].get() : nullptr; }
    const std::string& GetPath() const { return m_path; }

    // Editing. Paths are normalized first.
    void AddFile(std::string_view path, const void* data, std::uint32_t size);
    void WriteFile(std::string_view path, const void* data, std::uint32_t size);
    void RemoveFile(std::string_view path);
    void MoveFile(std::string_view from, std::string_view to);
    void CreateDirectory(std::string_view path);
    void DestroyDirectory(std::string_view path);
    // Writes the archive through a temporary file beside the target, which
    // replaces the target only when complete. A non-empty path becomes the
    // archive's path first.
    void Save(const std::string& path = {});
    // The bytes Save would write.
    std::string SaveToMemory() const;

    bool TryAddFile(std::string_view path, const void* data, std::uint32_t size);
    bool TryWriteFile(std::string_view path, const void* data, std::uint32_t size);
    bool TryRemoveFile(std::string_view path);
    bool TryMoveFile(std::string_view from, std::string_view to);
    bool TryCreateDirectory(std::string_view path);
    bool TryDestroyDirectory(std::string_view path);
    bool TrySave(const std::string& path = {});

    // Codecs.
    void SetCompression(std::uint32_t id);
    std::uint32_t GetCompression() const { return m_compression; }
    void SetCompressionLevel(int level);
    int GetCompressionLevel() const;
    // 1 first, then every registered codec id in ascending order.
    std::vector<std::uint32_t> GetCompressions() const;
    std::string GetCompressionName(std::uint32_t id) const;
    // Null for 1 and for unregistered ids.
    CModuleCompression* GetCodec(std::uint32_t id) const;

private:
    friend class CArchiveNode;
    class CReader;
    class CWriter;

    void Reset();
    CArchiveNode* AppendNode(std::string name, CArchiveNode* parent);
    void EnsureParentDirectory(const std::string& normalizedPath);
    CArchiveNode* AppendAtPath(const std::string& normalizedPath);
    void CreateDirectoryNormalized(const std::string& path);
    void AddFileNormalized(const std::string& path, const void* data, std::uint32_t size);
    void RemoveNode(CArchiveNode* node);
    void DestroyNode(CArchiveNode* directory);
    const CModuleCompression& ChecksumCodec() const;

    std::vector<std::unique_ptr<CArchiveNode>> m_nodes;
    std::string m_path;
    std::uint32_t m_compression = kNoCompression;
    std::map<std::uint32_t, std::unique_ptr<CModuleCompression>> m_codecs;
};

} // namespace bram
