#include "platform/memory.hpp"

#include <malloc.h>

namespace skh::platform {

void releaseFreedMemory() { ::malloc_trim(0); }

}  // namespace skh::platform
