// SimConnect client hot paths: one frame of a full sky (512 position packets)
// built and queued, and the TCP transport carrying such frames at 60 per
// second to the fake simulator, measured in processor time of the client.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/test_env.hpp"
#include "platform/cpu_time.hpp"
#include "simconnect/connection.hpp"
#include "simconnect/messages.hpp"
#include "simconnect/simconnect.hpp"
#include "support/fake_simulator.hpp"

namespace {

using namespace skh;

constexpr std::uint32_t kAircraft = 512;
constexpr std::uint32_t kPositionDefinition = 402;

struct Position {
    double lat, lon, pitch, bank, heading, altitude, verticalSpeed, airspeed;
};

void sendFrame(HANDLE h, std::uint32_t frame) {
    for (std::uint32_t i = 0; i < kAircraft; ++i) {
        const Position p{47.0 + i * 1e-3, 8.0 + frame * 1e-5, 0.01, 0.0, 1.5, 3000.0 + i, 0.0, 250.0};
        SimConnect_SetDataOnSimObject(h, kPositionDefinition, 1000 + i, 0, 0, sizeof(p), &p);
    }
}

void BM_Build512PositionPackets(benchmark::State& state) {
    gf_scTimings().settleWaitMs = 0;
    HANDLE h = gf_scOpenUnattached();
    std::uint32_t frame = 0;
    std::size_t packets = 0;
    for (auto _ : state) {
        sendFrame(h, frame++);
        // What the writer would take; freeing the blocks is part of the cost.
        packets += gf_scTakeOutgoing(h).size();
    }
    benchmark::DoNotOptimize(packets);
    state.SetItemsProcessed(static_cast<std::int64_t>(packets));
    SimConnect_Close(h);
}
BENCHMARK(BM_Build512PositionPackets)->Unit(benchmark::kMicrosecond);

struct FrameCounter {
    std::uint32_t frames = 0;
    static void dispatch(const std::byte* m, std::uint32_t size, void* context) {
        const ScMessage message = gf_scDecodeMessage(std::span<const std::byte>(m, size));
        if (std::holds_alternative<ScRecvFrame>(message)) ++static_cast<FrameCounter*>(context)->frames;
    }
};

// The client as the program runs it: dispatch every millisecond, and on every
// Frame event 512 position packets.
void BM_TcpTransport60FramesPerSecond(benchmark::State& state) {
    // The client reads SimConnect.cfg from the current folder.
    const test::TempDir folder;
    const test::ScopedCwd inFolder(folder.path());
    test::FakeSimOptions options;
    options.keepRequests = false;
    test::FakeSimulator sim(options);
    for (std::uint32_t i = 0; i < kAircraft; ++i) sim.putObject({1000 + i, ScSimObjectType::Aircraft, {}});
    std::ofstream(folder / "SimConnect.cfg")
        << "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=" << sim.ipv4Port() << "\n";
    gf_scTimings().settleWaitMs = 0;

    HANDLE h = nullptr;
    if (SimConnect_Open(&h, "bench", nullptr, 0, nullptr, 0) != kScOk) {
        state.SkipWithError("cannot connect to the fake simulator");
        return;
    }
    SimConnect_SubscribeToSystemEvent(h, 204, "Frame");
    for (const char* datum : {"Plane Latitude", "Plane Longitude", "Plane Pitch degrees", "Plane Bank degrees",
                              "Plane Heading degrees true", "Plane Altitude", "Vertical Speed", "Airspeed True"})
        SimConnect_AddToDataDefinition(h, kPositionDefinition, datum, "", ScDatumType::Float64, 0, kScUnused);
    sim.startFrames(60.0);
    double clientCpu = 0;
    double wall = 0;
    std::uint32_t sentFrames = 0;
    for (auto _ : state) {
        const double cpu0 = platform::processCpuSeconds() - sim.cpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        FrameCounter counter;
        std::uint32_t handled = 0;
        while (std::chrono::steady_clock::now() - t0 < std::chrono::seconds(1)) {
            SimConnect_CallDispatch(h, &FrameCounter::dispatch, &counter);
            for (; handled < counter.frames; ++handled) sendFrame(h, sentFrames++);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        clientCpu += platform::processCpuSeconds() - sim.cpuSeconds() - cpu0;
    }
    sim.stopFrames();
    const std::size_t expected = static_cast<std::size_t>(sentFrames) * kAircraft;
    for (int i = 0; i < 200 && sim.requestCount(ScRequestId::SetDataOnSimObject) < expected; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    state.counters["frames_per_s"] = sentFrames / wall;
    state.counters["client_cpu_pct"] = 100.0 * clientCpu / wall;
    state.counters["packets_received"] = static_cast<double>(sim.requestCount(ScRequestId::SetDataOnSimObject));
    const auto moved = sim.object(1000);
    state.counters["positions_applied"] = moved && moved->values.contains("PLANE LATITUDE") ? 1 : 0;
    if (!sim.protocolErrors().empty()) state.SkipWithError(sim.protocolErrors().front().c_str());
    SimConnect_Close(h);
}
BENCHMARK(BM_TcpTransport60FramesPerSecond)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
