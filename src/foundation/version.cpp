#include "foundation/version.hpp"

#include <algorithm>
#include <charconv>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string_view>

#include "foundation/format.hpp"
#include "foundation/log.hpp"

namespace skh {

namespace {

std::int32_t parseGroup(std::string_view text) {
    std::int32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, 10);
    if (ec != std::errc() || ptr != end) throw std::runtime_error("parse error in version string");
    return value;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }
// What the unescaped dot of the pattern matches: any character but a line end.
bool isAnyChar(char c) { return c != '\n' && c != '\r'; }

// Full match of "(\d+).(\d+).(\d+)" with the groups a backtracking matcher
// gives: the first group as long as it can be, then the second, the third
// taking the rest. Done by hand because std::regex recurses once per
// character and overflows the stack on a long text from a damaged file.
bool matchVersionPattern(std::string_view t, std::string_view (&groups)[3]) {
    const std::size_t n = t.size();
    std::size_t tail = n;  // where the trailing run of digits begins
    while (tail > 0 && isDigit(t[tail - 1])) --tail;
    std::size_t run1 = 0;  // the leading run of digits
    while (run1 < n && isDigit(t[run1])) ++run1;
    // A first group shorter than the leading run leaves the first dot on a
    // digit of that run and the second group within the rest of it; only the
    // whole run as first group needs a scan for the digits after its dot.
    std::size_t run2AfterRun1 = 0;
    while (run1 + 1 + run2AfterRun1 < n && isDigit(t[run1 + 1 + run2AfterRun1])) ++run2AfterRun1;
    for (std::size_t len1 = run1; len1 >= 1; --len1) {
        if (len1 >= n || !isAnyChar(t[len1])) continue;
        const std::size_t start2 = len1 + 1;
        const std::size_t run2 = len1 == run1 ? run2AfterRun1 : run1 - start2;
        // The third group needs one character at least and only digits.
        if (run2 == 0 || start2 + 2 > n) continue;
        const std::size_t upper = std::min(run2, n - start2 - 2);
        const std::size_t lower = tail > start2 + 1 ? std::max<std::size_t>(1, tail - start2 - 1) : 1;
        for (std::size_t len2 = upper; len2 >= lower; --len2) {
            // Inside the run the second dot falls on a digit; at its end on
            // the character after it.
            if (!isAnyChar(t[start2 + len2])) continue;
            groups[0] = t.substr(0, len1);
            groups[1] = t.substr(start2, len2);
            groups[2] = t.substr(start2 + len2 + 1);
            return true;
        }
    }
    return false;
}

std::int32_t jsonInt(const nlohmann::json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end()) return 0;
    if (!it->is_number_integer()) throw std::runtime_error(skh::format("version member '{}' is not an integer", key));
    const auto v = it->get<std::int64_t>();
    if (v < INT32_MIN || v > INT32_MAX) throw std::runtime_error(skh::format("version member '{}' out of range", key));
    return static_cast<std::int32_t>(v);
}

}  // namespace

VersionData::VersionData(const std::string& text) {
    if (text.empty()) return;
    try {
        // All or nothing: the fields are assigned only when every group parsed.
        std::string_view groups[3];
        if (matchVersionPattern(text, groups)) {
            const std::int32_t ma = parseGroup(groups[0]);
            const std::int32_t mi = parseGroup(groups[1]);
            const std::int32_t pa = parseGroup(groups[2]);
            major = ma;
            minor = mi;
            patch = pa;
            return;
        }
        const auto json = nlohmann::json::parse(text);
        if (json.is_object()) {
            const std::int32_t ma = jsonInt(json, "major");
            const std::int32_t mi = jsonInt(json, "minor");
            const std::int32_t pa = jsonInt(json, "patch");
            major = ma;
            minor = mi;
            patch = pa;
        }
    } catch (const std::exception& e) {
        gf_logRaw(skh::format("{} exception: {}", "VersionData", e.what()));
    }
}

std::string gf_versionToString(const VersionData& v) { return skh::format("{}.{}.{}", v.major, v.minor, v.patch); }

}  // namespace skh
