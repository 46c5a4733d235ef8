#pragma once
// Aircraft type codes of scanned files, checked against the aircraft
// database and fixed by its corrections, and the [fltsim.N] sections of IVAO
// packages (IVAO_MTL\IVAO_<model>\aircraft.cfg), whose airline stands at the
// start of the title and which are never cargo liveries. Runs inside the scan
// tasks; see aircraft_cfg.hpp for the path texts.
#include <list>
#include <string>
#include <string_view>
#include <vector>

#include "aircraft/aircraft_cfg.hpp"
#include "aircraft/livery_data.hpp"

namespace skh {

// The code when the database knows it, else its fix (reported), else ""
// (reported).
std::string lf_checkTypeCode(const std::string& code, std::string_view filePath);
// The type of an ordinary aircraft.cfg from its first atc_model line; "" when
// the file is to be skipped (reported).
std::string lf_fixAtcModel(std::string_view filePath, const std::vector<std::string>& lines);
// The model code of an IVAO_MTL path; "" when the path has none.
std::string lf_ivaoModelCode(std::string_view filePath);
// The IVAO model code mapped to a type code ("B744F" -> "B744", "A320w" -> "A320").
std::string lf_ivaoTypeFromModel(std::string code);
// The type of an IVAO_MTL aircraft.cfg from its folder name; "" when the file
// is to be skipped (reported).
std::string lf_fixIvaoMtlModel(std::string_view filePath);
// The airline code at the start of an IVAO title ("B738 KLM ..." -> "KLM");
// "" when the title does not begin with the type and three word characters.
std::string lf_ivaoAirlineFromTitle(std::string_view title, std::string_view type);

std::list<LiveryData> lf_splitIvaoFltsimSections(std::int32_t folderNo, const std::vector<std::string>& lines,
                                                 const std::string& type, const std::string& filePath,
                                                 const std::string& folderPath);
LiveryData lf_parseIvaoFltsimSection(std::int32_t folderNo, Section& section, const std::string& type,
                                     const std::string& filePath, const std::string& folderPath);

}  // namespace skh
