#pragma once
// Quoting untrusted network text in log lines.
#include <cstddef>
#include <string>
#include <string_view>

namespace skh {

// The text with every byte outside printable ASCII shown as '?' (so a
// datagram cannot break or garble a log line), cut after maxBytes with "...".
std::string gf_printableExcerpt(std::string_view text, std::size_t maxBytes = 1024);

}  // namespace skh
