#include "aircraft/regcodes.hpp"

#include <algorithm>
#include <pugixml.hpp>

#include "foundation/constants.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/text.hpp"
#include "foundation/text_files.hpp"

namespace skh {

namespace fs = std::filesystem;

namespace {

const char* liveryWord(std::size_t n) { return n == 1 ? "livery" : "liveries"; }

bool validLength(const std::string& reg) { return reg.size() >= 3 && reg.size() <= 12; }

// Reads one regcode file; false when a line was rejected.
bool readRegcodeFile(const fs::path& path, std::vector<AigRegcodeEntry>& list) {
    bool result = true;
    gf_logRaw(skh::format("Processing regcodes file '{}'", path.string()));
    LinesFile file{path, {}};
    for (const std::string& line : gf_readLines(file, 256)) {
        if (line.empty()) continue;
        std::vector<std::string> pieces = gf_split(line, ';');
        if (pieces.size() == 1) {
            if (!pieces[0].empty()) list.push_back({std::move(pieces[0]), {}, false});
            continue;
        }
        if (pieces.size() != 2 && pieces.size() != 3) {
            gf_logWarning(skh::format("{}: wrong format '{}'", path.string(), line));
            result = false;
            continue;
        }
        std::list<std::string> regs = gf_regexSplit(pieces[1]);
        if (regs.empty()) continue;
        if (regs.size() == 1) {
            if (!validLength(regs.front())) {
                gf_logWarning(skh::format("wrong regcode length '{}' in {}", regs.front(), path.string()));
                result = false;
                continue;
            }
            list.push_back({std::move(pieces[0]), std::move(regs), true});
            continue;
        }
        std::list<std::string> kept;
        for (std::string& reg : regs) {
            if (validLength(reg)) {
                kept.push_back(std::move(reg));
            } else {
                gf_logWarning(skh::format("wrong regcode length '{}' in {}", reg, path.string()));
                result = false;
            }
        }
        if (kept.empty()) {
            gf_logWarning(skh::format("{} ; regs empty?", path.string()));
            continue;
        }
        const bool special = pieces.size() == 3 && pieces[2] == "#";
        list.push_back({std::move(pieces[0]), std::move(kept), special});
    }
    return result;
}

}  // namespace

bool gf_readAigRegcodes(std::vector<AigRegcodeEntry>& list) {
    pugi::xml_document doc;
    if (!doc.load_file(g_aigRegcodesXml.c_str())) {
        gf_logWarning(skh::format("Failed to load {}", g_aigRegcodesXml.string()));
        return false;
    }
    bool result = true;
    std::string previous;
    for (const pugi::xml_node e : doc.child("AIG-regcodes").children("livery")) {
        std::string title = e.attribute("title").value();
        if (title.empty()) continue;
        if (title == previous) {
            gf_logWarning(skh::format("SAME AS PREVIOUS title '{}'", title));
            result = false;
            continue;
        }
        previous = title;
        list.push_back({std::move(title), gf_regexSplit(e.attribute("reg").value()), e.attribute("special").as_bool()});
    }
    gf_logRaw(skh::format("{} {} read from AIG-regcodes", list.size(), liveryWord(list.size())));
    return result;
}

bool gf_readRegcodeFiles(const fs::path& folder, std::vector<AigRegcodeEntry>& list) {
    std::vector<fs::path> files;
    try {
        for (fs::directory_iterator it(folder), end; it != end; ++it) {
            if (it->is_regular_file() && gf_upper(it->path().extension().string()) == ".TXT") {
                files.push_back(it->path());
            }
        }
    } catch (const fs::filesystem_error& e) {
        gf_logWarning(skh::format("Error reading regcode files in {}, what: {}", folder.string(), e.what()));
        return false;
    }
    // Later files cannot override earlier ones, so the order decides which
    // title wins a registration: read them in name order, ignoring case.
    std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
        const std::string la = gf_lower(a.filename().string());
        const std::string lb = gf_lower(b.filename().string());
        return la != lb ? la < lb : a.filename().string() < b.filename().string();
    });
    bool result = true;
    for (const fs::path& file : files) result = readRegcodeFile(file, list) && result;
    gf_logRaw(skh::format("{} {}", list.size(), liveryWord(list.size())));
    return result;
}

}  // namespace skh
