#pragma once
// Which stand of the current park airport a position is at. Main loop only.
#include <string>

namespace skh {

// Stands farther than this from a position are not "at" it.
inline constexpr double kStandCatchNm = 0.0297;  // 55 m

// The name of the nearest stand within kStandCatchNm of the position; empty
// when there are no stands, none is that close, or the user aircraft is not
// on the ground. The last position and its answer are remembered.
std::string gf_nearestStandName(double lat, double lon);
// Forgets the remembered answer (the stands changed).
void gf_clearNearestStandCache();

}  // namespace skh
