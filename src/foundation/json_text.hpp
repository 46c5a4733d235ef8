#pragma once
// JSON values from outside quoted in log lines.
#include <nlohmann/json.hpp>
#include <string>

namespace skh {

// The value's JSON text; an array or object nested more than a few levels
// deep only by its kind ("array nested too deeply"), because writing it out
// recurses once per level and a hostile document can nest thousands deep.
std::string gf_jsonText(const nlohmann::json& value);

}  // namespace skh
