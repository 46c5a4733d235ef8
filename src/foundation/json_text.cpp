#include "foundation/json_text.hpp"

namespace skh {

namespace {

constexpr int kMaxShownDepth = 16;

// Recurses at most kMaxShownDepth levels, so it is safe where dump() is not.
bool lf_shallow(const nlohmann::json& value, int levelsLeft) {
    if (!value.is_structured()) return true;
    if (levelsLeft == 0) return false;
    for (const auto& child : value) {
        if (!lf_shallow(child, levelsLeft - 1)) return false;
    }
    return true;
}

}  // namespace

std::string gf_jsonText(const nlohmann::json& value) {
    if (lf_shallow(value, kMaxShownDepth)) return value.dump();
    return std::string(value.type_name()) + " nested too deeply";
}

}  // namespace skh
