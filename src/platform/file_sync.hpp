#pragma once
// Forcing written data onto the disk, so that a rename after a power cut
// shows the old file or the new one, never an empty one.
#include <cstdio>
#include <filesystem>

namespace skh::platform {

// Syncs an open, flushed file; 0 or the errno of the failure.
int syncFile(std::FILE* file);
// Syncs a folder's entries (a rename in it); 0 or the errno of the failure.
int syncFolder(const std::filesystem::path& folder);

// For tests: while `error` is not 0, every syncFile fails with it, as on a
// disk that is full or gone (0 ends it).
void failFileSyncs(int error);

}  // namespace skh::platform
