#pragma once
// Types, result codes and fixed numbers of the SimConnect wire protocol as the
// client speaks it (protocol version 35, little-endian).
#include <cstdint>

namespace skh {

using HRESULT = std::int32_t;  // negative: failure
using HANDLE = void*;
using HWND = void*;

inline constexpr HRESULT kScOk = 0;
inline constexpr HRESULT kScFail = static_cast<HRESULT>(0x80004005u);         // E_FAIL
inline constexpr HRESULT kScInvalidArg = static_cast<HRESULT>(0x80070057u);   // E_INVALIDARG
inline constexpr HRESULT kScTextTooLong = static_cast<HRESULT>(0x8007007Au);  // text does not fit its field
inline constexpr HRESULT kScAbort = static_cast<HRESULT>(0x80004004u);        // bad message size
inline constexpr HRESULT kScOutOfMemory = static_cast<HRESULT>(0x8007000Eu);

// NT status codes that a failed transport records.
inline constexpr HRESULT kStatusUnsuccessful = static_cast<HRESULT>(0xC0000001u);
inline constexpr HRESULT kStatusIoTimeout = static_cast<HRESULT>(0xC00000B5u);
inline constexpr HRESULT kStatusCancelled = static_cast<HRESULT>(0xC0000120u);
inline constexpr HRESULT kStatusRemoteDisconnect = static_cast<HRESULT>(0xC000013Cu);
inline constexpr HRESULT kStatusPeerClosed = static_cast<HRESULT>(0xC000013Eu);
inline constexpr HRESULT kStatusPipeBroken = static_cast<HRESULT>(0xC000014Bu);
inline constexpr HRESULT kStatusConnectionReset = static_cast<HRESULT>(0xC000020Du);

inline constexpr std::uint32_t kScProtocolVersion = 35;
inline constexpr std::uint32_t kScPacketTypeBase = 0xF0000000u;
inline constexpr std::uint32_t kScBuildBufferSize = 41088;       // also the default receive limit
inline constexpr std::uint32_t kScReceiveBufferMax = 1048576;    // the receive buffer never grows past it
inline constexpr const char* kScDefaultPipeName = "Lockheed Martin Prepar3D v5\\SimConnect";

// Why a transport failed.
enum class ScFailureKind : std::uint32_t {
    None = 0,
    TooLarge = 1,     // a message size above the receive limit
    BadSize = 2,      // a size of 1, 2 or 3
    NoMemory = 3,
    PeerClosed = 4,   // a read of 0 bytes
    Disconnected = 5, // reset, broken pipe, remote disconnect
    Cancelled = 8,    // the transport was closed on our side
    Other = 9,
};

enum class ScTransportKind : std::uint32_t { Tcp = 0, Pipe = 1, None = 2 };

// Request ids of the packets the client sends (the packet type is
// kScPacketTypeBase | id).
enum class ScRequestId : std::uint32_t {
    Open = 0x01,
    MapClientEventToSimEvent = 0x04,
    TransmitClientEvent = 0x05,
    AddClientEventToNotificationGroup = 0x07,
    SetNotificationGroupPriority = 0x09,
    AddToDataDefinition = 0x0C,
    RequestDataOnSimObject = 0x0E,
    RequestDataOnSimObjectType = 0x0F,
    SetDataOnSimObject = 0x10,
    SubscribeToSystemEvent = 0x17,
    AICreateNonATCAircraft = 0x29,
    AIReleaseControl = 0x2B,
    AIRemoveObject = 0x2C,
    AISetAircraftFlightPlan = 0x2D,
};

// Ids of the messages the simulator sends.
enum class ScRecvId : std::uint32_t {
    Null = 0,
    Exception = 1,
    Open = 2,
    Quit = 3,
    Event = 4,
    EventObjectAddRemove = 5,
    EventFilename = 6,
    EventFrame = 7,
    SimObjectData = 8,
    SimObjectDataByType = 9,
    AssignedObjectId = 12,
};

// Datum types of a data definition.
enum class ScDatumType : std::uint32_t {
    Int32 = 1,
    Int64 = 2,
    Float32 = 3,
    Float64 = 4,
    String8 = 5,
    String32 = 6,
    String64 = 7,
    String128 = 8,
    String256 = 9,
    String260 = 10,
    StringV = 11,
};

// How often object data is sent.
enum class ScPeriod : std::uint32_t { Never = 0, Once = 1, VisualFrame = 2, SimFrame = 3, Second = 4 };

// Flags of a data request on one object.
inline constexpr std::uint32_t kScDataRequestChanged = 0x1;  // send only when a value changed
inline constexpr std::uint32_t kScDataRequestTagged = 0x2;

// Exception numbers of the exception message.
enum class ScException : std::uint32_t {
    None = 0,
    Error = 1,
    SizeMismatch = 2,
    UnrecognizedId = 3,
    Unopened = 4,
    VersionMismatch = 5,
    TooManyObjects = 11,
    InvalidDataSize = 19,
    CreateObjectFailed = 22,
    LoadFlightPlanFailed = 23,
    OperationInvalidForObjectType = 24,
};

// Kinds of simulation objects in a request by type.
enum class ScSimObjectType : std::uint32_t { User = 0, All = 1, Aircraft = 2, Helicopter = 3, Boat = 4, Ground = 5 };

inline constexpr std::uint32_t kScObjectIdUser = 0;
inline constexpr std::uint32_t kScUnused = 0xFFFFFFFFu;

// The initial position of a created AI object, copied into the packet as given.
#pragma pack(push, 4)
struct SIMCONNECT_DATA_INITPOSITION {
    double Latitude;   // degrees
    double Longitude;  // degrees
    double Altitude;   // feet
    double Pitch;      // degrees
    double Bank;       // degrees
    double Heading;    // degrees
    std::uint32_t OnGround;
    std::uint32_t Airspeed;  // knots
};
#pragma pack(pop)
static_assert(sizeof(SIMCONNECT_DATA_INITPOSITION) == 56);

// The dispatch callback: one whole message, its size, the caller's context.
using ScDispatchProc = void (*)(const std::byte* message, std::uint32_t size, void* context);

}  // namespace skh
