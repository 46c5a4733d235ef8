#include "simclient/user_aircraft.hpp"

#include <mutex>

namespace skh {

namespace {
std::mutex g_userAcCopyMutex;
UserAcState g_userAcCopy;
}  // namespace

UserAcState gf_userAcCopy() {
    const std::lock_guard lock(g_userAcCopyMutex);
    return g_userAcCopy;
}

void gf_setUserAcCopy(const UserAcState& state) {
    const std::lock_guard lock(g_userAcCopyMutex);
    g_userAcCopy = state;
}

}  // namespace skh
