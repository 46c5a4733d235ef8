#include "airports/bgl_bytes.hpp"

#include <algorithm>
#include <bit>
#include <cstring>

namespace skh {

namespace {

// Big enough for the record walks of a typical airport section in one read,
// small enough that many tasks at once cost little.
constexpr std::size_t kWindowBytes = 32 * 1024;

template <class T>
T fromLittleEndian(const unsigned char* p) {
    std::uint64_t v = 0;
    for (std::size_t i = sizeof(T); i-- > 0;) v = (v << 8) | p[i];
    if constexpr (std::is_same_v<T, float>) {
        return std::bit_cast<float>(static_cast<std::uint32_t>(v));
    } else {
        return static_cast<T>(v);
    }
}

}  // namespace

BglBytes::BglBytes(std::string_view memory) : m_memory(memory), m_inMemory(true), m_size(memory.size()) {}

bool BglBytes::open(const std::filesystem::path& path) {
    m_inMemory = false;
    m_window.clear();
    m_windowStart = 0;
    m_size = 0;
    // Reads go through our own window; the stream's buffer would only copy twice.
    m_file.rdbuf()->pubsetbuf(nullptr, 0);
    m_file.open(path, std::ios::binary);
    if (!m_file.is_open()) return false;
    const auto end = m_file.rdbuf()->pubseekoff(0, std::ios::end, std::ios::in);
    if (end == std::streampos(-1)) return false;
    m_size = static_cast<std::uint64_t>(static_cast<std::streamoff>(end));
    return true;
}

bool BglBytes::fillWindow(std::uint64_t offset, std::size_t count) {
    const std::uint64_t want = std::max<std::uint64_t>(count, kWindowBytes);
    const auto n = static_cast<std::size_t>(std::min(want, m_size - offset));
    m_window.resize(n);
    m_windowStart = offset;
    if (m_file.rdbuf()->pubseekpos(static_cast<std::streamoff>(offset), std::ios::in) == std::streampos(-1) ||
        m_file.rdbuf()->sgetn(m_window.data(), static_cast<std::streamsize>(n)) != static_cast<std::streamsize>(n)) {
        m_window.clear();
        return false;
    }
    return true;
}

bool BglBytes::read(std::uint64_t offset, void* out, std::size_t count) {
    if (!holds(offset, count)) return false;
    if (count == 0) return true;
    if (m_inMemory) {
        std::memcpy(out, m_memory.data() + offset, count);
        return true;
    }
    const bool inWindow = offset >= m_windowStart && offset - m_windowStart <= m_window.size() &&
                          count <= m_window.size() - (offset - m_windowStart);
    if (!inWindow && !fillWindow(offset, count)) return false;
    std::memcpy(out, m_window.data() + (offset - m_windowStart), count);
    return true;
}

bool BglBytes::u16(std::uint64_t offset, std::uint16_t& value) {
    unsigned char b[2];
    if (!read(offset, b, sizeof b)) return false;
    value = fromLittleEndian<std::uint16_t>(b);
    return true;
}

bool BglBytes::u32(std::uint64_t offset, std::uint32_t& value) {
    unsigned char b[4];
    if (!read(offset, b, sizeof b)) return false;
    value = fromLittleEndian<std::uint32_t>(b);
    return true;
}

bool BglBytes::i32(std::uint64_t offset, std::int32_t& value) {
    std::uint32_t v = 0;
    if (!u32(offset, v)) return false;
    value = static_cast<std::int32_t>(v);
    return true;
}

bool BglBytes::f32(std::uint64_t offset, float& value) {
    unsigned char b[4];
    if (!read(offset, b, sizeof b)) return false;
    value = fromLittleEndian<float>(b);
    return true;
}

}  // namespace skh
