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

bool FakeSimConsole::run(const std::string& line) {
    const std::vector<std::string> w = wordsOf(line);
    if (w.empty()) return true;
    const std::string& c = w[0];
    auto say = [&](const std::string& text) { m_output(text); };
    auto usage = [&] {
        say(skh::format("error: '{}' is not a command; 'help' lists them", line));
        return true;
    };
    auto argNumber = [&](std::size_t i) { return i < w.size() ? numberOf(w[i]) : std::nullopt; };
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
    } else if (c == "sim" && w.size() == 2 && (w[1] == "on" || w[1] == "off")) {
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
        const auto nm = argNumber(1);
        const auto bearing = w.size() > 2 ? argNumber(2) : std::optional<double>(90.0);
        if (!nm || !bearing) return usage();
        {
            const std::lock_guard lock(m_mutex);
            m_route.reset();
        }
        m_sim.teleportUser(*nm, *bearing);
        say(skh::format("user teleported {} nm towards {}", *nm, *bearing));
    } else if (c == "user") {
        const auto lat = argNumber(1), lon = argNumber(2);
        const auto alt = w.size() > 3 ? argNumber(3) : std::nullopt;
        if (!lat || !lon || (w.size() > 3 && !alt) || w.size() > 4) return usage();
        {
            const std::lock_guard lock(m_mutex);
            m_route.reset();
        }
        m_sim.placeUser(*lat, *lon, alt);
        say(alt ? skh::format("user at {} {} {} ft", *lat, *lon, *alt)
                : skh::format("user at {} {} on the ground", *lat, *lon));
    } else if (c == "route") {
        const auto speed = argNumber(1);
        if (!speed || *speed <= 0.0 || w.size() < 3) return usage();
        Route route;
        route.speedKt = *speed;
        for (std::size_t i = 2; i < w.size(); ++i) {
            const auto parts = gf_split(w[i], ',');
            if (parts.size() < 2 || parts.size() > 3) return usage();
            const auto lat = numberOf(parts[0]), lon = numberOf(parts[1]);
            const auto alt = parts.size() == 3 ? numberOf(parts[2]) : std::nullopt;
            if (!lat || !lon || (parts.size() == 3 && !alt)) return usage();
            route.points.push_back({*lat, *lon, alt});
        }
        route.start = Clock::now();
        {
            const std::lock_guard lock(m_mutex);
            m_route = route;
        }
        tick(route.start);
        say(skh::format("user follows {} points at {} kt", route.points.size(), route.speedKt));
    } else if (c == "exception") {
        if (w.size() < 2) return usage();
        const auto code = countOf(w[1]);
        const auto sendId = w.size() > 2 && w[2] != "last" ? countOf(w[2]) : std::optional(m_sim.lastSendId());
        const auto index = w.size() > 3 ? countOf(w[3]) : std::optional<std::uint32_t>(0);
        if (!code || !sendId || !index) return usage();
        m_sim.sendException(*code, *sendId, *index);
        say(skh::format("exception {} sent for send id {}", *code, *sendId));
    } else if (c == "refuse-create") {
        m_sim.failNext(ScRequestId::AICreateNonATCAircraft,
                       static_cast<std::uint32_t>(ScException::CreateObjectFailed));
        say("the next creation is refused");
    } else if (c == "refuse-title" && w.size() > 1) {
        m_sim.refuseTitle(rest);
        say(skh::format("creations of '{}' are refused", rest));
    } else if (c == "remove") {
        const auto id = w.size() == 2 ? countOf(w[1]) : std::nullopt;
        if (!id) return usage();
        m_sim.removeObject(*id, true);
        say(skh::format("object {} removed", *id));
    } else if (c == "elevation") {
        const auto feet = argNumber(1);
        if (!feet) return usage();
        m_sim.setGroundElevation(*feet);
        say(skh::format("terrain at {} ft", *feet));
    } else if (c == "garbage") {
        const auto n = w.size() > 1 ? countOf(w[1]) : std::optional<std::uint32_t>(16);
        if (!n || *n == 0 || *n > 65536) return usage();
        m_sim.sendRaw(garbage(*n));
        say(skh::format("{} garbage bytes sent", *n));
    } else if (c == "trace" && w.size() == 2 && (w[1] == "on" || w[1] == "all" || w[1] == "off")) {
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
        const auto seconds = argNumber(1);
        if (!seconds || *seconds < 0) return usage();
        const auto until =
            Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(*seconds));
        waitUntil([&] { return Clock::now() >= until; });
    } else if (c == "wait-client") {
        const auto n = w.size() > 1 ? countOf(w[1]) : std::optional<std::uint32_t>(1);
        if (!n) return usage();
        if (waitUntil([&] { return m_sim.openedClients() >= *n; })) say(skh::format("{} client(s) opened", *n));
    } else if (c == "wait-requests") {
        const auto id = w.size() == 3 ? requestNamed(w[1]) : std::nullopt;
        const auto n = w.size() == 3 ? countOf(w[2]) : std::nullopt;
        if (!id || !n) return usage();
        if (waitUntil([&] { return m_sim.requestCount(*id) >= *n; })) say(skh::format("{} x {} arrived", *n, w[1]));
    } else {
        return usage();
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
