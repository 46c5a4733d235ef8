#pragma once
// The add-on airports scan: finds the add-on scenery folders, reads their BGL
// files in parallel tasks, leaves a link or generated stand file for every
// add-on airport in airports\my_ORBX and airports\my_thirdparty, writes its
// report to output\info\AirportsScanLog.txt and copies the airports fit for
// off-line learning into ZURI. Runs on the start-up worker when SCAN_AIRPORTS
// is on, and switches it off only after a scan that ran to its end; a scan
// stopped half-way leaves the airport files of the previous scan in place.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "airports/airport_output.hpp"

namespace skh {

// Results for the status board; written by the scan on the start-up worker.
extern std::atomic<bool> g_addonAirportFound;       // the last scan linked or wrote an add-on airport file
extern std::atomic<bool> g_airportFilesChanged;     // ... and its files are now in use
extern std::atomic<bool> g_airportsScanOk;          // the last scan ran to its end and its files are in use
extern std::atomic<std::uint64_t> g_tbloFileCount;  // entries of ZURI after the off-line learning copies
extern std::atomic<bool> g_orbxAirportsDone;        // no simaddon airport is left to copy for off-line learning

// Whether the stock stand file that the download server holds for an airport
// is fit for off-line learning.
using OfflineLearningCheck = std::function<bool(const std::string& ident)>;

// The neighbours the scan asks; tests and the program's start may replace them.
struct AirportScanServices {
    PublisherLookup publisherOf;
    OfflineLearningCheck fitForOfflineLearning;
};
// The publisher lookup of the aircraft data and the stock-file check of the
// stand loading, as far as they are built.
AirportScanServices gf_defaultAirportScanServices();

// The whole scan, from the settings (AFG_AUTOMATIC, afolder0..9,
// SIM_INSTALL_PATH). Throws UserErrorException 49 (manual mode without
// folders), 42 (a folder setting inside the stock scenery) or 77 (no
// simulator version), and std::filesystem errors of the program's folders.
void gf_scanAddonAirports();
void gf_scanAddonAirports(const AirportScanServices& services);

struct AirportsScanResult {
    bool found = false;      // an add-on airport file was written or linked
    bool completed = false;  // no stop request cut the scan short
};
// Scans the folders (Windows path texts) into the staging folders `orbx` and
// `thirdparty`, writes the report and makes the off-line learning copies.
AirportsScanResult lf_runAirportsScan(const std::vector<std::string>& folders, const std::string& stockText,
                                      const std::filesystem::path& orbx, const std::filesystem::path& thirdparty,
                                      const AirportScanServices& services);
// Checks each folder and scans its BGL files; false when a stop request cut it short.
bool lf_scanSceneryFolder(const std::vector<std::string>& folders, const std::string& stockText,
                          AirportScanOutput& output);

void lf_archiveOrbxAirports(const std::vector<std::string>& idents, const std::filesystem::path& folder,
                            const OfflineLearningCheck& fit);
void lf_archiveThirdpartyAirports(const std::vector<std::string>& idents, const std::filesystem::path& folder,
                                  const OfflineLearningCheck& fit);

}  // namespace skh
