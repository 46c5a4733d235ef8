#pragma once
// Learned stand files: what live traffic taught about an airport's stands,
// merged into the stands read from its archived or generated file, with the
// per-airport settings stored beside them; the quality factors that rate how
// much has been learned; and the learned save, which never destroys what it
// could not read. Main loop only (the thread that owns g_stands).
#include <cstdint>
#include <filesystem>
#include <functional>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "airports/stand.hpp"

namespace skh {

// How the last learned file was read.
enum class LearnedMergeState : std::uint8_t {
    None,        // no learned file read for the current airport
    Complete,    // merged in full
    Damaged,     // not XML and no readable backup; moved aside and ignored
    Incomplete,  // refused (no meta block) or stopped by an error part-way
    // Not loaded, or not read now; its backup was merged but could not take
    // its place on disk: both stay as they are and this run saves nothing.
    BackupInMemory,
};

struct LearnedMerge {
    std::filesystem::path path;  // the learned file read
    LearnedMergeState state = LearnedMergeState::None;
    // Learned parkpos without a stand of that name: kept as they were read
    // (changes and options only) so that the next save writes them again.
    std::vector<Stand> unmatched;
    // Why this run's save of the airport is refused (the log line), or empty.
    std::string refusal;
};
extern LearnedMerge g_learnedMerge;

// Forgets the last merge (before another airport is loaded).
void gf_resetLearnedMerge();

// What applying two per-airport settings needs of the main loop and the
// settings commands; the application sets them. Without them the settings
// are stored and shown only.
struct LearnedSettingsHooks {
    // AUTO_RANGE was switched by a learned file: on keeps the manual range and
    // sets the range from the user's aircraft; off goes back to the manual range.
    std::function<void(bool on)> autoRangeChanged;
    // A MAX_FIT count of half-hours as a MAX_FIT_FL choice in hours.
    std::function<float(std::int32_t halfHours)> fitHours;
};
void gf_setLearnedSettingsHooks(LearnedSettingsHooks hooks);

// Merges the learned file into `stands` (g_stands when an airport is loaded):
// applies its settings; a hand-made file (key "handmade", whatever its value)
// replaces the stands; otherwise learned options and changes go to the stand
// of the same name and manual stands are added. Every stand list of the file
// is read, as one. False, with nothing done, when the file does not exist.
// A file that was read in full but does not load, or a save's file (complete
// meta block, not hand-made) without its parameters or stand list, is
// damaged: a backup (EGLL0.xml) that passes the same test is read and its
// copy takes the file's name by one rename, while the damaged file is kept
// under a name of its own (EGLL.damaged.xml, or EGLL.damaged2.xml and on when
// that is taken); without such a backup the damaged file is moved there. A
// file or backup that cannot be read now (anything but its absence) is never
// taken for damaged: nothing moves, what can be read is read, and this run
// saves nothing. So does a backup that cannot take the damaged file's place.
// Sets g_apfHandmade and g_learnedMerge. Catches and logs every error; what
// was read stays.
bool lf_readLearned(const std::filesystem::path& path, const std::string& archivedName, std::vector<Stand>& stands);
// Merges one learned parkpos into the stand when its name is `name`; false
// (nothing changed) for a stand of another name.
bool lf_readParkposOptions(const std::string& name, const pugi::xml_node& parkpos, Stand& stand);
// Same weekday, kind, registration, airline and type, and a half-hour in common.
bool lf_isSameOption(const StandOption& a, const StandOption& b);
// Applies the per-airport settings of a learned file.
void lf_applyLearnedSettings(const pugi::xml_document& doc);

// Quality factors: Qf_real in the low and Qf_soft in the high 32 bits, each
// 0 to 100; all bits set (-1, -1) when no stand has an option.
inline constexpr std::uint64_t kNoQualityFactors = ~std::uint64_t{0};
inline std::int32_t gf_qfReal(std::uint64_t pair) { return static_cast<std::int32_t>(pair & 0xFFFFFFFFu); }
inline std::int32_t gf_qfSoft(std::uint64_t pair) { return static_cast<std::int32_t>(pair >> 32); }
std::uint64_t gf_qfPair(std::int32_t real, std::int32_t soft);
// The current airport's pair (set by the park-airport load).
extern std::uint64_t g_qualityFactors;

// Throws gsl::narrowing_error when a factor is not a finite integral number.
std::uint64_t gf_qualityFactors(const std::vector<Stand>& stands);
// "{:2}/{:2}" below a Qf_real of 45, "{:2}" from 45 on, two blanks for none.
std::string lf_fmtQualityFactors(std::uint64_t pair);

// The learned save of the current airport into `path`: the previous file is
// kept as its backup (EGLL.xml -> EGLL0.xml) when it can be read as at the
// load, else kept aside as at the load, and the new one written through a
// temporary file that takes its name by one rename. A backup that cannot be
// read is kept aside (EGLL0.damaged.xml) before it is replaced. Refused
// (false, logged) when the load refused this run's saves, when the file at
// `path` was found at load but could not be merged completely, when the file
// or its backup cannot be read now, or when a damaged file in the way cannot
// be kept aside; unmatched learned parkpos of that file are written again.
// What a killed run left beside the files is removed first.
bool gf_writeLearnedFile(const AirportFileData& data, const std::filesystem::path& path);

}  // namespace skh
