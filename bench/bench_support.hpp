#pragma once
// Shared by the benchmarks of the traffic control: a simulator port that
// takes what it is handed and keeps nothing, and a count of the calls of
// operator new. Include it in one source file of a benchmark program only:
// it replaces the program's operator new.
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "traffic/sim_port.hpp"

namespace bench {
inline std::atomic<std::uint64_t> g_allocations{0};
}  // namespace bench

// The counting operator new pairs malloc with free on purpose.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
    bench::g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
// The nothrow form too (std::stable_sort takes its buffer with it): left to
// the sanitizer's own, its blocks would reach the free below.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    bench::g_allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace bench {

// Takes what the traffic control hands over and forgets it; counts the
// client events.
class NullPort final : public skh::SimPort {
public:
    std::size_t events = 0;
    void queueEvent(std::uint32_t, std::uint32_t, std::uint32_t) override { ++events; }
    void queueLights(std::uint32_t, const std::array<std::uint32_t, 7>&) override { events += 7; }
    void queueCreate(const skh::AddRequest&) override {}
    void queueRemove(std::uint32_t) override {}
    bool requestWithinRange(std::uint32_t) override { return true; }
    bool requestStaticCg(std::uint32_t) override { return true; }
    bool toggleAllLights(std::uint32_t) override { return true; }
    bool setControlBlock(std::uint32_t, const std::array<double, 3>&) override { return true; }
    bool setFlightPlan(std::uint32_t, const std::string&) override { return true; }
    bool requestFailed() const override { return false; }
    void requestError() override {}
    std::vector<skh::PositionUpdate>& positionBack() override { return back; }
    bool swapPositions() override {
        front.swap(back);
        back.clear();
        return true;
    }
    skh::UserAcState requestUserPosition() override { return {}; }
    bool userOnGround() const override { return false; }

    std::vector<skh::PositionUpdate> back, front;
};

}  // namespace bench
