#pragma once
// Cuts the received byte stream into whole messages by their u32 size prefix.
// The buffer starts at 2048 bytes and grows in steps of 2048 while a single
// message does not fit, never past 1 MiB; a receive limit above 1 MiB is
// clamped to it, so an accepted message always fits and a read never stalls.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "simconnect/sc_types.hpp"

namespace skh {

class ScFramer {
public:
    static constexpr std::size_t kInitialSize = 2048;
    static constexpr std::size_t kGrowStep = 2048;

    explicit ScFramer(std::uint32_t maxReceiveSize);

    // The free part of the buffer to read into; makes room first by moving
    // unread bytes to the front or by growing. Empty when no room can be made
    // (then the stream holds a message that cannot be received).
    std::span<std::byte> freeSpace();

    // Accounts for `count` bytes just read into freeSpace() and cuts out every
    // whole message, in order, handing each to `deliver`. Returns the failure
    // that stops the stream, or None.
    ScFailureKind received(std::size_t count, const std::function<void(std::vector<std::byte>&&)>& deliver);

    std::uint32_t limit() const { return m_limit; }
    std::size_t capacity() const { return m_buffer.size(); }
    std::size_t unread() const { return m_write - m_read; }

private:
    std::vector<std::byte> m_buffer;
    std::size_t m_read = 0;
    std::size_t m_write = 0;
    std::uint32_t m_limit;
};

}  // namespace skh
