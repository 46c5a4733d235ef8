// The fake-simulator program as whole-program runs and the demo use it: a
// script that waits for the program under test, traces its requests,
// pauses, quits, and ends with a summary.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "foundation/format.hpp"
#include "platform/process.hpp"
#include "simconnect/messages.hpp"
#include "simconnect/simconnect.hpp"
#include "support/sc_test_env.hpp"
#include "support/test_env.hpp"

namespace skh {
namespace {

using namespace std::chrono_literals;

TEST(FakeSimProgram, AScriptedRunPausesQuitsAndSummarises) {
    test::ScTestEnv env;
    const std::filesystem::path program = std::filesystem::path(SKYHAVEN_BINARY_DIR) / "tools" / "skyhaven-fake-sim";
    const test::TempDir dir;
    const std::filesystem::path output = dir / "fake-sim.txt";
    const int pid = platform::spawnProcess({program.string(), "--frames", "0", "--trace", "--script",
                                            "wait-client; wait-requests SubscribeToSystemEvent 3; pause; quit; exit"},
                                           {}, {}, output);
    ASSERT_GT(pid, 0);
    std::string first;
    ASSERT_TRUE(test::waitUntil([&] {
        const std::string text = test::readFile(output);
        const auto end = text.find('\n');
        if (end == std::string::npos) return false;
        first = text.substr(0, end);
        return true;
    }));
    ASSERT_EQ(first.rfind("ipv4 port ", 0), 0u) << first;
    env.writeConfig(test::ScTestEnv::Folder::Documents,
                    "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=" + first.substr(10) + "\n");

    HANDLE handle = nullptr;
    ASSERT_EQ(SimConnect_Open(&handle, "Skyhaven_P3D", nullptr, 0, nullptr, 0), kScOk);
    ASSERT_EQ(SimConnect_SubscribeToSystemEvent(handle, 201, "Sim"), kScOk);
    ASSERT_EQ(SimConnect_SubscribeToSystemEvent(handle, 204, "Frame"), kScOk);
    ASSERT_EQ(SimConnect_SubscribeToSystemEvent(handle, 210, "Pause"), kScOk);
    test::ScCollector collector;
    collector.pump(
        handle, [&] { return !collector.ids().empty() && collector.ids().back() == 3; }, 20s);
    EXPECT_EQ(collector.ids(), (std::vector<std::uint32_t>{2, 4, 4, 3}));  // open, Sim, Pause, quit
    EXPECT_EQ(SimConnect_Close(handle), kScOk);

    const std::optional<int> status = platform::waitProcess(pid, 30s);
    if (!status) platform::signalProcess(pid, platform::EndRequest::Kill);
    const std::string text = test::readFile(output);
    ASSERT_TRUE(status) << text;
    EXPECT_EQ(*status, 0) << text;
    for (const char* part :
         {"trace: client 1 #1 Open 'Skyhaven_P3D'\n", "1 client(s) opened\n",
          "trace: client 1 #2 SubscribeToSystemEvent 201 'Sim'\n", "3 x SubscribeToSystemEvent arrived\n", "paused\n",
          "quit sent, connections closed\n", "summary: 1 client(s), 4 requests, Open 1, SubscribeToSystemEvent 3\n"})
        EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
    EXPECT_EQ(text.find("protocol error"), std::string::npos) << text;
}

}  // namespace
}  // namespace skh
