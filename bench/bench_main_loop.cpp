// The main loop's pacing, the idle program's processor use, and the program
// at a busy hub.
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
//
// BM_BusyHubProgram: the program against the fake simulator with 300 traffic
// lines a second (see there).
#include <benchmark/benchmark.h>
#include <sodium.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/app_state.hpp"
#include "app/main_loop.hpp"
#include "app/pacing.hpp"
#include "support/test_env.hpp"
#include "foundation/constants.hpp"
#include "foundation/dataset_crypto.hpp"
#include "foundation/format.hpp"
#include "foundation/geo.hpp"
#include "platform/process.hpp"
#include "simclient/sim_queues.hpp"
#include "simclient/sim_state.hpp"
#include "simconnect/connection.hpp"
#include "simconnect/simconnect.hpp"
#include "support/fake_realtraffic.hpp"
#include "support/reserved_port.hpp"

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

// A program in a folder of its own, with `settings` added to its parameters,
// against the fake simulator started with `simScript`; the simulator's
// output goes to sim.txt, the program's own to program.txt beside its
// folder. What is still running when it goes is ended, and the folder
// removed.
class ProgramRun {
public:
    ProgramRun(const std::string& settings, const std::string& simScript) {
        if (sodium_init() < 0) throw std::runtime_error("sodium_init failed");
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
        tcp = m_tcpPort.number();
        traffic = m_trafficPort.number();
        qnh = m_qnhPort.number();
        writeText(dir / "appdata" / "Skyhaven_P3D" / "parameters.xml", skh::format(R"(<?xml version="1.0"?>
<parameters><parameter name="SIM_INSTALL_PATH" value="D:\Prepar3D v5"/><parameter name="PORT_NUMBER" value="{}"/>
<parameter name="SCAN_LIVERIES" value="false"/><parameter name="SCAN_AIRPORTS" value="false"/>{}</parameters>
)",
                                                                                   tcp, settings));
        m_env = {{"APPDATA", (dir / "appdata").string()},
                 {"SKYHAVEN_REGISTRY", (dir / "registry.ini").string()},
                 {"SKYHAVEN_DOWNLOAD_URL", "http://127.0.0.1:9/"},
                 {"SKYHAVEN_HEADLESS", "1"},
                 {"SKYHAVEN_LOCK_DIR", dir.string()},
                 {"SKYHAVEN_PIPE_DIR", (dir / "pipes").string()},
                 {"SKYHAVEN_DOCUMENTS", (dir / "documents").string()},
                 {"SKYHAVEN_TRAFFIC_PORT", std::to_string(traffic)},
                 {"SKYHAVEN_QNH_PORT", std::to_string(qnh)}};
        m_sim =
            spawn({(m_binaries / "tools" / "skyhaven-fake-sim").string(), "--no-ipv4", "--pipe", "--script", simScript},
                  dir, dir / "sim.txt");
        waitForText(dir / "sim.txt", "pipe ", 10s);
    }
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;
    ~ProgramRun() { stop(); }

    // The fake RealTraffic as a program, idle but for its QNH.
    void startFakeRealTraffic() {
        m_rt = spawn({(m_binaries / "tools" / "skyhaven-fake-rt").string(), "--tcp-port", std::to_string(tcp),
                      "--traffic-port", std::to_string(traffic), "--qnh-port", std::to_string(qnh)},
                     dir, dir / "rt.txt");
    }
    void startProgram() { app = spawn({(m_binaries / "Skyhaven_P3D").string()}, program, dir / "program.txt"); }
    // False, with the benchmark skipped, when the main loop is not reached.
    bool reachMainLoop(benchmark::State& state) {
        if (waitForText(program / "Log.txt", "Traffic Reader connected", 60s)) return true;
        state.SkipWithError(("the program did not reach its main loop; see " + (program / "Log.txt").string() +
                             " and " + (dir / "program.txt").string())
                                .c_str());
        return false;
    }
    // Closes the program as a user does, then the doubles.
    void stop() {
        using skh::platform::EndRequest;
        for (int* pid : {&app, &m_rt, &m_sim}) {
            if (*pid <= 0) continue;
            skh::platform::signalProcess(*pid, EndRequest::Interrupt);
            if (!skh::platform::waitProcess(*pid, 20s)) {
                skh::platform::signalProcess(*pid, EndRequest::Kill);
                skh::platform::waitProcess(*pid, 5s);
            }
            *pid = 0;
        }
    }

    // Goes after what ran in it has ended.
    const skh::test::TempDir scratch;
    const fs::path dir = scratch.path();
    const fs::path program = dir / "program";
    int tcp = 0, traffic = 0, qnh = 0;
    int app = 0;

private:
    int spawn(const std::vector<std::string>& argv, const fs::path& cwd, const fs::path& output) {
        return skh::platform::spawnProcess(argv, m_env, cwd, output);
    }

    const fs::path m_binaries = SKYHAVEN_BINARY_DIR;
    // The program's ports, fixed before it starts.
    skh::test::ReservedPort m_tcpPort, m_trafficPort, m_qnhPort;
    skh::platform::EnvironmentChanges m_env;
    int m_sim = 0, m_rt = 0;
};

void BM_IdleProgramCpu(benchmark::State& state) {
    ProgramRun run("", "wait 3600");
    run.startFakeRealTraffic();
    run.startProgram();
    for (auto _ : state) {
        if (!run.reachMainLoop(state)) return;
        std::this_thread::sleep_for(2s);  // past the start: the wait for traffic, the first summaries
        const double before = skh::platform::processCpuSecondsOf(run.app);
        const auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(g_quick ? 3s : 30s);
        const double used = skh::platform::processCpuSecondsOf(run.app) - before;
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.counters["cpu_percent_of_a_core"] = 100.0 * used / wall;
    }
}
BENCHMARK(BM_IdleProgramCpu)->Iterations(1)->Unit(benchmark::kSecond);

// ---- a busy hub ------------------------------------------------------------

constexpr double kHubLat = 47.4647;
constexpr double kHubLon = 8.5492;
constexpr int kHubFleet = 600;
constexpr int kHubHeld = 500;  // MAX_LIVE_SEL at its highest

// Aircraft i of the busy hub, `seconds` into the run: it circles at 250 kt,
// 2 nm round its own centre. The first 500 circle within 25 nm of the user,
// the others 32 to 37 nm away, farther than any of them, so that the live
// limit holds them off without making room.
std::string hubLine(int i, double seconds) {
    const double fraction =
        i < kHubHeld ? static_cast<double>(i) / kHubHeld : static_cast<double>(i - kHubHeld) / (kHubFleet - kHubHeld);
    const double centreNm = i < kHubHeld ? 5.0 + 18.0 * fraction : 32.0 + 3.0 * fraction;
    const skh::GeoPos centre = skh::gf_destinationPoint({kHubLat, kHubLon}, 2.39996 * i, centreNm * 6076.12);
    const double bearing = 0.0347 * seconds + 0.7 * i;  // 250 kt on a 2-nm circle, clockwise
    const skh::GeoPos at = skh::gf_destinationPoint(centre, bearing, 2.0 * 6076.12);
    const double track = std::fmod(bearing * skh::RAD2DEG + 90.0, 360.0);
    const double now = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    return skh::test::TrafficLineBuilder()
        .set(1, std::to_string(5000000 + i))
        .set(2, skh::format("{:.6f}", at.lat))
        .set(3, skh::format("{:.6f}", at.lon))
        .set(4, std::to_string(4000 + 40 * (i % 400)))
        .set(5, "0")
        .set(7, skh::format("{:.1f}", track))
        .set(8, "250")
        .set(9, skh::format("SWR{}", 1000 + i))
        .set(10, "A320")
        .set(11, skh::format("HB-{}", 1000 + i))
        .set(14, skh::format("{:.2f}", now))
        .set(20, "250")
        .set(25, skh::format("{:.1f}", track))
        .text();
}

// The figures of the fake simulator's "summary" lines.
struct SimObjects {
    long created = 0, removedByClient = 0, live = 0, mostLive = 0;
};
SimObjects simObjects(const fs::path& simOutput) {
    SimObjects o;
    std::istringstream in(readText(simOutput));
    std::string line;
    while (std::getline(in, line)) {
        long created = 0, refused = 0, removed = 0, removedBySim = 0, live = 0;
        if (std::sscanf(line.c_str(),
                        "summary: objects created %ld, refused %ld, removed by the client %ld, removed by the "
                        "simulator %ld, live %ld",
                        &created, &refused, &removed, &removedBySim, &live) != 5)
            continue;
        o = {created, removed, live, std::max(o.mostLive, live)};
    }
    return o;
}

// The resident size of a process, in MB (0 when it is gone).
double residentMb(int pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    }
    return 0.0;
}

// BM_BusyHubProgram: the program against the fake simulator (the user at
// FL350 over Zurich) with 600 aircraft circling in range, each reporting
// every 2 s: 300 traffic lines a second sent by the benchmark itself. The
// program may hold 500 (MAX_LIVE_SEL); at two creations a second they are
// all there after about five minutes. Counters: the simulator's objects at
// the end and at most, the objects created and removed, the program's
// resident size when the 500 are there and at the end, and its own closing
// figures (samples taken, aircraft dropped by the live limit and otherwise,
// whether it logged that the intake fell behind). Nine minutes; a quick pass
// sends for 20 s.
void BM_BusyHubProgram(benchmark::State& state) {
    const int seconds = g_quick ? 20 : 540;
    const int filledAfter = g_quick ? 10 : 330;
    std::string script = "user 47.4647 8.5492 35000";
    for (int t = 0; t < seconds + 60; t += 30) script += "; wait 30; summary";
    ProgramRun run(R"(<parameter name="AUTO_RANGE" value="false"/><parameter name="RANGE" value="40"/>)"
                   R"(<parameter name="MAX_LIVE_SEL" value="500"/>)",
                   script);
    run.startProgram();
    skh::test::FakeRealTraffic rt;
    rt.connect(static_cast<std::uint16_t>(run.tcp));
    for (auto _ : state) {
        if (!run.reachMainLoop(state)) return;
        const auto start = std::chrono::steady_clock::now();
        const auto every = std::chrono::duration<double>(2.0 / kHubFleet);
        double filledMb = 0.0;
        std::uint64_t sent = 0;
        for (;; ++sent) {
            const auto due = start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(every * sent);
            const double at = std::chrono::duration<double>(due - start).count();
            if (at >= seconds) break;
            std::this_thread::sleep_until(due);
            rt.sendDatagram(static_cast<std::uint16_t>(run.traffic), hubLine(static_cast<int>(sent % kHubFleet), at));
            if (sent % 3000 == 0) rt.sendQnh(static_cast<std::uint16_t>(run.qnh), R"({"QNH":1013})");
            if (filledMb == 0.0 && at >= filledAfter) filledMb = residentMb(run.app);
        }
        const double endMb = residentMb(run.app);
        const SimObjects objects = simObjects(run.dir / "sim.txt");
        rt.disconnect();
        run.stop();
        const std::string log = readText(run.program / "Log.txt");
        const auto figure = [&log](const std::string& before) -> double {
            const auto at = log.rfind(before);
            return at == std::string::npos ? 0.0 : std::atof(log.c_str() + at + before.size());
        };
        state.counters["lines_sent"] = static_cast<double>(sent);
        state.counters["samples_taken"] = figure("traffic: samples ");
        state.counters["sim_objects_end"] = static_cast<double>(objects.live);
        state.counters["sim_objects_most"] = static_cast<double>(objects.mostLive);
        state.counters["created"] = static_cast<double>(objects.created);
        state.counters["removed"] = static_cast<double>(objects.removedByClient);
        state.counters["dropped_live_limit"] = figure("live limit ");
        state.counters["dropped_single_sample"] = figure("single sample ");
        state.counters["intake_fell_behind"] = log.find("Traffic intake falls behind") != std::string::npos;
        state.counters["rss_mb_filled"] = filledMb;
        state.counters["rss_mb_end"] = endMb;
    }
}
BENCHMARK(BM_BusyHubProgram)->Iterations(1)->Unit(benchmark::kSecond);

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
