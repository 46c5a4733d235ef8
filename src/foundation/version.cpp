#include "foundation/version.hpp"

#include <charconv>
#include <nlohmann/json.hpp>
#include <regex>
#include <stdexcept>

#include "foundation/format.hpp"
#include "foundation/log.hpp"

namespace skh {

namespace {

std::int32_t parseGroup(const std::string& text) {
    std::int32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, 10);
    if (ec != std::errc() || ptr != end) throw std::runtime_error("parse error in version string");
    return value;
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
        static const std::regex pattern("(\\d+).(\\d+).(\\d+)");
        std::smatch m;
        if (std::regex_match(text, m, pattern)) {
            const std::int32_t ma = parseGroup(m[1].str());
            const std::int32_t mi = parseGroup(m[2].str());
            const std::int32_t pa = parseGroup(m[3].str());
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
