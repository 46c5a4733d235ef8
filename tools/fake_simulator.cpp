// skyhaven-fake-sim: the fake simulator as a program, for whole-program runs.
//
//   skyhaven-fake-sim [--no-ipv4] [--ipv6] [--pipe [NAME]] [--frames HZ]
//                     [--sim-stopped] [--seconds N]
//
// Prints one line per listener ("ipv4 port N", "ipv6 port N", "pipe PATH"),
// then serves until standard input closes or the given seconds have passed.
// Data requested every second is sent once a second.
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>

#include "support/fake_simulator.hpp"

int main(int argc, char** argv) {
    using namespace std::chrono_literals;
    skh::test::FakeSimOptions options;
    double frames = 0;
    long seconds = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--no-ipv4") {
            options.ipv4 = false;
        } else if (a == "--ipv6") {
            options.ipv6 = true;
        } else if (a == "--pipe") {
            options.pipeName = (i + 1 < argc && argv[i + 1][0] != '-') ? std::string(argv[++i])
                                                                         : std::string(skh::kScDefaultPipeName);
        } else if (a == "--frames" && i + 1 < argc) {
            frames = std::atof(argv[++i]);
        } else if (a == "--seconds" && i + 1 < argc) {
            seconds = std::atol(argv[++i]);
        } else if (a == "--sim-stopped") {
            options.simRunning = false;
        } else {
            std::cerr << "usage: skyhaven-fake-sim [--no-ipv4] [--ipv6] [--pipe [NAME]] [--frames HZ] "
                         "[--sim-stopped] [--seconds N]\n";
            return 2;
        }
    }
    options.keepRequests = false;
    skh::test::FakeSimulator sim(options);
    if (sim.ipv4Port() > 0) std::cout << "ipv4 port " << sim.ipv4Port() << "\n";
    if (sim.ipv6Port() > 0) std::cout << "ipv6 port " << sim.ipv6Port() << "\n";
    if (!sim.pipePath().empty()) std::cout << "pipe " << sim.pipePath().string() << "\n";
    std::cout.flush();
    if (frames > 0) sim.startFrames(frames);

    static std::atomic<bool> inputClosed{false};
    if (seconds <= 0) {
        std::thread([] {
            std::string line;
            while (std::getline(std::cin, line)) {
            }
            inputClosed = true;
        }).detach();
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    auto next = std::chrono::steady_clock::now() + 1s;
    while (!inputClosed.load() && (seconds <= 0 || std::chrono::steady_clock::now() < end)) {
        std::this_thread::sleep_for(50ms);
        if (std::chrono::steady_clock::now() >= next) {
            sim.tickSecond();
            next += 1s;
        }
    }
    sim.stop();
    std::cout << "requests " << sim.requestCount() << "\n";
    for (const auto& e : sim.protocolErrors()) std::cout << "protocol error: " << e << "\n";
    return sim.protocolErrors().empty() ? 0 : 1;
}
