#pragma once
// What the two halves of the fake simulator share: a client connection and
// small value helpers. Only fake_simulator.cpp and fake_sim_model.cpp
// include it.
#include <atomic>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/net.hpp"
#include "support/fake_simulator.hpp"

namespace skh::test {

struct FakeSimulator::Client {
    std::uint32_t number = 0;
    platform::Socket socket = platform::kInvalidSocket;
    std::mutex sendMutex;  // guards socket for senders
    std::atomic<bool> connected{true};
    std::atomic<bool> closeRequested{false};
    std::atomic<bool> resetRequested{false};
    // guarded by the simulator's mutex
    bool opened = false;
    bool anySendId = false;  // a packet with a send id has arrived
    std::uint32_t lastSendId = 0;
    std::map<std::uint32_t, std::string> subscriptions;  // client event id -> upper-case name
    std::map<std::uint32_t, std::string> clientEvents;   // client event id -> upper-case simulator event
    std::size_t requests = 0;
    std::map<std::uint32_t, std::vector<FakeDatum>> definitions;
};

namespace fake {

inline std::uint32_t u32At(std::span<const std::byte> m, std::size_t offset) {
    std::uint32_t v = 0;
    std::memcpy(&v, m.data() + offset, 4);
    return v;
}

inline double numberOf(const FakeValue& v) {
    if (const auto* d = std::get_if<double>(&v)) return *d;
    if (const auto* i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
    return 0.0;
}

inline std::string textOf(const FakeValue& v) {
    if (const auto* s = std::get_if<std::string>(&v)) return *s;
    return {};
}

// A datum of the object as a number; 0 when it has none.
inline double numberIn(const FakeObject& o, const std::string& name) {
    const auto it = o.values.find(name);
    return it == o.values.end() ? 0.0 : numberOf(it->second);
}

inline std::string textIn(const FakeObject& o, const std::string& name) {
    const auto it = o.values.find(name);
    return it == o.values.end() ? std::string() : textOf(it->second);
}

}  // namespace fake
}  // namespace skh::test
