// Learning stand options from live aircraft at the park airport and saving
// them: an airport loaded from its files, aircraft seen at its stands over a
// week, the learned file written, and the airport loaded again from it.
#include "traffic/stand_learning.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <set>

#include "airports/airport.hpp"
#include "airports/learned_stands.hpp"
#include "airports/park_airport_load.hpp"
#include "foundation/constants.hpp"
#include "foundation/main_window_state.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/upcalls.hpp"
#include "support/test_env.hpp"
#include "traffic/traffic_state.hpp"

namespace skh {
namespace {

namespace fs = std::filesystem;

constexpr const char* kMeta =
    R"(<meta><info name="author" value="a"/><info name="date" value="d"/><info name="version" value="v"/></meta>)";
const fs::path kLearned = "airports/learned/thirdparty/Maker/EGLL.xml";
const std::string kLearnedShown = "airports\\learned\\thirdparty\\Maker\\EGLL.xml";

std::uint64_t at(std::uint32_t weekday, std::uint32_t slot) { return weekday | (std::uint64_t{slot} << 32); }

std::uint64_t slots(std::initializer_list<std::uint32_t> list) {
    std::uint64_t bits = 0;
    for (const auto s : list) bits |= std::uint64_t{1} << s;
    return bits;
}

FlightIdent aircraft(std::uint32_t act, std::string reg, std::string callsign, AircraftCategory category = CatLarge) {
    FlightIdent a;
    a.actNumber = act;
    a.registration = std::move(reg);
    a.callsign = std::move(callsign);
    a.airline = "BAW";
    a.type = "A320";
    a.category = category;
    return a;
}

class StandLearning : public ::testing::Test {
protected:
    StandLearning() : cwd(dir.path()) {}
    void SetUp() override {
        reset();  // the counts below start from nothing learned
        fs::create_directories(g_myThirdpartyFolder);
        test::writeFile(
            g_myThirdpartyFolder / "EGLL.xml",
            std::string("<?xml version=\"1.0\"?>") + kMeta +
                R"(<parameters><parameter name="airport_name" value="Heathrow"/><parameter name="publisher" value="Maker"/>)"
                R"(<parameter name="altitude" value="83"/></parameters><parkpositions>)"
                R"(<parkpos id="A1" latitude="51.47" longitude="-0.45" radius="30"><opt reg="GARCH" airl="BAW" type="A320" day="1" hh="10"/></parkpos>)"
                R"(<parkpos id="A2" latitude="51.471" longitude="-0.45" radius="30"/>)"
                R"(<parkpos id="A3" latitude="51.472" longitude="-0.45" radius="30"/></parkpositions>)");
        load();
    }
    void TearDown() override { reset(); }
    static void reset() {
        g_stands.clear();
        g_apfHandmade = false;
        g_apfInfo = ApfInfo{};
        g_parkAirportLoaded = false;
        g_learnedChanges = 0;
        g_apfParamsChanged = false;
        gf_resetLearnedMerge();
        gf_clearParkAirport();
        gf_clearStatusMessage();
        parking_percentage.value = parking_percentage.defaultValue;
    }
    void load() {
        g_stands.clear();
        g_apfInfo = ApfInfo{};
        gf_setParkAirport(Airport{"EGLL", "LHR", 51.47, -0.45, 0.0});
        std::uint64_t qf = 0;
        ASSERT_EQ(gf_readApf("airports\\my_thirdparty\\EGLL.xml", g_apfInfo, qf), "");
    }
    static std::vector<StandOption>& options(std::uint32_t id) { return g_stands.at(id - 1).options; }

    test::TempDir dir;
    test::ScopedCwd cwd;
    test::ScopedLog log;
};

TEST_F(StandLearning, StaysAreFilledAcrossTheDayAndTheWeekAndSavedForTheNextLoad) {
    const FlightIdent baw = aircraft(40001, "GEUUA", "BAW12_");
    // 10:00 to 11:30 on Monday: one option.
    ASSERT_TRUE(lt_addStandOption(1, baw, at(1, 20), false));
    ASSERT_TRUE(lt_addStandOption(1, baw, at(1, 23), true));
    ASSERT_EQ(options(1).size(), 2u);
    EXPECT_EQ(options(1)[1].halfHours, slots({20, 21, 22, 23}));
    EXPECT_EQ(options(1)[1].callsign, "BAW12");
    EXPECT_EQ(options(1)[1].origin, 0u);
    // Back at 15:00 and off 3.5 hours later: too long a stay, a new option.
    ASSERT_TRUE(lt_addStandOption(1, baw, at(1, 30), false));
    ASSERT_TRUE(lt_addStandOption(1, baw, at(1, 37), true));
    ASSERT_EQ(options(1).size(), 3u);
    EXPECT_EQ(options(1)[1].halfHours, slots({20, 21, 22, 23, 30}));
    EXPECT_EQ(options(1)[2].halfHours, slots({37}));
    // A heavy stays 3.5 hours in one window.
    const FlightIdent heavy = aircraft(40002, "GVIIA", "BAW1", CatHeavy);
    ASSERT_TRUE(lt_addStandOption(2, heavy, at(3, 30), false));
    ASSERT_TRUE(lt_addStandOption(2, heavy, at(3, 37), true));
    ASSERT_EQ(options(2).size(), 1u);
    EXPECT_EQ(options(2)[0].halfHours, slots({30, 31, 32, 33, 34, 35, 36, 37}));
    // Over midnight, Monday 23:00 to Tuesday 00:30; and over the week's end.
    const FlightIdent late = aircraft(40003, "GEUUB", "SHT8");
    ASSERT_TRUE(lt_addStandOption(3, late, at(1, 46), false));
    ASSERT_TRUE(lt_addStandOption(3, late, at(2, 1), true));
    ASSERT_TRUE(lt_addStandOption(3, late, at(7, 47), false));
    ASSERT_TRUE(lt_addStandOption(3, late, at(1, 0), true));
    ASSERT_EQ(options(3).size(), 4u);
    EXPECT_EQ(options(3)[0].weekday, 1u);
    EXPECT_EQ(options(3)[0].halfHours, slots({46, 47}));
    EXPECT_EQ(options(3)[1].weekday, 2u);
    EXPECT_EQ(options(3)[1].halfHours, slots({0, 1}));
    EXPECT_EQ(options(3)[2].weekday, 7u);
    EXPECT_EQ(options(3)[2].halfHours, slots({47}));
    EXPECT_EQ(options(3)[3].weekday, 1u);
    EXPECT_EQ(options(3)[3].halfHours, slots({0}));
    // Without registration the callsign is the identity; with neither nothing is learned.
    ASSERT_TRUE(lt_addStandOption(2, aircraft(40004, "", "EZY1"), at(3, 5), false));
    EXPECT_EQ(options(2).back().registration, "EZY1");
    EXPECT_FALSE(lt_addStandOption(2, aircraft(40005, "", ""), at(3, 5), false));
    // The archived option lacks this half-hour: it is not extended.
    EXPECT_FALSE(lt_addStandOption(1, aircraft(40006, "GARCH", "BAW9"), at(1, 11), false));
    // No such stand, and a slot out of the day.
    EXPECT_FALSE(lt_addStandOption(9, baw, at(1, 5), false));
    EXPECT_FALSE(lt_addStandOption(1, baw, at(1, 48), false));
    EXPECT_TRUE(log.contains("===> lt_addStandOption: hh_now: 48, invalid weekday 1 or slot 48"));
    const std::int32_t changes = g_learnedChanges.load();
    EXPECT_EQ(changes, 11);

    // An option left out of the static plan is still saved.
    options(1)[2].skip = true;
    ASSERT_TRUE(lf_saveLearnedParking());
    EXPECT_TRUE(gf_statusText().ends_with(" '" + kLearnedShown + "' saved with 11 updates ")) << gf_statusText();
    pugi::xml_document saved;
    ASSERT_TRUE(saved.load_file(kLearned.c_str()));
    const auto a1 = saved.child("parkpositions").find_child_by_attribute("parkpos", "id", "A1");
    std::vector<std::string> regs;
    for (auto o = a1.child("opt"); o; o = o.next_sibling("opt")) regs.push_back(o.attribute("reg").value());
    EXPECT_EQ(regs, (std::vector<std::string>{"GEUUA", "GEUUA"}));  // not the archived GARCH

    // The next load reads them back, the archived option first.
    const auto before = g_stands;
    load();
    ASSERT_EQ(g_stands.size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        SCOPED_TRACE(before[i].name);
        ASSERT_EQ(g_stands[i].options.size(), before[i].options.size());
        for (std::size_t k = 0; k < before[i].options.size(); ++k) {
            EXPECT_EQ(g_stands[i].options[k].halfHours, before[i].options[k].halfHours);
            EXPECT_EQ(g_stands[i].options[k].registration, before[i].options[k].registration);
            EXPECT_FALSE(g_stands[i].options[k].skip);
        }
    }
    EXPECT_EQ(g_learnedMerge.state, LearnedMergeState::Complete);
}

TEST_F(StandLearning, SoftOptionsAndSavesThatMustNotDestroy) {
    const FlightIdent ezy = aircraft(40010, "GEZAA", "EZY5");
    ASSERT_TRUE(lt_addSoftStandOption(2, ezy, false, at(4, 10), false));
    ASSERT_TRUE(lt_addSoftStandOption(2, ezy, true, at(4, 12), false));  // leaving: the stay is filled
    ASSERT_EQ(options(2).size(), 1u);
    EXPECT_EQ(options(2)[0].real, 0u);
    EXPECT_EQ(options(2)[0].halfHours, slots({10, 11, 12}));
    // A real option does not answer for a soft one.
    ASSERT_TRUE(lt_addStandOption(2, ezy, at(4, 10), false));
    EXPECT_EQ(options(2).size(), 2u);

    // Leaving near the airport without a stand: the stand its size most
    // likely used gets a soft option; leaving again later widens the stay.
    gf_setStandBySize([](std::uint64_t, const FlightIdent&, bool) { return &g_stands.at(2); });
    g_actSlots.clear();
    const FlightIdent jet = aircraft(40011, "GJETA", "JET1");
    g_weekSlot = at(5, 30);
    lf_learnSoftOnLeave(jet, GeoPos{51.5, -0.45}, 0.0, 7, true);      // has a stand: nothing
    lf_learnSoftOnLeave(jet, GeoPos{51.6, -0.45}, 0.0, 0, true);      // 7.8 nm out: nothing
    lf_learnSoftOnLeave(jet, GeoPos{51.5, -0.45}, 3000.0, 0, false);  // flying too high: nothing
    EXPECT_TRUE(options(3).empty());
    lf_learnSoftOnLeave(jet, GeoPos{51.5, -0.45}, 1000.0, 0, false);
    ASSERT_EQ(options(3).size(), 1u);
    EXPECT_EQ(options(3)[0].real, 0u);
    EXPECT_EQ(options(3)[0].halfHours, slots({30}));
    g_weekSlot = at(5, 32);
    lf_learnSoftOnLeave(jet, GeoPos{51.5, -0.45}, 0.0, 0, true);
    ASSERT_EQ(options(3).size(), 1u);
    EXPECT_EQ(options(3)[0].halfHours, slots({30, 31, 32}));
    ASSERT_EQ(g_actSlots.size(), 1u);
    EXPECT_EQ(g_actSlots[0].weekSlot, at(5, 32));
    gf_setStandBySize({});
    g_actSlots.clear();

    // A hand-made airport keeps the options of its file.
    g_apfHandmade = true;
    ASSERT_TRUE(lf_saveLearnedParking());
    EXPECT_TRUE(gf_statusText().find(" handmade '") != std::string::npos) << gf_statusText();
    pugi::xml_document saved;
    ASSERT_TRUE(saved.load_file(kLearned.c_str()));
    EXPECT_TRUE(saved.child("parameters").find_child_by_attribute("parameter", "name", "handmade"));
    EXPECT_STREQ(saved.child("parkpositions").child("parkpos").child("opt").attribute("reg").value(), "GARCH");

    // A learned file that could not be read at load is never overwritten.
    g_apfHandmade = false;
    const std::string damaged = std::string("<?xml version=\"1.0\"?><parameters/><parkpositions/>");
    test::writeFile(kLearned, damaged);  // no meta block: not merged
    load();
    ASSERT_TRUE(lt_addStandOption(2, ezy, at(4, 20), false));
    EXPECT_FALSE(lf_saveLearnedParking());
    EXPECT_TRUE(gf_statusText().ends_with(" saving '" + kLearnedShown + "' did not succeed")) << gf_statusText();
    EXPECT_EQ(test::readFile(kLearned), damaged);
}

// Every option of a learned file as "<stand> <reg> <day> <hh>".
std::set<std::string> learnedOptions(const fs::path& path) {
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_file(path.c_str())) << path;
    std::set<std::string> out;
    for (auto pos = doc.child("parkpositions").child("parkpos"); pos; pos = pos.next_sibling("parkpos")) {
        for (auto o = pos.child("opt"); o; o = o.next_sibling("opt")) {
            out.insert(std::string(pos.attribute("id").value()) + " " + o.attribute("reg").value() + " " +
                       o.attribute("day").value() + " " + o.attribute("hh").value());
        }
    }
    return out;
}

// A learned file cut in half by a crash beside its readable backup, then
// with no backup, then with a damaged backup: no damaged file takes the
// place of a readable one, and every damaged file stays on disk.
TEST_F(StandLearning, ADamagedLearnedFileGivesWayToItsReadableBackup) {
    const fs::path backup = "airports/learned/thirdparty/Maker/EGLL0.xml";
    const fs::path aside = "airports/learned/thirdparty/Maker/EGLL.damaged.xml";
    const std::string full =
        std::string("<?xml version=\"1.0\"?>") + kMeta +
        R"(<parameters><parameter name="airport_name" value="Heathrow"/><parameter name="parking_percentage" value="45"/>)"
        R"(</parameters><parkpositions>)"
        R"(<parkpos id="A1"><opt reg="GBKPA" airl="BAW" type="A320" day="2" hh="5"/></parkpos>)"
        R"(<parkpos id="A3"><opt reg="GBKPB" airl="BAW" type="A320" day="6" hh="7,8"/></parkpos>)"
        R"(<parkpos id="Z9"><opt reg="GBKPC" airl="BAW" type="A320" day="3" hh="9"/></parkpos></parkpositions>)";
    test::writeFile(backup, full);
    const std::set<std::string> backupOptions = learnedOptions(backup);
    ASSERT_EQ(backupOptions.size(), 3u);
    const std::string cut = full.substr(0, full.size() / 2);
    test::writeFile(kLearned, cut);
    const FlightIdent ezy = aircraft(40020, "GEZAB", "EZY7");

    load();
    EXPECT_TRUE(log.contains(kLearned.string() + " found, but could not be loaded, kept as " + aside.string()))
        << log.text();
    EXPECT_TRUE(log.contains(backup.string() + " is read in its place")) << log.text();
    EXPECT_EQ(parking_percentage.value.load(), 45);
    ASSERT_TRUE(lt_addStandOption(2, ezy, at(4, 20), false));
    ASSERT_TRUE(lf_saveLearnedParking());
    const auto saved = learnedOptions(kLearned);
    for (const std::string& kept : backupOptions) EXPECT_TRUE(saved.contains(kept)) << kept;
    EXPECT_TRUE(saved.contains("A2 GEZAB 4 20"));
    EXPECT_EQ(saved.size(), 4u);
    EXPECT_EQ(test::readFile(aside), cut);
    EXPECT_EQ(learnedOptions(backup), backupOptions);

    // The next save keeps the good file as the backup, as always.
    const std::string first = test::readFile(kLearned);
    load();
    ASSERT_TRUE(lt_addStandOption(2, ezy, at(3, 30), false));
    ASSERT_TRUE(lf_saveLearnedParking());
    EXPECT_EQ(test::readFile(backup), first);
    EXPECT_EQ(learnedOptions(kLearned).size(), 5u);

    // Damaged again, with no backup: kept under a name of its own as well.
    const fs::path aside2 = "airports/learned/thirdparty/Maker/EGLL.damaged2.xml";
    fs::remove(backup);
    test::writeFile(kLearned, "<?xml version=\"1.0\"?><meta>");
    load();
    EXPECT_EQ(g_learnedMerge.state, LearnedMergeState::Damaged);
    EXPECT_EQ(options(1).size(), 1u);  // the archived one only
    ASSERT_TRUE(lt_addStandOption(2, ezy, at(5, 30), false));
    ASSERT_TRUE(lf_saveLearnedParking());
    EXPECT_EQ(learnedOptions(kLearned), (std::set<std::string>{"A2 GEZAB 5 30"}));
    EXPECT_EQ(test::readFile(aside2), "<?xml version=\"1.0\"?><meta>");
    EXPECT_EQ(test::readFile(aside), cut);
    EXPECT_FALSE(fs::exists(backup));

    // Damaged with a damaged backup: neither replaces the other.
    test::writeFile(kLearned, "<parkpositions>");
    test::writeFile(backup, "<parameters>");
    load();
    EXPECT_EQ(g_learnedMerge.state, LearnedMergeState::Damaged);
    ASSERT_TRUE(lt_addStandOption(2, ezy, at(6, 30), false));
    ASSERT_TRUE(lf_saveLearnedParking());
    EXPECT_EQ(learnedOptions(kLearned), (std::set<std::string>{"A2 GEZAB 6 30"}));
    EXPECT_EQ(test::readFile("airports/learned/thirdparty/Maker/EGLL.damaged3.xml"), "<parkpositions>");
    EXPECT_EQ(test::readFile(backup), "<parameters>");

    // The next run's save makes a backup again: the damaged one goes aside
    // first, so both damaged texts are still on disk, and so is the next.
    const fs::path backupAside = "airports/learned/thirdparty/Maker/EGLL0.damaged.xml";
    const std::string third = test::readFile(kLearned);
    load();
    ASSERT_TRUE(lt_addStandOption(2, ezy, at(7, 30), false));
    ASSERT_TRUE(lf_saveLearnedParking());
    EXPECT_EQ(test::readFile(backupAside), "<parameters>");
    EXPECT_EQ(test::readFile("airports/learned/thirdparty/Maker/EGLL.damaged3.xml"), "<parkpositions>");
    EXPECT_EQ(test::readFile(backup), third);
    EXPECT_TRUE(log.contains(backup.string() + " could not be loaded, kept as " + backupAside.string())) << log.text();
    test::writeFile(backup, "<meta>");
    load();
    ASSERT_TRUE(lf_saveLearnedParking());
    EXPECT_EQ(test::readFile(backupAside), "<parameters>");
    EXPECT_EQ(test::readFile("airports/learned/thirdparty/Maker/EGLL0.damaged2.xml"), "<meta>");
    EXPECT_EQ(learnedOptions(kLearned), (std::set<std::string>{"A2 GEZAB 6 30", "A2 GEZAB 7 30"}));
}

// A learned file that a crash cut just after one of its sections is still
// well-formed XML with a complete meta block; it must not pass for a file
// with no stands and take the readable backup with it. Two runs in a row,
// for each cut and for a backup cut the same way.
TEST_F(StandLearning, ALearnedFileCutAtTheEndOfASectionGivesWayToItsBackup) {
    const fs::path backup = "airports/learned/thirdparty/Maker/EGLL0.xml";
    const fs::path aside = "airports/learned/thirdparty/Maker/EGLL.damaged.xml";
    const fs::path backupAside = "airports/learned/thirdparty/Maker/EGLL0.damaged.xml";
    const std::string meta = std::string("<?xml version=\"1.0\"?>\n") + kMeta + "\n";
    const std::string params =
        R"(<parameters><parameter name="airport_name" value="Heathrow"/><parameter name="num_parkpos" value="2"/>)"
        R"(<parameter name="parking_percentage" value="45"/></parameters>)"
        "\n";
    const std::string full =
        meta + params +
        R"(<parkpositions><parkpos id="A1"><opt reg="GBKPA" airl="BAW" type="A320" day="2" hh="5"/></parkpos>)"
        R"(<parkpos id="A3"><opt reg="GBKPB" airl="BAW" type="A320" day="6" hh="7,8"/></parkpos></parkpositions>)";
    struct Case {
        const char* label;
        std::string learned;
        std::string backup;
        bool backupRead;
    };
    const Case cases[] = {
        {"cut after its parameters", meta + params, full, true},
        {"cut after its meta block", meta, full, true},
        {"both cut after their parameters", meta + params, meta + params, false},
    };
    const FlightIdent ezy = aircraft(40030, "GEZAC", "EZY9");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        for (const fs::path& p : {kLearned, backup, aside, backupAside}) fs::remove(p);
        test::writeFile(kLearned, c.learned);
        test::writeFile(backup, c.backup);
        std::set<std::string> expected = c.backupRead ? learnedOptions(backup) : std::set<std::string>{};

        for (std::uint32_t run = 1; run <= 2; ++run) {
            SCOPED_TRACE(testing::Message() << "run " << run);
            parking_percentage.value = parking_percentage.defaultValue;
            load();
            if (run == 1) {
                EXPECT_TRUE(
                    log.contains(kLearned.string() + " found, but could not be loaded, kept as " + aside.string()))
                    << log.text();
                EXPECT_EQ(parking_percentage.value.load(), c.backupRead ? 45 : parking_percentage.defaultValue);
            }
            ASSERT_TRUE(lt_addStandOption(2, ezy, at(run, 20), false));
            ASSERT_TRUE(lf_saveLearnedParking()) << gf_statusText();
            expected.insert("A2 GEZAC " + std::to_string(run) + " 20");
            EXPECT_EQ(learnedOptions(kLearned), expected);
            EXPECT_EQ(test::readFile(aside), c.learned);
        }
        if (c.backupRead) {
            EXPECT_FALSE(fs::exists(backupAside));
        } else {
            EXPECT_EQ(test::readFile(backupAside), c.backup);
        }
    }
}

// A learned file cut in half beside its readable backup, on a disk that is
// full when the program starts: the backup's copy cannot be written, so
// nothing is moved, this run flies the backup's options and saves nothing.
// The next start, with room, puts the backup in place and keeps them all.
TEST_F(StandLearning, AFullDiskAtTheStartNeverLeavesTheFolderWithoutItsLearnedFile) {
    const fs::path folder = kLearned.parent_path();
    const fs::path backup = folder / "EGLL0.xml";
    const std::string full =
        std::string("<?xml version=\"1.0\"?>") + kMeta +
        R"(<parameters><parameter name="airport_name" value="Heathrow"/><parameter name="parking_percentage" value="45"/>)"
        R"(</parameters><parkpositions>)"
        R"(<parkpos id="A1"><opt reg="GBKPA" airl="BAW" type="A320" day="2" hh="5"/></parkpos>)"
        R"(<parkpos id="A3"><opt reg="GBKPB" airl="BAW" type="A320" day="6" hh="7,8"/></parkpos></parkpositions>)";
    const std::string cut = full.substr(0, full.size() / 2);
    test::writeFile(backup, full);
    test::writeFile(kLearned, cut);
    const std::set<std::string> files = {"EGLL.xml", "EGLL0.xml"};
    const FlightIdent ezy = aircraft(40040, "GEZAD", "EZY11");
    {
        test::FailingDiskFlushes fullDisk(ENOSPC);
        load();
        EXPECT_EQ(parking_percentage.value.load(), 45);
        EXPECT_EQ(options(1).size(), 2u);  // the archived option and the backup's
        EXPECT_EQ(options(3).size(), 1u);
        EXPECT_EQ(test::entryNames(folder), files);
        EXPECT_TRUE(log.contains(kLearned.string() + " found, but could not be loaded, and " + backup.string() +
                                 " could not be copied in its place: "))
            << log.text();
        EXPECT_TRUE(log.contains("No space left on device")) << log.text();
        ASSERT_TRUE(lt_addStandOption(2, ezy, at(4, 20), false));
        EXPECT_FALSE(lf_saveLearnedParking());
        EXPECT_TRUE(log.contains(kLearned.string() +
                                 " could not be loaded and its backup could not take its place: No space left on "
                                 "device; learned data of this airport is not saved in this run, the next start "
                                 "tries again"))
            << log.text();
        EXPECT_EQ(test::entryNames(folder), files);
        EXPECT_EQ(test::readFile(kLearned), cut);
        EXPECT_EQ(test::readFile(backup), full);
    }

    const std::set<std::string> backupOptions = learnedOptions(backup);
    load();
    EXPECT_EQ(test::entryNames(folder), (std::set<std::string>{"EGLL.xml", "EGLL.damaged.xml", "EGLL0.xml"}));
    EXPECT_EQ(test::readFile(folder / "EGLL.damaged.xml"), cut);
    EXPECT_EQ(test::readFile(kLearned), full);
    EXPECT_EQ(parking_percentage.value.load(), 45);
    ASSERT_TRUE(lt_addStandOption(2, ezy, at(5, 20), false));

    // A save whose data cannot be flushed to the disk fails, and leaves the
    // file and its backup as they were.
    {
        test::FailingDiskFlushes failingDisk(EIO);
        EXPECT_FALSE(lf_saveLearnedParking());
        EXPECT_EQ(test::entryNames(folder), (std::set<std::string>{"EGLL.xml", "EGLL.damaged.xml", "EGLL0.xml"}));
        EXPECT_EQ(test::readFile(kLearned), full);
        EXPECT_EQ(test::readFile(backup), full);
        EXPECT_TRUE(log.contains("Input/output error")) << log.text();
    }
    ASSERT_TRUE(lf_saveLearnedParking());
    std::set<std::string> expected = backupOptions;
    expected.insert("A2 GEZAD 5 20");
    EXPECT_EQ(learnedOptions(kLearned), expected);
    EXPECT_EQ(test::readFile(backup), full);
}

// A learned file whose stand list was closed and opened again by hand: every
// list is read as one, an option in both counts once, and two saves in a row
// keep every option, in the file and in its backup.
TEST_F(StandLearning, EveryStandListOfALearnedFileIsReadAndSavedAsOne) {
    const fs::path backup = kLearned.parent_path() / "EGLL0.xml";
    const std::string manual = R"(<parkpos id="M1" manual="true" latitude="51.473" longitude="-0.45" radius="30">)";
    test::writeFile(
        kLearned,
        std::string("<?xml version=\"1.0\"?>") + kMeta +
            R"(<parameters><parameter name="airport_name" value="Heathrow"/></parameters><parkpositions>)"
            R"(<parkpos id="A1"><opt reg="GBKPA" airl="BAW" type="A320" day="2" hh="5"/></parkpos>)" +
            manual + R"(<opt reg="GMANA" airl="BAW" type="A320" day="1" hh="3"/></parkpos>)" +
            R"(</parkpositions><parkpositions>)"
            R"(<parkpos id="A3"><opt reg="GBKPB" airl="BAW" type="A320" day="6" hh="7,8"/></parkpos>)"
            R"(<parkpos id="A1"><opt reg="GBKPA" airl="BAW" type="A320" day="2" hh="5"/>)"
            R"(<opt reg="GBKPC" airl="BAW" type="A320" day="3" hh="9"/></parkpos>)" +
            manual + R"(<opt reg="GMANA" airl="BAW" type="A320" day="1" hh="3"/>)" +
            R"(<opt reg="GMANB" airl="BAW" type="A320" day="4" hh="6"/></parkpos>)"
            R"(<parkpos id="Z9"><opt reg="GBKPZ" airl="BAW" type="A320" day="3" hh="9"/></parkpos></parkpositions>)");
    std::set<std::string> expected = {"A1 GBKPA 2 5", "A1 GBKPC 3 9", "A3 GBKPB 6 7,8",
                                      "M1 GMANA 1 3", "M1 GMANB 4 6", "Z9 GBKPZ 3 9"};
    const FlightIdent ezy = aircraft(40050, "GEZAE", "EZY13");
    std::set<std::string> firstSave;
    for (std::uint32_t run = 1; run <= 2; ++run) {
        SCOPED_TRACE(testing::Message() << "run " << run);
        load();
        if (run == 1) {
            EXPECT_TRUE(log.contains(kLearned.string() + " holds 2 stand lists, read as one")) << log.text();
            EXPECT_EQ(options(1).size(), 3u);  // the archived option and two learned ones
            EXPECT_EQ(g_stands.back().name, "M1");
            EXPECT_EQ(g_stands.back().options.size(), 2u);
            EXPECT_FALSE(log.contains("manually created standid M1 already exists")) << log.text();
        }
        ASSERT_TRUE(lt_addStandOption(2, ezy, at(run, 20), false));
        ASSERT_TRUE(lf_saveLearnedParking());
        expected.insert("A2 GEZAE " + std::to_string(run) + " 20");
        EXPECT_EQ(learnedOptions(kLearned), expected);
        if (run == 1) firstSave = expected;
    }
    EXPECT_EQ(learnedOptions(backup), firstSave);
}

}  // namespace
}  // namespace skh
