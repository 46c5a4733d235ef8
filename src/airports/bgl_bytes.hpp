#pragma once
// Bounded random access to the bytes of a scenery (BGL) file. Every read
// names its offset and length in 64-bit arithmetic and fails, instead of
// throwing or reading past the end, when the range is not inside the file.
// A file is read through one small window, so memory stays bounded by the
// window and never grows with the file.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace skh {

class BglBytes {
public:
    BglBytes() = default;
    // Bytes held by the caller (tests, benchmarks); they must outlive this object.
    explicit BglBytes(std::string_view memory);
    BglBytes(const BglBytes&) = delete;
    BglBytes& operator=(const BglBytes&) = delete;

    // False when the file cannot be opened or its size cannot be learned.
    bool open(const std::filesystem::path& path);
    std::uint64_t size() const { return m_size; }

    // True when [offset, offset + count) lies inside the file.
    bool holds(std::uint64_t offset, std::uint64_t count) const { return offset <= m_size && count <= m_size - offset; }
    // Copies `count` bytes; false when they are not all inside the file or
    // reading fails.
    bool read(std::uint64_t offset, void* out, std::size_t count);
    bool u16(std::uint64_t offset, std::uint16_t& value);
    bool u32(std::uint64_t offset, std::uint32_t& value);
    bool i32(std::uint64_t offset, std::int32_t& value);
    bool f32(std::uint64_t offset, float& value);

private:
    bool fillWindow(std::uint64_t offset, std::size_t count);

    std::ifstream m_file;
    std::string_view m_memory;
    bool m_inMemory = false;
    std::uint64_t m_size = 0;
    std::string m_window;
    std::uint64_t m_windowStart = 0;
};

}  // namespace skh
