// Cutting the byte stream into messages, the received queue and
// SimConnect_CallDispatch, and decoding untrusted messages.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>

#include "simconnect/connection.hpp"
#include "simconnect/framer.hpp"
#include "simconnect/messages.hpp"
#include "simconnect/simconnect.hpp"
#include "support/sc_test_env.hpp"
#include "support/sc_wire.hpp"
#include "support/test_env.hpp"

namespace skh {
namespace {

using test::Bytes;
using test::ScCollector;

Bytes sizeWord(std::uint32_t size) {
    test::WireWriter w;
    w.u32(size);
    return w.take();
}

struct FramerResult {
    std::vector<std::size_t> sizes;  // delivered messages
    ScFailureKind failure = ScFailureKind::None;
};

// Feeds the stream to a framer in the given reads.
FramerResult frame(const Bytes& stream, const std::vector<std::size_t>& reads, std::uint32_t limit = 41088) {
    ScFramer framer(limit);
    FramerResult result;
    std::size_t pos = 0;
    auto readOne = [&](std::size_t n) {
        while (n > 0 && result.failure == ScFailureKind::None) {
            const auto space = framer.freeSpace();
            if (space.empty()) {
                result.failure = ScFailureKind::TooLarge;
                return;
            }
            const std::size_t k = std::min(n, space.size());
            std::memcpy(space.data(), stream.data() + pos, k);
            pos += k;
            n -= k;
            result.failure = framer.received(k, [&](std::vector<std::byte>&& m) { result.sizes.push_back(m.size()); });
        }
    };
    for (const std::size_t n : reads) readOne(std::min(n, stream.size() - pos));
    readOne(stream.size() - pos);
    return result;
}

TEST(ScFramer, CutsTheStreamIntoWholeMessages) {
    const Bytes quit = test::scQuitMessage();                                // 12
    const Bytes event = test::scEventMessage(1, 2, 3);                       // 24
    const Bytes data256 = test::scObjectDataMessage(false, 1, 1, 1, 0, 0, 0, 0, Bytes(216));  // size 0x100
    const Bytes big = test::scObjectDataMessage(false, 1, 1, 1, 0, 0, 0, 0, Bytes(50000 - 40));
    struct Case {
        const char* name;
        Bytes stream;
        std::vector<std::size_t> reads;
        std::uint32_t limit;
        FramerResult expected;
    };
    const Case cases[] = {
        {"two messages in one read", test::concat({quit, event}), {}, 41088, {{12, 24}, ScFailureKind::None}},
        {"one message over three reads", event, {3, 10}, 41088, {{24}, ScFailureKind::None}},
        {"size word over two reads", test::concat({event, quit}), {26}, 41088, {{24, 12}, ScFailureKind::None}},
        {"zero words are padding, whole words only",
         test::concat({quit, Bytes(8), data256}), {}, 41088, {{12, 256}, ScFailureKind::None}},
        {"an 8-byte message is still a message", test::concat({sizeWord(8), Bytes(4), quit}), {}, 41088,
         {{8, 12}, ScFailureKind::None}},
        {"size 1", test::concat({quit, sizeWord(1)}), {}, 41088, {{12}, ScFailureKind::BadSize}},
        {"size 2", sizeWord(2), {}, 41088, {{}, ScFailureKind::BadSize}},
        {"size 3", sizeWord(3), {}, 41088, {{}, ScFailureKind::BadSize}},
        {"above the limit", big, {}, 41088, {{}, ScFailureKind::TooLarge}},
        {"a raised limit", big, {7000, 7000}, 65536, {{50000}, ScFailureKind::None}},
        {"a size field above 1 MiB with a larger limit", sizeWord(1048577), {}, 5000000,
         {{}, ScFailureKind::TooLarge}},
        {"a partial message waits", Bytes(event.begin(), event.end() - 1), {}, 41088, {{}, ScFailureKind::None}},
    };
    for (const auto& c : cases) {
        const FramerResult r = frame(c.stream, c.reads, c.limit);
        EXPECT_EQ(r.sizes, c.expected.sizes) << c.name;
        EXPECT_EQ(r.failure, c.expected.failure) << c.name;
    }
}

TEST(ScFramer, GrowsForALargeMessageUpToOneMebibyteAndNoFurther) {
    ScFramer framer(5000000);
    EXPECT_EQ(framer.limit(), 1048576u);
    const Bytes huge = test::scObjectDataMessage(false, 1, 1, 1, 0, 0, 0, 0, Bytes(1048576 - 40));
    const FramerResult r = frame(huge, {}, 5000000);
    EXPECT_EQ(r.sizes, std::vector<std::size_t>{1048576});
    EXPECT_EQ(r.failure, ScFailureKind::None);
    // Unread bytes behind consumed ones are moved to the front instead of growing.
    ScFramer small(41088);
    std::size_t delivered = 0;
    const Bytes quit = test::scQuitMessage();
    for (int i = 0; i < 1000; ++i) {
        auto space = small.freeSpace();
        const std::size_t n = std::min<std::size_t>(space.size(), 7);
        for (std::size_t k = 0; k < n; ++k) space[k] = quit[(i * 7 + k) % 12];
        ASSERT_EQ(small.received(n, [&](std::vector<std::byte>&&) { ++delivered; }), ScFailureKind::None);
    }
    EXPECT_EQ(delivered, 7000u / 12);
    EXPECT_EQ(small.capacity(), ScFramer::kInitialSize);
}

class ScDispatch : public ::testing::Test {
protected:
    void SetUp() override {
        gf_scTimings().settleWaitMs = 0;
        h = gf_scOpenUnattached();
    }
    void TearDown() override {
        EXPECT_EQ(SimConnect_Close(h), kScOk);
        gf_scTimings().settleWaitMs = 250;
    }
    bool feed(const Bytes& bytes) { return lf_scReceiveBytes(static_cast<ScConnection*>(h), bytes); }
    HANDLE h = nullptr;
    ScCollector collector;
};

TEST_F(ScDispatch, HandsOverEveryQueuedMessageInOrderAndSkipsShortOnes) {
    ASSERT_TRUE(feed(test::concat({test::scQuitMessage(), sizeWord(8), Bytes(4), test::scEventMessage(1, 2, 3)})));
    EXPECT_EQ(SimConnect_CallDispatch(h, &ScCollector::dispatch, &collector), kScOk);
    EXPECT_EQ(collector.ids(), (std::vector<std::uint32_t>{3, 4}));
    // The stored callback serves a call without one.
    ASSERT_TRUE(feed(test::scQuitMessage()));
    EXPECT_EQ(SimConnect_CallDispatch(h, nullptr, &collector), kScOk);
    EXPECT_EQ(collector.messages.size(), 3u);
}

TEST_F(ScDispatch, AThrowingCallbackLeavesTheRestQueued) {
    ASSERT_TRUE(feed(test::concat({test::scQuitMessage(), test::scEventMessage(1, 2, 3)})));
    auto thrower = [](const std::byte*, std::uint32_t, void*) { throw std::runtime_error("handler"); };
    EXPECT_THROW(SimConnect_CallDispatch(h, thrower, nullptr), std::runtime_error);
    EXPECT_EQ(SimConnect_CallDispatch(h, &ScCollector::dispatch, &collector), kScOk);
    EXPECT_EQ(collector.ids(), (std::vector<std::uint32_t>{4}));
}

TEST_F(ScDispatch, AFailureIsReportedAfterTheQueueIsEmptied) {
    EXPECT_FALSE(feed(test::concat({test::scQuitMessage(), sizeWord(2)})));
    EXPECT_EQ(SimConnect_CallDispatch(h, &ScCollector::dispatch, &collector), kScAbort);
    EXPECT_EQ(collector.ids(), (std::vector<std::uint32_t>{3}));
    EXPECT_EQ(SimConnect_SetNotificationGroupPriority(h, 301, 1), kScAbort);
    EXPECT_FALSE(feed(test::scQuitMessage()));  // a failed transport takes no more bytes
    EXPECT_EQ(SimConnect_CallDispatch(h, nullptr, &collector), kScAbort);
    EXPECT_EQ(collector.messages.size(), 1u);
}

TEST(ScMessages, EveryKindNeedsItsMinimumSize) {
    test::ScopedLog log;
    const std::pair<ScRecvId, Bytes> full[] = {
        {ScRecvId::Exception, test::scExceptionMessage(1, 2, 3)},
        {ScRecvId::Open, test::scOpenMessage("P3D", {5, 0, 0, 0}, {5, 0, 0, 0})},
        {ScRecvId::Event, test::scEventMessage(1, 2, 3)},
        {ScRecvId::EventObjectAddRemove, test::scObjectAddRemoveMessage(202, 1001, ScSimObjectType::Aircraft)},
        {ScRecvId::EventFilename, test::scFilenameMessage(206, "flight.fxml", 0)},
        {ScRecvId::EventFrame, test::scFrameMessage(204, 30, 1)},
        {ScRecvId::SimObjectData, test::scObjectDataMessage(false, 1, 2, 3, 0, 0, 0, 0, {})},
        {ScRecvId::SimObjectDataByType, test::scObjectDataMessage(true, 1, 2, 3, 0, 1, 1, 0, {})},
        {ScRecvId::AssignedObjectId, test::scAssignedObjectIdMessage(104, 1001)},
    };
    for (const auto& [id, message] : full) {
        EXPECT_EQ(message.size(), gf_scMinimumSize(static_cast<std::uint32_t>(id)));
        EXPECT_NE(gf_scDecodeMessage(message).index(), 0u) << static_cast<int>(id);
        // One byte short, with the size field telling the truth.
        Bytes shortMessage(message.begin(), message.end() - 1);
        const auto size = static_cast<std::uint32_t>(shortMessage.size());
        std::memcpy(shortMessage.data(), &size, 4);
        EXPECT_EQ(gf_scDecodeMessage(shortMessage).index(), 0u) << static_cast<int>(id);
        // A size field that claims more than arrived.
        Bytes lying = message;
        const std::uint32_t more = size + 100;
        std::memcpy(lying.data(), &more, 4);
        EXPECT_EQ(gf_scDecodeMessage(lying).index(), 0u) << static_cast<int>(id);
    }
    EXPECT_EQ(gf_scDecodeMessage(Bytes(11)).index(), 0u);
    EXPECT_TRUE(log.contains("===> SimConnect message 2 with size 307"));
}

TEST(ScMessages, TextsAreBoundedByTheirFieldsAndConvertedToUtf8) {
    const auto open = std::get<ScRecvOpen>(
        gf_scDecodeMessage(test::scOpenMessage("Lockheed Martin\xAE Prepar3D\xAE v5", {5, 4, 3, 2}, {5, 0, 0, 0})));
    EXPECT_EQ(open.applicationName, "Lockheed Martin\xC2\xAE Prepar3D\xC2\xAE v5");
    EXPECT_EQ(open.applicationVersion, (std::array<std::uint32_t, 4>{5, 4, 3, 2}));
    // A name that fills its field without a NUL stops at the field's end.
    const auto full = std::get<ScRecvOpen>(gf_scDecodeMessage(test::scOpenMessage(std::string(300, 'A'), {}, {})));
    EXPECT_EQ(full.applicationName, std::string(256, 'A'));
    const auto file = std::get<ScRecvFilename>(gf_scDecodeMessage(test::scFilenameMessage(206, std::string(260, 'f'), 7)));
    EXPECT_EQ(file.fileName.size(), 260u);
    EXPECT_EQ(file.flags, 7u);
}

// A variable string takes its length plus the NUL, rounded up to whole
// 4-byte words; the field after it starts there. Laid out by hand, not by
// the test's own writer.
TEST(ScMessages, VariableStringsArePaddedToWholeWordsBeforeTheNextField) {
    struct Case {
        const char* text;
        std::size_t bytes;  // of the string field on the wire
    };
    const Case cases[] = {{"", 4}, {"ABC", 4}, {"ABCD", 8}, {"ABCDEFGH", 12}, {"ABCDE", 8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Bytes data;
        const std::string text = c.text;
        for (const char ch : text) data.push_back(static_cast<std::byte>(ch));
        data.resize(c.bytes, std::byte{0});
        data.resize(c.bytes + 4, std::byte{0});  // then an empty string: one word
        const double after = 1234.5;
        const auto* p = reinterpret_cast<const std::byte*>(&after);
        data.insert(data.end(), p, p + 8);
        const Bytes message = test::scObjectDataMessage(false, 106, 1, 407, 0, 1, 1, 3, data);
        const auto decoded = std::get<ScRecvObjectData>(gf_scDecodeMessage(message));
        ScDataReader r(decoded.data);
        std::string first, second;
        double next = 0;
        ASSERT_TRUE(r.readStringV(first));
        EXPECT_EQ(first, text);
        ASSERT_TRUE(r.readStringV(second));
        EXPECT_EQ(second, "");
        ASSERT_TRUE(r.readFloat64(next));
        EXPECT_EQ(next, after);
        EXPECT_EQ(r.remaining(), 0u);
    }
}

TEST(ScMessages, DataReaderStaysInsideTheData) {
    test::WireWriter w;
    w.f64(47.25).i64(-3).fixed("HB-JNA", 32).stringV("Title \xE9").fixed("no nul", 6);
    const Bytes data = w.take();
    ScDataReader r(data);
    double d = 0;
    std::int64_t i = 0;
    std::string s;
    ASSERT_TRUE(r.readFloat64(d));
    EXPECT_EQ(d, 47.25);
    ASSERT_TRUE(r.readInt64(i));
    EXPECT_EQ(i, -3);
    ASSERT_TRUE(r.readString32(s));
    EXPECT_EQ(s, "HB-JNA");
    ASSERT_TRUE(r.readStringV(s));
    EXPECT_EQ(s, "Title \xC3\xA9");
    EXPECT_EQ(r.remaining(), 6u);
    EXPECT_FALSE(r.readStringV(s));  // no NUL before the end
    EXPECT_FALSE(r.readString32(s));
    EXPECT_FALSE(r.readFloat64(d));
    EXPECT_TRUE(r.readFixedString(6, s));
    EXPECT_EQ(s, "no nul");
    std::int32_t i32 = 0;
    EXPECT_FALSE(r.readInt32(i32));
}

}  // namespace
}  // namespace skh
