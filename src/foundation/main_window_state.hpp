#pragma once
// The main window's display state: status and error lines and the values the
// status board shows. Other threads change these values and ask for a
// repaint; only the window draws.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "foundation/parameters.hpp"
#include "platform/window.hpp"

namespace skh {

using ColorRef = std::uint32_t;  // 0x00BBGGRR

// Lamp states of the Traffic and Weather lamps.
enum LampState : std::int32_t { LampOff = 0, LampActive = 1, LampStale = 2, LampStopped = 3 };

struct MainWindowState {
    IntParameter& MAIN_WINDOW_X;
    IntParameter& MAIN_WINDOW_Y;

    ColorRef brushRed = 0x0000FF;
    ColorRef brushLightBlue = 0xFFCC99;
    ColorRef brushBlack = 0x000000;
    ColorRef brushGreen = 0x32CD32;
    ColorRef brushYellow = 0x00FFFF;
    ColorRef penBlack = 0x000000;
    ColorRef penWhite = 0xFFFFFF;

    std::mutex statusMutex;  // guards the status and error texts and the stamp
    std::string g_statusText;
    std::string g_errorText;
    std::int32_t g_statusTick = 0;
    std::int32_t g_statusStamp = 0;

    // Board values set by other subsystems, each through gf_setBoard (which
    // repaints when the value changed). The texts share boardMutex, so the
    // painter copies them together (gf_boardTexts); the numbers and lamps
    // are atomics.
    std::mutex boardMutex;
    SharedText simulatorName{boardMutex};
    SharedText userAircraftTitle{boardMutex};
    SharedText userStand{boardMutex};
    SharedText realTrafficEdition{boardMutex};
    SharedText selectedAcText{boardMutex};  // kept with the aircraft list; not painted
    std::atomic<bool> simConnectConnected{false};
    std::atomic<bool> simulatorRunning{false};
    std::atomic<bool> userWingspanKnown{true};  // the user aircraft's model is known
    std::atomic<bool> realTrafficConnected{false};
    std::atomic<bool> realTrafficIdle{true};  // the RealTraffic lamp shows its idle colour
    std::atomic<std::int32_t> trafficLamp{LampStopped};
    std::atomic<std::int32_t> weatherLamp{LampStopped};
    std::atomic<std::int32_t> qnhShown{0};
    std::atomic<std::uint64_t> liveriesCount{0};
    std::atomic<std::uint64_t> orbxAirportCount{0};
    std::atomic<std::uint64_t> thirdpartyAirportCount{0};
    std::atomic<std::uint64_t> liveCount{0};
    std::atomic<std::uint64_t> parkedLiveCount{0};
    std::atomic<std::uint64_t> parkedStaticCount{0};
    std::atomic<float> liveAvgFit{-1.0f};
    std::atomic<float> staticAvgFit{-1.0f};
    std::atomic<std::int32_t> nextRenewalMinutes{0};
    std::atomic<bool> parkingBusy{false};  // the static parking calculation runs
    // The park airport's statistics beside those of its stand file (g_parkBoard).
    std::atomic<bool> parkFileOk{false};         // its parking data is read
    std::atomic<bool> softPositionsUsed{false};  // the static plan had to use soft positions
    std::atomic<bool> reservedStandOk{false};    // the reserved stand was found
    std::atomic<std::int32_t> maxParkCount{0};
    std::atomic<std::int32_t> maxParkPercent{0};  // of the stands

    std::atomic<bool> g_displayReady{false};

    MainWindowState();
    virtual ~MainWindowState() = default;
};

extern MainWindowState g_mainWindowState;

// The one setter of a board value: stores it and repaints the window only
// when it changed; true then. Any thread.
template <class T, class V>
bool gf_setBoard(std::atomic<T>& value, V v) {
    const T t = static_cast<T>(v);
    if (value.exchange(t) == t) return false;
    platform::invalidateMainWindow();
    return true;
}
bool gf_setBoard(SharedText& text, std::string v);

// The board texts, copied together under boardMutex.
struct BoardTexts {
    std::string simulatorName;
    std::string userAircraftTitle;
    std::string userStand;
    std::string realTrafficEdition;
};
BoardTexts gf_boardTexts();
// Empties the texts, puts the lamps to their start and the counters to zero
// (the reset before an in-process restart).
void gf_resetBoard();

// The status line as it stands (for the window and for tests).
std::string gf_statusText();
std::string gf_errorText();
// Empties the error line (new install path, in-process restart).
void gf_clearErrorMessage();
// One tick of the per-second work: a status text disappears after 25 ticks.
void gf_ageStatusMessage();

}  // namespace skh
