// Arbitrary messages through the SimClient's dispatch callback, with the
// state of a run that has created aircraft and heard of new objects, so the
// adoption, the user data and the open check all see untrusted bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "app/app_state.hpp"
#include "foundation/errors.hpp"
#include "simclient/sim_handlers.hpp"
#include "simclient/sim_queues.hpp"
#include "simclient/sim_state.hpp"
#include "simconnect/connection.hpp"
#include "simclient/sim_events.hpp"

namespace {

using namespace skh;

HANDLE g_handle = nullptr;

void put32(std::vector<std::byte>& m, std::size_t offset, std::uint32_t v) { std::memcpy(m.data() + offset, &v, 4); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gf_scTimings().settleWaitMs = 0;
    gf_scTimings().flushWaitMs = 0;
    g_handle = gf_scOpenUnattached();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    gf_resetStopState();
    gf_resetSimClient();
    {
        const std::lock_guard lock(simQueueMutex);
        simConnectHandle = g_handle;
    }
    sentPackets = {{1, 20001, "SWR1", 0}, {2, 77, "AB*", 0}, {3, 0, "", 0}};
    newObjectIds = {1000, 1001, 1002};

    // Each message: one byte for its id (the top bit: take the size field
    // from the input too), two for its body length, then the body.
    std::size_t pos = 0;
    while (size - pos >= 3) {
        const std::uint8_t kind = data[pos];
        std::size_t length = data[pos + 1] | (static_cast<std::size_t>(data[pos + 2]) << 8);
        pos += 3;
        length = std::min(length, size - pos);
        std::vector<std::byte> message(12 + length);
        std::memcpy(message.data() + 12, data + pos, length);
        pos += length;
        std::uint32_t sizeField = static_cast<std::uint32_t>(message.size());
        if ((kind & 0x80) != 0 && length >= 4) std::memcpy(&sizeField, message.data() + 12, 4);
        put32(message, 0, sizeField);
        put32(message, 4, 5);
        put32(message, 8, kind & 0x1F);
        try {
            lf_dispatch(message.data(), static_cast<std::uint32_t>(message.size()), nullptr);
        } catch (const UserErrorException&) {
            // the reaction to a wrong simulator or a bad user aircraft
        }
    }
    gf_scTakeOutgoing(g_handle);
    gf_takeSimEvents();
    return 0;
}
