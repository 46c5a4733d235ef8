#pragma once
// A program folder of its own, settings in a temp folder, the log, and the
// fake clock as the run's clock; the run's state as in a fresh process.
#include <gtest/gtest.h>

#include <pugixml.hpp>
#include <string>

#include "app/app_state.hpp"
#include "app/closing.hpp"
#include "app/pacing.hpp"
#include "foundation/constants.hpp"
#include "foundation/main_window_state.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/settings_file.hpp"
#include "support/default_settings.hpp"
#include "support/fake_clock.hpp"
#include "support/test_env.hpp"

namespace skh::test {

class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_savedSettingsPath = g_parametersXmlPath;
        g_parametersXmlPath = (m_settings.path() / "parameters.xml").string();
        resetSettingsToDefaults();
        gf_loadParameters();
        gf_setRunClock(m_clock.clock());
        lf_resetSession();
        g_restartRequested = false;
    }
    void TearDown() override {
        lf_resetSession();
        gf_clearStatusMessage();
        g_restartRequested = false;
        gf_setRunClock(gf_steadyClock());
        g_parametersXmlPath = m_savedSettingsPath;
    }

    std::string storedValue(const std::string& key) const {
        pugi::xml_document doc;
        doc.load_file(g_parametersXmlPath.c_str());
        for (const auto& n : doc.child("parameters").children("parameter")) {
            if (key == n.attribute("name").value()) return n.attribute("value").value();
        }
        return "<missing>";
    }

    TempDir m_settings;
    TempDir m_program;
    ScopedCwd m_cwd{m_program.path()};
    ScopedLog m_log;
    FakeClock m_clock;
    std::string m_savedSettingsPath;
};

}  // namespace skh::test
