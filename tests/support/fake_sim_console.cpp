#include "support/fake_sim_console.hpp"

#include <charconv>
#include <cmath>
#include <sstream>
#include <thread>

#include "foundation/format.hpp"
#include "foundation/geo.hpp"
#include "foundation/text.hpp"

namespace skh::test {

namespace {

using namespace std::chrono_literals;

constexpr double kDegToRad = 3.14159265358979323846 / 180.0;
constexpr double kRadToDeg = 180.0 / 3.14159265358979323846;
constexpr double kFeetPerNm = 1852.0 / 0.3048;
const char* const kDefaultFlight = "Flights\\Skyhaven demo.fxml";
// The altitudes a command may place the user aircraft at.
constexpr double kLowestFt = -1500.0;
constexpr double kHighestFt = 100000.0;

std::optional<double> numberOf(const std::string& text) {
    double v = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::optional<std::uint32_t> countOf(const std::string& text) {
    std::uint32_t v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return v;
}

std::vector<std::string> wordsOf(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

std::optional<ScRequestId> requestNamed(const std::string& name) {
    for (std::uint32_t id = 0; id < 0x40; ++id) {
        if (gf_fakeRequestName(static_cast<ScRequestId>(id)) == name) return static_cast<ScRequestId>(id);
    }
    return std::nullopt;
}

// A garbage block: its first word reads as a message size far above any limit.
Bytes garbage(std::size_t n) {
    static const std::byte pattern[4] = {std::byte{0xDE}, std::byte{0xAD}, std::byte{0xBE}, std::byte{0xEF}};
    Bytes bytes(n);
    for (std::size_t i = 0; i < n; ++i) bytes[i] = pattern[i % 4];
    return bytes;
}

}  // namespace

FakeSimConsole::FakeSimConsole(FakeSimulator& sim, Output output) : m_sim(sim), m_output(std::move(output)) {}

std::string FakeSimConsole::help() {
    return R"(Commands (one a line on standard input, or ';'-separated in --script):
  quit                       the quit message, then every connection closes
  reset                      every connection closes abruptly (connection reset)
  close                      every connection closes without a quit message
  pause | unpause            no frames and no data by frame or second while paused
  sim on|off                 the flight runs or not (the "Sim" event)
  flight [PATH]              a new flight was loaded (FlightLoaded with the file name)
  position-changed           the user moved the aircraft (PositionChanged)
  teleport NM [BEARING]      move the user aircraft NM nautical miles towards BEARING (default 90)
  user LAT LON [ALT_FT]      put the user aircraft there: in the air at ALT_FT, else on the ground
  route KT LAT,LON[,ALT_FT] ...  move the user aircraft at KT knots along the points
                             (a point without altitude is on the ground); it stops at the last one
  exception CODE [SENDID|last] [INDEX]  send exception CODE for a send id (default: the last packet)
  refuse-create              answer the next creation with exception 22 (create object failed)
  refuse-title TITLE         refuse every creation of this title (the rest of the line)
  remove ID                  the simulator removes object ID on its own (ObjectRemoved, known or not)
  elevation FT               flat terrain at FT feet
  garbage [N]                N bytes (default 16) that are no message
  trace on|all|off           one line per request (all: position updates too, each with
                             the time, position, altitude, attitude and on-ground flag it set)
  objects                    each AI object's last position and heading
  summary                    what the clients did so far
  wait SECONDS               pause the script
  wait-client [N]            wait until N clients (default 1) sent their open packet
  wait-requests NAME N       wait until N requests of a kind arrived (e.g. AICreateNonATCAircraft)
  exit                       end the program (as closing standard input does)
  help                       this text)";
}

bool FakeSimConsole::waitUntil(const std::function<bool()>& done) {
    while (!done()) {
        if (m_stopped.load()) return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

void FakeSimConsole::stop() { m_stopped = true; }

bool FakeSimConsole::runScript(const std::string& script) {
    for (const std::string& command : gf_split(script, ';')) {
        if (command.empty()) continue;
        if (!run(command)) return false;
    }
    return true;
}

std::string FakeSimConsole::scriptProblem(const std::string& script) {
    for (const std::string& command : gf_split(script, ';')) {
        if (std::string problem = problemOf(command); !problem.empty()) return problem;
    }
    return {};
}

std::string FakeSimConsole::problemOf(const std::string& line) {
    const std::vector<std::string> w = wordsOf(line);
    if (w.empty()) return {};
    const std::string& c = w[0];
    auto number = [&](std::size_t i, double low, double high) {
        const auto v = i < w.size() ? numberOf(w[i]) : std::nullopt;
        return v && *v >= low && *v <= high;
    };
    auto count = [&](std::size_t i) { return i < w.size() && countOf(w[i]).has_value(); };
    // LAT,LON[,ALT_FT] of a route, in range.
    auto point = [](const std::string& text) {
        const auto parts = gf_split(text, ',');
        if (parts.size() < 2 || parts.size() > 3) return false;
        const auto lat = numberOf(parts[0]), lon = numberOf(parts[1]);
        const auto alt = parts.size() == 3 ? numberOf(parts[2]) : std::optional<double>(0.0);
        return lat && lon && alt && std::fabs(*lat) <= 90.0 && std::fabs(*lon) <= 180.0 && *alt >= kLowestFt &&
               *alt <= kHighestFt;
    };
    const std::string position = "(latitude -90 to 90, longitude -180 to 180, feet -1500 to 100000)";
    std::string takes;  // what the command takes, when its words do not fit
    if (c == "exit" || c == "help" || c == "quit" || c == "reset" || c == "close" || c == "pause" || c == "unpause" ||
        c == "flight" || c == "position-changed" || c == "refuse-create" || c == "objects" || c == "summary") {
        // nothing to check: any words after them are ignored or the flight's path
    } else if (c == "sim") {
        if (w.size() != 2 || (w[1] != "on" && w[1] != "off")) takes = "on or off";
    } else if (c == "teleport") {
        if (w.size() > 3 || !number(1, 0.0, 10800.0) || (w.size() == 3 && !number(2, 0.0, 360.0)))
            takes = "NM [BEARING] (nautical miles 0 to 10800, degrees 0 to 360)";
    } else if (c == "user") {
        if (w.size() < 3 || w.size() > 4 || !number(1, -90.0, 90.0) || !number(2, -180.0, 180.0) ||
            (w.size() == 4 && !number(3, kLowestFt, kHighestFt)))
            takes = "LAT LON [ALT_FT] " + position;
    } else if (c == "route") {
        bool points = w.size() > 2;
        for (std::size_t i = 2; i < w.size(); ++i) points = points && point(w[i]);
        if (!number(1, 0.0, 2000.0) || *numberOf(w[1]) == 0.0 || !points)
            takes = "KT LAT,LON[,ALT_FT] ... (knots above 0 up to 2000; " + position.substr(1);
    } else if (c == "exception") {
        if (w.size() < 2 || w.size() > 4 || !count(1) || (w.size() > 2 && w[2] != "last" && !count(2)) ||
            (w.size() > 3 && !count(3)))
            takes = "CODE [SENDID|last] [INDEX] (whole numbers)";
    } else if (c == "refuse-title") {
        if (w.size() < 2) takes = "TITLE";
    } else if (c == "remove") {
        if (w.size() != 2 || !count(1)) takes = "ID (a whole number)";
    } else if (c == "elevation") {
        if (w.size() != 2 || !number(1, kLowestFt, 30000.0)) takes = "FT (feet -1500 to 30000)";
    } else if (c == "garbage") {
        if (w.size() > 2 || (w.size() == 2 && !number(1, 1.0, 65536.0)) || (w.size() == 2 && !count(1)))
            takes = "[N] (bytes 1 to 65536)";
    } else if (c == "trace") {
        if (w.size() != 2 || (w[1] != "on" && w[1] != "all" && w[1] != "off")) takes = "on, all or off";
    } else if (c == "wait") {
        if (w.size() != 2 || !number(1, 0.0, 10'000'000.0)) takes = "SECONDS (0 to 10000000)";
    } else if (c == "wait-client") {
        if (w.size() > 2 || (w.size() == 2 && !count(1))) takes = "[N] (a whole number)";
    } else if (c == "wait-requests") {
        if (w.size() != 3 || !requestNamed(w[1]) || !count(2)) takes = "NAME N (a request's name, a whole number)";
    } else {
        return skh::format("'{}' is not a command; 'help' lists them", gf_trim(line));
    }
    if (takes.empty()) return {};
    return skh::format("'{}': {} takes {}", gf_trim(line), c, takes);
}

bool FakeSimConsole::run(const std::string& line) {
    const std::vector<std::string> w = wordsOf(line);
    if (w.empty()) return true;
    const std::string& c = w[0];
    auto say = [&](const std::string& text) { m_output(text); };
    if (const std::string problem = problemOf(line); !problem.empty()) {
        say("error: " + problem);
        return true;
    }
    // Checked above: every value is there and in range.
    auto argNumber = [&](std::size_t i) { return *numberOf(w[i]); };
    auto argCount = [&](std::size_t i, std::uint32_t otherwise) { return i < w.size() ? *countOf(w[i]) : otherwise; };
    // The text after the command word, as typed.
    const std::string rest = gf_trim(line.substr(line.find(c) + c.size()));

    if (c == "exit") {
        say("exit");
        return false;
    }
    if (c == "help") {
        say(help());
    } else if (c == "quit") {
        m_sim.quit();
        say("quit sent, connections closed");
    } else if (c == "reset") {
        m_sim.resetClients();
        say("connections reset");
    } else if (c == "close") {
        m_sim.closeClients();
        say("connections closed");
    } else if (c == "pause" || c == "unpause") {
        m_sim.setPaused(c == "pause");
        say(c == "pause" ? "paused" : "running");
    } else if (c == "sim") {
        m_sim.setSimRunning(w[1] == "on");
        say(skh::format("sim {}", w[1]));
    } else if (c == "flight") {
        const std::string path = rest.empty() ? std::string(kDefaultFlight) : rest;
        m_sim.loadFlight(path);
        say(skh::format("flight loaded: {}", path));
    } else if (c == "position-changed") {
        m_sim.positionChanged();
        say("position changed");
    } else if (c == "teleport") {
        const double nm = argNumber(1);
        const double bearing = w.size() > 2 ? argNumber(2) : 90.0;
        {
            const std::lock_guard lock(m_mutex);
            m_route.reset();
        }
        m_sim.teleportUser(nm, bearing);
        say(skh::format("user teleported {} nm towards {}", nm, bearing));
    } else if (c == "user") {
        const double lat = argNumber(1), lon = argNumber(2);
        const auto alt = w.size() > 3 ? std::optional<double>(argNumber(3)) : std::nullopt;
        {
            const std::lock_guard lock(m_mutex);
            m_route.reset();
        }
        m_sim.placeUser(lat, lon, alt);
        say(alt ? skh::format("user at {} {} {} ft", lat, lon, *alt)
                : skh::format("user at {} {} on the ground", lat, lon));
    } else if (c == "route") {
        Route route;
        route.speedKt = argNumber(1);
        for (std::size_t i = 2; i < w.size(); ++i) {
            const auto parts = gf_split(w[i], ',');
            route.points.push_back(
                {*numberOf(parts[0]), *numberOf(parts[1]), parts.size() == 3 ? numberOf(parts[2]) : std::nullopt});
        }
        route.start = Clock::now();
        {
            const std::lock_guard lock(m_mutex);
            m_route = route;
        }
        tick(route.start);
        say(skh::format("user follows {} points at {} kt", route.points.size(), route.speedKt));
    } else if (c == "exception") {
        const std::uint32_t code = argCount(1, 0);
        const std::uint32_t sendId = w.size() > 2 && w[2] != "last" ? argCount(2, 0) : m_sim.lastSendId();
        m_sim.sendException(code, sendId, argCount(3, 0));
        say(skh::format("exception {} sent for send id {}", code, sendId));
    } else if (c == "refuse-create") {
        m_sim.failNext(ScRequestId::AICreateNonATCAircraft,
                       static_cast<std::uint32_t>(ScException::CreateObjectFailed));
        say("the next creation is refused");
    } else if (c == "refuse-title") {
        m_sim.refuseTitle(rest);
        say(skh::format("creations of '{}' are refused", rest));
    } else if (c == "remove") {
        const std::uint32_t id = argCount(1, 0);
        m_sim.removeObject(id, true);
        say(skh::format("object {} removed", id));
    } else if (c == "elevation") {
        const double feet = argNumber(1);
        m_sim.setGroundElevation(feet);
        say(skh::format("terrain at {} ft", feet));
    } else if (c == "garbage") {
        const std::uint32_t n = argCount(1, 16);
        m_sim.sendRaw(garbage(n));
        say(skh::format("{} garbage bytes sent", n));
    } else if (c == "trace") {
        if (w[1] == "off") {
            m_sim.setTrace({});
        } else {
            m_sim.setTrace([out = m_output](const std::string& text) { out("trace: " + text); }, w[1] == "all");
        }
        say(skh::format("trace {}", w[1]));
    } else if (c == "objects") {
        for (const std::string& text : objectLines()) say(text);
    } else if (c == "summary") {
        for (const std::string& text : summary()) say(text);
    } else if (c == "wait") {
        const auto until =
            Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(argNumber(1)));
        waitUntil([&] { return Clock::now() >= until; });
    } else if (c == "wait-client") {
        const std::uint32_t n = argCount(1, 1);
        if (waitUntil([&] { return m_sim.openedClients() >= n; })) say(skh::format("{} client(s) opened", n));
    } else if (c == "wait-requests") {
        const ScRequestId id = *requestNamed(w[1]);
        const std::uint32_t n = argCount(2, 0);
        if (waitUntil([&] { return m_sim.requestCount(id) >= n; })) say(skh::format("{} x {} arrived", n, w[1]));
    }
    return true;
}

void FakeSimConsole::tick(Clock::time_point now) {
    RoutePoint at;
    double heading = 0.0, speed = 0.0;
    {
        const std::lock_guard lock(m_mutex);
        if (!m_route || m_route->points.empty()) return;
        const Route& r = *m_route;
        const double elapsedH = std::chrono::duration<double>(now - r.start).count() / 3600.0;
        double left = std::max(0.0, elapsedH) * r.speedKt;  // nm still to go along the route
        at = r.points.back();
        for (std::size_t i = 0; i + 1 < r.points.size(); ++i) {
            const RoutePoint& a = r.points[i];
            const RoutePoint& b = r.points[i + 1];
            const double legNm = gf_distanceNm({a.lat, a.lon}, {b.lat, b.lon});
            heading = gf_bearingRad({a.lat, a.lon}, {b.lat, b.lon}) * kRadToDeg;
            if (left >= legNm) {
                left -= legNm;
                continue;
            }
            const double f = legNm > 0.0 ? left / legNm : 1.0;
            const GeoPos p = gf_destinationPoint({a.lat, a.lon}, heading * kDegToRad, left * kFeetPerNm);
            at.lat = p.lat;
            at.lon = p.lon;
            if (a.altitudeFt || b.altitudeFt) {
                const double ground = m_sim.groundElevation();
                at.altitudeFt =
                    a.altitudeFt.value_or(ground) + f * (b.altitudeFt.value_or(ground) - a.altitudeFt.value_or(ground));
            } else {
                at.altitudeFt.reset();
            }
            speed = r.speedKt;
            break;
        }
    }
    m_sim.placeUser(at.lat, at.lon, at.altitudeFt, heading, speed);
}

std::vector<std::string> FakeSimConsole::objectLines() const {
    const auto positions = m_sim.lastPositions();
    std::vector<std::string> lines;
    lines.push_back(skh::format("objects: {} in the simulator, {} seen", m_sim.counts().liveObjects, positions.size()));
    for (const auto& [id, p] : positions) {
        lines.push_back(skh::format("object {} '{}' '{}' at {:.5f} {:.5f} {:.0f} ft heading {:.0f}{}{}", id, p.atcId,
                                    p.title, p.latitude, p.longitude, p.altitude, p.heading,
                                    p.onGround ? " on the ground" : "", p.removed ? ", removed" : ""));
    }
    return lines;
}

std::string FakeSimConsole::motionLine() const {
    std::size_t moving = 0, moves = 0;
    const FakeLastPosition* widest = nullptr;
    const FakeLastPosition* steepest = nullptr;
    const auto positions = m_sim.lastPositions();
    for (const auto& [id, p] : positions) {
        if (p.moves == 0) continue;
        ++moving;
        moves += p.moves;
        if (widest == nullptr || p.largestStepM > widest->largestStepM) widest = &p;
        if (steepest == nullptr || p.largestClimbFt > steepest->largestClimbFt) steepest = &p;
    }
    if (moving == 0) return "motion: no object was moved";
    return skh::format(
        "motion: {} object(s) moved, {} moves; largest step {:.1f} m ('{}'), largest altitude step {:.1f} ft ('{}')",
        moving, moves, widest->largestStepM, widest->atcId, steepest->largestClimbFt, steepest->atcId);
}

std::vector<std::string> FakeSimConsole::summary() const {
    std::vector<std::string> lines;
    std::string kinds;
    for (const auto& [id, n] : m_sim.requestCounts()) kinds += skh::format(", {} {}", gf_fakeRequestName(id), n);
    lines.push_back(
        skh::format("summary: {} client(s), {} requests{}", m_sim.clientCount(), m_sim.requestCount(), kinds));
    const FakeSimCounts c = m_sim.counts();
    lines.push_back(skh::format(
        "summary: objects created {}, refused {}, removed by the client {}, removed by the simulator {}, live {}; "
        "exceptions sent {}",
        c.created, c.refusedCreations, c.removedByClient, c.removedBySimulator, c.liveObjects, c.exceptionsSent));
    std::map<std::string, std::size_t> events;
    std::size_t refused = 0;
    const auto log = m_sim.clientEventLog();
    for (const FakeEventRecord& e : log) {
        ++events[e.event];
        if (!e.accepted) ++refused;
    }
    std::string eventText;
    for (const auto& [name, n] : events) eventText += skh::format(", {} {}", name, n);
    lines.push_back(skh::format("summary: client events {} (refused {}){}", log.size(), refused, eventText));
    for (std::string& text : objectLines()) lines.push_back("summary: " + text);
    lines.push_back("summary: " + motionLine());
    for (const std::string& e : m_sim.protocolErrors()) lines.push_back("protocol error: " + e);
    return lines;
}

}  // namespace skh::test
