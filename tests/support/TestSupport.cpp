#include "TestSupport.h"

#include "app/ApplicationCore.h"
#include "archive/ModuleArchive.h"
#include "base/Paths.h"
#include "base/Text.h"
#include "localization/Localization.h"
#include "log/Assertion.h"
#include "log/Diagnostics.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bram::test {

CTempDir::CTempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "brambleton-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "mkdtemp failed";
    }
    m_path = pattern + "/";
}

CTempDir::~CTempDir()
{
    std::error_code ec;
    // Make read-only folders of a test removable again.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                     ec);
    }
    std::filesystem::remove_all(m_path, ec);
}

CFifo::CFifo(std::string path) : m_path(std::move(path))
{
    if (::mkfifo(m_path.c_str(), 0600) != 0) {
        ADD_FAILURE() << "mkfifo failed: " << m_path;
    }
    m_releaser = std::thread([this] {
        std::unique_lock lock(m_mutex);
        if (m_wake.wait_for(lock, std::chrono::seconds(3), [this] { return m_done; })) {
            return;
        }
        while (!m_wake.wait_for(lock, std::chrono::milliseconds(5), [this] { return m_done; })) {
            // Succeeds only while a reader has the FIFO open or waits in open.
            const int fd = ::open(m_path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                m_waited = true;
                ::close(fd);
            }
        }
    });
}

CFifo::~CFifo()
{
    {
        const std::lock_guard lock(m_mutex);
        m_done = true;
    }
    m_wake.notify_all();
    m_releaser.join();
    ::unlink(m_path.c_str());
}

void WriteFile(const std::string& path, std::string_view data)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    if (!out) {
        ADD_FAILURE() << "could not write " << path;
    }
}

std::string ReadFile(const std::string& path)
{
    auto data = ReadWholeFile(path);
    return data ? *data : std::string();
}

std::vector<std::string> FileNames(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string Replaced(std::string text, const std::string& what, const std::string& by)
{
    const std::size_t at = text.find(what);
    EXPECT_NE(at, std::string::npos) << "not in the text: " << what;
    if (at != std::string::npos) {
        text.replace(at, what.size(), by);
    }
    return text;
}

std::string ReadLog(const std::string& path)
{
    const std::string bytes = ReadFile(path);
    EXPECT_GE(bytes.size(), 2u) << path;
    if (bytes.size() < 2) {
        return {};
    }
    EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE")) << "log must start with a byte order mark";
    EXPECT_EQ(bytes.size() % 2, 0u) << "UTF-16 log has an odd length";
    return Utf16LEBytesToUtf8(std::string_view(bytes).substr(2));
}

void ResetProcessState()
{
    CDiagnostics::Instance().TearDown();
    CDiagnostics::Instance().SetObserver(nullptr);
    SetAssertionQuestionHook(nullptr);
    ResetLocalization();
    CApplicationCore::ReleaseMainData();
    SetUnpackedSizeLimit(kDefaultUnpackedSizeLimit);
}

CommandResult RunCommand(const std::string& command)
{
    CTempDir dir;
    const std::string out = dir / "out";
    const std::string err = dir / "err";
    const int raw = std::system((command + " >" + out + " 2>" + err + " </dev/null").c_str());
    CommandResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = ReadFile(out);
    result.err = ReadFile(err);
    return result;
}

std::string ProcessesLeft(const std::string& pattern)
{
    std::string left;
    for (int i = 0; i < 50; ++i) {
        left = RunCommand("pgrep -af '" + pattern + "'").out;
        if (left.empty()) {
            break;
        }
        ::usleep(100000);
    }
    return left;
}

} // namespace bram::test
