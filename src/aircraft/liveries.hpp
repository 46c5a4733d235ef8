#pragma once
// What the layers above use of the installed AI liveries: the liveries scan
// and its cache at start-up, the livery index's state, matching an aircraft
// to a livery title, and the reports of refused and unmatched aircraft.
//
// Threads: the index, the regcode map and the title lists are built on the
// start-up worker before a run and only read while it runs, without locks;
// matching, refusals and the unmatched set belong to the main loop's thread.
//
// Title views: a title handed out (FlightIdent::liveryTitle) views a string
// owned by the livery index. It is valid until gf_clearLiveryIndex. The
// bytes behind it are kept for the rest of the process even then, so a view
// held across a clear (an aircraft record, a cache of titles) reads its old
// title, never freed memory; but it names a livery of the old index, so
// holders drop such views when the index is rebuilt. Titles the simulator
// refused are kept as owned strings and survive every clear.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "aircraft/flight_ident.hpp"
#include "foundation/hash.hpp"

namespace skh {

// ---- Start-up (start-up worker thread) --------------------------------------

// The liveries scan when SCAN_LIVERIES is on, then the processing of the
// cache into the index. Throws UserErrorException (48, 53, 43 for a scan that
// finds nothing; 51, 52, 533, 999 for a cache that cannot be read).
void gf_scanLiveries();
// Reads LiveriesScanned.xml and builds the index, the regcode map and the
// similar models, once per process (skipped while g_liveryIndexReady is set).
// Throws the cache's UserErrorExceptions.
void lf_processScannedLiveries();
// When LiveriesScanned.xml is gone and SCAN_LIVERIES is off: shows and logs
// "File {} is gone, rescan liveries" and switches SCAN_LIVERIES on (saved,
// check box set). Call before gf_scanLiveries.
void gf_requestRescanWhenCacheGone();

// ---- Index state --------------------------------------------------------------

// Set once the index is built; cleared by gf_clearLiveryIndex.
extern std::atomic<bool> g_liveryIndexReady;
// The number of liveries of the index (0 when a scan found none); the value
// the status board shows. Each change is followed by a repaint.
extern std::atomic<std::uint64_t>& g_liveryCount;

// Reserves the in-use title lists once per process; called at every run start.
void gf_initInUseTitles();
// Empties the index, the regcode map, the special titles, the similar models
// and the category lists, and clears g_liveryIndexReady, so that the next
// start builds them afresh. Not while the main loop matches.
void gf_clearLiveryIndex();

// ---- Matching (main loop thread) ---------------------------------------------

// A live aircraft: sets liveryTitle (and fsltlModel) by airline, type and
// registration. No title found: the title stays empty and, when the aircraft
// has a registration, its key (lf_fmtIdentKey) goes into g_noMatchLines.
void gf_matchLiveryForSpawn(FlightIdent& ac);
// A static aircraft parked at a stand: takes the stand's cargo flag and name
// (for the no-match log line); true when the aircraft has a title on return.
bool gf_matchLivery(FlightIdent& ac, bool standCargo, std::string_view standName);
// Logs how many live aircraft were matched at each step since the process
// started, and the refused liveries.
void gf_logMatchingSummary();

// ---- Refused and unmatched aircraft (main loop thread) ----------------------

// The simulator could not create the aircraft under its title: shows the
// refusal and bars the title from matching. Throws UserErrorException 81 at
// the 20th refusal of the process. Does nothing while a stop is under way.
void lf_reportUncreatable(const FlightIdent& ac);
// True when the simulator has refused the title in this process.
bool gf_isRefusedTitle(std::string_view title);

// Keys (lf_fmtIdentKey) of live aircraft without a livery in this run; an
// aircraft whose key is here is not tried again.
extern TextSet g_noMatchLines;
// Logs g_noMatchLines (when LOG is on); the set is kept.
void gf_logNoMatch();
void gf_clearNoMatch();

// ---- Publishers (any thread) --------------------------------------------------

// Receives a line for the report of the scan that asked (for example the
// add-on airports scan's gf_addScanReport).
using ScanReportSink = std::function<void(const std::string&)>;
// The publisher of a scenery or model file judged from its name: "simaddon"
// for an ORBX file (reported to `report`), else the canonical name of the
// first publisher of the aircraft database named in it, else "unknown".
std::string gf_publisherFromFileName(std::string_view fileName, const ScanReportSink& report = {});

}  // namespace skh
