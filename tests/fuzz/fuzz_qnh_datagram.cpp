// QNH datagrams of any bytes through the QNH Reader's datagram path: the QNH
// passed on stays within 900..1100 and nothing escapes the handler.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "feed/readers.hpp"
#include "feed/traffic_queue.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    skh::g_rtOnThisPc = true;
    skh::g_qnhReader.handleDatagram(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::int32_t qnh = skh::g_qnh.load();
    if (qnh < 900 || qnh > 1100) std::abort();
    if (qnh != skh::g_qnhReader.lastQnh.load()) std::abort();
    return 0;
}
