#pragma once
// Commands for a fake simulator given as text lines, as a person or a script
// gives them to the skyhaven-fake-sim program: the simulator's events
// (quit, reset, pause, a new flight, a teleport), exceptions and refused
// creations, garbage bytes, a scripted user aircraft moving along a list of
// points, a trace of the requests, and summaries of what the clients did.
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "support/fake_simulator.hpp"

namespace skh::test {

class FakeSimConsole {
public:
    using Output = std::function<void(const std::string& line)>;
    using Clock = std::chrono::steady_clock;

    FakeSimConsole(FakeSimulator& sim, Output output);

    // Runs one command line (see help()); prints its result or "error: ...".
    // False after "exit". Waiting commands block until done or stop().
    bool run(const std::string& line);
    // Runs commands separated by ';' in order; false after "exit".
    bool runScript(const std::string& script);
    // Why `line` is not a command that run() carries out (an unknown command,
    // a value missing or out of its range); empty when it is one.
    static std::string problemOf(const std::string& line);
    // The problem of the first command of a script that has one; empty when none.
    static std::string scriptProblem(const std::string& script);
    // Ends the waits of waiting commands.
    void stop();

    // Moves the scripted user aircraft to where it is at `now`.
    void tick(Clock::time_point now);

    // What the clients did: requests by kind, objects, client events, each
    // object's last position and the protocol errors.
    std::vector<std::string> summary() const;
    std::vector<std::string> objectLines() const;
    // How the moved objects moved: their number, and the largest steps.
    std::string motionLine() const;

    static std::string help();

private:
    struct RoutePoint {
        double lat = 0.0, lon = 0.0;
        std::optional<double> altitudeFt;  // none: on the ground
    };
    struct Route {
        std::vector<RoutePoint> points;
        double speedKt = 0.0;
        Clock::time_point start;
    };

    bool waitUntil(const std::function<bool()>& done);

    FakeSimulator& m_sim;
    Output m_output;
    mutable std::mutex m_mutex;  // guards m_route
    std::optional<Route> m_route;
    std::atomic<bool> m_stopped{false};
};

}  // namespace skh::test
