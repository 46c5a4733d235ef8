#pragma once
// Folders, file names and fixed values shared by several components. Relative
// paths resolve against the current folder, which is the program folder.
#include <cstdint>
#include <filesystem>
#include <string>
#include <unordered_map>

#include "foundation/version.hpp"

namespace skh {

inline const std::string PRODUCT_NAME = "Skyhaven_P3D";

using Path = std::filesystem::path;

// Data sets and their plain texts
extern const Path g_inputFolder;         // input
extern const Path g_dbaseEnc;            // input/dbase.enc
extern const Path g_aigRegcodesEnc;      // input/AIG-regcodes.enc
extern const Path g_airportsEnc;         // input/airports.enc
extern const Path g_dbaseXml;            // input/dbase.xml
extern const Path g_aigRegcodesXml;      // input/AIG-regcodes.xml
extern const Path g_airportsXml;         // input/airports.xml
extern const Path g_oldAirportsXml;      // input/airports_p3d.xml
extern const Path g_myRegcodesFolder;    // input/my_regcodes

// Airport stand files
extern const Path g_airportsFolder;        // airports
extern const Path g_learnedFolder;         // airports/learned
extern const Path g_learnedStockFolder;    // airports/learned/stock
extern const Path g_learnedSimaddonFolder; // airports/learned/simaddon
extern const Path g_learnedThirdpartyFolder;  // airports/learned/thirdparty
extern const Path g_myOrbxFolder;          // airports/my_ORBX
extern const Path g_myThirdpartyFolder;    // airports/my_thirdparty
extern const Path g_parkAirportsFile;      // airports/my_park_airports.txt

// Reports
extern const Path g_outputFolder;              // output
extern const Path g_infoFolder;                // output/info
extern const Path g_errorsFolder;              // output/errors
extern const Path g_liveriesScannedXml;        // output/LiveriesScanned.xml
extern const Path g_airportsScanLog;           // output/info/AirportsScanLog.txt
extern const Path g_noFltsimReport;            // output/info/AircraftCfgWithNoFltsimSection.txt
extern const Path g_conversionsReport;         // output/info/AirlineModelConversions.txt
extern const Path g_inlineRegcodesReport;      // output/errors/InlineRegcodes.txt
extern const Path g_invalidAirlineCodesReport; // output/errors/InvalidAirlineCodes.txt
extern const Path g_invalidAircraftCodesReport;// output/errors/InvalidAircraftCodes.txt
extern const Path g_fixesReport;               // output/errors/Fixes.txt
extern const Path g_invalidAircraftCfgReport;  // output/errors/InvalidAircraftCfgFiles.txt
extern const Path g_incompleteSectionsReport;  // output/errors/IncompleFltsimSections.txt

extern const Path g_docsFolder;            // docs: must exist in the program folder
extern const std::string g_realTrafficFolder;  // "InsideSystems", below the roaming AppData folder
extern const Path g_installerFile;         // install_new_version.exe
extern const std::string g_parametersFileName;  // "parameters.xml"
extern const std::string g_folderText;     // "ZURI"

// The settings folder and file. Not const: tests point them elsewhere.
extern Path g_settingsFolder;              // <roaming AppData>/Skyhaven_P3D
extern std::string g_parametersXmlPath;    // <settings folder>/parameters.xml (UTF-8)
extern Path g_flightPlanFolder;            // set at run time
// The simulator's stock scenery folder ("Scenery" in the install path), set by
// the start-up worker before the scans read it.
extern Path g_stockAirportsPath;

extern const VersionData g_programVersion;  // 11.3.0

extern const bool g_p3dV5Installed;
extern const bool g_p3dV6Installed;

// Shared texts
extern const std::string g_emptyString;  // returned by lookups that find nothing
extern const std::string g_hashMarker;   // "#"
extern const std::string g_questionMark; // "?"
extern const std::string g_blank;        // " "
extern const std::string g_nameAttr;     // "name"
extern const std::string g_valueAttr;    // "value"
extern const std::string g_wrongAttr;    // "wro"
extern const std::string g_correctAttr;  // "cor"
extern const std::string g_equalsSign;   // "="
extern const std::string g_newline;      // "\n"
extern const std::string g_pluralS;      // "s"
extern const std::string g_zero;         // "0"
extern const std::string g_genericAirline;  // "ZZZ"

// Per size category (0 Light .. 5 Rotorcraft) values of the movement code.
extern const std::unordered_map<std::int32_t, double> g_groundTurnRate;       // radians per poll
extern const std::unordered_map<std::int32_t, std::uint32_t> g_flareTicks;
extern const std::unordered_map<std::int32_t, std::uint32_t> g_touchdownTicks;
extern const std::unordered_map<std::int32_t, std::uint32_t> g_rotationTicks;
extern const std::unordered_map<std::int32_t, std::uint32_t> g_climbPitchTicks;
extern const std::unordered_map<std::int32_t, double> g_takeoffPitchDeg;
extern const std::unordered_map<std::int32_t, double> g_climbPitchDeg;

}  // namespace skh
