#include "simclient/sim_handlers.hpp"

#include <algorithm>
#include <cmath>
#include <span>
#include <string>
#include <variant>

#include "foundation/aircraft_types.hpp"
#include "foundation/constants.hpp"
#include "foundation/errors.hpp"
#include "foundation/format.hpp"
#include "foundation/geo.hpp"
#include "foundation/log.hpp"
#include "foundation/main_window_state.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/text.hpp"
#include "foundation/upcalls.hpp"
#include "platform/window.hpp"
#include "simclient/sim_events.hpp"
#include "simclient/sim_ids.hpp"
#include "simclient/sim_queues.hpp"
#include "simclient/sim_state.hpp"
#include "simconnect/messages.hpp"
#include "simconnect/simconnect.hpp"

namespace skh {

namespace {

// SimClient thread state.
std::atomic<bool> g_quitReceived{false};
std::uint32_t g_frameCount = 0;
GeoPos g_prevUserPos;  // the position of the previous answer to request 109

constexpr std::size_t kTitleCharacters = 48;
constexpr double kTeleportNm = 10.0;
constexpr double kGroundReportCeilingFeet = 2500.0;
constexpr std::uint32_t kStaticActNumberMax = 10000;

template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

void lf_newFlightStop() { gf_requestStop(AppState::NewFlight, 30); }

// The stand is the main loop's business; this only asks for it.
void lf_askParkStandUpdate() { g_parkStandUpdateWanted = true; }

void lf_pushEvent(SimEventKind kind, std::uint32_t objectId, std::uint32_t actNumber, double a = 0.0, double b = 0.0) {
    SimEvent e;
    e.objectId = objectId;
    e.actNumber = actNumber;
    e.kind = kind;
    e.a = a;
    e.b = b;
    gf_pushSimEvent(e);
}

bool userPositionKnown() { return gf_userPositionKnown(g_prevUserPos.lat, g_prevUserPos.lon); }

// The first `count` characters of UTF-8 text.
std::string utf8Prefix(const std::string& text, std::size_t count) {
    std::size_t pos = 0;
    for (std::size_t n = 0; n < count && pos < text.size(); ++n) {
        ++pos;
        while (pos < text.size() && (static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80) ++pos;
    }
    return text.substr(0, pos);
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

void lf_enableInstallPathControl() {
    platform::WindowHandle h = ALL_INSTALL_PATH.hwnd.load();
    if (h == 0) h = platform::getDlgItem(ALL_INSTALL_PATH.controlId);
    if (h != 0) platform::enableWindow(h, true);
}

void lf_onException(const ScRecvException& e) {
    switch (e.exception) {
        case 3:
            if (userPositionKnown() && !g_stopRequested.load() && !g_closeRequested.load())
                gf_logWarning("SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID");
            return;
        case 5:
            throw UserErrorException(95, skh::format("SimConnect Version Mismatch, dwIndex: {}", e.index));
        case 11:
            gf_setStatusMessage("SimConnect: too many objects (max 1000)", true);
            return;
        case 19:
            gf_log("SIMCONNECT_EXCEPTION_INVALID_DATA_SIZE");
            return;
        case 22: {
            const auto it = std::find_if(sentPackets.begin(), sentPackets.end(),
                                         [&](const SentPacket& p) { return p.sendId == e.sendId; });
            if (it == sentPackets.end()) return;
            const std::uint32_t act = it->actNumber;
            *it = std::move(sentPackets.back());
            sentPackets.pop_back();
            if (act != 0) lf_pushEvent(SimEventKind::createFailed, 0, act);
            return;
        }
        case 23:
            gf_logWarning("SimConnect exception: load flight plan failed");
            return;
        case 24:
            gf_log("SIMCONNECT_EXCEPTION_OPERATION_INVALID_FOR_OBJECT_TYPE");
            return;
        default:
            gf_logWarning(skh::format("SIMCONNECT_EXCEPTION #{}", e.exception));
            return;
    }
}

void lf_onOpen(const ScRecvOpen& open) {
    const std::string& name = open.applicationName;  // already cut at its first NUL
    if (name.empty()) {
        gf_log("! Simulator name empty?");
        return;
    }
    gf_setBoard(g_mainWindowState.simConnectConnected, true);
    // Letters, digits and white space only: trademark signs go.
    std::string clean;
    clean.reserve(name.size());
    for (const char c : name) {
        if (gf_isAsciiAlnum(c) || c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') clean += c;
    }
    if (clean == "KittyHawk" || clean == "SunRise")
        throw UserErrorException(78, clean + ", (MSFS) not being P3D connects ... ?");
    const auto& v = open.applicationVersion;
    const std::string text = skh::format("{} ({}.{}.{}.{})", clean, v[0], v[1], v[2], v[3]);
    gf_log(skh::format("{} connected", text));
    gf_setBoard(g_mainWindowState.simulatorName, text);
    const std::string path = SIM_INSTALL_PATH.value.get();
    const std::uint32_t major = simMajorVersion.load();
    const bool accepted =
        (gf_contains(text, "v5") && (gf_contains(path, "v5") || gf_contains(path, "V5") || major == 5)) ||
        (gf_contains(text, "v6") && (gf_contains(path, "v6") || gf_contains(path, "V6") || major == 6));
    if (accepted) {
        gf_clearStatusMessage();
        return;
    }
    lf_enableInstallPathControl();
    throw UserErrorException(78, skh::format("wrong P3D version '{}' connects ... ?)", text));
}

void lf_onEvent(const ScRecvEvent& e) {
    switch (e.eventId) {
        case EVENT_SIM: {
            const bool running = e.data == 1;
            simRunning = running;
            gf_setBoard(g_mainWindowState.simulatorRunning, running);
            return;
        }
        case EVENT_POSITION_CHANGED:
            gf_logWarning("User ac position changed");
            lf_newFlightStop();
            return;
        case EVENT_FLIGHT_LOADED:
            gf_log("SimConnect: flight loaded event");
            lf_askParkStandUpdate();
            lf_newFlightStop();
            return;
        default:
            return;
    }
}

// While creations wait for their objects, every new object is asked for its
// ATC id once: request 101 covers only the range around the user now, and a
// creation outside it (the user moved, the range shrank) would never be
// adopted.
void lf_identifyNewObject(std::uint32_t objectId) {
    const std::lock_guard lock(simQueueMutex);
    if (simRequestFailed.load() || gf_simUserErrorShown()) return;
    if (SimConnect_RequestDataOnSimObject(simConnectHandle, REQUEST_NEW_OBJECT, DEFINITION_WITHIN_RANGE, objectId,
                                          ScPeriod::Once, 0, 0, 0, 0) < 0) {
        gf_logWarning("SimConnect request new object fails");
        gf_requestError();
    }
}

void lf_onObjectAddRemove(const ScRecvObjectAddRemove& m) {
    if (m.objectType != static_cast<std::uint32_t>(ScSimObjectType::Aircraft)) return;
    const std::uint32_t objectId = m.event.data;
    if (m.event.eventId == EVENT_OBJECT_ADDED) {
        if (objectId > userObjectId.load() &&
            std::find(newObjectIds.begin(), newObjectIds.end(), objectId) == newObjectIds.end()) {
            newObjectIds.push_back(objectId);
            if (!sentPackets.empty()) lf_identifyNewObject(objectId);
        }
    } else if (m.event.eventId == EVENT_OBJECT_REMOVED) {
        // A removed object can no longer be adopted, and its id may come back
        // for another object. The creation records stay: an object may be
        // announced late, and is adopted whenever it is.
        std::erase(newObjectIds, objectId);
        lf_pushEvent(SimEventKind::objectRemoved, objectId, 0);
    }
}

void lf_onFrame(const ScRecvFrame& frame) {
    lf_drainQueues();
    if (++g_frameCount >= 30) {
        g_frameCount = 0;
        if (std::isfinite(frame.frameRate) && frame.frameRate >= 0.0f) simFrameRate = frame.frameRate;
    }
}

void lf_onUserTitle(const std::string& title) {
    if (title.empty()) {
        gf_log("! Title of your aircraft is empty?");
        return;
    }
    const std::string kept = utf8Prefix(title, kTitleCharacters);
    if (kept == userTitle.get()) return;
    gf_setBoard(g_mainWindowState.userAircraftTitle, kept);
    userTitle.set(kept);
    gf_logIndented("SimConnect: User aircraft title: " + kept);
}

void lf_onUserModelChecked(std::string model) {
    gf_logIndented(skh::format("model raw: {}", model));
    std::string report = "SimConnect: User aircraft model: " + model;
    if (gf_contains(model, "camerapod") || gf_contains(model, "Crew Vessel")) {
        userWingspan = gf_wingspanOf("E190");
        userWingspanKnown = true;
        userCategory = CatLight;
        gf_setBoard(g_mainWindowState.userWingspanKnown, true);
        gf_logIndented(report);
        return;
    }
    // Only a type code (shorter than 5 characters) tells the wingspan; the
    // largest one keeps everybody clear of an unknown user aircraft.
    const bool fromModel = model.size() < 5;
    double wingspan = fromModel ? gf_wingspanOf(model) : gf_maxWingspanNm();
    userWingspan = wingspan;
    userWingspanKnown = true;
    bool known = fromModel;
    if (!fromModel) {
        const std::string title = userTitle.get();
        static constexpr std::pair<const char*, const char*> kDeduced[] = {
            {"Aerosoft A319", "A319"}, {"Aerosoft A320", "A320"}, {"Aerosoft A321", "A321"}};
        for (const auto& [prefix, type] : kDeduced) {
            if (title.size() >= 13 && title.compare(0, 13, prefix) == 0) {
                model = type;
                report = "SimConnect: User aircraft model deduced from title: " + model;
                const double deduced = gf_wingspanOf(model);
                known = deduced != 0.0;
                wingspan = known ? deduced : gf_maxWingspanNm();
                userWingspan = wingspan;
                break;
            }
        }
    }
    if (known) {
        gf_setBoard(g_mainWindowState.userWingspanKnown, true);
        report += skh::format(", half wing span: {:.1F} meter", userWingspan.load() * 1852.0);
    } else {
        gf_setBoard(g_mainWindowState.userWingspanKnown, false);
        gf_setStatusMessage("User aircraft wing span unknown, max is taken instead, please report in my Forum!", true);
    }
    userCategory = gf_sizeCategory(model);
    report += skh::format(", category: {}", gf_categoryName(userCategory.load()));
    gf_logIndented(report);
}

void lf_onUserModel(const std::string& model) {
    if (model.empty())
        throw UserErrorException(71, "atc_model= in [General] section of your aircraft.cfg is empty or missing");
    try {
        lf_onUserModelChecked(model);
    } catch (const UserErrorException&) {
        throw;
    } catch (const std::exception&) {
        throw UserErrorException(73, "It looks like you have not selected an aircraft as user vehicle");
    }
}

bool readUserState(ScDataReader& r, UserAcState& s) {
    double* doubles[] = {&s.latitude, &s.longitude,           &s.pitch,         &s.bank, &s.trueHeading,
                         &s.altitude, &s.altitudeAboveGround, &s.groundVelocity};
    for (double* d : doubles) {
        if (!r.readFloat64(*d) || !std::isfinite(*d)) return false;
    }
    return r.readInt64(s.zuluTime) && r.readInt64(s.zuluDayOfYear) && r.readInt64(s.zuluYear) &&
           r.readInt64(s.lightStates);
}

void lf_onUserState(const ScRecvObjectData& d) {
    UserAcState s;
    ScDataReader reader(d.data);
    if (!readUserState(reader, s)) {
        gf_logWarning(skh::format("SimConnect: user aircraft data of {} bytes is unusable and skipped", d.data.size()));
        return;
    }
    if (s.altitude < 0.0) s.altitude = 0.0;
    {
        const std::lock_guard lock(simQueueMutex);
        g_userAcState = s;
    }
    const GeoPos now{s.latitude, s.longitude};
    if (userPositionKnown() && gf_userPositionKnown(now.lat, now.lon) &&
        gf_distanceNm(g_prevUserPos, now) > kTeleportNm) {
        gf_log("Teleport");
        lf_newFlightStop();
    }
    g_prevUserPos = now;
    g_userStandCheckWanted = true;
    if (g_rtProfessional.load()) {
        if (const auto seconds = gf_simEpochSeconds(s.zuluTime, s.zuluDayOfYear, s.zuluYear)) {
            simEpochSeconds = *seconds;
        } else {
            gf_logWarning(skh::format("SimConnect: simulator time out of range (time {}, day {}) is ignored",
                                      s.zuluTime, s.zuluDayOfYear));
        }
    }
    userObjectId = d.objectId;
}

void lf_onSimObjectData(const ScRecvObjectData& d) {
    ScDataReader reader(d.data);
    auto unusable = [&d] {
        gf_logWarning(skh::format("SimConnect: data of request {} ({} bytes) is unusable and skipped", d.requestId,
                                  d.data.size()));
    };
    switch (d.requestId) {
        case REQUEST_STATIC_CG: {
            double height = 0.0, pitch = 0.0;
            if (!reader.readFloat64(height) || !reader.readFloat64(pitch) || !std::isfinite(height) ||
                !std::isfinite(pitch))
                return unusable();
            lf_pushEvent(SimEventKind::staticCgReport, d.objectId, 0, height, pitch);
            return;
        }
        case REQUEST_USER_TITLE: {
            std::string title;
            if (!reader.readStringV(title)) return unusable();
            lf_onUserTitle(title);
            return;
        }
        case REQUEST_USER_MODEL: {
            std::string model;
            if (!reader.readString32(model)) return unusable();
            lf_onUserModel(model);
            return;
        }
        case REQUEST_USER_ON_GROUND: {
            std::int64_t onGround = 0;
            if (!reader.readInt64(onGround)) return unusable();
            if (userPositionKnown()) {
                userOnGround = static_cast<std::uint32_t>(onGround) != 0;
                userOnGroundKnown = true;
            }
            g_userDataReady = true;
            return;
        }
        case REQUEST_USER_STATE:
            lf_onUserState(d);
            return;
        default:
            return;
    }
}

void lf_adopt(std::uint32_t objectId, std::uint32_t actNumber, double altAboveGround) {
    {
        const std::lock_guard lock(simQueueMutex);
        SimConnect_AIReleaseControl(simConnectHandle, objectId, REQUEST_RELEASE_CONTROL);
        for (const std::uint32_t freeze :
             {EVENT_FREEZE_LATITUDE_LONGITUDE_SET, EVENT_FREEZE_ALTITUDE_SET, EVENT_FREEZE_ATTITUDE_SET})
            clientEventQueue.push_back({objectId, freeze, 1});
    }
    // Reported after simQueueMutex is released: simEventMutex comes first.
    if (actNumber > kStaticActNumberMax) {
        lf_pushEvent(SimEventKind::objectCreated, objectId, actNumber, 0.0, altAboveGround);
    } else {
        lf_pushEvent(SimEventKind::staticObjectCreated, objectId, actNumber);
    }
}

// Definition 404 of an aircraft: an answer to request 101 (by type, every
// aircraft in range) or to request 111 (one new object).
void lf_onAircraftData(const ScRecvObjectData& d) {
    if (d.data.empty()) return;
    const std::uint32_t objectId = d.objectId;
    if (objectId <= userObjectId.load()) return;
    ScDataReader reader(d.data);
    double altAboveGround = 0.0, groundAltitude = 0.0;
    std::int64_t onGround = 0;
    std::string atcId;
    if (!reader.readFloat64(altAboveGround) || !reader.readFloat64(groundAltitude) || !reader.readInt64(onGround) ||
        !reader.readString32(atcId) || !std::isfinite(altAboveGround) || !std::isfinite(groundAltitude)) {
        gf_logWarning(skh::format("SimConnect: aircraft data of object {} ({} bytes) is unusable and skipped", objectId,
                                  d.data.size()));
        return;
    }
    const auto fresh = std::find(newObjectIds.begin(), newObjectIds.end(), objectId);
    if (fresh == newObjectIds.end()) {
        if (d.byType && altAboveGround <= kGroundReportCeilingFeet && !atcId.empty() && atcId.back() != '*')
            lf_pushEvent(SimEventKind::groundReport, objectId, static_cast<std::uint32_t>(onGround), groundAltitude,
                         altAboveGround);
        return;
    }
    *fresh = newObjectIds.back();
    newObjectIds.pop_back();
    if (!atcId.empty()) {
        const auto sent = std::find_if(sentPackets.begin(), sentPackets.end(),
                                       [&](const SentPacket& p) { return p.callsign == atcId; });
        if (sent != sentPackets.end()) {
            const std::uint32_t act = sent->actNumber;
            *sent = std::move(sentPackets.back());
            sentPackets.pop_back();
            lf_adopt(objectId, act, altAboveGround);
            return;
        }
    }
    gf_log(
        skh::format("just spawned, but not by {}, oid: {}, callsign '{}', altaboveGnd:{:.0f} ft, onground:{}, "
                    "gnd_alt:{:.0f} ft",
                    PRODUCT_NAME, objectId, atcId, altAboveGround, onGround, groundAltitude));
}

}  // namespace

bool lf_quitReceived() { return g_quitReceived.load(); }

void lf_resetConnectionState() {
    sentPackets.clear();
    newObjectIds.clear();
    g_frameCount = 0;
    g_quitReceived = false;
}

void lf_resetUserTracking() { g_prevUserPos = GeoPos{}; }

std::optional<std::int64_t> gf_simEpochSeconds(std::int64_t zuluTime, std::int64_t dayOfYear, std::int64_t year) {
    if (zuluTime < 0 || zuluTime > 86400 || dayOfYear < 1 || dayOfYear > 366) return std::nullopt;
    const std::int64_t y = static_cast<std::int16_t>(year);
    const std::int64_t q = y >= 1 ? (y - 1) / 100 : (y - 100) / 100;
    const std::int64_t days = dayOfYear - 719163 + floorDiv((y - 1) * 1461, 4) + q / 4 - q;
    return days * 86400 + zuluTime;
}

void lf_dispatch(const std::byte* message, std::uint32_t size, void* /*context*/) {
    const std::span<const std::byte> bytes(message, size);
    ScRecvHeader header;
    if (!gf_scReadHeader(bytes, header)) return;
    if (gf_scMinimumSize(header.id) == 0) {
        if (header.id != 12 && header.id != 16) gf_log(skh::format("! Unknown Dispatch dwID {}", header.id));
        return;
    }
    const ScMessage decoded = gf_scDecodeMessage(bytes);  // a malformed message is logged there and skipped
    std::visit(Overloaded{
                   [](const std::monostate&) {},
                   [](const ScRecvException& e) { lf_onException(e); },
                   [](const ScRecvOpen& o) { lf_onOpen(o); },
                   [](const ScRecvQuit&) {
                       simRunning = false;
                       g_quitReceived = true;
                   },
                   [](const ScRecvEvent& e) { lf_onEvent(e); },
                   [](const ScRecvObjectAddRemove& m) { lf_onObjectAddRemove(m); },
                   [](const ScRecvFilename&) {
                       gf_logWarning("SimConnect: New file event");
                       lf_askParkStandUpdate();
                       lf_newFlightStop();
                   },
                   [](const ScRecvFrame& f) { lf_onFrame(f); },
                   [](const ScRecvObjectData& d) {
                       if (d.requestId == (d.byType ? REQUEST_WITHIN_RANGE : REQUEST_NEW_OBJECT)) {
                           lf_onAircraftData(d);
                       } else if (!d.byType) {
                           lf_onSimObjectData(d);
                       }
                   },
                   [](const ScRecvAssignedObjectId&) {},
               },
               decoded);
}

}  // namespace skh
