#pragma once
// Requests of the main window's handlers (UI thread) for work on what the
// main loop owns: the traffic containers, the park airports and the range.
// Each kind is a flag with its latest payload, kept under one mutex; the
// main loop takes them all at once and does the work on its own thread.
#include <cstdint>
#include <string>

#include "foundation/geo.hpp"

namespace skh {

struct UiRequests {
    bool navLights = false;  // NAV_LIGHTS_WHILE_PARKED changed
    bool navLightsOn = false;
    bool maxLive = false;  // MAX_LIVE_SEL changed
    std::int32_t maxLiveValue = 0;
    bool destination = false;  // a known airport was entered as destination
    std::string destinationCode;
    GeoPos destinationPos;
    bool refreshAcList = false;  // the aircraft list back to one empty entry
    bool autoRange = false;      // AUTO_RANGE switched
    bool autoRangeOn = false;

    bool any() const { return navLights || maxLive || destination || refreshAcList || autoRange; }
};

void gf_requestNavLights(bool on);
void gf_requestMaxLive(std::int32_t value);
void gf_requestDestination(const std::string& code, GeoPos position);
void gf_requestAcListRefresh();
void gf_requestAutoRange(bool on);

// Takes every pending request (the main loop); cheap when there is none.
UiRequests gf_takeUiRequests();
void gf_clearUiRequests();

}  // namespace skh
