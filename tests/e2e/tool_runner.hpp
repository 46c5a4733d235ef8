#pragma once
// A tool of tools/ run as a user runs it: its exit status, with its output
// and errors in one file.
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/process.hpp"

namespace skh::test {

// Nothing when it could not be started or had not ended after 30 s (it is
// then killed).
inline std::optional<int> runTool(const std::string& tool, const std::vector<std::string>& args,
                                  const std::filesystem::path& output, const platform::EnvironmentChanges& env = {}) {
    std::vector<std::string> argv{(std::filesystem::path(SKYHAVEN_BINARY_DIR) / "tools" / tool).string()};
    argv.insert(argv.end(), args.begin(), args.end());
    const int pid = platform::spawnProcess(argv, env, {}, output);
    if (pid <= 0) return std::nullopt;
    const std::optional<int> status = platform::waitProcess(pid, std::chrono::seconds(30));
    if (!status) {
        platform::signalProcess(pid, platform::EndRequest::Kill);
        (void)platform::waitProcess(pid, std::chrono::seconds(30));
    }
    return status;
}

}  // namespace skh::test
