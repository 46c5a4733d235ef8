// skyhaven-fake-rt: stands in for RealTraffic on this PC. Replays a file of
// traffic lines to the Traffic Reader at a given rate, sends QNH datagrams,
// and connects to the program's TCP server, answering its version question
// and printing every line the program sends.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "foundation/format.hpp"
#include "support/fake_realtraffic.hpp"
#include "tool_files.hpp"
#include "tool_options.hpp"

namespace {

using skh::test::FakeRealTraffic;
namespace tools = skh::tools;
using Clock = std::chrono::steady_clock;

std::atomic<bool> g_interrupted{false};

void onSignal(int) { g_interrupted = true; }

struct Options {
    std::uint16_t trafficPort = 49005;
    std::uint16_t qnhPort = 49004;
    std::uint16_t tcpPort = 10747;
    std::string replayFile;
    double rate = 10.0;
    double speed = 0.0;  // above 0: pace by the lines' timestamps, this many times real speed
    bool loop = false;
    bool retime = false;
    std::optional<double> qnh = 1013.0;  // none: no QNH datagrams
    FakeRealTraffic::Reply reply = FakeRealTraffic::Reply::Level2;
    std::string version = "9.0";
    double duration = -1.0;
};

// The options that take a value.
const std::set<std::string> kValueOptions = {"--traffic-port", "--qnh-port", "--tcp-port", "--replay",  "--rate",
                                             "--speed",        "--qnh",      "--reply",    "--version", "--duration"};

const char* const kUsage =
    "usage: skyhaven-fake-rt [options]\n"
    "  --traffic-port N  UDP port of the Traffic Reader (49005)\n"
    "  --qnh-port N      UDP port of the QNH Reader (49004)\n"
    "  --tcp-port N      TCP port of the program's server (10747); 0: no TCP link\n"
    "  --replay FILE     traffic lines to send, one a line (empty and '#' lines skipped)\n"
    "  --rate N          traffic lines per second (10)\n"
    "  --speed X         instead of a rate, send each line when its timestamp (field 14)\n"
    "                    comes, X times as fast as real time (1: real time)\n"
    "  --loop            replay the file again and again\n"
    "  --retime          put the current time into each line's timestamp field\n"
    "  --qnh N           QNH sent every 10 s as {\"QNH\":N} (1013), a number; 'none': no QNH\n"
    "  --reply KIND      answer to the version question: level2, level1, nolevel,\n"
    "                    malformed or none (level2)\n"
    "  --version TEXT    version in the answer (9.0)\n"
    "  --duration S      stop after S seconds, keeping the link open and the QNH going\n"
    "                    after the replay ends (default: when the replay ends, or on Ctrl-C)\n"
    "  -h, --help        this text\n";

constexpr const char* kTool = "skyhaven-fake-rt";

// What the command line asks: a run, the usage (status 0), or nothing, after
// a refusal (status 2).
enum class Parsed { Run, Help, Refused };

// A port option's value; 0 is taken only when `zeroText` says what it means.
bool parsePort(const std::string& option, const std::string& text, std::uint16_t& out, const char* zeroText = nullptr) {
    const auto v = tools::gf_wholeNumber(text, zeroText != nullptr ? 0 : 1, 65535);
    if (!v) {
        tools::gf_refuse(kTool, option,
                         zeroText != nullptr ? skh::format("a port from 0 ({}) to 65535", zeroText)
                                             : std::string("a port from 1 to 65535"),
                         text);
        return false;
    }
    out = static_cast<std::uint16_t>(*v);
    return true;
}

// A number above 0 up to `high`.
bool parsePositive(const std::string& option, const std::string& text, double high, const char* unit, double& out) {
    const auto v = tools::gf_number(text);
    if (!v || !(*v > 0.0 && *v <= high)) {
        tools::gf_refuse(kTool, option, skh::format("{} above 0 up to {}", unit, high), text);
        return false;
    }
    out = *v;
    return true;
}

// The options that go only with another one.
const std::pair<const char*, const char*> kNeeds[] = {
    {"--rate", "--replay"}, {"--speed", "--replay"}, {"--loop", "--replay"}, {"--retime", "--replay"}};

Parsed parseOptions(int argc, char** argv, Options& o) {
    tools::OptionsGiven given(kTool);
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= argc) return std::nullopt;
            return std::string(argv[++i]);
        };
        std::optional<std::string> v;
        if (!given.note(arg, kValueOptions.contains(arg))) return Parsed::Refused;
        if (arg == "--loop") {
            o.loop = true;
        } else if (arg == "--retime") {
            o.retime = true;
        } else if (arg == "--help" || arg == "-h") {
            return Parsed::Help;
        } else if (!kValueOptions.contains(arg)) {
            tools::gf_refuseUnknown(kTool, arg);
            return Parsed::Refused;
        } else if (!(v = value())) {
            tools::gf_refuseMissing(kTool, arg);
            return Parsed::Refused;
        } else if (arg == "--traffic-port") {
            if (!parsePort(arg, *v, o.trafficPort)) return Parsed::Refused;
        } else if (arg == "--qnh-port") {
            if (!parsePort(arg, *v, o.qnhPort)) return Parsed::Refused;
        } else if (arg == "--tcp-port") {
            if (!parsePort(arg, *v, o.tcpPort, "no TCP link")) return Parsed::Refused;
        } else if (arg == "--replay") {
            o.replayFile = *v;
        } else if (arg == "--rate") {
            if (!parsePositive(arg, *v, 1e6, "a number", o.rate)) return Parsed::Refused;
        } else if (arg == "--speed") {
            if (!parsePositive(arg, *v, 1e6, "a number", o.speed)) return Parsed::Refused;
        } else if (arg == "--qnh") {
            if (*v == "none") {
                o.qnh = std::nullopt;
            } else if (const auto qnh = tools::gf_number(*v)) {
                o.qnh = *qnh;
            } else {
                tools::gf_refuse(kTool, arg, "a number or none", *v);
                return Parsed::Refused;
            }
        } else if (arg == "--reply") {
            using R = FakeRealTraffic::Reply;
            if (*v == "level2")
                o.reply = R::Level2;
            else if (*v == "level1")
                o.reply = R::Level1;
            else if (*v == "nolevel")
                o.reply = R::NoLevel;
            else if (*v == "malformed")
                o.reply = R::Malformed;
            else if (*v == "none")
                o.reply = R::None;
            else {
                tools::gf_refuse(kTool, arg, "level2, level1, nolevel, malformed or none", *v);
                return Parsed::Refused;
            }
        } else if (arg == "--version") {
            o.version = *v;
        } else if (arg == "--duration") {
            if (!parsePositive(arg, *v, 1e7, "seconds", o.duration)) return Parsed::Refused;
        }
    }
    if (given.refuseTogether({"--rate", "--speed"}) != 0) return Parsed::Refused;
    for (const auto& [option, needs] : kNeeds) {
        if (given.refuseWithout(option, needs) != 0) return Parsed::Refused;
    }
    if (o.tcpPort == 0) {
        for (const char* option : {"--reply", "--version"}) {
            if (given.has(option)) {
                tools::gf_refuseText(kTool, std::string(option) + " needs a TCP link (not --tcp-port 0)");
                return Parsed::Refused;
            }
        }
    }
    return Parsed::Run;
}

std::vector<std::string> readLines(const std::string& path) {
    std::vector<std::string> lines;
    // Opening a pipe that nobody writes would wait for a writer, deaf to
    // Ctrl-C; a device has no end to replay.
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (std::filesystem::exists(status) && !std::filesystem::is_directory(status) &&
        !std::filesystem::is_regular_file(status)) {
        throw std::runtime_error("cannot read " + path + ": not a regular file");
    }
    // A folder would "open" and read as no lines at all.
    if (const std::string why = tools::gf_unreadableFile(path); !why.empty()) {
        throw std::runtime_error("cannot read " + path + ": " + why);
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::string line;
    while (std::getline(in, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        lines.push_back(line);
    }
    return lines;
}

// Where field 14 (the timestamp) of a line begins; npos when it has none.
std::size_t timestampField(const std::string& line) {
    std::size_t start = 0;
    for (int field = 0; field < 14; ++field) {
        start = line.find(',', start);
        if (start == std::string::npos) return start;
        ++start;
    }
    return start;
}

// The line with field 14 set to now.
std::string retimed(const std::string& line) {
    const double now = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    const std::size_t start = timestampField(line);
    if (start == std::string::npos) return line;
    const std::size_t end = line.find(',', start);
    return line.substr(0, start) + skh::format("{:.2f}", now) + (end == std::string::npos ? "" : line.substr(end));
}

// Seconds of each line after the first line's timestamp (a line without a
// readable one keeps its predecessor's), for pacing at real speed.
std::vector<double> lineOffsets(const std::vector<std::string>& lines) {
    std::vector<double> out;
    out.reserve(lines.size());
    double first = -1.0;
    double last = 0.0;
    for (const std::string& line : lines) {
        const std::size_t start = timestampField(line);
        const double t = start == std::string::npos ? -1.0 : std::atof(line.c_str() + start);
        if (t > 0.0 && first < 0.0) first = t;
        if (t > 0.0) last = std::max(last, t - first);
        out.push_back(last);
    }
    return out;
}

int run(int argc, char** argv) {
    Options o;
    switch (parseOptions(argc, argv, o)) {
        case Parsed::Help:
            tools::gf_writeOutput(kUsage);
            return 0;
        case Parsed::Refused:
            return 2;
        case Parsed::Run:
            break;
    }
    if (tools::gf_sameFile({}, o.replayFile)) {
        std::fprintf(stderr, "%s: the standard output would overwrite the replay %s (the same file)\n", kTool,
                     o.replayFile.c_str());
        return 2;
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    std::vector<std::string> lines;
    try {
        if (!o.replayFile.empty()) lines = readLines(o.replayFile);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", kTool, e.what());
        return 1;
    }

    FakeRealTraffic rt;
    if (o.tcpPort != 0) {
        rt.setReply(o.reply, o.version);
        rt.setLineCallback([](const std::string& line) { tools::gf_writeOutput("<- " + line + "\n", true); });
        rt.connect(o.tcpPort);
    }

    const auto start = Clock::now();
    const auto period = std::chrono::duration<double>(1.0 / o.rate);
    const std::vector<double> offsets = lineOffsets(lines);
    const double round = offsets.empty() ? 0.0 : offsets.back() + 1.0;
    std::size_t rounds = 0;
    const auto qnhPeriod = std::chrono::seconds(10);
    auto nextQnh = start;
    std::size_t sent = 0;
    std::size_t failed = 0;
    std::size_t qnhSent = 0;
    std::size_t index = 0;
    // An output that lost a line ends the run: what it shows would be wrong.
    while (!g_interrupted.load() && tools::g_standardOutputError.load() == 0) {
        const auto now = Clock::now();
        if (o.duration >= 0.0 && now - start >= std::chrono::duration<double>(o.duration)) break;
        if (o.qnh && now >= nextQnh) {
            // The shortest text that reads back as the number is JSON's too,
            // however the number was written on the command line.
            if (rt.sendQnh(o.qnhPort, skh::format("{{\"QNH\":{}}}", *o.qnh))) ++qnhSent;
            nextQnh += qnhPeriod;
        }
        // An empty replay is over as soon as it starts, looped or not.
        if (!o.replayFile.empty() && index == lines.size()) {
            if (o.loop && !lines.empty()) {
                index = 0;
                ++rounds;
            } else if (o.duration < 0.0) {
                break;  // with a duration, the link stays open until it is over
            }
        }
        if (index < lines.size()) {
            if (o.speed > 0.0) {
                // Due at the line's own time; short sleeps keep the QNH going.
                const auto due = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                                             (offsets[index] + round * static_cast<double>(rounds)) / o.speed));
                if (Clock::now() < due) {
                    std::this_thread::sleep_until(std::min(due, Clock::now() + std::chrono::milliseconds(100)));
                    continue;
                }
            }
            const std::string& line = lines[index++];
            if (rt.sendDatagram(o.trafficPort, o.retime ? retimed(line) : line)) {
                ++sent;
            } else {
                ++failed;
            }
            if (o.speed <= 0.0)
                std::this_thread::sleep_until(start +
                                              std::chrono::duration_cast<Clock::duration>(period * (sent + failed)));
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    // Give the program a moment to answer before the link goes.
    if (o.tcpPort != 0 && !g_interrupted.load()) std::this_thread::sleep_for(std::chrono::milliseconds(200));
    rt.disconnect();
    tools::gf_writeOutput(
        skh::format("sent {} traffic line(s), {} QNH datagram(s); {} send(s) failed; {} TCP connection(s)\n", sent,
                    qnhSent, failed, rt.connections()));
    return 0;
}

}  // namespace

int main(int argc, char** argv) { return tools::gf_endOutput(kTool, run(argc, argv)); }
