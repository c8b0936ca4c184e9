#pragma once
// An independent reader of minidump files for the tests: every offset is
// checked, so a broken writer shows as a failed read, not as a crash.

#include "TestSupport.h"
#include "log/MiniDump.h"

#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace bram::test {

struct CReadDump {
    std::string error; // empty when the file reads back
    std::uint32_t version = 0;
    std::map<std::uint32_t, std::pair<std::uint32_t, std::uint32_t>> streams; // type -> size, position
    std::uint16_t architecture = 0;
    std::uint32_t platform = 0;
    std::string systemDescription;
    std::uint32_t threadCount = 0;
    std::uint32_t threadId = 0;
    std::uint64_t stackStart = 0;
    std::string stack;
    std::string context;
    std::vector<std::string> moduleNames;
    std::vector<std::pair<std::uint64_t, std::uint32_t>> moduleRanges;
    std::optional<std::uint32_t> exceptionCode;
    std::uint64_t exceptionAddress = 0;
    std::string comment; // the wide comment stream as UTF-16LE bytes, without terminator
};

// Bounds-checked little-endian reads.
class CDumpBytes {
public:
    explicit CDumpBytes(const std::string& bytes) : m_bytes(bytes) {}
    std::string Block(std::uint64_t at, std::uint64_t size) const
    {
        if (at + size > m_bytes.size()) {
            throw std::out_of_range("read past the end at " + std::to_string(at));
        }
        return m_bytes.substr(at, size);
    }
    std::uint64_t Get(std::uint64_t at, std::size_t size) const
    {
        std::uint64_t v = 0;
        std::memcpy(&v, Block(at, size).data(), size);
        return v;
    }
    std::uint32_t U32(std::uint64_t at) const { return static_cast<std::uint32_t>(Get(at, 4)); }
    std::uint16_t U16(std::uint64_t at) const { return static_cast<std::uint16_t>(Get(at, 2)); }
    std::uint64_t U64(std::uint64_t at) const { return Get(at, 8); }
    // A length-prefixed UTF-16 string, returned as plain ASCII/Latin-1 text.
    std::string String(std::uint64_t at) const
    {
        const std::uint32_t length = U32(at);
        const std::string wide = Block(at + 4, length);
        std::string text;
        for (std::size_t i = 0; i + 1 < wide.size(); i += 2) {
            text += wide[i];
        }
        return text;
    }

private:
    const std::string& m_bytes;
};

inline CReadDump ReadMiniDump(const std::string& bytes)
{
    CReadDump dump;
    const CDumpBytes b(bytes);
    try {
        if (b.U32(0) != 0x504d444d) {
            dump.error = "no MDMP signature";
            return dump;
        }
        dump.version = b.U32(4) & 0xffff;
        const std::uint32_t count = b.U32(8);
        const std::uint32_t directory = b.U32(12);
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint64_t at = directory + i * 12ull;
            const std::uint32_t type = b.U32(at);
            dump.streams[type] = {b.U32(at + 4), b.U32(at + 8)};
            (void)b.Block(b.U32(at + 8), b.U32(at + 4)); // the stream lies inside the file
        }
        if (auto it = dump.streams.find(7); it != dump.streams.end()) {
            const std::uint32_t at = it->second.second;
            dump.architecture = b.U16(at);
            dump.platform = b.U32(at + 20);
            dump.systemDescription = b.String(b.U32(at + 24));
        }
        if (auto it = dump.streams.find(3); it != dump.streams.end()) {
            const std::uint32_t at = it->second.second;
            dump.threadCount = b.U32(at);
            if (dump.threadCount > 0) {
                const std::uint64_t t = at + 4;
                dump.threadId = b.U32(t);
                dump.stackStart = b.U64(t + 24);
                dump.stack = b.Block(b.U32(t + 36), b.U32(t + 32));
                dump.context = b.Block(b.U32(t + 44), b.U32(t + 40));
            }
        }
        if (auto it = dump.streams.find(4); it != dump.streams.end()) {
            const std::uint32_t at = it->second.second;
            const std::uint32_t n = b.U32(at);
            if (it->second.first != 4 + n * 108ull) {
                dump.error = "module list size does not match its count";
                return dump;
            }
            for (std::uint32_t i = 0; i < n; ++i) {
                const std::uint64_t m = at + 4 + i * 108ull;
                dump.moduleRanges.emplace_back(b.U64(m), b.U32(m + 8));
                dump.moduleNames.push_back(b.String(b.U32(m + 20)));
            }
        }
        if (auto it = dump.streams.find(6); it != dump.streams.end()) {
            dump.exceptionCode = b.U32(it->second.second + 8);
            dump.exceptionAddress = b.U64(it->second.second + 24);
        }
        if (auto it = dump.streams.find(11); it != dump.streams.end()) {
            dump.comment = b.Block(it->second.second, it->second.first);
            if (dump.comment.size() < 2 || dump.comment.substr(dump.comment.size() - 2) != std::string(2, '\0')) {
                dump.error = "comment is not terminated";
                return dump;
            }
            dump.comment.resize(dump.comment.size() - 2);
        }
    } catch (const std::exception& e) {
        dump.error = e.what();
    }
    return dump;
}

// The saved registers' stack pointer lies in the saved stack; after a stack
// overflow it may sit up to `below` bytes under it, on the guard page that
// cannot be saved.
inline void ExpectStackPointerInSavedStack(const CReadDump& dump, std::uint64_t below = 0)
{
#if defined(__x86_64__)
    ASSERT_EQ(dump.context.size(), minidump::kAmd64ContextSize);
    ASSERT_FALSE(dump.stack.empty());
    const std::uint64_t sp = CDumpBytes(dump.context).U64(minidump::kAmd64RspOffset);
    EXPECT_GE(sp + below, dump.stackStart);
    EXPECT_LT(sp, dump.stackStart + dump.stack.size());
#else
    (void)dump;
    (void)below;
#endif
}

// The ".dmp" files in a folder (with a trailing "/").
inline std::vector<std::string> ListDumpFiles(const std::string& folder)
{
    std::vector<std::string> dumps;
    for (const std::string& name : FileNames(folder)) {
        if (name.ends_with(".dmp")) {
            dumps.push_back(folder + name);
        }
    }
    return dumps;
}

} // namespace bram::test
