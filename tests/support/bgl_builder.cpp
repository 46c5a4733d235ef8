#include "bgl_builder.hpp"

#include <bit>
#include <cmath>

namespace skh::test {

namespace {

void appendU16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

void appendU32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void appendF32(std::string& out, float v) { appendU32(out, std::bit_cast<std::uint32_t>(v)); }

std::string nameRecord(const std::string& name) {
    std::string body = name;
    while ((6 + body.size()) % 4 != 0) body.push_back('\0');
    return bglRecord(0x19, body);
}

std::string helipadRecord(const BglHelipadLayout& h) {
    std::string body(0x24 - 6, '\0');
    putU32(body, 0x0C - 6, bglLonValue(h.lon));
    putU32(body, 0x10 - 6, bglLatValue(h.lat));
    putF32(body, 0x1C - 6, h.width);
    putF32(body, 0x20 - 6, h.heading);
    return bglRecord(0x26, body);
}

std::string parkingList(const BglAirportLayout& a) {
    std::string body;
    appendU16(body, static_cast<std::uint16_t>(a.parkings.size()));
    for (const BglParkingLayout& p : a.parkings) {
        appendU32(body,
                  (p.nameCode & 0x3F) | ((p.type & 0xF) << 8) | ((p.number & 0xFFF) << 12) | (p.airlineCodes << 24));
        appendF32(body, p.radius);
        appendF32(body, p.heading);
        body.append(16, '\0');
        appendU32(body, bglLonValue(p.lon));
        appendU32(body, bglLatValue(p.lat));
        for (std::uint32_t k = 0; k < p.airlineCodes; ++k) body.append("BAW\0", 4);
        if (a.v2) body.append(4, '\0');
    }
    return bglRecord(a.v2 ? 0xAD : 0x3D, body);
}

}  // namespace

std::uint32_t bglIdentValue(std::string_view ident) {
    std::uint32_t n = 0;
    for (char c : ident) {
        std::uint32_t d = 0;
        if (c >= '0' && c <= '9') d = static_cast<std::uint32_t>(c - '0') + 2;
        if (c >= 'A' && c <= 'Z') d = static_cast<std::uint32_t>(c - 'A') + 12;
        n = n * 38 + d;
    }
    return n << 5;
}

std::uint32_t bglLatValue(double lat) {
    return static_cast<std::uint32_t>(std::llround((90.0 - lat) / 3.3527612686157227e-7));
}

std::uint32_t bglLonValue(double lon) {
    return static_cast<std::uint32_t>(std::llround((lon + 180.0) / 4.470348358154297e-7));
}

std::string bglRecord(std::uint16_t id, const std::string& body) {
    std::string out;
    appendU16(out, id);
    appendU32(out, static_cast<std::uint32_t>(6 + body.size()));
    return out + body;
}

std::string bglAirportRecord(const BglAirportLayout& a) {
    std::string body((a.v2 ? 60 : 56) - 6, '\0');
    putU32(body, 0x14 - 6, static_cast<std::uint32_t>(a.elevationMm));
    putU32(body, 0x28 - 6, bglIdentValue(a.ident));
    for (const std::string& name : a.names) body += nameRecord(name);
    if (!a.helipadsAfterParkings) {
        for (const auto& h : a.helipads) body += helipadRecord(h);
    }
    if (!a.parkings.empty()) body += parkingList(a);
    if (a.helipadsAfterParkings) {
        for (const auto& h : a.helipads) body += helipadRecord(h);
    }
    return bglRecord(a.v2 ? 0xAB : 0x3C, body);
}

std::string bglFile(const std::vector<BglSectionLayout>& sections) {
    std::size_t subsectionCount = 0;
    for (const auto& s : sections) subsectionCount += s.subsections.size();
    const std::size_t tablesAt = 56 + 20 * sections.size();
    std::size_t dataAt = tablesAt + 16 * subsectionCount;

    std::string header;
    appendU32(header, 0x19920201);
    appendU32(header, 56);
    header.resize(20, '\0');
    appendU32(header, static_cast<std::uint32_t>(sections.size()));
    header.resize(56, '\0');

    std::string sectionTable;
    std::string subsectionTables;
    std::string data;
    std::size_t tableAt = tablesAt;
    for (const auto& s : sections) {
        appendU32(sectionTable, s.type);
        appendU32(sectionTable, s.flags);
        appendU32(sectionTable, static_cast<std::uint32_t>(s.subsections.size()));
        appendU32(sectionTable, static_cast<std::uint32_t>(tableAt));
        appendU32(sectionTable, static_cast<std::uint32_t>(16 * s.subsections.size()));
        for (const std::string& records : s.subsections) {
            appendU32(subsectionTables, 0x083422);
            appendU32(subsectionTables, 1);
            appendU32(subsectionTables, static_cast<std::uint32_t>(dataAt + data.size()));
            appendU32(subsectionTables, static_cast<std::uint32_t>(records.size()));
            data += records;
        }
        tableAt += 16 * s.subsections.size();
    }
    return header + sectionTable + subsectionTables + data;
}

std::string bglFileOf(const std::vector<BglAirportLayout>& airports) {
    std::string records;
    for (const auto& a : airports) records += bglAirportRecord(a);
    return bglFile({BglSectionLayout{3, 1, {records}}});
}

void putU16(std::string& bytes, std::size_t offset, std::uint16_t value) {
    bytes[offset] = static_cast<char>(value & 0xFF);
    bytes[offset + 1] = static_cast<char>(value >> 8);
}

void putU32(std::string& bytes, std::size_t offset, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

void putF32(std::string& bytes, std::size_t offset, float value) {
    putU32(bytes, offset, std::bit_cast<std::uint32_t>(value));
}

std::uint32_t getU32(const std::string& bytes, std::size_t offset) {
    std::uint32_t v = 0;
    for (std::size_t i = 4; i-- > 0;) v = (v << 8) | static_cast<unsigned char>(bytes[offset + i]);
    return v;
}

}  // namespace skh::test
