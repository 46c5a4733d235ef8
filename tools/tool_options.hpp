#pragma once
// Reading the tools' command lines: a number is taken only when all of its
// text is one finite number, an option that takes one value is given once,
// options that cannot work together are refused before anything runs, and a
// refusal is one line on standard error that begins with the tool's name.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// "TOOL: TEXT"; the status of a usage error (2).
inline int gf_refuseText(const char* tool, std::string_view text) {
    std::fprintf(stderr, "%s: %.*s\n", tool, static_cast<int>(text.size()), text.data());
    return 2;
}

// The options a command line gave, in its order: the second of an option
// that takes one value is refused (the last one would win unseen), and so are
// options given together that cannot work together.
class OptionsGiven {
public:
    explicit OptionsGiven(const char* tool) : m_tool(tool) {}

    // Notes `option`; false, after its refusal, when it takes a value and was
    // given before.
    bool note(const std::string& option, bool takesValue) {
        if (has(option)) {
            if (!takesValue) return true;
            gf_refuseText(m_tool, option + " is given twice; it takes one value");
            return false;
        }
        m_given.push_back(option);
        return true;
    }
    bool has(std::string_view option) const {
        return std::find(m_given.begin(), m_given.end(), option) != m_given.end();
    }
    // The refusal (2) of the second of `options` given, 0 when at most one is.
    int refuseTogether(std::initializer_list<std::string_view> options) const {
        const std::string_view* first = nullptr;
        for (const std::string& given : m_given) {
            const auto it = std::find(options.begin(), options.end(), given);
            if (it == options.end()) continue;
            if (first != nullptr) return gf_refuseText(m_tool, given + " cannot go with " + std::string(*first));
            first = it;
        }
        return 0;
    }
    // The refusal (2) of `option` given without `needs`, 0 otherwise.
    int refuseWithout(std::string_view option, std::string_view needs) const {
        if (!has(option) || has(needs)) return 0;
        return gf_refuseText(m_tool, std::string(option) + " needs " + std::string(needs));
    }

private:
    const char* m_tool;
    std::vector<std::string> m_given;
};

}  // namespace skh::tools
