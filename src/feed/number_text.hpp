#pragma once
// Reading numbers from the start of network text fields.
#include <string_view>

namespace skh {

// Reads a floating-point number from the start of the text exactly as
// std::from_chars does (optional '-', digits, fraction, exponent, "inf",
// "nan"; no blanks, no '+'; what follows the number is ignored); false when
// the text does not start with a number or the value is out of range. The
// plain decimals of traffic lines take a short exact path.
bool gf_readDouble(std::string_view text, double& out);

}  // namespace skh
