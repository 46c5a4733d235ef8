// skyhaven-trace: flies a scenario, or a recorded stream of positions,
// through the movement model and writes the per-poll trace as CSV, with the
// worst figures of the motion on stderr.
//
//   skyhaven-trace --scenario approach [--out trace.csv]
//   skyhaven-trace --stream recorded.csv [--type A320] [--park LSZH,47.458,8.548,1402] [--out trace.csv]
//   skyhaven-trace --runways runways.csv --airport LSZH --runway 14 [--departure] [--out trace.csv]
//   skyhaven-trace --list
// --after S runs on S seconds after the stream's last sample was due (a
// stream that runs dry is then flown on its predictions); by default the
// trace ends 10 s after it (a built-in scenario: where the scenario ends).
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "foundation/log.hpp"
#include "support/movement_lab.hpp"
#include "tool_files.hpp"
#include "tool_options.hpp"

namespace {

using namespace skh;

constexpr const char* kTool = "skyhaven-trace";

const char* const kUsage =
    "usage: skyhaven-trace (--scenario NAME | --stream FILE [--type TYPE] [--park ICAO,LAT,LON,ELEV] | "
    "--runways FILE --airport ICAO --runway IDENT [--departure]) [--after SECONDS] [--out FILE] "
    "[--log FILE]\n"
    "       skyhaven-trace --list\n";

// The options that take a value.
const std::set<std::string> kValueOptions = {"--scenario", "--stream",  "--out",    "--type",  "--park",
                                             "--runways",  "--airport", "--runway", "--after", "--log"};

// The options that go only with another one.
const std::pair<const char*, const char*> kNeeds[] = {
    {"--type", "--stream"},       {"--park", "--stream"},     {"--airport", "--runways"}, {"--runway", "--runways"},
    {"--departure", "--runways"}, {"--runways", "--airport"}, {"--runways", "--runway"}};

std::optional<Airport> lf_parkArgument(const std::string& text) {
    std::vector<std::string> f;
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, ',');) f.push_back(item);
    if (f.size() != 4 || f[0].empty()) return std::nullopt;
    const auto lat = tools::gf_number(f[1]);
    const auto lon = tools::gf_number(f[2]);
    const auto elevation = tools::gf_number(f[3]);
    if (!lat || !lon || !elevation || std::fabs(*lat) > 90.0 || std::fabs(*lon) > 180.0 || *elevation < -1500.0 ||
        *elevation > 30000.0)
        return std::nullopt;
    return Airport{f[0], "", *lat, *lon, *elevation};
}

// What --type takes: the types of the flight lab's database, named.
std::string lf_typeChoices() {
    std::string names;
    for (const std::string& t : lab::gf_labTypeNames()) names += (names.empty() ? "" : ", ") + t;
    return "a type the flight lab knows (" + names + ")";
}

// Refuses a file named on the command line that cannot be read: status 1.
bool lf_refuseUnreadable(const std::string& what, const std::string& path) {
    const std::string why = tools::gf_unreadableFile(path);
    if (why.empty()) return false;
    std::cerr << kTool << ": cannot read the " << what << " " << path << ": " << why << "\n";
    return true;
}

// Refuses a file named on the command line that cannot be written: status 1.
bool lf_refuseUnwritable(const std::string& what, const std::string& path) {
    if (path.empty()) return false;
    const std::string why = tools::gf_unwritableFile(path);
    if (why.empty()) return false;
    std::cerr << kTool << ": cannot write the " << what << " " << path << ": " << why << "\n";
    return true;
}

// Refuses an output that is one of the inputs, or of the other outputs
// (compared by `same`), before it could overwrite it; an empty output is
// standard output.
bool lf_refuseOverwrite(const std::string& what, const std::string& output,
                        const std::vector<std::pair<std::string, std::string>>& inputs,
                        bool (*same)(const std::string&, const std::string&) = tools::gf_sameFile) {
    for (const auto& [kind, input] : inputs) {
        if (input.empty() || !same(output, input)) continue;
        std::cerr << kTool << ": " << (output.empty() ? "the standard output" : "the " + what + " " + output)
                  << " would overwrite the " << kind << " " << input << " (the same file)\n";
        return true;
    }
    return false;
}

// Writes the trace; why it failed, or empty. Over a file, the trace is
// written beside and takes the file's name only when whole and flushed, so a
// write that fails, or is stopped, leaves the older trace as it was; a device
// or a pipe is written directly.
std::string lf_writeTrace(const std::string& path, const std::string& text) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr) return std::generic_category().message(errno);
        int error = std::fwrite(text.data(), 1, text.size(), f) == text.size() ? 0 : (errno != 0 ? errno : EIO);
        if (std::fclose(f) != 0 && error == 0) error = errno != 0 ? errno : EIO;
        return error == 0 ? std::string() : std::generic_category().message(error);
    }
    // Through a link, the file it names is replaced and the link kept.
    std::filesystem::path target = path;
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec))) {
        const std::filesystem::path real = std::filesystem::canonical(path, ec);
        if (!ec) target = real;
    }
    const std::filesystem::path temp = gf_temporaryPathBeside(target, ".tmp");
    const tools::RemovedOnStop removed(temp);
    // The reason alone: the caller names the trace, not the file beside it.
    if (const int error = gf_writeNewFile(temp, text); error != 0) return std::generic_category().message(error);
    std::string problem;
    return gf_replaceWith(temp, target, problem) ? std::string() : problem;
}

// Seconds to run on: a finite number from 0 to a day.
std::optional<double> lf_afterArgument(const std::string& text) {
    const auto v = tools::gf_number(text);
    if (!v || *v < 0.0 || *v > 86400.0) return std::nullopt;
    return v;
}

int lf_run(const std::vector<std::string>& args) {
    std::string scenarioName, streamPath, outPath, runwaysPath, airport, runway, logPath, type = "A320";
    std::optional<Airport> park;
    std::optional<double> after;
    bool departure = false;
    tools::OptionsGiven given(kTool);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            tools::gf_writeOutput(kUsage);
            return 0;
        }
        if (a == "--list") {
            for (const auto& n : lab::gf_builtInScenarioNames()) {
                // The test airport's runway is a row of the world runway list.
                tools::gf_writeOutput(n +
                                      (n == "approach"
                                           ? "  (LSZH 14: the same as --runways runways.csv --airport LSZH --runway 14)"
                                           : "") +
                                      "\n");
            }
            return 0;
        }
        if (a == "--departure") {
            given.note(a, false);
            departure = true;
            continue;
        }
        if (!kValueOptions.contains(a)) return tools::gf_refuseUnknown(kTool, a);
        if (i + 1 >= args.size()) return tools::gf_refuseMissing(kTool, a);
        if (!given.note(a, true)) return 2;
        const std::string& v = args[++i];
        if (a == "--scenario") {
            if (!lab::gf_builtInScenario(v)) return tools::gf_refuse(kTool, a, "a scenario that --list names", v);
            scenarioName = v;
        } else if (a == "--stream") {
            streamPath = v;
        } else if (a == "--out") {
            outPath = v;
        } else if (a == "--type") {
            const auto& known = lab::gf_labTypeNames();
            if (std::find(known.begin(), known.end(), v) == known.end()) {
                return tools::gf_refuse(kTool, a, lf_typeChoices(), v);
            }
            type = v;
        } else if (a == "--park") {
            park = lf_parkArgument(v);
            if (!park) {
                return tools::gf_refuse(
                    kTool, a, "ICAO,LAT,LON,ELEV (latitude -90 to 90, longitude -180 to 180, feet -1500 to 30000)", v);
            }
        } else if (a == "--runways") {
            runwaysPath = v;
        } else if (a == "--airport") {
            airport = v;
        } else if (a == "--runway") {
            runway = v;
        } else if (a == "--after") {
            after = lf_afterArgument(v);
            if (!after) return tools::gf_refuse(kTool, a, "seconds from 0 to 86400", v);
        } else if (a == "--log") {
            logPath = v;
        }
    }
    if (const int refused = given.refuseTogether({"--scenario", "--stream", "--runways"})) return refused;
    for (const auto& [option, needs] : kNeeds) {
        if (const int refused = given.refuseWithout(option, needs)) return refused;
    }
    if (scenarioName.empty() && streamPath.empty() && runwaysPath.empty()) {
        std::cerr << kUsage;
        return 2;
    }
    const std::vector<std::pair<std::string, std::string>> inputs = {{"stream", streamPath},
                                                                     {"runway list", runwaysPath}};
    if (lf_refuseOverwrite("trace", outPath, inputs) ||
        (!logPath.empty() && lf_refuseOverwrite("log", logPath, inputs)) ||
        lf_refuseOverwrite("trace", outPath, {{"log", logPath}}, tools::gf_sameOutput))
        return 2;
    // The outputs are tried first, so that a run which could not keep its
    // trace or its log writes neither.
    if (lf_refuseUnwritable("trace", outPath) || lf_refuseUnwritable("log", logPath)) return 1;

    lab::Scenario scenario;
    if (!scenarioName.empty()) {
        scenario = *lab::gf_builtInScenario(scenarioName);
    } else if (!streamPath.empty()) {
        if (lf_refuseUnreadable("stream", streamPath)) return 1;
        std::ifstream in(streamPath);
        std::size_t skipped = 0;
        scenario.name = streamPath;
        scenario.type = type;
        scenario.samples = lab::gf_readRecordedStream(in, &skipped);
        if (skipped > 0) std::cerr << kTool << ": " << skipped << " line(s) of the stream skipped\n";
        if (scenario.samples.empty()) {
            std::cerr << kTool << ": no samples in " << streamPath << "\n";
            return 1;
        }
        if (park) {
            scenario.parkAirport = park;
            scenario.terrainFt = park->elevation;
            scenario.user = {park->lat, park->lon};
        }
        scenario.ticks = lab::gf_ticksAfterStream(scenario.samples, 10.0);
    } else {
        if (lf_refuseUnreadable("runway list", runwaysPath)) return 1;
        const auto end = lab::gf_findRunway(runwaysPath, airport, runway);
        if (!end) {
            std::cerr << kTool << ": runway " << airport << " " << runway << " not found with its geometry in "
                      << runwaysPath << "\n";
            return 1;
        }
        scenario = lab::gf_runwayScenario(*end, departure);
    }
    if (after) scenario.ticks = lab::gf_ticksAfterStream(scenario.samples, *after);

    if (!logPath.empty()) {
        try {
            // Only the file named: older logs are the program's, not the tool's.
            gf_openNamedLog(logPath);
        } catch (const std::exception& e) {
            std::cerr << kTool << ": cannot open the log: " << e.what() << "\n";
            return 1;
        }
    }

    lab::MovementLab lab(scenario);
    lab.run();
    // A log that lost a line fails the run before the trace replaces anything.
    if (!logPath.empty()) {
        if (const int error = gf_closeLog(); error != 0) {
            std::cerr << kTool << ": cannot write the log " << logPath << ": " << std::generic_category().message(error)
                      << "\n";
            return 1;
        }
    }
    std::ostringstream csv;
    lab.writeCsv(csv);
    if (outPath.empty()) {
        if (!tools::gf_writeOutput(csv.str(), true)) return 1;  // said as the output ends
    } else if (const std::string why = lf_writeTrace(outPath, csv.str()); !why.empty()) {
        std::cerr << kTool << ": cannot write the trace " << outPath << ": " << why << "\n";
        return 1;
    }
    std::cerr << scenario.name << ": " << lab::gf_qualityText(lab.quality()) << "\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int status = lf_run(std::vector<std::string>(argv + 1, argv + argc));
    return tools::gf_endOutput(kTool, status);
}
