#pragma once
// Strict UTF-8 <-> UTF-16 conversion with the error behaviour of the Windows
// conversion calls: an invalid sequence (bad or overlong UTF-8, encoded
// surrogates, code points above U+10FFFF, lone UTF-16 surrogates) fails with
// error 1113 and nothing is replaced.
#include <cstdint>
#include <string>
#include <string_view>

namespace skh::platform {

inline constexpr std::uint32_t kErrorInsufficientBuffer = 122;
inline constexpr std::uint32_t kErrorNoUnicodeTranslation = 1113;

// Converts `in`. With `out` null, returns the number of units the result
// needs; otherwise writes at most `capacity` units and returns how many were
// written. Returns 0 and sets `error` on failure.
int utf8ToUtf16(std::string_view in, char16_t* out, int capacity, std::uint32_t& error);
int utf16ToUtf8(std::u16string_view in, char* out, int capacity, std::uint32_t& error);

// Appends the UTF-8 form of `in` to `out`, stopping before the first invalid
// unit; returns the number of units converted (in.size() when all were
// valid, else `error` is set).
std::size_t utf16ToUtf8Append(std::u16string_view in, std::string& out, std::uint32_t& error);

// True when the bytes are valid UTF-8 (the empty text is).
bool isValidUtf8(std::string_view text);

// Appends the UTF-8 form of one code point (at most U+10FFFF, not a surrogate).
void appendUtf8(std::string& out, char32_t codePoint);

}  // namespace skh::platform
