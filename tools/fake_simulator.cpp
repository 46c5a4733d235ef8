// skyhaven-fake-sim: the fake simulator as a program, for whole-program runs
// and demos.
//
//   skyhaven-fake-sim [--no-ipv4] [--ipv6] [--pipe [NAME]] [--frames HZ]
//                     [--sim-stopped] [--seconds N] [--elevation FT]
//                     [--reuse-ids] [--any-protocol] [--trace|--trace-all]
//                     [--script "CMD; CMD; ..."]
//
// Prints one line per listener ("ipv4 port N", "ipv6 port N", "pipe PATH"),
// then serves until standard input closes, "exit" is given, or the given
// seconds have passed (with --script, the end of standard input does not end
// it: the script's "exit" does); then sends quit to the clients still
// connected, prints a summary ("summary: ..." lines, each AI object's last
// position, "protocol error: ..." lines) and exits with 1 when a client broke
// the protocol or asked for what the fake does not model. Frames go out at
// 30 Hz unless --frames says otherwise (0: none); data requested every
// second goes out once a second.
//
// Commands, one a line on standard input or ';'-separated in --script (the
// script runs beside standard input; "wait-client" lets it wait for the
// program under test):
//   quit | reset | close                 the simulator quits / drops / closes the connections
//   pause | unpause                      no frames, no data by frame or second while paused
//   sim on|off                           the "Sim" event
//   flight [PATH]                        FlightLoaded with the file name
//   position-changed                     PositionChanged
//   teleport NM [BEARING]                move the user aircraft
//   user LAT LON [ALT_FT]                place the user aircraft (no altitude: on the ground)
//   route KT LAT,LON[,ALT_FT] ...        the user aircraft moves along the points
//   exception CODE [SENDID|last] [INDEX] an exception for a send id
//   refuse-create                        the next creation fails with exception 22
//   refuse-title TITLE                   every creation of the title fails with exception 22
//   remove ID                            the simulator removes an object on its own
//   elevation FT                         flat terrain at FT feet
//   garbage [N]                          N bytes that are no message
//   trace on|all|off                     one line per request received ("trace: ...")
//   objects | summary                    what the clients did so far
//   wait S | wait-client [N] | wait-requests NAME N   script pauses
//   exit | help
// Each command answers with one or more lines; a bad one with "error: ...".
#include "support/fake_simulator.hpp"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

#include "support/fake_sim_console.hpp"
#include "tool_files.hpp"
#include "tool_options.hpp"

namespace {

using namespace std::chrono_literals;

const char* const kUsage =
    "usage: skyhaven-fake-sim [--no-ipv4] [--ipv6] [--pipe [NAME]] [--frames HZ] [--sim-stopped]\n"
    "                         [--seconds N] [--elevation FT] [--reuse-ids] [--any-protocol]\n"
    "                         [--trace|--trace-all] [--script \"CMD; CMD; ...\"]\n";

constexpr const char* kTool = "skyhaven-fake-sim";

std::mutex g_outputMutex;

void print(const std::string& line) {
    const std::lock_guard lock(g_outputMutex);
    skh::tools::gf_writeOutput(line + "\n", true);
}

// The options that take a value (--pipe takes one when the next word is no option).
bool takesValue(const std::string& option) {
    return option == "--frames" || option == "--seconds" || option == "--elevation" || option == "--script" ||
           option == "--pipe";
}

int run(int argc, char** argv) {
    skh::test::FakeSimOptions options;
    double frames = 30.0;
    long seconds = 0;
    std::string script;
    std::string trace;
    namespace tools = skh::tools;
    tools::OptionsGiven given(kTool);
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (!given.note(a, takesValue(a))) return 2;
        if ((a == "--frames" || a == "--seconds" || a == "--elevation" || a == "--script") && !hasValue)
            return tools::gf_refuseMissing(kTool, a);
        if (a == "--no-ipv4") {
            options.ipv4 = false;
        } else if (a == "--ipv6") {
            options.ipv6 = true;
        } else if (a == "--pipe") {
            options.pipeName =
                (hasValue && argv[i + 1][0] != '-') ? std::string(argv[++i]) : std::string(skh::kScDefaultPipeName);
        } else if (a == "--frames") {
            const auto v = tools::gf_number(argv[++i]);
            if (!v || *v < 0.0 || *v > 1000.0)
                return tools::gf_refuse(kTool, a, "frames per second from 0 (none) to 1000", argv[i]);
            frames = *v;
        } else if (a == "--seconds") {
            const auto v = tools::gf_wholeNumber(argv[++i], 1, 10'000'000);
            if (!v) return tools::gf_refuse(kTool, a, "whole seconds from 1 to 10000000", argv[i]);
            seconds = static_cast<long>(*v);
        } else if (a == "--elevation") {
            const auto v = tools::gf_number(argv[++i]);
            if (!v || *v < -1500.0 || *v > 30000.0)
                return tools::gf_refuse(kTool, a, "feet from -1500 to 30000", argv[i]);
            options.groundElevationFt = *v;
        } else if (a == "--sim-stopped") {
            options.simRunning = false;
        } else if (a == "--reuse-ids") {
            options.reuseObjectIds = true;
        } else if (a == "--any-protocol") {
            options.anyProtocolVersion = true;
        } else if (a == "--trace" || a == "--trace-all") {
            trace = a == "--trace" ? "on" : "all";
        } else if (a == "--script") {
            script = argv[++i];
            // Checked whole before it starts: a bad command would otherwise be
            // found only when its turn came, with the fake serving on.
            if (const std::string problem = skh::test::FakeSimConsole::scriptProblem(script); !problem.empty())
                return tools::gf_refuseText(kTool, "--script: " + problem);
        } else if (a == "--help" || a == "-h") {
            tools::gf_writeOutput(std::string(kUsage) + "\n" + skh::test::FakeSimConsole::help() + "\n");
            return 0;
        } else {
            return tools::gf_refuseUnknown(kTool, a);
        }
    }
    if (const int refused = given.refuseTogether({"--trace", "--trace-all"})) return refused;
    if (!options.ipv4 && !options.ipv6 && !options.pipeName)
        return tools::gf_refuseText(kTool, "--no-ipv4 needs --ipv6 or --pipe: nothing else serves");
    // Its own lines would come back to it as commands.
    if (tools::gf_sameFile({}, "/dev/stdin"))
        return tools::gf_refuseText(kTool, "the standard output would overwrite the standard input (the same file)");
    options.keepRequests = false;
    skh::test::FakeSimulator sim(options);
    if (!sim.pipeProblem().empty()) {
        std::cerr << kTool << ": cannot serve the pipe " << *options.pipeName << ": " << sim.pipeProblem() << "\n";
        return 1;
    }
    // The trace starts before the listeners are told: a client that reads the
    // port and connects at once is traced from its first request.
    if (!trace.empty()) {
        sim.setTrace([](const std::string& text) { print("trace: " + text); }, trace == "all");
    }
    if (sim.ipv4Port() > 0) print("ipv4 port " + std::to_string(sim.ipv4Port()));
    if (sim.ipv6Port() > 0) print("ipv6 port " + std::to_string(sim.ipv6Port()));
    if (!sim.pipePath().empty()) print("pipe " + sim.pipePath().string());
    if (frames > 0) sim.startFrames(frames);

    skh::test::FakeSimConsole console(sim, print);
    if (!trace.empty()) console.run("trace " + trace);
    static std::atomic<bool> done{false};
    // Held while a line from standard input runs: the detached reader never
    // runs one on a simulator that is being taken down.
    static std::mutex inputMutex;
    const bool scripted = !script.empty();
    std::thread input([&console, scripted] {
        std::string line;
        while (std::getline(std::cin, line)) {
            const std::lock_guard lock(inputMutex);
            if (done.load()) return;
            if (!console.run(line)) {
                done = true;
                return;
            }
        }
        if (!scripted) done = true;
    });
    input.detach();  // a blocked read of standard input must not hold the end
    std::thread scriptRunner;
    if (scripted) {
        scriptRunner = std::thread([&console, script] {
            if (!console.runScript(script)) done = true;
        });
    }

    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    auto next = std::chrono::steady_clock::now() + 1s;
    // An output that lost a line ends the run: a client may wait for it.
    while (!done.load() && tools::g_standardOutputError.load() == 0 &&
           (seconds <= 0 || std::chrono::steady_clock::now() < end)) {
        std::this_thread::sleep_for(50ms);
        const auto now = std::chrono::steady_clock::now();
        console.tick(now);
        if (now >= next) {
            sim.tickSecond();
            next += 1s;
        }
    }
    console.stop();  // ends the waits of a running line first
    {
        const std::lock_guard lock(inputMutex);
        done = true;
    }
    if (scriptRunner.joinable()) scriptRunner.join();
    sim.quit();  // as a simulator that is closed does
    sim.stop();
    for (const std::string& line : console.summary()) print(line);
    return sim.protocolErrors().empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) { return skh::tools::gf_endOutput(kTool, run(argc, argv)); }
