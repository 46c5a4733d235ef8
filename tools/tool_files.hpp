#pragma once
// The files the tools' command lines name: a file that cannot be read is
// refused by its name and why, before anything reads it (a folder given as a
// file would otherwise reach a parser as a file of no sensible size).
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace skh::tools {

// Why `path` cannot be read as a file; empty when it can.
inline std::string gf_unreadableFile(const std::filesystem::path& path) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found) return "no such file";
    if (ec) return ec.message();
    if (std::filesystem::is_directory(status)) return "a folder, not a file";
    if (!std::ifstream(path)) return "it cannot be opened for reading";
    return {};
}

}  // namespace skh::tools
