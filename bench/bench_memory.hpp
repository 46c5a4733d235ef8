#pragma once
// The resident size of a benchmark process, now and at its peak.
#include <fstream>
#include <string>
#include <string_view>

namespace skh::bench {

// A size line of /proc/self/status ("VmHWM:", "VmRSS:") in MB (0 when unknown).
inline double statusMb(std::string_view key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0) return std::stod(line.substr(key.size())) / 1024.0;
    }
    return 0.0;
}

// The peak resident size so far.
inline double peakRssMb() { return statusMb("VmHWM:"); }
// The resident size now.
inline double residentMb() { return statusMb("VmRSS:"); }

// Starts the peak anew from the present resident size.
inline void resetPeakRss() { std::ofstream("/proc/self/clear_refs") << "5"; }

}  // namespace skh::bench
