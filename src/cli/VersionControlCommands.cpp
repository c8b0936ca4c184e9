// brambleton-cli outline, diff and merge: data files as readable text for
// version control, what changed between two of them, and a three-way merge
// usable as a git merge driver.

#include "CliCommand.h"
#include "StartUp.h"
#include "base/Paths.h"
#include "document/ApplicationDocument.h"
#include "document/DocumentDiff.h"
#include "document/DocumentMerge.h"
#include "document/Outline.h"

#include <cstdio>
#include <filesystem>
#include <memory>

namespace bram::cli {
namespace {

// Reads each file into a document of its own; a file that does not read is
// a usage error ("PATH: reason", exit 2), as git takes any other status of
// a diff tool for a failure too.
class CDocuments {
public:
    // With emptyFirst, an empty first file is an empty document: git hands
    // the merge driver one as the base of two files added on both sides.
    bool Read(const std::vector<std::string>& paths, int* exitCode, bool emptyFirst = false)
    {
        for (const std::string& path : paths) {
            auto document = std::make_unique<CApplicationDocument>();
            std::error_code ec;
            if (emptyFirst && m_documents.empty() && std::filesystem::is_regular_file(path, ec) &&
                std::filesystem::file_size(path, ec) == 0 && !ec) {
                m_documents.push_back(std::move(document));
                continue;
            }
            document->NewDocument();
            std::string error;
            if (!document->OpenDocument(path, &error)) {
                std::fprintf(stderr, "%s: %s%s", path.c_str(), error.c_str(),
                             error.empty() || error.back() != '\n' ? "\n" : "");
                *exitCode = kExitUsage;
                return false;
            }
            m_documents.push_back(std::move(document));
        }
        return true;
    }
    ~CDocuments()
    {
        for (auto& document : m_documents) {
            document->DeleteContents(); // before the modules go
        }
    }
    CApplicationDocument& operator[](std::size_t index) { return *m_documents[index]; }

private:
    std::vector<std::unique_ptr<CApplicationDocument>> m_documents;
};

// The positional arguments, or a usage error.
bool Positional(const CCliCommand& command, const CCliContext& context, const std::vector<std::string>& args,
                std::size_t count, std::vector<std::string>& paths, std::string* output, int* exitCode)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (output != nullptr && args[i] == "-o") {
            if (i + 1 >= args.size() || !output->empty()) {
                *exitCode = UsageError(command, i + 1 >= args.size() ? "-o needs a file name" : "-o given twice");
                return false;
            }
            *output = ArgumentPath(context, args[++i]);
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            *exitCode = UsageError(command, "unknown option '" + args[i] + "'");
            return false;
        } else {
            paths.push_back(ArgumentPath(context, args[i]));
        }
    }
    if (paths.size() != count) {
        *exitCode = UsageError(command, paths.size() < count ? "missing data file" : "too many arguments");
        return false;
    }
    return true;
}

int RunOutline(const CCliContext& context, const std::vector<std::string>& args)
{
    std::vector<std::string> paths;
    int exitCode = kExitUsage;
    if (!Positional(*CommandNamed("outline"), context, args, 1, paths, nullptr, &exitCode)) {
        return exitCode;
    }
    CCliStartUp startUp(context);
    if (!startUp.Succeeded()) {
        return kExitFailure;
    }
    CDocuments documents;
    if (!documents.Read(paths, &exitCode)) {
        return exitCode;
    }
    const std::string text = OutlineText(documents[0]);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return kExitOk;
}

int RunDiff(const CCliContext& context, const std::vector<std::string>& args)
{
    std::vector<std::string> paths;
    int exitCode = kExitUsage;
    if (!Positional(*CommandNamed("diff"), context, args, 2, paths, nullptr, &exitCode)) {
        return exitCode;
    }
    CCliStartUp startUp(context);
    if (!startUp.Succeeded()) {
        return kExitUsage;
    }
    CDocuments documents;
    if (!documents.Read(paths, &exitCode)) {
        return exitCode;
    }
    const std::vector<SDocumentChange> changes = DiffOutlines(MakeOutline(documents[0]), MakeOutline(documents[1]));
    const std::string text = FormatChanges(changes);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return changes.empty() ? kExitOk : kExitFailure;
}

int RunMerge(const CCliContext& context, const std::vector<std::string>& args)
{
    std::vector<std::string> paths;
    std::string output;
    int exitCode = kExitUsage;
    if (!Positional(*CommandNamed("merge"), context, args, 3, paths, &output, &exitCode)) {
        return exitCode;
    }
    CCliStartUp startUp(context);
    if (!startUp.Succeeded()) {
        return kExitUsage;
    }
    CDocuments documents;
    if (!documents.Read(paths, &exitCode, true)) {
        return exitCode;
    }
    const SMergeResult merged = MergeDocuments(documents[0], documents[1], documents[2]);
    if (output.empty()) {
        std::fwrite(merged.data.data(), 1, merged.data.size(), stdout);
    } else if (const std::string error = WriteFileAtomically(output, merged.data); !error.empty()) {
        std::fprintf(stderr, "%s: %s\n", output.c_str(), error.c_str());
        return kExitUsage;
    }
    // With the document on standard output the conflicts go to standard error.
    std::FILE* report = output.empty() ? stderr : stdout;
    for (const SMergeConflict& conflict : merged.conflicts) {
        std::fprintf(report, "CONFLICT\t%s\t%s\t%s\n", conflict.kind.c_str(), Printable(conflict.name).c_str(),
                     Printable(conflict.why).c_str());
    }
    return merged.conflicts.empty() ? kExitOk : kExitFailure;
}

CCliCommandRegistration outlineCommand({"outline", "DATAFILE",
                                        "load the modules, read the data file and print it as readable text, one "
                                        "fact a line (a textconv for git diff)",
                                        RunOutline});
CCliCommandRegistration diffCommand({"diff", "OLD NEW",
                                     "load the modules, read both data files and print what changed (exit 0 when "
                                     "they are the same, 1 when they differ, 2 when one does not read)",
                                     RunDiff});
CCliCommandRegistration mergeCommand({"merge", "BASE OURS THEIRS [-o OUT]",
                                      "load the modules and merge the changes from BASE to THEIRS into OURS, writing "
                                      "the result to OUT (or standard output); each conflict is printed as "
                                      "CONFLICT<TAB>KIND<TAB>NAME<TAB>WHY (exit 1 with conflicts); as a git merge "
                                      "driver: merge %O %A %B -o %A",
                                      RunMerge});

} // namespace
} // namespace bram::cli
