#pragma once
// The roots of an automatic liveries scan, found in the simulator's own
// registration files: the packages of add-ons.cfg (roaming AppData) with the
// SimObjects components of their add-on.xml, then the entries of
// simobjects.cfg (ProgramData). The files are read as text lines. Roots are
// path texts in the simulator's form, appended in the order found.
#include <string>
#include <vector>

namespace skh {

// Never throws: a failure is logged and the roots found before it stay.
void lf_readP3DAddOnsAircraft(std::vector<std::string>& roots);
// The "path = ..." values of one add-ons.cfg package.
void lf_readPackagePaths(const std::vector<std::string>& lines, std::vector<std::string>& packagePaths);
// Throws the file-system error of a failed status query of simobjects.cfg.
void lf_readSimObjectsCfg(std::vector<std::string>& roots);
// The roots of one simobjects.cfg entry; the simulator's own category
// folders never become roots.
void lf_simObjectsFolders(const std::vector<std::string>& lines, std::vector<std::string>& roots);

}  // namespace skh
