#include "support/xvfb.hpp"

#include <chrono>
#include <thread>

#include "platform/process.hpp"

namespace skh::test {

namespace fs = std::filesystem;

XvfbDisplay::XvfbDisplay() {
    const fs::path xvfb = "/usr/bin/Xvfb";
    if (!fs::exists(xvfb)) {
        m_failure = "Xvfb is not installed (Debian package xvfb)";
        return;
    }
    int number = 90;
    while (number < 400 && (fs::exists("/tmp/.X11-unix/X" + std::to_string(number)) ||
                            fs::exists("/tmp/.X" + std::to_string(number) + "-lock"))) {
        ++number;
    }
    m_name = ":" + std::to_string(number);
    m_pid = platform::spawnProcess({xvfb.string(), m_name, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"}, {}, {},
                                   "/dev/null");
    if (m_pid < 0) {
        m_failure = "Xvfb could not be started";
        return;
    }
    const fs::path socket = "/tmp/.X11-unix/X" + std::to_string(number);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (!fs::exists(socket)) {
        if (std::chrono::steady_clock::now() > deadline || platform::waitProcess(m_pid, std::chrono::milliseconds(0))) {
            m_failure = "Xvfb did not open display " + m_name;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    m_display = std::make_unique<ScopedEnv>("DISPLAY", m_name);
}

XvfbDisplay::~XvfbDisplay() {
    m_display.reset();
    if (m_pid > 0) {
        platform::signalProcess(m_pid, platform::EndRequest::Terminate);
        if (!platform::waitProcess(m_pid, std::chrono::seconds(5))) {
            platform::signalProcess(m_pid, platform::EndRequest::Kill);
            platform::waitProcess(m_pid, std::chrono::seconds(5));
        }
    }
}

}  // namespace skh::test
