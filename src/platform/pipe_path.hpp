#pragma once
// Named pipes stand in as Unix-domain stream sockets: the pipe
// "\\.\pipe\<name>" is the socket file <pipe folder>/<name>, a backslash in
// the name making a sub-folder. The pipe folder is $SKYHAVEN_PIPE_DIR, else
// "skyhaven-pipes" under $XDG_RUNTIME_DIR, else under the temp folder. Only
// the local server "." is reachable; any other server is another machine.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace skh::platform {

std::filesystem::path pipeFolder();

// Splits "\\server\pipe\name"; false when the text is not of that form.
bool splitPipeName(std::string_view pipeName, std::string& server, std::string& name);

// The socket file of a pipe on this machine; nullopt for another machine's
// pipe, a malformed name, a name with "." or ".." parts, or a path too long
// for a socket address.
std::optional<std::filesystem::path> pipeSocketPath(std::string_view pipeName);

}  // namespace skh::platform
