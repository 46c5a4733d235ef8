#include "foundation/constants.hpp"

#include <array>

#include "foundation/win_interfaces.hpp"

namespace skh {

const Path g_inputFolder = "input";
const Path g_dbaseEnc = g_inputFolder / "dbase.enc";
const Path g_aigRegcodesEnc = g_inputFolder / "AIG-regcodes.enc";
const Path g_airportsEnc = g_inputFolder / "airports.enc";
const Path g_dbaseXml = g_inputFolder / "dbase.xml";
const Path g_aigRegcodesXml = g_inputFolder / "AIG-regcodes.xml";
const Path g_airportsXml = g_inputFolder / "airports.xml";
const Path g_oldAirportsXml = g_inputFolder / "airports_p3d.xml";
const Path g_myRegcodesFolder = g_inputFolder / "my_regcodes";

const Path g_airportsFolder = "airports";
const Path g_learnedFolder = g_airportsFolder / "learned";
const Path g_learnedStockFolder = g_learnedFolder / "stock";
const Path g_learnedSimaddonFolder = g_learnedFolder / "simaddon";
const Path g_learnedThirdpartyFolder = g_learnedFolder / "thirdparty";
const Path g_myOrbxFolder = g_airportsFolder / "my_ORBX";
const Path g_myThirdpartyFolder = g_airportsFolder / "my_thirdparty";
const Path g_parkAirportsFile = g_airportsFolder / "my_park_airports.txt";

const Path g_outputFolder = "output";
const Path g_infoFolder = g_outputFolder / "info";
const Path g_errorsFolder = g_outputFolder / "errors";
const Path g_liveriesScannedXml = g_outputFolder / "LiveriesScanned.xml";
const Path g_airportsScanLog = g_infoFolder / "AirportsScanLog.txt";
const Path g_noFltsimReport = g_infoFolder / "AircraftCfgWithNoFltsimSection.txt";
const Path g_conversionsReport = g_infoFolder / "AirlineModelConversions.txt";
const Path g_inlineRegcodesReport = g_errorsFolder / "InlineRegcodes.txt";
const Path g_invalidAirlineCodesReport = g_errorsFolder / "InvalidAirlineCodes.txt";
const Path g_invalidAircraftCodesReport = g_errorsFolder / "InvalidAircraftCodes.txt";
const Path g_fixesReport = g_errorsFolder / "Fixes.txt";
const Path g_invalidAircraftCfgReport = g_errorsFolder / "InvalidAircraftCfgFiles.txt";
const Path g_incompleteSectionsReport = g_errorsFolder / "IncompleFltsimSections.txt";

const Path g_docsFolder = "docs";
const std::string g_realTrafficFolder = "InsideSystems";
const Path g_installerFile = "install_new_version.exe";
const std::string g_parametersFileName = "parameters.xml";
const std::string g_folderText = "ZURI";

Path g_settingsFolder = gf_appDataFolder() / PRODUCT_NAME;
std::string g_parametersXmlPath = (g_settingsFolder / g_parametersFileName).string();
Path g_flightPlanFolder;
Path g_stockAirportsPath;

const VersionData g_programVersion("11.3.0");

const bool g_p3dV5Installed = gf_isP3dInstalled(5);
const bool g_p3dV6Installed = gf_isP3dInstalled(6);

const std::string g_emptyString;
const std::string g_hashMarker = "#";
const std::string g_questionMark = "?";
const std::string g_blank = " ";
const std::string g_nameAttr = "name";
const std::string g_valueAttr = "value";
const std::string g_wrongAttr = "wro";
const std::string g_correctAttr = "cor";
const std::string g_equalsSign = "=";
const std::string g_newline = "\n";
const std::string g_pluralS = "s";
const std::string g_zero = "0";
const std::string g_genericAirline = "ZZZ";

namespace {

template <class T>
std::unordered_map<std::int32_t, T> byCategory(const std::array<T, 6>& values) {
    std::unordered_map<std::int32_t, T> map;
    for (std::int32_t c = 0; c < 6; ++c) map.emplace(c, values[static_cast<std::size_t>(c)]);
    return map;
}

constexpr double kDeg = 0.017453292519943295;

}  // namespace

const std::unordered_map<std::int32_t, double> g_groundTurnRate =
    byCategory<double>({0.15 * kDeg, 0.10 * kDeg, 0.07 * kDeg, 0.05 * kDeg, 0.10 * kDeg, 0.20 * kDeg});
const std::unordered_map<std::int32_t, std::uint32_t> g_flareTicks = byCategory<std::uint32_t>({250, 300, 400, 450, 150, 100});
const std::unordered_map<std::int32_t, std::uint32_t> g_touchdownTicks =
    byCategory<std::uint32_t>({250, 300, 350, 450, 150, 100});
const std::unordered_map<std::int32_t, std::uint32_t> g_rotationTicks =
    byCategory<std::uint32_t>({100, 200, 200, 250, 100, 100});
const std::unordered_map<std::int32_t, std::uint32_t> g_climbPitchTicks =
    byCategory<std::uint32_t>({200, 250, 300, 400, 200, 100});
const std::unordered_map<std::int32_t, double> g_takeoffPitchDeg = byCategory<double>({-9.0, -8.0, -6.0, -5.0, -6.0, -20.0});
const std::unordered_map<std::int32_t, double> g_climbPitchDeg =
    byCategory<double>({-15.0, -18.0, -16.5, -12.5, -20.0, -30.0});

}  // namespace skh
