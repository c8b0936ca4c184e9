#include "StartUp.h"

#include "log/Diagnostics.h"

#include <cstdio>
#include <string>
#include <vector>

namespace bram::cli {

CCliStartUp::CCliStartUp(const CCliContext& context, const CStartupOptions& options)
{
    std::vector<std::string> reasons;
    CDiagnostics::Instance().SetObserver([&reasons](std::string_view text) {
        std::string reason = StartUpFailureReason(text);
        if (!reason.empty()) {
            reasons.push_back(std::move(reason));
        }
    });
    CLoadingProgress progress;
    m_ok = m_app.InitInstance(context.workdir, progress, options);
    CDiagnostics::Instance().SetObserver(nullptr);
    if (!m_ok) {
        for (std::string& reason : reasons) {
            if (!reason.ends_with('\n')) {
                reason += '\n';
            }
            std::fputs(reason.c_str(), stderr);
        }
    }
}

CCliStartUp::~CCliStartUp() { m_app.ExitInstance(); }

} // namespace bram::cli
