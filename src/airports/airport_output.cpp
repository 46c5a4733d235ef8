#include "airports/airport_output.hpp"

#include <algorithm>

#include "aircraft/dbase.hpp"
#include "airports/stand.hpp"
#include "airports/stand_file.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/scan_report.hpp"
#include "foundation/text.hpp"
#include "foundation/text_files.hpp"

namespace skh {

namespace fs = std::filesystem;

namespace {

const std::string kMarker = "===> ";
const std::string kSimaddon = "simaddon";
const std::string kUnknown = "unknown";

// The one line of a link file: the archive path of the stand file.
bool writeLinkFile(const fs::path& path, const std::string& reference) {
    return gf_writeFileAtomically(path, reference + "\n");
}

// Throws the filesystem error of a folder that cannot be made.
void makeFolder(const fs::path& folder) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) fs::create_directory(folder);
}

// More stands win; on a tie the smaller path, so the result does not depend
// on which task came first.
bool beats(std::size_t stands, const std::string& path, std::size_t otherStands, const std::string& otherPath) {
    return stands != otherStands ? stands > otherStands : path < otherPath;
}

}  // namespace

AirportScanOutput::AirportScanOutput(fs::path orbxFolder, fs::path thirdpartyFolder, PublisherLookup publisherOf)
    : m_orbxFolder(std::move(orbxFolder)),
      m_thirdpartyFolder(std::move(thirdpartyFolder)),
      m_publisherOf(std::move(publisherOf)) {}

void AirportScanOutput::processBglFile(const fs::path& file) {
    const std::string path = file.string();
    try {
        BglBytes bytes;
        if (!bytes.open(file)) {
            gf_addScanReport(skh::format("{}{} not read: it cannot be opened", kMarker, path));
            return;
        }
        // Asked once per file, and only for a file that holds an airport.
        std::optional<std::string> publisher;
        const BglAirportSink sink{[&](BglAirport& airport) {
                                      if (!publisher) publisher = m_publisherOf ? m_publisherOf(path) : kUnknown;
                                      handleAirport(airport, path, *publisher);
                                  },
                                  [](std::string line) { gf_addScanReport(std::move(line)); }};
        lf_readBglAirports(bytes, path, sink);
    } catch (const std::exception&) {
        gf_logWarning(skh::format("Exception in lf_processBGLfile: {}", path));
        throw;
    }
}

AirportScanOutput::IdentSlot& AirportScanOutput::slotOf(const std::string& ident) {
    const std::lock_guard lock(m_slotsMutex);
    auto& slot = m_slots[ident];
    if (!slot) slot = std::make_unique<IdentSlot>();
    return *slot;
}

void AirportScanOutput::written() { m_filesWritten.store(true); }

void AirportScanOutput::handleAirport(BglAirport& airport, const std::string& bglPath, const std::string& publisher) {
    IdentSlot& slot = slotOf(airport.ident);
    const std::lock_guard lock(slot.mutex);
    const std::size_t stands = airport.stands.size();
    if (slot.taken && !beats(stands, bglPath, slot.stands, slot.bglPath)) {
        if (slot.bglPath != bglPath && !slot.files.empty()) {
            gf_addScanReport(skh::format("{}{} of {} not used: {} has {} stand{}", kMarker, airport.ident, bglPath,
                                         slot.bglPath, slot.stands, gf_plural(static_cast<std::int64_t>(slot.stands))));
        }
        return;
    }
    if (!slot.files.empty()) {
        gf_addScanReport(skh::format("{}{} of {} replaced by {} with {} stand{}", kMarker, airport.ident, slot.bglPath,
                                     bglPath, stands, gf_plural(static_cast<std::int64_t>(stands))));
        for (const fs::path& file : slot.files) {
            std::error_code ec;
            fs::remove(file, ec);
        }
        slot.files.clear();
    }
    slot.taken = true;
    slot.stands = stands;
    slot.bglPath = bglPath;

    std::vector<std::string> lines;
    std::int32_t archived = 0;
    const bool linked = linkAirport(airport.ident, publisher, archived, lines, slot.files);
    lines.insert(lines.end(), std::make_move_iterator(airport.report.begin()),
                 std::make_move_iterator(airport.report.end()));
    airport.report.clear();
    const auto n = static_cast<std::int64_t>(stands);
    if (n > archived && publisher != kSimaddon) {
        lines.push_back(
            skh::format("{}{} has {} parkpos while archived one has {}", kMarker, airport.ident, n, archived));
    }
    if (!linked || (n > archived && publisher != kSimaddon)) {
        writeGenerated(airport, bglPath, publisher, lines, slot.files);
    }
    gf_addScanReportLines(std::move(lines));
}

bool AirportScanOutput::linkAirport(const std::string& ident, const std::string& publisher,
                                    std::int32_t& archivedStands, std::vector<std::string>& lines,
                                    std::vector<fs::path>& files) {
    archivedStands = 0;
    if (publisher == kUnknown) return false;
    const bool simaddon = publisher == kSimaddon;
    const std::optional<std::string> reference =
        simaddon ? lf_findSimaddonArchive(ident, lines)
                 : lf_findThirdpartyArchive(publisher, ident, archivedStands, lines);
    if (!reference) return false;
    const fs::path& folder = simaddon ? m_orbxFolder : m_thirdpartyFolder;
    makeFolder(folder);
    const fs::path path = folder / (ident + ".txt");
    if (!writeLinkFile(path, *reference)) {
        // Not linked: the generated file stands in for the archived one.
        lines.push_back(skh::format("{}Linking {} did not succeed", kMarker, path.string()));
        archivedStands = 0;
        return false;
    }
    files.push_back(path);
    written();
    lines.push_back(simaddon ? skh::format("{} airport {} linked to {}", kSimaddon, ident, *reference)
                             : skh::format("thirdparty airport {} linked to {}", ident, *reference));
    return true;
}

void AirportScanOutput::writeGenerated(const BglAirport& airport, const std::string& bglPath,
                                       const std::string& publisher, std::vector<std::string>& lines,
                                       std::vector<fs::path>& files) {
    const std::size_t n = airport.stands.size();
    if (n == 0) return;
    const fs::path& folder = publisher == kSimaddon ? m_orbxFolder : m_thirdpartyFolder;
    const std::int32_t h = airport.helipads;
    const std::string helipads = h == 0 ? std::string() : skh::format(", of which {} helipad{}", h, gf_plural32(h));
    lines.push_back(skh::format("Generated {}: {} position{}{}", airport.ident + ".xml", n,
                                gf_plural(static_cast<std::int64_t>(n)), helipads));

    AirportFileData data;
    data.ident = airport.ident;
    data.name = airport.name;
    data.bglPath = bglPath;
    data.publisher = publisher;
    data.qfReal = 0;
    data.qfSoft = 0;
    data.altitude = airport.elevationFt;
    std::vector<const BglStand*> byName;
    byName.reserve(n);
    for (const BglStand& s : airport.stands) byName.push_back(&s);
    std::sort(byName.begin(), byName.end(), [](const BglStand* a, const BglStand* b) { return a->name < b->name; });
    data.stands.reserve(n);
    for (const BglStand* s : byName) {
        data.stands.push_back(
            gf_makeStand(s->name, {}, s->lat, s->lon, s->heading, s->radiusM, s->cargo, s->ramp, s->helipad));
    }

    makeFolder(folder);
    const fs::path path = folder / (airport.ident + ".xml");
    if (!gf_writeAirportFile(data, path, kGeneratedFile)) {
        lines.push_back(skh::format("{}Generating {} did not succeed", kMarker, path.string()));
        return;
    }
    files.push_back(path);
    written();
}

std::optional<std::string> lf_findSimaddonArchive(const std::string& ident, std::vector<std::string>& lines) {
    if (g_simaddonAirports.count(ident) != 0) return "archive/" + kSimaddon + "/" + ident + ".xml";
    lines.push_back(skh::format("{} does not exist as simaddon", ident));
    return std::nullopt;
}

std::optional<std::string> lf_findThirdpartyArchive(const std::string& publisher, const std::string& ident,
                                                    std::int32_t& archivedStands, std::vector<std::string>& lines) {
    std::string folder;
    for (const char c : publisher) {
        if (c == ' ') {
            folder += "%20";
        } else {
            folder += c;
        }
    }
    for (const ThirdPartyPackage& package : g_thirdPartyPackages) {
        if (package.pub != publisher) continue;
        for (const std::string& entry : package.airports) {
            PrefixedIntContext context{publisher, ident, archivedStands};
            if (lf_parsePrefixedInt(context, entry)) return "archive/thirdparty/" + folder + "/" + ident + ".xml";
        }
    }
    lines.push_back(skh::format("thirdparty {} {} does not exist", publisher, ident));
    return std::nullopt;
}

}  // namespace skh
