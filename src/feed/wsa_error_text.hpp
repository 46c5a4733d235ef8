#pragma once
#include <cstdint>
#include <string>

namespace skh {

// "<code> <text>" for a Windows Sockets error code, as the feed logs it;
// "<code> Unknown errror code" for a code it does not know.
std::string gf_wsaErrorText(std::int32_t code);
// The same for the calling thread's last socket error.
std::string gf_lastWsaErrorText();

}  // namespace skh
