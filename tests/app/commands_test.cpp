#include "app/commands.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "airports/airport.hpp"
#include "airports/airport_list.hpp"
#include "airports/park_airport_load.hpp"
#include "airports/stand_file.hpp"
#include "app/main_loop.hpp"
#include "app/main_window.hpp"
#include "app/run_state.hpp"
#include "app/startup.hpp"
#include "app/ui_requests.hpp"
#include "app_fixture.hpp"
#include "foundation/format.hpp"
#include "foundation/main_window_state.hpp"
#include "foundation/parameter_table.hpp"
#include "platform/window.hpp"
#include "simclient/sim_state.hpp"
#include "support/headless_window.hpp"
#include "traffic/live_update.hpp"
#include "traffic/traffic_state.hpp"

namespace skh {
namespace {

using platform::ControlId;

using test::click;
using test::select;
using test::settle;
using test::state;
using test::type;

// The main window, headless, on a UI thread of its own, with the controls
// as the start-up leaves them; input goes in as a user's would.
class CommandsThreaded : public test::AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        m_window.emplace();
        ASSERT_TRUE(m_window->created());
        lf_enableSettingsControls();
        g_runStarting = false;
    }
    void TearDown() override {
        m_window.reset();
        g_runStarting = true;
        g_parkAirportLoaded = false;
        g_apfParamsChanged = false;
        g_secondTick = 0;
        for (auto* flag : {&g_blockRequested, &g_listNamesRequested, &g_flushStaticRequested, &g_rereadRequested,
                           &g_renewalRequested, &g_aircraftListChanged}) {
            *flag = false;
        }
        gf_clearUiRequests();
        AppTest::TearDown();
    }

    static void enableAll() {
        for (const auto& c : platform::allControls()) platform::enableWindow(platform::getDlgItem(c.id), true);
    }

    std::optional<test::HeadlessMainWindow> m_window;
};

TEST_F(CommandsThreaded, EveryCheckBoxFlipsAndSavesWithItsNote) {
    enableAll();
    struct Case {
        BoolUiParameter* setting;
        const char* noteOn;
        const char* noteOff;
    };
    const Case cases[] = {
        {&LIG_AUTOMATIC, "", "The liveries defined by your lfolder parameters will be scanned"},
        {&LIG_PRIORITIZE, "Liveries, for airl+model, in lower lfolders that are already available will be skipped", ""},
        {&COLLISION_LIVE_PARKED_GND, "",
         "Be aware, no collision avoidance with live aircraft vs parked static on the ground"},
        {&COLLISION_USER_AIR, "", "Be aware, no collision avoidance with user aircraft in the air"},
        {&COLLISION_USER_GND, "", "Be aware, no collision avoidance with user aircraft on the ground"},
        {&INITIAL_LOAD_ONLY,
         "Initial Load Only: static parked aircraft are generated once, no renewal every 20 minutes", ""},
        {&ALWAYS_ON_TOP, "Skyhaven_P3D's window will remain visible", ""},
        {&SUPPRESS_STUB, "Exclude FSLTL-liveries titles ending with _STUB from scan", ""},
        {&GUID_CHANGES, "", "Be aware, no more livery updates: you miss correct data for Learn, LittleNavMap, etc!"},
        {&AEROWINX, "Note: This mode is for Aerowinx PSX users only, please re-start Skyhaven_P3D", ""},
        {&AUTO_RANGE, "", ""},
        {&SCAN_LIVERIES,
         "Your liveries will be scanned at the next start of Skyhaven_P3D, recommended after you have add/removed AI "
         "aircraft models/liveries",
         ""},
        {&SCAN_AIRPORTS,
         "Your airports will be scanned at the next start of Skyhaven_P3D, recommended after you have add/removed "
         "airports",
         ""},
        {&AFG_AUTOMATIC, "", "The airports defined by your afolder parameters will be scanned"},
        {&PARK_SOFT, "", ""},
        {&PARK_FAKE, "", ""},
        {&WEEK, "", ""},
        {&NAV_LIGHTS_WHILE_PARKED, "", ""},
        {&LEARN_SOFT, "", ""},
        {&AIRBORNE_ONLY, "Be aware, airborne live traffic only!  (greater than 300 ft above ground ...)", ""},
        {&STRAIGHT_PBS_ONLY, "", ""},
        {&LOG, "", ""},
        {&LIGHT_AIRCRAFT, "", ""},
        {&HELICOPTERS, "", ""},
        {&HIGH_PERF_AIRCRAFT, "", ""},
    };
    ASSERT_EQ(std::size(cases), 25u);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setting->name);
        for (int round = 0; round < 2; ++round) {
            gf_setStatusMessage("before", false);
            const bool was = c.setting->value.load();
            ASSERT_EQ(state(c.setting->controlId).checked, was);
            click(c.setting->controlId);
            EXPECT_EQ(c.setting->value.load(), !was);
            EXPECT_EQ(state(c.setting->controlId).checked, !was);
            EXPECT_EQ(storedValue(c.setting->name), was ? "false" : "true");
            const std::string note = was ? c.noteOff : c.noteOn;
            if (!note.empty()) {
                EXPECT_EQ(gf_statusText(), note);
            }
        }
    }
    EXPECT_FALSE(g_stopRequested.load()) << "no run was waiting for RealTraffic";
    EXPECT_FALSE(platform::mainWindowTopmost());
    const UiRequests r = gf_takeUiRequests();
    EXPECT_TRUE(r.navLights);
    EXPECT_EQ(r.navLightsOn, NAV_LIGHTS_WHILE_PARKED.value.load());
}

TEST_F(CommandsThreaded, ScansAskedForWhileWaitingForRealTrafficRestart) {
    g_runStarting = true;
    SCAN_AIRPORTS.value = false;
    platform::setCheck(platform::getDlgItem(SCAN_AIRPORTS.controlId), false);
    click(SCAN_AIRPORTS.controlId);
    EXPECT_EQ(gf_statusText(), "Your airports will be scanned");
    EXPECT_TRUE(m_log.contains("Your airports will be scanned"));
    EXPECT_EQ(g_appState.load(), AppState::NewSettings);
    EXPECT_EQ(g_restartDelay.load(), 2);

    // The liveries: the index is emptied by the next start-up, not here.
    lf_resetSession();
    g_runStarting = true;
    SCAN_LIVERIES.value = false;
    platform::setCheck(platform::getDlgItem(SCAN_LIVERIES.controlId), false);
    click(SCAN_LIVERIES.controlId);
    EXPECT_EQ(gf_statusText(), "Your liveries will be scanned");
    EXPECT_TRUE(g_liveryIndexClearRequested.exchange(false));
    EXPECT_EQ(g_appState.load(), AppState::NewSettings);
}

TEST_F(CommandsThreaded, CallsignsBlockAndUnblock) {
    const ControlId box = BLOCK_CALLSIGN.controlId;
    type(box, u"abc");
    EXPECT_EQ(gf_statusText(), "callsign 'abc' is not valid");
    EXPECT_FALSE(g_blockRequested.load());

    type(box, u"klm1234");
    EXPECT_EQ(BLOCK_CALLSIGN.value.get(), "KLM1234");
    EXPECT_EQ(storedValue("BLOCK_CALLSIGN"), "KLM1234");
    EXPECT_EQ(state(box).text, u"KLM1234");
    EXPECT_TRUE(state(g_unblockButton.controlId).enabled);
    EXPECT_TRUE(g_blockRequested.exchange(false));

    type(box, u"KLM1234");
    EXPECT_EQ(gf_statusText(), "callsign 'KLM1234' was already set ...");
    EXPECT_FALSE(g_blockRequested.load());

    // Bad input: long, control characters, not valid UTF-16; the box gets the callsign back.
    for (const std::u16string& bad :
         {std::u16string(10000, u'x'), std::u16string(u"AB\tCD"), std::u16string(u"KL\xD800M12")}) {
        type(box, bad);
        EXPECT_EQ(gf_statusText().rfind("callsign '", 0), 0u);
        EXPECT_NE(gf_statusText().find("' is not valid"), std::string::npos);
        EXPECT_EQ(BLOCK_CALLSIGN.value.get(), "KLM1234");
        EXPECT_EQ(state(box).text, u"KLM1234");
    }
    EXPECT_FALSE(g_blockRequested.load());

    // Enter in an empty box unblocks.
    type(box, u"");
    EXPECT_EQ(gf_statusText(), "no more blocking of live aircraft 'KLM1234'");
    EXPECT_EQ(storedValue("BLOCK_CALLSIGN"), "");
    EXPECT_FALSE(state(g_unblockButton.controlId).enabled);
    EXPECT_TRUE(g_blockRequested.exchange(false));
    type(box, u"");
    EXPECT_FALSE(g_blockRequested.load());

    // The aircraft list, filled by the main loop with the live aircraft in
    // flight: a later entry is picked and blocked.
    const std::string longCallsign(300, 'Q');
    const auto live = [](const std::string& callsign, AcState moveState) {
        LiveAc ac;
        ac.callsign = callsign;
        ac.status = AcStatus::active;
        ac.moveState = moveState;
        return ac;
    };
    EXPECT_EQ(gf_listLiveAcNames(), 0u);
    EXPECT_FALSE(state(CALLSIGN_2_OBJECTID.controlId).enabled);
    g_liveAc = {live("SWR12", AcState::taxi), live("KLM100", AcState::parked), live(longCallsign, AcState::flying)};
    EXPECT_EQ(gf_listLiveAcNames(), 2u);
    EXPECT_EQ(state(CALLSIGN_2_OBJECTID.controlId).items,
              (std::vector<std::u16string>{std::u16string(300, u'Q'), u"SWR12"}));
    select(CALLSIGN_2_OBJECTID.controlId, 1);
    EXPECT_EQ(CALLSIGN_2_OBJECTID.value.get(), "SWR12");
    EXPECT_TRUE(g_aircraftListChanged.load());
    click(g_blockButton.controlId);
    EXPECT_EQ(BLOCK_CALLSIGN.value.get(), "SWR12");
    EXPECT_FALSE(state(g_blockButton.controlId).enabled);
    EXPECT_TRUE(gf_takeUiRequests().refreshAcList);
    gf_refreshAcList();  // the main loop's turn: an empty list, and the block can be undone
    EXPECT_FALSE(state(CALLSIGN_2_OBJECTID.controlId).enabled);
    EXPECT_TRUE(state(g_unblockButton.controlId).enabled);
    EXPECT_EQ(storedValue("CALLSIGN_2_OBJECTID"), "<missing>");  // never stored

    // Unblocked and listed again: the first entry, however long, is blocked whole.
    click(g_unblockButton.controlId);
    EXPECT_EQ(gf_statusText(), "no more blocking of live aircraft 'SWR12'");
    gf_listLiveAcNames();
    click(g_blockButton.controlId);
    EXPECT_EQ(BLOCK_CALLSIGN.value.get(), longCallsign);
    click(g_unblockButton.controlId);
    click(g_unblockButton.controlId);  // disabled now: nothing happens
    platform::enableWindow(platform::getDlgItem(g_unblockButton.controlId), true);
    click(g_unblockButton.controlId);
    EXPECT_EQ(gf_statusText(), "Nothing to block or unblock...");
}

TEST_F(CommandsThreaded, DestinationsAndPushButtons) {
    const std::vector<Airport> saved = g_airports;
    g_airports = {Airport{"EGLL", "LHR", 51.47, -0.46, 83}, Airport{"LSZH", "ZRH", 47.46, 8.55, 1416}};
    const ControlId box = DESTINATION.controlId;
    platform::enableWindow(platform::getDlgItem(box), true);
    for (const auto& [typed, status] : std::vector<std::pair<std::u16string, std::string>>{
             {u"LSZ", "destination 'LSZ' is not valid"},
             {u"LSZHX", "destination 'LSZHX' is not valid"},
             {u"zzzz", "destination 'ZZZZ' is unknown ..."},
             {std::u16string(10000, u'L'), skh::format("destination '{}' is not valid", std::string(1023, 'L'))},
         }) {
        type(box, typed);
        EXPECT_EQ(gf_statusText(), status);
        EXPECT_EQ(state(box).text, u"");
    }
    EXPECT_FALSE(gf_takeUiRequests().destination);
    type(box, u"lszh");
    const UiRequests r = gf_takeUiRequests();
    ASSERT_TRUE(r.destination);
    EXPECT_EQ(r.destinationCode, "LSZH");
    EXPECT_DOUBLE_EQ(r.destinationPos.lat, 47.46);
    DESTINATION.value.set("LSZH");
    type(box, u"LSZH");
    EXPECT_EQ(gf_statusText(), "destination 'LSZH' was already set ...");
    type(box, u"");
    EXPECT_EQ(gf_statusText(), "destination set to empty");
    EXPECT_EQ(DESTINATION.value.get(), "");
    EXPECT_TRUE(state(g_reReadButton.controlId).enabled);

    click(g_reReadButton.controlId);
    EXPECT_TRUE(g_rereadRequested.load());
    EXPECT_FALSE(state(g_reReadButton.controlId).enabled);
    EXPECT_FALSE(state(box).enabled);
    platform::enableWindow(platform::getDlgItem(g_flushStaticButton.controlId), true);
    click(g_flushStaticButton.controlId);
    EXPECT_EQ(gf_statusText(), "All static parked aircraft will be removed ...");
    EXPECT_TRUE(g_flushStaticRequested.load());
    EXPECT_FALSE(state(g_flushStaticButton.controlId).enabled);
    platform::enableWindow(platform::getDlgItem(g_callsignToObjectIdButton.controlId), true);
    click(g_callsignToObjectIdButton.controlId);
    EXPECT_TRUE(g_listNamesRequested.load());
    g_airports = saved;
}

TEST_F(CommandsThreaded, InstallPaths) {
    const ControlId box = ALL_INSTALL_PATH.controlId;
    const test::TempDir sim;
    gf_enableControl(ALL_INSTALL_PATH, true);  // as the start-up does
    type(box, (u"/nowhere/at/all"));
    EXPECT_EQ(gf_statusText(), "This install path does not exist: /nowhere/at/all");
    // A name too long for the file system cannot be examined: said so, no exception.
    type(box, u"/tmp/" + std::u16string(1000, u'p'));
    EXPECT_EQ(gf_statusText().rfind("This install path cannot be read: /tmp/ppp", 0), 0u) << gf_statusText();
    type(box, u"/tmp/\xDC00");
    EXPECT_EQ(gf_statusText(), "This install path does not exist: /tmp/");
    EXPECT_FALSE(g_stopRequested.load());

    const std::string path = sim.path().string();
    type(box, std::u16string(path.begin(), path.end()));
    EXPECT_EQ(storedValue("SIM_INSTALL_PATH"), path);
    EXPECT_EQ(gf_statusText(), "Install path exists, Skyhaven_P3D will restart");
    EXPECT_EQ(g_appState.load(), AppState::NewSettings);
    EXPECT_EQ(g_restartDelay.load(), 3);
}

TEST_F(CommandsThreaded, CombosStoreTheirChoices) {
    enableAll();
    const auto indexOf = [](const auto& choices, auto value) {
        return static_cast<int>(std::find(choices.begin(), choices.end(), value) - choices.begin());
    };
    // MAX_FIT_FL 12 hours stores MAX_FIT 23, which gives 12 back.
    ASSERT_EQ(state(MAX_FIT_FL.controlId).items.size(), MAX_FIT_FL.choices.size());
    select(MAX_FIT_FL.controlId, indexOf(MAX_FIT_FL.choices, 12.0f));
    EXPECT_EQ(MAX_FIT.value.load(), 23);
    EXPECT_EQ(storedValue("MAX_FIT"), "23");
    EXPECT_EQ(storedValue("MAX_FIT_FL"), "<missing>");
    EXPECT_EQ(lf_snapFloatStep(23), 12.0f);

    select(MATCHING_DEPTH.controlId, 1);
    EXPECT_EQ(storedValue("MATCHING_DEPTH"), "2");
    select(AIRP_HEIGHT.controlId, indexOf(AIRP_HEIGHT.choices, 36000));
    EXPECT_EQ(storedValue("AIRP_HEIGHT"), "36000");
    select(RANGE.controlId, indexOf(RANGE.choices, 65));
    EXPECT_EQ(RANGE.value.load(), 65);
    EXPECT_EQ(g_rangeMetres.load(), 65u * 1852u);
    EXPECT_TRUE(g_apfParamsChanged.exchange(false));
    select(MAX_LIVE_SEL.controlId, indexOf(MAX_LIVE_SEL.choices, 25));
    EXPECT_EQ(storedValue("MAX_LIVE_SEL"), "25");
    const UiRequests r = gf_takeUiRequests();
    EXPECT_TRUE(r.maxLive);
    EXPECT_EQ(r.maxLiveValue, 25);

    // The respond countdown, while the park airport is loaded.
    g_parkAirportLoaded = true;
    INITIAL_LOAD_ONLY.value = false;
    g_secondTick = 30;
    select(parking_percentage.controlId, 4);
    EXPECT_EQ(parking_percentage.value.load(), 20);
    EXPECT_EQ(storedValue("parking_percentage"), "<missing>");  // never stored
    EXPECT_EQ(gf_statusText(), "Skyhaven_P3D will respond in 15 seconds ...");
    EXPECT_TRUE(g_renewalRequested.exchange(false));
    g_secondTick = 44;
    click(PARK_FAKE.controlId);
    EXPECT_EQ(gf_statusText(), "Skyhaven_P3D will respond in 1 second ...");
    INITIAL_LOAD_ONLY.value = true;
    g_renewalRequested = false;
    select(MAX_PARK_SEL.controlId, 2);
    EXPECT_EQ(gf_statusText(), "");
    EXPECT_FALSE(g_renewalRequested.load());
}

TEST_F(CommandsThreaded, AutoRangeOffRestoresTheManualRange) {
    const auto indexOf = [](std::int32_t nm) {
        return static_cast<int>(std::find(RANGE.choices.begin(), RANGE.choices.end(), nm) - RANGE.choices.begin());
    };
    struct Case {
        const char* label;
        bool storedOn;   // AUTO_RANGE on at the start, else ticked while waiting for the simulator
        bool loopFirst;  // the main loop runs before the untick
    };
    for (const Case c : {Case{"ticked while waiting", false, false}, Case{"ticked, the loop runs", false, true},
                         Case{"on from the start", true, true}}) {
        SCOPED_TRACE(c.label);
        AUTO_RANGE.value = false;
        lf_enableSettingsControls();
        select(RANGE.controlId, indexOf(25));
        AUTO_RANGE.value = c.storedOn;
        lf_enableSettingsControls();  // the next start
        platform::setCheck(platform::getDlgItem(AUTO_RANGE.controlId), c.storedOn);
        if (!c.storedOn) {
            click(AUTO_RANGE.controlId);
            EXPECT_FALSE(state(RANGE.controlId).enabled);
            EXPECT_TRUE(state(AR_ABOVE_HEIGHT.controlId).enabled);
        }
        userOnGround = true;       // the automatic range: 10 nm
        gf_switchAutoRange(true);  // the run starts
        if (c.loopFirst) lf_handleUiRequests();
        EXPECT_EQ(RANGE.value.load(), 10);

        click(AUTO_RANGE.controlId);
        EXPECT_EQ(RANGE.value.load(), 25);
        EXPECT_EQ(state(RANGE.controlId).text, u"25");
        EXPECT_TRUE(state(RANGE.controlId).enabled);
        EXPECT_FALSE(state(AR_ABOVE_HEIGHT.controlId).enabled);
        select(RANGE.controlId, indexOf(30));
        lf_handleUiRequests();  // the main loop's turn, and its half-minute update
        gf_updateAutoRange();
        EXPECT_EQ(RANGE.value.load(), 30);
        EXPECT_EQ(g_rangeNm.load(), 30.0);
        lf_resetSession();
    }

    // The snaps onto the choices.
    EXPECT_EQ(lf_snapRangeStep(89), 80);
    EXPECT_EQ(lf_snapRangeStep(90), 100);
    EXPECT_EQ(lf_snapFloatStep(20), 10.0f);
    EXPECT_EQ(lf_snapFloatStep(21), 10.0f);
    EXPECT_EQ(lf_snapAltitudeStep(46999), 36000);
}

// A restart while the automatic range is in force: whether the user unticks
// it in the next run or before that run starts, the range the user chose
// comes back, and the settings file never holds the automatic one.
TEST_F(CommandsThreaded, AutoRangeOffAfterARestartRestoresTheManualRange) {
    const auto indexOf = [](std::int32_t nm) {
        return static_cast<int>(std::find(RANGE.choices.begin(), RANGE.choices.end(), nm) - RANGE.choices.begin());
    };
    for (const bool untickInRun2 : {true, false}) {
        SCOPED_TRACE(untickInRun2 ? "unticked after the next run started" : "unticked before the next run started");
        AUTO_RANGE.value = false;
        lf_enableSettingsControls();
        platform::setCheck(platform::getDlgItem(AUTO_RANGE.controlId), false);
        select(RANGE.controlId, indexOf(25));
        click(AUTO_RANGE.controlId);
        userOnGround = true;       // the automatic range: 10 nm
        gf_switchAutoRange(true);  // the run starts
        lf_handleUiRequests();
        ASSERT_EQ(RANGE.value.load(), 10);
        // The file is gone meanwhile, so this save writes it whole from memory.
        std::filesystem::remove(g_parametersXmlPath);
        gf_saveStringParameter(DESTINATION);
        EXPECT_EQ(storedValue("RANGE"), "25");
        // A learned airport file saved now keeps the user's range too.
        pugi::xml_document learned;
        ASSERT_TRUE(gf_buildAirportDocument(learned, AirportFileData{}, kLearnedSave));
        EXPECT_EQ(lf_readAirportIntParam(learned, "LATERAL_RANGE"), 25);

        lf_resetSession();            // the restart
        lf_enableSettingsControls();  // its start-up
        if (!untickInRun2) click(AUTO_RANGE.controlId);
        userOnGround = true;
        if (AUTO_RANGE.value.load()) gf_switchAutoRange(true);  // the next run starts
        lf_handleUiRequests();
        if (untickInRun2) {
            EXPECT_EQ(RANGE.value.load(), 10);
            click(AUTO_RANGE.controlId);
        }
        EXPECT_FALSE(AUTO_RANGE.value.load());
        EXPECT_EQ(RANGE.value.load(), 25);
        EXPECT_EQ(g_rangeNm.load(), 25.0);
        EXPECT_EQ(state(RANGE.controlId).text, u"25");
        EXPECT_TRUE(state(RANGE.controlId).enabled);
        EXPECT_EQ(storedValue("RANGE"), "25");
        EXPECT_EQ(storedValue("AUTO_RANGE"), "false");
        lf_resetSession();
    }
}

TEST_F(CommandsThreaded, ClickingEveryControlInEveryStateNeverFails) {
    enableAll();
    const auto everything = [this] {
        for (const auto& c : platform::allControls()) {
            switch (c.kind) {
                case platform::ControlKind::CheckBox:
                case platform::ControlKind::PushButton:
                    platform::clickControl(c.id);
                    break;
                case platform::ControlKind::ComboBox:
                    for (int i = 0; i < static_cast<int>(c.items.size()); ++i) platform::selectComboItem(c.id, i);
                    break;
                case platform::ControlKind::Edit:
                    platform::typeIntoEdit(c.id, u"\x01\x7F\xFFFF", true);
                    break;
                default:
                    break;
            }
            enableAll();
        }
        settle();
    };
    everything();  // no run
    g_parkAirportLoaded = true;
    g_secondTick = 7;
    everything();  // a run with a park airport
    gf_requestNewSettings(2);
    everything();  // the countdown of a restart
    EXPECT_EQ(g_appState.load(), AppState::NewSettings);
    EXPECT_TRUE(platform::mainWindowExists());
    EXPECT_FALSE(m_log.contains("exception")) << m_log.text();
}

}  // namespace
}  // namespace skh
