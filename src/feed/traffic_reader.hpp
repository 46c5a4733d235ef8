#pragma once
// The Traffic Reader: RealTraffic's traffic lines (one aircraft per
// datagram, comma-separated fields) become traffic samples on the traffic
// queue; ground vehicles, balloons, far-away or implausible aircraft and
// RealTraffic's own test entries are dropped.
#include <atomic>
#include <string_view>
#include <vector>

#include "feed/udp_reader.hpp"
#include "feed/traffic_sample.hpp"

namespace skh {

class TrafficReader : public UdpReader {
public:
    static constexpr std::size_t kFieldCount = 29;  // fields 0 to 28 are read

    TrafficReader();

    // The user aircraft's position, around which traffic is accepted;
    // copied in by the main loop.
    void setUserPos(double lat, double lon);

    // Parses the split fields of the current datagram and pushes at most one
    // sample; every failure ends the line and is logged (in a flood, only
    // counted past the first ones).
    void processLineSub();

protected:
    void onDatagram() override;
    void onStopped() override;
    void onBound() override;

private:
    // Fills the sample; false drops the line, an exception is an error.
    bool parseLine(TrafficSample& sample);
    bool lf_checkAltitude(TrafficSample& sample);
    bool lf_acceptCategory(const TrafficSample& sample, std::string_view category) const;

    std::vector<std::string_view> m_fields;
    std::atomic<double> m_userLat{0.0};
    std::atomic<double> m_userLon{0.0};
};

}  // namespace skh
