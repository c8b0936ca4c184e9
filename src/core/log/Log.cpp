#include "log/Log.h"

#include "base/Text.h"
#include "log/Diagnostics.h"

#include <cstdarg>

namespace bram {

namespace {
// Narrow and wide text are both UTF-8 here, so both forms end in one writer.
void WriteFormatted(const char* format, va_list args) __attribute__((format(printf, 1, 0)));
void WriteFormatted(const char* format, va_list args)
{
    if (CDiagnostics::Instance().IsActive()) {
        CDiagnostics::Instance().Write(StringPrintfV(format, args));
    }
}
} // namespace

void LogWrite(std::string_view text) { CDiagnostics::Instance().Write(text); }

void LogWriteA(std::string_view text) { CDiagnostics::Instance().Write(text); }

void LogFlush() { CDiagnostics::Instance().Flush(); }

void LogPrintf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    WriteFormatted(format, args);
    va_end(args);
}

void LogPrintfA(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    WriteFormatted(format, args);
    va_end(args);
}

} // namespace bram
