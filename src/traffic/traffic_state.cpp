#include "traffic/traffic_state.hpp"

#include <algorithm>
#include <mutex>

#include "aircraft/liveries.hpp"
#include "airports/airport.hpp"
#include "airports/stand.hpp"
#include "feed/live_removal.hpp"
#include "feed/traffic_queue.hpp"
#include "platform/window.hpp"
#include "simclient/sim_events.hpp"
#include "traffic/per_second_work.hpp"
#include "traffic/removal.hpp"
#include "traffic/stand_lookup.hpp"
#include "traffic/stand_side.hpp"
#include "traffic/static_parking.hpp"
#include "traffic/traffic_counts.hpp"

namespace skh {

std::vector<LiveAc> g_liveAc;
std::vector<StaticAc> g_staticAc;
std::vector<CreatedObject> g_createdObjects;
std::vector<std::uint32_t> addingStack;
std::vector<std::string> g_removedGhosts;
std::deque<AddRequest> g_liveCreateQueue;
std::deque<AddRequest> g_staticCreateQueue;
std::deque<std::uint32_t> removalQueue;
std::vector<std::uint32_t> g_coupledSearchActs;
std::vector<ActSlot> g_actSlots;
std::unordered_map<std::uint32_t, std::string_view> g_liveryCache;
bool g_landingWatch = false;
UserAcState g_userAc;

namespace {

// Open addressing from a key (never 0) to a place in the live vector; the
// first record of a key wins, as a search in vector order would find it.
// Rebuilt without allocation while the vector stays within its room.
class FlatIndex {
public:
    void rebuild(const std::vector<LiveAc>& v, std::uint32_t StaticAc::*key) {
        std::size_t want = 64;
        while (want < v.size() * 4) want *= 2;
        if (m_slots.size() < want) m_slots.resize(want);
        std::fill(m_slots.begin(), m_slots.end(), Slot{});
        for (std::size_t i = 0; i < v.size(); ++i) insert(v[i].*key, static_cast<std::uint32_t>(i));
    }
    void insert(std::uint32_t key, std::uint32_t place) {
        if (key == 0) return;
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t i = hash(key) & mask;; i = (i + 1) & mask) {
            if (m_slots[i].key == key) return;
            if (m_slots[i].key == 0) {
                m_slots[i] = {key, place};
                return;
            }
        }
    }
    // The place, or -1.
    std::int64_t find(std::uint32_t key) const {
        if (key == 0 || m_slots.empty()) return -1;
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t i = hash(key) & mask;; i = (i + 1) & mask) {
            if (m_slots[i].key == key) return m_slots[i].place;
            if (m_slots[i].key == 0) return -1;
        }
    }
    bool roomFor(std::size_t count) const { return count * 2 <= m_slots.size(); }

private:
    struct Slot {
        std::uint32_t key = 0;
        std::uint32_t place = 0;
    };
    static std::size_t hash(std::uint32_t key) { return (key * 2654435761u) >> 7; }
    std::vector<Slot> m_slots;
};

FlatIndex g_byAct;
FlatIndex g_byObjectId;
bool g_indexStale = true;
bool g_reserved = false;

void lf_refreshIndex() {
    if (!g_indexStale) return;
    g_byAct.rebuild(g_liveAc, &StaticAc::actNumber);
    g_byObjectId.rebuild(g_liveAc, &StaticAc::objectId);
    g_indexStale = false;
}

LiveAc* lf_findLive(FlatIndex& index, std::uint32_t StaticAc::*key, std::uint32_t value) {
    if (value == 0) return nullptr;
    lf_refreshIndex();
    std::int64_t place = index.find(value);
    if (place >= 0 && static_cast<std::size_t>(place) < g_liveAc.size() && g_liveAc[place].*key == value)
        return &g_liveAc[static_cast<std::size_t>(place)];
    if (place < 0) return nullptr;
    // A change that bypassed the index: rebuild once and ask again.
    g_indexStale = true;
    lf_refreshIndex();
    place = index.find(value);
    return place >= 0 ? &g_liveAc[static_cast<std::size_t>(place)] : nullptr;
}

template <class Ac>
std::size_t lf_compact(std::vector<Ac>& v) {
    const auto before = v.size();
    std::erase_if(v, [](const Ac& ac) { return ac.dropUnsent != 0 || ac.dropQueued != 0; });
    return before - v.size();
}

}  // namespace

void lf_liveIndexChanged() { g_indexStale = true; }

LiveAc* gf_findLiveByAct(std::uint32_t actNumber) { return lf_findLive(g_byAct, &StaticAc::actNumber, actNumber); }

LiveAc* gf_findLiveByObjectId(std::uint32_t objectId) {
    return lf_findLive(g_byObjectId, &StaticAc::objectId, objectId);
}

StaticAc* gf_findStaticByAct(std::uint32_t actNumber) {
    const auto it =
        std::find_if(g_staticAc.begin(), g_staticAc.end(), [&](const StaticAc& s) { return s.actNumber == actNumber; });
    return it == g_staticAc.end() ? nullptr : &*it;
}

StaticAc* gf_findStaticByObjectId(std::uint32_t objectId) {
    if (objectId == 0) return nullptr;
    const auto it =
        std::find_if(g_staticAc.begin(), g_staticAc.end(), [&](const StaticAc& s) { return s.objectId == objectId; });
    return it == g_staticAc.end() ? nullptr : &*it;
}

void lf_setObjectId(StaticAc& ac, std::uint32_t objectId) {
    if (ac.objectId == objectId) return;
    ac.objectId = objectId;
    g_indexStale = true;
}

LiveAc& lf_appendLiveAc(LiveAc&& ac) {
    g_liveAc.push_back(std::move(ac));
    LiveAc& added = g_liveAc.back();
    if (!g_indexStale && g_byAct.roomFor(g_liveAc.size())) {
        const auto place = static_cast<std::uint32_t>(g_liveAc.size() - 1);
        g_byAct.insert(added.actNumber, place);
        g_byObjectId.insert(added.objectId, place);
    } else {
        g_indexStale = true;
    }
    return added;
}

void lf_eraseLiveAc(LiveAc& ac) {
    const auto place = static_cast<std::size_t>(&ac - g_liveAc.data());
    if (place >= g_liveAc.size()) return;
    lf_releaseStandMark(ac);
    if (place + 1 != g_liveAc.size()) g_liveAc[place] = std::move(g_liveAc.back());
    g_liveAc.pop_back();
    g_indexStale = true;
}

void lf_eraseStaticAc(StaticAc& ac) {
    const auto place = static_cast<std::size_t>(&ac - g_staticAc.data());
    if (place >= g_staticAc.size()) return;
    if (place + 1 != g_staticAc.size()) g_staticAc[place] = std::move(g_staticAc.back());
    g_staticAc.pop_back();
}

std::size_t lf_compactLiveAc() {
    for (const LiveAc& ac : g_liveAc) {
        if (ac.dropUnsent != 0 || ac.dropQueued != 0) lf_releaseStandMark(ac);
    }
    const std::size_t gone = lf_compact(g_liveAc);
    if (gone > 0) g_indexStale = true;
    return gone;
}

std::size_t lf_compactStaticAc() { return lf_compact(g_staticAc); }

void gf_reserveTrafficContainers() {
    if (g_reserved) return;
    g_reserved = true;
    g_liveAc.reserve(kLiveRoom);
    g_staticAc.reserve(kStaticRoom);
    g_stands.reserve(512);
    g_createdObjects.reserve(128);
    addingStack.reserve(64);
    g_removedGhosts.reserve(64);
    {
        const std::lock_guard lock(simEventMutex);
        g_simEvents.reserve(256);
    }
    lf_reserveStaticParking();
    gf_setLiveRemovalHook([] { gf_removeLiveOnLinkLoss(); });
    g_indexStale = true;
}

void gf_resetTraffic() {
    gf_clearParkAirport();
    {
        const std::lock_guard lock(simEventMutex);
        g_simEvents.clear();
    }
    g_createdObjects.clear();
    g_removedGhosts.clear();
    addingStack.clear();
    removalQueue.clear();
    lf_clearRemovalsInFlight();
    g_liveCreateQueue.clear();
    g_staticCreateQueue.clear();
    gf_clearStaticParkingWork();
    g_staticAc.clear();
    gf_clearTrafficQueue();
    g_actSlots.clear();
    g_liveAc.clear();
    g_stands.clear();
    gf_clearNearestStandCache();
    g_coupledSearchActs.clear();
    gf_clearNoMatch();
    g_liveryCache.clear();
    g_landingWatch = false;
    g_trafficCounts = TrafficCounts{};
    g_qnh = kStandardQnh;
    g_apfInfo = ApfInfo{};
    g_apfInfo.altitude = -1;
    g_apfAirport.clear();
    lf_resetStandState();
    gf_resetUserGroundCheck();
    g_indexStale = true;
    platform::invalidateMainWindow();
}

}  // namespace skh
