#include "airports/bgl_reader.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_set>

#include "foundation/format.hpp"
#include "foundation/geo.hpp"
#include "platform/codepage.hpp"

namespace skh {

namespace {

// File layout
constexpr std::uint64_t kFileHeaderBytes = 56;
constexpr std::uint64_t kSectionEntryBytes = 20;
constexpr std::uint64_t kSubsectionEntryBytes = 16;
constexpr std::uint64_t kRecordHeaderBytes = 6;  // u16 id, u32 size
constexpr std::uint32_t kAirportSection = 3;
constexpr std::uint32_t kWideSubsectionsFlag = 0x10000;  // 20-byte subsection entries: not an airport table we know

// Record ids
constexpr std::uint16_t kAirportV1 = 0x3C;  // header 56 bytes, parking list 0x3D
constexpr std::uint16_t kAirportV2 = 0xAB;  // header 60 bytes, parking list 0xAD
constexpr std::uint16_t kNameRecord = 0x19;
constexpr std::uint16_t kHelipadRecord = 0x26;
constexpr std::uint16_t kParkingListV1 = 0x3D;
constexpr std::uint16_t kParkingListV2 = 0xAD;

// Airport record fields
constexpr std::uint64_t kElevationField = 0x14;
constexpr std::uint64_t kIdentField = 0x28;
constexpr std::uint64_t kAirportV1HeaderBytes = 56;
constexpr std::uint64_t kAirportV2HeaderBytes = 60;

// Helipad fields
constexpr std::uint64_t kHelipadLon = 0x0C;
constexpr std::uint64_t kHelipadLat = 0x10;
constexpr std::uint64_t kHelipadWidth = 0x1C;
constexpr std::uint64_t kHelipadHeading = 0x20;
constexpr std::uint64_t kHelipadBytes = 0x24;

// Parking entries
constexpr std::uint64_t kParkingCountField = 6;
constexpr std::uint64_t kFirstParkingEntry = 8;
constexpr std::uint64_t kParkingEntryBytes = 36;
constexpr std::uint64_t kParkingRadius = 4;
constexpr std::uint64_t kParkingHeading = 8;
constexpr std::uint64_t kParkingLon = 28;
constexpr std::uint64_t kParkingLat = 32;

constexpr int kMaxSubrecordSteps = 5000;
constexpr std::int64_t kMaxNameBytes = 45;
constexpr char kDuplicateSuffixes[] = "abcdefghij";
constexpr float kMinRadiusM = 1.0f;    // exclusive
constexpr float kMaxRadiusM = 200.0f;  // exclusive
constexpr float kMaxHelipadWidthM = 2.0f * kMaxRadiusM;
constexpr double kSameHelipadDeg = 1e-8;
// Lines about damage of one file beyond this many are summed up in one line.
constexpr int kMaxProblemLines = 20;

std::string positionText(double lat, double lon) { return skh::format("{:.6f},{:.6f}", lat, lon); }

std::string utf8Name(std::string bytes) {
    bytes.erase(std::find(bytes.begin(), bytes.end(), '\0'), bytes.end());
    return platform::utf8OrCp1252ToUtf8(bytes);  // 8-bit names are in the Windows code page
}

struct SubrecordHeader {
    std::uint16_t id = 0;
    std::uint32_t size = 0;
};

// One file's reading: the bytes, the report and the problem count.
class BglFileReader {
public:
    BglFileReader(BglBytes& bytes, const std::string& path, const BglAirportSink& sink)
        : m_bytes(bytes), m_path(path), m_sink(sink) {}

    void readAll();

private:
    void problem(std::string line);
    bool header(std::uint64_t offset, SubrecordHeader& h) {
        return m_bytes.u16(offset, h.id) && m_bytes.u32(offset + 2, h.size);
    }
    void readSection(std::uint64_t entry);
    void walkSubsection(std::uint32_t recordsOffset, std::uint32_t dataBytes);
    void readAirport(std::uint64_t at, std::uint64_t end, bool v2);
    std::string readName(std::uint64_t at, std::uint64_t end);
    void readHelipad(std::uint64_t at, std::uint64_t end, BglAirport& airport);
    void readParkingList(std::uint64_t at, std::uint64_t end, bool v2, BglAirport& airport);

    BglBytes& m_bytes;
    const std::string& m_path;
    const BglAirportSink& m_sink;
    int m_problems = 0;
    std::map<std::uint64_t, std::uint64_t> m_walked;  // start -> end of the record ranges already walked

    // Per-airport working state, fresh for every airport.
    std::unordered_set<std::string> m_standNames;
    std::vector<std::pair<double, double>> m_helipadPositions;
};

void BglFileReader::problem(std::string line) {
    ++m_problems;
    if (m_problems <= kMaxProblemLines) {
        m_sink.report(std::move(line));
    } else if (m_problems == kMaxProblemLines + 1) {
        m_sink.report(skh::format("===> more damage in {} not listed", m_path));
    }
}

// The checks shared by the quick test and the reader; sets `sections` to the
// number of entries of the section table.
BglFileCheck checkHeader(BglBytes& bytes, std::uint32_t& sections) {
    BglFileCheck check;
    sections = 0;
    std::uint32_t headerSize = 0;
    std::uint32_t count = 0;
    if (bytes.size() <= kFileHeaderBytes || !bytes.u32(4, headerSize) || !bytes.u32(20, count)) {
        check.problem = skh::format("it has {} bytes, too few for a BGL file", bytes.size());
        return check;
    }
    if (headerSize != kFileHeaderBytes) {
        check.problem = skh::format("its header size is {} instead of {}", headerSize, kFileHeaderBytes);
        return check;
    }
    sections = count;
    if (sections == 0) return check;
    if (kFileHeaderBytes + kSectionEntryBytes * sections >= bytes.size()) {
        check.problem = skh::format("its table of {} sections runs past the end of the file", sections);
        sections = 0;
    }
    return check;
}

bool isAirportSection(BglBytes& bytes, std::uint64_t entry) {
    std::uint32_t type = 0;
    std::uint32_t flags = 0;
    return bytes.u32(entry, type) && bytes.u32(entry + 4, flags) && type == kAirportSection &&
           (flags & kWideSubsectionsFlag) == 0;
}

void BglFileReader::readAll() {
    std::uint32_t sections = 0;
    const BglFileCheck check = checkHeader(m_bytes, sections);
    if (!check.problem.empty()) {
        problem(skh::format("===> {} not read: {}", m_path, check.problem));
        return;
    }
    for (std::uint64_t i = 0; i < sections; ++i) {
        const std::uint64_t entry = kFileHeaderBytes + i * kSectionEntryBytes;
        if (isAirportSection(m_bytes, entry)) readSection(entry);
    }
}

void BglFileReader::readSection(std::uint64_t entry) {
    std::uint32_t count = 0;
    std::uint32_t table = 0;
    if (!m_bytes.u32(entry + 8, count) || !m_bytes.u32(entry + 12, table)) return;
    const std::uint64_t room = table < m_bytes.size() ? (m_bytes.size() - table) / kSubsectionEntryBytes : 0;
    if (count > room) {
        problem(
            skh::format("===> {}: the airport section's table of {} subsections at {} runs past the end of the file",
                        m_path, count, table));
        count = static_cast<std::uint32_t>(room);
    }
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t sub = table + i * kSubsectionEntryBytes;
        std::uint32_t recordsOffset = 0;
        std::uint32_t dataBytes = 0;
        if (!m_bytes.u32(sub + 8, recordsOffset) || !m_bytes.u32(sub + 12, dataBytes)) break;
        walkSubsection(recordsOffset, dataBytes);
    }
}

void BglFileReader::walkSubsection(std::uint32_t recordsOffset, std::uint32_t dataBytes) {
    if (dataBytes < kRecordHeaderBytes) {
        // Not even one record: the table is damaged, not the airport empty.
        problem(skh::format("===> {}: airport data at {} has {} bytes, too few for a record, skipped", m_path,
                            recordsOffset, dataBytes));
        return;
    }
    // Records lie on 4-byte boundaries; sizes count in whole words.
    std::uint64_t pos = recordsOffset & ~std::uint64_t{3};
    std::uint64_t end = std::uint64_t{recordsOffset} + dataBytes;
    if (end > m_bytes.size()) {
        problem(skh::format("===> {}: airport data of {} bytes at {} runs past the end of the file", m_path, dataBytes,
                            recordsOffset));
        end = m_bytes.size();
    }
    if (pos >= end) return;
    // Tables that point twice into the same data would make the walk repeat it.
    auto next = m_walked.upper_bound(pos);
    const bool overlapsNext = next != m_walked.end() && next->first < end;
    const bool overlapsPrevious = next != m_walked.begin() && std::prev(next)->second > pos;
    if (overlapsNext || overlapsPrevious) {
        problem(skh::format("===> {}: airport data at {} is listed twice, skipped", m_path, recordsOffset));
        return;
    }
    m_walked.emplace(pos, end);

    while (pos + kRecordHeaderBytes <= end) {
        SubrecordHeader h;
        if (!header(pos, h)) return;
        const std::uint64_t bytes = std::uint64_t{h.size} & ~std::uint64_t{3};
        if (h.id == kAirportV1 || h.id == kAirportV2) {
            if (bytes == 0) {
                problem(skh::format("   Warning: decodeSizeAtBoundary returned 0 at o2 = {} in {}", pos / 4, m_path));
                return;
            }
            if (bytes > end - pos) {
                problem(skh::format("===> {}: airport record at {} of {} bytes runs past its section", m_path, pos,
                                    h.size));
                return;
            }
            readAirport(pos, pos + bytes, h.id == kAirportV2);
        }
        if (bytes == 0) {
            problem(skh::format("===> {}: record {:#x} at {} has a size of {}, the airport data after it is skipped",
                                m_path, h.id, pos, h.size));
            return;
        }
        pos += bytes;
    }
}

void BglFileReader::readAirport(std::uint64_t at, std::uint64_t end, bool v2) {
    const std::uint64_t headerBytes = v2 ? kAirportV2HeaderBytes : kAirportV1HeaderBytes;
    std::uint32_t identValue = 0;
    std::int32_t elevationMm = 0;
    if (end - at < headerBytes || !m_bytes.u32(at + kIdentField, identValue) ||
        !m_bytes.i32(at + kElevationField, elevationMm)) {
        problem(skh::format("===> {}: airport record at {} is shorter than its header", m_path, at));
        return;
    }
    bool ok = false;
    BglAirport airport;
    airport.ident = lf_decodeIdentifierOrRegionCode(identValue, ok);
    if (!ok) return;
    airport.elevationFt = lf_bglElevationFeet(elevationMm);
    airport.name = readName(at + headerBytes, end);

    m_standNames.clear();
    m_helipadPositions.clear();
    const std::uint16_t parkingList = v2 ? kParkingListV2 : kParkingListV1;
    std::uint64_t pos = at + headerBytes;
    for (int step = 0; pos < end; ++step) {
        if (step == kMaxSubrecordSteps) {
            problem(skh::format(
                "   Error: Maximum loop iterations reached \u2014 possible corrupt SIA or malformed input. {}",
                m_path));
            break;
        }
        SubrecordHeader h;
        if (pos + kRecordHeaderBytes > end || !header(pos, h)) {
            problem(
                skh::format("   Error: o3={} exceeded data buffer size ({}), aborting. {}", pos / 4, end / 4, m_path));
            break;
        }
        const std::uint64_t words = h.size / 4;
        if (words == 0) {
            const bool known = h.id == kNameRecord || h.id == kHelipadRecord;
            problem(skh::format("{}   Warning: decodeSizeAtBoundary returned 0 at o3 = {} in {}", known ? "===> " : "",
                                pos / 4, m_path));
            break;
        }
        // Fields are read inside the declared size, and never past the airport.
        const std::uint64_t limit = std::min<std::uint64_t>(pos + h.size, end);
        if (h.id == kHelipadRecord) {
            readHelipad(pos, limit, airport);
        } else if (h.id == parkingList) {
            readParkingList(pos, limit, v2, airport);
            break;
        }
        if (words * 4 > end - pos) {
            problem(skh::format("   Error: o3={} exceeded data buffer size ({}), aborting. {}", (pos + words * 4) / 4,
                                end / 4, m_path));
            break;
        }
        pos += words * 4;
    }
    if (m_sink.airport) m_sink.airport(airport);
}

std::string BglFileReader::readName(std::uint64_t at, std::uint64_t end) {
    std::string name;
    std::uint64_t pos = at;
    while (pos + kRecordHeaderBytes <= end) {
        SubrecordHeader h;
        if (!header(pos, h) || h.size / 4 == 0) break;  // the stand walk reports it
        if (h.id == kNameRecord) {
            std::int64_t length = std::min<std::int64_t>(std::int64_t{h.size} - 6, kMaxNameBytes);
            // The name is copied word by word; of three bytes left only two were ever taken.
            if (length >= 2 && (length - 2) % 4 == 3) --length;
            const std::uint64_t limit = std::min<std::uint64_t>(pos + h.size, end);
            const std::uint64_t available = limit > pos + 6 ? limit - (pos + 6) : 0;
            const auto n = static_cast<std::size_t>(std::clamp<std::int64_t>(
                length, 0, static_cast<std::int64_t>(std::min<std::uint64_t>(available, kMaxNameBytes))));
            std::string bytes(n, '\0');
            if (m_bytes.read(pos + 6, bytes.data(), n)) {
                std::string found = utf8Name(std::move(bytes));
                if (name.empty()) {
                    name = std::move(found);
                } else if (found != name) {
                    name.clear();
                }
            }
        }
        pos += std::uint64_t{h.size / 4} * 4;
    }
    return name;
}

void BglFileReader::readHelipad(std::uint64_t at, std::uint64_t end, BglAirport& airport) {
    std::uint32_t lonValue = 0;
    std::uint32_t latValue = 0;
    float width = 0.0f;
    float headingDeg = 0.0f;
    if (end - at < kHelipadBytes || !m_bytes.u32(at + kHelipadLon, lonValue) ||
        !m_bytes.u32(at + kHelipadLat, latValue) || !m_bytes.f32(at + kHelipadWidth, width) ||
        !m_bytes.f32(at + kHelipadHeading, headingDeg)) {
        airport.report.push_back(skh::format("helipad record of {} cut short (skipped) in {}", airport.ident, m_path));
        return;
    }
    const double lat = lf_bglLatitude(latValue);
    const double lon = lf_bglLongitude(lonValue);
    if (!lf_isValidBglPosition(lat, lon)) {
        airport.report.push_back("lat/lon helipad incorrect (skipped): " + positionText(lat, lon));
        return;
    }
    for (const auto& [pLat, pLon] : m_helipadPositions) {
        if (std::fabs(pLat - lat) <= kSameHelipadDeg && std::fabs(pLon - lon) <= kSameHelipadDeg) {
            airport.report.push_back("double helipad " + airport.name + " (skipped) " + positionText(lat, lon));
            return;
        }
    }
    double heading = 0.0;
    if (!(width > 0.0f && width < kMaxHelipadWidthM)) {
        airport.report.push_back(skh::format("Skipped helipad with width {:.1F} m in {}", width, m_path));
        return;
    }
    if (!lf_bglHeading(headingDeg, heading)) {
        airport.report.push_back(skh::format("Skipped helipad with heading {:.1F} in {}", headingDeg, m_path));
        return;
    }
    m_helipadPositions.emplace_back(lat, lon);
    ++airport.helipads;
    BglStand stand;
    stand.name = skh::format("helipad{}", airport.helipads);
    stand.lat = lat;
    stand.lon = lon;
    stand.heading = heading;
    stand.radiusM = width * 0.5;
    stand.helipad = true;
    airport.stands.push_back(std::move(stand));
}

void BglFileReader::readParkingList(std::uint64_t at, std::uint64_t end, bool v2, BglAirport& airport) {
    std::uint16_t count = 0;
    if (!m_bytes.u16(at + kParkingCountField, count) || at + kFirstParkingEntry > end) {
        airport.report.push_back(skh::format("===> parking list of {} cut short in {}", airport.ident, m_path));
        return;
    }
    std::uint64_t entry = at + kFirstParkingEntry;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t packed = 0;
        float radius = 0.0f;
        float headingDeg = 0.0f;
        std::uint32_t lonValue = 0;
        std::uint32_t latValue = 0;
        // An entry is 36 bytes, one word per airline code, one more in a v2 list.
        const bool whole = entry + kParkingEntryBytes <= end && m_bytes.u32(entry, packed) &&
                           entry + kParkingEntryBytes + 4 * std::uint64_t{packed >> 24} + (v2 ? 4 : 0) <= end;
        if (!whole || !m_bytes.f32(entry + kParkingRadius, radius) ||
            !m_bytes.f32(entry + kParkingHeading, headingDeg) || !m_bytes.u32(entry + kParkingLon, lonValue) ||
            !m_bytes.u32(entry + kParkingLat, latValue)) {
            airport.report.push_back(skh::format("===> parking list of {} cut short after {} of {} entries in {}",
                                                 airport.ident, i, count, m_path));
            return;
        }
        const std::uint64_t next = entry + kParkingEntryBytes + 4 * std::uint64_t{packed >> 24} + (v2 ? 4 : 0);
        const std::uint32_t type = (packed >> 8) & 0xF;
        if (!(radius > kMinRadiusM && radius < kMaxRadiusM)) {
            airport.report.push_back(skh::format("Skipped position with radius {:.1F} m in {}", radius, m_path));
        } else if (type >= 1 && type <= 11) {
            const std::string name = lf_parkingNamePrefix(packed & 0x3F) + std::to_string((packed >> 12) & 0xFFF);
            const double lat = lf_bglLatitude(latValue);
            const double lon = lf_bglLongitude(lonValue);
            double heading = 0.0;
            if (!lf_isValidBglPosition(lat, lon)) {
                airport.report.push_back(skh::format("LatLon {} invalid (skipped)", positionText(lat, lon)));
            } else if (!lf_bglHeading(headingDeg, heading)) {
                airport.report.push_back(
                    skh::format("Skipped position {} with heading {:.1F} in {}", name, headingDeg, m_path));
            } else {
                std::string unique = name;
                for (std::size_t k = 0; m_standNames.count(unique) != 0; ++k) {
                    if (k == sizeof kDuplicateSuffixes - 1) {
                        unique.clear();
                        break;
                    }
                    unique = name + kDuplicateSuffixes[k];
                }
                if (unique.empty()) {
                    airport.report.push_back(
                        skh::format("{}Warning: more than 10 duplicate IDs {} in {}", "===> ", name, m_path));
                } else {
                    m_standNames.insert(unique);
                    BglStand stand;
                    stand.name = std::move(unique);
                    stand.lat = lat;
                    stand.lon = lon;
                    stand.heading = heading;
                    stand.radiusM = radius;
                    stand.cargo = type == 5;
                    stand.ramp = type <= 7;
                    airport.stands.push_back(std::move(stand));
                }
            }
        }
        entry = next;
    }
}

}  // namespace

BglFileCheck lf_checkBglFile(BglBytes& bytes) {
    std::uint32_t sections = 0;
    BglFileCheck check = checkHeader(bytes, sections);
    for (std::uint64_t i = 0; i < sections && !check.hasAirports; ++i) {
        check.hasAirports = isAirportSection(bytes, kFileHeaderBytes + i * kSectionEntryBytes);
    }
    return check;
}

BglFileCheck lf_checkBglFile(const std::filesystem::path& path) {
    BglBytes bytes;
    if (!bytes.open(path)) return {false, "it cannot be opened"};
    return lf_checkBglFile(bytes);
}

bool lf_countBglAirports(const std::filesystem::path& path) { return lf_checkBglFile(path).hasAirports; }

void lf_readBglAirports(BglBytes& bytes, const std::string& bglPath, const BglAirportSink& sink) {
    BglFileReader(bytes, bglPath, sink).readAll();
}

std::string lf_decodeIdentifierOrRegionCode(std::uint32_t value, bool& ok) {
    std::uint32_t n = value >> 5;
    char digits[8];
    int count = 0;
    bool blank = false;
    do {
        const std::uint32_t d = n % 38;
        n /= 38;
        blank = blank || d == 0;
        if (d == 0) {
            digits[count++] = ' ';
        } else if (d >= 2 && d <= 11) {
            digits[count++] = static_cast<char>('0' + (d - 2));
        } else {
            digits[count++] = static_cast<char>(d + 53);
        }
    } while (n != 0 && count < 8);
    std::string text(digits, static_cast<std::size_t>(count));
    std::reverse(text.begin(), text.end());
    ok = text.size() == 4 && !blank;
    return text;
}

std::string lf_parkingNamePrefix(std::uint32_t nameCode) {
    static constexpr const char* kPrefixes[] = {"", "r", "p", "np", "ep", "sep", "sp", "swp", "wp", "nwp", "g", ""};
    if (nameCode < 12) return kPrefixes[nameCode];
    if (nameCode < 64) return std::string(1, static_cast<char>(nameCode + 53));
    return {};
}

double lf_bglLongitude(std::uint32_t value) { return value * 4.470348358154297e-7 - 180.0; }

double lf_bglLatitude(std::uint32_t value) { return 90.0 - value * 3.3527612686157227e-7; }

bool lf_isValidBglPosition(double lat, double lon) {
    const bool inRange = lat >= -90.0 && lat <= 90.0 && lon >= -180.0 && lon <= 180.0;
    const bool nullIsland = std::fabs(lat) <= 0.0001 && std::fabs(lon) <= 0.0001;
    return inRange && !nullIsland;
}

bool lf_bglHeading(float degrees, double& radians) {
    if (!std::isfinite(degrees)) return false;
    double d = std::fmod(static_cast<double>(degrees), 360.0);
    if (d < 0.0) d += 360.0;
    radians = d * DEG2RAD;
    if (radians <= 0.0 || radians > TWO_PI) radians = TWO_PI;  // north, also from 360 and -0
    return true;
}

std::int32_t lf_bglElevationFeet(std::int32_t millimetres) {
    constexpr double kMinFeet = -1500.0;
    constexpr double kMaxFeet = 16000.0;
    const double feet = std::round(millimetres * 3.2808399 / 1000.0);
    return feet < kMinFeet || feet > kMaxFeet ? 0 : static_cast<std::int32_t>(feet);
}

}  // namespace skh
