#pragma once
// The park airports: the candidates in the order of
// airports/my_park_airports.txt (then the add-on airports of
// airports/my_thirdparty), the one in sight of the user aircraft that becomes
// the current park airport, and the user's reserved stand, kept in the same
// file.
//
// my_park_airports.txt: one airport a line, "CODE" or "CODE,STAND"; fields
// are trimmed; an empty line is skipped, three fields are refused. Written as
// whole lines sorted by byte value without repeats, through a temporary file.
//
// Main loop only: the SimClient thread never touches the list or the file,
// it asks the main loop for a reservation (gf_userStandWork). The file's
// writes are serialised by their own mutex all the same.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <list>
#include <string>

#include "airports/airport.hpp"
#include "foundation/geo.hpp"

namespace skh {

struct ParkAirportEntry {
    std::string code;           // as in the airport list, compared byte for byte
    std::string reservedStand;  // the user's stand there; empty: none
    double lat = 0.0;           // degrees
    double lon = 0.0;           // degrees
    double distance = 0.0;      // nm from the user aircraft
};

// The first entry is the one that counts: the only one tested in the air, the
// one the reserved stand and the file writer act on.
extern std::list<ParkAirportEntry> g_parkAirports;
// The user's reserved stand at the current park airport; empty: none.
extern std::string g_reservedStand;

// More entries than this cost the per-16-second check noticeable time.
inline constexpr std::size_t kManyParkAirports = 3000;

// Rebuilds g_parkAirports from the file and the my_thirdparty folder. False
// when an airport was unknown or the read failed (logged).
bool lf_readMyParkAirports();
// Appends the airports of the my_thirdparty folder not yet in the list.
void lf_addThirdpartyParkAirports();
// Writes the first entry into the file: replaces the line of its code or
// adds one, sorts and drops repeats. Nothing for an empty list, for a code or
// stand that a line could not hold (",", line ends), or when the file exists
// but cannot be read (it is never replaced by one line).
void gf_updateMyParkAirports();
// The file read and written (tests point it elsewhere).
void gf_setParkAirportsFile(const std::filesystem::path& path);
const std::filesystem::path& gf_parkAirportsFilePath();

// Makes the airport the first park airport: an entry of that code moves to
// the front as it is; a new one is written to the file.
void gf_addParkAirport(const std::string& code, GeoPos position);
// "Re-read": reads the file again and, when asked, applies a changed reserved
// stand of the current park airport. False (text untouched) when the read
// failed; else the text says what changed or "park airports and stands are okay".
bool gf_checkParkAirports(bool checkStand, std::string& text);

// Once the park airport's stands are loaded: the stand the user aircraft
// stands at (when its data has arrived) becomes the reserved stand of the
// first entry, or of a new first entry for this airport, and is saved; the
// first entry's reserved stand, when it is among the stands, becomes
// g_reservedStand and is shown.
void gf_takeReservedStandAtLoad();

// What the park airports ask of the static parking and the main window, set
// by those when they start. Unset calls do nothing (answer false / "").
struct StaticParkingHooks {
    std::function<bool()> busy;                   // the calculation's busy state is on
    std::function<void(bool on)> setBusy;         // switches it (and the settings controls)
    std::function<bool()> planPlaced;             // every planned aircraft is placed
    std::function<void()> refreshAverageFits;     // of static and of live aircraft
    std::function<void()> startCalculation;       // empties the coupled callsigns, raises the calculation
    std::function<std::string()> readParkedFile;  // loads the stands; the error text
    std::function<void()> showParkingParams;      // builds the plan
    std::function<void()> leaveParkAirport;       // gives the park airport up
    std::function<void()> removeGroundTraffic;    // removes the ground traffic and gives it up
    std::function<void()> clearReservedStand;     // removes the aircraft at the reserved stand
    // The airport of the user aircraft's position on the ground, within 100 nm.
    std::function<const Airport*(GeoPos)> closestAirport;
};
void gf_setStaticParkingHooks(StaticParkingHooks hooks);

// The driver, every 16 s (showStatus on the first call): loads a park
// airport just chosen, keeps the list in distance order (not while a
// DESTINATION is set), and chooses or ends the park airport in sight.
void gf_handleStaticParking(bool showStatus);
// Chooses a park airport when none is set: on the ground the airport there,
// in the air the first entry within AIRP_RANGE below AIRP_HEIGHT.
void lf_airportInSight(GeoPos position, bool showStatus);
// Ends the park airport out of sight, or when a nearer first entry comes
// into sight; in the air only.
void lf_parkAirportStillInSight(GeoPos position);
// Makes the airport of the list with that code the current park airport.
bool lf_setParkAirport(const std::string& code);
// Whether a park airport was chosen and waits for its load.
bool gf_parkAirportChosen();

}  // namespace skh
