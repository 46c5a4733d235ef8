// SimClient hot paths: one Frame drain of a busy sky (512 positions, 50
// client events, one creation and one removal), and the main loop's swap of
// the position double buffer.
#include <benchmark/benchmark.h>

#include <string>

#include "simclient/sim_ids.hpp"
#include "simclient/sim_queues.hpp"
#include "simclient/sim_state.hpp"
#include "simconnect/connection.hpp"
#include "simconnect/simconnect.hpp"
#include "simclient/sim_events.hpp"

namespace {

using namespace skh;

constexpr std::uint32_t kPositions = 512;
constexpr std::uint32_t kClientEvents = 50;

const std::string kTitle = "Airbus A320-214 Swiss International Air Lines HB-JLT";

HANDLE connect() {
    gf_scTimings().settleWaitMs = 0;
    gf_initQueues(5);
    const HANDLE h = gf_scOpenUnattached();
    const std::lock_guard lock(simQueueMutex);
    simConnectHandle = h;
    userObjectId = 1;
    return h;
}

void disconnect(HANDLE h) {
    {
        const std::lock_guard lock(simQueueMutex);
        simConnectHandle = nullptr;
    }
    SimConnect_Close(h);
    gf_clearQueues();
}

void fillPositions(std::vector<PositionUpdate>& buffer, std::uint32_t frame) {
    buffer.clear();
    for (std::uint32_t i = 0; i < kPositions; ++i) {
        const AiPositionBlock b{47.0 + i * 1e-3, 8.0 + frame * 1e-5, -0.01, 0.0, 1.5, 3000.0 + i, 0.0, 250.0};
        buffer.push_back({b, 1000 + i});
    }
}

void BM_FrameDrain(benchmark::State& state) {
    const HANDLE h = connect();
    AddRequest create;
    create.initPos = {47.46, 8.55, 1416.0, 0.0, 0.0, 90.0, 1, 0};
    create.callsign = "SWR123";
    create.title = kTitle;
    create.actNumber = 0x4B1805;
    std::uint32_t frame = 0;
    std::size_t packets = 0;
    for (auto _ : state) {
        state.PauseTiming();
        {
            const std::lock_guard lock(simQueueMutex);
            fillPositions(positionBuffers.front, frame++);
            for (std::uint32_t i = 0; i < kClientEvents; ++i)
                clientEventQueue.push_back({1000 + i, i % 10 == 0 ? EVENT_FLAPS_SET : EVENT_STROBES_SET, i & 1});
            simCreateQueue.push_back(create);
            simRemoveQueue.push_back(1000 + frame % kPositions);
        }
        state.ResumeTiming();
        lf_drainQueues();
        state.PauseTiming();
        // What the writer would take, and the records the answers would clear.
        packets += gf_scTakeOutgoing(h).size();
        sentPackets.clear();
        gf_takeSimEvents();
        state.ResumeTiming();
    }
    benchmark::DoNotOptimize(packets);
    state.counters["packets/frame"] = static_cast<double>(packets) / static_cast<double>(state.iterations());
    disconnect(h);
}
BENCHMARK(BM_FrameDrain)->Unit(benchmark::kMicrosecond);

void BM_PositionSwap(benchmark::State& state) {
    const HANDLE h = connect();
    std::uint32_t frame = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fillPositions(positionBuffers.back, frame++);
        state.ResumeTiming();
        benchmark::DoNotOptimize(gf_swapPositionBuffers());
    }
    disconnect(h);
}
BENCHMARK(BM_PositionSwap)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
