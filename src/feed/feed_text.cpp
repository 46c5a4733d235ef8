#include "feed/feed_text.hpp"

namespace skh {

std::string gf_printableExcerpt(std::string_view text, std::size_t maxBytes) {
    const bool cut = text.size() > maxBytes;
    if (cut) text = text.substr(0, maxBytes);
    std::string out;
    out.reserve(text.size() + 3);
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        out.push_back(u >= 0x20 && u < 0x7F ? c : '?');
    }
    if (cut) out += "...";
    return out;
}

}  // namespace skh
