#pragma once
// The stand work for the user's aircraft, on the main loop's side: the
// SimClient thread only stores the user data and asks for it.
namespace skh {

// Runs what the SimClient thread asked for: after new user data the stand the
// user stands at becomes the main window's stand text; after a loaded flight,
// a new file or the end of the SimClient thread the user reserves that stand
// at the first park airport. The main loop calls it every poll, and the
// closing step once more after the SimClient thread has ended.
void gf_userStandWork();

// The reservation: when the user data has arrived and the aircraft moves at
// most 2 kt, the stand it stands at becomes the first park airport's
// reserved stand (and is saved) when that airport is the current park
// airport and the name differs.
void lf_updateParkStand();

}  // namespace skh
