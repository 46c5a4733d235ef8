#pragma once
// The peak resident size of a benchmark process.
#include <fstream>
#include <string>

namespace skh::bench {

// VmHWM of this process so far, in MB (0 when unknown).
inline double peakRssMb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    }
    return 0.0;
}

// Starts the peak anew from the present resident size.
inline void resetPeakRss() { std::ofstream("/proc/self/clear_refs") << "5"; }

}  // namespace skh::bench
