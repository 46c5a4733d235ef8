#include "platform/win_path.hpp"

#include <cctype>
#include <cstdlib>
#include <string>

namespace skh::platform {

std::filesystem::path mapWindowsPath(std::string_view windowsPath) {
    std::string text(windowsPath);
    for (auto& c : text) {
        if (c == '\\') c = '/';
    }
    const bool hasDrive = text.size() >= 2 && text[1] == ':' && std::isalpha(static_cast<unsigned char>(text[0])) != 0;
    if (!hasDrive) return std::filesystem::path(text);
    const char* drives = std::getenv("SKYHAVEN_DRIVES");
    if (drives == nullptr || *drives == '\0') return std::filesystem::path(text);
    const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    std::string rest = text.substr(2);
    while (!rest.empty() && rest.front() == '/') rest.erase(0, 1);
    std::filesystem::path result = std::filesystem::path(drives) / std::string(1, letter);
    if (!rest.empty()) result /= rest;
    return result;
}

}  // namespace skh::platform
