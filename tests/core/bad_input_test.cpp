// What the library does with bad input from a controlling program or from
// the desktop: null pointers to the exports, a window that goes away while an
// action works on it.  Each case ends quietly, with nothing read or written
// where it should not be and no key left down.
#include "actions/action_test.h"
#include "actions/dispatcher.h"
#include "actions/playback.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>

namespace {

class BadInputTest : public ActionTest {};

TEST_F(BadInputTest, NullPointersToEveryExport) {
    // No notification window: the hooks run, and post nothing anywhere (a
    // post to no window would land in the hooked program's own queue).
    ASSERT_EQ(1, InstallHook(nullptr, 0));
    HookSettings s = SettingsWith({{ACTION_NOTIFY_8, VK_LBUTTON}});
    s.captureMode = 1;
    UpdateSettings(&s);
    d().TakeTrace();
    MOUSEHOOKSTRUCTEX info{};
    info.pt = {10, 10};
    // In a program's process (the shell's: input for no window).
    d().InProcess(sim::Desktop::kShell, [&] {
        EXPECT_EQ(1, MouseProc(HC_ACTION, WM_LBUTTONDOWN, reinterpret_cast<LPARAM>(&info)));
        return KeyboardProc(HC_ACTION, 'A', 0x001E0001);
    });
    for (const std::string& line : d().TakeTrace()) EXPECT_EQ(std::string::npos, line.find("post")) << line;
    EXPECT_TRUE(d().threadQueue.empty());

    // Hook procedures without their record pass the call on.
    d().chainResult = 55;
    EXPECT_EQ(55, MouseProc(HC_ACTION, WM_LBUTTONDOWN, 0));
    EXPECT_EQ(55, GetMsgProc(HC_ACTION, PM_REMOVE, 0));
    EXPECT_EQ(55, JournalPlaybackFunc(HC_GETNEXT, 0, 0));

    // The copy-out export fills what it is given and skips the rest.
    std::memcpy(Shared().rememberedClass, "Button", 7);
    std::memcpy(Shared().rememberedTitle, "OK", 3);
    Shared().rememberedPoint = {3, 4};
    for (int given = 0; given < 8; ++given) {
        char className[40] = "-";
        char title[40] = "-";
        WexPoint point{-1, -1};
        GetRememberedWindow((given & 1) ? className : nullptr, (given & 2) ? title : nullptr,
                            (given & 4) ? &point : nullptr);
        EXPECT_STREQ((given & 1) ? "Button" : "-", className);
        EXPECT_STREQ((given & 2) ? "OK" : "-", title);
        EXPECT_EQ((given & 4) ? 3 : -1, point.x);
    }
    // A timer callback for no window stops nothing.
    EXPECT_EQ(FALSE, LeftStillDown(nullptr, WM_TIMER, 1, 0));
    // The record exports: see RecordsTest.NullAddressesFromTheControllingProgramAreIgnored.
}

TEST_F(BadInputTest, AWindowDestroyedDuringAnActionEndsItQuietly) {
    struct Case {
        const char* name;
        int action;
        sim::Lines expected;
    };
    const Case cases[] = {
        // The window answers its hit test and is gone before the click lands.
        {"click at the cursor", ACTION_CLICK_AT_CURSOR,
         Join(ForegroundLines("win"),
              {"send win 0x84 0x0 0x960096", "focus win", "post-lost win 0x201 0x0 0x960096",
               "post-lost win 0x202 0x0 0x960096"})},
        // Ctrl-click: pressed over the client area, released over no window.
        {"Ctrl-click",
         ACTION_CTRL_CLICK,
         {"send win 0x84 0x0 0x960096", KeyDown(VK_CONTROL), kActionLeftDown, kActionLeftUp,
          KeyUp(VK_CONTROL)}},
        // Alt+Left: the window with the focus goes while Alt waits.
        {"Alt+arrow",
         ACTION_BACK,
         {KeyDown(VK_MENU), "sleep 50", KeyDown(VK_LEFT), KeyUp(VK_MENU), "sleep 50", KeyUp(VK_LEFT)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        HWND win = Target("win", HTCLIENT);
        d().foreground = win;
        d().focus = win;
        d().cursor = {150, 150};
        d().W(win).onSend = [this, win](UINT, WPARAM, LPARAM) {
            d().DestroyWindow(win);
            return static_cast<LRESULT>(HTCLIENT);
        };
        d().duringSleep = [this, win] { d().DestroyWindow(win); };
        Fresh();
        ExecuteAction(c.action, 0, 0);
        ExecuteAction(c.action, 0, 1);
        EXPECT_EQ(c.expected, d().TakeTrace());
        EXPECT_FALSE(AnyKeyDown());
    }
}

}  // namespace

// A process that may not open the shared state (a sandboxed one) still gets
// every event, untouched: nothing is consumed, counted, posted or injected
// there, and the hooks pass each call on.  Its exports do nothing.
TEST_F(BadInputTest, AProcessWithoutTheSharedStatePassesEverythingOn) {
    HookSettings s = SettingsWith({{ACTION_COPY, VK_RBUTTON}, {ACTION_NOTIFY_8, 'A'}});
    s.captureMode = 1;
    s.trackDistance = 1;
    UpdateSettings(&s);
    ASSERT_EQ(1, InstallHook(app, 0));
    const int sandbox = d().AddProcess("sandbox");
    d().mappingRefused.insert(sandbox);
    HWND win = MakeWindow("win", {100, 100, 500, 400}, "SimWindow", sandbox);
    d().focus = win;
    d().foreground = win;
    d().TakeTrace();

    d().cursor = {200, 200};
    os::mouse_event(MOUSEEVENTF_RIGHTDOWN | MOUSEEVENTF_RIGHTUP, 0, 0, 0, 0);
    d().KeyboardInput('A', false);
    d().KeyboardInput('A', true);
    d().Pump();
    d().RunMessageLoop();

    EXPECT_FALSE(d().StateOf(sandbox).shared);
    sim::Lines effects;
    for (const std::string& line : d().TakeTrace()) {
        if (line.rfind("post ", 0) == 0 || line.rfind("key ", 0) == 0) effects.push_back(line);
    }
    EXPECT_EQ(sim::Lines{}, effects);
    std::vector<uint32_t> received;
    for (const sim::Message& m : d().W(win).posted) received.push_back(m.message);
    EXPECT_EQ((std::vector<uint32_t>{WM_RBUTTONDOWN, WM_RBUTTONUP, WM_KEYDOWN, WM_KEYUP}), received);
    HookStatistics totals{};
    GetStatistics(&totals);
    EXPECT_EQ(0u, totals.rightClicks);
    EXPECT_EQ(0u, totals.keystrokes);

    // Its exports, called in it, neither read nor write the records.
    d().EnterProcess(sandbox);
    HookSettings back;
    std::memset(&back, 0x5A, sizeof back);
    GetSettings(&back);
    UpdateSettings(&back);
    EXPECT_EQ(0x5A5A5A5A, back.bindingCount);
    EXPECT_EQ(0, InstallHook(win, 0));
    EXPECT_EQ(0, PressAndHoldCallBack(VK_LBUTTON));
    d().EnterProcess(0);
    GetSettings(&back);
    EXPECT_EQ(2, back.bindingCount);
    EXPECT_EQ(app, NotifyWindow());
}

// A window whose thread stopped pumping messages must not freeze the
// program a hook runs in: every send to it is bounded, and a send that gives
// up counts as "not the client area" and "not a caption button".
TEST_F(BadInputTest, SendsToAHungWindowGiveUpAndCountAsNoAnswer) {
    struct Case {
        const char* name;
        std::function<LRESULT()> run;
        LRESULT result;
        std::string outcome;  // a trace line that shows what followed
    };
    const Case cases[] = {
        {"click at the cursor", [] { return ExecuteAction(ACTION_CLICK_AT_CURSOR, 0, 0); }, 1,
         "post win 0xA1 0x0 0x960096"},
        {"Ctrl-click", [] { return ExecuteAction(ACTION_CTRL_CLICK, 0, 0); }, 0, ""},
        {"the caption test of a played press",
         [] {
             PlayMouseMessage(WM_LBUTTONDOWN);
             return LRESULT{1};
         },
         1, "hook install 1"},
        {"the task list", [] { return ExecuteAction(ACTION_TASK_LIST, 0, 1); }, 1, ""},
        {"the right-button filter",
         [this] {
             Shared().settings[0].rightButtonFilter = 1;
             MOUSEHOOKSTRUCTEX info{};
             info.pt = d().cursor;
             return d().InProcess(sim::Desktop::kShell, [&] {
                 return MouseProc(HC_ACTION, WM_RBUTTONDOWN, reinterpret_cast<LPARAM>(&info));
             });
         },
         1, "mouse LEFTDOWN"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        ASSERT_EQ(1, InstallHook(app, 0));
        HWND win = Target("win", HTCLIENT);
        d().W(win).hung = true;
        d().W(d().desktopWindow()).hung = true;
        d().cursor = {150, 150};
        Fresh();
        EXPECT_EQ(c.result, c.run());
        const sim::Lines trace = d().TakeTrace();
        int timedOut = 0;
        for (const std::string& line : trace) {
            timedOut += line.rfind("send-timeout ", 0) == 0 ? 1 : 0;
            EXPECT_NE(0u, line.rfind("send ", 0)) << line;
            EXPECT_NE(0u, line.rfind("send-unbounded ", 0)) << line;
        }
        EXPECT_EQ(1, timedOut);
        if (!c.outcome.empty()) {
            EXPECT_NE(trace.end(), std::find(trace.begin(), trace.end(), c.outcome));
        }
        EXPECT_FALSE(d().KeyDown(VK_CONTROL));
    }
}
