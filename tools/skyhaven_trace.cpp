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
#include <cmath>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/log.hpp"
#include "support/movement_lab.hpp"

namespace {

using namespace skh;

int lf_usage() {
    std::cerr << "usage: skyhaven-trace (--scenario NAME | --stream FILE [--type TYPE] [--park ICAO,LAT,LON,ELEV] | "
                 "--runways FILE --airport ICAO --runway IDENT [--departure]) [--after SECONDS] [--out FILE] "
                 "[--log FILE]\n"
                 "       skyhaven-trace --list\n";
    return 2;
}

std::optional<Airport> lf_parkArgument(const std::string& text) {
    std::vector<std::string> f;
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, ',');) f.push_back(item);
    if (f.size() != 4) return std::nullopt;
    try {
        return Airport{f[0], "", std::stod(f[1]), std::stod(f[2]), std::stod(f[3])};
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// Seconds to run on: a finite number from 0 to a day.
std::optional<double> lf_afterArgument(const std::string& text) {
    try {
        std::size_t used = 0;
        const double v = std::stod(text, &used);
        if (used != text.size() || !std::isfinite(v) || v < 0.0 || v > 86400.0) return std::nullopt;
        return v;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string scenarioName, streamPath, outPath, runwaysPath, airport, runway, logPath, type = "A320";
    std::optional<Airport> park;
    std::optional<double> after;
    bool departure = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto next = [&]() -> std::string { return i + 1 < args.size() ? args[++i] : std::string(); };
        if (a == "--list") {
            for (const auto& n : lab::gf_builtInScenarioNames()) std::cout << n << "\n";
            return 0;
        }
        if (a == "--scenario") {
            scenarioName = next();
        } else if (a == "--stream") {
            streamPath = next();
        } else if (a == "--out") {
            outPath = next();
        } else if (a == "--type") {
            type = next();
        } else if (a == "--park") {
            park = lf_parkArgument(next());
            if (!park) return lf_usage();
        } else if (a == "--runways") {
            runwaysPath = next();
        } else if (a == "--airport") {
            airport = next();
        } else if (a == "--runway") {
            runway = next();
        } else if (a == "--departure") {
            departure = true;
        } else if (a == "--after") {
            after = lf_afterArgument(next());
            if (!after) return lf_usage();
        } else if (a == "--log") {
            logPath = next();
        } else {
            return lf_usage();
        }
    }
    if (!logPath.empty()) gf_openLog(logPath);

    lab::Scenario scenario;
    if (!scenarioName.empty()) {
        const auto s = lab::gf_builtInScenario(scenarioName);
        if (!s) {
            std::cerr << "unknown scenario " << scenarioName << " (--list names them)\n";
            return 2;
        }
        scenario = *s;
    } else if (!streamPath.empty()) {
        std::ifstream in(streamPath);
        if (!in) {
            std::cerr << "cannot read " << streamPath << "\n";
            return 1;
        }
        std::size_t skipped = 0;
        scenario.name = streamPath;
        scenario.type = type;
        scenario.samples = lab::gf_readRecordedStream(in, &skipped);
        if (skipped > 0) std::cerr << skipped << " line(s) of the stream skipped\n";
        if (scenario.samples.empty()) {
            std::cerr << "no samples in " << streamPath << "\n";
            return 1;
        }
        if (park) {
            scenario.parkAirport = park;
            scenario.terrainFt = park->elevation;
            scenario.user = {park->lat, park->lon};
        }
        scenario.ticks = lab::gf_ticksAfterStream(scenario.samples, 10.0);
    } else if (!runwaysPath.empty() && !airport.empty() && !runway.empty()) {
        const auto end = lab::gf_findRunway(runwaysPath, airport, runway);
        if (!end) {
            std::cerr << "runway " << airport << " " << runway << " not found with its geometry\n";
            return 1;
        }
        scenario = lab::gf_runwayScenario(*end, departure);
    } else {
        return lf_usage();
    }
    if (after) scenario.ticks = lab::gf_ticksAfterStream(scenario.samples, *after);

    lab::MovementLab lab(scenario);
    lab.run();
    if (outPath.empty()) {
        lab.writeCsv(std::cout);
    } else {
        std::ofstream out(outPath);
        lab.writeCsv(out);
        if (!out) {
            std::cerr << "cannot write " << outPath << "\n";
            return 1;
        }
    }
    std::cerr << scenario.name << ": " << lab::gf_qualityText(lab.quality()) << "\n";
    return 0;
}
