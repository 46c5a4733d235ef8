#include "platform/process.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <sstream>
#include <thread>

extern char** environ;

namespace skh::platform {

int spawnProcess(const std::vector<std::string>& argv, const EnvironmentChanges& env,
                 const std::filesystem::path& folder, const std::filesystem::path& output) {
    if (argv.empty()) return -1;
    std::map<std::string, std::string> vars;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry(*e);
        const auto eq = entry.find('=');
        if (eq != std::string::npos) vars[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    for (const auto& [name, value] : env) {
        if (value.empty()) {
            vars.erase(name);
        } else {
            vars[name] = value;
        }
    }
    std::vector<std::string> envText;
    for (const auto& [name, value] : vars) envText.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& s : envText) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char*> argp;
    for (auto& s : args) argp.push_back(s.data());
    argp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    // Children never read the terminal of whoever started us.
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (!output.empty()) {
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    }
    // The child starts with no signal blocked, whatever this thread blocks,
    // and ends by the signals of a user as a program started from a terminal
    // does, whatever this process ignores (a shell ignores some in the jobs it
    // starts in the background).
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t ending;
    sigemptyset(&ending);
    for (const int sig : {SIGHUP, SIGINT, SIGQUIT, SIGTERM}) sigaddset(&ending, sig);
    posix_spawnattr_setsigdefault(&attributes, &ending);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argp[0], &actions, &attributes, argp.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

bool signalProcess(int pid, EndRequest request) {
    if (pid <= 0) return false;
    int sig = SIGKILL;
    switch (request) {
        case EndRequest::Interrupt:
            sig = SIGINT;
            break;
        case EndRequest::Terminate:
            sig = SIGTERM;
            break;
        case EndRequest::Hangup:
            sig = SIGHUP;
            break;
        case EndRequest::Kill:
            break;
    }
    return ::kill(pid, sig) == 0;
}

std::optional<int> waitProcess(int pid, std::chrono::milliseconds timeout) {
    if (pid <= 0) return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            if (WIFEXITED(status)) return WEXITSTATUS(status);
            if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
            return std::nullopt;
        }
        if (r < 0 || std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

double processCpuSecondsOf(int pid) {
    // Fields 14 and 15 of /proc/<pid>/stat, after the name in brackets.
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close == std::string::npos || close + 2 > text.size()) return 0.0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    unsigned long long user = 0, system = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) user = std::strtoull(field.c_str(), nullptr, 10);
        if (i == 15) system = std::strtoull(field.c_str(), nullptr, 10);
    }
    const long ticks = sysconf(_SC_CLK_TCK);
    return ticks > 0 ? static_cast<double>(user + system) / static_cast<double>(ticks) : 0.0;
}

}  // namespace skh::platform
