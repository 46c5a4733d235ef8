#include "foundation/log.hpp"

#include <atomic>
#include <cerrno>
#include <stdexcept>

#include "foundation/constants.hpp"
#include "foundation/format.hpp"
#include "foundation/text_files.hpp"
#include "foundation/time_text.hpp"
#include "foundation/upcalls.hpp"
#include "foundation/version.hpp"
#include "platform/clock.hpp"

namespace skh {

std::ofstream g_logStream;
constinit std::mutex g_logMutex;

namespace {

// Set only while g_logStream is open; lets writers called during static
// initialisation (before the stream exists) drop their lines safely.
constinit std::atomic<bool> s_logOpen{false};
// The system's reason for the first line since the open that could not be
// written (0: none); under g_logMutex.
int s_writeError = 0;

void noteWriteError() {
    if (!g_logStream && s_writeError == 0) s_writeError = errno != 0 ? errno : EIO;
}

void writeLine(std::string_view prefix, std::string_view text) {
    if (!s_logOpen.load(std::memory_order_acquire)) return;
    const std::lock_guard lock(g_logMutex);
    if (!g_logStream.is_open()) return;
    errno = 0;
    g_logStream << prefix << text << std::endl;
    noteWriteError();
}

}  // namespace

bool lf_keepOldLogs(const std::filesystem::path& path, std::string& problems) {
    if (path.string().rfind('.') == std::string::npos) return true;
    const std::string text = path.string();
    const std::string older0 = gf_backupPath(path).string();
    const std::string older00 = gf_backupPath(older0).string();
    namespace fs = std::filesystem;
    // Each copy on its own: the run before last may be lost, the last run not.
    auto copy = [&](const std::string& from, const std::string& to) {
        std::error_code ec;
        if (!fs::exists(from, ec)) return !ec;
        if (fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec)) return true;
        problems +=
            skh::format("{}{} could not be kept as {}: {}", problems.empty() ? "" : "; ", from, to, ec.message());
        return false;
    };
    copy(older0, older00);
    return copy(text, older0);
}

namespace {

// Opens the stream over the file or after its end, and writes the header.
void lf_openStream(const std::filesystem::path& path, std::ios::openmode mode) {
    {
        const std::lock_guard lock(g_logMutex);
        if (g_logStream.is_open()) g_logStream.close();
        g_logStream.open(path, std::ios::out | mode);
        if (!g_logStream.is_open()) {
            g_logStream.setstate(std::ios::failbit);
            s_logOpen.store(false, std::memory_order_release);
            throw std::runtime_error("Failed to write file " + path.string());
        }
        g_logStream.clear();
        s_writeError = 0;
        s_logOpen.store(true, std::memory_order_release);
    }
    gf_logRaw(skh::format("{} (utc) {} version {} for {}", gf_timeText(platform::utcNowSeconds()), PRODUCT_NAME,
                          gf_versionToString(g_programVersion), "Prepar3D v5/v6"));
}

}  // namespace

void gf_openLog(const std::filesystem::path& path) {
    std::string rotationProblems;
    // While Log.txt is the only copy of the last run it is written on, not over.
    const bool kept = lf_keepOldLogs(path, rotationProblems);
    lf_openStream(path, kept ? std::ios::trunc : std::ios::app);
    if (!rotationProblems.empty()) {
        gf_logWarning(skh::format("Could not keep the previous logs: {}{}", rotationProblems,
                                  kept ? "" : "; this run's log follows the previous one"));
    }
}

void gf_openNamedLog(const std::filesystem::path& path) { lf_openStream(path, std::ios::trunc); }

int gf_closeLog() {
    const std::lock_guard lock(g_logMutex);
    s_logOpen.store(false, std::memory_order_release);
    if (g_logStream.is_open()) {
        errno = 0;
        g_logStream.close();
        noteWriteError();
    }
    return s_writeError;
}

bool gf_logIsOpen() { return s_logOpen.load(std::memory_order_acquire); }

void gf_log(const std::string& line) {
    if (g_stopRequested.load() || g_closeRequested.load()) return;
    writeLine({}, line);
}

void gf_logRaw(std::string_view line) { writeLine({}, line); }

void gf_logWarning(std::string_view text) { writeLine("===> ", text); }

void gf_logIndented(std::string_view text) { writeLine("          ", text); }

}  // namespace skh
