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

// Keeps the two previous logs (Log0.txt, Log00.txt), opens the log truncated
// and writes the header line. Throws std::runtime_error "Failed to write file
// <path>" when the log cannot be opened; a failed rotation of the old logs is
// written as a warning into the new log instead.
void gf_openLog(const std::filesystem::path& path = "Log.txt");
// Closes the log (used by tests that open logs in their own folders).
void gf_closeLog();
bool gf_logIsOpen();

// The rotation step: copies Log0.txt over Log00.txt and Log.txt over Log0.txt.
// Throws std::filesystem::filesystem_error.
void lf_keepOldLogs(const std::filesystem::path& path);

void gf_log(const std::string& line);        // silent while a stop flag is set
void gf_logRaw(std::string_view line);
void gf_logWarning(std::string_view text);   // "===> " + text
void gf_logIndented(std::string_view text);  // ten blanks + text

}  // namespace skh
