#pragma once
// The QNH Reader: RealTraffic's air pressure datagrams ({"QNH": value})
// become a whole number of hectopascals within 900..1100 for the movement
// code and the main window.
#include <atomic>
#include <cstdint>

#include "feed/udp_reader.hpp"

namespace skh {

class QnhReader : public UdpReader {
public:
    QnhReader();

    // The last value passed on; 1013 at start and after a link reset.
    std::atomic<std::int32_t> lastQnh{1013};

protected:
    // A bad datagram is logged (in a flood, only counted past the first
    // ones) and leaves every value as it was; it never ends the reader.
    void onDatagram() override;
    void onStopped() override;
    void onBound() override;

private:
    // Logs why a datagram was refused, unless the flood counter says not to.
    void logRefused(const std::string& line, bool warning);
};

}  // namespace skh
