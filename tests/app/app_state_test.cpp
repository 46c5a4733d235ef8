#include "app/app_state.hpp"

#include <gtest/gtest.h>

#include "foundation/errors.hpp"
#include "foundation/main_window_state.hpp"
#include "foundation/parameter_table.hpp"
#include "support/test_env.hpp"

namespace skh {
namespace {

TEST(AppState, FirstStopReasonWins) {
    gf_resetStopState();
    EXPECT_TRUE(gf_requestStop(AppState::ReaderError, 15));
    EXPECT_FALSE(gf_requestStop(AppState::SimWasClosed, 0));
    EXPECT_EQ(g_appState.load(), AppState::ReaderError);
    EXPECT_EQ(g_restartDelay.load(), 15);
    EXPECT_STREQ(gf_appStateName(g_appState), "READER ERROR");
    gf_resetStopState();
    EXPECT_FALSE(g_stopRequested);
    EXPECT_EQ(g_appState.load(), AppState::NotYetSet);
}

TEST(AppState, RangeSteps) {
    const std::pair<int, int> cases[] = {{-5, 2},  {2, 2},   {3, 3},   {6, 6},    {7, 8},     {9, 10},  {11, 12},
                                         {13, 14}, {15, 16}, {17, 18}, {19, 20},  {22, 20},   {23, 25}, {27, 25},
                                         {28, 30}, {33, 35}, {38, 40}, {44, 40},  {45, 50},   {56, 50}, {57, 65},
                                         {72, 65}, {73, 80}, {89, 80}, {90, 100}, {5000, 100}};
    for (const auto& [nm, step] : cases) EXPECT_EQ(lf_snapRangeStep(nm), step) << nm;
}

TEST(AppState, AltitudeSteps) {
    const std::pair<int, int> cases[] = {{0, 2000},      {2999, 2000},   {3000, 4000},   {8999, 8000},
                                         {16999, 16000}, {17000, 18000}, {26999, 18000}, {27000, 36000},
                                         {46999, 36000}, {47000, 48000}, {49000, 48000}};
    for (const auto& [ft, step] : cases) EXPECT_EQ(lf_snapAltitudeStep(ft), step) << ft;
}

TEST(AppState, SimulatorVersionFromPathOrHiddenSetting) {
    const std::pair<const char*, const char*> cases[] = {
        {"D:\\Prepar3D v5", "5"}, {"D:\\P3D V6", "6"}, {"D:\\v6 and v5", "5"}, {"D:\\Sim", "5"}};
    for (const auto& [path, version] : cases) {
        SIM_INSTALL_PATH.value.set(path);
        EXPECT_EQ(gf_getP3DVersion(), version) << path;
    }
    P3D_VERSION.value = 6;
    EXPECT_EQ(gf_getP3DVersion(), "6");
    P3D_VERSION.value = 4;
    try {
        gf_getP3DVersion();
        FAIL();
    } catch (const UserErrorException& e) {
        EXPECT_STREQ(e.what(),
                     "77: P3D install path does not contain v5 or v6. Use hidden parameter P3D_VERSION, set it to 5 "
                     "or 6.");
    }
    P3D_VERSION.value = 5;
    SIM_INSTALL_PATH.value.set("");
}

TEST(StatusLine, ErrorBlocksStatusTextsUntilCleared) {
    test::ScopedLog log;
    // Standard output carries a caller's results (a benchmark's JSON):
    // the status and error lines are echoed on standard error only.
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    gf_setStatusMessage("hello", true);
    gf_setErrorMessage("41: echoed");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "hello\nError 41: echoed\n");
    gf_clearErrorMessage();
    gf_setStatusMessage("hello", true);
    EXPECT_EQ(gf_statusText(), "hello");
    gf_setErrorMessage("41: broken");
    EXPECT_EQ(gf_statusText(), "");
    EXPECT_EQ(gf_errorText(), "41: broken");
    gf_setStatusMessage("ignored", true);
    EXPECT_EQ(gf_statusText(), "");
    gf_clearErrorMessage();
    gf_setStatusMessage("", true);
    const std::string text = log.text();
    EXPECT_NE(text.find("hello\n"), std::string::npos);
    EXPECT_NE(text.find("Error 41: broken\n"), std::string::npos);
    EXPECT_EQ(text.find("ignored"), std::string::npos);
    EXPECT_EQ(log.lines().size(), 5u);  // the empty text wrote no line
}

TEST(StatusLine, TextAgesOutAfter25Ticks) {
    gf_clearErrorMessage();
    {
        // The counter as at the start of a run.
        const std::lock_guard lock(g_mainWindowState.statusMutex);
        g_mainWindowState.g_statusTick = 0;
    }
    gf_setStatusMessage("short-lived", false);
    for (int tick = 1; tick < 25; ++tick) gf_ageStatusMessage();
    EXPECT_EQ(gf_statusText(), "short-lived");
    gf_ageStatusMessage();
    EXPECT_EQ(gf_statusText(), "short-lived");  // stamp 1: gone when the counter reaches 26
    gf_ageStatusMessage();
    EXPECT_EQ(gf_statusText(), "");
}

}  // namespace
}  // namespace skh
