#pragma once
// Log operations. The log has no line structure of its own: every message
// brings its own "\n". Without an open log every write is dropped.
//
// Core text is UTF-8, and on this platform the system code page of narrow
// text is UTF-8 too, so the narrow and wide forms write the same characters;
// both are kept because callers name the form their text comes in.

#include <string_view>

namespace bram {

void LogWrite(std::string_view text);
void LogWriteA(std::string_view text);
void LogPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogPrintfA(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Writes out what the log holds in memory; called where an operation ends.
void LogFlush();
// LogFlush when it goes out of scope.
struct CLogFlushAtEnd {
    CLogFlushAtEnd() = default;
    CLogFlushAtEnd(const CLogFlushAtEnd&) = delete;
    CLogFlushAtEnd& operator=(const CLogFlushAtEnd&) = delete;
    ~CLogFlushAtEnd() { LogFlush(); }
};

} // namespace bram
