// brambleton-cli archive: builds, unpacks, lists and checks ".modl" archives.

#include "CliCommand.h"

#include "archive/ModuleArchive.h"
#include "base/Exceptions.h"
#include "base/Paths.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <system_error>

namespace bram::cli {
namespace {

namespace fs = std::filesystem;

const char kUsage[] = "pack SRCDIR OUT.modl [--compression none|deflate] | unpack IN.modl DESTDIR | list IN.modl | "
                      "verify IN.modl";

const char kHelp[] = "brambleton-cli archive - build and inspect module archives (.modl)\n"
                     "\n"
                     "  archive pack SRCDIR OUT.modl [--compression none|deflate]\n"
                     "      Packs every file and folder below SRCDIR into OUT.modl. Names are stored\n"
                     "      relative to SRCDIR in lower case with \"\\\" separators. Default: deflate.\n"
                     "  archive unpack IN.modl DESTDIR\n"
                     "      Writes the archive's tree below DESTDIR; refuses names that would land\n"
                     "      outside DESTDIR.\n"
                     "  archive list IN.modl\n"
                     "      One line per node in node-list order: \"d NAME\" for a directory,\n"
                     "      \"f SIZE NAME\" for a file, NAME as stored.\n"
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

// Files and folders below the source folder, each folder's entries sorted so
// that the archive does not depend on the order the file system lists them.
void PackFolder(CModuleArchive& archive, const fs::path& source, const fs::path& output)
{
    std::vector<fs::path> pending{source};
    while (!pending.empty()) {
        const fs::path folder = pending.back();
        pending.pop_back();
        std::vector<fs::directory_entry> entries;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
            entries.push_back(entry);
        }
        std::sort(entries.begin(), entries.end());
        std::vector<fs::path> subfolders;
        for (const fs::directory_entry& entry : entries) {
            std::error_code ignored;
            if (fs::equivalent(entry.path(), output, ignored)) {
                continue; // the archive being replaced
            }
            const std::string name = entry.path().lexically_relative(source).generic_string();
            if (entry.is_directory()) {
                if (!archive.IsDirectory(name)) {
                    archive.CreateDirectory(name);
                }
                subfolders.push_back(entry.path());
            } else if (entry.is_regular_file()) {
                const std::optional<std::string> data = ReadWholeFile(entry.path().string());
                if (!data) {
                    throw CException("Could not read " + entry.path().string() + ".");
                }
                if (data->size() > 0xFFFFFFFFu) {
                    throw CException("File too large for an archive: " + entry.path().string() + ".");
                }
                archive.AddFile(name, data->data(), static_cast<std::uint32_t>(data->size()));
            }
        }
        // Depth first, in sorted order.
        pending.insert(pending.end(), subfolders.rbegin(), subfolders.rend());
    }
}

int Pack(const CCliContext& context, const CCliCommand& command, const std::vector<std::string>& args)
{
    std::vector<std::string> positional;
    std::uint32_t compression = kDeflateCompression;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--compression") {
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
    const fs::path source = ArgumentPath(context, positional[0]);
    const std::string output = ArgumentPath(context, positional[1]);
    if (!FolderExists(source.string())) {
        return Failure("Source folder not found: " + source.string());
    }
    CModuleArchive archive;
    archive.SetCompression(compression);
    PackFolder(archive, source, output);
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
            return Failure("Refusing to unpack '" + name + "': it would land outside " + destination.string() + ".");
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
            return Failure("Refusing to unpack '" + node->GetName() + "': it would land outside " +
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
            out += "d " + node->GetName() + "\n";
        } else {
            out += "f " + std::to_string(node->GetSize()) + " " + node->GetName() + "\n";
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
