#pragma once
// The whole program as a child process in a program folder of its own, with
// its settings, registry stand-in, pipes, lock and display kept in a temp
// folder, and no download site. Closing it is what the user's Ctrl-C does:
// the close request of the window's close button.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "foundation/constants.hpp"
#include "platform/process.hpp"
#include "support/dataset_builder.hpp"
#include "support/libraries.hpp"
#include "support/test_env.hpp"

namespace skh::test {

namespace fs = std::filesystem;

class ProgramProcess {
public:
    ProgramProcess(const fs::path& folder, const platform::EnvironmentChanges& env)
        : ProgramProcess(folder, env, folder / "stdout.txt") {}
    // With its output and errors going to `console` (output() then reads nothing).
    ProgramProcess(const fs::path& folder, const platform::EnvironmentChanges& env, const fs::path& console)
        : m_folder(folder), m_console(console) {
        const fs::path program = fs::path(SKYHAVEN_BINARY_DIR) / "Skyhaven_P3D";
        m_pid = platform::spawnProcess({program.string()}, env, folder, console);
    }
    ~ProgramProcess() {
        if (m_pid > 0 && !m_status) {
            platform::signalProcess(m_pid, platform::EndRequest::Kill);
            platform::waitProcess(m_pid, std::chrono::seconds(10));
        }
    }
    bool started() const { return m_pid > 0; }
    std::string log() const { return readFile(m_folder / "Log.txt"); }
    std::string output() const { return readFile(m_folder / "stdout.txt"); }
    // Waits for a text in this run's log (a log of an earlier run does not count).
    bool waitForLog(const std::string& text, int timeoutMs = 20000) const {
        const bool ownConsole = m_console != m_folder / "stdout.txt";
        return waitFor([&] { return (ownConsole || !output().empty()) && log().find(text) != std::string::npos; },
                       timeoutMs);
    }
    // Waits for a text on the program's standard output (its status lines).
    bool waitForOutput(const std::string& text, int timeoutMs = 20000) const {
        return waitFor([&] { return output().find(text) != std::string::npos; }, timeoutMs);
    }
    // The exit status, once the program has ended by itself.
    std::optional<int> wait(int timeoutMs = 20000) {
        if (!m_status) m_status = platform::waitProcess(m_pid, std::chrono::milliseconds(timeoutMs));
        return m_status;
    }
    // Ctrl-C: the program closes as after a click on the close button.
    std::optional<int> close(int timeoutMs = 20000) {
        platform::signalProcess(m_pid, platform::EndRequest::Interrupt);
        return wait(timeoutMs);
    }
    bool signal(platform::EndRequest request) const { return platform::signalProcess(m_pid, request); }

private:
    static bool waitFor(const std::function<bool()>& done, int timeoutMs) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }

    fs::path m_folder;
    fs::path m_console;
    int m_pid = -1;
    std::optional<int> m_status;
};

// A private world for the program: its folder and everything around it.
class ProgramWorld {
public:
    ProgramWorld() {
        initLibraries();
        fs::create_directories(m_dir / "program");
        fs::create_directories(m_dir / "pipes");
    }
    fs::path folder() const { return m_dir / "program"; }
    fs::path path(const std::string& name) const { return m_dir / name; }
    fs::path settingsFile() const { return m_dir / "appdata" / "Skyhaven_P3D" / "parameters.xml"; }

    // "docs", the data sets and the liveries cache: what a start needs.
    void prepareProgramFolder() const {
        fs::create_directories(folder() / "docs");
        packDataSet(kDbase, folder() / g_dbaseEnc);
        packDataSet(R"(<airports><airport code="LSZH" iata="ZRH" lat="47.4647" lon="8.5492" alt="1416"/></airports>)",
                    folder() / g_airportsEnc);
        writeFile(folder() / g_liveriesScannedXml,
                  R"(<liveries><liv airl="SWR" type="A320" title="Airbus A320 Swiss" atcid="HB-JLT"/></liveries>)");
    }
    void writeSettings(const std::string& parameters) const {
        writeFile(settingsFile(), "<?xml version=\"1.0\"?>\n<parameters>\n" + parameters + "</parameters>\n");
    }
    // Settings with which a start fails nowhere: an install path that exists
    // and no scans (the liveries come from the cache); it then waits for
    // the simulator.
    void writeGoodSettings() const {
        fs::create_directories(path("P3D v5"));
        writeSettings("<parameter name=\"SIM_INSTALL_PATH\" value=\"" + path("P3D v5").string() +
                      "\"/>\n<parameter name=\"SCAN_LIVERIES\" value=\"false\"/>\n"
                      "<parameter name=\"SCAN_AIRPORTS\" value=\"false\"/>\n");
    }
    platform::EnvironmentChanges environment() const {
        return {{"APPDATA", (m_dir / "appdata").string()},
                {"SKYHAVEN_REGISTRY", (m_dir / "registry.ini").string()},
                {"SKYHAVEN_DOWNLOAD_URL", "http://127.0.0.1:9/"},
                {"SKYHAVEN_HEADLESS", "1"},
                {"SKYHAVEN_LOCK_DIR", m_dir.path().string()},
                {"SKYHAVEN_PIPE_DIR", (m_dir / "pipes").string()},
                {"SKYHAVEN_DOCUMENTS", (m_dir / "documents").string()},
                {"SKYHAVEN_PUBLIC_DOCUMENTS", (m_dir / "public").string()},
                {"XDG_CONFIG_HOME", (m_dir / "appdata").string()}};
    }

    static constexpr const char* kDbase = R"(<?xml version="1.0"?>
<aircrafts><aircraft types="A320,B744,B738"/></aircrafts><high_performance><hpf types="F16"/></high_performance>
<heavy><hvy types="B744"/></heavy><large><lar types="A320,B738"/></large><buzjet><bzj types="GLF5"/></buzjet>
<rotorcraft><rot types="EC35"/></rotorcraft><cargo_types><cargo_type types="B744"/></cargo_types>
<ICAO_airlines><ICAO codes="DLH,SWR"/></ICAO_airlines><cargo_operators><ICAO codes="GEC"/></cargo_operators>
<publishers><pub names="Orbx,FTX"/></publishers><simaddonsP3D><simaddonP3D arpts="KLAX"/></simaddonsP3D>
<dbase><db reg="D-AIPA" airl="DLH" type="A320"/><db reg="D-ABVM" airl="DLH" type="B744"/></dbase>)";

private:
    TempDir m_dir;
};

}  // namespace skh::test
