#pragma once
// A program folder with a small aircraft database and a realistic set of
// installed liveries, for the tests of the livery index, the regcodes, the
// matching and the cache. Every livery global starts and ends empty.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "aircraft/flight_ident.hpp"
#include "aircraft/livery_data.hpp"
#include "support/test_env.hpp"

namespace skh::test {

// Types: Large A319 A320 A321 B738; Heavy B744 B748 A388; Buzjets GLF5;
// Rotorcraft EC35 R44; HighPerf F16; Light C172 PA28 and the rest.
// Similar groups: (A319 A320 A321), (B744 B748), (C172 PA28).
// Registrations: PH-BXA KLM B738; D-AIPA DLH A320; N744UP UPS B744 cargo;
// G-EUPA BAW A319 with operator SHT.
std::string testDbaseXml();

// Installed: KLM B738 (two, one special through AIG), KLM B744 cargo,
// DLH A320, DLH B744, BAW A321, UPS B744 cargo, GEC B748 cargo, ZZZ B738,
// ZZZ C172, ZZZ GLF5 (FSLTL_), PVT PA28.
std::vector<LiveryData> realisticLiveries();

class LiveryTest : public ::testing::Test {
protected:
    LiveryTest();
    ~LiveryTest() override;

    // Writes the liveries as LiveriesScanned.xml and processes it.
    void install(const std::vector<LiveryData>& liveries);
    // An aircraft as the traffic control would build it.
    static FlightIdent aircraft(const std::string& airline, const std::string& type,
                                const std::string& registration = "", bool cargo = false);
    // The text of the UserErrorException that `call` throws, or "".
    static std::string userError(void (*call)());
    std::string logText() const { return m_log.text(); }
    bool logHas(const std::string& part) const { return m_log.contains(part); }

    TempDir m_program;
    ScopedCwd m_cwd{m_program.path()};
    ScopedLog m_log;

private:
    std::string m_savedParametersPath;
};

}  // namespace skh::test
