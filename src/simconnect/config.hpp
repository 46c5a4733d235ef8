#pragma once
// Where a connection goes: SimConnect.cfg in the Public Documents, Documents
// and current folders (a later file overrides an earlier one key by key), the
// port values of the registry, and the chain of transports that a connect
// tries: named pipe, IPv6, IPv4, the local default pipe again.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "simconnect/connection.hpp"
#include "simconnect/sc_types.hpp"

namespace skh {

struct ScConfig {
    ScFamily start = ScFamily::Pipe;  // where the chain is entered
    std::string address;
    std::string port;
    std::uint32_t maxReceiveSize = kScBuildBufferSize;
    bool disableNagle = false;
};

// "SimConnect" for index 0, else "SimConnect.<index>".
std::string lf_scSectionName(std::uint32_t index);

// The SimConnect.cfg files in reading order; folders that are not known are
// left out.
std::vector<std::filesystem::path> lf_scConfigFiles();

// Whether the file holds the section of the index (with at least one line).
bool lf_scConfigSection(const std::filesystem::path& file, std::uint32_t index);

// Reads the keys of the index's section from one file into `config`; a
// missing file or section leaves it as it is.
void lf_scReadConfig(const std::filesystem::path& file, std::uint32_t index, ScConfig& config);

// The registry's port of a family (HKCU, "SimConnect_Port_IPv6" or
// "SimConnect_Port_IPv4"); empty, and false, when the key or value is missing
// or longer than 9 characters.
bool lf_scReadRegistryPort(ScFamily family, std::string& port);

// "Another machine" is any address but "", ".", "localhost", "127.0.0.1" and "::1".
bool lf_scIsAnotherMachine(const std::string& address);

// One attempt of the chain. For a pipe, `address` is the pipe's full name.
struct ScAttempt {
    ScFamily family;
    std::string address;
    std::string port;
    bool operator==(const ScAttempt&) const = default;
};

// Runs the chain from `config`, calling `attempt` for each transport to try
// until one returns true. False when the chain ends without a connection.
bool lf_scRunChain(ScConfig config, const std::function<bool(const ScAttempt&)>& attempt);

// Sets up a connection for the configuration index: 0 success, 3 when a
// non-zero index names a section that no file holds, 1 when no transport
// connected.
int lf_scConnect(ScConnection*& out, std::uint32_t index);

}  // namespace skh
