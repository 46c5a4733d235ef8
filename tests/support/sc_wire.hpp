#pragma once
// Both sides of the SimConnect wire as the simulator sees it: builders of the
// messages the simulator sends (for unit tests of the dispatcher and for the
// fake simulator) and a strict decoder of the packets the client sends.
// No test framework here: the fake simulator program uses it too.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "simconnect/sc_types.hpp"

namespace skh::test {

using Bytes = std::vector<std::byte>;

// Little-endian writer for message bodies and data blocks.
class WireWriter {
public:
    WireWriter& u32(std::uint32_t v);
    WireWriter& i32(std::int32_t v);
    WireWriter& i64(std::int64_t v);
    WireWriter& f32(float v);
    WireWriter& f64(double v);
    // `bytes` into a zero-filled field of `field` bytes (cut when longer).
    WireWriter& fixed(std::string_view bytes, std::size_t field);
    // NUL-terminated and padded to a whole 4-byte word.
    WireWriter& stringV(std::string_view bytes);
    WireWriter& raw(std::span<const std::byte> bytes);
    WireWriter& zeros(std::size_t n);
    const Bytes& bytes() const { return m_bytes; }
    Bytes take() { return std::move(m_bytes); }

private:
    Bytes m_bytes;
};

// A whole message: the 12-byte header (size, version, id) and the body.
Bytes scMessage(ScRecvId id, std::span<const std::byte> body, std::uint32_t version = 5);

// Text fields of these builders are bytes as sent (Windows-1252).
Bytes scOpenMessage(std::string_view applicationName, std::array<std::uint32_t, 4> applicationVersion,
                    std::array<std::uint32_t, 4> simConnectVersion);
Bytes scExceptionMessage(std::uint32_t exception, std::uint32_t sendId, std::uint32_t index);
Bytes scQuitMessage();
Bytes scEventMessage(std::uint32_t groupId, std::uint32_t eventId, std::uint32_t data);
Bytes scObjectAddRemoveMessage(std::uint32_t eventId, std::uint32_t objectId, ScSimObjectType type);
Bytes scFilenameMessage(std::uint32_t eventId, std::string_view fileName, std::uint32_t flags);
Bytes scFrameMessage(std::uint32_t eventId, float frameRate, float simSpeed);
Bytes scObjectDataMessage(bool byType, std::uint32_t requestId, std::uint32_t objectId, std::uint32_t defineId,
                          std::uint32_t flags, std::uint32_t entry, std::uint32_t outOf, std::uint32_t datumCount,
                          std::span<const std::byte> data);
Bytes scAssignedObjectIdMessage(std::uint32_t requestId, std::uint32_t objectId);

Bytes concat(std::initializer_list<Bytes> parts);
Bytes bytesOf(std::string_view text);

// One packet of the client, decoded.
struct DecodedRequest {
    ScRequestId id{};
    std::uint32_t sendId = 0;
    std::vector<std::uint32_t> values;       // the u32 fields after the header, in order
    std::vector<std::string> texts;          // the string fields, in order, as sent (8-bit)
    float epsilon = 0;                       // AddToDataDefinition
    SIMCONNECT_DATA_INITPOSITION initPos{};  // AICreateNonATCAircraft
    Bytes data;                              // SetDataOnSimObject
    Bytes packet;                            // the whole packet
};

// Why a packet was refused, and the exception a simulator answers it with.
struct DecodeFailure {
    std::string reason;
    ScException exception = ScException::Error;
    std::uint32_t index = 0;  // 1-based number of the offending parameter; 0: the packet as a whole
};

struct DecodeRules {
    // False: protocol 35 and the one open packet this program sends. True:
    // any header version from 2 up, and an open packet of any layout that
    // holds the application name (for other clients).
    bool anyProtocolVersion = false;
};

// Decodes one packet strictly: the size is the kind's size (for
// SetDataOnSimObject 36 + count x unit with a count of at least 1), the
// version is 35, the type is known, every string has its NUL inside its
// field and zeros after it, flag fields hold 0 or 1. False with a reason.
bool decodeRequest(std::span<const std::byte> packet, DecodedRequest& out, std::string& error);
bool decodeRequest(std::span<const std::byte> packet, DecodedRequest& out, DecodeFailure& failure,
                   const DecodeRules& rules);

// Hex dump, for test messages.
std::string hexOf(std::span<const std::byte> bytes);

}  // namespace skh::test
