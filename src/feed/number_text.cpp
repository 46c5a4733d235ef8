#include "feed/number_text.hpp"

#include <charconv>
#include <cstdint>

namespace skh {

namespace {

// Powers of ten that a double holds exactly.
constexpr double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// Decimals of at most 15 significant digits without an exponent: the digits
// form an exact integer and the division by an exact power of ten is
// correctly rounded, so the result equals from_chars'. Anything else is left
// to from_chars.
bool lf_shortDecimal(const char* p, const char* end, double& out) {
    bool negative = false;
    if (p != end && *p == '-') {
        negative = true;
        ++p;
    }
    // At most 19 digits fit the integer; more than 15 are left to from_chars.
    std::uint64_t mantissa = 0;
    const char* const digitsStart = p;
    const char* const intLimit = end - p > 19 ? p + 19 : end;
    while (p != intLimit && static_cast<unsigned char>(*p - '0') <= 9) {
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
        ++p;
    }
    int digits = static_cast<int>(p - digitsStart);
    int fraction = 0;
    if (p != end && *p == '.') {
        ++p;
        const char* const fractionStart = p;
        const char* const fractionLimit = end - p > 19 - digits ? p + (19 - digits) : end;
        while (p != fractionLimit && static_cast<unsigned char>(*p - '0') <= 9) {
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
            ++p;
        }
        fraction = static_cast<int>(p - fractionStart);
        digits += fraction;
    }
    if (digits > 15 || (p != end && static_cast<unsigned char>(*p - '0') <= 9)) return false;
    if (digits == 0) return false;
    if (p != end && (*p == 'e' || *p == 'E')) return false;
    const double value = static_cast<double>(mantissa) / kPow10[fraction];
    out = negative ? -value : value;
    return true;
}

}  // namespace

bool gf_readDouble(std::string_view text, double& out) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (lf_shortDecimal(begin, end, out)) return true;
    double v = 0.0;
    const auto result = std::from_chars(begin, end, v);
    if (result.ec != std::errc{}) return false;
    out = v;
    return true;
}

}  // namespace skh
