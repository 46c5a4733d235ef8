#pragma once
// The messages the simulator sends, decoded from untrusted bytes: every kind
// has its minimum size checked, every field and string is bounded by its
// field and by the message end, and 8-bit text is converted from
// Windows-1252 to UTF-8 here, on receipt.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <variant>

#include "simconnect/sc_types.hpp"

namespace skh {

struct ScRecvHeader {
    std::uint32_t size = 0;
    std::uint32_t version = 0;
    std::uint32_t id = 0;
};

struct ScRecvException {
    std::uint32_t exception = 0;
    std::uint32_t sendId = 0;
    std::uint32_t index = 0;
};

struct ScRecvOpen {
    std::string applicationName;  // UTF-8
    std::array<std::uint32_t, 4> applicationVersion{};
    std::array<std::uint32_t, 4> simConnectVersion{};
};

struct ScRecvQuit {};

struct ScRecvEvent {
    std::uint32_t groupId = 0;
    std::uint32_t eventId = 0;
    std::uint32_t data = 0;
};

struct ScRecvObjectAddRemove {
    ScRecvEvent event;  // the object id is event.data
    std::uint32_t objectType = 0;
};

struct ScRecvFilename {
    ScRecvEvent event;
    std::string fileName;  // UTF-8
    std::uint32_t flags = 0;
};

struct ScRecvFrame {
    ScRecvEvent event;
    float frameRate = 0;
    float simSpeed = 0;
};

// Object data (id 8) or object data by type (id 9); `data` points into the
// message and is valid while the message is.
struct ScRecvObjectData {
    bool byType = false;
    std::uint32_t requestId = 0;
    std::uint32_t objectId = 0;
    std::uint32_t defineId = 0;
    std::uint32_t flags = 0;
    std::uint32_t entryNumber = 0;
    std::uint32_t outOf = 0;
    std::uint32_t defineCount = 0;
    std::span<const std::byte> data;
};

struct ScRecvAssignedObjectId {
    std::uint32_t requestId = 0;
    std::uint32_t objectId = 0;
};

// monostate: a kind the client does not handle, or a malformed message.
using ScMessage = std::variant<std::monostate, ScRecvException, ScRecvOpen, ScRecvQuit, ScRecvEvent,
                               ScRecvObjectAddRemove, ScRecvFilename, ScRecvFrame, ScRecvObjectData,
                               ScRecvAssignedObjectId>;

// The header; false when there are fewer than 12 bytes.
bool gf_scReadHeader(std::span<const std::byte> message, ScRecvHeader& header);

// The smallest size of a message kind, or 0 for a kind the client does not handle.
std::uint32_t gf_scMinimumSize(std::uint32_t recvId);

// Decodes one message; a malformed one is logged as a warning and gives monostate.
ScMessage gf_scDecodeMessage(std::span<const std::byte> message);

// Reads the datums of object data in order, each bounded by the data's end.
class ScDataReader {
public:
    explicit ScDataReader(std::span<const std::byte> data) : m_data(data) {}

    bool readInt32(std::int32_t& out);
    bool readInt64(std::int64_t& out);
    bool readFloat32(float& out);
    bool readFloat64(double& out);
    // A fixed string field (STRING32 takes 32 bytes): the text up to its first
    // NUL or the field's end.
    bool readFixedString(std::size_t fieldSize, std::string& out);
    bool readString32(std::string& out) { return readFixedString(32, out); }
    // A variable string: NUL-terminated, padded to a whole 4-byte word; false
    // when no NUL comes before the end.
    bool readStringV(std::string& out);

    std::size_t remaining() const { return m_data.size() - m_pos; }

private:
    bool take(void* out, std::size_t n);

    std::span<const std::byte> m_data;
    std::size_t m_pos = 0;
};

}  // namespace skh
