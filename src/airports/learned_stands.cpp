#include "airports/learned_stands.hpp"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <sstream>
#include <system_error>

#include "airports/stand_file.hpp"
#include "foundation/format.hpp"
#include "foundation/hash.hpp"
#include "foundation/log.hpp"
#include "foundation/meta_block.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/settings_file.hpp"
#include "foundation/text.hpp"
#include "foundation/text_files.hpp"
#include "foundation/upcalls.hpp"
#include "platform/file_sync.hpp"

namespace skh {

namespace fs = std::filesystem;

LearnedMerge g_learnedMerge;
std::uint64_t g_qualityFactors = kNoQualityFactors;

namespace {

LearnedSettingsHooks g_hooks;

constexpr std::uint64_t kDayMask = (std::uint64_t{1} << 48) - 1;
constexpr double kManualMissingDegrees = 0.0001;

void lf_logSetting(std::string_view key, const std::string& value) {
    gf_logIndented(skh::format("{:24}: {}", key, value));
}

void lf_applyBool(const pugi::xml_document& doc, BoolUiParameter& p) {
    const auto v = lf_readAirportBoolParam(doc, p.name);
    if (!v) return;
    p.value = *v;
    gf_showBoolParameter(p);
    lf_logSetting(p.name, *v ? "true" : "false");
}

void lf_selectChoice(const IntChoiceParameter& p) {
    const platform::WindowHandle h = p.hwnd.load();
    const auto it = std::find(p.choices.begin(), p.choices.end(), p.value.load());
    if (h != 0 && it != p.choices.end()) platform::comboSetCurSel(h, static_cast<int>(it - p.choices.begin()));
}

void lf_selectFloatChoice(const FloatChoiceParameter& p) {
    const platform::WindowHandle h = p.hwnd.load();
    const auto it = std::find(p.choices.begin(), p.choices.end(), p.value.load());
    if (h != 0 && it != p.choices.end()) platform::comboSetCurSel(h, static_cast<int>(it - p.choices.begin()));
}

void lf_enableRangeCombo() {
    const platform::WindowHandle h = RANGE.hwnd.load();
    if (h != 0) platform::enableWindow(h, true);
}

bool lf_metaComplete(const pugi::xml_document& doc) {
    return gf_readMetaInfo(doc, author) && gf_readMetaInfo(doc, date) && gf_readMetaInfo(doc, version);
}

// The same test on items of its own: judging a file must not change the
// meta values last read.
bool lf_hasCompleteMeta(const pugi::xml_document& doc) {
    for (const StringParameter* p : {&author, &date, &version}) {
        StringParameter item(p->name, "");
        if (!gf_readMetaInfo(doc, item)) return false;
    }
    return true;
}

// The section that a file written by a save lacks, or nothing. A complete
// meta block marks a save's file, and every save writes the parameters and
// the stand list after it; a file cut just after a section's end is still
// well-formed. Hand-made files and files without a complete meta block are
// not judged by this.
const char* lf_missingSection(const pugi::xml_document& doc) {
    if (!lf_hasCompleteMeta(doc)) return nullptr;
    if (!doc.child("parameters")) return "parameters";
    if (lf_readAirportBoolParam(doc, "handmade").has_value()) return nullptr;
    if (!doc.child("parkpositions")) return "parkpositions";
    return nullptr;
}

// What reading a learned file or its backup found. Only a file that was
// read in full and is wrong is damaged: one that cannot be read now (another
// program holds it, the disk fails for a moment) may be good, so nothing is
// moved and nothing is saved over it.
enum class LearnedFound : std::uint8_t { Missing, Unreadable, Damaged, Good };

struct LearnedRead {
    LearnedFound found = LearnedFound::Missing;
    int error = 0;        // the system's error when it could not be read
    std::string problem;  // why it is not good: the system's reason or what is wrong
    std::string bytes;    // the file as read
};

LearnedRead lf_loadLearned(pugi::xml_document& doc, const fs::path& path) {
    LearnedRead read;
    if (const int error = platform::readFile(path, read.bytes); error != 0) {
        read.found = error == ENOENT ? LearnedFound::Missing : LearnedFound::Unreadable;
        read.error = error;
        read.problem = std::generic_category().message(error);
        return read;
    }
    const pugi::xml_parse_result loaded = doc.load_buffer(read.bytes.data(), read.bytes.size());
    read.found = LearnedFound::Damaged;
    if (!loaded) {
        read.problem = loaded.description();
    } else if (const char* missing = lf_missingSection(doc)) {
        read.problem = skh::format("its {} section is missing", missing);
    } else {
        read.found = LearnedFound::Good;
    }
    return read;
}

LearnedRead lf_readLearnedFile(const fs::path& path) {
    pugi::xml_document doc;
    return lf_loadLearned(doc, path);
}

// What stops a learned save. A cause that may pass (the disk busy, failing
// or full for a while) is tried again by the next start; one that no start
// removes is named with what the user can do ({0}: the file, {1}: its
// folder), and promises nothing. A cause the table does not know is not
// taken to pass.
struct CauseRule {
    int error;
    const char* remedy;  // null: it may pass
};
constexpr const char* kAccessRemedy = "this user may read and write {0} and its folder";
constexpr CauseRule kCauseRules[] = {
    {EIO, nullptr},
    {EAGAIN, nullptr},
    {EBUSY, nullptr},
    {EINTR, nullptr},
    {ENOSPC, nullptr},
    {ENOMEM, nullptr},
    {EMFILE, nullptr},
    {ENFILE, nullptr},
    {ETXTBSY, nullptr},
    {ETIMEDOUT, nullptr},
    {EISDIR, "the folder at {0} is removed or renamed"},
    {ELOOP, "the link at {0} is replaced by the file it stands for, or removed"},
    {ENOTDIR, "the file in the place of a folder of {0} is removed or renamed"},
    {EACCES, kAccessRemedy},
    {EPERM, kAccessRemedy},
    {EROFS, "{1} is on a disk that can be written"},
    {ENAMETOOLONG, "{0} has a shorter path"},
};
constexpr const char* kUnknownCauseRemedy = "{0} and its folder can be read and written";

// The rule for `error`; null for a cause the table does not know.
const CauseRule* lf_causeRule(int error) {
    const auto* rule = std::find_if(std::begin(kCauseRules), std::end(kCauseRules),
                                    [&](const CauseRule& r) { return r.error == error; });
    return rule == std::end(kCauseRules) ? nullptr : rule;
}

bool lf_mayPass(int error) {
    const CauseRule* rule = lf_causeRule(error);
    return rule != nullptr && rule->remedy == nullptr;
}

// How a refused save's line ends: `whilePassing` for a cause that may pass,
// else until what the user does about `error` met at `file`.
std::string lf_notSavedUntil(int error, const fs::path& file, std::string_view whilePassing) {
    if (lf_mayPass(error)) return std::string(whilePassing);
    const CauseRule* rule = lf_causeRule(error);
    const char* remedy = rule == nullptr ? kUnknownCauseRemedy : rule->remedy;
    const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    return "until " + skh::format(skh::runtime(remedy), file.string(), folder.string());
}

// " now" for a cause that may pass: a file could not be read now.
const char* lf_now(int error) { return lf_mayPass(error) ? " now" : ""; }

constexpr int kDamagedNames = 100;

fs::path lf_damagedName(const fs::path& path, int n) {
    fs::path aside = path;
    aside.replace_extension((n == 1 ? std::string(".damaged") : skh::format(".damaged{}", n)) +
                            path.extension().string());
    return aside;
}

// Why a damaged file stays where it is when every name of its own is taken.
std::string lf_everyNameTaken(const fs::path& path) {
    return skh::format("every name to keep it aside is taken ({} to {})", lf_damagedName(path, 1).filename().string(),
                       lf_damagedName(path, kDamagedNames).filename().string());
}

// The refused save of a file that stays until the user makes room.
std::string lf_notSavedUntilRemoved(const fs::path& path) {
    return skh::format(
        "{} could not be loaded and is kept as it is: {}; learned data of this airport is not saved "
        "until some of those files are removed",
        path.string(), lf_everyNameTaken(path));
}

// A damaged file kept under a name of its own, or why it stays where it is.
struct KeptAside {
    fs::path name;                // empty when it could not be kept
    std::string problem;          // why not
    int error = 0;                // the system's error, when one stopped it
    bool everyNameTaken = false;  // only the user can make room
};

// Whether a name is taken: only when something is there. A name whose
// status cannot be read is neither taken nor free: the keep stops there with
// the system's reason, since something may be there to be written over.
bool lf_taken(const fs::path& aside, KeptAside& kept) {
    bool taken = false;
    if (const int error = platform::pathStatus(aside, taken); error != 0) {
        kept.error = error;
        kept.problem = skh::format("the status of {} could not be read: {}", aside.string(),
                                   std::generic_category().message(error));
    }
    return taken;
}

// Moves a learned file that cannot be read to a name of its own beside it
// (EGLL.xml -> EGLL.damaged.xml, EGLL.damaged2.xml, ...), so that it never
// takes the place of the backup nor of a file set aside before.
KeptAside lf_setDamagedAside(const fs::path& path) {
    KeptAside kept;
    for (int n = 1; n <= kDamagedNames; ++n) {
        const fs::path aside = lf_damagedName(path, n);
        if (lf_taken(aside, kept)) continue;
        if (kept.error != 0) return kept;
        if (const int error = platform::renameFile(path, aside); error != 0) {
            kept.error = error;
            kept.problem =
                skh::format("cannot move it to {}: {}", aside.string(), std::generic_category().message(error));
        } else {
            kept.name = aside;
        }
        return kept;
    }
    kept.problem = lf_everyNameTaken(path);
    kept.everyNameTaken = true;
    return kept;
}

// The same file, or a copy of it.
bool lf_holdsTheSame(const fs::path& aside, const fs::path& path) {
    std::error_code ec;
    if (fs::equivalent(aside, path, ec)) return true;
    const auto size = fs::file_size(aside, ec);
    if (ec || size != fs::file_size(path, ec) || ec) return false;
    std::string a;
    std::string b;
    return platform::readFile(aside, a) == 0 && platform::readFile(path, b) == 0 && a == b;
}

// Keeps a damaged file under a name of its own as above without taking it
// from its own name, so that the name never stands empty: the file that
// replaces it takes it by one rename. A second link to it, or a flushed copy
// where the disk has no links.
KeptAside lf_keepDamagedAside(const fs::path& path) {
    KeptAside kept;
    for (int n = 1; n <= kDamagedNames; ++n) {
        const fs::path aside = lf_damagedName(path, n);
        const int error = platform::linkFile(path, aside);
        if (error == 0) {
            platform::syncFolder(aside.parent_path());
            kept.name = aside;
            return kept;
        }
        if (error == EEXIST || lf_taken(aside, kept)) {
            // Kept there already by a run killed before the file was replaced.
            if (lf_holdsTheSame(aside, path)) {
                kept.name = aside;
                return kept;
            }
            continue;
        }
        if (kept.error != 0) return kept;
        if (gf_copyFileAtomically(path, aside, kept.problem, &kept.error)) kept.name = aside;
        return kept;
    }
    kept.problem = lf_everyNameTaken(path);
    kept.everyNameTaken = true;
    return kept;
}

// Takes a damaged file's second name back once the step that needed it
// failed; true when it is gone.
bool lf_takeBack(const fs::path& aside) {
    std::error_code ec;
    fs::remove(aside, ec);
    return !ec;
}

// A name that lf_damagedName gives `file`: stem.damaged.ext, stem.damaged2.ext, ...
bool lf_isDamagedName(std::string_view name, const fs::path& file) {
    const std::string head = file.stem().string() + ".damaged";
    const std::string extension = file.extension().string();
    if (!name.starts_with(head) || !name.ends_with(extension) || name.size() < head.size() + extension.size()) {
        return false;
    }
    const std::string_view number = name.substr(head.size(), name.size() - head.size() - extension.size());
    if (number.empty()) return true;
    int n = 0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), n);
    return ec == std::errc() && end == number.data() + number.size() && n >= 2 && n <= kDamagedNames &&
           number.front() != '0';
}

// What a killed run left beside a learned file, its backup or a damaged file
// kept aside: never the user's file, so the next restore or save removes it.
void lf_removeLeftovers(const fs::path& path) {
    const fs::path backup = gf_backupPath(path);
    const auto ours = [&](const std::string& target) {
        return target == path.filename().string() || target == backup.filename().string() ||
               lf_isDamagedName(target, path) || lf_isDamagedName(target, backup);
    };
    std::error_code ec;
    const fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::string target = gf_temporaryTarget(name, ".tmp");
        // An older restore's copy, and the copy it was writing.
        if (const std::string restoring = gf_temporaryTarget(target.empty() ? name : target, ".restoring");
            !restoring.empty()) {
            target = restoring;
        }
        if (target.empty() || !ours(target)) continue;
        std::error_code removeEc;
        fs::remove(it->path(), removeEc);
    }
}

// A backup that cannot be read is kept aside before the save's copy takes
// its place, as the learned file is: a user may still mend it. False (the
// save is refused) when it cannot be read now or cannot be kept.
bool lf_keepDamagedBackup(const fs::path& backup, const fs::path& path) {
    const LearnedRead read = lf_readLearnedFile(backup);
    if (read.found == LearnedFound::Missing || read.found == LearnedFound::Good) return true;
    if (read.found == LearnedFound::Unreadable) {
        gf_logWarning(skh::format("{} could not be read{}: {}; it is kept as it is and {} is not saved {}",
                                  backup.string(), lf_now(read.error), read.problem, path.string(),
                                  lf_notSavedUntil(read.error, backup, "now")));
        return false;
    }
    const KeptAside aside = lf_keepDamagedAside(backup);
    if (aside.name.empty()) {
        gf_logWarning(aside.everyNameTaken
                          ? lf_notSavedUntilRemoved(backup)
                          : skh::format("{} could not be loaded and is kept as it is: {}; {} is not saved {}",
                                        backup.string(), aside.problem, path.string(),
                                        lf_notSavedUntil(aside.error, backup, "now")));
        return false;
    }
    gf_logRaw(skh::format("{} could not be loaded, kept as {}", backup.string(), aside.name.string()));
    return true;
}

void lf_readHandmade(const pugi::xml_document& doc, std::vector<Stand>& stands) {
    g_apfHandmade = true;
    stands.clear();
    // Every list: the save writes back what was read, as one list.
    gf_readStandList(doc, 1, stands, StandLists::Every);
    lf_logSetting("handmade", lf_readAirportStringParam(doc, "handmade").value_or(""));
}

// The manual stands read from the file, with the list each came from.
using ManualStands = TextMap<int>;

void lf_addManualStand(const pugi::xml_node& pos, const std::string& name, int list, const fs::path& path,
                       std::vector<Stand>& stands, TextMap<std::size_t>& index, ManualStands& manual) {
    if (const auto it = index.find(name); it != index.end()) {
        // A manual stand that another list of this file holds too is the
        // same stand: its options count once.
        if (const auto read = manual.find(name); read != manual.end() && read->second != list) {
            lf_readParkposOptions(name, pos, stands[it->second]);
            return;
        }
        gf_logWarning(
            skh::format("manually created standid {} already exists in {}", gf_shownText(name), path.string()));
        return;
    }
    const double lat = pos.attribute("latitude").as_double();
    const double lon = pos.attribute("longitude").as_double();
    if ((std::fabs(lat) <= kManualMissingDegrees && std::fabs(lon) <= kManualMissingDegrees) ||
        pos.attribute("radius").as_double() == 0.0) {
        gf_logWarning(skh::format("manually created standid {} misses correct attributes in {}", gf_shownText(name),
                                  path.string()));
        return;
    }
    if (!lf_readParkpos(pos, name, 0, stands)) return;
    stands.back().manual = true;
    index.emplace(name, stands.size() - 1);
    manual.emplace(name, list);
}

// A learned parkpos whose stand is not there; kept for the next save.
void lf_keepUnmatched(const pugi::xml_node& pos, const std::string& name, const fs::path& path) {
    gf_logRaw(skh::format("learned stand {} in {} not found?", gf_shownText(name), path.string()));
    if (lf_standNameProblem(name)) return;
    for (Stand& kept : g_learnedMerge.unmatched) {
        if (kept.name == name) {
            lf_readParkposOptions(name, pos, kept);
            return;
        }
    }
    Stand kept;
    kept.name = name;
    lf_readParkposOptions(name, pos, kept);
    g_learnedMerge.unmatched.push_back(std::move(kept));
}

void lf_mergeLearned(const pugi::xml_document& doc, const fs::path& path, std::vector<Stand>& stands) {
    g_apfHandmade = false;
    // The first stand of a name answers, as a search in stand order would.
    TextMap<std::size_t> index;
    index.reserve(stands.size() * 2);
    for (std::size_t i = 0; i < stands.size(); ++i) index.emplace(stands[i].name, i);
    ManualStands manual;
    // Every list, as one: options that stand in two lists count once.
    gf_forEachParkpos(doc, StandLists::Every, [&](const pugi::xml_node& pos, int list) {
        const std::string name = pos.attribute("id").value();
        if (pos.attribute("manual").as_bool()) {
            lf_addManualStand(pos, name, list, path, stands, index, manual);
            return;
        }
        const auto it = index.find(name);
        if (it == index.end() || !lf_readParkposOptions(name, pos, stands[it->second])) {
            lf_keepUnmatched(pos, name, path);
        }
    });
}

}  // namespace

void gf_resetLearnedMerge() { g_learnedMerge = LearnedMerge{}; }

void gf_setLearnedSettingsHooks(LearnedSettingsHooks hooks) { g_hooks = std::move(hooks); }

bool lf_isSameOption(const StandOption& a, const StandOption& b) {
    return a.weekday == b.weekday && a.real == b.real && (a.halfHours & b.halfHours) != 0 &&
           a.registration == b.registration && a.airline == b.airline && a.type == b.type;
}

bool lf_readParkposOptions(const std::string& name, const pugi::xml_node& parkpos, Stand& stand) {
    if (stand.name != name) return false;
    if (parkpos.attribute("radius_change").as_bool()) {
        std::string problem;
        if (const auto metres = lf_readRadiusMetres(parkpos, problem)) {
            stand.radius = *metres * kNmPerMetre;
            stand.radiusChanged = true;
        } else {
            gf_logWarning(skh::format("radius change of stand '{}' skipped: {}", gf_shownText(name), problem));
        }
    }
    if (parkpos.attribute("cargo_change").as_bool()) {
        stand.cargo = parkpos.attribute("cargo").as_bool();
        stand.cargoChanged = true;
    }
    std::uint32_t next = stand.options.empty() ? 1 : stand.options.back().seq + 1;
    for (pugi::xml_node opt = parkpos.child("opt"); opt; opt = opt.next_sibling("opt")) {
        auto o = lf_readOption(opt, next, 0, name);
        if (!o) continue;
        const bool known = std::any_of(stand.options.begin(), stand.options.end(),
                                       [&](const StandOption& other) { return lf_isSameOption(other, *o); });
        if (known) continue;
        stand.options.push_back(std::move(*o));
        ++next;
    }
    return true;
}

void lf_applyLearnedSettings(const pugi::xml_document& doc) {
    lf_applyBool(doc, LEARN_SOFT);
    // Without the key the limit stays as it is.
    if (const auto v = lf_readAirportIntParam(doc, g_keyMaxLive)) {
        MAX_LIVE_SEL.value = std::clamp(gf_snapMaxAircraft(*v), MAX_LIVE_SEL.minimum, MAX_LIVE_SEL.maximum);
        gf_showIntParameter(MAX_LIVE_SEL);
        lf_logSetting(g_keyMaxLive, std::to_string(MAX_LIVE_SEL.value.load()));
    }
    if (const auto v = lf_readAirportIntParam(doc, g_keyLateralRange)) {
        const std::int32_t snapped = lf_snapRangeStep(*v);
        gf_setRangeSelection(snapped);
        gf_showIntParameter(RANGE);
        lf_enableRangeCombo();
        lf_logSetting(g_keyLateralRange, std::to_string(snapped));
    }
    if (const auto v = lf_readAirportBoolParam(doc, g_keyAutoRange)) {
        AUTO_RANGE.value = *v;
        gf_showBoolParameter(AUTO_RANGE);
        lf_logSetting(g_keyAutoRange, *v ? "true" : "false");
        if (g_hooks.autoRangeChanged) g_hooks.autoRangeChanged(*v);
        gf_showIntParameter(RANGE);
    }
    lf_applyBool(doc, PARK_FAKE);
    lf_applyBool(doc, WEEK);
    lf_applyBool(doc, PARK_SOFT);
    if (const auto v = lf_readAirportIntParam(doc, g_keyParkingPercentage)) {
        std::int32_t percent = *v;
        if (percent % 5 != 0) percent = static_cast<std::int32_t>((static_cast<std::int64_t>(percent) + 2) / 5 * 5);
        parking_percentage.value = std::clamp(percent, 0, 100);
        lf_logSetting(g_keyParkingPercentage, std::to_string(*v));
    } else {
        parking_percentage.value = 30;
    }
    lf_selectChoice(parking_percentage);
    lf_applyBool(doc, INITIAL_LOAD_ONLY);
    if (const auto v = lf_readAirportIntParam(doc, g_keyMaxFit)) {
        MAX_FIT.value = std::clamp(*v, MAX_FIT.minimum, MAX_FIT.maximum);
        if (g_hooks.fitHours) {
            MAX_FIT_FL.value = g_hooks.fitHours(MAX_FIT.value.load());
            lf_selectFloatChoice(MAX_FIT_FL);
        }
        gf_logIndented(skh::format("{:24}: {} (max number of half hours, is {} hrs decimal)", g_keyMaxFit,
                                   MAX_FIT.value.load(), gf_float2string(MAX_FIT_FL.value.load())));
    }
}

namespace {

// Reading steps after the file loaded; `path` is the file the document came
// from (the learned file or its backup).
void lf_mergeLearnedDocument(const pugi::xml_document& doc, const fs::path& path, const std::string& archivedName,
                             std::vector<Stand>& stands) {
    gf_logRaw(skh::format("Read from learned airport file: '{}'", path.string()));
    if (!lf_metaComplete(doc)) {
        gf_logWarning(skh::format("{} has no complete meta block, not merged", path.string()));
        return;
    }
    const std::string learnedName = lf_readAirportStringParam(doc, "airport_name").value_or("");
    if (learnedName != archivedName) {
        gf_setStatusMessage(skh::format("Warning: learned file airport name: '{}' differs from archived file "
                                        "airport name: '{}'",
                                        learnedName, archivedName),
                            true);
    }
    lf_applyLearnedSettings(doc);
    if (const int lists = gf_countStandLists(doc); lists > 1) {
        gf_logRaw(skh::format("{} holds {} stand lists, read as one", path.string(), lists));
    }
    // The key makes the file hand-made, whatever its value.
    if (lf_readAirportBoolParam(doc, "handmade").has_value()) {
        lf_readHandmade(doc, stands);
    } else {
        lf_mergeLearned(doc, path, stands);
    }
    g_learnedMerge.state = LearnedMergeState::Complete;
}

// This run reads the backup, or nothing, in place of the learned file, and
// its save of the airport is refused for `why`.
void lf_refuseSaves(std::string why) {
    g_learnedMerge.refusal = std::move(why);
    if (g_learnedMerge.state == LearnedMergeState::Complete) g_learnedMerge.state = LearnedMergeState::BackupInMemory;
}

// The refusal of this run's saves for `what` happened to `path`, caused by
// `error` met at `file`.
std::string lf_refusal(const fs::path& path, std::string_view what, int error, const fs::path& file) {
    return skh::format("{} {}; learned data of this airport is not saved {}", path.string(), what,
                       lf_notSavedUntil(error, file, "in this run, the next start tries again"));
}

// Moves a learned file that could not be loaded aside at the load, with the
// log line that says where; the new name, or empty when it stays where it
// is: then this run's saves are refused, saying why.
fs::path lf_setUnloadableAside(const fs::path& path, const std::string& description) {
    const KeptAside aside = lf_setDamagedAside(path);
    if (aside.name.empty()) {
        gf_logWarning(skh::format("{} found, but could not be loaded nor moved aside, and is kept as it is: {}; {}",
                                  path.string(), description, aside.problem));
        lf_refuseSaves(aside.everyNameTaken ? lf_notSavedUntilRemoved(path)
                                            : lf_refusal(path,
                                                         skh::format("could not be loaded nor moved aside: {}",
                                                                     std::generic_category().message(aside.error)),
                                                         aside.error, path));
    } else {
        gf_logRaw(skh::format("{} found, but could not be loaded, kept as {}: {}", path.string(), aside.name.string(),
                              description));
    }
    return aside.name;
}

// Puts the backup's copy in place of the damaged learned file so that the
// learned file's name always holds a whole file: the copy is written in full
// beside it, the damaged file is kept aside under a second name, and the copy
// takes the learned file's name by one rename. A kill between any two steps
// leaves the damaged file or the copy there. Empty when restored; else, with
// a log line, why this run's saves are refused: the folder stays as it was.
// The lines are written once the steps they tell of are done.
std::string lf_restoreBackup(const fs::path& path, const LearnedRead& backup, const fs::path& backupPath,
                             const std::string& description) {
    const auto notRestored = [&](int error) {
        return lf_refusal(path,
                          skh::format("could not be loaded and its backup could not take its place: {}",
                                      std::generic_category().message(error)),
                          error, path);
    };
    lf_removeLeftovers(path);
    std::string problem;
    int error = 0;
    const fs::path copy = gf_writeFileBeside(path, backup.bytes, problem, &error);
    if (copy.empty()) {
        gf_logWarning(
            skh::format("{} found, but could not be loaded, and {} could not be copied in its place: {}; "
                        "both are kept as they are: {}",
                        path.string(), backupPath.string(), problem, description));
        return notRestored(error);
    }
    const KeptAside aside = lf_keepDamagedAside(path);
    std::error_code ec;
    if (aside.name.empty()) {
        fs::remove(copy, ec);
        gf_logWarning(skh::format("{} found, but could not be loaded, and is kept as it is: {}; {}", path.string(),
                                  aside.problem, description));
        return aside.everyNameTaken ? lf_notSavedUntilRemoved(path) : notRestored(aside.error);
    }
    if (!gf_replaceWith(copy, path, problem, &error)) {
        // The damaged file is still in its place; its second name goes.
        const bool secondNameGone = lf_takeBack(aside.name);
        gf_logWarning(
            skh::format("{} found, but could not be loaded, and is kept as it is{}: {}; {} could not take "
                        "its place: {}; both are kept as they are",
                        path.string(), secondNameGone ? "" : " and as " + aside.name.string(), description,
                        backupPath.string(), problem));
        return notRestored(error);
    }
    gf_logRaw(skh::format("{} found, but could not be loaded, kept as {}: {}", path.string(), aside.name.string(),
                          description));
    return {};
}

// The learned file at `path` cannot be read in full. A backup that can takes
// its place, on disk as well, so that a run that saves nothing leaves the
// backup's data in force for the next; without one the file goes aside. A
// backup that cannot be read now may be good: nothing moves and this run
// saves nothing. When the backup cannot take the learned file's place on
// disk, it is read all the same and this run saves nothing.
void lf_readInsteadOfDamaged(const fs::path& path, const std::string& description, const std::string& archivedName,
                             std::vector<Stand>& stands) {
    const fs::path backupPath = gf_backupPath(path);
    pugi::xml_document doc;
    const LearnedRead backup = lf_loadLearned(doc, backupPath);
    if (backup.found == LearnedFound::Unreadable) {
        const char* now = lf_now(backup.error);
        gf_logWarning(
            skh::format("{} found, but could not be loaded: {}; its backup {} could not be read{}: {}; "
                        "both are kept as they are",
                        path.string(), description, backupPath.string(), now, backup.problem));
        lf_refuseSaves(lf_refusal(
            path, skh::format("could not be loaded and its backup could not be read{}: {}", now, backup.problem),
            backup.error, backupPath));
        return;
    }
    if (backup.found != LearnedFound::Good) {
        // Kept in place it stays Incomplete, and the save leaves it alone.
        if (lf_setUnloadableAside(path, description).empty()) return;
        g_learnedMerge.state = LearnedMergeState::Damaged;
        if (backup.found == LearnedFound::Damaged) {
            gf_logRaw(skh::format("{} could not be loaded either: {}", backupPath.string(), backup.problem));
        }
        return;
    }
    const std::string refusal = lf_restoreBackup(path, backup, backupPath, description);
    gf_logRaw(skh::format("{} is read in its place", backupPath.string()));
    lf_mergeLearnedDocument(doc, backupPath, archivedName, stands);
    if (!refusal.empty()) lf_refuseSaves(refusal);
}

// A learned file that cannot be read now is left as it is; its backup, when
// that can be read, stands in for it in this run only.
void lf_readInsteadOfUnreadable(const fs::path& path, const LearnedRead& read, const std::string& archivedName,
                                std::vector<Stand>& stands) {
    const fs::path backupPath = gf_backupPath(path);
    pugi::xml_document doc;
    const LearnedRead backup = lf_loadLearned(doc, backupPath);
    const char* now = lf_now(read.error);
    gf_logWarning(skh::format("{} could not be read{} and is kept as it is: {}", path.string(), now, read.problem));
    if (backup.found == LearnedFound::Good) {
        gf_logRaw(skh::format("{} is read in its place", backupPath.string()));
        lf_mergeLearnedDocument(doc, backupPath, archivedName, stands);
    }
    lf_refuseSaves(lf_refusal(path, skh::format("could not be read{}: {}", now, read.problem), read.error, path));
}

}  // namespace

bool lf_readLearned(const fs::path& path, const std::string& archivedName, std::vector<Stand>& stands) {
    g_learnedMerge = LearnedMerge{path, LearnedMergeState::Incomplete, {}, {}};
    try {
        pugi::xml_document doc;
        const LearnedRead read = lf_loadLearned(doc, path);
        switch (read.found) {
            case LearnedFound::Missing:
                g_learnedMerge = LearnedMerge{};
                return false;
            case LearnedFound::Unreadable:
                lf_readInsteadOfUnreadable(path, read, archivedName, stands);
                break;
            case LearnedFound::Damaged:
                lf_readInsteadOfDamaged(path, read.problem, archivedName, stands);
                break;
            case LearnedFound::Good:
                lf_mergeLearnedDocument(doc, path, archivedName, stands);
                break;
        }
    } catch (const std::exception& e) {
        gf_logRaw(skh::format("{}: {}", "lf_readLearned", e.what()));
    }
    return true;
}

std::uint64_t gf_qfPair(std::int32_t real, std::int32_t soft) {
    return static_cast<std::uint32_t>(real) | static_cast<std::uint64_t>(static_cast<std::uint32_t>(soft)) << 32;
}

std::uint64_t gf_qualityFactors(const std::vector<Stand>& stands) {
    const bool anyOption = std::any_of(stands.begin(), stands.end(), [](const Stand& s) { return !s.options.empty(); });
    if (!anyOption) return kNoQualityFactors;
    double totalWeight = 0.0;
    double sums[2] = {0.0, 0.0};  // soft, real
    for (const Stand& s : stands) {
        // Compared with the radius in nm: every stand of realistic size weighs 0.3.
        const double w = s.radius <= 7.0 ? 0.3 : s.radius <= 10.0 ? 1.5 : 1.0;
        totalWeight += w;
        std::int64_t n[2] = {0, 0};
        std::int64_t h[2] = {0, 0};
        unsigned days[2] = {0, 0};
        for (const StandOption& o : s.options) {
            if (o.seq == 0) continue;
            const int kind = o.real == 1 ? 1 : 0;
            ++n[kind];
            h[kind] += std::popcount(o.halfHours & kDayMask);
            if (o.weekday >= 1 && o.weekday <= 7) days[kind] |= 1u << o.weekday;
        }
        for (int kind = 0; kind < 2; ++kind) {
            if (n[kind] == 0) continue;
            sums[kind] +=
                w * static_cast<double>(std::min<std::int64_t>(20 * n[kind], 4000) + 10000 +
                                        100 * std::popcount(days[kind]) + 2 * std::min<std::int64_t>(h[kind], 600));
        }
    }
    if (!(totalWeight > 0.0)) return gf_qfPair(0, 0);
    const auto factor = [&](double sum) { return std::clamp(gf_roundToInt32(sum / totalWeight * 0.00625), 0, 100); };
    return gf_qfPair(factor(sums[1]), factor(sums[0]));
}

std::string lf_fmtQualityFactors(std::uint64_t pair) {
    const std::int32_t real = gf_qfReal(pair);
    const std::int32_t soft = gf_qfSoft(pair);
    if (real < 0 && soft < 0) return "  ";
    if (real < 45) return skh::format("{:2}/{:2}", real, soft);
    return skh::format("{:2}", real);
}

bool gf_writeLearnedFile(const AirportFileData& data, const fs::path& path) {
    const bool mergedHere =
        !g_learnedMerge.path.empty() && g_learnedMerge.path.lexically_normal() == path.lexically_normal();
    if (mergedHere && !g_learnedMerge.refusal.empty()) {
        gf_logWarning(g_learnedMerge.refusal);
        return false;
    }
    if (mergedHere && g_learnedMerge.state == LearnedMergeState::Incomplete) {
        gf_logWarning(
            skh::format("{} was not read completely at load and is kept as it is; learned data of this "
                        "airport is not saved until it is repaired or removed",
                        path.string()));
        return false;
    }
    lf_removeLeftovers(path);
    const fs::path backup = gf_backupPath(path);
    const LearnedRead previous = lf_readLearnedFile(path);
    // A damaged file's second name, taken back when the save fails.
    fs::path aside;
    switch (previous.found) {
        case LearnedFound::Missing:
            break;  // nothing to keep
        case LearnedFound::Unreadable:
            gf_logWarning(skh::format(
                "{} could not be read{}: {}; it is kept as it is and learned data of this airport is not saved {}",
                path.string(), lf_now(previous.error), previous.problem,
                lf_notSavedUntil(previous.error, path, "now")));
            return false;
        case LearnedFound::Good:
            if (!lf_keepDamagedBackup(backup, path)) return false;
            if (std::string problem; !gf_writeFileAtomically(backup, previous.bytes, problem)) {
                gf_logWarning(skh::format("could not keep {} as {}: {}", path.string(), backup.string(), problem));
            }
            break;
        case LearnedFound::Damaged: {
            // Damaged since the load: it must not take the backup's place.
            const KeptAside kept = lf_keepDamagedAside(path);
            if (kept.name.empty()) {
                gf_logWarning(kept.everyNameTaken
                                  ? lf_notSavedUntilRemoved(path)
                                  : skh::format("{} could not be loaded and is kept as it is: {}; learned data of this "
                                                "airport is not saved {}",
                                                path.string(), kept.problem,
                                                lf_notSavedUntil(kept.error, path, "now")));
                return false;
            }
            // Said once the save has shown whether the second name stays.
            aside = kept.name;
            break;
        }
    }
    bool saved = false;
    if (!mergedHere || g_apfHandmade || g_learnedMerge.unmatched.empty()) {
        saved = gf_writeAirportFile(data, path, kLearnedSave);
    } else {
        AirportFileData withUnmatched = data;
        TextSet names;
        for (const Stand& s : data.stands) names.insert(s.name);
        for (const Stand& kept : g_learnedMerge.unmatched) {
            if (!names.contains(kept.name)) withUnmatched.stands.push_back(kept);
        }
        saved = gf_writeAirportFile(withUnmatched, path, kLearnedSave);
    }
    if (aside.empty()) return saved;
    if (saved) {
        gf_logRaw(skh::format("{} could not be loaded, kept as {}; the backup stays as it is", path.string(),
                              aside.string()));
    } else {
        // The damaged file is still in its place, to be kept aside next time.
        const bool secondNameGone = lf_takeBack(aside);
        gf_logWarning(
            skh::format("{} could not be loaded and is kept as it is{}, since the save failed; the backup "
                        "stays as it is",
                        path.string(), secondNameGone ? "" : " and as " + aside.string()));
    }
    return saved;
}

}  // namespace skh
