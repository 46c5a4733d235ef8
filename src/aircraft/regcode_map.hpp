#pragma once
// Registration codes of installed liveries: registration -> title, from the
// ATC ids of the scanned liveries, then the AIG data set, then the user's
// regcode files (later sources win), with their reports; and the "don't use"
// titles that a liveries scan collects before it starts.
#include <filesystem>
#include <list>
#include <string>
#include <vector>

#include "aircraft/livery_index.hpp"
#include "aircraft/regcodes.hpp"
#include "foundation/hash.hpp"

namespace skh {

using RegcodeMap = TextMap<TitleView>;
extern RegcodeMap g_regcodeMap;
// The lines of output/info/OfflineRegcodes.txt.
extern std::vector<std::string> g_regcodeReportLines;
extern const std::filesystem::path g_offlineRegcodesReport;

void lf_checkInlineRegcodes();
void lf_writeOfflineRegcodes();
void lf_processAigRegcodes();
void lf_processMyRegcodes();
void lf_mergeRegcodes(const std::vector<AigRegcodeEntry>& entries);
void gf_clearRegcodeMap();

void lf_readDontUseTitles();
void lf_readDontUseTitlesFile();
void lf_readDontUseTitlesFolder();

}  // namespace skh
