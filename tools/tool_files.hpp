#pragma once
// The files the tools' command lines name: a file that cannot be read is
// refused by its name and why, before anything reads it (a folder given as a
// file would otherwise reach a parser as a file of no sensible size), a file
// that cannot be written is refused before anything is written, and an output
// that is one of the inputs is refused before it could overwrite it. Standard
// output is checked at every write and at its close, so a full disk never
// passes for success.
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
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
