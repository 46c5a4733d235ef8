// The number reader of traffic-line fields must read exactly what
// std::from_chars reads, whichever path it takes.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "feed/number_text.hpp"

namespace skh {
namespace {

// from_chars' answer, or nothing.
bool reference(std::string_view text, double& out) {
    double v = 0.0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc{}) return false;
    out = v;
    return true;
}

void expectSameAsFromChars(std::string_view text) {
    double expected = 0.0;
    double got = 0.0;
    const bool ok = reference(text, expected);
    ASSERT_EQ(gf_readDouble(text, got), ok) << text;
    if (!ok) return;
    if (std::isnan(expected)) {
        EXPECT_TRUE(std::isnan(got)) << text;
    } else {
        // Bit for bit, so -0 and the last unit of rounding count.
        EXPECT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << text << " " << got << " " << expected;
    }
}

TEST(ReadDouble, AgreesWithFromCharsOnTable) {
    const std::vector<std::string> cases = {
        "0", "-0", "0.0", "-0.0", "5", "5.", ".5", "-.5", "-", ".", "-.", "", "+5", " 5", "5 ", "5000ft",
        "1700000000.25", "47.460000", "-122.123456", "0.1", "0.3", "123456789012345", "1234567890123456",
        "12345678901234567890", "1234567890.12345", "1234567890.123456", "0.000000000000001",
        "0.0000000000000001", "000000000000000000000001", "1e3", "1E3", "1e", "1e+", "1.5e-3", "1e400",
        "-1e400", "1e-400", "inf", "-inf", "infinity", "nan", "NaN", "nan(123)", "null", "0x1p3", "9.", "9..1",
        "1,5", "-1", "99999999999999.9", "4.9406564584124654e-324", "179769313486231570000000000000000000000",
        "\xff", std::string("1\0" "5", 3),
    };
    for (const auto& c : cases) expectSameAsFromChars(c);
}

TEST(ReadDouble, AgreesWithFromCharsOnRandomDecimals) {
    std::mt19937_64 rng(12345);
    const std::string alphabet = "0123456789.-e";
    for (int i = 0; i < 100000; ++i) {
        std::string text;
        const auto length = rng() % 22;
        for (std::uint64_t k = 0; k < length; ++k) {
            // Mostly digits, so that many texts are valid numbers.
            const auto r = rng() % 100;
            text.push_back(r < 85 ? alphabet[r % 10] : alphabet[10 + r % 3]);
        }
        expectSameAsFromChars(text);
        if (HasFatalFailure() || HasNonfatalFailure()) return;
    }
}

}  // namespace
}  // namespace skh
