#pragma once
// The stop state of a run and small services of the application layer that
// lower layers use.
#include <cstdint>
#include <string>

#include "foundation/upcalls.hpp"

namespace skh {

// Clears the stop flags and the reason before an in-process restart.
void gf_resetStopState();

// The RANGE choice nearest below a distance in nm, and the AIRP_HEIGHT choice
// for an altitude in feet (used when old settings are migrated).
std::int32_t lf_snapRangeStep(std::int32_t nm);
std::int32_t lf_snapAltitudeStep(std::int32_t feet);

// "5" or "6": the simulator's major version from the install path, else from
// the hidden setting P3D_VERSION; throws UserErrorException 77.
std::string gf_getP3DVersion();

}  // namespace skh
