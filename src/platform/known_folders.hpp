#pragma once
// The user's known folders. On this platform they come from the environment:
//   roaming AppData   $APPDATA, else $XDG_CONFIG_HOME, else ~/.config
//   Documents         $SKYHAVEN_DOCUMENTS, else ~/Documents
//   Public Documents  $SKYHAVEN_PUBLIC_DOCUMENTS
//   ProgramData       $SKYHAVEN_PROGRAMDATA
// A folder that cannot be determined is empty (std::nullopt).
#include <filesystem>
#include <optional>

namespace skh::platform {

std::optional<std::filesystem::path> roamingAppDataFolder();
std::optional<std::filesystem::path> documentsFolder();
std::optional<std::filesystem::path> publicDocumentsFolder();
std::optional<std::filesystem::path> programDataFolder();

// The path in the environment variable `name`; nothing when it is unset or empty.
std::optional<std::filesystem::path> pathFromEnvironment(const char* name);

}  // namespace skh::platform
