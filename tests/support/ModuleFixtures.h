#pragma once
// Module XML and ".modl" files for tests: a module put together from XML
// fragments per section, written into a real archive.

#include "TestDataFiles.h"
#include "progress/LoadingProgress.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace bram::test {

struct ModuleSource {
    std::string priority; // empty: no Priority element
    std::vector<std::string> needs;
    std::string types;
    std::string blocks;
    std::string constants;
    std::string structures;
    std::string calls;
    std::string scripts;
};

std::string ModuleXml(const ModuleSource& source);

// One type of each usable real type: Bool, Num, Str (with start and end
// strings), Trig, Func.
std::string StandardTypes();

// A "stringtable" document with the entries.
std::string StringTableXml(const std::map<std::string, std::string>& entries);

// Writes a ".modl" holding "Data\data.xml" (UTF-16LE, with a byte order mark
// unless bom is false) and the further files (path in the archive -> bytes).
void WriteModuleArchive(const std::string& path, const std::string& xml,
                        const std::map<std::string, std::string>& files = {}, bool bom = true);

std::string Utf16(const std::string& utf8, bool bom = true);

// Definition files that fit the workspace below (tests/data/workspace).
std::string FunctionDefinitionXml();
std::string ScriptCreationXml();

// A small complete workspace from tests/data/workspace: brambleton.ini (no logging), modules "base"
// (priority 1: types Str, Num, Bool, Trig, Func; blocks Events, Actions;
// constant Pi; script runtime.lua) and "flow" (priority 5, needs base:
// structure If, calls Print and Add), and both definition files.
void WriteWorkspace(const std::string& folder);

// Binary file content of the given size that changes along its length, yet
// packs well.
std::string SampleBytes(std::size_t size);

// Every entry below a folder by its relative path with "/": a file with its
// bytes, a folder as "<dir>".
std::map<std::string, std::string> FilesBelow(const std::string& folder);

// The message of the CModuleException that the operation raises; "" when it
// raises none.
std::string ModuleErrorOf(const std::function<void()>& operation);

// A loading display that keeps the stage texts and bar positions it is shown.
struct CProgressRecorder : ILoadingDisplay {
    void ShowStageText(const std::string& text) override { stages.push_back(text); }
    void ShowDetailText(const std::string&) override {}
    void ShowProgress(int position) override { positions.push_back(position); }
    std::vector<std::string> stages;
    std::vector<int> positions;
};

} // namespace bram::test
