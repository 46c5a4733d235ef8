#pragma once
// Shared by the benchmarks: a scratch folder of the run's own, and, for the
// traffic control's, a simulator port that takes what it is handed and keeps
// nothing.
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "traffic/sim_port.hpp"

namespace skh::bench {

// A folder for a benchmark's files that is this run's alone: a new name under
// the temporary folder (or `base`), "skyhaven-bench-NAME-N", so that two runs
// at once on one machine never share one. It goes with all it holds when the
// object does; held in a function-local static, that is at the end of the
// run, one with a failed or skipped benchmark too (only a crash leaves it).
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& name,
                           const std::filesystem::path& base = std::filesystem::temp_directory_path()) {
        std::random_device rd;
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::filesystem::path candidate = base / ("skyhaven-bench-" + name + "-" + std::to_string(rd()));
            // False for a name that exists: a folder made here is no one else's.
            if (std::filesystem::create_directory(candidate)) {
                m_path = candidate;
                return;
            }
        }
        throw std::runtime_error("cannot make a scratch folder in " + base.string());
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder() {
        std::error_code ec;
        if (m_previous) std::filesystem::current_path(*m_previous, ec);
        std::filesystem::remove_all(m_path, ec);
    }

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::filesystem::path& name) const { return m_path / name; }

    // Makes the folder (or `sub` in it, made when missing) the current one
    // until it goes; the folder current before comes back then.
    void enter(const std::filesystem::path& sub = {}) {
        if (!m_previous) m_previous = std::filesystem::current_path();
        std::filesystem::create_directories(m_path / sub);
        std::filesystem::current_path(m_path / sub);
    }

private:
    std::filesystem::path m_path;
    std::optional<std::filesystem::path> m_previous;
};

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
