#include "platform/utf16.hpp"

namespace skh::platform {

namespace {

constexpr long long kMaxUnits = 2147483647;
constexpr std::uint32_t kErrorArithmeticOverflow = 534;

// Decodes one code point starting at in[i]; returns its length in bytes or 0
// when the sequence is invalid.
inline int decodeUtf8(std::string_view in, std::size_t i, char32_t& cp) {
    const auto b0 = static_cast<unsigned char>(in[i]);
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    int len = 0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2;
        cp = b0 & 0x1F;
        min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3;
        cp = b0 & 0x0F;
        min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4;
        cp = b0 & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (i + static_cast<std::size_t>(len) > in.size()) return 0;
    for (int k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(in[i + static_cast<std::size_t>(k)]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

}  // namespace

bool isValidUtf8(std::string_view text) {
    std::uint32_t error = 0;
    utf8ToUtf16(text, nullptr, 0, error);
    return error == 0;
}

int utf8ToUtf16(std::string_view in, char16_t* out, int capacity, std::uint32_t& error) {
    long long written = 0;
    for (std::size_t i = 0; i < in.size();) {
        char32_t cp = 0;
        const int len = decodeUtf8(in, i, cp);
        if (len == 0) {
            error = kErrorNoUnicodeTranslation;
            return 0;
        }
        i += static_cast<std::size_t>(len);
        const int units = cp >= 0x10000 ? 2 : 1;
        if (out != nullptr) {
            if (written + units > capacity) {
                error = kErrorInsufficientBuffer;
                return 0;
            }
            if (units == 2) {
                const char32_t v = cp - 0x10000;
                out[written] = static_cast<char16_t>(0xD800 + (v >> 10));
                out[written + 1] = static_cast<char16_t>(0xDC00 + (v & 0x3FF));
            } else {
                out[written] = static_cast<char16_t>(cp);
            }
        }
        written += units;
    }
    if (written > kMaxUnits) {
        error = kErrorArithmeticOverflow;
        return 0;
    }
    return static_cast<int>(written);
}

namespace {

// Decodes the code point at in[i] (a pair of surrogates counts as one);
// returns the number of units it takes, or 0 when the unit is invalid.
inline int decodeUtf16(std::u16string_view in, std::size_t i, char32_t& cp) {
    cp = in[i];
    if (cp >= 0xD800 && cp <= 0xDBFF) {
        if (i + 1 >= in.size() || in[i + 1] < 0xDC00 || in[i + 1] > 0xDFFF) return 0;
        cp = 0x10000 + ((cp - 0xD800) << 10) + (in[i + 1] - 0xDC00);
        return 2;
    }
    if (cp >= 0xDC00 && cp <= 0xDFFF) return 0;
    return 1;
}

inline int encodeUtf8(char32_t cp, char* buf) {
    if (cp < 0x80) {
        buf[0] = static_cast<char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        buf[0] = static_cast<char>(0xC0 | (cp >> 6));
        buf[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        buf[0] = static_cast<char>(0xE0 | (cp >> 12));
        buf[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        buf[2] = static_cast<char>(0x80 | (cp & 0x3F));
        return 3;
    }
    buf[0] = static_cast<char>(0xF0 | (cp >> 18));
    buf[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    buf[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    buf[3] = static_cast<char>(0x80 | (cp & 0x3F));
    return 4;
}

}  // namespace

int utf16ToUtf8(std::u16string_view in, char* out, int capacity, std::uint32_t& error) {
    long long written = 0;
    for (std::size_t i = 0; i < in.size();) {
        char32_t cp = 0;
        const int units = decodeUtf16(in, i, cp);
        if (units == 0) {
            error = kErrorNoUnicodeTranslation;
            return 0;
        }
        i += static_cast<std::size_t>(units);
        char buf[4];
        const int len = encodeUtf8(cp, buf);
        if (out != nullptr) {
            if (written + len > capacity) {
                error = kErrorInsufficientBuffer;
                return 0;
            }
            for (int k = 0; k < len; ++k) out[written + k] = buf[k];
        }
        written += len;
    }
    if (written > kMaxUnits) {
        error = kErrorArithmeticOverflow;
        return 0;
    }
    return static_cast<int>(written);
}

void appendUtf8(std::string& out, char32_t codePoint) {
    char buf[4];
    out.append(buf, static_cast<std::size_t>(encodeUtf8(codePoint, buf)));
}

std::size_t utf16ToUtf8Append(std::u16string_view in, std::string& out, std::uint32_t& error) {
    std::size_t i = 0;
    while (i < in.size()) {
        const char16_t unit = in[i];
        if (unit < 0x80) {  // the common case of configuration files
            out.push_back(static_cast<char>(unit));
            ++i;
            continue;
        }
        char32_t cp = 0;
        const int units = decodeUtf16(in, i, cp);
        if (units == 0) {
            error = kErrorNoUnicodeTranslation;
            return i;
        }
        appendUtf8(out, cp);
        i += static_cast<std::size_t>(units);
    }
    return i;
}

}  // namespace skh::platform
