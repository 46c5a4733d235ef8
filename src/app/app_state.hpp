#pragma once
// The stop state of a run and small services of the application layer that
// lower layers use.
#include <cstdint>
#include <string>

#include "foundation/upcalls.hpp"

namespace skh {

// Clears the stop flags and the reason before an in-process restart.
void gf_resetStopState();

}  // namespace skh
