#include "aircraft/flight_ident.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "aircraft/dbase.hpp"
#include "foundation/geo.hpp"

namespace skh {
namespace {

FlightIdent ident(std::string airline, std::string type, std::string origin, std::string destination,
                  std::string callsign, std::string registration) {
    IdentStrings s;
    s.airline = std::move(airline);
    s.type = std::move(type);
    s.origin = std::move(origin);
    s.destination = std::move(destination);
    s.callsign = std::move(callsign);
    s.registration = std::move(registration);
    return FlightIdent(std::move(s));
}

TEST(FlightIdent, CallsignRules) {
    struct Case {
        const char* callsign;
        const char* airline;  // from the callsign; "" for none
        bool valid;
    } const cases[] = {
        {"DLH4AB", "DLH", true}, {"dlh4", "DLH", true},     {"D4LH", "", true},
        {"DLH", "", true},       {"EZY12345", "EZY", true}, {"EZY123456", "EZY", false},
        {"", "", false},         {"@@@@@@@@", "", false},   {"N12345", "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.callsign);
        EXPECT_EQ(gf_airlineFromCallsign(c.callsign), c.airline);
        EXPECT_EQ(lf_isValidCallsign(c.callsign), c.valid);
    }
}

TEST(FlightIdent, DescriptionsKeepTheirColumns) {
    const FlightIdent a = ident("DLH", "A320", "EDDF", "LSZH", "DLH4AB", "D-AIZZ");
    EXPECT_EQ(gf_acDescription(a), "EDDF->LSZH DLH4AB   D-AIZZ DLH A320");
    EXPECT_EQ(gf_acDescriptionLong(a), "DLH4AB   D-AIZZ DLH A320");
    EXPECT_EQ(lf_fmtIdentKey(a), "DLH A320 D-AIZZ");
    const FlightIdent b = ident("", "C172", "", "", "N123", "");
    EXPECT_EQ(lf_fmtRoute(b), "        ");
    EXPECT_EQ(gf_acDescription(b), "         N123          C172");
}

TEST(FlightIdent, ConstructionTakesTheCategoryConstantsAndSpreadsThePitches) {
    gf_clearDbase();
    // Without a database every type is Light (0).
    const FlightIdent a = ident("DLH", "A320", "", "", "DLH1", "");
    EXPECT_EQ(a.category, CatLight);
    EXPECT_EQ(a.flareTicks, 250u);
    EXPECT_EQ(a.touchdownTicks, 250u);
    EXPECT_EQ(a.rotationTicks, 100u);
    EXPECT_EQ(a.climbPitchTicks, 200u);
    EXPECT_NEAR(a.groundTurnRate, 0.15 * DEG2RAD, 1e-12);
    EXPECT_NEAR(std::fabs(a.takeoffPitch / DEG2RAD + 9.0), 0.225, 1e-9);
    EXPECT_NEAR(std::fabs(a.climbPitch / DEG2RAD + 15.0), 0.75, 1e-9);
    EXPECT_TRUE(a.liveryTitle.empty());
    EXPECT_THROW(gf_maxClimbStepOf(6), std::out_of_range);
    EXPECT_DOUBLE_EQ(gf_slowGroundSpeedOf(CatHeavy), 3.0);
}

TEST(FlightIdent, MoveLeavesTheSourceTextsEmptyAndCopiesTheRest) {
    FlightIdent from = ident("BAW", "B744", "EGLL", "KJFK", "BAW117", "G-CIVA");
    from.actNumber = 4711;
    from.liveryTitle = "title";
    from.flag = 3;
    FlightIdent to;
    moveFlightIdent(to, from);
    EXPECT_EQ(to.callsign, "BAW117");
    EXPECT_EQ(to.registration, "G-CIVA");
    EXPECT_EQ(to.actNumber, 4711u);
    EXPECT_EQ(to.liveryTitle, "title");
    EXPECT_EQ(to.flag, 3);
    EXPECT_TRUE(from.callsign.empty());
    EXPECT_TRUE(from.airline.empty());
    EXPECT_EQ(from.actNumber, 4711u);
}

}  // namespace
}  // namespace skh
