#include "platform/known_folders.hpp"

#include <cstdlib>

namespace skh::platform {

namespace {

std::optional<std::filesystem::path> fromEnv(const char* name) {
    const char* v = std::getenv(name);
    if (v == nullptr || *v == '\0') return std::nullopt;
    return std::filesystem::path(v);
}

std::optional<std::filesystem::path> underHome(const char* sub) {
    auto home = fromEnv("HOME");
    if (!home) return std::nullopt;
    return *home / sub;
}

}  // namespace

std::optional<std::filesystem::path> roamingAppDataFolder() {
    if (auto p = fromEnv("APPDATA")) return p;
    if (auto p = fromEnv("XDG_CONFIG_HOME")) return p;
    return underHome(".config");
}

std::optional<std::filesystem::path> documentsFolder() {
    if (auto p = fromEnv("SKYHAVEN_DOCUMENTS")) return p;
    return underHome("Documents");
}

std::optional<std::filesystem::path> publicDocumentsFolder() { return fromEnv("SKYHAVEN_PUBLIC_DOCUMENTS"); }

std::optional<std::filesystem::path> programDataFolder() { return fromEnv("SKYHAVEN_PROGRAMDATA"); }

}  // namespace skh::platform
