#pragma once
// The SimConnect client: one function per request, each building exactly one
// packet and committing it at once, with the names and argument orders of the
// SimConnect API. Every function takes the handle that SimConnect_Open gave
// and returns an HRESULT (negative: failure):
//   0                the packet was committed (a packet committed while the
//                    transport is not connected is dropped, still 0);
//   0x80004005       no connection, or no packet could be carved;
//   failure code     once the transport has failed, the code stored with it;
//   0x8007007A       a text longer than its field allows.
// Callers serialise their calls on one connection.
#include <cstdint>

#include "simconnect/sc_event.hpp"
#include "simconnect/sc_types.hpp"

namespace skh {

// Opens a connection for the configuration index and sends the open packet.
// `event`, when given, is an ScEvent set after each received message.
// 0x80070057 for a null out pointer or name, or a non-zero index that no
// SimConnect.cfg has a section for; 0x80004005 when nothing connects.
HRESULT SimConnect_Open(HANDLE* phSimConnect, const char* szName, HWND hWnd, std::uint32_t userEventWin32,
                        HANDLE hEventHandle, std::uint32_t configIndex);
HRESULT SimConnect_Close(HANDLE hSimConnect);

// Hands every queued message (at least 12 bytes) to the callback, in arrival
// order. A non-null callback replaces the stored one. Returns 0, or once the
// queue is empty the stored failure code of a failed transport.
HRESULT SimConnect_CallDispatch(HANDLE hSimConnect, ScDispatchProc pfcnDispatch, void* pContext);

HRESULT SimConnect_GetLastSentPacketID(HANDLE hSimConnect, std::uint32_t* pdwSendID);

HRESULT SimConnect_MapClientEventToSimEvent(HANDLE hSimConnect, std::uint32_t eventId, const char* eventName);
HRESULT SimConnect_TransmitClientEvent(HANDLE hSimConnect, std::uint32_t objectId, std::uint32_t eventId,
                                       std::uint32_t data, std::uint32_t groupId, std::uint32_t flags);
HRESULT SimConnect_AddClientEventToNotificationGroup(HANDLE hSimConnect, std::uint32_t groupId,
                                                     std::uint32_t eventId, bool maskable);
HRESULT SimConnect_SetNotificationGroupPriority(HANDLE hSimConnect, std::uint32_t groupId, std::uint32_t priority);
HRESULT SimConnect_AddToDataDefinition(HANDLE hSimConnect, std::uint32_t defineId, const char* datumName,
                                       const char* unitsName, ScDatumType datumType, float epsilon,
                                       std::uint32_t datumId);
HRESULT SimConnect_RequestDataOnSimObject(HANDLE hSimConnect, std::uint32_t requestId, std::uint32_t defineId,
                                          std::uint32_t objectId, ScPeriod period, std::uint32_t flags,
                                          std::uint32_t origin, std::uint32_t interval, std::uint32_t limit);
HRESULT SimConnect_RequestDataOnSimObjectType(HANDLE hSimConnect, std::uint32_t requestId, std::uint32_t defineId,
                                              std::uint32_t radiusMeters, ScSimObjectType type);
// An array count of 0 is sent as 1. A packet that would not fit the build
// buffer fails with 0x80004005; null data with 0x80070057.
HRESULT SimConnect_SetDataOnSimObject(HANDLE hSimConnect, std::uint32_t defineId, std::uint32_t objectId,
                                      std::uint32_t flags, std::uint32_t arrayCount, std::uint32_t unitSize,
                                      const void* data);
HRESULT SimConnect_SubscribeToSystemEvent(HANDLE hSimConnect, std::uint32_t eventId, const char* systemEventName);
HRESULT SimConnect_AICreateNonATCAircraft(HANDLE hSimConnect, const char* containerTitle, const char* tailNumber,
                                          SIMCONNECT_DATA_INITPOSITION initPos, std::uint32_t requestId);
HRESULT SimConnect_AIReleaseControl(HANDLE hSimConnect, std::uint32_t objectId, std::uint32_t requestId);
HRESULT SimConnect_AIRemoveObject(HANDLE hSimConnect, std::uint32_t objectId, std::uint32_t requestId);
HRESULT SimConnect_AISetAircraftFlightPlan(HANDLE hSimConnect, std::uint32_t objectId, const char* flightPlanPath,
                                           std::uint32_t requestId);

// Not of the SimConnect API: true while the connection behind the handle is
// open and its transport has failed (the simulator quit, went away or broke
// the protocol). Every request on it then fails with the stored code, also
// before a dispatch has handed over the messages that came first.
bool gf_scTransportFailed(HANDLE hSimConnect);

}  // namespace skh
