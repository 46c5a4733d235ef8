#pragma once
// A virtual X display for window tests: DISPLAY points for the scope at an
// Xvfb on a free display number. The Xvfb is one for the whole test program,
// started by the first user and ended with the program: the display
// libraries keep their connection to the first display they open for the
// life of the process, so a second server would never be reached.
#include <memory>
#include <string>

#include "support/test_env.hpp"

namespace skh::test {

// An Xvfb on a free display number, ended with the object. The shared one
// below is one of these; a test that ends a display (to lose it) starts one
// of its own, for child processes only.
class XvfbServer {
public:
    XvfbServer();
    ~XvfbServer() { end(); }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // Empty when the display runs; else why not (for the skip message).
    const std::string& failure() const { return m_failure; }
    const std::string& name() const { return m_name; }
    // Ends the server and waits for it.
    void end();

private:
    std::string m_name;
    std::string m_failure;
    int m_pid = -1;
};

class XvfbDisplay {
public:
    XvfbDisplay();
    ~XvfbDisplay();
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;

    // Empty when the display runs; else why not (for the skip message).
    const std::string& failure() const { return m_failure; }
    const std::string& name() const { return m_name; }

private:
    std::string m_name;
    std::string m_failure;
    std::unique_ptr<ScopedEnv> m_display;
};

}  // namespace skh::test
