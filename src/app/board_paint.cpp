#include "app/board_paint.hpp"

#include <mutex>
#include <set>

#include "airports/airport.hpp"
#include "airports/airport_list.hpp"
#include "airports/airport_scan.hpp"
#include "airports/park_airport_load.hpp"
#include "foundation/constants.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/main_window_state.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/text.hpp"
#include "foundation/version.hpp"
#include "foundation/win_interfaces.hpp"
#include "traffic/stand_learning.hpp"

namespace skh {

using platform::ColorRef;
using platform::PaintSurface;

namespace {

// Texts that failed to convert, logged once each: the window paints often.
std::mutex g_badTextMutex;
std::set<std::string> g_badTexts;  // guarded by g_badTextMutex
constexpr std::size_t kMaxBadTexts = 64;

void lf_reportBadText(const std::string& line, const std::string& text) {
    {
        const std::lock_guard lock(g_badTextMutex);
        if (g_badTexts.size() >= kMaxBadTexts || !g_badTexts.insert(text).second) return;
    }
    gf_log(line);
}

ColorRef yellowIf(bool on) { return on ? kYellow : kBlack; }

ColorRef greyUnlessEnabled(const UiControl& c) { return gf_controlEnabled(c) ? kBlack : kGrey; }

void lf_paintLamps(PaintSurface& s, const BoardTexts& texts) {
    const auto& b = g_mainWindowState;
    const bool connected = b.simConnectConnected.load();
    const bool running = b.simulatorRunning.load() && !texts.userAircraftTitle.empty();
    const ColorRef c = connected ? (running ? kGreen : kYellow) : kRed;
    s.fillRect(kSimLampArea, c);
    lf_textOutUtf8(s, 398, 63, "Sim", kGreen);
    if (connected) {
        std::string line = texts.simulatorName;
        if (!texts.userStand.empty()) line += ", user stand " + texts.userStand;
        lf_textOutUtf8(s, 5, 35, line, c);
        lf_textOutUtf8(s, 5, 63, texts.userAircraftTitle, b.userWingspanKnown.load() ? c : kYellow);
    }
}

void lf_paintCounts(PaintSurface& s) {
    const auto& b = g_mainWindowState;
    const std::uint64_t liveries = b.liveriesCount.load();
    if (liveries == 0) {
        lf_textOutUtf8(s, 5, 91, "# liveries: ...", kRed);
    } else {
        lf_textOutUtf8(s, 5, 91, skh::format("# liveries: {}", liveries), kGreen);
    }
    const std::uint64_t orbx = b.orbxAirportCount.load();
    if (orbx == 0) {
        lf_textOutUtf8(s, 141, 91, skh::format("# {}{}", "simaddon", ": ..."), kYellow);
    } else {
        lf_textOutUtf8(s, 141, 91, skh::format("# {}: {}", "simaddon", orbx),
                       g_airportsScanOk.load() ? kGreen : kYellow);
    }
    const std::uint64_t thirdparty = b.thirdpartyAirportCount.load();
    if (thirdparty == 0) {
        lf_textOutUtf8(s, 278, 91, "# thirdp: ...", kYellow);
    } else {
        lf_textOutUtf8(s, 278, 91, skh::format("# thirdp: {}", thirdparty), kGreen);
    }
}

void lf_paintRealTraffic(PaintSurface& s, const BoardTexts& texts) {
    const auto& b = g_mainWindowState;
    const bool link = b.realTrafficConnected.load();
    const std::int32_t traffic = b.trafficLamp.load();
    const std::int32_t weather = b.weatherLamp.load();
    ColorRef lamp = kRed;
    if (b.realTrafficIdle.load()) {
        lamp = kBlack;
    } else if (link) {
        lamp = traffic == LampActive ? kGreen : kYellow;
    }
    s.fillRect(kRealTrafficLampArea, lamp);
    lf_textOutUtf8(s, 430, 63, "RT", kGreen);
    if (link) {
        lf_textOutUtf8(s, 458, 35, texts.realTrafficEdition, kGreen);
        if (weather != LampStopped) lf_textOutUtf8(s, 458, 63, "Weather", weather == LampActive ? kGreen : kYellow);
        if (traffic != LampStopped) lf_textOutUtf8(s, 458, 91, "Traffic", traffic == LampActive ? kGreen : kYellow);
    }
}

bool readerShown(std::int32_t lamp) { return lamp == LampActive || lamp == LampStale; }

// One label of the settings area: its text at x on the row of a control.
struct Label {
    const char* text;
    int x;
    const UiControl* row;
    ColorRef colour;
};

void lf_paintLabels(PaintSurface& s, std::initializer_list<Label> labels) {
    for (const Label& l : labels) lf_textOutUtf8(s, l.x, l.row->row, l.text, l.colour);
}

void lf_paintParkingLabels(PaintSurface& s) {
    const bool busy = g_mainWindowState.parkingBusy.load();
    lf_textOutUtf8(s, 5, MAX_PARK_SEL.row, skh::format("Airport parking{}", busy ? " active" : ""), yellowIf(busy));
    const bool maxPark = MAX_PARK_SEL.value.load() != 0;
    const bool maxLive = MAX_LIVE_SEL.value.load() != 0;
    const bool none = !maxPark && !maxLive;
    lf_textOutUtf8(s, 171, MAX_PARK_SEL.row, "Max park (static+live):", none ? kRed : (maxPark ? kBlack : kYellow));
    lf_textOutUtf8(s, 401, MAX_LIVE_SEL.row, "Max live (park incl):", none ? kRed : (maxLive ? kBlack : kYellow));
    lf_textOutGrey(s, 672, STRAIGHT_PBS_ONLY.row, "Straight push backs only", STRAIGHT_PBS_ONLY.value.load());
    const std::int32_t next = g_mainWindowState.nextRenewalMinutes.load();
    if (g_parkAirportLoaded.load() && !busy && !INITIAL_LOAD_ONLY.value.load() && next > 0 && next < 20) {
        lf_textOutUtf8(s, 5, AIRP_RANGE.row, skh::format("(next in {} min)", next), kBlack);
    }
}

}  // namespace

void gf_clearBadTexts() {
    const std::lock_guard lock(g_badTextMutex);
    g_badTexts.clear();
}

void lf_textOutUtf8(PaintSurface& s, int x, int y, const std::string& text, ColorRef colour) {
    try {
        s.text(x, y, gf_utf8ToUtf16(text), colour);
    } catch (const win32::Utf8ConversionException& e) {
        lf_reportBadText(skh::format("{} conversion exception {}, error code: {}", text, e.what(), e.ErrorCode()),
                         text);
    } catch (const std::overflow_error& e) {
        lf_reportBadText(skh::format("{} {}", text, e.what()), text);
    }
}

void lf_textOutGrey(PaintSurface& s, int x, int y, const std::string& text, bool enabled) {
    lf_textOutUtf8(s, x, y, text, enabled ? kBlack : kGrey);
}

void lf_paintScanStatus(PaintSurface& s) {
    const BoardTexts texts = gf_boardTexts();
    lf_paintLamps(s, texts);
    lf_paintCounts(s);
    lf_paintRealTraffic(s, texts);
    s.line(425, 29, 425, 112, g_mainWindowState.penBlack);
}

void lf_paintQnh(PaintSurface& s) {
    const auto& b = g_mainWindowState;
    if (!b.realTrafficConnected.load() || !readerShown(b.weatherLamp.load())) return;
    const std::int32_t qnh = b.qnhShown.load();
    lf_textOutUtf8(s, 642, 63, qnh < 1 ? std::string() : skh::format("qnh: {:4}", qnh), kGreen);
}

void lf_paintSettings(PaintSurface& s) {
    const bool autoRange = AUTO_RANGE.value.load();
    lf_paintLabels(s,
                   {
                       {"Aerowinx", 672, &AEROWINX, yellowIf(AEROWINX.value.load())},
                       {"Log", 672, &LOG, kBlack},
                       {"Stay on top", 768, &ALWAYS_ON_TOP, yellowIf(ALWAYS_ON_TOP.value.load())},
                       {"Learn Soft", 768, &LEARN_SOFT, kBlack},
                       {"Nav lights", 672, &NAV_LIGHTS_WHILE_PARKED, kBlack},
                       {"GUID changes", 768, &GUID_CHANGES, yellowIf(!GUID_CHANGES.value.load())},
                       {"Install path:", 5, &ALL_INSTALL_PATH, kBlack},
                       {"Scan for liveries", 25, &LIG_AUTOMATIC, yellowIf(SCAN_LIVERIES.value.load())},
                       {"Automatic", 237, &LIG_AUTOMATIC, kBlack},
                       {"Prioritize", 470, &LIG_PRIORITIZE, kBlack},
                       {"Stub", 556, &SUPPRESS_STUB, kBlack},
                       {"Scan for addon airports", 25, &SCAN_AIRPORTS, yellowIf(SCAN_AIRPORTS.value.load())},
                       {"Automatic", 237, &AFG_AUTOMATIC, kBlack},
                       {"Max aircraft matching depth", 5, &MATCHING_DEPTH, kBlack},
                       {"Optional:", 258, &LIGHT_AIRCRAFT, kBlack},
                       {"Light aircraft", 343, &LIGHT_AIRCRAFT, greyUnlessEnabled(LIGHT_AIRCRAFT)},
                       {"Helicopters", 450, &HELICOPTERS, greyUnlessEnabled(HELICOPTERS)},
                       {"FighterJets", 556, &HIGH_PERF_AIRCRAFT, greyUnlessEnabled(HIGH_PERF_AIRCRAFT)},
                       {"Traffic injection", 5, &RANGE, kBlack},
                       {"Radius:", 163, &RANGE, kBlack},
                       {"nm, or", 270, &RANGE, kBlack},
                       {"Auto range", 343, &AUTO_RANGE, kBlack},
                       {"Ah:", 430, &AR_ABOVE_HEIGHT, autoRange ? kBlack : kGrey},
                       {"ft", 536, &AR_ABOVE_HEIGHT, autoRange ? kBlack : kGrey},
                       {"AirOnly", 592, &AIRBORNE_ONLY, yellowIf(AIRBORNE_ONLY.value.load())},
                       {"Block callsign:", 5, &BLOCK_CALLSIGN, kBlack},
                       {"Collision avoidance", 5, &COLLISION_USER_GND, kBlack},
                       {"User ground", 237, &COLLISION_USER_GND, kBlack},
                       {"User air", 343, &COLLISION_USER_AIR, kBlack},
                       {"Live X parked", 450, &COLLISION_LIVE_PARKED_GND, kBlack},
                       {"Destination:", 137, &DESTINATION, kBlack},
                       {"Range:", 303, &AIRP_RANGE, kBlack},
                       {"nm", 403, &AIRP_RANGE, kBlack},
                       {"Height above gnd:", 440, &AIRP_HEIGHT, kBlack},
                       {"ft", 646, &AIRP_HEIGHT, kBlack},
                       {"Fake", 25, &PARK_FAKE, kBlack},
                       {"Week", 91, &WEEK, kBlack},
                       {"Soft", 171, &PARK_SOFT, kBlack},
                       {"Target: ", 264, &parking_percentage, kBlack},
                       {"%", 378, &parking_percentage, kBlack},
                       {"ILO", 450, &INITIAL_LOAD_ONLY, yellowIf(INITIAL_LOAD_ONLY.value.load())},
                       {"Max fit:", 506, &MAX_FIT_FL, kBlack},
                       {"hrs", 632, &MAX_FIT_FL, kBlack},
                   });
    const std::uint64_t tblo = g_tbloFileCount.load();
    if (tblo != 0) {
        lf_textOutUtf8(s, 323, SCAN_AIRPORTS.row,
                       skh::format("{} airport{} in {} folder", tblo, gf_pluralUnsigned(tblo), g_folderText), kYellow);
    }
    lf_paintParkingLabels(s);
}

void lf_paintParkingStats(PaintSurface& s) {
    const Airport park = gf_parkAirport();
    if (park.icao.empty()) return;
    const auto& b = g_mainWindowState;
    const int y1 = g_statsRowY;
    const int y2 = y1 + 28;
    const bool fileOk = b.parkFileOk.load();
    lf_textOutUtf8(s, 5, y1, gf_airportDisplayName(park), fileOk ? kGreen : kYellow);
    if (!fileOk) return;
    lf_textOutUtf8(s, 85, y1,
                   skh::format(" {}, {}{}, wk={}", g_parkBoard.airportName.get(), g_parkBoard.publisher.get(),
                               g_parkBoard.handmade.load() ? " (h)" : "", g_rtTrafficWeek.load()),
                   kGreen);
    lf_textOutUtf8(s, 370, y1, b.softPositionsUsed.load() ? "*S*" : "", kGreen);
    lf_textOutUtf8(s, 430, y1, skh::format("qf: {}", g_parkBoard.quality.get()), kGreen);
    const std::string reserved = g_parkBoard.reservedStand.get();
    if (!reserved.empty()) {
        lf_textOutUtf8(s, 571, y1, skh::format("reserved stand: {}", reserved),
                       b.reservedStandOk.load() ? kGreen : kRed);
    }
    lf_textOutUtf8(s, 748, y1, skh::format("# updates: {:4}", g_learnedChanges.load()), kGreen);
    lf_textOutUtf8(s, 5, y2, skh::format("# stands: {:3}", g_parkBoard.standCount.load()), kGreen);
    lf_textOutUtf8(s, 111, y2, skh::format("parked live: {:3}", b.parkedLiveCount.load()), kGreen);
    const float liveFit = b.liveAvgFit.load();
    if (liveFit > 0.0f) lf_textOutUtf8(s, 249, y2, skh::format("average fit: {}", gf_float2string(liveFit)), kGreen);
    const std::int32_t maxPark = b.maxParkCount.load();
    if (maxPark > 0) {
        lf_textOutUtf8(s, 430, y2, skh::format("parked static: {:3}", b.parkedStaticCount.load()), kGreen);
        const float staticFit = b.staticAvgFit.load();
        if (!WEEK.value.load() && staticFit > 0.0f) {
            lf_textOutUtf8(s, 571, y2, skh::format("average fit: {}", gf_float2string(staticFit)), kGreen);
        }
    }
    lf_textOutUtf8(s, 708, y2,
                   maxPark == 0 ? std::string("no max park live")
                                : skh::format("max park: {:3} (={} %)", maxPark, b.maxParkPercent.load()),
                   kGreen);
}

void lf_paintWindow(PaintSurface& s) {
    const auto& st = g_mainWindowState;
    s.fillRect(kHeaderArea, st.brushBlack);
    s.fillRect(kBoardArea, st.brushBlack);
    s.fillRect(kSettingsArea, st.brushLightBlue);
    s.fillRect(kStatisticsArea, st.brushBlack);
    s.fillRect(kStatusArea, st.brushGreen);
    for (const int y : {28, 113, 449, 392}) s.line(0, y, 880, y, st.penWhite);
    lf_textOutUtf8(s, 3, 7, skh::format("Version {}", gf_versionToString(g_programVersion)), kGreen);
    lf_textOutUtf8(s, 390, 7, PRODUCT_NAME, kGreen);
    for (const int y : {140, 308}) s.line(0, y, 880, y, st.penBlack);
    for (const int y : {168, 196, 224, 252, 280}) s.line(0, y, 642, y, st.penBlack);
    s.line(642, 140, 642, 308, st.penBlack);

    lf_paintScanStatus(s);
    lf_paintQnh(s);
    if (st.realTrafficConnected.load() && readerShown(st.trafficLamp.load())) {
        lf_textOutUtf8(s, 642, 91, skh::format("live: {:3}", st.liveCount.load()), kGreen);
    }
    lf_paintSettings(s);
    lf_paintParkingStats(s);

    std::string error;
    std::string status;
    {
        const std::lock_guard lock(g_mainWindowState.statusMutex);
        error = st.g_errorText;
        status = st.g_statusText;
    }
    if (!error.empty()) {
        s.fillRect(kStatusArea, st.brushRed);
        lf_textOutUtf8(s, 3, 455, error, kYellow);
    } else {
        s.fillRect(kStatusArea, st.brushGreen);
        if (!status.empty()) lf_textOutUtf8(s, 3, 455, status, kYellow);
    }
}

}  // namespace skh
