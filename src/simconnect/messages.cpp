#include "simconnect/messages.hpp"

#include <cstring>

#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "platform/codepage.hpp"

namespace skh {

namespace {

std::uint32_t u32At(std::span<const std::byte> m, std::size_t offset) {
    std::uint32_t v = 0;
    std::memcpy(&v, m.data() + offset, 4);
    return v;
}

float f32At(std::span<const std::byte> m, std::size_t offset) {
    float v = 0;
    std::memcpy(&v, m.data() + offset, 4);
    return v;
}

// The text of a fixed char field: up to its first NUL, never past the field.
std::string fixedText(std::span<const std::byte> m, std::size_t offset, std::size_t field) {
    const auto* p = reinterpret_cast<const char*>(m.data() + offset);
    std::size_t n = 0;
    while (n < field && p[n] != '\0') ++n;
    return platform::cp1252ToUtf8(std::string_view(p, n));
}

ScRecvEvent eventAt(std::span<const std::byte> m) { return {u32At(m, 12), u32At(m, 16), u32At(m, 20)}; }

}  // namespace

bool gf_scReadHeader(std::span<const std::byte> message, ScRecvHeader& header) {
    if (message.size() < 12) return false;
    header = {u32At(message, 0), u32At(message, 4), u32At(message, 8)};
    return true;
}

std::uint32_t gf_scMinimumSize(std::uint32_t recvId) {
    switch (static_cast<ScRecvId>(recvId)) {
        case ScRecvId::Exception: return 24;
        case ScRecvId::Open: return 308;
        case ScRecvId::Quit: return 12;
        case ScRecvId::Event: return 24;
        case ScRecvId::EventObjectAddRemove: return 28;
        case ScRecvId::EventFilename: return 288;
        case ScRecvId::EventFrame: return 32;
        case ScRecvId::SimObjectData:
        case ScRecvId::SimObjectDataByType: return 40;
        case ScRecvId::AssignedObjectId: return 20;
        default: return 0;
    }
}

ScMessage gf_scDecodeMessage(std::span<const std::byte> message) {
    ScRecvHeader header;
    if (!gf_scReadHeader(message, header)) {
        gf_logWarning(skh::format("SimConnect message of {} bytes is too short and skipped", message.size()));
        return {};
    }
    const std::uint32_t minimum = gf_scMinimumSize(header.id);
    if (minimum == 0) return {};
    // The size field must describe these bytes: neither short of the kind's
    // layout nor beyond what arrived.
    if (header.size < minimum || header.size > message.size()) {
        gf_logWarning(skh::format("SimConnect message {} with size {} ({} bytes received) is malformed and skipped",
                                  header.id, header.size, message.size()));
        return {};
    }
    const auto m = message.first(header.size);
    switch (static_cast<ScRecvId>(header.id)) {
        case ScRecvId::Exception: return ScRecvException{u32At(m, 12), u32At(m, 16), u32At(m, 20)};
        case ScRecvId::Open: {
            ScRecvOpen open;
            open.applicationName = fixedText(m, 12, 256);
            for (std::size_t i = 0; i < 4; ++i) {
                open.applicationVersion[i] = u32At(m, 268 + 4 * i);
                open.simConnectVersion[i] = u32At(m, 284 + 4 * i);
            }
            return open;
        }
        case ScRecvId::Quit: return ScRecvQuit{};
        case ScRecvId::Event: return eventAt(m);
        case ScRecvId::EventObjectAddRemove: return ScRecvObjectAddRemove{eventAt(m), u32At(m, 24)};
        case ScRecvId::EventFilename: return ScRecvFilename{eventAt(m), fixedText(m, 24, 260), u32At(m, 284)};
        case ScRecvId::EventFrame: return ScRecvFrame{eventAt(m), f32At(m, 24), f32At(m, 28)};
        case ScRecvId::SimObjectData:
        case ScRecvId::SimObjectDataByType: {
            ScRecvObjectData d;
            d.byType = header.id == static_cast<std::uint32_t>(ScRecvId::SimObjectDataByType);
            d.requestId = u32At(m, 12);
            d.objectId = u32At(m, 16);
            d.defineId = u32At(m, 20);
            d.flags = u32At(m, 24);
            d.entryNumber = u32At(m, 28);
            d.outOf = u32At(m, 32);
            d.defineCount = u32At(m, 36);
            d.data = m.subspan(40);
            return d;
        }
        case ScRecvId::AssignedObjectId: return ScRecvAssignedObjectId{u32At(m, 12), u32At(m, 16)};
        default: return {};
    }
}

bool ScDataReader::take(void* out, std::size_t n) {
    if (remaining() < n) return false;
    std::memcpy(out, m_data.data() + m_pos, n);
    m_pos += n;
    return true;
}

bool ScDataReader::readInt32(std::int32_t& out) { return take(&out, 4); }
bool ScDataReader::readInt64(std::int64_t& out) { return take(&out, 8); }
bool ScDataReader::readFloat32(float& out) { return take(&out, 4); }
bool ScDataReader::readFloat64(double& out) { return take(&out, 8); }

bool ScDataReader::readFixedString(std::size_t fieldSize, std::string& out) {
    if (remaining() < fieldSize) return false;
    out = fixedText(m_data, m_pos, fieldSize);
    m_pos += fieldSize;
    return true;
}

bool ScDataReader::readStringV(std::string& out) {
    const auto* p = reinterpret_cast<const char*>(m_data.data() + m_pos);
    const std::size_t left = remaining();
    std::size_t n = 0;
    while (n < left && p[n] != '\0') ++n;
    if (n == left) return false;
    out = platform::cp1252ToUtf8(std::string_view(p, n));
    const std::size_t used = (n + 1 + 3) / 4 * 4;  // the NUL and the padding to a whole word
    m_pos += std::min(used, left);
    return true;
}

}  // namespace skh
