// Installing and removing the hooks, and the exports around them.
#include "core/notify.h"
#include "support/sim_test.h"

#include <cstring>

namespace {

class LifecycleTest : public SimTest {
protected:
    std::vector<std::string> HookLines() {
        std::vector<std::string> out;
        for (auto& line : d().TakeTrace()) {
            if (line.rfind("hook", 0) == 0) out.push_back(line);
        }
        return out;
    }
};

TEST_F(LifecycleTest, InstallsMouseKeyboardMessageInThatOrderWithTheModuleOfThisProcess) {
    EXPECT_EQ(1, InstallHook(app, 0));
    EXPECT_EQ((sim::Lines{"hook install 7", "hook install 2", "hook install 3"}), HookLines());
    EXPECT_EQ(app, NotifyWindow());
    EXPECT_NE(0u, Shared().wheelMessage);
    EXPECT_EQ(os::RegisterWindowMessageA("MSWHEEL_ROLLMSG"), Shared().wheelMessage);
    for (const sim::Hook& h : d().hooks) {
        EXPECT_EQ(Proc().moduleInstance, h.module);
        EXPECT_EQ(0u, h.thread);
    }
    EXPECT_NE(nullptr, Proc().moduleInstance);
}

TEST_F(LifecycleTest, FailurePartWayKeepsWhatIsInPlaceAndALaterCallAddsOnlyWhatIsMissing) {
    d().failHooks[WH_KEYBOARD] = 1;
    EXPECT_EQ(0, InstallHook(app, 0));
    EXPECT_EQ((sim::Lines{"hook install 7", "hook refused 2"}), HookLines());
    HHOOK mouse = g_image.mouseHook;
    EXPECT_NE(nullptr, mouse);
    EXPECT_EQ(nullptr, g_image.keyboardHook);
    EXPECT_EQ(nullptr, g_image.messageHook);

    EXPECT_EQ(1, InstallHook(app, 0));
    EXPECT_EQ((sim::Lines{"hook install 2", "hook install 3"}), HookLines());
    EXPECT_EQ(mouse, g_image.mouseHook);
    EXPECT_EQ(3u, d().hooks.size());

    // A refused first hook stops everything.
    RemoveHook();
    d().TakeTrace();
    d().failHooks[WH_MOUSE] = 1;
    EXPECT_EQ(0, InstallHook(app, 0));
    EXPECT_EQ((sim::Lines{"hook refused 7"}), HookLines());
}

TEST_F(LifecycleTest, SecondInstallRedirectsNotificationsAndInstallsNothing) {
    HWND other = MakeWindow("other", {0, 0, 10, 10});
    ASSERT_EQ(1, InstallHook(app, 0));
    d().TakeTrace();
    EXPECT_EQ(1, InstallHook(other, 0x7FFFFFFF));  // the second argument changes nothing
    EXPECT_TRUE(HookLines().empty());
    PostNotify(NOTIFY_SIGNAL, 0);
    EXPECT_EQ((sim::Lines{Notify(NOTIFY_SIGNAL, 0, "other")}), d().TakeTrace());
    EXPECT_TRUE(d().PostedTo(app).empty());
}

TEST_F(LifecycleTest, RemoveHookTwiceAndReinstallKeepsSettingsAndStatistics) {
    HookSettings s = SettingsWith({{32, 2, 2}, {0, 251}});
    s.captureMode = 1;
    UpdateSettings(&s);
    HookStatistics stats{};
    stats.rightClicks = 41;
    stats.distance = 2.25;
    SetStatistics(&stats);

    ASSERT_EQ(1, InstallHook(app, 0));
    d().TakeTrace();
    RemoveHook();
    EXPECT_EQ((sim::Lines{"hook remove 7", "hook remove 2", "hook remove 3"}), HookLines());
    EXPECT_EQ(nullptr, g_image.mouseHook);
    EXPECT_EQ(nullptr, g_image.keyboardHook);
    EXPECT_EQ(nullptr, g_image.messageHook);
    RemoveHook();
    EXPECT_TRUE(HookLines().empty());
    EXPECT_EQ(app, NotifyWindow());  // stays after removal

    ASSERT_EQ(1, InstallHook(app, 0));
    EXPECT_EQ(3u, HookLines().size());
    HookSettings back{};
    GetSettings(&back);
    EXPECT_EQ(0, std::memcmp(&s, &back, sizeof back));
    HookStatistics statsBack{};
    GetStatistics(&statsBack);
    EXPECT_EQ(0, std::memcmp(&stats, &statsBack, sizeof statsBack));
    EXPECT_EQ(2, Shared().holdButtons);
}

TEST_F(LifecycleTest, LeftStillDownStopsOnlyItsOwnTimer) {
    HWND other = MakeWindow("other", {0, 0, 10, 10});
    d().SetTimer(app, 1);
    d().SetTimer(app, 2);
    d().SetTimer(other, 2);
    EXPECT_TRUE(LeftStillDown(app, WM_TIMER, 2, 12345));
    ASSERT_EQ(2u, d().timers.size());
    EXPECT_EQ(app, d().timers[0].window);
    EXPECT_EQ(1u, d().timers[0].id);
    EXPECT_EQ(other, d().timers[1].window);
    EXPECT_EQ(2u, d().timers[1].id);
    EXPECT_FALSE(LeftStillDown(app, WM_TIMER, 2, 0));  // already stopped
}

TEST_F(LifecycleTest, InputMapsTheLibraryIntoAProcessAndStillReachesItsWindow) {
    const int editor = d().AddProcess("editor");
    HWND target = MakeWindow("target", {100, 100, 300, 300}, "Edit", editor);
    d().focus = target;
    ASSERT_EQ(1, InstallHook(app, 0));
    EXPECT_FALSE(d().LibraryLoaded(editor));

    d().cursor = {150, 150};
    os::mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    os::mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    os::keybd_event('A', 0x1E, 0, 0);
    d().Pump();

    EXPECT_TRUE(d().LibraryLoaded(editor));
    // DllMain ran there and kept that process's own module handle.
    EXPECT_NE(nullptr, d().StateOf(editor).moduleInstance);
    EXPECT_NE(d().StateOf(0).moduleInstance, d().StateOf(editor).moduleInstance);
    const uint32_t client = static_cast<uint32_t>(MAKELPARAM(150 - 104, 150 - 124));
    EXPECT_EQ((std::vector<sim::Message>{{"target", WM_LBUTTONDOWN, 0, client},
                                         {"target", WM_LBUTTONUP, 0, client},
                                         {"target", WM_KEYDOWN, 'A', 0x001E0001u}}),
              d().PostedTo(target));
}

TEST_F(LifecycleTest, HookProceduresPassEveryCallOnUnchanged) {
    ASSERT_EQ(1, InstallHook(app, 0));
    d().chainResult = 77;
    MOUSEHOOKSTRUCTEX info{};
    MSG msg{};
    msg.message = WM_MOUSEWHEEL;
    for (int code : {HC_ACTION, 3, -1}) {
        EXPECT_EQ(77, MouseProc(code, WM_LBUTTONDOWN, reinterpret_cast<LPARAM>(&info)));
        EXPECT_EQ(77, KeyboardProc(code, 'A', 0x001E0001));
        EXPECT_EQ(77, GetMsgProc(code, PM_REMOVE, reinterpret_cast<LPARAM>(&msg)));
    }
    EXPECT_EQ(static_cast<UINT>(WM_MOUSEWHEEL), msg.message);
}

}  // namespace
