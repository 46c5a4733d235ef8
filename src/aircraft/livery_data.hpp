#pragma once
// Livery records of a liveries scan: the record itself, the factory that
// keeps titles unique over one scan, the "don't use" titles, and the report
// lists that the parallel scan tasks fill.
//
// Threads: the scan tasks call the factory and the appenders at once; each
// list and the title set has its own mutex, held for one insertion, and no
// code holds two of them. The lists are read and emptied by the start-up
// worker after every task has ended. g_liveries and g_dontUseTitles belong
// to the start-up worker (g_dontUseTitles is only read while tasks run).
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/hash.hpp"

namespace skh {

// The simulator refuses to create an aircraft whose title has this many
// bytes or more, and the refusal would end the run: such titles never become
// records.
inline constexpr std::size_t kTitleLimitBytes = 256;

struct LiveryData {
    std::string airl;  // "PVT" for a private aircraft; empty: no record
    std::string type;
    std::string title;          // unique over one scan
    std::string atcid;          // registration; may be empty
    std::int32_t folderNo = 0;  // scanned root 1..10; 0 when read from the cache
    bool cargo = false;

    bool empty() const { return airl.empty(); }
};

// Equal in title, airline, type, ATC id and cargo flag (not the folder).
bool liveryKeyEqual(const LiveryData& a, const LiveryData& b);
// Sorts by airline, then type, then title (byte-wise, stable).
void gf_sortLiveries(std::vector<LiveryData>& liveries);

// The records between a scan (or the cache) and the building of the index.
extern std::vector<LiveryData> g_liveries;

// Lines of one scan report, appended from many threads.
class ReportList {
public:
    void add(std::string line);
    std::size_t size() const;
    std::vector<std::string> lines() const;
    void clear();

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

extern ReportList g_emptyAircraftCfgFiles;     // aircraft.cfg without any [fltsim.N]
extern ReportList g_invalidAircraftCfgFiles;   // files refused as a whole
extern ReportList g_incompleteFltsimSections;  // sections refused or doubtful
extern ReportList g_invalidAirlineCodes;
extern ReportList g_invalidModelCodes;
extern ReportList g_codeFixes;  // type codes replaced by the database's fix

// Titles that must never become records (entries of the regcode sources
// without any registration).
extern TextSet g_dontUseTitles;

// The record, or the empty record when the title was already made in this
// scan (the caller reports the repeat). A title made by two scan tasks goes
// to the task started first (see gf_setTaskOrder), however the tasks race:
// the factory answers the later one with the empty record, or, when the
// later one came first, the driver drops its record on collection.
LiveryData lf_makeLiveryData(std::int32_t folderNo, std::string airline, std::string type, int passenger,
                             std::string title, std::string atcId);
bool lf_isDontUseTitle(std::string_view title);
// The start order of the scan task running on this thread (0 outside tasks).
void gf_setTaskOrder(std::uint64_t order);
// True when the task of that order made the title's record.
bool gf_ownsTitle(std::string_view title, std::uint64_t order);
// Titles the factory has made since the lists were last emptied.
std::size_t gf_scannedTitleCount();
void gf_clearScannedTitles();

void lf_addCodeFix(std::string line);
void lf_addInvalidCfgFile(std::string line);
void lf_addIncompleteSection(std::string line);
// "{:12} in {} " + suffix into g_invalidAirlineCodes.
void lf_addError12(std::string_view code, std::string_view pathText, std::string_view suffix);
// "{:16} in {}" into g_invalidModelCodes.
void lf_addError16(std::string_view code, std::string_view pathText);

}  // namespace skh
