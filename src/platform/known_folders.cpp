#include "platform/known_folders.hpp"

#include <cstdlib>

namespace skh::platform {

std::optional<std::filesystem::path> pathFromEnvironment(const char* name) {
    const char* v = std::getenv(name);
    if (v == nullptr || *v == '\0') return std::nullopt;
    return std::filesystem::path(v);
}

namespace {

std::optional<std::filesystem::path> underHome(const char* sub) {
    auto home = pathFromEnvironment("HOME");
    if (!home) return std::nullopt;
    return *home / sub;
}

}  // namespace

std::optional<std::filesystem::path> roamingAppDataFolder() {
    if (auto p = pathFromEnvironment("APPDATA")) return p;
    if (auto p = pathFromEnvironment("XDG_CONFIG_HOME")) return p;
    return underHome(".config");
}

std::optional<std::filesystem::path> documentsFolder() {
    if (auto p = pathFromEnvironment("SKYHAVEN_DOCUMENTS")) return p;
    return underHome("Documents");
}

std::optional<std::filesystem::path> publicDocumentsFolder() {
    return pathFromEnvironment("SKYHAVEN_PUBLIC_DOCUMENTS");
}

std::optional<std::filesystem::path> programDataFolder() { return pathFromEnvironment("SKYHAVEN_PROGRAMDATA"); }

}  // namespace skh::platform
