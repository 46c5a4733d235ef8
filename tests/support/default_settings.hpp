#pragma once
// The settings as in a fresh process, for fixtures of tests that change them.

namespace skh::test {

// Every setting back to its default value (also the folder keys, which a
// load without a file leaves as they are), the aircraft list emptied and the
// current range set from the default range.
void resetSettingsToDefaults();

}  // namespace skh::test
