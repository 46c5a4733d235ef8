#include "aircraft/scan_tasks.hpp"

#include <filesystem>
#include <vector>

#include "aircraft/aircraft_cfg.hpp"
#include "aircraft/ivao_sections.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/text_files.hpp"

namespace skh {

namespace fs = std::filesystem;

namespace {

// Reads the file's lines in its charset; false when it cannot be used. A
// file too large or a line too long is reported, never read whole into the
// parsers.
bool readLines(const std::string& filePath, const fs::path& local, std::int32_t charset,
               std::vector<std::string>& lines) {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(local, ec);
    if (!ec && size > kMaxCfgFileBytes) {
        lf_addInvalidCfgFile(
            skh::format("{} has {} bytes, more than an aircraft.cfg can have, skipped", filePath, size));
        return false;
    }
    lines.reserve(4048);
    if (!gf_readTextFileLines(charset, local, lines)) return false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].size() <= kMaxCfgLineBytes) continue;
        lf_addInvalidCfgFile(skh::format("{} line {} has {} bytes, more than {}, skipped", filePath, i + 1,
                                         lines[i].size(), kMaxCfgLineBytes));
        lines[i].clear();
        lines[i].shrink_to_fit();
    }
    return true;
}

}  // namespace

std::list<LiveryData> lf_scanFolder(std::int32_t folderNo, const std::string& filePath) {
    const fs::path local = lf_localPath(filePath);
    if (!fs::exists(local)) return {};
    const std::string folderPath = lf_folderText(filePath);
    const std::int32_t charset = gf_detectCharset(local);
    if (charset == CharsetNoneFound) return {};
    std::vector<std::string> lines;
    if (!readLines(filePath, local, charset, lines)) return {};
    if (!lf_checkFltsimNumber(lines, filePath)) return {};
    const std::string type = lf_fixAtcModel(filePath, lines);
    if (type.empty()) return {};
    return lf_splitFltsimSections(folderNo, lines, type, filePath, folderPath);
}

std::list<LiveryData> lf_scanIvaoFolder(std::int32_t folderNo, const std::string& filePath) {
    const std::string type = lf_fixIvaoMtlModel(filePath);
    if (type.empty()) return {};
    const std::string folderPath = lf_folderText(filePath);
    const fs::path local = lf_localPath(filePath);
    const std::int32_t charset = gf_detectCharset(local);
    if (charset == CharsetNoneFound) {
        gf_logWarning(skh::format("No character set found for {}", filePath));
        return {};
    }
    std::vector<std::string> lines;
    if (!readLines(filePath, local, charset, lines)) return {};
    if (!lf_checkFltsimNumber(lines, filePath)) return {};
    return lf_splitIvaoFltsimSections(folderNo, lines, type, filePath, folderPath);
}

}  // namespace skh
