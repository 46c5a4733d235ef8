#pragma once
// The process's memory as the system sees it.

namespace skh::platform {

// Hands memory that the heap holds free back to the system, so that a long
// run keeps only what it uses. It walks the heap: call it after large reads,
// not in a loop.
void releaseFreedMemory();

}  // namespace skh::platform
