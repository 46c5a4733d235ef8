#pragma once
// Child processes, for the tool belt and the whole-program tests: start a
// program in a folder with extra environment and its output in a file, ask
// it to end, wait for its exit status.
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace skh::platform {

using EnvironmentChanges = std::vector<std::pair<std::string, std::string>>;  // an empty value unsets

// The process id, or -1 when the program could not be started. Its standard
// input is empty; its output and errors go to `output` when one is given.
int spawnProcess(const std::vector<std::string>& argv, const EnvironmentChanges& env,
                 const std::filesystem::path& folder, const std::filesystem::path& output);

// Interrupt: Ctrl-C; Hangup: its terminal closed.
enum class EndRequest { Interrupt, Terminate, Hangup, Kill };
bool signalProcess(int pid, EndRequest request);

// The exit status (128 + the signal for a process ended by one), or nothing
// when it has not ended within the timeout.
std::optional<int> waitProcess(int pid, std::chrono::milliseconds timeout);

// Processor time used so far by a running process (0 when unknown).
double processCpuSecondsOf(int pid);

}  // namespace skh::platform
