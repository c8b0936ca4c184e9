#include "log/Log.h"

#include "base/Text.h"
#include "log/Diagnostics.h"

#include <cstdarg>

namespace bram {

void LogWrite(std::string_view text) { CDiagnostics::Instance().Write(text); }

void LogWriteA(std::string_view text) { CDiagnostics::Instance().Write(text); }

void LogPrintf(const char* format, ...)
{
    if (!CDiagnostics::Instance().IsActive()) {
        return;
    }
    va_list args;
    va_start(args, format);
    const std::string text = StringPrintfV(format, args);
    va_end(args);
    LogWrite(text);
}

void LogPrintfA(const char* format, ...)
{
    if (!CDiagnostics::Instance().IsActive()) {
        return;
    }
    va_list args;
    va_start(args, format);
    const std::string text = StringPrintfV(format, args);
    va_end(args);
    LogWriteA(text);
}

} // namespace bram
