#include "app/app_state.hpp"

#include "foundation/errors.hpp"
#include "foundation/format.hpp"
#include "foundation/parameter_table.hpp"

namespace skh {

constinit std::atomic<bool> g_stopRequested{false};
constinit std::atomic<bool> g_closeRequested{false};
constinit std::atomic<AppState> g_appState{AppState::NotYetSet};
constinit std::atomic<int> g_restartDelay{0};

const char* gf_appStateName(AppState state) {
    switch (state) {
        case AppState::NotYetSet:
            return "NOT YET SET";
        case AppState::SimWasClosed:
            return "SIM WAS CLOSED";
        case AppState::NewFlight:
            return "NEW FLIGHT";
        case AppState::NewSettings:
            return "NEW SETTINGS";
        case AppState::UserClosedSim:
            return "USER CLOSED SIM";
        case AppState::SimConnectError:
            return "SIMCONNECT ERROR";
        case AppState::ReaderError:
            return "READER ERROR";
        case AppState::SystemError:
            return "SYSTEM ERROR";
    }
    return "???";
}

constinit std::atomic<bool> g_restartRequested{false};

bool gf_requestStop(AppState reason, int restartDelaySeconds) {
    if (g_stopRequested.load()) return false;
    AppState expected = AppState::NotYetSet;
    if (!g_appState.compare_exchange_strong(expected, reason)) return false;
    g_restartDelay = restartDelaySeconds;
    g_stopRequested = true;
    return true;
}

void gf_requestClose() {
    AppState expected = AppState::NotYetSet;
    g_appState.compare_exchange_strong(expected, AppState::UserClosedSim);
    g_closeRequested.exchange(true);
    g_stopRequested.exchange(true);
}

bool gf_requestNewSettings(int restartDelaySeconds) {
    if (g_stopRequested.load()) return false;
    AppState expected = AppState::NotYetSet;
    if (!g_appState.compare_exchange_strong(expected, AppState::NewSettings)) {
        if (expected != AppState::SystemError || !g_appState.compare_exchange_strong(expected, AppState::NewSettings)) {
            return false;
        }
    }
    g_restartDelay = restartDelaySeconds;
    g_stopRequested = true;
    return true;
}

void gf_setSystemError() { g_appState = AppState::SystemError; }

void gf_resetStopState() {
    g_stopRequested = false;
    g_closeRequested = false;
    g_appState = AppState::NotYetSet;
    g_restartDelay = 0;
}

std::int32_t lf_snapRangeStep(std::int32_t nm) {
    if (nm < 3) return 2;
    if (nm <= 6) return nm;
    if (nm <= 8) return 8;
    if (nm <= 10) return 10;
    if (nm <= 12) return 12;
    if (nm <= 14) return 14;
    if (nm <= 16) return 16;
    if (nm <= 18) return 18;
    if (nm <= 22) return 20;
    if (nm <= 27) return 25;
    if (nm <= 32) return 30;
    if (nm <= 37) return 35;
    if (nm <= 44) return 40;
    if (nm <= 56) return 50;
    if (nm <= 72) return 65;
    if (nm <= 89) return 80;
    return 100;
}

std::int32_t lf_snapAltitudeStep(std::int32_t feet) {
    struct Step {
        std::int32_t below, value;
    };
    static constexpr Step kSteps[] = {{3000, 2000},   {5000, 4000},   {7000, 6000},   {9000, 8000},   {11000, 10000},
                                      {13000, 12000}, {15000, 14000}, {17000, 16000}, {27000, 18000}, {47000, 36000}};
    for (const auto& s : kSteps) {
        if (feet < s.below) return s.value;
    }
    return 48000;
}

std::string gf_getP3DVersion() {
    const std::string path = SIM_INSTALL_PATH.value.get();
    if (path.find("v5") != std::string::npos || path.find("V5") != std::string::npos) return "5";
    if (path.find("v6") != std::string::npos || path.find("V6") != std::string::npos) return "6";
    const std::int32_t v = P3D_VERSION.value.load();
    if (v >= 5) return std::to_string(v);
    throw UserErrorException(
        77, skh::format("P3D install path does not contain v5 or v6. Use hidden parameter {}, set it to 5 or 6.",
                        P3D_VERSION.name));
}

}  // namespace skh
