#include "support/sc_wire.hpp"

#include <cstring>

#include "foundation/format.hpp"

namespace skh::test {

namespace {

template <typename T>
void put(Bytes& out, T v) {
    const auto* p = reinterpret_cast<const std::byte*>(&v);
    out.insert(out.end(), p, p + sizeof(T));
}

std::uint32_t u32At(std::span<const std::byte> m, std::size_t offset) {
    std::uint32_t v = 0;
    std::memcpy(&v, m.data() + offset, 4);
    return v;
}

enum class Field { U32, Flag, F32, Text, InitPos, Data };
struct FieldLayout {
    Field kind;
    std::size_t size = 4;  // the field's size for texts
};

struct Layout {
    ScRequestId id;
    std::size_t size;  // 0: variable (SetDataOnSimObject)
    std::vector<FieldLayout> fields;
};

const std::vector<Layout>& layouts() {
    static const std::vector<Layout> table = {
        {ScRequestId::Open,
         296,
         {{Field::Text, 256}, {Field::U32}, {Field::U32}, {Field::U32}, {Field::U32}, {Field::U32}, {Field::U32}}},
        {ScRequestId::MapClientEventToSimEvent, 276, {{Field::U32}, {Field::Text, 256}}},
        {ScRequestId::TransmitClientEvent, 36, {{Field::U32}, {Field::U32}, {Field::U32}, {Field::U32}, {Field::U32}}},
        {ScRequestId::AddClientEventToNotificationGroup, 28, {{Field::U32}, {Field::U32}, {Field::Flag}}},
        {ScRequestId::SetNotificationGroupPriority, 24, {{Field::U32}, {Field::U32}}},
        {ScRequestId::AddToDataDefinition,
         544,
         {{Field::U32}, {Field::Text, 256}, {Field::Text, 256}, {Field::U32}, {Field::F32}, {Field::U32}}},
        {ScRequestId::RequestDataOnSimObject,
         48,
         {{Field::U32},
          {Field::U32},
          {Field::U32},
          {Field::U32},
          {Field::U32},
          {Field::U32},
          {Field::U32},
          {Field::U32}}},
        {ScRequestId::RequestDataOnSimObjectType, 32, {{Field::U32}, {Field::U32}, {Field::U32}, {Field::U32}}},
        {ScRequestId::SetDataOnSimObject,
         0,
         {{Field::U32}, {Field::U32}, {Field::U32}, {Field::U32}, {Field::U32}, {Field::Data}}},
        {ScRequestId::SubscribeToSystemEvent, 276, {{Field::U32}, {Field::Text, 256}}},
        {ScRequestId::AICreateNonATCAircraft,
         344,
         {{Field::Text, 256}, {Field::Text, 12}, {Field::InitPos}, {Field::U32}}},
        {ScRequestId::AIReleaseControl, 24, {{Field::U32}, {Field::U32}}},
        {ScRequestId::AIRemoveObject, 24, {{Field::U32}, {Field::U32}}},
        {ScRequestId::AISetAircraftFlightPlan, 284, {{Field::U32}, {Field::Text, 260}, {Field::U32}}},
    };
    return table;
}

}  // namespace

WireWriter& WireWriter::u32(std::uint32_t v) {
    put(m_bytes, v);
    return *this;
}
WireWriter& WireWriter::i32(std::int32_t v) {
    put(m_bytes, v);
    return *this;
}
WireWriter& WireWriter::i64(std::int64_t v) {
    put(m_bytes, v);
    return *this;
}
WireWriter& WireWriter::f32(float v) {
    put(m_bytes, v);
    return *this;
}
WireWriter& WireWriter::f64(double v) {
    put(m_bytes, v);
    return *this;
}

WireWriter& WireWriter::fixed(std::string_view bytes, std::size_t field) {
    const std::size_t n = std::min(bytes.size(), field);
    const auto* p = reinterpret_cast<const std::byte*>(bytes.data());
    m_bytes.insert(m_bytes.end(), p, p + n);
    m_bytes.insert(m_bytes.end(), field - n, std::byte{0});
    return *this;
}

WireWriter& WireWriter::stringV(std::string_view bytes) { return fixed(bytes, (bytes.size() + 1 + 3) / 4 * 4); }

WireWriter& WireWriter::raw(std::span<const std::byte> bytes) {
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    return *this;
}

WireWriter& WireWriter::zeros(std::size_t n) {
    m_bytes.insert(m_bytes.end(), n, std::byte{0});
    return *this;
}

Bytes scMessage(ScRecvId id, std::span<const std::byte> body, std::uint32_t version) {
    WireWriter w;
    w.u32(static_cast<std::uint32_t>(12 + body.size())).u32(version).u32(static_cast<std::uint32_t>(id)).raw(body);
    return w.take();
}

Bytes scOpenMessage(std::string_view applicationName, std::array<std::uint32_t, 4> applicationVersion,
                    std::array<std::uint32_t, 4> simConnectVersion) {
    WireWriter w;
    w.fixed(applicationName, 256);
    for (auto v : applicationVersion) w.u32(v);
    for (auto v : simConnectVersion) w.u32(v);
    w.u32(0).u32(0);
    return scMessage(ScRecvId::Open, w.bytes());
}

Bytes scExceptionMessage(std::uint32_t exception, std::uint32_t sendId, std::uint32_t index) {
    WireWriter w;
    w.u32(exception).u32(sendId).u32(index);
    return scMessage(ScRecvId::Exception, w.bytes());
}

Bytes scQuitMessage() { return scMessage(ScRecvId::Quit, {}); }

Bytes scEventMessage(std::uint32_t groupId, std::uint32_t eventId, std::uint32_t data) {
    WireWriter w;
    w.u32(groupId).u32(eventId).u32(data);
    return scMessage(ScRecvId::Event, w.bytes());
}

Bytes scObjectAddRemoveMessage(std::uint32_t eventId, std::uint32_t objectId, ScSimObjectType type) {
    WireWriter w;
    w.u32(kScUnused).u32(eventId).u32(objectId).u32(static_cast<std::uint32_t>(type));
    return scMessage(ScRecvId::EventObjectAddRemove, w.bytes());
}

Bytes scFilenameMessage(std::uint32_t eventId, std::string_view fileName, std::uint32_t flags) {
    WireWriter w;
    w.u32(kScUnused).u32(eventId).u32(0).fixed(fileName, 260).u32(flags);
    return scMessage(ScRecvId::EventFilename, w.bytes());
}

Bytes scFrameMessage(std::uint32_t eventId, float frameRate, float simSpeed) {
    WireWriter w;
    w.u32(kScUnused).u32(eventId).u32(0).f32(frameRate).f32(simSpeed);
    return scMessage(ScRecvId::EventFrame, w.bytes());
}

Bytes scObjectDataMessage(bool byType, std::uint32_t requestId, std::uint32_t objectId, std::uint32_t defineId,
                          std::uint32_t flags, std::uint32_t entry, std::uint32_t outOf, std::uint32_t datumCount,
                          std::span<const std::byte> data) {
    WireWriter w;
    w.u32(requestId).u32(objectId).u32(defineId).u32(flags).u32(entry).u32(outOf).u32(datumCount).raw(data);
    return scMessage(byType ? ScRecvId::SimObjectDataByType : ScRecvId::SimObjectData, w.bytes());
}

Bytes scAssignedObjectIdMessage(std::uint32_t requestId, std::uint32_t objectId) {
    WireWriter w;
    w.u32(requestId).u32(objectId);
    return scMessage(ScRecvId::AssignedObjectId, w.bytes());
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes bytesOf(std::string_view text) {
    const auto* p = reinterpret_cast<const std::byte*>(text.data());
    return Bytes(p, p + text.size());
}

bool decodeRequest(std::span<const std::byte> packet, DecodedRequest& out, std::string& error) {
    DecodeFailure failure;
    if (decodeRequest(packet, out, failure, DecodeRules{})) return true;
    error = failure.reason;
    return false;
}

bool decodeRequest(std::span<const std::byte> packet, DecodedRequest& out, DecodeFailure& failure,
                   const DecodeRules& rules) {
    out = DecodedRequest{};
    auto refuse = [&](ScException exception, std::string reason, std::uint32_t index = 0) {
        failure = {std::move(reason), exception, index};
        return false;
    };
    if (packet.size() < 16)
        return refuse(ScException::SizeMismatch,
                      skh::format("packet of {} bytes is shorter than its header", packet.size()));
    const std::uint32_t size = u32At(packet, 0);
    const std::uint32_t version = u32At(packet, 4);
    const std::uint32_t type = u32At(packet, 8);
    out.sendId = u32At(packet, 12);
    if (size != packet.size())
        return refuse(ScException::SizeMismatch, skh::format("size field {} but {} bytes", size, packet.size()));
    if (rules.anyProtocolVersion ? version < 2 : version != kScProtocolVersion)
        return refuse(ScException::VersionMismatch, skh::format("protocol version {}", version));
    if ((type & 0xFFFFFF00u) != kScPacketTypeBase)
        return refuse(ScException::UnrecognizedId, skh::format("packet type 0x{:08X}", type));
    const Layout* layout = nullptr;
    for (const auto& l : layouts()) {
        if (static_cast<std::uint32_t>(l.id) == (type & 0xFFu)) layout = &l;
    }
    if (layout == nullptr)
        return refuse(ScException::UnrecognizedId, skh::format("unknown request 0x{:02X}", type & 0xFFu));
    out.id = layout->id;
    // Older protocols open with other trailing fields; only the name is read then.
    const bool anyOpen = rules.anyProtocolVersion && layout->id == ScRequestId::Open;
    if (anyOpen ? size < 16 + 256 : layout->size != 0 && size != layout->size)
        return refuse(ScException::SizeMismatch,
                      skh::format("request 0x{:02X} has size {}, expected {}", type & 0xFFu, size, layout->size));
    std::size_t offset = 16;
    std::uint32_t index = 0;
    for (const FieldLayout& f : layout->fields) {
        ++index;
        if (anyOpen && index > 1) break;
        switch (f.kind) {
            case Field::U32:
            case Field::Flag: {
                if (offset + 4 > size) return refuse(ScException::SizeMismatch, "packet ends inside a field", index);
                const std::uint32_t v = u32At(packet, offset);
                if (f.kind == Field::Flag && v > 1)
                    return refuse(ScException::Error, skh::format("flag field at {} holds {}", offset, v), index);
                out.values.push_back(v);
                offset += 4;
                break;
            }
            case Field::F32:
                std::memcpy(&out.epsilon, packet.data() + offset, 4);
                offset += 4;
                break;
            case Field::Text: {
                const auto* p = reinterpret_cast<const char*>(packet.data() + offset);
                std::size_t n = 0;
                while (n < f.size && p[n] != '\0') ++n;
                if (n == f.size)
                    return refuse(ScException::Error, skh::format("string field at {} has no NUL", offset), index);
                for (std::size_t k = n; k < f.size; ++k) {
                    if (p[k] != '\0')
                        return refuse(ScException::Error, skh::format("string field at {} is not zero-filled", offset),
                                      index);
                }
                out.texts.emplace_back(p, n);
                offset += f.size;
                break;
            }
            case Field::InitPos:
                std::memcpy(&out.initPos, packet.data() + offset, sizeof(out.initPos));
                offset += sizeof(out.initPos);
                break;
            case Field::Data: {
                const std::uint64_t count = out.values.at(3);
                const std::uint64_t unit = out.values.at(4);
                if (count == 0 || 36 + count * unit != size)
                    return refuse(ScException::SizeMismatch,
                                  skh::format("data of {} x {} bytes in a packet of {}", count, unit, size), index);
                out.data.assign(packet.begin() + 36, packet.end());
                offset = size;
                break;
            }
        }
    }
    if (out.id == ScRequestId::Open && !anyOpen) {
        const std::array<std::uint32_t, 6> expected{0, 0x50334400u, 5, 3, 0, 0};
        for (std::size_t i = 0; i < expected.size(); ++i) {
            if (out.values[i] != expected[i])
                return refuse(ScException::Error, skh::format("open field {} holds 0x{:X}", i, out.values[i]),
                              static_cast<std::uint32_t>(i + 2));
        }
    }
    out.packet.assign(packet.begin(), packet.end());
    return true;
}

std::string hexOf(std::span<const std::byte> bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) out += (i % 16 == 0) ? '\n' : ' ';
        out += skh::format("{:02x}", static_cast<unsigned>(bytes[i]));
    }
    return out;
}

}  // namespace skh::test
