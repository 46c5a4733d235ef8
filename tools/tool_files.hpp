#pragma once
// The files the tools' command lines name: a file that cannot be read is
// refused by its name and why, before anything reads it (a folder given as a
// file would otherwise reach a parser as a file of no sensible size), and a
// file that cannot be written is refused before anything is written.
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
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

}  // namespace skh::tools
