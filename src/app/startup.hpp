#pragma once
// The start-up worker: one per start of the program and per in-process
// restart. It checks the program folder, loads the settings and data sets,
// finds the simulator and RealTraffic, runs the scans, starts the run and
// finally the closing step.
#include <cstdint>
#include <string>

#include "app/closing.hpp"
#include "foundation/geo.hpp"

namespace skh {

// The worker's body; returns what the closing step decided, QuitFailed for a
// quit after a fatal error of the start-up or the run.
ClosingOutcome lf_startupThread();

// The current folder must be the program folder, which holds "docs";
// throws UserErrorException 41.
void lf_checkProgramFolder();
// Settings, folders, data sets, the simulator's installation and RealTraffic.
void lf_detectInstallations();
// ALL_INSTALL_PATH and SIM_INSTALL_PATH from the registry; throws
// UserErrorException 151 or 153.
void lf_detectP3D();
// g_stockAirportsPath, with a warning when it is missing.
void lf_checkStockAirportsPath();
// Creates the eleven data folders and deletes the two old regcode backups;
// throws a filesystem error.
void lf_createDataFolders();
// The enabled state and contents of the settings controls after loading.
void lf_enableSettingsControls();

// The MAX_FIT_FL choice (hours) for a MAX_FIT count of half-hours.
float lf_snapFloatStep(std::int32_t halfHours);

// DESTINATION := the airport's code (saved and shown), which becomes the
// first park airport.
void lf_setDestination(const std::string& code, GeoPos position);

}  // namespace skh
