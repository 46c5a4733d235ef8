#pragma once
// The add-on scenery folders of the simulator: from its scenery library
// (scenery.cfg) and add-on list (scenery_add-ons.xml) in the automatic mode,
// or from the ten folder settings afolder0 .. afolder9 in the manual mode.
// Folders are Windows path texts as the simulator writes them; stock scenery
// is left out by its folder markers and by the installation's Scenery folder,
// both compared by whole path components, ignoring case.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace skh {

// What the readers need to know of the installation.
struct SceneryConfigSetup {
    std::string installPath;     // SIM_INSTALL_PATH; may be empty
    std::string stockText;       // <install>\Scenery; empty when the install path is unknown
    std::string sceneryCfgText;  // C:\ProgramData\Lockheed Martin\Prepar3D v<n>\scenery.cfg
    std::filesystem::path sceneryCfg;
    std::string addonsXmlText;  // ...\scenery_add-ons.xml
    std::filesystem::path addonsXml;
};

// The setup for the simulator's major version ("5" or "6") and install path;
// the ProgramData root comes from the platform layer.
SceneryConfigSetup lf_scenerySetup(const std::string& simVersion, const std::string& installPath);
// <install>\Scenery, or empty for an empty install path.
std::string lf_stockAirportsText(const std::string& installPath);

// True when `path` is `folder` or lies below it, comparing the components of
// both (separated by '\' or '/') without regard to case. False for an empty
// folder: an unknown stock folder contains nothing.
bool lf_isWithinFolder(std::string_view path, std::string_view folder);
// A relative scenery.cfg Local value naming one of the stock scenery folders
// (World, Global, Cities, the numbered and named regions ...).
bool lf_isStockScenery(std::string_view localValue);

// Appends the folders of the active add-on areas of scenery.cfg.
void lf_readSceneryCfg(std::vector<std::string>& folders, const SceneryConfigSetup& setup);
// Evaluates the lines of one area; `base` completes relative Local values.
void lf_readSceneryCfgEntry(const std::vector<std::string>& lines, const std::string& base,
                            const std::string& stockText, std::vector<std::string>& folders);
// Appends the <Path> values of scenery_add-ons.xml.
void lf_readSceneryAddonsXml(std::vector<std::string>& folders, const SceneryConfigSetup& setup);
// Fills the list from afolder0 .. afolder9; a folder inside the stock
// scenery raises UserErrorException 42.
void lf_checkFolderParameter(std::vector<std::string>& folders, const std::string& stockText);

}  // namespace skh
