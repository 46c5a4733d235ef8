#pragma once
// Windows paths read from files (for example "D:\Addons\AIG" in add-ons.cfg)
// mapped to local paths: backslashes become slashes and a drive letter "X:"
// maps to $SKYHAVEN_DRIVES/x when that variable is set (else the path keeps
// "X:" as its first component, which names nothing here).
#include <filesystem>
#include <string_view>

namespace skh::platform {

std::filesystem::path mapWindowsPath(std::string_view windowsPath);

}  // namespace skh::platform
