#pragma once

namespace skh {

// The program entry: opens the log, prepares the settings folder and runs the
// start-up steps. Returns the process exit status.
int gf_programMain(int argc, char** argv);

}  // namespace skh
