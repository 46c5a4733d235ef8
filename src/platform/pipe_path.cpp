#include "platform/pipe_path.hpp"

#include <sys/un.h>

#include "platform/known_folders.hpp"

namespace skh::platform {

namespace {

bool isPipeWord(std::string_view word) {
    if (word.size() != 4) return false;
    for (std::size_t i = 0; i < 4; ++i) {
        const char c = word[i];
        if (c != "pipe"[i] && c != "PIPE"[i]) return false;
    }
    return true;
}

}  // namespace

std::filesystem::path pipeFolder() {
    if (auto p = pathFromEnvironment("SKYHAVEN_PIPE_DIR")) return *p;
    if (auto p = pathFromEnvironment("XDG_RUNTIME_DIR")) return *p / "skyhaven-pipes";
    return std::filesystem::temp_directory_path() / "skyhaven-pipes";
}

bool splitPipeName(std::string_view pipeName, std::string& server, std::string& name) {
    if (pipeName.size() < 3 || pipeName.substr(0, 2) != "\\\\") return false;
    const auto serverEnd = pipeName.find('\\', 2);
    if (serverEnd == std::string_view::npos || serverEnd == 2) return false;
    const auto pipeEnd = pipeName.find('\\', serverEnd + 1);
    if (pipeEnd == std::string_view::npos) return false;
    if (!isPipeWord(pipeName.substr(serverEnd + 1, pipeEnd - serverEnd - 1))) return false;
    server = std::string(pipeName.substr(2, serverEnd - 2));
    name = std::string(pipeName.substr(pipeEnd + 1));
    return !name.empty();
}

std::optional<std::filesystem::path> pipeSocketPath(std::string_view pipeName) {
    std::string server;
    std::string name;
    if (!splitPipeName(pipeName, server, name) || server != ".") return std::nullopt;
    std::filesystem::path path = pipeFolder();
    std::size_t pos = 0;
    while (pos <= name.size()) {
        auto end = name.find_first_of("\\/", pos);
        if (end == std::string::npos) end = name.size();
        const std::string part = name.substr(pos, end - pos);
        if (part.empty() || part == "." || part == "..") return std::nullopt;
        path /= part;
        pos = end + 1;
    }
    if (path.native().size() >= sizeof(sockaddr_un::sun_path)) return std::nullopt;
    return path;
}

}  // namespace skh::platform
