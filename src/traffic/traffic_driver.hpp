#pragma once
// The per-poll work of the traffic control, called by the main loop every
// 10 ms while the simulator runs, in a fixed order: simulator events, the
// update of every live aircraft with the swap of the position buffers, the
// hand-over of one removal (every 10 polls) and one creation (every 50,
// live before static), the intake of traffic samples, one creation request
// from the adding stack, and the request for the aircraft within range
// (every 100 polls, every 20 while landing).
#include <cstdint>

namespace skh {

inline constexpr std::uint32_t kRemovalEveryPolls = 10;
inline constexpr std::uint32_t kCreationEveryPolls = 50;
inline constexpr std::uint32_t kRangeRequestEveryPolls = 100;
inline constexpr std::uint32_t kRangeRequestWhileLandingPolls = 20;
// The intake takes this many samples every poll, and more while the queue
// holds more, until the poll's intake has taken this long: a busy hub sends
// far more than two samples a poll.
inline constexpr int kSamplesPerPoll = 2;
inline constexpr std::int64_t kIntakeBudgetUs = 1000;

void lf_handleAddingStack();

void gf_updateAllLiveAc();
void lf_handOverQueues();
// Takes samples from the traffic queue (see kIntakeBudgetUs); a sample that
// throws is logged and dropped, never taken again. Logs once a run, with
// figures, when the queue had to drop samples because the intake fell behind.
void lf_takeTrafficSamples();
// Turns the last act number of the adding stack into a creation request.
void lf_requestFromAddingStack();
void lf_requestAcWithinRange();

}  // namespace skh
