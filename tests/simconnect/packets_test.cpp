// The packets of every request, byte for byte, on a connection without a
// transport: golden bytes written field by field, send ids, string limits,
// discarding, and the results of a failed or missing connection.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "simconnect/connection.hpp"
#include "simconnect/simconnect.hpp"
#include "support/sc_wire.hpp"

namespace skh {
namespace {

using test::Bytes;
using test::WireWriter;

class ScPackets : public ::testing::Test {
protected:
    void SetUp() override { h = gf_scOpenUnattached(); }
    void TearDown() override {
        gf_scTimings().settleWaitMs = 0;
        EXPECT_EQ(SimConnect_Close(h), kScOk);
        gf_scTimings().settleWaitMs = 250;
    }
    ScConnection* conn() { return static_cast<ScConnection*>(h); }
    std::vector<Bytes> sent() {
        std::vector<Bytes> out;
        for (auto& b : gf_scTakeOutgoing(h)) out.push_back(std::move(b.bytes));
        return out;
    }
    static WireWriter header(std::uint32_t size, std::uint32_t type, std::uint32_t sendId) {
        WireWriter w;
        w.u32(size).u32(35).u32(0xF0000000u | type).u32(sendId);
        return w;
    }
    HANDLE h = nullptr;
};

TEST_F(ScPackets, EveryRequestBuildsItsGoldenBytes) {
    const SIMCONNECT_DATA_INITPOSITION pos{47.5, 8.5, 1400.0, -1.5, 0.25, 270.0, 1, 0};
    const double block[2] = {1.25, -2.5};
    struct Case {
        const char* name;
        std::function<HRESULT()> call;
        std::function<WireWriter(std::uint32_t sendId)> golden;
    };
    const Case cases[] = {
        {"MapClientEventToSimEvent", [&] { return SimConnect_MapClientEventToSimEvent(h, 207, "BEACON_LIGHTS_SET"); },
         [](std::uint32_t id) { auto w = header(276, 0x04, id); w.u32(207).fixed("BEACON_LIGHTS_SET", 256); return w; }},
        {"TransmitClientEvent", [&] { return SimConnect_TransmitClientEvent(h, 1001, 215, 1, 301, 16); },
         [](std::uint32_t id) { auto w = header(36, 0x05, id); w.u32(1001).u32(215).u32(1).u32(301).u32(16); return w; }},
        {"AddClientEventToNotificationGroup",
         [&] { return SimConnect_AddClientEventToNotificationGroup(h, 301, 208, true); },
         [](std::uint32_t id) { auto w = header(28, 0x07, id); w.u32(301).u32(208).u32(1); return w; }},
        {"SetNotificationGroupPriority", [&] { return SimConnect_SetNotificationGroupPriority(h, 301, 1); },
         [](std::uint32_t id) { auto w = header(24, 0x09, id); w.u32(301).u32(1); return w; }},
        {"AddToDataDefinition",
         [&] { return SimConnect_AddToDataDefinition(h, 402, "Plane Latitude", "degree", ScDatumType::Float64, 0.5f,
                                                     kScUnused); },
         [](std::uint32_t id) {
             auto w = header(544, 0x0C, id);
             w.u32(402).fixed("Plane Latitude", 256).fixed("degree", 256).u32(4).f32(0.5f).u32(0xFFFFFFFF);
             return w;
         }},
        {"AddToDataDefinition without units",
         [&] { return SimConnect_AddToDataDefinition(h, 407, "TITLE", nullptr, ScDatumType::StringV, 0, kScUnused); },
         [](std::uint32_t id) {
             auto w = header(544, 0x0C, id);
             w.u32(407).fixed("TITLE", 256).zeros(256).u32(11).f32(0).u32(0xFFFFFFFF);
             return w;
         }},
        {"RequestDataOnSimObject",
         [&] { return SimConnect_RequestDataOnSimObject(h, 108, 409, 0, ScPeriod::Second, 2, 3, 4, 5); },
         [](std::uint32_t id) {
             auto w = header(48, 0x0E, id);
             w.u32(108).u32(409).u32(0).u32(4).u32(2).u32(3).u32(4).u32(5);
             return w;
         }},
        {"RequestDataOnSimObjectType",
         [&] { return SimConnect_RequestDataOnSimObjectType(h, 101, 404, 92600, ScSimObjectType::Aircraft); },
         [](std::uint32_t id) { auto w = header(32, 0x0F, id); w.u32(101).u32(404).u32(92600).u32(2); return w; }},
        {"SetDataOnSimObject", [&] { return SimConnect_SetDataOnSimObject(h, 402, 1001, 0, 2, 8, block); },
         [](std::uint32_t id) {
             auto w = header(52, 0x10, id);
             w.u32(402).u32(1001).u32(0).u32(2).u32(8).f64(1.25).f64(-2.5);
             return w;
         }},
        {"SubscribeToSystemEvent", [&] { return SimConnect_SubscribeToSystemEvent(h, 204, "Frame"); },
         [](std::uint32_t id) { auto w = header(276, 0x17, id); w.u32(204).fixed("Frame", 256); return w; }},
        {"AICreateNonATCAircraft",
         [&] { return SimConnect_AICreateNonATCAircraft(h, "Airbus A320 Swiss", "SWR123", pos, 104); },
         [](std::uint32_t id) {
             auto w = header(344, 0x29, id);
             w.fixed("Airbus A320 Swiss", 256).fixed("SWR123", 12);
             w.f64(47.5).f64(8.5).f64(1400.0).f64(-1.5).f64(0.25).f64(270.0).u32(1).u32(0).u32(104);
             return w;
         }},
        {"AIReleaseControl", [&] { return SimConnect_AIReleaseControl(h, 1001, 103); },
         [](std::uint32_t id) { auto w = header(24, 0x2B, id); w.u32(1001).u32(103); return w; }},
        {"AIRemoveObject", [&] { return SimConnect_AIRemoveObject(h, 1001, 105); },
         [](std::uint32_t id) { auto w = header(24, 0x2C, id); w.u32(1001).u32(105); return w; }},
        {"AISetAircraftFlightPlan",
         [&] { return SimConnect_AISetAircraftFlightPlan(h, 1001, "C:\\plans\\SWR123", 110); },
         [](std::uint32_t id) {
             auto w = header(284, 0x2D, id);
             w.u32(1001).fixed("C:\\plans\\SWR123", 260).u32(110);
             return w;
         }},
    };
    std::uint32_t expectedId = 0;
    for (const auto& c : cases) {
        ASSERT_EQ(c.call(), kScOk) << c.name;
        ++expectedId;
        std::uint32_t last = 0;
        EXPECT_EQ(SimConnect_GetLastSentPacketID(h, &last), kScOk);
        EXPECT_EQ(last, expectedId) << c.name;
        const auto packets = sent();
        ASSERT_EQ(packets.size(), 1u) << c.name;
        EXPECT_EQ(test::hexOf(packets[0]), test::hexOf(c.golden(expectedId).bytes())) << c.name;
        test::DecodedRequest decoded;
        std::string error;
        EXPECT_TRUE(test::decodeRequest(packets[0], decoded, error)) << c.name << ": " << error;
    }
}

TEST_F(ScPackets, TextsMustFitTheirFieldWithTheTerminatingNul) {
    const SIMCONNECT_DATA_INITPOSITION pos{};
    struct Case {
        const char* name;
        std::size_t field;
        std::function<HRESULT(const char*)> call;
    };
    const Case cases[] = {
        {"container title", 256, [&](const char* s) { return SimConnect_AICreateNonATCAircraft(h, s, "T", pos, 1); }},
        {"tail number", 12, [&](const char* s) { return SimConnect_AICreateNonATCAircraft(h, "T", s, pos, 1); }},
        {"flight plan", 260, [&](const char* s) { return SimConnect_AISetAircraftFlightPlan(h, 1, s, 1); }},
        {"datum name", 256,
         [&](const char* s) { return SimConnect_AddToDataDefinition(h, 1, s, "", ScDatumType::Int64, 0, 0); }},
        {"units name", 256,
         [&](const char* s) { return SimConnect_AddToDataDefinition(h, 1, "X", s, ScDatumType::Int64, 0, 0); }},
        {"system event", 256, [&](const char* s) { return SimConnect_SubscribeToSystemEvent(h, 1, s); }},
        {"client event", 256, [&](const char* s) { return SimConnect_MapClientEventToSimEvent(h, 1, s); }},
    };
    for (const auto& c : cases) {
        std::uint32_t before = 0;
        SimConnect_GetLastSentPacketID(h, &before);
        const std::string fits(c.field - 1, 'x');
        const std::string tooLong(c.field, 'x');
        EXPECT_EQ(c.call(fits.c_str()), kScOk) << c.name;
        const auto packets = sent();
        ASSERT_EQ(packets.size(), 1u) << c.name;
        test::DecodedRequest decoded;
        std::string error;
        ASSERT_TRUE(test::decodeRequest(packets[0], decoded, error)) << c.name << ": " << error;
        EXPECT_NE(std::find(decoded.texts.begin(), decoded.texts.end(), fits), decoded.texts.end()) << c.name;

        EXPECT_EQ(c.call(tooLong.c_str()), kScTextTooLong) << c.name;
        EXPECT_EQ(conn()->buildUsed, 0u) << c.name;
        EXPECT_TRUE(sent().empty()) << c.name;
        // The discarded packet keeps its send id.
        ASSERT_EQ(SimConnect_AIRemoveObject(h, 1, 105), kScOk);
        const auto next = sent();
        ASSERT_EQ(next.size(), 1u);
        std::uint32_t id = 0;
        std::memcpy(&id, next[0].data() + 12, 4);
        EXPECT_EQ(id, before + 3) << c.name;
    }
}

TEST_F(ScPackets, NullTextIsSentEmpty) {
    ASSERT_EQ(SimConnect_SubscribeToSystemEvent(h, 7, nullptr), kScOk);
    test::DecodedRequest decoded;
    std::string error;
    ASSERT_TRUE(test::decodeRequest(sent().at(0), decoded, error)) << error;
    EXPECT_EQ(decoded.texts.at(0), "");
}

TEST_F(ScPackets, SetDataSizesAreComputedWithoutOverflow) {
    const std::vector<std::byte> data(64 * 1100, std::byte{0x5A});
    // count 0 means one unit
    ASSERT_EQ(SimConnect_SetDataOnSimObject(h, 402, 1001, 0, 0, 64, data.data()), kScOk);
    const auto packets = sent();
    ASSERT_EQ(packets.at(0).size(), 100u);
    std::uint32_t count = 0;
    std::memcpy(&count, packets[0].data() + 28, 4);
    EXPECT_EQ(count, 1u);
    // the largest packet that fits the build buffer, and one unit more
    EXPECT_EQ(SimConnect_SetDataOnSimObject(h, 1, 1, 0, 641, 64, data.data()), kScOk);  // 36 + 41024 = 41060
    EXPECT_EQ(sent().at(0).size(), 41060u);
    EXPECT_EQ(SimConnect_SetDataOnSimObject(h, 1, 1, 0, 642, 64, data.data()), kScFail);
    // sizes that wrap in 32 bits must not pass as small packets
    EXPECT_EQ(SimConnect_SetDataOnSimObject(h, 1, 1, 0, 0x40000000u, 4, data.data()), kScFail);
    EXPECT_EQ(SimConnect_SetDataOnSimObject(h, 1, 1, 0, 0xFFFFFFFFu, 0xFFFFFFFFu, data.data()), kScFail);
    EXPECT_EQ(SimConnect_SetDataOnSimObject(h, 1, 1, 0, 1, 8, nullptr), kScInvalidArg);
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(conn()->buildUsed, 0u);
}

TEST_F(ScPackets, SendIdsWrapToOneNeverZero) {
    conn()->sendId = 0xFFFFFFFEu;
    for (const std::uint32_t expected : {0xFFFFFFFFu, 1u, 2u}) {
        ASSERT_EQ(SimConnect_AIRemoveObject(h, 1, 105), kScOk);
        std::uint32_t id = 0;
        std::memcpy(&id, sent().at(0).data() + 12, 4);
        EXPECT_EQ(id, expected);
    }
}

TEST_F(ScPackets, MissingOrFailedConnectionsBuildNothing) {
    std::uint32_t id = 0;
    EXPECT_EQ(SimConnect_GetLastSentPacketID(nullptr, &id), kScFail);
    EXPECT_EQ(SimConnect_GetLastSentPacketID(h, nullptr), kScFail);
    EXPECT_EQ(SimConnect_AIRemoveObject(nullptr, 1, 1), kScFail);
    EXPECT_EQ(SimConnect_CallDispatch(nullptr, nullptr, nullptr), kScFail);
    EXPECT_EQ(SimConnect_Close(nullptr), kScFail);

    // Not connected: committed and dropped, still a success.
    conn()->state = 0;
    EXPECT_EQ(SimConnect_AIRemoveObject(h, 1, 1), kScOk);
    EXPECT_TRUE(sent().empty());
    conn()->state = 2;

    // A failed transport: its code, nothing built, no send id used.
    SimConnect_GetLastSentPacketID(h, &id);
    lf_scTransportFailed(conn(), ScFailureKind::Disconnected, 10054, kStatusConnectionReset);
    EXPECT_EQ(SimConnect_AIRemoveObject(h, 1, 1), kStatusConnectionReset);
    EXPECT_EQ(SimConnect_SubscribeToSystemEvent(h, 1, "Frame"), kStatusConnectionReset);
    std::uint32_t after = 0;
    SimConnect_GetLastSentPacketID(h, &after);
    EXPECT_EQ(after, id);
    EXPECT_TRUE(sent().empty());
}

}  // namespace
}  // namespace skh
