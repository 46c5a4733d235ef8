#include "airports/stand.hpp"

namespace skh {

std::vector<Stand> g_stands;

}  // namespace skh
