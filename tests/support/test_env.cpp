#include "support/test_env.hpp"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "foundation/log.hpp"
#include "platform/file_sync.hpp"

namespace skh::test {

namespace fs = std::filesystem;

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

TempDir::TempDir(const fs::path& base) {
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto name = "skyhaven-test-" + std::to_string(rd()) + "-" + std::to_string(counter++);
        const auto candidate = base / name;
        if (fs::create_directory(candidate)) {
            m_path = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(m_path, ec);
}

ScopedCwd::ScopedCwd(const fs::path& folder) : m_previous(fs::current_path()) { fs::current_path(folder); }

ScopedCwd::~ScopedCwd() {
    std::error_code ec;
    fs::current_path(m_previous, ec);
}

ScopedEnv::ScopedEnv(std::string name, const std::optional<std::string>& value) : m_name(std::move(name)) {
    if (const char* old = std::getenv(m_name.c_str())) m_previous = old;
    if (value) {
        ::setenv(m_name.c_str(), value->c_str(), 1);
    } else {
        ::unsetenv(m_name.c_str());
    }
}

ScopedEnv::~ScopedEnv() {
    if (m_previous) {
        ::setenv(m_name.c_str(), m_previous->c_str(), 1);
    } else {
        ::unsetenv(m_name.c_str());
    }
}

ScopedLog::ScopedLog() : m_path(m_dir.path() / "Log.txt") { gf_openLog(m_path); }

ScopedLog::~ScopedLog() { gf_closeLog(); }

std::vector<std::string> ScopedLog::lines() const { return readLines(m_path); }

std::string ScopedLog::text() const { return readFile(m_path); }

bool ScopedLog::contains(const std::string& part) const { return text().find(part) != std::string::npos; }

void writeFile(const fs::path& path, const std::string& bytes) {
    if (path.has_parent_path()) fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::string> readLines(const fs::path& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

std::set<std::string> entryNames(const fs::path& folder) {
    std::set<std::string> out;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        out.insert(it->path().filename().string());
    }
    return out;
}

FailingDiskFlushes::FailingDiskFlushes(int error) { platform::failFileSyncs(error); }

FailingDiskFlushes::~FailingDiskFlushes() { platform::failFileSyncs(0); }

}  // namespace skh::test
