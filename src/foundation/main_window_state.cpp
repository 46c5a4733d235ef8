#include "foundation/main_window_state.hpp"

#include "foundation/parameter_table.hpp"
#include "platform/window.hpp"

namespace skh {

MainWindowState::MainWindowState() : MAIN_WINDOW_X(skh::MAIN_WINDOW_X), MAIN_WINDOW_Y(skh::MAIN_WINDOW_Y) {
    g_displayReady = true;
}

MainWindowState g_mainWindowState;

bool gf_setBoard(SharedText& text, std::string v) {
    if (!text.change(std::move(v))) return false;
    platform::invalidateMainWindow();
    return true;
}

BoardTexts gf_boardTexts() {
    auto& s = g_mainWindowState;
    const std::lock_guard lock(s.boardMutex);
    return BoardTexts{s.simulatorName.lockedValue(), s.userAircraftTitle.lockedValue(), s.userStand.lockedValue(),
                      s.realTrafficEdition.lockedValue()};
}

void gf_resetBoard() {
    auto& s = g_mainWindowState;
    for (SharedText* text :
         {&s.simulatorName, &s.userAircraftTitle, &s.userStand, &s.realTrafficEdition, &s.selectedAcText}) {
        text->set(std::string());
    }
    s.simConnectConnected = false;
    s.simulatorRunning = false;
    s.userWingspanKnown = true;
    s.realTrafficConnected = false;
    s.realTrafficIdle = true;
    s.trafficLamp = LampStopped;
    s.weatherLamp = LampStopped;
    s.qnhShown = 1013;
    s.liveriesCount = 0;
    s.orbxAirportCount = 0;
    s.thirdpartyAirportCount = 0;
    s.liveCount = 0;
    s.parkedLiveCount = 0;
    s.parkedStaticCount = 0;
    s.liveAvgFit = -1.0f;
    s.staticAvgFit = -1.0f;
    s.nextRenewalMinutes = 0;
    s.parkFileOk = false;
    s.softPositionsUsed = false;
    s.reservedStandOk = false;
    s.maxParkCount = 0;
    s.maxParkPercent = 0;
    platform::invalidateMainWindow();
}

}  // namespace skh
