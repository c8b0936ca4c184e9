// brambleton-cli archive: builds, unpacks, lists and checks ".modl" archives.

#include "CliCommand.h"

#include "archive/ModuleArchive.h"
#include "base/Exceptions.h"
#include "base/Paths.h"
#include "base/Text.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <optional>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace bram::cli {
namespace {

namespace fs = std::filesystem;

const char kUsage[] = "pack SRCDIR OUT.modl [--compression none|deflate] [--follow-links] | unpack IN.modl DESTDIR | "
                      "list IN.modl | verify IN.modl";

const char kHelp[] = "brambleton-cli archive - build and inspect module archives (.modl)\n"
                     "\n"
                     "  archive pack SRCDIR OUT.modl [--compression none|deflate] [--follow-links]\n"
                     "      Packs every file and folder below SRCDIR into OUT.modl. Names are stored\n"
                     "      relative to SRCDIR in lower case with \"\\\" separators. Default: deflate.\n"
                     "      Refuses names holding \"\\\" and symbolic links that lead outside SRCDIR\n"
                     "      (--follow-links packs what they lead to).\n"
                     "  archive unpack IN.modl DESTDIR\n"
                     "      Writes the archive's tree below DESTDIR; refuses names that would land\n"
                     "      outside DESTDIR.\n"
                     "  archive list IN.modl\n"
                     "      One line per node in node-list order: \"d NAME\" for a directory,\n"
                     "      \"f SIZE NAME\" for a file, NAME as stored; control characters in it\n"
                     "      are shown as \\xHH (\\u00HH from U+0080 to U+009F).\n"
                     "  archive verify IN.modl\n"
                     "      Reads the archive completely; exit status 0 when it reads.\n"
                     "\n"
                     "exit status: 0 success, 1 failure (the reason on standard error), 2 usage error\n";

int Failure(const std::string& message)
{
    std::cerr << message;
    if (message.empty() || message.back() != '\n') {
        std::cerr << '\n';
    }
    return kExitFailure;
}

// Packs exactly the entries a folder lists: each is opened by its own name
// relative to the descriptor of the folder that lists it, so no name is read
// as a path. Names that cannot be stored as they are, links that lead
// outside the source folder (unless followed on request) and files larger
// than the format holds are refused, each naming the file.
class CFolderPacker {
public:
    CFolderPacker(CModuleArchive& archive, const std::string& source, const std::string& output, bool followLinks)
        : m_archive(archive), m_source(source), m_followLinks(followLinks)
    {
        struct stat st {};
        if (::stat(output.c_str(), &st) == 0) {
            m_output = {st.st_dev, st.st_ino};
        }
        char real[PATH_MAX];
        if (::realpath(source.c_str(), real) == nullptr) {
            throw CException("Source folder not found: " + source);
        }
        m_realSource = real;
    }

    void Pack()
    {
        const int root = ::open(m_source.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (root < 0) {
            throw CException("Could not read " + m_source + ".");
        }
        struct stat st {};
        ::fstat(root, &st);
        std::vector<CFolder> pending;
        pending.push_back(CFolder{CDescriptor(root), m_source, "", {{st.st_dev, st.st_ino}}});
        while (!pending.empty()) {
            CFolder folder = std::move(pending.back());
            pending.pop_back();
            std::vector<CFolder> subfolders;
            for (const std::string& name : ListNames(folder)) {
                if (std::optional<CFolder> sub = PackEntry(folder, name)) {
                    subfolders.push_back(std::move(*sub));
                }
            }
            // Depth first, in sorted order.
            for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it) {
                pending.push_back(std::move(*it));
            }
        }
    }

private:
    class CDescriptor {
    public:
        explicit CDescriptor(int fd = -1) : m_fd(fd) {}
        CDescriptor(CDescriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
        CDescriptor& operator=(CDescriptor&& other) noexcept
        {
            std::swap(m_fd, other.m_fd);
            return *this;
        }
        ~CDescriptor()
        {
            if (m_fd >= 0) {
                ::close(m_fd);
            }
        }
        int Get() const { return m_fd; }

    private:
        int m_fd;
    };

    using CFileId = std::pair<dev_t, ino_t>;

    struct CFolder {
        CDescriptor fd;
        std::string diskPath;
        std::string archiveName;    // empty for the source folder itself
        std::vector<CFileId> chain; // this folder and the ones that hold it
    };

    // The entry names, sorted so that the archive does not depend on the
    // order the file system lists them.
    static std::vector<std::string> ListNames(const CFolder& folder)
    {
        DIR* dir = ::fdopendir(::dup(folder.fd.Get()));
        if (dir == nullptr) {
            throw CException("Could not read " + folder.diskPath + ".");
        }
        std::vector<std::string> names;
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        }
        ::closedir(dir);
        std::sort(names.begin(), names.end());
        return names;
    }

    [[noreturn]] static void Refuse(const std::string& path, const std::string& why)
    {
        throw CException("Refusing to pack '" + path + "': " + why + ".");
    }

    // The folder to walk next when the entry is one.
    std::optional<CFolder> PackEntry(const CFolder& folder, const std::string& name)
    {
        const std::string path = folder.diskPath + "/" + name;
        const std::string normalized = CModuleArchive::NormalizePath(name);
        if (name.find('\\') != std::string::npos || normalized == "." || normalized == "..") {
            Refuse(path, "an archive cannot store the name as it is (\"\\\" separates folders there)");
        }
        struct stat st {};
        if (::fstatat(folder.fd.Get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            throw CException("Could not read " + path + ".");
        }
        const bool link = S_ISLNK(st.st_mode);
        if (link) {
            // A link that leads nowhere has nothing to pack, as other special files.
            if (::fstatat(folder.fd.Get(), name.c_str(), &st, 0) != 0 ||
                !(S_ISDIR(st.st_mode) || S_ISREG(st.st_mode))) {
                return std::nullopt;
            }
            if (!m_followLinks && !LeadsInside(path)) {
                Refuse(path, "the symbolic link leads outside the source folder (--follow-links packs its target)");
            }
        }
        if (m_output && m_output->first == st.st_dev && m_output->second == st.st_ino) {
            return std::nullopt; // the archive being replaced
        }
        const std::string archiveName = folder.archiveName.empty() ? name : folder.archiveName + "/" + name;
        const int noFollow = link ? 0 : O_NOFOLLOW;
        if (S_ISDIR(st.st_mode)) {
            const CFileId id{st.st_dev, st.st_ino};
            if (std::find(folder.chain.begin(), folder.chain.end(), id) != folder.chain.end()) {
                Refuse(path, "the symbolic link leads back to a folder that holds it");
            }
            CDescriptor fd(::openat(folder.fd.Get(), name.c_str(), O_RDONLY | O_DIRECTORY | noFollow | O_CLOEXEC));
            if (fd.Get() < 0) {
                throw CException("Could not read " + path + ".");
            }
            if (!m_archive.IsDirectory(archiveName)) {
                m_archive.CreateDirectory(archiveName);
            }
            CFolder sub{std::move(fd), path, archiveName, folder.chain};
            sub.chain.push_back(id);
            return sub;
        }
        if (S_ISREG(st.st_mode)) {
            const std::string data = ReadFile(folder, name, path, noFollow);
            m_archive.AddFile(archiveName, data.data(), static_cast<std::uint32_t>(data.size()));
        }
        return std::nullopt;
    }

    bool LeadsInside(const std::string& path) const
    {
        char real[PATH_MAX];
        if (::realpath(path.c_str(), real) == nullptr) {
            return false;
        }
        const std::string_view target(real);
        return target.starts_with(m_realSource) &&
               (target.size() == m_realSource.size() || target[m_realSource.size()] == '/' || m_realSource == "/");
    }

    static std::string ReadFile(const CFolder& folder, const std::string& name, const std::string& path, int noFollow)
    {
        const CDescriptor fd(::openat(folder.fd.Get(), name.c_str(), O_RDONLY | O_NONBLOCK | noFollow | O_CLOEXEC));
        struct stat st {};
        if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
            throw CException("Could not read " + path + ".");
        }
        if (static_cast<unsigned long long>(st.st_size) > 0xFFFFFFFFull) {
            throw CException("File too large for an archive: " + path + ".");
        }
        std::string data(static_cast<std::size_t>(st.st_size), '\0');
        std::size_t got = 0;
        while (got < data.size()) {
            const ssize_t n = ::read(fd.Get(), data.data() + got, data.size() - got);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                throw CException("Could not read " + path + ".");
            }
            got += static_cast<std::size_t>(n);
        }
        return data;
    }

    CModuleArchive& m_archive;
    std::string m_source;
    std::string m_realSource;
    bool m_followLinks;
    std::optional<CFileId> m_output;
};

int Pack(const CCliContext& context, const CCliCommand& command, const std::vector<std::string>& args)
{
    std::vector<std::string> positional;
    std::uint32_t compression = kDeflateCompression;
    bool followLinks = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--follow-links") {
            followLinks = true;
        } else if (args[i] == "--compression") {
            if (i + 1 >= args.size()) {
                return UsageError(command, "--compression needs none or deflate");
            }
            const std::string& value = args[++i];
            if (value == "none") {
                compression = kNoCompression;
            } else if (value == "deflate") {
                compression = kDeflateCompression;
            } else {
                return UsageError(command, "unknown compression '" + value + "' (none or deflate)");
            }
        } else if (args[i].starts_with("--")) {
            return UsageError(command, "unknown option '" + args[i] + "'");
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() != 2) {
        return UsageError(command, "pack needs SRCDIR and OUT.modl");
    }
    const std::string source = ArgumentPath(context, positional[0]);
    const std::string output = ArgumentPath(context, positional[1]);
    if (!FolderExists(source)) {
        return Failure("Source folder not found: " + source);
    }
    CModuleArchive archive;
    archive.SetCompression(compression);
    CFolderPacker(archive, source, output, followLinks).Pack();
    try {
        archive.Save(output);
    } catch (const CException& e) {
        return Failure(output + ": " + e.GetErrorMessage());
    }
    return kExitOk;
}

// The place of a node below the destination, or none when the name could
// lead anywhere else.
std::optional<fs::path> PlaceBelow(const fs::path& destination, const std::string& name)
{
    if (name == ".") {
        return destination;
    }
    fs::path place = destination;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find('\\', start);
        if (end == std::string::npos) {
            end = name.size();
        }
        const std::string part = name.substr(start, end - start);
        if (part.empty() || part == "." || part == ".." || part.find('/') != std::string::npos ||
            part.find('\0') != std::string::npos) {
            return std::nullopt;
        }
        place /= part;
        start = end + 1;
    }
    return place;
}

int Unpack(const CCliContext& context, const CCliCommand& command, const std::vector<std::string>& args)
{
    if (args.size() != 3) {
        return UsageError(command, "unpack needs IN.modl and DESTDIR");
    }
    const CModuleArchive archive(ArgumentPath(context, args[1]));
    const fs::path destination = fs::weakly_canonical(fs::path(ArgumentPath(context, args[2])));
    // Every name is checked before anything is written.
    std::vector<fs::path> places;
    for (std::uint32_t i = 0; i < archive.GetNodeCount(); ++i) {
        const std::string& name = archive.GetNode(i)->GetName();
        std::optional<fs::path> place = PlaceBelow(destination, name);
        if (!place) {
            return Failure("Refusing to unpack '" + Printable(name) + "': it would land outside " +
                           destination.string() + ".");
        }
        places.push_back(std::move(*place));
    }
    for (std::uint32_t i = 0; i < archive.GetNodeCount(); ++i) {
        const CArchiveNode* node = archive.GetNode(i);
        // A link already in the destination must not carry a name elsewhere.
        const fs::path resolved = fs::weakly_canonical(places[i]);
        const auto [end, ignored] =
            std::mismatch(destination.begin(), destination.end(), resolved.begin(), resolved.end());
        if (end != destination.end()) {
            return Failure("Refusing to unpack '" + Printable(node->GetName()) + "': it would land outside " +
                           destination.string() + ".");
        }
        std::error_code error;
        if (node->IsDirectory()) {
            fs::create_directories(places[i], error);
            if (error) {
                return Failure("Could not create folder " + places[i].string() + ": " + error.message());
            }
            continue;
        }
        fs::create_directories(places[i].parent_path(), error);
        const std::string reason = WriteFileAtomically(places[i].string(), node->GetDataView());
        if (!reason.empty()) {
            return Failure("Could not write " + places[i].string() + ": " + reason);
        }
    }
    return kExitOk;
}

int List(const CCliContext& context, const CCliCommand& command, const std::vector<std::string>& args)
{
    if (args.size() != 2) {
        return UsageError(command, "list needs IN.modl");
    }
    const CModuleArchive archive(ArgumentPath(context, args[1]));
    std::string out;
    for (std::uint32_t i = 0; i < archive.GetNodeCount(); ++i) {
        const CArchiveNode* node = archive.GetNode(i);
        if (node->IsDirectory()) {
            out += "d " + Printable(node->GetName()) + "\n";
        } else {
            out += "f " + std::to_string(node->GetSize()) + " " + Printable(node->GetName()) + "\n";
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return kExitOk;
}

int Verify(const CCliContext& context, const CCliCommand& command, const std::vector<std::string>& args)
{
    if (args.size() != 2) {
        return UsageError(command, "verify needs IN.modl");
    }
    const CModuleArchive archive(ArgumentPath(context, args[1]));
    std::printf("%s: %u nodes, %s\n", args[1].c_str(), archive.GetNodeCount(),
                archive.GetCompressionName(archive.GetCompression()).c_str());
    return kExitOk;
}

int Run(const CCliContext& context, const std::vector<std::string>& args);

CCliCommand MakeCommand()
{
    return CCliCommand{"archive", kUsage,
                       "build (pack), unpack, list or verify a module archive; 'archive --help' for more", Run};
}

int Run(const CCliContext& context, const std::vector<std::string>& args)
{
    const CCliCommand command = MakeCommand();
    if (args.empty()) {
        return UsageError(command, "a subcommand is needed");
    }
    const std::string& sub = args[0];
    if (sub == "--help" || sub == "-h" || std::find(args.begin(), args.end(), "--help") != args.end()) {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    try {
        if (sub == "pack") {
            return Pack(context, command, args);
        }
        if (sub == "unpack") {
            return Unpack(context, command, args);
        }
        if (sub == "list") {
            return List(context, command, args);
        }
        if (sub == "verify") {
            return Verify(context, command, args);
        }
    } catch (const CException& e) {
        // Reading the archive failed: the message is about that file. Pack
        // names the files of its own messages.
        const bool aboutArchive = sub != "pack" && args.size() > 1;
        return Failure((aboutArchive ? ArgumentPath(context, args[1]) + ": " : std::string()) + e.GetErrorMessage());
    } catch (const fs::filesystem_error& e) {
        return Failure(e.what());
    }
    return UsageError(command, "unknown subcommand '" + sub + "'");
}

static CCliCommandRegistration registration(MakeCommand());

} // namespace
} // namespace bram::cli
