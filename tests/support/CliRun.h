#pragma once
// Runs brambleton-cli (BRAMBLETON_CLI_PATH, defined by the targets that test
// it) in a shell; paths in the arguments are quoted with Quoted.

#include "TestSupport.h"

#include <string>

namespace bram::test {

inline std::string Quoted(const std::string& path) { return "'" + path + "'"; }

inline CommandResult RunCli(const std::string& arguments)
{
    return RunCommand(Quoted(BRAMBLETON_CLI_PATH) + " " + arguments);
}

} // namespace bram::test
