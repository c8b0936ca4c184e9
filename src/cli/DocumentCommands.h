#pragma once
// What the generate and resave subcommands share: argument parsing and
// reading a data file after the start-up.

#include "CliCommand.h"

#include <functional>
#include <string>
#include <vector>

namespace bram {
class CApplicationDocument;
}

namespace bram::cli {

struct CDocumentArguments {
    std::string dataFile;
    std::string outputFile;
    bool strict = false; // generate: refuse to write a script with errors
};

// Parses "DATAFILE -o OUTFILE" ("check" takes no -o, "generate" also
// --strict); on a usage error prints it and returns false with *exitCode set.
bool ParseDocumentArguments(const std::string& commandName, const CCliContext& context,
                            const std::vector<std::string>& args, CDocumentArguments& out, int* exitCode);

// Runs the start-up, reads the data file into a new document and calls
// work(document); the reader's or writer's message goes to stderr as
// "PATH: message", PATH the data file or the output file.
using DocumentWork =
    std::function<bool(CApplicationDocument& document, const std::string& outputFile, std::string& error)>;
int RunWithDocument(const CCliContext& context, const CDocumentArguments& arguments, const DocumentWork& work);

} // namespace bram::cli
