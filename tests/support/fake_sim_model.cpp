// The fake simulator's model: how it answers each request, the data it sends
// by request, frame and second, its AI aircraft on flat terrain, and the
// logs of what the clients did to them.
#include <algorithm>
#include <chrono>
#include <cmath>

#include "foundation/format.hpp"
#include "foundation/geo.hpp"
#include "foundation/text.hpp"
#include "platform/codepage.hpp"
#include "platform/cpu_time.hpp"
#include "support/fake_sim_internal.hpp"

namespace skh::test {

namespace {

namespace net = skh::platform;
using fake::numberIn;
using fake::numberOf;
using fake::textIn;
using fake::textOf;

constexpr double kMetresPerNm = 1852.0;
constexpr double kFeetPerNm = kMetresPerNm / 0.3048;
constexpr double kDegToRad = 3.14159265358979323846 / 180.0;

std::size_t fixedStringSize(ScDatumType type) {
    switch (type) {
        case ScDatumType::String8:
            return 8;
        case ScDatumType::String32:
            return 32;
        case ScDatumType::String64:
            return 64;
        case ScDatumType::String128:
            return 128;
        case ScDatumType::String256:
            return 256;
        case ScDatumType::String260:
            return 260;
        default:
            return 0;
    }
}

const char* periodName(std::uint32_t period) {
    static const char* const names[] = {"Never", "Once", "VisualFrame", "SimFrame", "Second"};
    return period < 5 ? names[period] : "?";
}

GeoPos positionOf(const FakeObject& o) { return {numberIn(o, "PLANE LATITUDE"), numberIn(o, "PLANE LONGITUDE")}; }

// Attitudes are kept in radians, as the clients write them.
double degreesIn(const FakeObject& o, const std::string& name) { return numberIn(o, name) / kDegToRad; }

// Where a position write put an object, for comparing its motion with the
// traffic it came from: the time (seconds since 1970, UTC), position,
// attitude in degrees and the on-ground flag.
std::string positionTrace(const FakeObject& o) {
    const double now = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    return skh::format(
        "  -> object {} time {:.3f} at {:.6f} {:.6f} {:.1f} ft pitch {:.1f} bank {:.1f} heading {:.1f} {}", o.id, now,
        numberIn(o, "PLANE LATITUDE"), numberIn(o, "PLANE LONGITUDE"), numberIn(o, "PLANE ALTITUDE"),
        degreesIn(o, "PLANE PITCH DEGREES"), degreesIn(o, "PLANE BANK DEGREES"),
        degreesIn(o, "PLANE HEADING DEGREES TRUE"),
        numberIn(o, "SIM ON GROUND") != 0.0 ? "on the ground" : "in the air");
}

}  // namespace

std::string gf_fakeRequestName(ScRequestId id) {
    switch (id) {
        case ScRequestId::Open:
            return "Open";
        case ScRequestId::MapClientEventToSimEvent:
            return "MapClientEventToSimEvent";
        case ScRequestId::TransmitClientEvent:
            return "TransmitClientEvent";
        case ScRequestId::AddClientEventToNotificationGroup:
            return "AddClientEventToNotificationGroup";
        case ScRequestId::SetNotificationGroupPriority:
            return "SetNotificationGroupPriority";
        case ScRequestId::AddToDataDefinition:
            return "AddToDataDefinition";
        case ScRequestId::RequestDataOnSimObject:
            return "RequestDataOnSimObject";
        case ScRequestId::RequestDataOnSimObjectType:
            return "RequestDataOnSimObjectType";
        case ScRequestId::SetDataOnSimObject:
            return "SetDataOnSimObject";
        case ScRequestId::SubscribeToSystemEvent:
            return "SubscribeToSystemEvent";
        case ScRequestId::AICreateNonATCAircraft:
            return "AICreateNonATCAircraft";
        case ScRequestId::AIReleaseControl:
            return "AIReleaseControl";
        case ScRequestId::AIRemoveObject:
            return "AIRemoveObject";
        case ScRequestId::AISetAircraftFlightPlan:
            return "AISetAircraftFlightPlan";
    }
    return skh::format("request 0x{:02X}", static_cast<std::uint32_t>(id));
}

std::string FakeSimulator::describeLocked(const FakeRequest& r) const {
    const std::string name = gf_fakeRequestName(r.id);
    const auto& v = r.values;
    auto text = [&](std::size_t i) { return skh::format("'{}'", platform::cp1252ToUtf8(r.texts.at(i))); };
    switch (r.id) {
        case ScRequestId::Open:
            return skh::format("{} {}", name, text(0));
        case ScRequestId::MapClientEventToSimEvent:
        case ScRequestId::SubscribeToSystemEvent:
            return skh::format("{} {} {}", name, v.at(0), text(0));
        case ScRequestId::TransmitClientEvent: {
            std::string event = skh::format("#{}", v.at(1));
            if (r.client >= 1 && r.client <= m_clients.size()) {
                const auto& events = m_clients[r.client - 1]->clientEvents;
                if (const auto it = events.find(v.at(1)); it != events.end()) event = it->second;
            }
            return skh::format("{} object {} {} data {} group {}", name, v.at(0), event, v.at(2), v.at(3));
        }
        case ScRequestId::AddToDataDefinition:
            return skh::format("{} define {} {} {} type {}", name, v.at(0), text(0), text(1), v.at(1));
        case ScRequestId::RequestDataOnSimObject:
            return skh::format("{} request {} define {} object {} period {} flags {} origin {} interval {} limit {}",
                               name, v.at(0), v.at(1), v.at(2), periodName(v.at(3)), v.at(4), v.at(5), v.at(6),
                               v.at(7));
        case ScRequestId::RequestDataOnSimObjectType:
            return skh::format("{} request {} define {} radius {} m type {}", name, v.at(0), v.at(1), v.at(2), v.at(3));
        case ScRequestId::SetDataOnSimObject:
            return skh::format("{} define {} object {} {} x {} bytes", name, v.at(0), v.at(1), v.at(3), v.at(4));
        case ScRequestId::AICreateNonATCAircraft:
            return skh::format("{} {} tail {} at {:.5f} {:.5f} {:.0f} ft heading {:.0f} {} request {}", name, text(0),
                               text(1), static_cast<double>(r.initPos.Latitude),
                               static_cast<double>(r.initPos.Longitude), static_cast<double>(r.initPos.Altitude),
                               static_cast<double>(r.initPos.Heading),
                               r.initPos.OnGround != 0 ? "on the ground" : "in the air", v.at(0));
        case ScRequestId::AISetAircraftFlightPlan:
            return skh::format("{} object {} {} request {}", name, v.at(0), text(0), v.at(1));
        default:
            break;
    }
    std::string line = name;
    for (const std::uint32_t x : v) line += skh::format(" {}", x);
    return line;
}

void FakeSimulator::answer(const std::shared_ptr<Client>& client, const FakeRequest& r, Outbox& out) {
    auto fail = [&](ScException exception, std::uint32_t index = 0) {
        refuse(client, exception, r.sendId, index, out);
    };
    // The AI object a request names; an unknown one (or the user's) is refused.
    auto aiObject = [&]() -> FakeObject* {
        const auto object = m_objects.find(r.values.at(0));
        if (object != m_objects.end() && object->first != m_options.userObjectId) return &object->second;
        fail(ScException::UnrecognizedId, 1);
        return nullptr;
    };
    switch (r.id) {
        case ScRequestId::Open:
            client->opened = true;
            for (const Bytes& m : m_options.beforeOpenReply) out.emplace_back(client, m);
            out.emplace_back(client, scOpenMessage(m_options.applicationName, m_options.applicationVersion,
                                                   m_options.simConnectVersion));
            break;
        case ScRequestId::SubscribeToSystemEvent: {
            const std::string name = gf_upper(r.texts.at(0));
            client->subscriptions[r.values.at(0)] = name;
            if (name == "SIM")
                out.emplace_back(client, scEventMessage(kScUnused, r.values[0], m_options.simRunning ? 1 : 0));
            break;
        }
        case ScRequestId::MapClientEventToSimEvent:
            client->clientEvents[r.values.at(0)] = gf_upper(r.texts.at(0));
            break;
        case ScRequestId::TransmitClientEvent: {
            const auto object = m_objects.find(r.values.at(0));
            const auto event = client->clientEvents.find(r.values.at(1));
            FakeEventRecord record{
                r.values.at(0),
                event == client->clientEvents.end() ? skh::format("#{}", r.values.at(1)) : event->second,
                r.values.at(2), false};
            if (object == m_objects.end() || event == client->clientEvents.end()) {
                m_eventLog.push_back(std::move(record));
                fail(ScException::UnrecognizedId, object == m_objects.end() ? 1 : 2);
                break;
            }
            record.accepted = true;
            m_eventLog.push_back(record);
            object->second.events.push_back({event->second, r.values.at(2), r.values.at(3)});
            break;
        }
        case ScRequestId::AIReleaseControl:
            if (FakeObject* o = aiObject()) ++o->releases;
            break;
        case ScRequestId::AISetAircraftFlightPlan:
            if (FakeObject* o = aiObject()) o->flightPlan = platform::cp1252ToUtf8(r.texts.at(0));
            break;
        case ScRequestId::AddToDataDefinition:
            client->definitions[r.values.at(0)].push_back(
                {gf_upper(r.texts.at(0)), r.texts.at(1), static_cast<ScDatumType>(r.values.at(1))});
            break;
        case ScRequestId::RequestDataOnSimObject:
            answerDataRequest(client, r, out);
            break;
        case ScRequestId::RequestDataOnSimObjectType:
            answerByType(client, r, out);
            break;
        case ScRequestId::SetDataOnSimObject:
            if (!client->definitions.contains(r.values.at(0))) {
                fail(ScException::UnrecognizedId, 1);
            } else if (!m_objects.contains(r.values.at(1))) {
                fail(ScException::UnrecognizedId, 2);
            } else {
                applyData(*client, r);
            }
            break;
        case ScRequestId::AICreateNonATCAircraft:
            createAircraft(client, r, out);
            break;
        case ScRequestId::AIRemoveObject: {
            const std::uint32_t id = r.values.at(0);
            const auto object = m_objects.find(id);
            if (id == m_options.userObjectId || object == m_objects.end()) {
                fail(ScException::UnrecognizedId, 1);
                break;
            }
            notePosition(object->second, true);
            m_objects.erase(object);
            ++m_tally.removedByClient;
            toSubscribers(
                "OBJECTREMOVED",
                [id](std::uint32_t eventId) {
                    return scObjectAddRemoveMessage(eventId, id, ScSimObjectType::Aircraft);
                },
                out);
            break;
        }
        default:
            break;  // recorded only
    }
}

void FakeSimulator::answerDataRequest(const std::shared_ptr<Client>& client, const FakeRequest& r, Outbox& out) {
    const std::uint32_t requestId = r.values[0], defineId = r.values[1];
    const std::uint32_t objectId = r.values[2] == kScObjectIdUser ? m_options.userObjectId : r.values[2];
    const std::uint32_t periodValue = r.values[3];
    const std::uint32_t flags = r.values[4], origin = r.values[5], interval = r.values[6], limit = r.values[7];
    std::erase_if(m_periodic,
                  [&](const Periodic& p) { return p.client == client->number && p.requestId == requestId; });
    auto fail = [&](ScException exception, std::uint32_t index) { refuse(client, exception, r.sendId, index, out); };
    if (periodValue > static_cast<std::uint32_t>(ScPeriod::Second)) return fail(ScException::Error, 4);
    const auto period = static_cast<ScPeriod>(periodValue);
    if (period == ScPeriod::Never) return;
    // A different answer than a simulator would give is worse than none.
    if ((flags & ~kScDataRequestChanged) != 0) {
        m_errors.push_back(skh::format("client {}: data request flags 0x{:X} are not modelled", client->number, flags));
        return fail(ScException::Error, 5);
    }
    if (period == ScPeriod::Once && (origin != 0 || interval != 0 || limit != 0)) {
        m_errors.push_back(skh::format("client {}: origin, interval or limit of a request sent once are not modelled",
                                       client->number));
        return fail(ScException::Error, 6);
    }
    const auto object = m_objects.find(objectId);
    if (!client->definitions.contains(defineId)) return fail(ScException::UnrecognizedId, 2);
    if (object == m_objects.end()) return fail(ScException::UnrecognizedId, 3);
    if (period == ScPeriod::Once) {
        out.emplace_back(client, objectData(*client, false, requestId, defineId, object->second, flags, 1, 1));
        return;
    }
    m_periodic.push_back({client->number, requestId, defineId, objectId, period, flags, origin, interval, limit});
    // The request itself is the first period: data now unless an origin delays it.
    Periodic& p = m_periodic.back();
    if (origin == 0) {
        p.last = dataBlock(*client, defineId, object->second);
        p.sent = 1;
        out.emplace_back(client, objectData(*client, false, requestId, defineId, object->second, flags, 1, 1));
        if (limit == 1) m_periodic.pop_back();
    }
}

void FakeSimulator::answerByType(const std::shared_ptr<Client>& client, const FakeRequest& r, Outbox& out) {
    const std::uint32_t requestId = r.values[0], defineId = r.values[1], radius = r.values[2];
    const auto type = static_cast<ScSimObjectType>(r.values[3]);
    if (!client->definitions.contains(defineId)) return refuse(client, ScException::UnrecognizedId, r.sendId, 2, out);
    const FakeObject& user = m_objects.at(m_options.userObjectId);
    std::vector<const FakeObject*> found;
    for (const auto& [id, o] : m_objects) {
        const bool isUser = id == m_options.userObjectId;
        if (type == ScSimObjectType::User && !isUser) continue;
        if (type != ScSimObjectType::All && type != ScSimObjectType::User && o.type != type) continue;
        if (radius == 0 ? !isUser : gf_distanceNm(positionOf(user), positionOf(o)) * kMetresPerNm > radius) continue;
        found.push_back(&o);
    }
    for (std::size_t i = 0; i < found.size(); ++i) {
        out.emplace_back(client,
                         objectData(*client, true, requestId, defineId, *found[i], 0, static_cast<std::uint32_t>(i + 1),
                                    static_cast<std::uint32_t>(found.size())));
    }
}

std::uint32_t FakeSimulator::nextObjectId() {
    if (!m_options.reuseObjectIds) return m_nextObjectId++;
    std::uint32_t id = m_options.firstAiObjectId;
    while (m_objects.contains(id)) ++id;
    return id;
}

void FakeSimulator::createAircraft(const std::shared_ptr<Client>& client, const FakeRequest& r, Outbox& out) {
    const std::string title = platform::cp1252ToUtf8(r.texts.at(0));
    // A title the simulator has no container for.
    if (title.empty() || m_refusedTitles.contains(title)) {
        ++m_tally.refusedCreations;
        return refuse(client, ScException::CreateObjectFailed, r.sendId, 1, out);
    }
    FakeObject o;
    o.id = nextObjectId();
    o.values["TITLE"] = title;
    o.values["ATC ID"] = platform::cp1252ToUtf8(r.texts.at(1));
    o.values["PLANE LATITUDE"] = static_cast<double>(r.initPos.Latitude);    // a packed field: by value
    o.values["PLANE LONGITUDE"] = static_cast<double>(r.initPos.Longitude);  // a packed field: by value
    o.values["PLANE ALTITUDE"] = static_cast<double>(r.initPos.Altitude);    // a packed field: by value
    o.values["PLANE PITCH DEGREES"] = r.initPos.Pitch * kDegToRad;
    o.values["PLANE BANK DEGREES"] = r.initPos.Bank * kDegToRad;
    o.values["PLANE HEADING DEGREES TRUE"] = r.initPos.Heading * kDegToRad;
    o.values["STATIC CG TO GROUND"] = kFakeStaticCgFt;
    o.values["STATIC PITCH"] = kFakeStaticPitchRad;
    // Put on the ground, the aircraft stands on it whatever altitude it was given.
    if (r.initPos.OnGround != 0) o.values["PLANE ALTITUDE"] = m_options.groundElevationFt + kFakeStaticCgFt;
    settleOnTerrain(o);
    out.emplace_back(client, scAssignedObjectIdMessage(r.values.at(0), o.id));
    const std::uint32_t id = o.id;
    notePosition(o, false);
    m_objects[id] = std::move(o);
    ++m_tally.created;
    toSubscribers(
        "OBJECTADDED",
        [id](std::uint32_t eventId) { return scObjectAddRemoveMessage(eventId, id, ScSimObjectType::Aircraft); }, out);
}

void FakeSimulator::settleOnTerrain(FakeObject& o) const {
    const double cg = numberIn(o, "STATIC CG TO GROUND");
    const double aboveGround = numberIn(o, "PLANE ALTITUDE") - m_options.groundElevationFt - cg;
    o.values["GROUND ALTITUDE"] = m_options.groundElevationFt;
    o.values["PLANE ALT ABOVE GROUND"] = aboveGround;
    o.values["SIM ON GROUND"] = std::int64_t{aboveGround <= kFakeOnGroundFt ? 1 : 0};
}

void FakeSimulator::notePosition(const FakeObject& o, bool removed) {
    const bool known = m_lastPositions.contains(o.id);
    FakeLastPosition& p = m_lastPositions[o.id];
    const double latitude = numberIn(o, "PLANE LATITUDE");
    const double longitude = numberIn(o, "PLANE LONGITUDE");
    const double altitude = numberIn(o, "PLANE ALTITUDE");
    if (known && !removed) {
        const double step = gf_distanceNm(GeoPos{p.latitude, p.longitude}, GeoPos{latitude, longitude}) * 1852.0;
        if (step > 0.0 || altitude != p.altitude) ++p.moves;
        p.largestStepM = std::max(p.largestStepM, step);
        p.largestClimbFt = std::max(p.largestClimbFt, std::abs(altitude - p.altitude));
    }
    p.atcId = textIn(o, "ATC ID");
    p.title = textIn(o, "TITLE");
    p.latitude = latitude;
    p.longitude = longitude;
    p.altitude = altitude;
    p.heading = numberIn(o, "PLANE HEADING DEGREES TRUE") / kDegToRad;
    p.onGround = numberIn(o, "SIM ON GROUND") != 0.0;
    p.removed = removed;
}

Bytes FakeSimulator::dataBlock(const Client& client, std::uint32_t defineId, const FakeObject& object) const {
    WireWriter w;
    for (const FakeDatum& d : client.definitions.at(defineId)) {
        const auto it = object.values.find(d.name);
        const FakeValue value = it == object.values.end() ? FakeValue{0.0} : it->second;
        switch (d.type) {
            case ScDatumType::Int32:
                w.i32(static_cast<std::int32_t>(numberOf(value)));
                break;
            case ScDatumType::Int64:
                w.i64(static_cast<std::int64_t>(numberOf(value)));
                break;
            case ScDatumType::Float32:
                w.f32(static_cast<float>(numberOf(value)));
                break;
            case ScDatumType::Float64:
                w.f64(numberOf(value));
                break;
            case ScDatumType::StringV:
                w.stringV(platform::utf8ToCp1252(textOf(value)));
                break;
            default:
                w.fixed(platform::utf8ToCp1252(textOf(value)), fixedStringSize(d.type));
                break;
        }
    }
    return w.take();
}

Bytes FakeSimulator::objectData(const Client& client, bool byType, std::uint32_t requestId, std::uint32_t defineId,
                                const FakeObject& object, std::uint32_t flags, std::uint32_t entry,
                                std::uint32_t outOf) const {
    const Bytes data = dataBlock(client, defineId, object);
    return scObjectDataMessage(byType, requestId, object.id, defineId, flags, entry, outOf,
                               static_cast<std::uint32_t>(client.definitions.at(defineId).size()), data);
}

void FakeSimulator::periodElapsed(bool frame, Outbox& out) {
    for (auto it = m_periodic.begin(); it != m_periodic.end();) {
        Periodic& p = *it;
        const bool framely = p.period == ScPeriod::VisualFrame || p.period == ScPeriod::SimFrame;
        if (framely != frame) {
            ++it;
            continue;
        }
        const auto client = m_clients.at(p.client - 1);
        const auto object = m_objects.find(p.objectId);
        const std::uint64_t k = ++p.periods;
        if (client->connected.load() && object != m_objects.end() && k >= p.origin &&
            (k - p.origin) % (static_cast<std::uint64_t>(p.interval) + 1) == 0) {
            Bytes data = dataBlock(*client, p.defineId, object->second);
            if ((p.flags & kScDataRequestChanged) == 0 || p.sent == 0 || data != p.last) {
                out.emplace_back(client,
                                 objectData(*client, false, p.requestId, p.defineId, object->second, p.flags, 1, 1));
                p.last = std::move(data);
                ++p.sent;
            }
        }
        if (p.limit != 0 && p.sent >= p.limit) {
            it = m_periodic.erase(it);
        } else {
            ++it;
        }
    }
}

void FakeSimulator::applyData(const Client& client, const FakeRequest& r) {
    FakeObject& object = m_objects.at(r.values.at(1));
    const auto& datums = client.definitions.at(r.values.at(0));
    std::size_t pos = 0;
    for (const FakeDatum& d : datums) {
        if (d.type == ScDatumType::Float64 && pos + 8 <= r.data.size()) {
            double v = 0;
            std::memcpy(&v, r.data.data() + pos, 8);
            object.values[d.name] = v;
            pos += 8;
        } else if (d.type == ScDatumType::Int64 && pos + 8 <= r.data.size()) {
            std::int64_t v = 0;
            std::memcpy(&v, r.data.data() + pos, 8);
            object.values[d.name] = v;
            pos += 8;
        } else {
            break;  // other kinds are not written by the client
        }
    }
    if (object.id == m_options.userObjectId) return;
    settleOnTerrain(object);
    notePosition(object, false);
    const bool position =
        std::any_of(datums.begin(), datums.end(), [](const FakeDatum& d) { return d.name == "PLANE LATITUDE"; });
    if (m_trace && m_traceAll && position) trace(positionTrace(object));
}

void FakeSimulator::setSimRunning(bool running) {
    Outbox out;
    {
        const std::lock_guard lock(m_mutex);
        m_options.simRunning = running;
        toSubscribers(
            "SIM", [running](std::uint32_t eventId) { return scEventMessage(kScUnused, eventId, running ? 1 : 0); },
            out);
    }
    deliver(out);
}

void FakeSimulator::setPaused(bool paused) {
    Outbox out;
    {
        const std::lock_guard lock(m_mutex);
        if (m_paused == paused) return;
        m_paused = paused;
        toSubscribers(
            "PAUSE", [paused](std::uint32_t eventId) { return scEventMessage(kScUnused, eventId, paused ? 1 : 0); },
            out);
        toSubscribers(
            paused ? "PAUSED" : "UNPAUSED", [](std::uint32_t eventId) { return scEventMessage(kScUnused, eventId, 0); },
            out);
    }
    deliver(out);
}

bool FakeSimulator::paused() const {
    const std::lock_guard lock(m_mutex);
    return m_paused;
}

void FakeSimulator::sendSystemEvent(const std::string& name, std::uint32_t data) {
    Outbox out;
    {
        const std::lock_guard lock(m_mutex);
        toSubscribers(
            gf_upper(name), [data](std::uint32_t eventId) { return scEventMessage(kScUnused, eventId, data); }, out);
    }
    deliver(out);
}

void FakeSimulator::sendFrame(float frameRate, float simSpeed) {
    Outbox out;
    {
        const std::lock_guard lock(m_mutex);
        if (m_paused) return;
        toSubscribers(
            "FRAME", [&](std::uint32_t eventId) { return scFrameMessage(eventId, frameRate, simSpeed); }, out);
        periodElapsed(true, out);
    }
    deliver(out);
}

void FakeSimulator::startFrames(double perSecond) {
    stopFrames();
    m_framesOn = true;
    m_frameThread = std::thread([this, perSecond] {
        double cpu = net::threadCpuSeconds();
        const auto step = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(1.0 / std::max(perSecond, 0.1)));
        auto next = std::chrono::steady_clock::now();
        while (m_framesOn.load() && !m_stop.load()) {
            sendFrame(static_cast<float>(perSecond), 1.0f);
            addCpu(cpu);
            next += step;
            std::this_thread::sleep_until(next);
        }
        addCpu(cpu);
    });
}

void FakeSimulator::stopFrames() {
    m_framesOn = false;
    if (m_frameThread.joinable()) m_frameThread.join();
}

void FakeSimulator::tickSecond() {
    Outbox out;
    {
        const std::lock_guard lock(m_mutex);
        if (m_paused) return;
        periodElapsed(false, out);
    }
    deliver(out);
}

void FakeSimulator::putObject(FakeObject object) {
    const std::lock_guard lock(m_mutex);
    m_objects[object.id] = std::move(object);
}

void FakeSimulator::setValue(std::uint32_t objectId, const std::string& datumName, FakeValue value) {
    const std::lock_guard lock(m_mutex);
    m_objects[objectId].id = objectId;
    m_objects[objectId].values[gf_upper(datumName)] = std::move(value);
}

std::optional<FakeObject> FakeSimulator::object(std::uint32_t objectId) const {
    const std::lock_guard lock(m_mutex);
    const auto it = m_objects.find(objectId);
    if (it == m_objects.end()) return std::nullopt;
    return it->second;
}

void FakeSimulator::removeObject(std::uint32_t objectId, bool evenIfUnknown) {
    Outbox out;
    {
        const std::lock_guard lock(m_mutex);
        const auto it = m_objects.find(objectId);
        if (it != m_objects.end() && objectId != m_options.userObjectId) {
            notePosition(it->second, true);
            m_objects.erase(it);
            ++m_tally.removedBySimulator;
        } else if (!evenIfUnknown) {
            return;
        }
        toSubscribers(
            "OBJECTREMOVED",
            [objectId](std::uint32_t eventId) {
                return scObjectAddRemoveMessage(eventId, objectId, ScSimObjectType::Aircraft);
            },
            out);
    }
    deliver(out);
}

std::vector<FakeDatum> FakeSimulator::definition(std::uint32_t client, std::uint32_t defineId) const {
    const std::lock_guard lock(m_mutex);
    if (client == 0 || client > m_clients.size()) return {};
    const auto& defs = m_clients[client - 1]->definitions;
    const auto it = defs.find(defineId);
    return it == defs.end() ? std::vector<FakeDatum>{} : it->second;
}

std::vector<FakeObject> FakeSimulator::objectsWithAtcId(const std::string& atcId) const {
    std::vector<FakeObject> found;
    const std::lock_guard lock(m_mutex);
    for (const auto& [id, o] : m_objects) {
        if (textIn(o, "ATC ID") == atcId) found.push_back(o);
    }
    return found;
}

std::vector<std::uint32_t> FakeSimulator::aiObjectIds() const {
    std::vector<std::uint32_t> ids;
    const std::lock_guard lock(m_mutex);
    for (const auto& [id, o] : m_objects) {
        if (id != m_options.userObjectId) ids.push_back(id);
    }
    return ids;
}

void FakeSimulator::moveUser(double lat, double lon) {
    const std::lock_guard lock(m_mutex);
    FakeObject& user = m_objects[m_options.userObjectId];
    user.values["PLANE LATITUDE"] = lat;
    user.values["PLANE LONGITUDE"] = lon;
}

void FakeSimulator::placeUser(double lat, double lon, std::optional<double> altitudeFt, double headingDeg,
                              double groundSpeedKt) {
    const std::lock_guard lock(m_mutex);
    FakeObject& user = m_objects[m_options.userObjectId];
    const double ground = m_options.groundElevationFt;
    const double altitude = altitudeFt ? std::max(*altitudeFt, ground) : ground;
    user.values["PLANE LATITUDE"] = lat;
    user.values["PLANE LONGITUDE"] = lon;
    user.values["PLANE ALTITUDE"] = altitude;
    user.values["GROUND ALTITUDE"] = ground;
    user.values["PLANE ALT ABOVE GROUND"] = altitude - ground;
    user.values["SIM ON GROUND"] = std::int64_t{altitudeFt ? 0 : 1};
    user.values["PLANE HEADING DEGREES TRUE"] = headingDeg * kDegToRad;
    user.values["GROUND VELOCITY"] = groundSpeedKt;
}

void FakeSimulator::teleportUser(double nm, double bearingDeg) {
    const std::lock_guard lock(m_mutex);
    FakeObject& user = m_objects[m_options.userObjectId];
    const GeoPos to = gf_destinationPoint(positionOf(user), bearingDeg * kDegToRad, nm * kFeetPerNm);
    user.values["PLANE LATITUDE"] = to.lat;
    user.values["PLANE LONGITUDE"] = to.lon;
}

void FakeSimulator::setGroundElevation(double feet) {
    const std::lock_guard lock(m_mutex);
    m_options.groundElevationFt = feet;
    for (auto& [id, o] : m_objects) {
        if (id != m_options.userObjectId) settleOnTerrain(o);
    }
}

double FakeSimulator::groundElevation() const {
    const std::lock_guard lock(m_mutex);
    return m_options.groundElevationFt;
}

void FakeSimulator::refuseTitle(const std::string& title) {
    const std::lock_guard lock(m_mutex);
    m_refusedTitles.insert(title);
}

void FakeSimulator::positionChanged() { sendSystemEvent("PositionChanged", 0); }

void FakeSimulator::loadFlight(const std::string& path) {
    Outbox out;
    {
        const std::lock_guard lock(m_mutex);
        toSubscribers(
            "FLIGHTLOADED",
            [&](std::uint32_t eventId) { return scFilenameMessage(eventId, platform::utf8ToCp1252(path), 0); }, out);
    }
    deliver(out);
}

void FakeSimulator::setApplicationName(const std::string& name) {
    const std::lock_guard lock(m_mutex);
    m_options.applicationName = name;
}

std::vector<FakeEventRecord> FakeSimulator::clientEventLog() const {
    const std::lock_guard lock(m_mutex);
    return m_eventLog;
}

std::map<std::uint32_t, FakeLastPosition> FakeSimulator::lastPositions() const {
    const std::lock_guard lock(m_mutex);
    return m_lastPositions;
}

FakeSimCounts FakeSimulator::counts() const {
    const std::lock_guard lock(m_mutex);
    FakeSimCounts c = m_tally;
    c.liveObjects = m_objects.size() - (m_objects.contains(m_options.userObjectId) ? 1 : 0);
    return c;
}

void FakeSimulator::sendObjectDataFor(const FakeObject& object, std::uint32_t requestId, std::uint32_t defineId,
                                      bool byType) {
    Outbox out;
    {
        const std::lock_guard lock(m_mutex);
        for (const auto& c : m_clients) {
            if (c->connected.load() && c->definitions.contains(defineId))
                out.emplace_back(c, objectData(*c, byType, requestId, defineId, object, 0, 1, 1));
        }
    }
    deliver(out);
}

}  // namespace skh::test
