#pragma once
// The per-poll work of the traffic control, called by the main loop every
// 10 ms while the simulator runs, in a fixed order: simulator events, the
// update of every live aircraft with the swap of the position buffers, the
// hand-over of one removal (every 10 polls) and one creation (every 50,
// live before static), the intake of at most two traffic samples, one
// creation request from the adding stack, and the request for the aircraft
// within range (every 100 polls, every 20 while landing).
#include <cstdint>

namespace skh {

inline constexpr std::uint32_t kRemovalEveryPolls = 10;
inline constexpr std::uint32_t kCreationEveryPolls = 50;
inline constexpr std::uint32_t kRangeRequestEveryPolls = 100;
inline constexpr std::uint32_t kRangeRequestWhileLandingPolls = 20;
inline constexpr int kSamplesPerPoll = 2;

void lf_handleAddingStack();

void gf_updateAllLiveAc();
void lf_handOverQueues();
// Takes at most two samples from the traffic queue; a sample that throws is
// logged and dropped, never taken again.
void lf_takeTrafficSamples();
// Turns the last act number of the adding stack into a creation request.
void lf_requestFromAddingStack();
void lf_requestAcWithinRange();

}  // namespace skh
