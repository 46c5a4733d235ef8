#include "feed/qnh_reader.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "feed/feed_text.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/main_window_state.hpp"
#include "platform/window.hpp"
#include "feed/traffic_queue.hpp"

namespace skh {

namespace {

using Json = nlohmann::json;

constexpr std::int32_t kMinQnh = 900;
constexpr std::int32_t kMaxQnh = 1100;
constexpr double kHpaPerHundredthInHg = 0.33865307;

bool fitsInt32(double v) {
    return v >= static_cast<double>(std::numeric_limits<std::int32_t>::min()) &&
           v <= static_cast<double>(std::numeric_limits<std::int32_t>::max());
}

// An optional '-' and digits from the start of the text, within 32 bits.
std::optional<std::int32_t> lf_parseDecimal(std::string_view text) {
    std::int32_t v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    (void)end;
    if (ec != std::errc{}) return std::nullopt;
    return v;
}

}  // namespace

QnhReader::QnhReader() : UdpReader("QNH Reader") {}

void QnhReader::onBound() {
    gf_setBoard(g_mainWindowState.weatherLamp, LampActive);
}

void QnhReader::onStopped() { gf_logRaw("QNH Reader has stopped"); }

void QnhReader::logRefused(const std::string& line, bool warning) {
    if (!countBadDatagram()) return;
    if (warning) {
        gf_logWarning(line);
    } else {
        gf_logRaw(line);
    }
}

void QnhReader::onDatagram() {
    const std::string_view text = m_datagram;
    const Json doc = Json::parse(text, nullptr, false);
    if (doc.is_discarded() || !doc.is_object()) {
        logRefused(skh::format("QNH datagram is not a JSON object: {}", gf_printableExcerpt(text)), true);
        return;
    }
    const auto member = doc.find("QNH");
    if (member == doc.end()) {
        logRefused(skh::format("no QNH {}", gf_printableExcerpt(text)), false);
        return;
    }

    std::int32_t value = 0;
    const Json& q = *member;
    if (q.is_number_unsigned()) {
        const auto u = q.get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
            logRefused(skh::format("QNH out of range: {}", gf_printableExcerpt(text)), true);
            return;
        }
        value = static_cast<std::int32_t>(u);
    } else if (q.is_number_integer()) {
        const auto i = q.get<std::int64_t>();
        if (i < std::numeric_limits<std::int32_t>::min() || i > std::numeric_limits<std::int32_t>::max()) {
            logRefused(skh::format("QNH out of range: {}", gf_printableExcerpt(text)), true);
            return;
        }
        value = static_cast<std::int32_t>(i);
    } else if (q.is_string()) {
        const auto& s = q.get_ref<const std::string&>();
        const auto parsed = lf_parseDecimal(s);
        if (!parsed) {
            logRefused(
                skh::format("QNH string parse error: {} in {}", gf_printableExcerpt(s, 64), gf_printableExcerpt(text)),
                true);
            return;
        }
        value = *parsed;
    } else if (q.is_number_float()) {
        // Single precision first, as the value is rounded that way elsewhere.
        const double d = q.get<double>();
        if (!std::isfinite(d) || !fitsInt32(d)) {
            logRefused(skh::format("QNH out of range: {}", gf_printableExcerpt(text)), true);
            return;
        }
        const float f = static_cast<float>(d);
        const double rounded = std::round(static_cast<double>(f));
        if (!fitsInt32(rounded)) {
            logRefused(skh::format("QNH out of range: {}", gf_printableExcerpt(text)), true);
            return;
        }
        value = static_cast<std::int32_t>(rounded);
    } else {
        logRefused(skh::format("no QNH {}", gf_printableExcerpt(text)), false);
        return;
    }

    // Above 1100 the value is hundredths of an inch of mercury (2992).
    if (value > kMaxQnh) value = static_cast<std::int32_t>(std::round(value * kHpaPerHundredthInHg));
    value = std::clamp(value, kMinQnh, kMaxQnh);

    if (value == lastQnh.load() && value != kStandardQnh) return;
    lastQnh.store(value);
    g_qnh.exchange(value);
    gf_setBoard(g_mainWindowState.qnhShown, value);
    std::int32_t stale = LampStale;
    if (g_mainWindowState.weatherLamp.compare_exchange_strong(stale, LampActive)) platform::invalidateMainWindow();
}

}  // namespace skh
