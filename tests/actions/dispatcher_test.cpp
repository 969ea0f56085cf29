// The action dispatcher: what each action injects, posts, launches and
// returns, in both phases.
#include "actions/dispatcher.h"

#include "action_test.h"

#include <climits>

namespace {

using DispatcherTest = ActionTest;

struct KeyCase {
    int action;
    int release;
    std::vector<int> down;  // keys held before the call
    sim::Lines expected;
};

TEST_F(DispatcherTest, KeyActionsInjectTheirKeysInBothPhases) {
    const std::string sleep200 = "sleep 200", sleep50 = "sleep 50";
    const KeyCase cases[] = {
        {ACTION_TAP_1, 0, {}, {KeyDown('1'), sleep200, KeyUp('1')}},
        {ACTION_TAP_2, 0, {}, {KeyDown('2'), sleep200, KeyUp('2')}},
        {ACTION_TAP_SPACE, 0, {}, {KeyDown(VK_SPACE), sleep200, KeyUp(VK_SPACE)}},
        {ACTION_TAP_ENTER, 0, {VK_MENU}, {KeyDown(VK_RETURN), sleep200, KeyUp(VK_RETURN)}},
        // The Ctrl chords: Alt let up first, then both keys unconditionally.
        {ACTION_CUT, 0, {}, {KeyDown(VK_CONTROL), KeyDown('X')}},
        {ACTION_CUT, 0, {VK_MENU}, {KeyUp(VK_MENU), KeyDown(VK_CONTROL), KeyDown('X')}},
        {ACTION_CUT, 1, {}, {KeyUp(VK_CONTROL), KeyUp('X')}},
        {ACTION_CUT, 1, {VK_MENU, VK_CONTROL, 'X'}, {KeyUp(VK_MENU), KeyUp(VK_CONTROL), KeyUp('X')}},
        {ACTION_COPY, 0, {VK_CONTROL}, {KeyDown(VK_CONTROL), KeyDown('C')}},
        {ACTION_COPY, 1, {VK_LMENU}, {KeyUp(VK_MENU), KeyUp(VK_CONTROL), KeyUp('C')}},
        {ACTION_PASTE, 0, {}, {KeyDown(VK_CONTROL), KeyDown('V')}},
        {ACTION_PASTE, 1, {}, {KeyUp(VK_CONTROL), KeyUp('V')}},
        // Alt+arrow: each key only moved if it is not already there.
        {ACTION_BACK, 0, {}, {KeyDown(VK_MENU), sleep50, KeyDown(VK_LEFT)}},
        {ACTION_BACK, 0, {VK_MENU}, {sleep50, KeyDown(VK_LEFT)}},
        {ACTION_BACK, 1, {VK_MENU, VK_LEFT}, {KeyUp(VK_MENU), sleep50, KeyUp(VK_LEFT)}},
        {ACTION_BACK, 1, {}, {sleep50}},
        {ACTION_FORWARD, 0, {VK_RIGHT}, {KeyDown(VK_MENU), sleep50}},
        {ACTION_FORWARD, 1, {VK_MENU, VK_RIGHT}, {KeyUp(VK_MENU), sleep50, KeyUp(VK_RIGHT)}},
        // Single held keys, with a held Alt let up first.
        {ACTION_BACKSPACE, 0, {}, {KeyDown(VK_BACK)}},
        {ACTION_BACKSPACE, 0, {VK_BACK}, {}},
        {ACTION_BACKSPACE, 0, {VK_MENU}, {KeyUp(VK_MENU), KeyDown(VK_BACK)}},
        {ACTION_BACKSPACE, 1, {VK_BACK}, {KeyUp(VK_BACK)}},
        {ACTION_BACKSPACE, 1, {}, {}},
        {ACTION_BACKSPACE, 1, {VK_RMENU, VK_BACK}, {KeyUp(VK_MENU), KeyUp(VK_BACK)}},
        {ACTION_CLEAR, 0, {}, {KeyDown(VK_CLEAR)}},
        {ACTION_CLEAR, 1, {VK_CLEAR}, {KeyUp(VK_CLEAR)}},
        {ACTION_PAGE_UP, 0, {VK_MENU}, {KeyUp(VK_MENU), KeyDown(VK_PRIOR)}},
        {ACTION_PAGE_UP, 1, {VK_PRIOR}, {KeyUp(VK_PRIOR)}},
        {ACTION_PAGE_DOWN, 0, {}, {KeyDown(VK_NEXT)}},
        {ACTION_PAGE_DOWN, 1, {VK_NEXT}, {KeyUp(VK_NEXT)}},
        {ACTION_ESCAPE, 0, {}, {KeyDown(VK_ESCAPE)}},
        {ACTION_ESCAPE, 1, {VK_MENU, VK_ESCAPE}, {KeyUp(VK_MENU), KeyUp(VK_ESCAPE)}},
    };
    for (const KeyCase& k : cases) {
        SCOPED_TRACE("action " + std::to_string(k.action) + " release " + std::to_string(k.release));
        Fresh();
        for (int vk : k.down) d().SetKeyDown(vk, true);
        EXPECT_EQ(1, ExecuteAction(k.action, 0, k.release));
        EXPECT_EQ(k.expected, d().TakeTrace());
    }
}

TEST_F(DispatcherTest, EveryKeyActionLeavesNoKeyDownAfterItsRelease) {
    Target("t", HTCLIENT);
    d().cursor = {150, 150};
    for (int action : {13, 14, 15, 16, 25, 31, 32, 33, 34, 35, 36, 37, 40, 41, 43, 44}) {
        SCOPED_TRACE(action);
        Fresh();
        ExecuteAction(action, 0, 0);
        ExecuteAction(action, 0, 1);
        EXPECT_FALSE(AnyKeyDown());
    }
}

TEST_F(DispatcherTest, PressOnlyActionsDoNothingOnRelease) {
    // A desktop on which every press-only action would act.
    HWND front = Target("front", HTCLIENT);
    d().foreground = front;
    d().cursor = {150, 150};
    d().SetProfileString("system.ini", "boot", "SCRNSAVE.EXE", "saver.scr");
    Fresh();
    for (int action :
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 18, 21, 22, 26, 27, 28, 38, 39, 42}) {
        SCOPED_TRACE(action);
        EXPECT_EQ(1, ExecuteAction(action, 5, 1));
        EXPECT_EQ(sim::Lines{}, d().TakeTrace());
    }
    // Release-only actions swallow their press and do nothing with it; so do
    // the swallow action and codes outside the table, in both phases.
    for (int action : {30, 43, 21, 45, -1, 1000, INT_MIN, INT_MAX}) {
        SCOPED_TRACE(action);
        EXPECT_EQ(1, ExecuteAction(action, 5, 0));
        if (action != 30 && action != 43) {
            EXPECT_EQ(1, ExecuteAction(action, 5, 1));
        }
        EXPECT_EQ(sim::Lines{}, d().TakeTrace());
    }
}

struct NotifyCase {
    int action;
    int release;
    int parameter;
    int code;
    uint32_t argument;
};

TEST_F(DispatcherTest, NotifyingActionsPostTheirCodeAndArgument) {
    const NotifyCase cases[] = {
        {10, 0, 0, 13, 0}, {11, 0, 0, 13, 1},          {12, 0, 0, 13, 2},
        {17, 0, 0, 5, 0},  {17, 1, 0, 5, 1},           {18, 0, 0, 8, 0},
        {19, 0, 0, 6, 0},  {19, 1, 0, 6, 1},           {20, 0, 0, 7, 0},
        {20, 1, 0, 7, 1},  {22, 0, 1234, 10, 1234},    {22, 0, -7, 10, 0xFFFFFFF9u},
        {23, 0, 0, 14, 0}, {23, 1, 0, 15, 0},          {24, 0, 0, 14, 0},
        {24, 1, 0, 15, 0}, {26, 0, 0, 0, 0xFFFFFFFFu}, {29, 0, 0, 25, 0xFFFFFFFFu},
    };
    for (const NotifyCase& k : cases) {
        SCOPED_TRACE("action " + std::to_string(k.action) + " release " + std::to_string(k.release));
        EXPECT_EQ(1, ExecuteAction(k.action, k.parameter, k.release));
        EXPECT_EQ(sim::Lines{Notify(k.code, k.argument)}, d().TakeTrace());
    }
    // Action 29's release posts nothing.
    EXPECT_EQ(1, ExecuteAction(29, 0, 1));
    EXPECT_EQ(sim::Lines{}, d().TakeTrace());
}

TEST_F(DispatcherTest, Action29LetsTheTriggerThroughWhenBypassed) {
    Shared().settings[0].action29Bypass = 1;
    EXPECT_EQ(0, ExecuteAction(29, 0, 0));
    EXPECT_EQ(1, ExecuteAction(29, 0, 1));
    EXPECT_EQ(sim::Lines{}, d().TakeTrace());
}

TEST_F(DispatcherTest, LaunchesAndWindowCommands) {
    HWND front = MakeWindow("front", {0, 0, 100, 100});
    d().foreground = front;
    // Programs by their full path, never a bare name that the hooked
    // program's own folder could answer.
    const std::string system = "exec '\"C:\\windows\\system32\\";
    const std::pair<int, std::string> cases[] = {
        {1, system + "notepad.exe\"' 5"},  {2, system + "write.exe\"' 1"},
        {3, system + "pbrush.exe\"' 1"},   {4, system + "calc.exe\"' 1"},
        {5, system + "sol.exe\"' 1"},      {6, system + "charmap.exe\"' 1"},
        {8, system + "control.exe\"' 1"},  {28, "exec '\"C:\\windows\\explorer.exe\"' 1"},
        {27, "post front 0x112 0xF060 0x0"}, {38, "show front 3"},
        {39, "show front 6"},               {42, "show front 6"},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.first);
        EXPECT_EQ(1, ExecuteAction(k.first, 0, 0));
        EXPECT_EQ(sim::Lines{k.second}, d().TakeTrace());
    }
    // With no foreground window only action 42 calls ShowWindow (which
    // fails); action 27 posts nothing, not even into the thread's own queue.
    d().foreground = nullptr;
    for (int action : {27, 38, 39, 42}) EXPECT_EQ(1, ExecuteAction(action, 0, 0));
    EXPECT_EQ(sim::Lines{"show null 6"}, d().TakeTrace());
    EXPECT_TRUE(d().threadQueue.empty());
    // A system folder too long to read starts nothing.
    d().systemDirectory = std::string(300, 'x');
    EXPECT_EQ(1, ExecuteAction(4, 0, 0));
    EXPECT_TRUE(d().launched.size() == 8);
}

TEST_F(DispatcherTest, CentreCursorHalvesTheScreenSize) {
    const int sizes[][4] = {{1023, 767, 511, 383}, {1024, 768, 512, 384}, {1, 1, 0, 0}};
    for (const auto& s : sizes) {
        d().screenWidth = s[0];
        d().screenHeight = s[1];
        EXPECT_EQ(1, ExecuteAction(9, 0, 0));
        EXPECT_EQ(sim::Lines{"cursor " + std::to_string(s[2]) + " " + std::to_string(s[3])}, d().TakeTrace());
    }
}

TEST_F(DispatcherTest, ScreenSaverRunsTheConfiguredPathQuotedWhenItHasSpaces) {
    const std::string longDir(250, 'd');
    const std::pair<const char*, std::string> cases[] = {
        {nullptr, " /s"},
        {"C:\\WINDOWS\\stars.scr", "C:\\WINDOWS\\stars.scr /s"},
        {"C:\\Program Files\\My Saver.scr", "\"C:\\Program Files\\My Saver.scr\" /s"},
        {"\"C:\\Program Files\\My Saver.scr\"", "\"C:\\Program Files\\My Saver.scr\" /s"},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.second);
        SetUp();
        if (k.first) d().SetProfileString("system.ini", "boot", "SCRNSAVE.EXE", k.first);
        EXPECT_EQ(1, ExecuteAction(7, 0, 0));
        EXPECT_EQ((sim::Lines{"sleep 450", "exec '" + k.second + "' 1"}), d().TakeTrace());
    }
    // The longest value the read can return (259 characters), with a space.
    const std::string longest = "C:\\a b\\" + std::string(252, 'x');
    d().SetProfileString("system.ini", "boot", "SCRNSAVE.EXE", longest + "ignored");
    ExecuteAction(7, 0, 0);
    EXPECT_EQ("\"" + longest + "\" /s", d().launched.back());
}

TEST_F(DispatcherTest, CtrlClickOnlyOverAClientArea) {
    HWND t = Target("t", HTCLIENT);
    d().cursor = {150, 130};
    const std::string hit = Send("t", WM_NCHITTEST, 0, 0x820096);
    EXPECT_EQ(1, ExecuteAction(25, 0, 0));
    EXPECT_EQ((sim::Lines{hit, KeyDown(VK_CONTROL), kActionLeftDown}), d().TakeTrace());
    // The release lets up what the press pushed, with no question asked.
    EXPECT_EQ(1, ExecuteAction(25, 0, 1));
    EXPECT_EQ((sim::Lines{kActionLeftUp, KeyUp(VK_CONTROL)}), d().TakeTrace());

    // Over a caption, a border or a menu the trigger passes through
    // untouched, and so does its release: the press pushed nothing.
    for (int answer : {HTCAPTION, HTLEFT, HTMENU}) {
        d().W(t).hitRegions = {{{100, 100, 500, 400}, answer}};
        EXPECT_EQ(0, ExecuteAction(25, 0, 0));
        EXPECT_EQ(0, ExecuteAction(25, 0, 1));
        EXPECT_EQ((sim::Lines{hit}), d().TakeTrace());
    }
    // And over no window at all.
    d().cursor = {800, 600};
    EXPECT_EQ(0, ExecuteAction(25, 0, 0));
    EXPECT_EQ(0, ExecuteAction(25, 0, 1));
    EXPECT_EQ(sim::Lines{}, d().TakeTrace());
}

TEST_F(DispatcherTest, CtrlClickReleasedOffTheClientAreaLeavesNothingDown) {
    HWND t = Target("t", HTCLIENT);
    d().cursor = {150, 130};
    ExecuteAction(25, 0, 0);
    // The cursor moves onto the caption before the trigger is let go.
    d().W(t).hitRegions = {{{100, 100, 500, 400}, HTCAPTION}};
    d().TakeTrace();
    EXPECT_EQ(1, ExecuteAction(25, 0, 1));
    EXPECT_EQ((sim::Lines{kActionLeftUp, KeyUp(VK_CONTROL)}), d().TakeTrace());
    EXPECT_FALSE(AnyKeyDown());
    // Moved off every window.
    d().cursor = {150, 130};
    d().W(t).hitRegions.clear();
    ExecuteAction(25, 0, 0);
    d().cursor = {800, 600};
    d().TakeTrace();
    EXPECT_EQ(1, ExecuteAction(25, 0, 1));
    EXPECT_EQ((sim::Lines{kActionLeftUp, KeyUp(VK_CONTROL)}), d().TakeTrace());
}

class CycleTest : public DispatcherTest {
protected:
    HWND Top(const std::string& name, const std::string& className = "SimWindow",
             uint32_t style = WS_OVERLAPPEDWINDOW, bool visible = true) {
        sim::WindowSpec spec;
        spec.name = name;
        spec.className = className;
        spec.style = style;
        spec.visible = visible;
        HWND w = d().CreateWindow(spec);
        d().W(w).parent = nullptr;
        return w;
    }
    // Top-level windows created later lie above earlier ones.
    std::vector<std::string> ZOrder() {
        std::vector<std::string> names;
        for (HWND w : d().TopLevelZOrder()) names.push_back(d().NameOf(w));
        return names;
    }
};

TEST_F(CycleTest, RaisesTheLowestEligibleWindowEachTime) {
    Top("c");
    Top("b");
    d().foreground = Top("a");
    Fresh();
    EXPECT_EQ(1, ExecuteAction(30, 0, 1));
    EXPECT_EQ(ForegroundLines("c"), d().TakeTrace());
    ExecuteAction(30, 0, 1);
    ExecuteAction(30, 0, 1);
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c", "app"}), ZOrder());
}

TEST_F(CycleTest, SkipsTheDesktopInvisibleAndChildStyledWindows) {
    Top("desk", "PROGMAN");
    Top("hidden", "SimWindow", WS_OVERLAPPEDWINDOW, false);
    Top("child", "SimWindow", WS_CHILD);
    d().foreground = Top("progman", "progman");
    Fresh();
    EXPECT_EQ(1, ExecuteAction(30, 0, 1));
    EXPECT_EQ(sim::Lines{}, d().TakeTrace());

    // A class name far beyond the buffer is read cut short and still counts.
    Top("long", std::string(300, 'L'));
    d().BringToTop(d().ByName("progman"));
    ExecuteAction(30, 0, 1);
    EXPECT_EQ(ForegroundLines("long"), d().TakeTrace());
}

TEST_F(CycleTest, NoForegroundWindowOrALoopingListEndsQuietly) {
    Top("b");
    Top("a");
    Fresh();
    EXPECT_EQ(1, ExecuteAction(30, 0, 1));
    EXPECT_EQ(sim::Lines{}, d().TakeTrace());

    // A window list that loops back to its top: the walk is cut off.
    d().foreground = d().ByName("a");
    d().zOrderLoops = true;
    d().getWindowCalls = 0;
    EXPECT_EQ(1, ExecuteAction(30, 0, 1));
    EXPECT_LE(d().getWindowCalls, 10001);
    EXPECT_EQ(4u, d().TakeTrace().size());  // one ForceForeground
}

TEST_F(DispatcherTest, TaskListTapsAltThenAsksTheDesktop) {
    d().cursor = {300, 200};
    const std::string request = Send("desktop", WM_SYSCOMMAND, SC_TASKLIST, 0x00C8012C);
    EXPECT_EQ(1, ExecuteAction(43, 0, 1));
    EXPECT_EQ((sim::Lines{"sleep 100", KeyDown(VK_MENU), "sleep 100", KeyUp(VK_MENU), "sleep 100", request}),
              d().TakeTrace());
    d().SetKeyDown(VK_MENU, true);
    EXPECT_EQ(1, ExecuteAction(43, 0, 1));
    EXPECT_EQ((sim::Lines{KeyUp(VK_MENU), "sleep 100", KeyDown(VK_MENU), "sleep 100", KeyUp(VK_MENU),
                          "sleep 100", request}),
              d().TakeTrace());
    EXPECT_FALSE(d().KeyDown(VK_MENU));
}

}  // namespace
