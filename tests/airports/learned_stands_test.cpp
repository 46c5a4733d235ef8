// Learned stand files merged into an airport's stands, their per-airport
// settings, the quality factors, and a learned save that keeps what it
// could not read.
#include "airports/learned_stands.hpp"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <optional>
#include <regex>
#include <set>

#include "airports/stand_file.hpp"
#include "foundation/main_window_state.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/settings_file.hpp"
#include "foundation/text_files.hpp"
#include "foundation/upcalls.hpp"
#include "platform/file_sync.hpp"
#include "support/test_env.hpp"

namespace skh {
namespace {

const std::string kMeta =
    R"(<meta><info name="author" value="a"/><info name="date" value="d"/><info name="version" value="v"/></meta>)";

std::string learnedFile(const std::string& params, const std::string& stands, const std::string& meta = kMeta) {
    return "<?xml version=\"1.0\"?>" + meta + "<parameters>" + params + "</parameters><parkpositions>" + stands +
           "</parkpositions>";
}

std::string param(const std::string& key, const std::string& value) {
    return R"(<parameter name=")" + key + R"(" value=")" + value + R"("/>)";
}

StandOption archived(std::string reg, std::uint32_t seq, std::uint32_t day, std::uint64_t hours) {
    StandOption o;
    o.airline = "SWR";
    o.type = "A320";
    o.registration = std::move(reg);
    o.seq = seq;
    o.weekday = day;
    o.halfHours = hours;
    o.origin = 1;
    o.real = 1;
    return o;
}

class LearnedStands : public ::testing::Test {
protected:
    void SetUp() override {
        gf_resetLearnedMerge();
        stands = {gf_makeStand("A1", {archived("HBJNA", 1, 2, 1ull << 20)}, 47.0, 8.0, 0.0, 30.0, false, false, false),
                  gf_makeStand("A2", {}, 47.001, 8.0, 0.0, 30.0, false, false, false)};
    }
    void TearDown() override {
        platform::failFileReads({}, 0, 0);
        platform::failRenamesTo({}, 0);
        platform::failLinks(0);
        platform::failStatuses(0);
        platform::failFileSyncs(0);
        gf_resetLearnedMerge();
        g_apfHandmade = false;
        parking_percentage.value = parking_percentage.defaultValue;
        MAX_LIVE_SEL.value = MAX_LIVE_SEL.defaultValue;
        WEEK.value = false;
        gf_setRangeSelection(RANGE.defaultValue);
        gf_clearStatusMessage();
    }
    std::filesystem::path write(const std::string& text) {
        const auto path = dir / "EGLL.xml";
        test::writeFile(path, text);
        return path;
    }
    // What a log line claims against what is on disk: from line `first` on,
    // every name a damaged file is said to be kept as is there, and every
    // damaged file that has come to the folder since `before` is said.
    void expectTheLogTellsTheFolder(std::size_t first, const std::set<std::string>& before) const {
        static const std::regex kKept(R"((?:kept as|and as) (/[^:;, ]+))");
        const std::vector<std::string> lines = log.lines();
        std::set<std::string> said;
        for (std::size_t i = first; i < lines.size(); ++i) {
            for (std::sregex_iterator it(lines[i].begin(), lines[i].end(), kKept), end; it != end; ++it) {
                const std::filesystem::path name((*it)[1].str());
                EXPECT_TRUE(std::filesystem::exists(name)) << lines[i];
                said.insert(name.filename().string());
            }
        }
        for (const std::string& name : test::entryNames(dir.path())) {
            if (name.find(".damaged") != std::string::npos && !before.contains(name)) {
                EXPECT_TRUE(said.contains(name)) << name << " kept without a line saying so";
            }
        }
    }
    // The log from line `first` on.
    std::string logSince(std::size_t first) const {
        const std::vector<std::string> lines = log.lines();
        std::string text;
        for (std::size_t i = first; i < lines.size(); ++i) text += lines[i] + "\n";
        return text;
    }

    test::TempDir dir;
    test::ScopedLog log;
    std::vector<Stand> stands;
};

TEST_F(LearnedStands, ALearnedFileRefinesTheArchivedStandsAndItsLeftoversAreSavedAgain) {
    const std::string opts =
        R"(<opt reg="HBJNA" airl="SWR" type="A320" day="2" hh="19,20"/>)"   // repeats the archived one
        R"(<opt reg="HBJNA" airl="SWR" type="A320" day="2" hh="30"/>)"      // another half-hour
        R"(<opt reg="HBJNA" airl="SWR" type="A320" day="2" hh="30,31"/>)";  // repeats the one before
    const auto path = write(learnedFile(
        param("airport_name", "Heathrow") + param("MAX_LIVE", "60") + param("WEEK", "true"),
        R"(<parkpos id="A1" radius_change="true" radius="42.0">)" + opts + "</parkpos>" +
            R"(<parkpos id="A2" cargo_change="true" cargo="true"/>)"
            R"(<parkpos id="M1" manual="true" latitude="47.002" longitude="8.0" heading="180" radius="20" cargo="false" ramp="true"><opt reg="X1" day="1" hh="4"/></parkpos>)"
            R"(<parkpos id="A2" manual="true" latitude="47.1" longitude="8.1" radius="20"/>)"
            // Named twice in one list: a slip of the user's, warned of and skipped.
            R"(<parkpos id="M1" manual="true" latitude="47.003" longitude="8.0" radius="20"><opt reg="X2" day="2" hh="6"/></parkpos>)"
            R"(<parkpos id="M2" manual="true" latitude="0.00005" longitude="0.0" radius="20"/>)"
            R"(<parkpos id="Z9" radius_change="true" radius="33"><opt reg="Y1" day="3" hh="5"/></parkpos>)"));

    lf_readLearned(path, "London Heathrow", stands);
    EXPECT_EQ(g_learnedMerge.state, LearnedMergeState::Complete);
    EXPECT_FALSE(g_apfHandmade);
    EXPECT_EQ(gf_statusText(),
              "Warning: learned file airport name: 'Heathrow' differs from archived file airport name: 'London "
              "Heathrow'");
    ASSERT_EQ(stands.size(), 3u);
    EXPECT_NEAR(stands[0].radius * 1852.0, 42.0, 1e-9);
    EXPECT_TRUE(stands[0].radiusChanged);
    ASSERT_EQ(stands[0].options.size(), 2u);
    EXPECT_EQ(stands[0].options[1].seq, 2u);
    EXPECT_EQ(stands[0].options[1].halfHours, 1ull << 30);
    EXPECT_EQ(stands[0].options[1].origin, 0u);
    EXPECT_TRUE(stands[1].cargo && stands[1].cargoChanged);
    EXPECT_EQ(stands[2].name, "M1");
    EXPECT_TRUE(stands[2].manual && stands[2].ramp);
    EXPECT_EQ(stands[2].options.at(0).origin, 0u);
    EXPECT_EQ(stands[2].options.size(), 1u);
    EXPECT_TRUE(log.contains("===> manually created standid M1 already exists in"));
    EXPECT_TRUE(log.contains("===> manually created standid A2 already exists in"));
    EXPECT_TRUE(log.contains("===> manually created standid M2 misses correct attributes in"));
    EXPECT_TRUE(log.contains("learned stand Z9 in " + path.string() + " not found?"));
    EXPECT_EQ(MAX_LIVE_SEL.value.load(), 50);
    EXPECT_TRUE(WEEK.value.load());
    EXPECT_EQ(parking_percentage.value.load(), 30);  // absent

    // The save keeps the previous file as EGLL0.xml and writes Z9 again.
    AirportFileData data;
    data.stands = stands;
    const std::string before = test::readFile(path);
    ASSERT_TRUE(gf_writeLearnedFile(data, path));
    EXPECT_EQ(test::readFile(dir / "EGLL0.xml"), before);
    pugi::xml_document saved;
    ASSERT_TRUE(saved.load_file(path.c_str()));
    const auto z9 = saved.child("parkpositions").find_child_by_attribute("parkpos", "id", "Z9");
    ASSERT_TRUE(z9);
    EXPECT_STREQ(z9.attribute("radius").value(), "33.0");
    EXPECT_STREQ(z9.child("opt").attribute("reg").value(), "Y1");
}

TEST_F(LearnedStands, LearnedOptionsGoToTheFirstStandOfTheirName) {
    stands.push_back(gf_makeStand("A1", {}, 47.2, 8.0, 0.0, 30.0, false, false, false));
    const auto path = write(learnedFile("", R"(<parkpos id="A1"><opt reg="Q" day="1" hh="1"/></parkpos>)"));
    lf_readLearned(path, "", stands);
    EXPECT_EQ(stands[0].options.size(), 2u);
    EXPECT_EQ(stands[2].options.size(), 0u);
}

// A learned file that does not load goes aside under a name of its own, and
// its backup is read and copied in its place only when it loads. On a disk
// without links the damaged file is kept by a copy, which never takes the
// name of an older damaged file.
TEST_F(LearnedStands, ADamagedFileGoesAsideAndOnlyAReadableBackupTakesItsPlace) {
    namespace fs = std::filesystem;
    const std::string readable = learnedFile("", R"(<parkpos id="A2"><opt reg="B1" day="4" hh="9"/></parkpos>)");
    struct Case {
        const char* label;
        std::optional<std::string> backup;  // none: no backup
        LearnedMergeState state;
        std::size_t a2Options;
        bool saved;
        bool noLinks = false;
        std::optional<std::string> keptBefore = std::nullopt;  // an older damaged file at EGLL.damaged.xml
    };
    const Case cases[] = {
        {"no backup", std::nullopt, LearnedMergeState::Damaged, 0, true},
        {"a readable backup", readable, LearnedMergeState::Complete, 1, true},
        {"a damaged backup", "<parkpositions>", LearnedMergeState::Damaged, 0, true},
        {"a backup without meta", learnedFile("", "", ""), LearnedMergeState::Incomplete, 0, false},
        {"a readable backup, on a disk without links", readable, LearnedMergeState::Complete, 1, true, true},
        {"a readable backup, on a disk without links, an older damaged file kept", readable,
         LearnedMergeState::Complete, 1, true, true, "<older damage"},
    };
    const auto backup = dir / "EGLL0.xml";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        SetUp();
        for (const auto& entry : fs::directory_iterator(dir.path())) fs::remove(entry.path());
        const auto path = write("<meta><parameters>");
        if (c.backup) test::writeFile(backup, *c.backup);
        if (c.keptBefore) test::writeFile(dir / "EGLL.damaged.xml", *c.keptBefore);
        const auto aside = dir / (c.keptBefore ? "EGLL.damaged2.xml" : "EGLL.damaged.xml");
        const std::set<std::string> before = test::entryNames(dir.path());
        const std::size_t firstLine = log.lines().size();
        platform::failLinks(c.noLinks ? EPERM : 0);
        lf_readLearned(path, "x", stands);
        EXPECT_EQ(g_learnedMerge.state, c.state);
        EXPECT_EQ(stands.size(), 2u);
        EXPECT_EQ(stands[1].options.size(), c.a2Options);
        // The damaged bytes are kept in full, and an older file as it was.
        EXPECT_EQ(test::readFile(aside), "<meta><parameters>");
        if (c.keptBefore) {
            EXPECT_EQ(test::readFile(dir / "EGLL.damaged.xml"), *c.keptBefore);
        }
        EXPECT_TRUE(log.contains(path.string() + " found, but could not be loaded, kept as " + aside.string() + ": "));
        expectTheLogTellsTheFolder(firstLine, before);
        // On disk the backup stands in for the damaged file, or nothing does.
        EXPECT_EQ(fs::exists(path), c.state != LearnedMergeState::Damaged);
        if (fs::exists(path)) {
            EXPECT_EQ(test::readFile(path), *c.backup);
        }
        EXPECT_EQ(gf_writeLearnedFile(AirportFileData{}, path), c.saved);
        if (c.backup) {
            EXPECT_EQ(test::readFile(backup), *c.backup);
        }
        EXPECT_FALSE(fs::exists(dir / (c.keptBefore ? "EGLL.damaged3.xml" : "EGLL.damaged2.xml")));
    }
    platform::failLinks(0);
    const auto aside = dir / "EGLL.damaged.xml";
    EXPECT_TRUE(log.contains(backup.string() + " is read in its place"));
    EXPECT_TRUE(log.contains(backup.string() + " could not be loaded either: "));

    // Damaged after the load: the save moves it aside too, and both the
    // backup and the file set aside before stay.
    SetUp();
    for (const auto& entry : fs::directory_iterator(dir.path())) fs::remove(entry.path());
    test::writeFile(aside, "<meta><parameters>");
    const auto path = write(readable);
    test::writeFile(backup, readable);
    lf_readLearned(path, "x", stands);
    test::writeFile(path, "<cut");
    ASSERT_TRUE(gf_writeLearnedFile(AirportFileData{}, path));
    EXPECT_EQ(test::readFile(backup), readable);
    EXPECT_EQ(test::readFile(dir / "EGLL.damaged2.xml"), "<cut");
    EXPECT_EQ(test::readFile(aside), "<meta><parameters>");
    EXPECT_TRUE(log.contains(path.string() + " could not be loaded, kept as " + (dir / "EGLL.damaged2.xml").string()));

    // Damaged once more with every name of its own taken: a half-finished
    // edit of the user's, which the save leaves as it is.
    for (int n = 3; n <= 100; ++n) test::writeFile(dir / ("EGLL.damaged" + std::to_string(n) + ".xml"), "taken");
    test::writeFile(path, "<meta><parameters><param");
    EXPECT_FALSE(gf_writeLearnedFile(AirportFileData{}, path));
    EXPECT_EQ(test::readFile(path), "<meta><parameters><param");
    EXPECT_EQ(test::readFile(backup), readable);
    // The log says what stops the save and what the user can do about it.
    EXPECT_TRUE(log.contains(path.string() +
                             " could not be loaded and is kept as it is: every name to keep it aside is taken "
                             "(EGLL.damaged.xml to EGLL.damaged100.xml); learned data of this airport is not saved "
                             "until some of those files are removed"));

    // The same for a damaged backup that the save's copy would replace.
    test::writeFile(dir / "EGLL0.damaged.xml", "taken");
    for (int n = 2; n <= 100; ++n) test::writeFile(dir / ("EGLL0.damaged" + std::to_string(n) + ".xml"), "taken");
    test::writeFile(path, readable);
    test::writeFile(backup, "<meta><parameters>");
    EXPECT_FALSE(gf_writeLearnedFile(AirportFileData{}, path));
    EXPECT_EQ(test::readFile(backup), "<meta><parameters>");
    EXPECT_EQ(test::readFile(path), readable);
    EXPECT_TRUE(log.contains(backup.string() +
                             " could not be loaded and is kept as it is: every name to keep it aside is taken "
                             "(EGLL0.damaged.xml to EGLL0.damaged100.xml); learned data of this airport is not saved "
                             "until some of those files are removed"));

    // Every name of its own taken at the load: the readable backup is read in
    // memory only, both stay as they are, and this run saves nothing.
    SetUp();
    test::writeFile(backup, readable);
    test::writeFile(path, "<cut short");
    const std::set<std::string> before = test::entryNames(dir.path());
    lf_readLearned(path, "x", stands);
    EXPECT_EQ(g_learnedMerge.state, LearnedMergeState::BackupInMemory);
    EXPECT_EQ(stands[1].options.size(), 1u);
    EXPECT_FALSE(gf_writeLearnedFile(AirportFileData{}, path));
    EXPECT_EQ(test::readFile(path), "<cut short");
    EXPECT_EQ(test::readFile(backup), readable);
    EXPECT_EQ(test::entryNames(dir.path()), before);
    // No start would do better until the user makes room: none is promised.
    EXPECT_FALSE(log.contains("the next start tries again"));
    EXPECT_TRUE(log.lines().back().ends_with(
        path.string() +
        " could not be loaded and is kept as it is: every name to keep it aside is taken "
        "(EGLL.damaged.xml to EGLL.damaged100.xml); learned data of this airport is not saved "
        "until some of those files are removed"));
    // A file already kept under one of those names is not kept twice.
    test::writeFile(path, "<cut");
    SetUp();
    lf_readLearned(path, "x", stands);
    EXPECT_EQ(g_learnedMerge.state, LearnedMergeState::Complete);
    EXPECT_EQ(test::readFile(path), readable);
    EXPECT_EQ(test::entryNames(dir.path()), before);
}

// A file with a complete meta block was written by a save, which always
// writes the parameters and the stand list after it: without them it was cut.
// Hand-made files and files without a complete meta block keep their rules.
TEST_F(LearnedStands, ASavedFileCountsAsReadOnlyWithTheSectionsEverySaveWrites) {
    namespace fs = std::filesystem;
    const std::string readable = learnedFile("", R"(<parkpos id="A2"><opt reg="B1" day="4" hh="9"/></parkpos>)");
    const std::string head = "<?xml version=\"1.0\"?>" + kMeta;
    struct Case {
        const char* label;
        std::string text;
        bool setAside;  // the backup is read in its place
        LearnedMergeState state;
        bool handmade;
        bool saved;
    };
    const Case cases[] = {
        {"cut after its meta block", head, true, LearnedMergeState::Complete, false, true},
        {"cut after its parameters", head + "<parameters>" + param("MAX_LIVE", "60") + "</parameters>", true,
         LearnedMergeState::Complete, false, true},
        {"a stand list without parameters", head + "<parkpositions/>", true, LearnedMergeState::Complete, false, true},
        {"an older version's file, no stands", learnedFile("", ""), false, LearnedMergeState::Complete, false, true},
        {"hand-made without a stand list", head + "<parameters>" + param("handmade", "true") + "</parameters>", false,
         LearnedMergeState::Complete, true, true},
        {"no meta block, no stand list", "<parameters/>", false, LearnedMergeState::Incomplete, false, false},
    };
    const auto backup = dir / "EGLL0.xml";
    const auto aside = dir / "EGLL.damaged.xml";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        SetUp();
        g_apfHandmade = false;
        fs::remove(aside);
        const auto path = write(c.text);
        test::writeFile(backup, readable);
        lf_readLearned(path, "x", stands);
        EXPECT_EQ(g_learnedMerge.state, c.state);
        EXPECT_EQ(g_apfHandmade, c.handmade);
        EXPECT_EQ(fs::exists(aside), c.setAside);
        if (c.setAside) {
            EXPECT_EQ(test::readFile(aside), c.text);
            EXPECT_EQ(stands.at(1).options.size(), 1u);
            EXPECT_EQ(MAX_LIVE_SEL.value.load(), MAX_LIVE_SEL.defaultValue);  // the cut file's is not applied
        }
        EXPECT_EQ(gf_writeLearnedFile(AirportFileData{}, path), c.saved);
        // The backup is the readable file a save found, or the one before.
        EXPECT_EQ(test::readFile(backup), c.setAside || !c.saved ? readable : c.text);
    }
    EXPECT_TRUE(log.contains((dir / "EGLL.xml").string() + " found, but could not be loaded, kept as " +
                             aside.string() + ": its parkpositions section is missing"));
    EXPECT_TRUE(log.contains(": its parameters section is missing"));
}

TEST_F(LearnedStands, AFileThatCouldNotBeReadCompletelyIsNeverOverwritten) {
    struct Case {
        const char* label;
        std::string text;
        std::size_t standsAfter;
    };
    const std::string stand = R"(<parkpos id="%" latitude="47" longitude="8" radius="30"/>)";
    auto named = [&](const char* n) {
        std::string s = stand;
        s.replace(s.find('%'), 1, n);
        return s;
    };
    const std::vector<Case> cases = {
        {"meta without a date",
         learnedFile("", named("A1"),
                     R"(<meta><info name="author" value="a"/><info name="version" value="v"/></meta>)"),
         2},
        {"hand-made with a repeated name",
         learnedFile(param("handmade", "false"), named("H1") + named("H2") + named("H1") + named("H3")), 2},
        {"hand-made with a name repeated in its second list",
         learnedFile(param("handmade", "true"),
                     named("H1") + named("H2") + "</parkpositions><parkpositions>" + named("H4") + named("H1")),
         3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        SetUp();
        const auto path = write(c.text);
        lf_readLearned(path, "x", stands);
        EXPECT_EQ(g_learnedMerge.state, LearnedMergeState::Incomplete);
        EXPECT_EQ(stands.size(), c.standsAfter);
        EXPECT_FALSE(gf_writeLearnedFile(AirportFileData{}, path));
        EXPECT_EQ(test::readFile(path), c.text);
        EXPECT_FALSE(std::filesystem::exists(dir / "EGLL0.xml"));
    }
    // The hand-made file still counted as hand-made, and its stands before
    // the repeated one are in place.
    EXPECT_TRUE(g_apfHandmade);
    EXPECT_EQ(stands[0].name, "H1");
    EXPECT_EQ(stands[1].name, "H2");
    EXPECT_TRUE(log.contains("lf_readLearned: 94: Parking position H1 appears more than once?"));

    // Without a repeat, the stands of every list are read: the save writes
    // back what was read.
    SetUp();
    const auto path = write(learnedFile(param("handmade", "true"),
                                        named("H1") + "</parkpositions><parkpositions>" + named("H2") + named("H3")));
    lf_readLearned(path, "x", stands);
    EXPECT_EQ(g_learnedMerge.state, LearnedMergeState::Complete);
    ASSERT_EQ(stands.size(), 3u);
    EXPECT_EQ(stands[2].name, "H3");
}

TEST_F(LearnedStands, PerAirportSettingsAreSnappedToTheirChoices) {
    struct Case {
        const char* key;
        const char* value;  // null: absent
        IntParameter& setting;
        std::int32_t expected;
    };
    const std::vector<Case> cases = {
        {"parking_percentage", "23", parking_percentage, 25},
        {"parking_percentage", "22", parking_percentage, 20},
        {"parking_percentage", "103", parking_percentage, 100},
        {"parking_percentage", "-10", parking_percentage, 0},
        {"parking_percentage", nullptr, parking_percentage, 30},
        {"MAX_LIVE", "60", MAX_LIVE_SEL, 50},
        {"MAX_LIVE", "300", MAX_LIVE_SEL, 500},
        {"MAX_LIVE", "0", MAX_LIVE_SEL, 0},
        {"MAX_LIVE", nullptr, MAX_LIVE_SEL, 75},
        {"LATERAL_RANGE", "33", RANGE, 35},
        {"MAX_FIT", "99", MAX_FIT, 47},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.key << "=" << (c.value ? c.value : "(absent)"));
        MAX_LIVE_SEL.value = 75;
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_string(learnedFile(c.value ? param(c.key, c.value) : "", "").c_str()));
        lf_applyLearnedSettings(doc);
        EXPECT_EQ(c.setting.value.load(), c.expected);
    }
    EXPECT_TRUE(log.contains("          parking_percentage      : 23"));
    MAX_FIT.value = MAX_FIT.defaultValue;
}

TEST_F(LearnedStands, QualityFactorsRateTheShareOfStandsWithLearnedOptions) {
    EXPECT_EQ(gf_qualityFactors({}), kNoQualityFactors);
    stands[0].options.clear();
    EXPECT_EQ(gf_qualityFactors(stands), kNoQualityFactors);
    EXPECT_EQ(lf_fmtQualityFactors(kNoQualityFactors), "  ");

    stands[0].options = {archived("HBJNA", 1, 2, 1ull << 20)};
    const std::uint64_t pair = gf_qualityFactors(stands);  // round(10122 / 2 * 0.00625)
    EXPECT_EQ(gf_qfReal(pair), 32);
    EXPECT_EQ(gf_qfSoft(pair), 0);
    EXPECT_EQ(lf_fmtQualityFactors(pair), "32/ 0");
    EXPECT_EQ(lf_fmtQualityFactors(gf_qfPair(50, -1)), "50");

    stands[0].options[0].seq = 0;  // withdrawn options do not count
    EXPECT_EQ(gf_qualityFactors(stands), gf_qfPair(0, 0));
    for (Stand& s : stands) {
        for (std::uint32_t i = 1; i <= 300; ++i) s.options.push_back(archived("R", i, i % 7 + 1, ~0ull));
    }
    // 200 options, 7 weekdays and 600 half-hours count at most: 15900 x 0.00625.
    EXPECT_EQ(gf_qfReal(gf_qualityFactors(stands)), 99);
}

// A run killed after a step that changes the disk ends at once, as by a power
// cut: nothing after that step runs, not even a clean-up.
constexpr int kKilled = 77;
int g_stepsBeforeKill = 0;

void killAtThisStep() {
    if (--g_stepsBeforeKill == 0) ::_exit(kKilled);
}

// Runs `work` in a child process killed after its `step`th step that changes
// the disk; false when the work ended before that step.
bool killedAfterStep(int step, const std::function<void()>& work) {
    const pid_t child = ::fork();
    if (child == 0) {
        g_stepsBeforeKill = step;
        platform::setDiskStepHook(killAtThisStep);
        work();
        ::_exit(0);
    }
    int status = -1;
    EXPECT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_TRUE(WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == kKilled) << WEXITSTATUS(status);
    return WIFEXITED(status) && WEXITSTATUS(status) == kKilled;
}

// The learned file's name never stands empty: a restore, and a save that
// finds the file damaged, are killed after each of their steps in turn, and
// the next start finds a whole file there and restores every option.
TEST_F(LearnedStands, AKillAtAnyStepOfARestoreOrASaveLeavesAWholeLearnedFileAndEveryOption) {
    namespace fs = std::filesystem;
    const std::string good = learnedFile("", R"(<parkpos id="A2"><opt reg="B1" day="4" hh="9"/></parkpos>)");
    const std::string damaged = "<meta><parameters>";
    const auto path = dir / "EGLL.xml";
    const auto backup = dir / "EGLL0.xml";
    const auto save = [&] {
        AirportFileData data;
        data.stands = stands;
        return gf_writeLearnedFile(data, path);
    };
    struct Case {
        const char* label;
        std::function<void()> before;  // in this process
        std::function<void()> killed;  // in the child
        bool keepsOthers = false;      // files of others lie beside
    };
    const Case cases[] = {
        // A killed run of an older version left its copies beside: never
        // read, and removed by the next restore or save.
        {"the restore at the start, and the save",
         [&] {
             test::writeFile(path, damaged);
             test::writeFile(dir / "EGLL.xml.4242-7.restoring", good);
             test::writeFile(dir / "EGLL.xml.4242-6.restoring.4242-5.tmp", "<half");
             test::writeFile(dir / "EGLL.damaged.xml.4242-4.tmp", "<half");
             // Not this airport's, or not a copy: the user's.
             test::writeFile(dir / "LSZH.xml.4242-3.tmp", "<half");
             test::writeFile(dir / "EGLL.xml.old.tmp", "<half");
             test::writeFile(dir / "EGLL.xml.4242-8.tmp", "<half");
             test::writeFile(dir / "EGLL0.xml.4242-9.tmp", "<half");
         },
         [&] {
             lf_readLearned(path, "x", stands);
             save();
         },
         true},
        {"the restore on a disk without links, and the save",
         [&] {
             test::writeFile(path, damaged);
             platform::failLinks(EPERM);
         },
         [&] {
             lf_readLearned(path, "x", stands);
             save();
         }},
        {"a save that finds the file damaged since the load",
         [&] {
             test::writeFile(path, good);
             lf_readLearned(path, "x", stands);
             test::writeFile(path, damaged);
         },
         [&] { save(); }},
    };
    for (const Case& c : cases) {
        int step = 1;
        for (;; ++step) {
            SCOPED_TRACE(std::string(c.label) + ", killed after step " + std::to_string(step));
            SetUp();
            for (const auto& entry : fs::directory_iterator(dir.path())) fs::remove(entry.path());
            test::writeFile(backup, good);
            c.before();
            const bool killed = killedAfterStep(step, c.killed);
            platform::failLinks(0);
            if (!killed) break;

            const std::string left = test::readFile(path);
            EXPECT_TRUE(left == damaged || left == good || left.find(R"(reg="B1")") != std::string::npos) << left;
            EXPECT_EQ(test::readFile(backup).find(R"(reg="B1")") != std::string::npos, true);
            SetUp();
            EXPECT_TRUE(lf_readLearned(path, "x", stands));
            EXPECT_EQ(g_learnedMerge.state, LearnedMergeState::Complete);
            EXPECT_EQ(stands[1].options.size(), 1u);
            EXPECT_TRUE(save());
            for (const std::string& name : test::entryNames(dir.path())) {
                EXPECT_FALSE((name.ends_with(".tmp") || name.ends_with(".restoring")) &&
                             !(name == "LSZH.xml.4242-3.tmp" || name == "EGLL.xml.old.tmp"))
                    << name;
                if (name.find(".damaged") != std::string::npos) {
                    EXPECT_EQ(test::readFile(dir / name), damaged);
                    // Kept once, however often a kill made the next run keep it again.
                    EXPECT_EQ(name, "EGLL.damaged.xml");
                }
            }
            SetUp();
            lf_readLearned(path, "x", stands);
            EXPECT_EQ(stands[1].options.size(), 1u);
            EXPECT_EQ(test::readFile(backup).find(R"(reg="B1")") != std::string::npos, true);
            if (c.keepsOthers) {
                EXPECT_TRUE(fs::exists(dir / "LSZH.xml.4242-3.tmp"));
                EXPECT_TRUE(fs::exists(dir / "EGLL.xml.old.tmp"));
            }
        }
        // A link and at least two files written and renamed.
        EXPECT_GE(step, 4) << c.label;
    }
}

// A step of a restore or a save that fails keeps the folder as it was: the
// damaged file in its place and its backup, with nothing beside them. The log
// says so, after the step: never that the file is kept under a name that a
// later step took back, nor that a name is taken when its status could not be
// read. A cause that may pass is tried again by the next start; one that lasts
// is named with what the user can do, and nothing is promised.
TEST_F(LearnedStands, AStepThatFailsLeavesTheFolderAsItWasAndTheLogSaysSo) {
    namespace fs = std::filesystem;
    const std::string good = learnedFile("", R"(<parkpos id="A2"><opt reg="B1" day="4" hh="9"/></parkpos>)");
    const auto path = dir / "EGLL.xml";
    const auto backup = dir / "EGLL0.xml";
    const auto aside = dir / "EGLL.damaged.xml";
    const std::string notRestored = path.string() + " could not be loaded and its backup could not take its place: ";
    const std::string triesAgain =
        "; learned data of this airport is not saved in this run, the next start tries again";
    const std::string statusFails = "the status of " + aside.string() + " could not be read: ";
    const std::string readOnly = "; learned data of this airport is not saved until " + dir.path().string() +
                                 " is on a disk that can be written";
    struct Case {
        const char* label;
        bool withBackup;
        bool atSave;                 // a good file damaged after the load, and the disk fails at the save
        std::function<void()> fail;  // how the disk fails
        LearnedMergeState state;     // after the load
        std::string logged;          // a line says why nothing moved
        std::string refused;         // the end of the last line, the refused save's
    };
    const Case cases[] = {
        {"the backup's copy cannot take the learned file's name", true, false,
         [&] { platform::failRenamesTo(path, EIO); }, LearnedMergeState::BackupInMemory,
         "; " + backup.string() +
             " could not take its place: cannot replace it: Input/output error; both are kept "
             "as they are",
         notRestored + "Input/output error" + triesAgain},
        {"a save that fails after keeping the file damaged since the load", true, true,
         [&] { platform::failRenamesTo(path, ENOSPC); }, LearnedMergeState::Complete,
         "Writing '" + path.string() + "' failed: cannot replace it: No space left on device",
         path.string() + " could not be loaded and is kept as it is, since the save failed; the backup stays as it "
                         "is"},
        {"no status of its names can be read, without a backup", false, false, [] { platform::failStatuses(EIO); },
         LearnedMergeState::Incomplete, " found, but could not be loaded nor moved aside, and is kept as it is: ",
         path.string() + " could not be loaded nor moved aside: Input/output error" + triesAgain},
        {"no status of its names can be read, at a restore on a disk without links", true, false,
         [] {
             platform::failLinks(EPERM);
             platform::failStatuses(EIO);
         },
         LearnedMergeState::BackupInMemory, statusFails + "Input/output error",
         notRestored + "Input/output error" + triesAgain},
        {"no status of its names can be read, at a save on a disk without links", true, true,
         [] {
             platform::failLinks(EPERM);
             platform::failStatuses(EIO);
         },
         LearnedMergeState::Complete, statusFails + "Input/output error",
         path.string() + " could not be loaded and is kept as it is: " + statusFails +
             "Input/output error; learned data of this airport is not saved now"},
        {"a folder this user may not search, at a restore on a disk without links", true, false,
         [] {
             platform::failLinks(EPERM);
             platform::failStatuses(EACCES);
         },
         LearnedMergeState::BackupInMemory, statusFails + "Permission denied",
         notRestored +
             "Permission denied; learned data of this airport is not saved until this user may read and "
             "write " +
             path.string() + " and its folder"},
        // A read-only folder refuses to create a file; the failing flush stands in for it.
        {"a read-only learned folder at a restore", true, false, [] { platform::failFileSyncs(EROFS); },
         LearnedMergeState::BackupInMemory, " could not be copied in its place: cannot write ",
         notRestored + "Read-only file system" + readOnly},
        {"a read-only learned folder at a save", true, true,
         [] {
             platform::failLinks(EROFS);
             platform::failFileSyncs(EROFS);
         },
         LearnedMergeState::Complete, path.string() + " could not be loaded and is kept as it is: cannot write ",
         "Read-only file system" + readOnly},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        SetUp();
        for (const auto& entry : fs::directory_iterator(dir.path())) fs::remove(entry.path());
        if (c.withBackup) test::writeFile(backup, good);
        const std::string damaged = c.atSave ? "<cut again" : "<cut";
        write(c.atSave ? good : damaged);
        const std::size_t firstLine = log.lines().size();
        if (!c.atSave) c.fail();
        lf_readLearned(path, "x", stands);
        EXPECT_EQ(g_learnedMerge.state, c.state);
        EXPECT_EQ(stands[1].options.size(), c.withBackup ? 1u : 0u);
        if (c.atSave) {
            write(damaged);
            c.fail();
        }
        const std::set<std::string> before = test::entryNames(dir.path());
        EXPECT_FALSE(gf_writeLearnedFile(AirportFileData{}, path));
        EXPECT_EQ(test::entryNames(dir.path()), before);
        EXPECT_EQ(test::readFile(path), damaged);
        if (c.withBackup) {
            EXPECT_EQ(test::readFile(backup), good);
        }
        const std::string said = logSince(firstLine);
        EXPECT_NE(said.find(c.logged), std::string::npos) << said;
        EXPECT_TRUE(log.lines().back().ends_with(c.refused)) << log.lines().back();
        EXPECT_EQ(said.find("is taken"), std::string::npos) << said;
        if (c.refused.find("tries again") == std::string::npos) {
            EXPECT_EQ(said.find("tries again"), std::string::npos) << said;
        }
        expectTheLogTellsTheFolder(firstLine, before);

        // The next start, on a disk that works, keeps the damaged file aside,
        // with a line that says where, and restores every option.
        platform::failRenamesTo({}, 0);
        platform::failLinks(0);
        platform::failStatuses(0);
        platform::failFileSyncs(0);
        SetUp();
        const std::size_t nextStart = log.lines().size();
        lf_readLearned(path, "x", stands);
        EXPECT_EQ(g_learnedMerge.state, c.withBackup ? LearnedMergeState::Complete : LearnedMergeState::Damaged);
        EXPECT_EQ(stands[1].options.size(), c.withBackup ? 1u : 0u);
        EXPECT_TRUE(gf_writeLearnedFile(AirportFileData{}, path));
        EXPECT_EQ(test::readFile(aside), damaged);
        expectTheLogTellsTheFolder(nextStart, before);
    }
}

// A file that cannot be read for a moment may be good: nothing moves, what
// can be read is read, the save is refused with the system's reason, and the
// next start, or the next save, reads it all. A file this user may not read
// is kept the same way, but that is no moment: the line says what the user
// can do, and promises nothing.
TEST_F(LearnedStands, AFileThatCannotBeReadForAMomentIsNeverTakenForDamaged) {
    const std::string good = learnedFile("", R"(<parkpos id="A2"><opt reg="B1" day="4" hh="9"/></parkpos>)");
    const auto path = dir / "EGLL.xml";
    const auto backup = dir / "EGLL0.xml";
    struct Case {
        const char* label;
        std::string learned;
        std::optional<std::string> backup;
        bool atSave;  // the read fails at the save, not at the load
        std::filesystem::path failing;
        int error;
        std::size_t a2Options;  // read in memory
        std::string logged;
    };
    const std::string notSaved = "; learned data of this airport is not saved in this run, the next start tries again";
    const Case cases[] = {
        {"the learned file, without a backup", good, std::nullopt, false, path, EIO, 0,
         path.string() + " could not be read now: Input/output error" + notSaved},
        {"the learned file, its backup read instead", good, good, false, path, EBUSY, 1,
         path.string() + " could not be read now: Device or resource busy" + notSaved},
        {"the learned file, which this user may not read", good, good, false, path, EACCES, 1,
         path.string() +
             " could not be read: Permission denied; learned data of this airport is not saved until this "
             "user may read and write " +
             path.string() + " and its folder"},
        {"the backup of a damaged file", "<cut", good, false, backup, EIO, 0,
         path.string() + " could not be loaded and its backup could not be read now: Input/output error" + notSaved},
        {"the backup of a damaged file, which this user may not read", "<cut", good, false, backup, EACCES, 0,
         path.string() +
             " could not be loaded and its backup could not be read: Permission denied; learned data of "
             "this airport is not saved until this user may read and write " +
             backup.string() + " and its folder"},
        {"the learned file at the save", good, good, true, path, EIO, 1,
         path.string() + " could not be read now: Input/output error; it is kept as it is and learned data of this "
                         "airport is not saved now"},
        {"the backup at the save", good, good, true, backup, EBUSY, 1,
         backup.string() + " could not be read now: Device or resource busy; it is kept as it is and " + path.string() +
             " is not saved now"},
        {"the learned file at the save, which this user may not read", good, good, true, path, EACCES, 1,
         path.string() +
             " could not be read: Permission denied; it is kept as it is and learned data of this airport "
             "is not saved until this user may read and write " +
             path.string() + " and its folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        SetUp();
        std::filesystem::remove(backup);
        write(c.learned);
        if (c.backup) test::writeFile(backup, *c.backup);
        const std::set<std::string> before = test::entryNames(dir.path());
        const std::size_t firstLine = log.lines().size();
        if (!c.atSave) platform::failFileReads(c.failing, c.error, 1);
        lf_readLearned(path, "x", stands);
        EXPECT_EQ(stands[1].options.size(), c.a2Options);
        if (c.atSave) platform::failFileReads(c.failing, c.error, 1);
        EXPECT_FALSE(gf_writeLearnedFile(AirportFileData{}, path));
        EXPECT_TRUE(log.lines().back().ends_with(c.logged)) << log.lines().back();
        if (c.logged.find(" now") == std::string::npos) {
            EXPECT_EQ(logSince(firstLine).find("tries again"), std::string::npos);
        }
        EXPECT_EQ(test::entryNames(dir.path()), before);
        EXPECT_EQ(test::readFile(path), c.learned);

        // Once the file can be read again, all of it is.
        if (c.atSave) {
            EXPECT_TRUE(gf_writeLearnedFile(AirportFileData{}, path));
            continue;
        }
        SetUp();
        lf_readLearned(path, "x", stands);
        EXPECT_EQ(g_learnedMerge.state, LearnedMergeState::Complete);
        EXPECT_EQ(stands[1].options.size(), 1u);
        EXPECT_TRUE(gf_writeLearnedFile(AirportFileData{}, path));
    }
    // A learned file that is not there is the user's fresh start.
    std::filesystem::remove(path);
    SetUp();
    EXPECT_FALSE(lf_readLearned(path, "x", stands));
    EXPECT_EQ(g_learnedMerge.state, LearnedMergeState::None);
}

}  // namespace
}  // namespace skh
