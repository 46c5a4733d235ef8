#pragma once
// Reading the tools' command lines: a number is taken only when all of its
// text is one finite number, and a refusal is one line on standard error
// that names the option and says what it takes.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace skh::tools {

// The number that is all of `text` and finite; nothing for text after it, an
// empty text, "nan", "inf" or a number beyond a double.
inline std::optional<double> gf_number(std::string_view text) {
    double v = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

// The whole number that is all of `text`, from `low` to `high`.
inline std::optional<long long> gf_wholeNumber(std::string_view text, long long low, long long high) {
    long long v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v < low || v > high) return std::nullopt;
    return v;
}

// "TOOL: OPTION takes WHAT, not 'VALUE'"; the status of a usage error (2).
inline int gf_refuse(const char* tool, std::string_view option, std::string_view what, std::string_view value) {
    std::fprintf(stderr, "%s: %.*s takes %.*s, not '%.*s'\n", tool, static_cast<int>(option.size()), option.data(),
                 static_cast<int>(what.size()), what.data(), static_cast<int>(value.size()), value.data());
    return 2;
}

// The refusals of an option without its value and of an unknown option.
inline int gf_refuseMissing(const char* tool, std::string_view option) {
    std::fprintf(stderr, "%s: %.*s needs a value\n", tool, static_cast<int>(option.size()), option.data());
    return 2;
}
inline int gf_refuseUnknown(const char* tool, std::string_view option) {
    std::fprintf(stderr, "%s: unknown option '%.*s' (--help lists the options)\n", tool,
                 static_cast<int>(option.size()), option.data());
    return 2;
}

}  // namespace skh::tools
