#pragma once
// Log.txt: one stream shared by every thread, one line at a time under one
// mutex, each line flushed. Writers drop their lines while the log is not
// open (before gf_openLog, or after it failed).
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <string_view>

namespace skh {

extern std::ofstream g_logStream;
extern std::mutex g_logMutex;

// Keeps the two previous logs (Log0.txt, Log00.txt), opens the log and
// writes the header line. Throws std::runtime_error "Failed to write file
// <path>" when the log cannot be opened. A failed rotation is written as a
// warning into the log; when the last run's log could not be kept as
// Log0.txt, this run's lines are appended to it instead of replacing it.
void gf_openLog(const std::filesystem::path& path = "Log.txt");
// Opens the log at `path`, written over, and writes the header line, keeping
// no older logs beside it: for a tool, whose log names the one file it may
// write. Throws as gf_openLog.
void gf_openNamedLog(const std::filesystem::path& path);
// Closes the log; the system's reason for the first of its lines or the
// close that could not be written since it was opened, 0 when all were.
int gf_closeLog();
bool gf_logIsOpen();

// The rotation step: copies Log0.txt over Log00.txt and Log.txt over
// Log0.txt, each whatever became of the other. False when Log.txt exists and
// could not be kept; what failed is added to `problems`.
bool lf_keepOldLogs(const std::filesystem::path& path, std::string& problems);

void gf_log(const std::string& line);        // silent while a stop flag is set
void gf_logRaw(std::string_view line);
void gf_logWarning(std::string_view text);   // "===> " + text
void gf_logIndented(std::string_view text);  // ten blanks + text

}  // namespace skh
