#pragma once
// Hash maps keyed by text hash the key's bytes with 64-bit FNV-1a.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace skh {

inline std::uint64_t gf_fnv1a(std::string_view text) {
    std::uint64_t h = 14695981039346656037ull;
    for (const char c : text) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ull;
    }
    return h;
}

// Transparent, so maps keyed by std::string can be searched with a view.
struct FnvHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return static_cast<std::size_t>(gf_fnv1a(text)); }
};

template <class V>
using TextMap = std::unordered_map<std::string, V, FnvHash, std::equal_to<>>;
using TextSet = std::unordered_set<std::string, FnvHash, std::equal_to<>>;

}  // namespace skh
