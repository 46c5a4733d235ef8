#include "platform/registry.hpp"

#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <unordered_map>

#include "platform/utf16.hpp"

namespace skh::platform {

namespace {

using ValueMap = std::unordered_map<std::string, std::string>;  // lower-case name -> UTF-8 value

struct OpenKeys {
    std::mutex mutex;
    std::map<RegHandle, ValueMap> keys;
    RegHandle next = 1;
};

OpenKeys& openKeys() {
    static OpenKeys instance;
    return instance;
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (auto& c : out) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80) c = static_cast<char>(std::tolower(u));
    }
    return out;
}

std::string trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(" \t\r\n");
    return std::string(s.substr(first, last - first + 1));
}

const char* rootName(RegHandle root) {
    switch (root) {
        case kHkeyClassesRoot: return "hkey_classes_root";
        case kHkeyCurrentUser: return "hkey_current_user";
        case kHkeyLocalMachine: return "hkey_local_machine";
        case kHkeyUsers: return "hkey_users";
        case kHkeyCurrentConfig: return "hkey_current_config";
        default: return nullptr;
    }
}

bool toUtf8(std::u16string_view in, std::string& out) {
    std::uint32_t error = 0;
    if (in.empty()) {
        out.clear();
        return true;
    }
    const int n = utf16ToUtf8(in, nullptr, 0, error);
    if (n == 0) return false;
    out.assign(static_cast<std::size_t>(n), '\0');
    return utf16ToUtf8(in, out.data(), n, error) == n;
}

// Reads the section of `path` (lower case, backslash-separated) from the
// stand-in file; false when the file or the section is missing.
bool readSection(const std::string& path, ValueMap& values) {
    const std::string file = regStandInFile();
    if (file.empty()) return false;
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    std::string line;
    bool inSection = false;
    bool found = false;
    while (std::getline(in, line)) {
        const std::string t = trim(line);
        if (t.empty() || t[0] == ';' || t[0] == '#') continue;
        if (t.front() == '[' && t.back() == ']') {
            std::string name = lower(trim(std::string_view(t).substr(1, t.size() - 2)));
            while (!name.empty() && name.back() == '\\') name.pop_back();
            inSection = name == path;
            found = found || inSection;
            continue;
        }
        if (!inSection) continue;
        const auto eq = t.find('=');
        if (eq == std::string::npos) continue;
        std::string name = trim(std::string_view(t).substr(0, eq));
        std::string value = trim(std::string_view(t).substr(eq + 1));
        if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        values.try_emplace(lower(name), value);
    }
    return found;
}

}  // namespace

std::string regStandInFile() {
    const char* file = std::getenv("SKYHAVEN_REGISTRY");
    return file != nullptr ? std::string(file) : std::string();
}

bool regIsPredefinedKey(RegHandle key) {
    return (key >= kHkeyClassesRoot && key <= kHkeyCurrentConfig) || key == kHkeyCurrentUserLocalSettings ||
           key == kHkeyPerformanceText || key == kHkeyPerformanceNlsText;
}

std::uint32_t regOpenKey(RegHandle root, std::u16string_view subKey, std::uint32_t /*access*/, RegHandle& result) {
    result = 0;
    const char* rootText = rootName(root);
    std::string sub;
    if (rootText == nullptr) return kErrorInvalidHandle;
    if (!toUtf8(subKey, sub)) return kErrorFileNotFound;
    std::string path = rootText;
    if (!sub.empty()) path.append("\\").append(lower(sub));
    while (!path.empty() && path.back() == '\\') path.pop_back();
    ValueMap values;
    if (!readSection(path, values)) return kErrorFileNotFound;
    auto& keys = openKeys();
    const std::lock_guard lock(keys.mutex);
    result = keys.next++;
    keys.keys.emplace(result, std::move(values));
    return kErrorSuccess;
}

std::uint32_t regGetStringValue(RegHandle key, std::u16string_view valueName, char16_t* buffer,
                                std::uint32_t& sizeBytes) {
    std::string name;
    if (!toUtf8(valueName, name)) return kErrorFileNotFound;
    std::string value;
    {
        auto& keys = openKeys();
        const std::lock_guard lock(keys.mutex);
        const auto it = keys.keys.find(key);
        if (it == keys.keys.end()) return kErrorInvalidHandle;
        const auto v = it->second.find(lower(name));
        if (v == it->second.end()) return kErrorFileNotFound;
        value = v->second;
    }
    std::u16string wide;
    if (!value.empty()) {
        std::uint32_t error = 0;
        const int n = utf8ToUtf16(value, nullptr, 0, error);
        if (n == 0) return error;
        wide.assign(static_cast<std::size_t>(n), u'\0');
        utf8ToUtf16(value, wide.data(), n, error);
    }
    const auto needed = static_cast<std::uint32_t>((wide.size() + 1) * sizeof(char16_t));
    if (buffer == nullptr) {
        sizeBytes = needed;
        return kErrorSuccess;
    }
    if (sizeBytes < needed) {
        sizeBytes = needed;
        return kErrorMoreData;
    }
    std::copy(wide.begin(), wide.end(), buffer);
    buffer[wide.size()] = u'\0';
    sizeBytes = needed;
    return kErrorSuccess;
}

std::uint32_t regCloseKey(RegHandle key) {
    if (regIsPredefinedKey(key)) return kErrorSuccess;
    auto& keys = openKeys();
    const std::lock_guard lock(keys.mutex);
    return keys.keys.erase(key) == 1 ? kErrorSuccess : kErrorInvalidHandle;
}

}  // namespace skh::platform
