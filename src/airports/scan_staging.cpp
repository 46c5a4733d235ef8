#include "airports/scan_staging.hpp"

#include <optional>
#include <set>
#include <system_error>
#include <vector>

#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/text.hpp"
#include "foundation/text_files.hpp"

namespace skh {

namespace fs = std::filesystem;

namespace {

std::set<std::string> entryNames(const fs::path& folder) {
    std::set<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        names.insert(it->path().filename().string());
    }
    return names;
}

std::set<std::string> readScannedList(const fs::path& path) {
    LinesFile file{path, {}};
    const auto& lines = gf_readLines(file, 256);
    return {lines.begin(), lines.end()};
}

// The airport a stand file or link file belongs to ("KTST.xml", "ktst.TXT":
// KTST); names are compared without case, as Windows does.
std::optional<std::string> airportOf(const std::string& name) {
    const fs::path path(name);
    const std::string extension = gf_lower(path.extension().string());
    if (extension != ".xml" && extension != ".txt") return std::nullopt;
    return gf_upper(path.stem().string());
}

bool isStandFile(const std::string& name) { return gf_lower(fs::path(name).extension().string()) == ".xml"; }

fs::path withSuffix(const fs::path& live, const char* suffix) {
    fs::path p = live;
    p += suffix;
    return p;
}

// The list of what a scan made, written atomically; false, with the reason,
// when it could not be.
bool writeScannedList(const ScanFolder& folder, const std::set<std::string>& names, std::string& problem) {
    std::string list;
    for (const std::string& name : names) list += name + "\n";
    return gf_writeFileAtomically(folder.scannedList, list, problem);
}

void logNotReplaced(const ScanFolder& folder, const std::string& why) {
    gf_logWarning(skh::format("{} not replaced, the new airport files stay in {}: {}", folder.live.string(),
                              folder.staging.string(), why));
}

}  // namespace

ScanFolder lf_scanFolder(const fs::path& live) {
    return {live, withSuffix(live, ".scanning"), withSuffix(live, ".previous"), withSuffix(live, ".scanned")};
}

void lf_prepareStaging(const ScanFolder& folder) {
    fs::remove_all(folder.staging);
    fs::create_directories(folder.staging);
}

void lf_discardStaging(const ScanFolder& folder) {
    std::error_code ec;
    fs::remove_all(folder.staging, ec);
}

bool lf_installStaging(const ScanFolder& folder) {
    std::error_code ec;
    const bool hadLive = fs::exists(folder.live, ec);
    // Without a list nothing tells the user's files from those of an older
    // scan, which must not outlive an update: the folder is rebuilt.
    std::error_code listEc;
    const bool hadList = fs::exists(folder.scannedList, listEc);
    const std::set<std::string> lastScan = readScannedList(folder.scannedList);

    // Old files that stay only in the backup, which the next scan replaces.
    std::vector<std::string> dropped;
    // With a list, every other file there is the user's and stays.
    std::vector<std::string> users;
    if (hadLive) {
        for (const std::string& name : entryNames(folder.live)) {
            if (lastScan.count(name) != 0) continue;
            (hadList ? users : dropped).push_back(name);
        }
    }
    // The user's file of an airport stays in force: the scan's file of the
    // same name (without case, as on Windows) gives way, and so does its link,
    // which the loader would take before the user's stand file. The scan's
    // stand file may stay beside the user's link, which the loader takes first.
    std::set<std::string> userNames;
    std::set<std::string> userStandFiles;
    for (const std::string& name : users) {
        userNames.insert(gf_upper(name));
        if (isStandFile(name)) userStandFiles.insert(*airportOf(name));
    }
    // The staging folder becomes the whole new folder before anything of it
    // is in force: the scan's files that give way leave it, the user's files
    // join it. A failure here leaves the folder in use as it was.
    std::set<std::string> installed;
    std::vector<std::string> leftOut;
    for (const std::string& name : entryNames(folder.staging)) {
        const auto airport = airportOf(name);
        const bool hidesUserStandFile = airport && !isStandFile(name) && userStandFiles.count(*airport) != 0;
        if (userNames.count(gf_upper(name)) == 0 && !hidesUserStandFile) {
            installed.insert(name);
            continue;
        }
        std::error_code removeEc;
        fs::remove(folder.staging / name, removeEc);
        if (removeEc) {
            logNotReplaced(folder, skh::format("could not leave {} out: {}", name, removeEc.message()));
            return false;
        }
        leftOut.push_back(name);
    }
    for (const std::string& name : users) {
        std::error_code copyEc;
        // Links stay links: one to a drive that is not there now is still
        // the user's and must not stop the scan.
        fs::copy(folder.live / name, folder.staging / name,
                 fs::copy_options::recursive | fs::copy_options::copy_symlinks, copyEc);
        if (copyEc) {
            logNotReplaced(folder, skh::format("could not keep the user's {}: {}", name, copyEc.message()));
            return false;
        }
    }

    // The list names the scan's files before they are in force, and the old
    // scan's files as long as they may still be (a swap that fails): none of
    // them can ever pass for the user's.
    std::set<std::string> listed = installed;
    listed.insert(lastScan.begin(), lastScan.end());
    listed.insert(dropped.begin(), dropped.end());
    if (std::string problem; !writeScannedList(folder, listed, problem)) {
        logNotReplaced(folder, skh::format("could not write {}: {}", folder.scannedList.string(), problem));
        return false;
    }

    if (hadLive) {
        fs::remove_all(folder.backup, ec);
        if (!ec) fs::rename(folder.live, folder.backup, ec);
        if (ec) {
            logNotReplaced(folder, ec.message());
            return false;
        }
    }
    fs::rename(folder.staging, folder.live, ec);
    if (ec) {
        std::error_code back;
        if (hadLive) fs::rename(folder.backup, folder.live, back);
        logNotReplaced(folder, ec.message());
        return false;
    }

    if (!dropped.empty()) {
        gf_logRaw(
            skh::format("{} had no list of the files a scan made and was rebuilt; its old files are kept in {} "
                        "until the next scan: {}",
                        folder.live.string(), folder.backup.string(), gf_joinComma(dropped)));
    }
    if (!leftOut.empty()) {
        gf_logRaw(skh::format("the scan's {} left out of {}: the user's files of those airports stay in force",
                              gf_joinComma(leftOut), folder.live.string()));
    }
    // Only the files now in force. A list left longer names only files that
    // are gone; a user's file given such a name later would pass for the scan's.
    if (std::string problem; listed != installed && !writeScannedList(folder, installed, problem)) {
        gf_logWarning(skh::format("could not write {}: {}", folder.scannedList.string(), problem));
    }
    return true;
}

}  // namespace skh
