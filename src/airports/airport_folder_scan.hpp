#pragma once
// The BGL files of one add-on scenery folder: the folder is walked on the
// caller's thread, and every BGL file that holds airports is handed to a task
// of its own, at most g_maxTasks at a time. Every task is counted before its
// thread starts and joined before the walk returns. Failures end in scan
// report lines, never in an exception to the caller.
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace skh {

// The work of one task: reads one file. Runs on a task thread; what it shares
// with other tasks it must guard itself.
using BglFileTask = std::function<void(const std::filesystem::path& file)>;

// True for exactly ".BGL" and ".bgl".
bool lf_isBglFile(std::string_view extension);

// Walks `folder` (shown as `folderText` in the report) and runs `task` for
// every BGL file with airports. Subfolders inside `stockFolder` (empty: none)
// are not entered. False when a stop or close request ended the walk before
// its end; the tasks already started have then still been waited for.
bool lf_scanFolderBgls(const std::filesystem::path& folder, const std::string& folderText,
                       const std::filesystem::path& stockFolder, const BglFileTask& task);

}  // namespace skh
