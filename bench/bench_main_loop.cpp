// The main loop's pacing and the idle program's processor use.
//
// BM_PollGrid: the polls of an idle run (the real poll, the traffic control
// without traffic, a simulator connection that only queues) on the real
// clock; counters: p99 and worst lateness of a poll behind its 10 ms mark
// (target p99 under 1 ms), the drift of the grid over the whole run (target
// none), the polls that ran at once after a 35 ms overrun (they catch up) and
// the lateness after a re-base on user data. 10,000 polls (100 s); a quick
// pass (--benchmark_min_time under 1 s) takes 300.
//
// BM_IdleProgramCpu: the program in a folder of its own against the fake
// simulator and the fake RealTraffic, idle in its main loop; counter: its
// processor use in percent of one core over 30 s (target under 2 %; a quick
// pass measures 3 s).
#include <benchmark/benchmark.h>
#include <sodium.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/app_state.hpp"
#include "app/main_loop.hpp"
#include "app/pacing.hpp"
#include "foundation/constants.hpp"
#include "foundation/dataset_crypto.hpp"
#include "foundation/format.hpp"
#include "platform/net.hpp"
#include "platform/process.hpp"
#include "simclient/sim_queues.hpp"
#include "simclient/sim_state.hpp"
#include "simconnect/connection.hpp"
#include "simconnect/simconnect.hpp"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

bool g_quick = false;

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

double ms(skh::SteadyClock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void BM_PollGrid(benchmark::State& state) {
    const int polls = g_quick ? 300 : 10000;
    skh::gf_initQueues(5);
    skh::HANDLE handle = skh::gf_scOpenUnattached();
    {
        const std::lock_guard lock(skh::simQueueMutex);
        skh::simConnectHandle = handle;
    }
    skh::simRunning = true;
    const skh::Clock clock = skh::gf_steadyClock();
    for (auto _ : state) {
        skh::gf_resetStopState();
        std::vector<double> lateness;
        lateness.reserve(static_cast<std::size_t>(polls));
        skh::PollPacer pacer(clock);
        const int overrun = polls / 2;  // the poll that takes 35 ms
        const int rebase = overrun + 50;
        int atOnce = 0;
        bool catchingUp = false;
        double drift = 0.0, afterCatchUp = 0.0, afterRebase = 0.0;
        const auto start = clock.now();
        pacer.start();
        for (int i = 0; i < polls; ++i) {
            const auto mark = pacer.deadline();
            const auto before = clock.now();
            pacer.waitForNextPoll([i, rebase] { return i == rebase; });
            const auto now = clock.now();
            // The lateness behind the mark this poll was due at (a re-base
            // makes the poll due at once).
            const double late = i == rebase ? 0.0 : ms(now - mark);
            if (i == overrun) drift = ms(now - start) - (overrun + 1) * 10.0;
            if (catchingUp) {
                if (mark < before) {
                    ++atOnce;  // due already: run without a sleep
                } else {
                    catchingUp = false;
                    afterCatchUp = late;
                }
            } else {
                lateness.push_back(late);
            }
            if (i == rebase + 1) afterRebase = late;
            if (i == overrun) {
                std::this_thread::sleep_for(35ms);
                catchingUp = true;
            }
            skh::lf_simTick();
        }
        state.counters["p99_late_ms"] = percentile(lateness, 0.99);
        state.counters["max_late_ms"] = percentile(lateness, 1.0);
        state.counters["drift_ms"] = drift;
        state.counters["caught_up_polls"] = atOnce;
        state.counters["late_after_catch_up_ms"] = afterCatchUp;
        state.counters["late_after_rebase_ms"] = afterRebase;
    }
    skh::simRunning = false;
    {
        const std::lock_guard lock(skh::simQueueMutex);
        skh::simConnectHandle = nullptr;
    }
    skh::SimConnect_Close(handle);
}
BENCHMARK(BM_PollGrid)->Iterations(1)->Unit(benchmark::kSecond);

// ---- the idle program -------------------------------------------------------

int freePort(bool udp) {
    using namespace skh::platform;
    const Socket s = udp ? openUdpSocket(Family::IPv4) : openTcpSocket(Family::IPv4);
    SocketAddress any;
    resolveAddress("127.0.0.1", "0", Family::IPv4, false, any);
    bindSocket(s, any);
    const int port = localPort(s);
    closeSocket(s);
    return port;
}

void writeText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

void pack(const fs::path& folder, const std::string& xml, const fs::path& enc) {
    writeText(folder / "plain.xml", xml);
    fs::create_directories((folder / enc).parent_path());
    skh::gf_streamEncryptFile(skh::g_dataSetKey, folder / "plain.xml", folder / enc);
    fs::remove(folder / "plain.xml");
}

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool waitForText(const fs::path& path, const std::string& text, std::chrono::seconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (readText(path).find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

void BM_IdleProgramCpu(benchmark::State& state) {
    if (sodium_init() < 0) throw std::runtime_error("sodium_init failed");
    const fs::path binaries = SKYHAVEN_BINARY_DIR;
    std::random_device rd;
    const fs::path dir = fs::temp_directory_path() / ("skyhaven-bench-idle-" + std::to_string(rd()));
    const fs::path program = dir / "program";
    fs::create_directories(program / "docs");
    fs::create_directories(dir / "pipes");
    pack(program, R"(<?xml version="1.0"?>
<aircrafts><aircraft types="A320,B744,B738"/></aircrafts><high_performance><hpf types="F16"/></high_performance>
<heavy><hvy types="B744"/></heavy><large><lar types="A320,B738"/></large><buzjet><bzj types="GLF5"/></buzjet>
<rotorcraft><rot types="EC35"/></rotorcraft><cargo_types><cargo_type types="B744"/></cargo_types>
<ICAO_airlines><ICAO codes="DLH,SWR"/></ICAO_airlines><cargo_operators><ICAO codes="GEC"/></cargo_operators>
<publishers><pub names="Orbx,FTX"/></publishers><simaddonsP3D><simaddonP3D arpts="KLAX"/></simaddonsP3D>
<dbase><db reg="D-AIPA" airl="DLH" type="A320"/></dbase>)",
         skh::g_dbaseEnc);
    pack(program, R"(<airports><airport code="LSZH" iata="ZRH" lat="47.4647" lon="8.5492" alt="1416"/></airports>)",
         skh::g_airportsEnc);
    writeText(program / skh::g_liveriesScannedXml,
              R"(<liveries><liv airl="SWR" type="A320" title="Airbus A320 Swiss"/></liveries>)");
    writeText(dir / "appdata" / "InsideSystems" / "RealTraffic.jar", "");
    const int tcp = freePort(false), traffic = freePort(true), qnh = freePort(true);
    writeText(dir / "appdata" / "Skyhaven_P3D" / "parameters.xml", skh::format(R"(<?xml version="1.0"?>
<parameters><parameter name="SIM_INSTALL_PATH" value="D:\Prepar3D v5"/><parameter name="PORT_NUMBER" value="{}"/>
<parameter name="SCAN_LIVERIES" value="false"/><parameter name="SCAN_AIRPORTS" value="false"/></parameters>
)",
                                                                               tcp));
    const skh::platform::EnvironmentChanges env = {{"APPDATA", (dir / "appdata").string()},
                                                   {"SKYHAVEN_REGISTRY", (dir / "registry.ini").string()},
                                                   {"SKYHAVEN_DOWNLOAD_URL", "http://127.0.0.1:9/"},
                                                   {"SKYHAVEN_HEADLESS", "1"},
                                                   {"SKYHAVEN_LOCK_DIR", dir.string()},
                                                   {"SKYHAVEN_PIPE_DIR", (dir / "pipes").string()},
                                                   {"SKYHAVEN_DOCUMENTS", (dir / "documents").string()},
                                                   {"SKYHAVEN_TRAFFIC_PORT", std::to_string(traffic)},
                                                   {"SKYHAVEN_QNH_PORT", std::to_string(qnh)}};
    using skh::platform::spawnProcess;
    const int sim = spawnProcess(
        {(binaries / "tools" / "skyhaven-fake-sim").string(), "--no-ipv4", "--pipe", "--script", "wait 3600"}, env, dir,
        dir / "sim.txt");
    waitForText(dir / "sim.txt", "pipe ", 10s);
    const int rt = spawnProcess({(binaries / "tools" / "skyhaven-fake-rt").string(), "--tcp-port", std::to_string(tcp),
                                 "--traffic-port", std::to_string(traffic), "--qnh-port", std::to_string(qnh)},
                                env, dir, dir / "rt.txt");
    const int app = spawnProcess({(binaries / "Skyhaven_P3D").string()}, env, program, dir / "program.txt");
    for (auto _ : state) {
        if (!waitForText(program / "Log.txt", "Traffic Reader connected", 60s)) {
            state.SkipWithError(("the program did not reach its main loop; see " + (program / "Log.txt").string() +
                                 " and " + (dir / "program.txt").string())
                                    .c_str());
            return;
        }
        std::this_thread::sleep_for(2s);  // past the start: the wait for traffic, the first summaries
        const double before = skh::platform::processCpuSecondsOf(app);
        const auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(g_quick ? 3s : 30s);
        const double used = skh::platform::processCpuSecondsOf(app) - before;
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.counters["cpu_percent_of_a_core"] = 100.0 * used / wall;
    }
    using skh::platform::EndRequest;
    for (const int pid : {app, rt, sim}) {
        skh::platform::signalProcess(pid, EndRequest::Interrupt);
        if (!skh::platform::waitProcess(pid, 20s)) {
            skh::platform::signalProcess(pid, EndRequest::Kill);
            skh::platform::waitProcess(pid, 5s);
        }
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
}
BENCHMARK(BM_IdleProgramCpu)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const char* flag = "--benchmark_min_time=";
        if (std::strncmp(argv[i], flag, std::strlen(flag)) == 0) g_quick = std::atof(argv[i] + std::strlen(flag)) < 1.0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
