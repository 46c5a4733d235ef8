#include "simconnect/framer.hpp"

#include <algorithm>
#include <cstring>
#include <new>

namespace skh {

ScFramer::ScFramer(std::uint32_t maxReceiveSize)
    : m_buffer(kInitialSize), m_limit(std::min(maxReceiveSize, kScReceiveBufferMax)) {}

std::span<std::byte> ScFramer::freeSpace() {
    if (m_write == m_buffer.size()) {
        if (m_read > 0) {
            std::memmove(m_buffer.data(), m_buffer.data() + m_read, m_write - m_read);
            m_write -= m_read;
            m_read = 0;
        } else if (m_buffer.size() < kScReceiveBufferMax) {
            m_buffer.resize(std::min(m_buffer.size() + kGrowStep, std::size_t{kScReceiveBufferMax}));
        } else {
            return {};
        }
    }
    return std::span<std::byte>(m_buffer).subspan(m_write);
}

ScFailureKind ScFramer::received(std::size_t count,
                                 const std::function<void(std::vector<std::byte>&&)>& deliver) {
    m_write = std::min(m_write + count, m_buffer.size());
    while (m_write - m_read >= 4) {
        std::uint32_t size = 0;
        std::memcpy(&size, m_buffer.data() + m_read, 4);
        if (size > m_limit) return ScFailureKind::TooLarge;
        if (size >= 1 && size <= 3) return ScFailureKind::BadSize;
        if (size == 0) {
            // Padding comes in whole zero words; skipping single bytes would
            // eat the low byte of a following size such as 0x100.
            m_read += 4;
            continue;
        }
        if (m_write - m_read < size) break;
        try {
            std::vector<std::byte> message(m_buffer.begin() + static_cast<std::ptrdiff_t>(m_read),
                                           m_buffer.begin() + static_cast<std::ptrdiff_t>(m_read + size));
            m_read += size;
            deliver(std::move(message));
        } catch (const std::bad_alloc&) {
            return ScFailureKind::NoMemory;
        }
    }
    if (m_read == m_write) m_read = m_write = 0;
    return ScFailureKind::None;
}

}  // namespace skh
