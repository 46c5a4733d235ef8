#pragma once
// The one place that chooses the "{}" formatting library. The code formats
// with skh::format; non-literal format strings go through skh::runtime, and
// paths are formatted through .string().
#include <fmt/format.h>

namespace skh {
using fmt::format;
using fmt::format_to;
using fmt::runtime;
}  // namespace skh
