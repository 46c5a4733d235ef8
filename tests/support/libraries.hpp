#pragma once

namespace skh::test {

// The once-per-process library set-up that the program entry does
// (libsodium, libcurl); safe to call from any test, any number of times.
void initLibraries();

}  // namespace skh::test
