// The RealTraffic time source: written by the traffic-line parser and the
// RealTraffic handshake, read by the time functions of the foundation.
#include "foundation/upcalls.hpp"

namespace skh {

constinit std::atomic<double> g_trafficTime{0.0};
constinit std::atomic<bool> g_rtProfessional{false};

}  // namespace skh
