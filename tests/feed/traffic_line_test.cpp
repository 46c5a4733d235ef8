// The traffic-line parser and its filters, fed through the reader's datagram
// path without sockets.
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "feed_fixture.hpp"

namespace skh::test {
namespace {

using Line = TrafficLineBuilder;

class TrafficLine : public FeedTest {
protected:
    std::optional<TrafficSample> parse(const std::string& text) {
        gf_clearTrafficQueue();
        g_trafficReader.handleDatagram(text);
        TrafficSample s;
        if (!gf_popTrafficSample(s)) return std::nullopt;
        EXPECT_EQ(gf_trafficQueueSize(), 0u);
        return s;
    }
    void setParkAirport(double elevation) {
        gf_setParkAirport(Airport{"LSZH", "ZRH", kDefaultLat, kDefaultLon, elevation});
        gf_setParkElevation(elevation);
    }
};

TEST_F(TrafficLine, AcceptedLineBecomesSampleDue3000PollsLater) {
    trafficTick = 777;
    const auto s = parse(Line().text());
    ASSERT_TRUE(s);
    EXPECT_EQ(s->actNumber, 4840100u);
    EXPECT_DOUBLE_EQ(s->pos.lat, 47.46);
    EXPECT_DOUBLE_EQ(s->pos.lon, 8.56);
    EXPECT_DOUBLE_EQ(s->pos.altitude, 5000.0);
    EXPECT_DOUBLE_EQ(s->pos.groundSpeed, 210.0);
    EXPECT_DOUBLE_EQ(s->pos.track, 140.5);
    EXPECT_DOUBLE_EQ(s->pos.verticalSpeed, -640.0);
    EXPECT_DOUBLE_EQ(s->pos.trueAirspeed, 230.0);
    EXPECT_EQ(s->pos.dueTick, 3777);
    EXPECT_EQ(s->pos.airborne, 1);
    EXPECT_EQ(s->pos.consumed, 0);
    ASSERT_TRUE(s->pos.trueHeading);
    EXPECT_NEAR(*s->pos.trueHeading, 141.0 * DEG2RAD, 1e-12);
    EXPECT_EQ(s->pos.trueHeadingTaken, 1);
    EXPECT_FALSE(s->pos.bank);
    EXPECT_DOUBLE_EQ(s->timestamp, 1700000000.25);
    EXPECT_DOUBLE_EQ(g_trafficTime.load(), 1700000000.25);
    EXPECT_EQ(s->ident.callsign, "SWR123");
    EXPECT_EQ(s->ident.type, "A320");
    EXPECT_EQ(s->ident.registration, "HB-JLT");
    EXPECT_EQ(s->ident.origin, "LSGG");
    EXPECT_EQ(s->ident.destination, "LSZH");
    EXPECT_TRUE(s->ident.airline.empty());
    EXPECT_TRUE(s->ident.secondCallsign.empty());
    EXPECT_EQ(s->ident.flag, 0);
    EXPECT_EQ(log.text().find("exception"), std::string::npos);
}

struct DropCase {
    const char* what;
    std::vector<std::pair<std::size_t, std::string>> fields;
    bool airborneOnly = false;
};

TEST_F(TrafficLine, UnwantedLinesAreDroppedWithoutTrace) {
    const std::vector<DropCase> cases = {
        {"beyond range", {{2, "48.50"}}},
        {"registration of 13", {{11, "ABCDEFGHIJKLM"}}},
        {"type ZZZZ", {{10, "ZZZZ"}}},
        {"type null", {{10, "null"}}},
        {"type 0", {{10, "0"}}},
        {"glider by type", {{10, "GLID"}, {28, "A1"}}},
        {"ground service type", {{10, "GND"}, {28, "A2"}}},
        {"category C2", {{10, "B738"}, {28, "C2"}}},
        {"category B1", {{28, "B1"}}},
        {"act number 10000", {{1, "10000"}}},
        {"act number 0", {{1, "0"}}},
        {"test entry ERARMTR0", {{9, "ERARMTR0"}}},
        {"test entry AIRPORT1", {{9, "AIRPORT1"}}},
        {"no callsign nor registration", {{9, "null"}, {11, ""}}},
        {"at-sign callsign, no registration", {{9, "a@b"}, {11, "null"}}},
        {"on the ground, no park airport", {{4, "0"}}},
        {"slow at 500 ft is on the ground", {{4, "500"}, {8, "30"}}},
        {"airborne only: at ground level", {{4, "0"}, {8, "0"}}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        AIRBORNE_ONLY.value = c.airborneOnly;
        Line line;
        for (const auto& [i, v] : c.fields) line.set(i, v);
        EXPECT_FALSE(parse(line.text()));
    }
    EXPECT_EQ(log.text().find("exception"), std::string::npos);
}

TEST_F(TrafficLine, GroundVehiclesAreNotEvenParsed) {
    g_trafficTime = 5.0;
    EXPECT_FALSE(parse(Line().set(10, "SERV VEH").text()));
    EXPECT_FALSE(parse(Line().set(36, "x VEHICLE").text()));
    EXPECT_DOUBLE_EQ(g_trafficTime.load(), 5.0);
}

struct ErrorCase {
    const char* what;
    std::vector<std::pair<std::size_t, std::string>> fields;
    std::string expected;  // part of the log line
};

TEST_F(TrafficLine, BadFieldsAreLoggedErrorsNeverSamples) {
    const std::vector<ErrorCase> cases = {
        {"empty timestamp", {{14, ""}}, "exception in processLineSub: timestamp:"},
        {"null latitude", {{2, "null"}}, "lat:null"},
        {"plus sign", {{3, "+8.5"}}, "lon:+8.5"},
        {"leading blank", {{8, " 210"}}, "gs: 210"},
        {"not a number", {{2, "nan"}}, "lat:nan"},
        {"infinite longitude", {{3, "-inf"}}, "lon:-inf"},
        {"beyond double", {{8, "1e400"}}, "gs:1e400"},
        {"absurd ground speed", {{8, "1e300"}}, "gs:1e300"},
        {"absurd timestamp", {{14, "9e99"}}, "timestamp:9e99"},
        {"negative timestamp", {{14, "-5"}}, "timestamp:-5"},
        {"position near zero", {{2, "0.00005"}, {3, "0.00008"}}, "invalid lalo: 0.000050,0.000080"},
        {"latitude beyond pole", {{2, "90.5"}}, "invalid lalo: 90.500000,8.560000"},
        {"letters for act number", {{1, "abc"}}, "hexid incorrectabc"},
        {"act number beyond 32 bits", {{1, "4294967296"}}, "hexid incorrect4294967296"},
        {"signed act number", {{1, "-4840100"}}, "hexid incorrect-4840100"},
        {"true heading beyond 360", {{25, "361.5"}}, "trueheading: 361.50"},
        {"true heading missing", {{25, "null"}}, "trueheading:null"},
        {"altitude not a number", {{4, "high"}}, "altitude high incorrect, from: TFC,4840100,"},
        {"altitude infinite", {{4, "inf"}}, "altitude inf incorrect"},
        {"track not a number", {{7, "north"}}, "track incorrect north"},
        {"vertical speed empty", {{5, ""}}, "vs:"},
        {"roll not a number", {{23, "level"}}, "roll:level"},
        {"TAS not a number", {{20, "fast"}}, "TAS incorrectfast"},
        {"TAS NaN", {{20, "NaN"}}, "TAS incorrectNaN"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Line line;
        for (const auto& [i, v] : c.fields) line.set(i, v);
        EXPECT_FALSE(parse(line.text()));
        EXPECT_TRUE(log.contains(c.expected)) << log.text();
    }
}

TEST_F(TrafficLine, ShortLinesAreErrorsNotOutOfRangeReads) {
    const std::string full = Line().text();
    for (const std::string& text : {std::string("x"), std::string(","), std::string("TFC,4840100,47.46,8.56"),
                                   full.substr(0, full.find(",A3,"))}) {
        SCOPED_TRACE(text);
        g_trafficTime = 3.0;
        EXPECT_FALSE(parse(text));
        EXPECT_DOUBLE_EQ(g_trafficTime.load(), 3.0);
    }
    EXPECT_TRUE(log.contains("exception in processLineSub: line has 1 field, 29 needed"));
    EXPECT_TRUE(log.contains("line has 28 fields, 29 needed"));
    // Exactly the fields that are read is enough.
    EXPECT_TRUE(parse(full.substr(0, full.find(",A3,") + 3)));
}

TEST_F(TrafficLine, TrailingLineEndIsNotPartOfTheLastField) {
    const std::string text = Line().text();
    const std::string last28 = text.substr(0, text.find(",A3,") + 3);
    const auto s = parse(last28 + "\r\n");
    ASSERT_TRUE(s);
    EXPECT_FALSE(parse(Line().set(28, "B2").text().substr(0, last28.size()) + "\n"));
}

TEST_F(TrafficLine, FieldReadingRules) {
    auto s = parse(Line().set(1, "12345abc").text());
    ASSERT_TRUE(s);
    EXPECT_EQ(s->actNumber, 12345u);

    s = parse(Line().set(1, "10001").set(4, "5000ft").text());
    ASSERT_TRUE(s);
    EXPECT_EQ(s->actNumber, 10001u);
    EXPECT_DOUBLE_EQ(s->pos.altitude, 5000.0);

    s = parse(Line().set(11, "ABCDEFGHIJKL").set(9, "null").text());
    ASSERT_TRUE(s);
    EXPECT_EQ(s->ident.registration, "ABCDEFGHIJKL");
    EXPECT_EQ(s->ident.callsign, "");

    s = parse(Line().set(9, "x@y").text());
    ASSERT_TRUE(s);
    EXPECT_EQ(s->ident.callsign, "");

    s = parse(Line().set(10, "B738").set(28, "null").text());
    ASSERT_TRUE(s);
    EXPECT_EQ(s->ident.type, "B738");

    s = parse(Line().set(10, "GLID").set(28, "").text());
    ASSERT_TRUE(s) << "an empty category keeps any type";

    s = parse(Line().set(12, "null").set(13, "").text());
    ASSERT_TRUE(s);
    EXPECT_EQ(s->ident.origin, "");
    EXPECT_EQ(s->ident.destination, "");

    s = parse(Line().set(7, "").set(17, "mlat").text());
    ASSERT_TRUE(s);
    EXPECT_DOUBLE_EQ(s->pos.track, 0.0);
}

TEST_F(TrafficLine, TrueHeadingComesOnlyFromAdsbIcao) {
    struct Case {
        std::string source, heading, track;
        std::optional<double> expectedHeading;
        double expectedTrack;
    };
    const std::vector<Case> cases = {
        {"adsb_icao", "0", "0", TWO_PI, 360.0},
        {"adsb_icao", "90", "0", 90 * DEG2RAD, 90.0},
        {"adsb_icao", "90", "80", 90 * DEG2RAD, 80.0},
        {"adsb_icao", "360", "12", 360 * DEG2RAD, 12.0},
        {"adsb_icao", "-1", "0", std::nullopt, 0.0},
        {"F_adsb_icao", "45", "0", 45 * DEG2RAD, 45.0},
        {"X1_adsb_icao", "45", "10", 45 * DEG2RAD, 10.0},
        {"Fadsb_icao", "45", "0", std::nullopt, 0.0},
        {"adsb_icao_x", "45", "0", std::nullopt, 0.0},
        {"mlat", "999", "10", std::nullopt, 10.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source + " " + c.heading);
        const auto s = parse(Line().set(17, c.source).set(25, c.heading).set(7, c.track).text());
        ASSERT_TRUE(s);
        EXPECT_EQ(s->pos.trueHeading.has_value(), c.expectedHeading.has_value());
        EXPECT_EQ(s->pos.trueHeadingTaken, c.expectedHeading ? 1 : 0);
        if (c.expectedHeading && s->pos.trueHeading) {
            EXPECT_NEAR(*s->pos.trueHeading, *c.expectedHeading, 1e-12);
        }
        EXPECT_NEAR(s->pos.track, c.expectedTrack, 1e-9);
    }
}

TEST_F(TrafficLine, BankAndTrueAirspeed) {
    auto s = parse(Line().set(23, "5").text());
    ASSERT_TRUE(s && s->pos.bank);
    EXPECT_NEAR(*s->pos.bank, -0.0872664626, 1e-10);
    s = parse(Line().set(23, "0").text());
    ASSERT_TRUE(s);
    EXPECT_FALSE(s->pos.bank);

    const std::vector<std::pair<std::string, double>> tasByAltitude = {
        {"1500", 180.0}, {"2000", 180.0}, {"4000", 220.0}, {"9000", 250.0},
        {"12000", 350.0}, {"20000", 350.0}, {"20001", 430.0}};
    for (const auto& [altitude, tas] : tasByAltitude) {
        SCOPED_TRACE(altitude);
        s = parse(Line().set(4, altitude).set(20, "-1").text());
        ASSERT_TRUE(s);
        EXPECT_DOUBLE_EQ(s->pos.trueAirspeed, tas);
    }
}

TEST_F(TrafficLine, OnGroundDecisionAgainstParkAirport) {
    setParkAirport(100.0);
    struct Case {
        const char* altitude;
        const char* gs;
        double expectedAltitude;
    };
    const std::vector<Case> cases = {
        {"140", "110", 0.0},    // 40 ft above the field
        {"150", "110", 150.0},  // 50 ft: airborne at that speed
        {"200", "40", 0.0},     // 100 ft, slow
        {"200", "50", 200.0},
        {"90", "200", 0.0},     // below the field
        {"500", "30", 0.0},     // slow at any height
        {"0", "0", 0.0},
        {"-50", "0", 0.0},
        {"15000", "200", 15000.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.altitude) + " ft " + c.gs + " kt");
        const auto s = parse(Line().set(4, c.altitude).set(8, c.gs).text());
        ASSERT_TRUE(s);
        EXPECT_DOUBLE_EQ(s->pos.altitude, c.expectedAltitude);
        EXPECT_EQ(s->pos.airborne, c.expectedAltitude > 0.0 ? 1 : 0);
        if (c.expectedAltitude == 0.0) {
            EXPECT_FALSE(s->pos.bank);
        }
    }
    // On the ground more than 5 nm from the park airport.
    EXPECT_FALSE(parse(Line().set(4, "0").set(2, "47.56").text()));
}

TEST_F(TrafficLine, AirborneOnlyKeepsAircraftClearOfTheField) {
    AIRBORNE_ONLY.value = true;
    setParkAirport(1400.0);
    EXPECT_FALSE(parse(Line().set(4, "1650").set(8, "200").text()));
    EXPECT_TRUE(parse(Line().set(4, "1750").set(8, "200").text()));
    gf_clearParkAirport();
    gf_setParkElevation(std::nullopt);
    EXPECT_FALSE(parse(Line().set(4, "250").set(8, "200").text()));
    EXPECT_TRUE(parse(Line().set(4, "350").set(8, "200").text()));
}

TEST_F(TrafficLine, ClosedIntakeStillAdvancesTrafficTime) {
    gf_setTrafficAccepted(false);
    EXPECT_FALSE(parse(Line().set(14, "1700000123").text()));
    EXPECT_DOUBLE_EQ(g_trafficTime.load(), 1700000123.0);
}

TEST_F(TrafficLine, CallsignsAreCollectedOnlyWhileAsked) {
    parse(Line().set(9, "EZY1").text());
    EXPECT_EQ(heardCallsigns.size(), 0u);
    collectCallsigns = true;
    for (const char* cs : {"EZY2", "null", "", "a@b"}) parse(Line().set(9, cs).text());
    // Heard even when the line is dropped later.
    parse(Line().set(9, "DLH3").set(10, "ZZZZ").text());
    EXPECT_EQ(heardCallsigns.take(), (std::unordered_set<std::string>{"EZY2", "DLH3"}));
}

TEST_F(TrafficLine, HostileBytes) {
    // Bytes that are not UTF-8 pass through text fields unchanged...
    const std::string callsign = "\xff\xfe\x80X";
    auto s = parse(Line().set(9, callsign).text());
    ASSERT_TRUE(s);
    EXPECT_EQ(s->ident.callsign, callsign);
    // ...and never reach the log raw.
    EXPECT_FALSE(parse(Line().set(4, "\xff\x01\n").text()));
    EXPECT_TRUE(log.contains("exception in processLineSub: altitude ??? incorrect"));

    // An embedded zero byte ends nothing early.
    s = parse(Line().set(16, std::string("a\0b", 3)).text());
    EXPECT_TRUE(s);

    // The largest datagram the buffer takes is parsed (and fails); a full
    // buffer is skipped and not counted.
    const std::int32_t before = g_trafficReader.datagramCounter.load();
    std::string big = Line().text() + ",";
    big.resize(UdpReader::kBufferSize - 1, '9');
    EXPECT_TRUE(parse(big));  // the padding is only a long last field
    EXPECT_EQ(g_trafficReader.datagramCounter.load(), before + 1);
    big.push_back('9');
    EXPECT_FALSE(parse(big));
    EXPECT_EQ(g_trafficReader.datagramCounter.load(), before + 1);
    EXPECT_TRUE(log.contains("buffer overrun: 16384 bytes"));

    // A log line quotes at most about a kilobyte of a datagram.
    std::string longBad = Line().set(4, "high").text() + ",";
    longBad.resize(UdpReader::kBufferSize - 1, 'z');
    EXPECT_FALSE(parse(longBad));
    int quoted = 0;
    for (const auto& l : log.lines()) {
        if (l.find("altitude high incorrect") == std::string::npos) continue;
        ++quoted;
        EXPECT_LT(l.size(), 1100u);
        EXPECT_TRUE(l.ends_with("zzz..."));
    }
    EXPECT_EQ(quoted, 1);

    std::string commas(UdpReader::kBufferSize - 1, ',');
    EXPECT_FALSE(parse(commas));
    EXPECT_TRUE(log.contains("timestamp:"));
}

TEST_F(TrafficLine, RepeatsAreSkippedOnlyFromAnotherPc) {
    const std::string text = Line().text();
    g_rtOnThisPc = false;
    g_trafficReader.handleDatagram("something else first");
    g_trafficReader.handleDatagram(text);
    g_trafficReader.handleDatagram(text);
    EXPECT_EQ(gf_trafficQueueSize(), 1u);
    EXPECT_EQ(g_trafficReader.datagramCounter.load(), 3);
    g_trafficReader.handleDatagram(Line().set(14, "1700000001").text());
    g_trafficReader.handleDatagram(text);
    EXPECT_EQ(gf_trafficQueueSize(), 3u);

    gf_clearTrafficQueue();
    g_rtOnThisPc = true;
    g_trafficReader.handleDatagram(text);
    g_trafficReader.handleDatagram(text);
    EXPECT_EQ(gf_trafficQueueSize(), 2u);
}

}  // namespace
}  // namespace skh::test
