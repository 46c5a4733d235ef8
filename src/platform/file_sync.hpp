#pragma once
// The steps that put a file on the disk for good: reading it whole, forcing
// written data onto the disk, and the renames and links that make a new file
// take an old one's name, so that after a power cut a name shows the old file
// or the new one, never an empty one. Each returns 0 or the errno of the
// failure. The test seams below make these steps fail, or stop a test where
// a kill would.
#include <cstdio>
#include <filesystem>
#include <string>

namespace skh::platform {

// Reads a whole file into `bytes`; ENOENT when it does not exist.
int readFile(const std::filesystem::path& path, std::string& bytes);
// Syncs an open, flushed file.
int syncFile(std::FILE* file);
// Syncs a folder's entries (a rename in it).
int syncFolder(const std::filesystem::path& folder);
// Renames `from` to `to`, replacing a file there in one step.
int renameFile(const std::filesystem::path& from, const std::filesystem::path& to);
// Gives the file `existing` the second name `link`; EEXIST when it is taken.
int linkFile(const std::filesystem::path& existing, const std::filesystem::path& link);
// Whether anything (a file, a folder, a link) is at `path`, a link not
// followed; a status that cannot be read is an error, its absence is not.
int pathStatus(const std::filesystem::path& path, bool& exists);

// For tests: while `error` is not 0, every syncFile fails with it, as on a
// disk that is full or gone (0 ends it).
void failFileSyncs(int error);
// For tests: the next `times` reads of `path` fail with `error`, as when
// another program holds the file for a moment (an empty path ends it).
void failFileReads(const std::filesystem::path& path, int error, int times);
// For tests: while `error` is not 0, every rename to `to` fails with it.
void failRenamesTo(const std::filesystem::path& to, int error);
// For tests: while `error` is not 0, every linkFile fails with it, as on a
// disk that has no links.
void failLinks(int error);
// For tests: while `error` is not 0, every pathStatus fails with it, or only
// that of `path` when one is given.
void failStatuses(int error, const std::filesystem::path& path = {});
// For tests: called after every step that changed the disk (a file synced,
// a rename, a link), where a kill would leave the disk as it is then.
using DiskStepHook = void (*)();
void setDiskStepHook(DiskStepHook hook);

}  // namespace skh::platform
