#pragma once
// Shared by the benchmarks of the traffic control: a simulator port that
// takes what it is handed and keeps nothing.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "traffic/sim_port.hpp"

namespace skh::bench {

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

}  // namespace skh::bench
