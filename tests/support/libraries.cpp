#include "support/libraries.hpp"

#include <curl/curl.h>
#include <sodium.h>

#include <mutex>
#include <stdexcept>

namespace skh::test {

void initLibraries() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (sodium_init() < 0) throw std::runtime_error("sodium_init failed");
        if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) throw std::runtime_error("curl_global_init failed");
    });
}

}  // namespace skh::test
