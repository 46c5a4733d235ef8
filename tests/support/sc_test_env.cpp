#include "support/sc_test_env.hpp"

#include <cstring>
#include <thread>

#include "foundation/format.hpp"
#include "simconnect/simconnect.hpp"
#include "simconnect/connection.hpp"
#include "support/fake_simulator.hpp"

namespace skh::test {

namespace fs = std::filesystem;

ScTestEnv::ScTestEnv() {
    for (const char* sub : {"public", "documents", "current", "pipes"}) fs::create_directories(m_dir / sub);
    m_cwd = std::make_unique<ScopedCwd>(m_dir / "current");
    m_documents = std::make_unique<ScopedEnv>("SKYHAVEN_DOCUMENTS", (m_dir / "documents").string());
    m_publicDocuments = std::make_unique<ScopedEnv>("SKYHAVEN_PUBLIC_DOCUMENTS", (m_dir / "public").string());
    m_registry = std::make_unique<ScopedEnv>("SKYHAVEN_REGISTRY", (m_dir / "registry.ini").string());
    m_pipes = std::make_unique<ScopedEnv>("SKYHAVEN_PIPE_DIR", (m_dir / "pipes").string());
    auto& t = gf_scTimings();
    m_saved[0] = t.flushWaitMs.exchange(100);
    m_saved[1] = t.settleWaitMs.exchange(0);
    m_saved[2] = t.cleanupStepMs.exchange(5);
    m_saved[3] = t.cleanupSteps.exchange(400);
    m_saved[4] = t.pipeBusyWaitMs.exchange(200);
    m_saved[5] = t.connectTimeoutMs.exchange(2000);
}

ScTestEnv::~ScTestEnv() {
    auto& t = gf_scTimings();
    t.flushWaitMs = m_saved[0];
    t.settleWaitMs = m_saved[1];
    t.cleanupStepMs = m_saved[2];
    t.cleanupSteps = m_saved[3];
    t.pipeBusyWaitMs = m_saved[4];
    t.connectTimeoutMs = m_saved[5];
}

fs::path ScTestEnv::folder(Folder which) const {
    switch (which) {
        case Folder::PublicDocuments: return m_dir / "public";
        case Folder::Documents: return m_dir / "documents";
        case Folder::Current: return m_dir / "current";
    }
    return {};
}

void ScTestEnv::writeConfig(Folder which, const std::string& text) { writeFile(folder(which) / "SimConnect.cfg", text); }

void ScTestEnv::writeRegistryPorts(const std::string& ipv6Port, const std::string& ipv4Port) {
    std::string text = "[HKEY_CURRENT_USER\\SOFTWARE\\Lockheed Martin\\Prepar3D v5]\n";
    if (!ipv6Port.empty()) text += "SimConnect_Port_IPv6=" + ipv6Port + "\n";
    if (!ipv4Port.empty()) text += "SimConnect_Port_IPv4=" + ipv4Port + "\n";
    writeFile(m_dir / "registry.ini", text);
}

void ScTestEnv::pointAtIpv4(const FakeSimulator& sim, const std::string& extraLines) {
    writeConfig(Folder::Documents, skh::format("[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort={}\n{}",
                                               sim.ipv4Port(), extraLines));
}

void ScCollector::dispatch(const std::byte* message, std::uint32_t size, void* context) {
    static_cast<ScCollector*>(context)->messages.emplace_back(message, message + size);
}

HRESULT ScCollector::pump(HANDLE handle, const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const HRESULT rc = SimConnect_CallDispatch(handle, &ScCollector::dispatch, this);
        if (rc != kScOk || done() || std::chrono::steady_clock::now() >= deadline) return rc;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::vector<std::uint32_t> ScCollector::ids() const {
    std::vector<std::uint32_t> out;
    for (const auto& m : messages) {
        std::uint32_t id = 0;
        if (m.size() >= 12) std::memcpy(&id, m.data() + 8, 4);
        out.push_back(id);
    }
    return out;
}

}  // namespace skh::test
