// A controlling program written from the public header alone: it loads
// WexUTIL.dll by name, resolves every export by its exported name and uses
// each one.  Runs on a fresh desktop, so it also sees the first-load state.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "e2e_support.h"

namespace {

struct State {
    int clicks = 0;
    int ticks = 0;  // WM_TIMER of the timer that LeftStillDown must leave alone
} g_state;

const UINT_PTR kOtherTimer = 8;
using HookProc = LRESULT(WINAPI*)(int, WPARAM, LPARAM);

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LBUTTONUP) ++g_state.clicks;
    if (message == WM_TIMER && wParam == kOtherTimer) ++g_state.ticks;
    return ::DefWindowProcA(window, message, wParam, lParam);
}

class Controller : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        module = ::LoadLibraryA(WEXUTIL_DLL_NAME);
        ASSERT_NE(module, nullptr);
        ASSERT_TRUE(lib.Resolve(module)) << "an export is missing";
        window = e2e::MakeWindow("WexIndependentController", Proc, 40, 40, 300, 200);
        ASSERT_NE(window, nullptr);
    }
    static HMODULE module;
    static e2e::Library lib;
    static HWND window;
};
HMODULE Controller::module = nullptr;
e2e::Library Controller::lib;
HWND Controller::window = nullptr;

// Must run first: nothing has touched the shared section yet.
TEST_F(Controller, A_FirstLoadGivesZeroRecordsAndNoRememberedWindow) {
    HookSettings settings;
    std::memset(&settings, 0xCC, sizeof settings);
    lib.GetSettings(&settings);
    const HookSettings zeroSettings = {};
    EXPECT_TRUE(e2e::SameBytes(&settings, &zeroSettings, sizeof settings));

    HookStatistics statistics;
    std::memset(&statistics, 0xCC, sizeof statistics);
    lib.GetStatistics(&statistics);
    const unsigned char zero[48] = {};
    EXPECT_TRUE(e2e::SameBytes(&statistics, zero, sizeof statistics));

    char className[40], title[40];
    std::memset(className, 'x', sizeof className);
    std::memset(title, 'x', sizeof title);
    WexPoint point = {-1, -1};
    lib.GetRememberedWindow(className, title, &point);
    EXPECT_STREQ(className, "");
    EXPECT_STREQ(title, "");
    EXPECT_EQ(point.x, 0);
    EXPECT_EQ(point.y, 0);
}

TEST_F(Controller, RecordsRoundTripWholeReservedWordsIncluded) {
    const HookSettings settings = e2e::PatternSettings(99);
    lib.UpdateSettings(&settings);
    HookSettings back;
    lib.GetSettings(&back);
    EXPECT_TRUE(e2e::SameBytes(&back, &settings, sizeof back));

    HookStatistics statistics = e2e::PatternStatistics(99);
    statistics.leftClicks = 0xFFFFFFFFu;
    lib.SetStatistics(&statistics);
    HookStatistics statisticsBack;
    lib.GetStatistics(&statisticsBack);
    EXPECT_TRUE(e2e::SameBytes(&statisticsBack, &statistics, sizeof statistics));

    // A null address is ignored rather than crashing this program.
    lib.GetSettings(nullptr);
    lib.UpdateSettings(nullptr);
    lib.GetStatistics(nullptr);
    lib.SetStatistics(nullptr);
    lib.GetSettings(&back);
    EXPECT_TRUE(e2e::SameBytes(&back, &settings, sizeof back));
}

TEST_F(Controller, InstalledHooksPassInputThroughToTheWindow) {
    const HookSettings off = {};
    lib.UpdateSettings(&off);
    ASSERT_EQ(lib.InstallHook(window, 0), 1);
    EXPECT_EQ(lib.InstallHook(window, 0), 1);

    POINT centre = {150, 100};
    ::ClientToScreen(window, &centre);
    ASSERT_TRUE(e2e::WaitFor([&] { return ::WindowFromPoint(centre) == window; }));
    const int before = g_state.clicks;
    e2e::ClickInClient(window, 150, 100);
    EXPECT_TRUE(e2e::WaitFor([&] { return g_state.clicks > before; })) << "click swallowed by the hooks";

    // A call that a hook procedure passes on returns what the next hook
    // returns; with a negative code it must not look at its arguments.
    auto mouseProc = lib.Get<HookProc>(WEXUTIL_EXPORT_NAME(MouseProc, 12));
    auto keyboardProc = lib.Get<HookProc>(WEXUTIL_EXPORT_NAME(KeyboardProc, 12));
    auto getMsgProc = lib.Get<HookProc>(WEXUTIL_EXPORT_NAME(GetMsgProc, 12));
    ASSERT_TRUE(mouseProc && keyboardProc && getMsgProc);
    EXPECT_EQ(mouseProc(-1, 0, 0), 0);
    EXPECT_EQ(keyboardProc(-1, 0, 0), 0);
    EXPECT_EQ(getMsgProc(-1, 0, 0), 0);

    lib.RemoveHook();
    lib.RemoveHook();
}

TEST_F(Controller, LeftStillDownStopsOnlyItsOwnTimer) {
    const UINT_PTR ownTimer = 7;
    // LeftStillDown has the TIMERPROC shape; its result is what KillTimer gave.
    ASSERT_NE(::SetTimer(window, ownTimer, 10, lib.Get<TIMERPROC>(WEXUTIL_EXPORT_NAME(LeftStillDown, 16))),
              0u);
    ASSERT_NE(::SetTimer(window, kOtherTimer, 10, nullptr), 0u);
    g_state.ticks = 0;
    // Several periods of the other timer give the own timer time to fire
    // and stop itself.
    ASSERT_TRUE(e2e::WaitFor([] { return g_state.ticks >= 5; }));
    // Already stopped by its own first call: stopping it again fails.
    EXPECT_FALSE(lib.LeftStillDown(window, WM_TIMER, ownTimer, 0));
    // The other timer is still running.
    const int ticks = g_state.ticks;
    EXPECT_TRUE(e2e::WaitFor([&] { return g_state.ticks > ticks + 2; }));
    EXPECT_TRUE(lib.LeftStillDown(window, WM_TIMER, kOtherTimer, 0));
    EXPECT_FALSE(::KillTimer(window, kOtherTimer));
}

// PressAndHoldCallBack runs a hold row only while its button is still down:
// held, the row runs (its notification comes here) and the button is let
// go; let go before the delay ran out, nothing runs.
TEST_F(Controller, PressAndHoldRunsTheRowOnlyWhileTheButtonIsDown) {
    HookSettings settings = {};
    settings.bindingCount = 1;
    settings.bindings[0].action = ACTION_NOTIFY_13_0;
    settings.bindings[0].trigger = TRIGGER_HOLD_LEFT;
    lib.UpdateSettings(&settings);
    // The notifications come to this window (the hooks are not needed).
    ASSERT_EQ(lib.InstallHook(window, 0), 1);
    lib.RemoveHook();
    MSG msg;
    while (::PeekMessageA(&msg, window, WM_HOOK_NOTIFY, WM_HOOK_NOTIFY, PM_REMOVE)) {
    }

    ::mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    ASSERT_TRUE(e2e::WaitFor([] { return (::GetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0; }));
    EXPECT_EQ(1, lib.PressAndHoldCallBack(1));
    EXPECT_TRUE(::PeekMessageA(&msg, window, WM_HOOK_NOTIFY, WM_HOOK_NOTIFY, PM_REMOVE));
    EXPECT_EQ(static_cast<WPARAM>(NOTIFY_SELECT), msg.wParam);
    EXPECT_TRUE(e2e::WaitFor([] { return (::GetAsyncKeyState(VK_LBUTTON) & 0x8000) == 0; }))
        << "the held button was not let go";

    EXPECT_EQ(0, lib.PressAndHoldCallBack(1));
    EXPECT_FALSE(::PeekMessageA(&msg, window, WM_HOOK_NOTIFY, WM_HOOK_NOTIFY, PM_REMOVE))
        << "a hold row ran although the left button is up";
}

// Two processes with the library loaded see one settings record and one
// statistics record: what one pushes, the other reads, and back.
TEST(SharedRecords, AnotherProcessReadsWhatThisOnePushedAndBack) {
    e2e::Library lib;
    ASSERT_TRUE(lib.Resolve(::LoadLibraryA(e2e::DllPath().c_str())));
    const uint32_t seed = 1234;
    EXPECT_EQ("", e2e::RecordsRoundTrip(
                      lib, seed, [seed] { return e2e::StartSelf("--child=" + std::to_string(seed)); }));
}

}  // namespace

int main(int argc, char** argv) {
    // The other process of the records test.
    const std::string child = e2e::Argument(argc, argv, "child");
    if (!child.empty()) {
        e2e::Library lib;
        return e2e::ReadRecordsAndPushNext(lib,
                                           static_cast<uint32_t>(std::strtoul(child.c_str(), nullptr, 10)));
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
