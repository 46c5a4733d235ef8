#include "traffic/park_airports.hpp"

#include <algorithm>
#include <fstream>
#include <vector>

#include "foundation/constants.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/text.hpp"
#include "foundation/text_files.hpp"

namespace skh {

std::list<ParkAirportEntry> g_parkAirports;

namespace {

std::filesystem::path g_file = g_parkAirportsFile;

// Replaces `line` by `newLine` when its first field is the entry's code.
bool lf_updateMyParkAirportStand(const ParkAirportEntry& entry, const std::string& newLine, std::string& line) {
    const auto fields = gf_split(line, ',');
    if (fields.empty() || fields[0] != entry.code) return false;
    line = newLine;
    return true;
}

}  // namespace

void gf_setParkAirportsFile(const std::filesystem::path& path) { g_file = path; }

void gf_updateMyParkAirports() {
    if (g_parkAirports.empty()) return;
    const ParkAirportEntry& first = g_parkAirports.front();
    const std::string line = first.reservedStand.empty() ? first.code : first.code + "," + first.reservedStand;
    const std::string fileName = g_file.filename().string();
    std::vector<std::string> lines;
    std::ifstream in(g_file, std::ios::binary);
    if (!in) {
        lines.push_back(line);
        gf_log(skh::format("{} created with {}", fileName, line));
    } else {
        gf_readStreamLines(in, lines);
        in.close();
        // A file edited on Windows ends its lines in CR LF.
        for (auto& l : lines) {
            if (!l.empty() && l.back() == '\r') l.pop_back();
        }
        bool updated = false;
        for (auto& l : lines) {
            if (lf_updateMyParkAirportStand(first, line, l)) {
                updated = true;
                break;
            }
        }
        if (updated) {
            gf_log(skh::format("{}:{} updated stand", fileName, line));
        } else {
            lines.push_back(line);
            gf_log(skh::format("{}:{} new entry", fileName, line));
        }
    }
    std::sort(lines.begin(), lines.end());
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    std::string text;
    for (const auto& l : lines) text += l + "\n";
    if (!gf_writeFileAtomically(g_file, text)) gf_logWarning(skh::format("Failed to write file {}", g_file.string()));
}

}  // namespace skh
