#pragma once
// A private world for SimConnect client tests: Public Documents, Documents,
// the current folder, the registry stand-in and the pipe folder all in one
// temp folder, and short close waits. Tests point the client at a fake
// simulator by writing SimConnect.cfg here.
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "simconnect/sc_types.hpp"

#include "support/test_env.hpp"

namespace skh::test {

class FakeSimulator;

class ScTestEnv {
public:
    enum class Folder { PublicDocuments, Documents, Current };

    ScTestEnv();
    ~ScTestEnv();
    ScTestEnv(const ScTestEnv&) = delete;
    ScTestEnv& operator=(const ScTestEnv&) = delete;

    std::filesystem::path folder(Folder which) const;
    // Writes SimConnect.cfg into the folder.
    void writeConfig(Folder which, const std::string& text);
    // Writes the HKCU port values of the registry stand-in; empty: no value.
    void writeRegistryPorts(const std::string& ipv6Port, const std::string& ipv4Port);
    // A SimConnect.cfg in Documents that sends the client to the fake's
    // IPv4 port (extra lines are added to the section).
    void pointAtIpv4(const FakeSimulator& sim, const std::string& extraLines = "");

private:
    TempDir m_dir;
    std::unique_ptr<ScopedCwd> m_cwd;
    std::unique_ptr<ScopedEnv> m_documents;
    std::unique_ptr<ScopedEnv> m_publicDocuments;
    std::unique_ptr<ScopedEnv> m_registry;
    std::unique_ptr<ScopedEnv> m_pipes;
    int m_saved[6] = {};
};

// Collects dispatched messages; pump() calls SimConnect_CallDispatch until a
// condition holds, the transport fails or the time is up.
class ScCollector {
public:
    static void dispatch(const std::byte* message, std::uint32_t size, void* context);

    // Returns the last dispatch result.
    HRESULT pump(HANDLE handle, const std::function<bool()>& done, std::chrono::milliseconds timeout = kEventWait);
    HRESULT pumpFor(HANDLE handle, std::size_t count, std::chrono::milliseconds timeout = kEventWait) {
        return pump(handle, [&] { return messages.size() >= count; }, timeout);
    }
    std::vector<std::uint32_t> ids() const;  // message ids in arrival order

    std::vector<std::vector<std::byte>> messages;
};

}  // namespace skh::test
