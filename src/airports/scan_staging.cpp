#include "airports/scan_staging.hpp"

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

fs::path withSuffix(const fs::path& live, const char* suffix) {
    fs::path p = live;
    p += suffix;
    return p;
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
    const std::set<std::string> generated = entryNames(folder.staging);
    std::error_code ec;
    const bool hadLive = fs::exists(folder.live, ec);
    // Without a list of the last scan's files every file there is the user's.
    const std::set<std::string> lastScan = readScannedList(folder.scannedList);

    if (hadLive) {
        fs::remove_all(folder.backup, ec);
        if (!ec) fs::rename(folder.live, folder.backup, ec);
        if (ec) {
            gf_logWarning(skh::format("{} not replaced, the new airport files stay in {}: {}", folder.live.string(),
                                      folder.staging.string(), ec.message()));
            return false;
        }
    }
    fs::rename(folder.staging, folder.live, ec);
    if (ec) {
        std::error_code back;
        if (hadLive) fs::rename(folder.backup, folder.live, back);
        gf_logWarning(skh::format("{} not replaced, the new airport files stay in {}: {}", folder.live.string(),
                                  folder.staging.string(), ec.message()));
        return false;
    }

    std::vector<std::string> scanned;
    std::set<std::string> kept;
    if (hadLive) {
        for (const std::string& name : entryNames(folder.backup)) {
            if (lastScan.count(name) != 0) continue;
            std::error_code copyEc;
            fs::copy(folder.backup / name, folder.live / name,
                     fs::copy_options::recursive | fs::copy_options::overwrite_existing, copyEc);
            if (copyEc) {
                gf_logWarning(skh::format("could not keep {} in {}: {}", name, folder.live.string(), copyEc.message()));
                continue;
            }
            kept.insert(name);
            if (generated.count(name) != 0) {
                gf_logRaw(skh::format("{} kept in {}: it was not made by the scan", name, folder.live.string()));
            }
        }
    }
    for (const std::string& name : generated) {
        if (kept.count(name) == 0) scanned.push_back(name);
    }
    std::string list;
    for (const std::string& name : scanned) list += name + "\n";
    if (!gf_writeFileAtomically(folder.scannedList, list)) {
        gf_logWarning(skh::format("could not write {}", folder.scannedList.string()));
    }
    return true;
}

}  // namespace skh
