#include <cstring>
#include <mutex>

#include "simconnect/config.hpp"
#include "simconnect/connection.hpp"
#include "simconnect/simconnect.hpp"

namespace skh {

namespace {

// One packet carved from a connection's build buffer, under the process-wide
// packet mutex for its whole life.
class Packet {
public:
    Packet(ScConnection* c, ScRequestId id, std::uint64_t size) : m_lock(gf_scPacketMutex()), m_c(c) {
        if (c == nullptr || !c->build) {
            m_result = kScFail;
            return;
        }
        if (c->failed.load()) {
            m_result = c->failureCode.load();
            return;
        }
        if (size > kScBuildBufferSize - c->buildUsed) {
            m_result = kScFail;
            return;
        }
        c->sendId = c->sendId == 0xFFFFFFFFu ? 1 : c->sendId + 1;
        m_begin = c->buildUsed;
        m_size = static_cast<std::size_t>(size);
        m_p = c->build.get() + m_begin;
        std::memset(m_p, 0, m_size);
        c->buildUsed += m_size;
        u32(0, static_cast<std::uint32_t>(m_size));
        u32(4, kScProtocolVersion);
        u32(8, kScPacketTypeBase | static_cast<std::uint32_t>(id));
        u32(12, c->sendId);
    }
    Packet(HANDLE h, ScRequestId id, std::uint64_t size) : Packet(lf_scFindConnection(h), id, size) {}

    HRESULT result() const { return m_result; }

    void u32(std::size_t offset, std::uint32_t v) { std::memcpy(m_p + offset, &v, 4); }
    void f32(std::size_t offset, float v) { std::memcpy(m_p + offset, &v, 4); }
    void bytes(std::size_t offset, const void* data, std::size_t n) {
        if (n > 0) std::memcpy(m_p + offset, data, n);
    }
    // Copies the text up to its first NUL; false when it does not fit the
    // field together with its terminating NUL.
    bool text(std::size_t offset, std::size_t field, const char* s) {
        if (s == nullptr) return true;
        std::size_t n = 0;
        while (n < field && s[n] != '\0') ++n;
        if (n >= field) return false;
        std::memcpy(m_p + offset, s, n);
        return true;
    }

    // Gives the packet back: the buffer's end returns to where it began and
    // its bytes are zeroed. The send id is not given back.
    HRESULT discard(HRESULT code) {
        std::memset(m_p, 0, m_size);
        m_c->buildUsed = m_begin;
        return code;
    }
    HRESULT commit() {
        lf_scCommitPacket(m_c);
        return kScOk;
    }

private:
    std::unique_lock<std::mutex> m_lock;
    ScConnection* m_c;
    HRESULT m_result = kScOk;
    std::size_t m_begin = 0;
    std::size_t m_size = 0;
    std::byte* m_p = nullptr;
};

// The common shape of the requests made of a client event or group id and a name.
HRESULT idAndName(HANDLE h, ScRequestId id, std::uint32_t value, const char* name) {
    Packet p(h, id, 276);
    if (p.result() != kScOk) return p.result();
    p.u32(16, value);
    if (!p.text(20, 256, name)) return p.discard(kScTextTooLong);
    return p.commit();
}

HRESULT twoValues(HANDLE h, ScRequestId id, std::uint32_t a, std::uint32_t b) {
    Packet p(h, id, 24);
    if (p.result() != kScOk) return p.result();
    p.u32(16, a);
    p.u32(20, b);
    return p.commit();
}

HRESULT buildOpen(ScConnection* c, const char* name) {
    Packet p(c, ScRequestId::Open, 296);
    if (p.result() != kScOk) return p.result();
    if (!p.text(16, 256, name)) return p.discard(kScTextTooLong);
    p.u32(272, 0);
    p.u32(276, 0x50334400u);
    p.u32(280, 5);
    p.u32(284, 3);
    p.u32(288, 0);
    p.u32(292, 0);
    return p.commit();
}

}  // namespace

HRESULT SimConnect_Open(HANDLE* phSimConnect, const char* szName, HWND hWnd, std::uint32_t userEventWin32,
                        HANDLE hEventHandle, std::uint32_t configIndex) {
    if (phSimConnect == nullptr || szName == nullptr) return kScInvalidArg;
    *phSimConnect = nullptr;
    ScConnection* c = nullptr;
    const int rc = lf_scConnect(c, configIndex);
    if (rc == 3) return kScInvalidArg;
    if (rc != 0 || c == nullptr) return kScFail;
    {
        const std::lock_guard lock(c->queueMutex);
        c->window = hWnd;
        c->userMessage = userEventWin32;
        c->event = static_cast<ScEvent*>(hEventHandle);
    }
    c->dispatch = nullptr;
    const HRESULT result = buildOpen(c, szName);
    if (result != kScOk) {
        lf_scCloseConnection(c);
        return result;
    }
    *phSimConnect = c;
    return kScOk;
}

HRESULT SimConnect_Close(HANDLE hSimConnect) {
    ScConnection* c = lf_scFindConnection(hSimConnect);
    if (c == nullptr) return kScFail;
    lf_scCloseConnection(c);
    return kScOk;
}

HRESULT SimConnect_GetLastSentPacketID(HANDLE hSimConnect, std::uint32_t* pdwSendID) {
    if (pdwSendID == nullptr) return kScFail;
    ScConnection* c = lf_scFindConnection(hSimConnect);
    if (c == nullptr) return kScFail;
    const std::lock_guard lock(gf_scPacketMutex());
    *pdwSendID = c->sendId;
    return kScOk;
}

HRESULT SimConnect_MapClientEventToSimEvent(HANDLE hSimConnect, std::uint32_t eventId, const char* eventName) {
    return idAndName(hSimConnect, ScRequestId::MapClientEventToSimEvent, eventId, eventName);
}

HRESULT SimConnect_TransmitClientEvent(HANDLE hSimConnect, std::uint32_t objectId, std::uint32_t eventId,
                                       std::uint32_t data, std::uint32_t groupId, std::uint32_t flags) {
    Packet p(hSimConnect, ScRequestId::TransmitClientEvent, 36);
    if (p.result() != kScOk) return p.result();
    p.u32(16, objectId);
    p.u32(20, eventId);
    p.u32(24, data);
    p.u32(28, groupId);
    p.u32(32, flags);
    return p.commit();
}

HRESULT SimConnect_AddClientEventToNotificationGroup(HANDLE hSimConnect, std::uint32_t groupId,
                                                     std::uint32_t eventId, bool maskable) {
    Packet p(hSimConnect, ScRequestId::AddClientEventToNotificationGroup, 28);
    if (p.result() != kScOk) return p.result();
    p.u32(16, groupId);
    p.u32(20, eventId);
    p.u32(24, maskable ? 1 : 0);
    return p.commit();
}

HRESULT SimConnect_SetNotificationGroupPriority(HANDLE hSimConnect, std::uint32_t groupId, std::uint32_t priority) {
    return twoValues(hSimConnect, ScRequestId::SetNotificationGroupPriority, groupId, priority);
}

HRESULT SimConnect_AddToDataDefinition(HANDLE hSimConnect, std::uint32_t defineId, const char* datumName,
                                       const char* unitsName, ScDatumType datumType, float epsilon,
                                       std::uint32_t datumId) {
    Packet p(hSimConnect, ScRequestId::AddToDataDefinition, 544);
    if (p.result() != kScOk) return p.result();
    p.u32(16, defineId);
    if (!p.text(20, 256, datumName) || !p.text(276, 256, unitsName)) return p.discard(kScTextTooLong);
    p.u32(532, static_cast<std::uint32_t>(datumType));
    p.f32(536, epsilon);
    p.u32(540, datumId);
    return p.commit();
}

HRESULT SimConnect_RequestDataOnSimObject(HANDLE hSimConnect, std::uint32_t requestId, std::uint32_t defineId,
                                          std::uint32_t objectId, ScPeriod period, std::uint32_t flags,
                                          std::uint32_t origin, std::uint32_t interval, std::uint32_t limit) {
    Packet p(hSimConnect, ScRequestId::RequestDataOnSimObject, 48);
    if (p.result() != kScOk) return p.result();
    p.u32(16, requestId);
    p.u32(20, defineId);
    p.u32(24, objectId);
    p.u32(28, static_cast<std::uint32_t>(period));
    p.u32(32, flags);
    p.u32(36, origin);
    p.u32(40, interval);
    p.u32(44, limit);
    return p.commit();
}

HRESULT SimConnect_RequestDataOnSimObjectType(HANDLE hSimConnect, std::uint32_t requestId, std::uint32_t defineId,
                                              std::uint32_t radiusMeters, ScSimObjectType type) {
    Packet p(hSimConnect, ScRequestId::RequestDataOnSimObjectType, 32);
    if (p.result() != kScOk) return p.result();
    p.u32(16, requestId);
    p.u32(20, defineId);
    p.u32(24, radiusMeters);
    p.u32(28, static_cast<std::uint32_t>(type));
    return p.commit();
}

HRESULT SimConnect_SetDataOnSimObject(HANDLE hSimConnect, std::uint32_t defineId, std::uint32_t objectId,
                                      std::uint32_t flags, std::uint32_t arrayCount, std::uint32_t unitSize,
                                      const void* data) {
    const std::uint64_t count = arrayCount == 0 ? 1 : arrayCount;
    const std::uint64_t dataSize = count * unitSize;  // 64-bit: cannot wrap
    Packet p(hSimConnect, ScRequestId::SetDataOnSimObject, 36 + dataSize);
    if (p.result() != kScOk) return p.result();
    if (data == nullptr && dataSize > 0) return p.discard(kScInvalidArg);
    p.u32(16, defineId);
    p.u32(20, objectId);
    p.u32(24, flags);
    p.u32(28, static_cast<std::uint32_t>(count));
    p.u32(32, unitSize);
    p.bytes(36, data, static_cast<std::size_t>(dataSize));
    return p.commit();
}

HRESULT SimConnect_SubscribeToSystemEvent(HANDLE hSimConnect, std::uint32_t eventId, const char* systemEventName) {
    return idAndName(hSimConnect, ScRequestId::SubscribeToSystemEvent, eventId, systemEventName);
}

HRESULT SimConnect_AICreateNonATCAircraft(HANDLE hSimConnect, const char* containerTitle, const char* tailNumber,
                                          SIMCONNECT_DATA_INITPOSITION initPos, std::uint32_t requestId) {
    Packet p(hSimConnect, ScRequestId::AICreateNonATCAircraft, 344);
    if (p.result() != kScOk) return p.result();
    if (!p.text(16, 256, containerTitle) || !p.text(272, 12, tailNumber)) return p.discard(kScTextTooLong);
    p.bytes(284, &initPos, sizeof(initPos));
    p.u32(340, requestId);
    return p.commit();
}

HRESULT SimConnect_AIReleaseControl(HANDLE hSimConnect, std::uint32_t objectId, std::uint32_t requestId) {
    return twoValues(hSimConnect, ScRequestId::AIReleaseControl, objectId, requestId);
}

HRESULT SimConnect_AIRemoveObject(HANDLE hSimConnect, std::uint32_t objectId, std::uint32_t requestId) {
    return twoValues(hSimConnect, ScRequestId::AIRemoveObject, objectId, requestId);
}

HRESULT SimConnect_AISetAircraftFlightPlan(HANDLE hSimConnect, std::uint32_t objectId, const char* flightPlanPath,
                                           std::uint32_t requestId) {
    Packet p(hSimConnect, ScRequestId::AISetAircraftFlightPlan, 284);
    if (p.result() != kScOk) return p.result();
    p.u32(16, objectId);
    if (!p.text(20, 260, flightPlanPath)) return p.discard(kScTextTooLong);
    p.u32(280, requestId);
    return p.commit();
}

HRESULT SimConnect_CallDispatch(HANDLE hSimConnect, ScDispatchProc pfcnDispatch, void* pContext) {
    ScConnection* c = lf_scFindConnection(hSimConnect);
    if (c == nullptr) return kScFail;
    if (pfcnDispatch != nullptr) c->dispatch = pfcnDispatch;
    for (;;) {
        std::vector<std::byte> message;
        {
            const std::lock_guard lock(c->queueMutex);
            if (c->received.empty()) break;
            message = std::move(c->received.front());
            c->received.pop_front();
            --c->receivedCount;
        }
        // The callback runs without the lock; a throw leaves the rest queued.
        if (message.size() >= 12 && c->dispatch != nullptr)
            c->dispatch(message.data(), static_cast<std::uint32_t>(message.size()), pContext);
    }
    return c->failed.load() ? c->failureCode.load() : kScOk;
}

}  // namespace skh
