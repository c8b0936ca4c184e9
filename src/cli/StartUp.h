#pragma once
// Start-up for the subcommands that need the modules and settings: runs the
// same sequence as the editor and, when it fails, prints the reasons the
// log receives on standard error (also when logging is off).

#include "CliCommand.h"
#include "app/ApplicationCore.h"

namespace bram::cli {

class CCliStartUp {
public:
    explicit CCliStartUp(const CCliContext& context, const CStartupOptions& options = {});
    // Runs the shut-down.
    ~CCliStartUp();
    CCliStartUp(const CCliStartUp&) = delete;
    CCliStartUp& operator=(const CCliStartUp&) = delete;

    // False after a failed start-up, whose reasons are already on stderr.
    bool Succeeded() const { return m_ok; }
    CApplicationCore& GetApplication() { return m_app; }

private:
    CApplicationCore m_app;
    bool m_ok = false;
};

} // namespace bram::cli
