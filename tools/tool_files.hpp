#pragma once
// The files the tools' command lines name: a file that cannot be read is
// refused by its name and why, before anything reads it (a folder given as a
// file would otherwise reach a parser as a file of no sensible size), a file
// that cannot be written is refused before anything is written, and an output
// that is one of the inputs, or another output, is refused before it could
// overwrite it. An output is written beside its name and removed when the
// tool is stopped before it took the name. Standard output is checked at
// every write and at its close, so a full disk never passes for success.
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>

#include "foundation/text_files.hpp"

namespace skh::tools {

// Why `path` cannot be read as a file; empty when it can.
inline std::string gf_unreadableFile(const std::filesystem::path& path) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found) return "no such file";
    if (ec) return ec.message();
    if (std::filesystem::is_directory(status)) return "a folder, not a file";
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return std::generic_category().message(errno);
    std::fclose(f);
    return {};
}

// Why `path` cannot be written as a file; empty when it can. The system is
// asked by opening, and nothing is left behind: an existing file is opened to
// append nothing, a new one is tried as a file beside it, removed at once.
inline std::string gf_unwritableFile(const std::filesystem::path& path) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (std::filesystem::is_directory(status)) return std::make_error_code(std::errc::is_a_directory).message();
    const bool exists = std::filesystem::exists(status);
    const std::filesystem::path probe = exists ? path : gf_temporaryPathBeside(path, ".probe");
    std::FILE* f = std::fopen(probe.c_str(), "ab");
    if (f == nullptr) return std::generic_category().message(errno);
    std::fclose(f);
    if (!exists) std::filesystem::remove(probe, ec);
    return {};
}

// True when `output` and `input` are one file, whatever their names (the
// same device and inode); an empty `output` is standard output. Only a file
// is overwritten: a terminal is both input and output.
inline bool gf_sameFile(const std::string& output, const std::string& input) {
    struct stat out {};
    struct stat in {};
    if (input.empty() || ::stat(input.c_str(), &in) != 0 || !S_ISREG(in.st_mode)) return false;
    const int got = output.empty() ? ::fstat(STDOUT_FILENO, &out) : ::stat(output.c_str(), &out);
    return got == 0 && out.st_dev == in.st_dev && out.st_ino == in.st_ino;
}

// The file a name of an output would write: made absolute, with its links
// followed, also a link to a file not made yet.
inline std::filesystem::path gf_outputTarget(const std::filesystem::path& name) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path path = fs::absolute(name, ec);
    if (ec) return name;
    // As many links as the system follows in one name.
    for (int links = 0; links < 40 && fs::is_symlink(fs::symlink_status(path, ec)); ++links) {
        const fs::path to = fs::read_symlink(path, ec);
        if (ec) break;
        path = to.is_absolute() ? to : path.parent_path() / to;
    }
    const fs::path target = fs::weakly_canonical(path, ec);
    return ec ? path.lexically_normal() : target;
}

// True when the outputs `first` and `second` would be one file, whatever
// their names: the same device and inode where both are there, else the same
// file once the names are resolved; an empty name is standard output. A
// device or a pipe takes both.
inline bool gf_sameOutput(const std::string& first, const std::string& second) {
    struct stat a {};
    struct stat b {};
    const bool hasFirst = (first.empty() ? ::fstat(STDOUT_FILENO, &a) : ::stat(first.c_str(), &a)) == 0;
    const bool hasSecond = (second.empty() ? ::fstat(STDOUT_FILENO, &b) : ::stat(second.c_str(), &b)) == 0;
    if (hasFirst && hasSecond) return S_ISREG(a.st_mode) && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
    return !first.empty() && !second.empty() && gf_outputTarget(first) == gf_outputTarget(second);
}

// The file an output is written to beside its name while it is written, and
// whether a stop must remove it; read by the signal handler below, so the
// name is in place before the file exists.
inline char g_removedOnStop[PATH_MAX] = {};
inline std::atomic<bool> g_removeOnStop{false};

// Ctrl-C, SIGTERM or a closed terminal while the file beside is there:
// removes it, then ends the tool by the signal as if nothing had caught it.
// Only async-signal-safe calls.
inline void lf_removeAndEnd(int sig) {
    if (g_removeOnStop.load()) ::unlink(g_removedOnStop);
    ::raise(sig);  // the action is back to the default; it comes when the handler returns
}

// While it lives, a stop from outside removes `temp`, the new output written
// beside the older one, so the older output stays as it was with nothing
// beside it; the tool ends by the signal, which a shell shows as 128 + its
// number (130 for Ctrl-C). A signal the tool was started to ignore stays
// ignored.
class RemovedOnStop {
public:
    explicit RemovedOnStop(const std::filesystem::path& temp) {
        static_assert(std::atomic<bool>::is_always_lock_free);
        const std::string& name = temp.native();
        if (name.size() >= sizeof g_removedOnStop) return;  // a name the system would not create either
        name.copy(g_removedOnStop, name.size());
        g_removedOnStop[name.size()] = '\0';
        g_removeOnStop.store(true);
        struct sigaction action {};
        action.sa_handler = lf_removeAndEnd;
        sigemptyset(&action.sa_mask);
        for (const int sig : kSignals) sigaddset(&action.sa_mask, sig);
        action.sa_flags = SA_RESETHAND;
        for (std::size_t i = 0; i < std::size(kSignals); ++i) {
            struct sigaction& previous = m_previous[i];
            if (::sigaction(kSignals[i], nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN) continue;
            m_installed[i] = ::sigaction(kSignals[i], &action, nullptr) == 0;
        }
    }
    // After the file took the output's name (or was removed): a stop from
    // then on finds no file of that name.
    ~RemovedOnStop() {
        for (std::size_t i = 0; i < std::size(kSignals); ++i) {
            if (m_installed[i]) ::sigaction(kSignals[i], &m_previous[i], nullptr);
        }
        g_removeOnStop.store(false);
    }
    RemovedOnStop(const RemovedOnStop&) = delete;
    RemovedOnStop& operator=(const RemovedOnStop&) = delete;

private:
    static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction m_previous[std::size(kSignals)] = {};
    bool m_installed[std::size(kSignals)] = {};
};

// The system's reason for the first write to standard output that failed; 0
// while every byte went out.
inline std::atomic<int> g_standardOutputError{0};

// Writes `text` to standard output, flushed when `flush` (a line others wait
// for); false once any write to it has failed.
inline bool gf_writeOutput(std::string_view text, bool flush = false) {
    if (g_standardOutputError.load() != 0) return false;
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && (!flush || std::fflush(stdout) == 0))
        return true;
    int expected = 0;
    g_standardOutputError.compare_exchange_strong(expected, errno != 0 ? errno : EIO);
    return false;
}

// Flushes and closes standard output; the status to end with: `status`, or 1
// when a byte of it was lost, said in one line on standard error.
inline int gf_endOutput(const char* tool, int status) {
    int error = g_standardOutputError.load();
    errno = 0;
    if (std::fflush(stdout) != 0 && error == 0) error = errno != 0 ? errno : EIO;
    // The descriptor alone: the stream stays for the flushes at exit.
    if (error == 0 && ::close(STDOUT_FILENO) != 0 && errno != EBADF) error = errno;
    if (error == 0) return status;
    std::fprintf(stderr, "%s: cannot write the standard output: %s\n", tool,
                 std::generic_category().message(error).c_str());
    return status != 0 ? status : 1;
}

}  // namespace skh::tools
