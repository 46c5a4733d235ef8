#include "simconnect/config.hpp"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <optional>

#include "foundation/format.hpp"
#include "foundation/text.hpp"
#include "foundation/text_files.hpp"
#include "foundation/win_interfaces.hpp"
#include "platform/known_folders.hpp"
#include "platform/profile.hpp"

namespace skh {

namespace {

constexpr std::uint32_t kPortValueBytes = 20;  // 9 characters and the terminating null

// atoi-like: optional sign and leading digits; anything else gives 0.
long long leadingInteger(const std::string& text) {
    const std::string t = gf_trim(text);
    long long value = 0;
    const char* begin = t.data();
    const char* end = t.data() + t.size();
    if (begin != end && *begin == '+') ++begin;
    const auto result = std::from_chars(begin, end, value);
    if (result.ec == std::errc::result_out_of_range) return begin != end && *begin == '-' ? -1 : INT64_MAX;
    return result.ec == std::errc() ? value : 0;
}

std::string pipeName(const std::string& address, const std::string& port) {
    const std::string server = address.empty() || address == "." ? "." : address;
    if (!port.empty()) return skh::format("\\\\{}\\pipe\\{}", server, port);
    return skh::format("\\\\{}\\pipe\\{}", server, kScDefaultPipeName);
}

}  // namespace

std::string lf_scSectionName(std::uint32_t index) {
    return index == 0 ? std::string("SimConnect") : skh::format("SimConnect.{}", index);
}

std::vector<std::filesystem::path> lf_scConfigFiles() {
    std::vector<std::filesystem::path> files;
    if (const auto p = platform::publicDocumentsFolder()) files.push_back(*p / "SimConnect.cfg");
    if (const auto p = platform::documentsFolder()) files.push_back(*p / "SimConnect.cfg");
    std::error_code ec;
    const auto cwd = std::filesystem::current_path(ec);
    // The current folder as the platform call gives it: at most 260 characters.
    if (!ec && cwd.native().size() < 260) files.push_back(cwd / "SimConnect.cfg");
    return files;
}

bool lf_scConfigSection(const std::filesystem::path& file, std::uint32_t index) {
    const auto lines = platform::profileReadSection(file, lf_scSectionName(index));
    return lines && !lines->empty();
}

void lf_scReadConfig(const std::filesystem::path& file, std::uint32_t index, ScConfig& config) {
    // The section is read once for all its keys; its lines keep the profile
    // rules (trimmed names and unquoted values), so the first line whose name
    // matches, ignoring case, gives the key's value.
    const auto lines = platform::profileReadSection(file, lf_scSectionName(index));
    if (!lines) return;
    auto value = [&lines](std::string_view upperKey) -> std::optional<std::string> {
        for (const std::string& line : *lines) {
            const auto eq = line.find('=');
            if (eq != std::string::npos && gf_equalsUpper(upperKey, std::string_view(line).substr(0, eq)))
                return line.substr(eq + 1);
        }
        return std::nullopt;
    };
    if (const auto protocol = value("PROTOCOL")) {
        const std::string p = gf_lower(*protocol);
        if (p == "auto" || p == "pipe") {
            config.start = ScFamily::Pipe;
        } else if (p == "ipv4" || p == "ipv6") {
            config.start = p == "ipv4" ? ScFamily::IPv4 : ScFamily::IPv6;
            if (!config.port.empty()) lf_scReadRegistryPort(config.start, config.port);
        }
    }
    if (const auto address = value("ADDRESS"); address && !address->empty()) config.address = *address;
    if (const auto port = value("PORT"); port && !port->empty()) config.port = *port;
    if (const auto size = value("MAXRECEIVESIZE")) {
        const long long n = leadingInteger(*size);
        // The receive buffer cannot grow past 1 MiB, so neither can the limit.
        if (n > static_cast<long long>(config.maxReceiveSize))
            config.maxReceiveSize = static_cast<std::uint32_t>(std::min<long long>(n, kScReceiveBufferMax));
    }
    if (const auto nagle = value("DISABLENAGLE")) config.disableNagle = leadingInteger(*nagle) != 0;
}

bool lf_scReadRegistryPort(ScFamily family, std::string& port) {
    port.clear();
    try {
        RegKey key;
        key.Open(platform::kHkeyCurrentUser, u"SOFTWARE\\Lockheed Martin\\Prepar3D v5", KEY_READ_WOW64_64);
        const char16_t* name = family == ScFamily::IPv6 ? u"SimConnect_Port_IPv6" : u"SimConnect_Port_IPv4";
        char16_t buffer[kPortValueBytes / 2] = {};
        std::uint32_t size = kPortValueBytes;
        if (platform::regGetStringValue(key.Get(), name, buffer, size) != platform::kErrorSuccess) return false;
        port = gf_utf16ToUtf8(std::u16string(buffer));
        return !port.empty();
    } catch (const std::exception&) {
        port.clear();
        return false;
    }
}

bool lf_scIsAnotherMachine(const std::string& address) {
    return !(address.empty() || address == "." || address == "localhost" || address == "127.0.0.1" ||
             address == "::1");
}

bool lf_scRunChain(ScConfig config, const std::function<bool(const ScAttempt&)>& attempt) {
    ScFamily step = config.start;
    bool lastPipe = false;
    for (;;) {
        switch (step) {
            case ScFamily::Pipe:
                if (attempt({ScFamily::Pipe, pipeName(config.address, config.port), ""})) return true;
                if (lastPipe || lf_scIsAnotherMachine(config.address)) return false;
                config.address = "::1";
                lf_scReadRegistryPort(ScFamily::IPv6, config.port);
                step = ScFamily::IPv6;
                break;
            case ScFamily::IPv6:
                if (!config.port.empty() && attempt({ScFamily::IPv6, config.address, config.port})) return true;
                if (config.address != "::1") return false;
                config.address = "127.0.0.1";
                lf_scReadRegistryPort(ScFamily::IPv4, config.port);
                step = ScFamily::IPv4;
                break;
            case ScFamily::IPv4:
                if (!config.port.empty() && attempt({ScFamily::IPv4, config.address, config.port})) return true;
                if (config.address != "127.0.0.1") return false;
                config.address = ".";
                config.port.clear();
                step = ScFamily::Pipe;
                lastPipe = true;
                break;
        }
    }
}

int lf_scConnect(ScConnection*& out, std::uint32_t index) {
    out = nullptr;
    const auto files = lf_scConfigFiles();
    if (index != 0) {
        bool found = false;
        for (const auto& file : files) found = found || lf_scConfigSection(file, index);
        if (!found) return 3;
    }
    ScConfig config;
    for (const auto& file : files) lf_scReadConfig(file, index, config);
    const bool connected = lf_scRunChain(config, [&](const ScAttempt& a) {
        ScConnection* c = lf_scCreateConnection(ScTransportKind::Tcp, config.maxReceiveSize, config.disableNagle);
        if (lf_scOpenTransport(c, a.family, a.address, a.port)) {
            lf_scCloseConnection(c);
            return false;
        }
        out = c;
        return true;
    });
    return connected ? 0 : 1;
}

}  // namespace skh

