#pragma once
// A virtual X display for window tests: Xvfb on a free display number for
// the scope, with DISPLAY pointing at it.
#include <filesystem>
#include <memory>
#include <string>

#include "support/test_env.hpp"

namespace skh::test {

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
    int m_pid = -1;
    std::string m_name;
    std::string m_failure;
    std::unique_ptr<ScopedEnv> m_display;
};

}  // namespace skh::test
