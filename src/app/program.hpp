#pragma once

namespace skh {

// The program entry: opens the log, prepares the settings folder and runs the
// start-up steps. Returns the process exit status.
int gf_programMain(int argc, char** argv);

// The first start-up step: the current folder must be the program folder,
// which holds "docs"; throws UserErrorException 41.
void lf_checkProgramFolder();

// Creates the data folders below the program folder; throws a filesystem
// error when one cannot be created.
void lf_createDataFolders();

}  // namespace skh
