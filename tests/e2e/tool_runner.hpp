#pragma once
// A tool of tools/ run as a user runs it: its exit status, with its output
// and errors in one file; or run by the shell, which first sets what a test
// needs (a file size limit, standard output sent to a full disk).
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/process.hpp"

namespace skh::test {

// The path of a tool, or `tool` itself when it is a path of its own.
inline std::string toolPath(const std::string& tool) {
    return (std::filesystem::path(SKYHAVEN_BINARY_DIR) / "tools" / tool).string();
}

// The exit status of a started program; nothing when it could not be started
// or had not ended after 30 s (it is then killed).
inline std::optional<int> waitForTool(int pid) {
    if (pid <= 0) return std::nullopt;
    const std::optional<int> status = platform::waitProcess(pid, std::chrono::seconds(30));
    if (!status) {
        platform::signalProcess(pid, platform::EndRequest::Kill);
        (void)platform::waitProcess(pid, std::chrono::seconds(30));
    }
    return status;
}

inline std::optional<int> runTool(const std::string& tool, const std::vector<std::string>& args,
                                  const std::filesystem::path& output, const platform::EnvironmentChanges& env = {}) {
    std::vector<std::string> argv{toolPath(tool)};
    argv.insert(argv.end(), args.begin(), args.end());
    return waitForTool(platform::spawnProcess(argv, env, {}, output));
}

// `sh -c 'BEFORE exec TOOL ARGS AFTER'`: BEFORE such as "ulimit -f 64;",
// AFTER such as ">/dev/full" (then only the errors reach `output`).
inline std::optional<int> runToolInShell(const std::string& before, const std::string& tool,
                                         const std::vector<std::string>& args, const std::string& after,
                                         const std::filesystem::path& output) {
    std::vector<std::string> argv{"/bin/sh", "-c", before + " exec \"$0\" \"$@\" " + after, toolPath(tool)};
    argv.insert(argv.end(), args.begin(), args.end());
    return waitForTool(platform::spawnProcess(argv, {}, {}, output));
}

}  // namespace skh::test
