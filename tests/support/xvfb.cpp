#include "support/xvfb.hpp"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "platform/process.hpp"

namespace skh::test {

namespace fs = std::filesystem;

namespace {

bool displayTaken(int number) {
    return fs::exists("/tmp/.X11-unix/X" + std::to_string(number)) ||
           fs::exists("/tmp/.X" + std::to_string(number) + "-lock");
}

// The pid in a display's lock file; Xvfb writes its own there.
int lockOwner(int number) {
    std::ifstream in("/tmp/.X" + std::to_string(number) + "-lock");
    int pid = -1;
    in >> pid;
    return pid;
}

}  // namespace

XvfbServer::XvfbServer() {
    const fs::path xvfb = "/usr/bin/Xvfb";
    if (!fs::exists(xvfb)) {
        m_failure = "Xvfb is not installed (Debian package xvfb)";
        return;
    }
    // Several test programs may look for a free display at the same moment:
    // each starts at a random number, and a display counts as ours only when
    // its lock file names our Xvfb.
    std::mt19937 rng{std::random_device{}()};
    for (int attempt = 0; attempt < 5; ++attempt) {
        int number = 100 + static_cast<int>(rng() % 300);
        while (number < 500 && displayTaken(number)) ++number;
        m_name = ":" + std::to_string(number);
        m_pid = platform::spawnProcess({xvfb.string(), m_name, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"}, {},
                                       {}, "/dev/null");
        if (m_pid < 0) {
            m_failure = "Xvfb could not be started";
            return;
        }
        const fs::path socket = "/tmp/.X11-unix/X" + std::to_string(number);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        bool ended = false;
        while (!(fs::exists(socket) && lockOwner(number) == m_pid)) {
            if (std::chrono::steady_clock::now() > deadline ||
                platform::waitProcess(m_pid, std::chrono::milliseconds(0))) {
                ended = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!ended) return;
        platform::signalProcess(m_pid, platform::EndRequest::Kill);
        platform::waitProcess(m_pid, std::chrono::seconds(5));
        m_pid = -1;
    }
    m_name.clear();
    m_failure = "Xvfb did not open a display";
}

void XvfbServer::end() {
    if (m_pid <= 0) return;
    platform::signalProcess(m_pid, platform::EndRequest::Terminate);
    if (!platform::waitProcess(m_pid, std::chrono::seconds(5))) {
        platform::signalProcess(m_pid, platform::EndRequest::Kill);
        platform::waitProcess(m_pid, std::chrono::seconds(5));
    }
    m_pid = -1;
}

namespace {

// The program's Xvfb, ended when the program ends (also when it leaves
// through exit()).
XvfbServer& server() {
    static XvfbServer s;
    return s;
}

}  // namespace

XvfbDisplay::XvfbDisplay() {
    const XvfbServer& s = server();
    m_failure = s.failure();
    m_name = s.name();
    if (m_failure.empty()) m_display = std::make_unique<ScopedEnv>("DISPLAY", m_name);
}

XvfbDisplay::~XvfbDisplay() = default;

}  // namespace skh::test
