#include "traffic/aircraft_records.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

#include "aircraft/dbase.hpp"

namespace skh {
namespace {

TEST(AircraftRecords, NewLiveAircraftStartsInTheBufferAtBirth) {
    gf_clearDbase();
    IdentStrings s;
    s.type = "A320";
    s.callsign = "DLH4AB";
    PosSample first;
    first.lat = 50.0;
    first.altitude = 3000.0;
    const LiveAc ac(first, FlightIdent(std::move(s)), 1234.5);
    EXPECT_EQ(ac.callsign, "DLH4AB");
    EXPECT_EQ(ac.moveState, AcState::birth);
    EXPECT_EQ(ac.prevMoveState, AcState::birth);
    EXPECT_EQ(ac.status, AcStatus::buffer);
    EXPECT_EQ(ac.throttleIndex, 5u);
    EXPECT_EQ(ac.flapsIndex, 4u);
    EXPECT_EQ(ac.heightAboveGround, 2500.0);
    EXPECT_EQ(ac.maxEarlyTicks, 1000);
    EXPECT_EQ(ac.maxLateTicks, 1000);
    EXPECT_EQ(ac.phaseCounter, 1);
    EXPECT_FALSE(ac.curve.active());
    EXPECT_EQ(ac.objectId, 0u);
    EXPECT_EQ(ac.standId, 0u);
    ASSERT_EQ(ac.stream.size(), 1u);
    EXPECT_EQ(ac.stream.front().lat, 50.0);
    EXPECT_EQ(ac.lastTimestamp, 1234.5);
    EXPECT_EQ(ac.pos.latitude, 0.0);
}

TEST(AircraftRecords, NamesAndTheirBounds) {
    EXPECT_EQ(gf_moveStateName(AcState::pushing_back), "pushing_back");
    EXPECT_EQ(gf_moveStateName(AcState::birth), "birth");
    EXPECT_EQ(gf_statusName(AcStatus::adding2sim), "adding2sim");
    EXPECT_EQ(gf_statusName(AcStatus::removingfromsim), "removingfromsim");
    EXPECT_THROW(gf_moveStateName(static_cast<AcState>(8)), std::out_of_range);
    EXPECT_THROW(gf_statusName(static_cast<AcStatus>(5)), std::out_of_range);
}

TEST(AircraftRecords, MoveStateKeepsThePreviousOnlyOnAChange) {
    LiveAc ac;
    lf_setMoveState(ac, AcState::taxi);
    lf_setMoveState(ac, AcState::taxi);
    EXPECT_EQ(ac.moveState, AcState::taxi);
    EXPECT_EQ(ac.prevMoveState, AcState::birth);
    lf_setMoveState(ac, AcState::take_off);
    EXPECT_EQ(ac.prevMoveState, AcState::taxi);
}

TEST(AircraftRecords, DueTicksCompareAcrossTheWrapOfThePollCounter) {
    const std::uint32_t near = 0x7FFFFFF0u;  // the signed stamp wraps here
    const std::int32_t due = lf_tickAfter(near, 3000);
    EXPECT_LT(due, 0);
    EXPECT_FALSE(lf_isDue(due, near));
    EXPECT_EQ(lf_ticksUntil(due, near), 3000);
    EXPECT_TRUE(lf_isDue(due, near + 3000));
    EXPECT_TRUE(lf_dueNotLater(lf_tickAfter(0xFFFFFFF0u, 0), lf_tickAfter(0xFFFFFFF0u, 40)));
    EXPECT_FALSE(lf_dueNotLater(lf_tickAfter(0xFFFFFFF0u, 40), lf_tickAfter(0xFFFFFFF0u, 0)));
}

}  // namespace
}  // namespace skh
