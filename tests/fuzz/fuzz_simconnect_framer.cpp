// Arbitrary byte streams through the SimConnect receive path: cut into reads
// of varying sizes, framed into messages, dispatched and decoded with every
// datum reader.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "simconnect/connection.hpp"
#include "simconnect/messages.hpp"
#include "simconnect/simconnect.hpp"

namespace {

using namespace skh;

void decodeAll(const std::byte* message, std::uint32_t size, void* context) {
    auto* sink = static_cast<std::size_t*>(context);
    const ScMessage m = gf_scDecodeMessage(std::span<const std::byte>(message, size));
    if (const auto* data = std::get_if<ScRecvObjectData>(&m)) {
        ScDataReader reader(data->data);
        std::string text;
        double d = 0;
        std::int64_t i = 0;
        // Read the data as every datum kind in turn until it runs out.
        for (int k = 0; reader.remaining() > 0 && k < 64; ++k) {
            bool ok = false;
            switch (k % 4) {
                case 0: ok = reader.readFloat64(d); break;
                case 1: ok = reader.readString32(text); break;
                case 2: ok = reader.readStringV(text); break;
                default: ok = reader.readInt64(i); break;
            }
            if (!ok) break;
            *sink += text.size();
        }
    } else if (const auto* open = std::get_if<ScRecvOpen>(&m)) {
        *sink += open->applicationName.size();
    } else if (const auto* file = std::get_if<ScRecvFilename>(&m)) {
        *sink += file->fileName.size();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gf_scTimings().settleWaitMs = 0;
    gf_scTimings().flushWaitMs = 0;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    // The first byte picks the read size and the second a receive limit.
    const std::size_t readSize = 1 + data[0] % 64;
    const std::uint32_t limit = data[1] < 128 ? kScBuildBufferSize : 65536u * (data[1] - 127);
    const auto* bytes = reinterpret_cast<const std::byte*>(data + 2);
    std::size_t left = size - 2;

    ScConnection* c = gf_scOpenUnattached(limit);
    std::size_t sink = 0;
    while (left > 0) {
        const std::size_t n = std::min(left, readSize);
        const bool ok = lf_scReceiveBytes(c, std::span<const std::byte>(bytes, n));
        bytes += n;
        left -= n;
        SimConnect_CallDispatch(c, &decodeAll, &sink);
        if (!ok) break;
    }
    SimConnect_CallDispatch(c, &decodeAll, &sink);
    SimConnect_Close(c);
    return 0;
}
