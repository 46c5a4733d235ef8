#pragma once

namespace skh {

// The program entry: the single-instance guard (-1 for a second copy), the
// log, and the main window with its message loop. Returns the loop's exit
// code: 0 after a run that nothing failed, 1 after a fatal error.
int gf_programMain(int argc, char** argv);

}  // namespace skh
