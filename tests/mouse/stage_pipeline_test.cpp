// Single-click open, the wiggle detectors and the right-button filter inside
// the whole mouse hook, with real injected input: what a stage injects goes
// round through the hook again, as on Windows.
#include "mouse_test.h"
#include "platform/sim/controls.h"

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

using Lines = sim::Lines;

class StagePipelineTest : public MouseTest {
protected:
    // Messages a window received since the last call, by id.
    std::vector<UINT> ReceivedBy(HWND window) {
        std::vector<UINT> ids;
        for (const sim::Message& m : d().PostedTo(window)) ids.push_back(m.message);
        d().W(window).posted.clear();
        return ids;
    }
    // The notifications the controlling program got, as (code, argument).
    std::vector<std::pair<uint32_t, uint32_t>> Notifications() {
        std::vector<std::pair<uint32_t, uint32_t>> out;
        for (const sim::Message& m : d().PostedTo(app)) {
            if (m.message == WM_HOOK_NOTIFY) out.push_back({m.wParam, m.lParam});
        }
        d().W(app).posted.clear();
        return out;
    }
    static int Total(const std::map<std::string, int>& calls) {
        int total = 0;
        for (auto& call : calls) total += call.second;
        return total;
    }
};

using N = std::pair<uint32_t, uint32_t>;

TEST_F(StagePipelineTest, AClickOnAFolderItemOpensItAndADoubleClickDoesNotOpenItAgain) {
    sim::ShellView folder = sim::AddFolderWindow(d(), {520, 100, 1000, 500}, {{0, 0, 200, 40}}, editor);
    HookSettings s{};
    s.singleClickFolders = 1;
    Use(s);
    // The folder's list view starts at (524, 124).
    const POINT item = {550, 140};
    const std::vector<UINT> opened = {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP};
    std::vector<UINT> firstClick = {WM_LBUTTONDOWN};
    firstClick.insert(firstClick.end(), opened.begin(), opened.end());

    Click(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, item);
    // The view saw the real press, then the double-click posted in place of
    // the consumed release; the controlling program heard of the press only.
    EXPECT_EQ(firstClick, ReceivedBy(folder.list));
    EXPECT_EQ((std::vector<N>{{NOTIFY_BUTTON, 2}}), Notifications());

    // The second click of a double-click: the system turns its press into a
    // double-click, which is consumed with the release after it.
    Click(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, item);
    EXPECT_EQ(std::vector<UINT>{}, ReceivedBy(folder.list));
    EXPECT_EQ(std::vector<N>{}, Notifications());
    EXPECT_EQ(1u, Shared().statistics.singleClickOpens);
    EXPECT_EQ(2u, Shared().statistics.leftClicks);
    EXPECT_EQ(1u, Shared().statistics.doubleClicks);

    // Later, a click that drags 6 pixels is the view's own.
    d().Advance(1000);
    Input(MOUSEEVENTF_LEFTDOWN, item);
    Input(MOUSEEVENTF_LEFTUP, {item.x + 6, item.y});
    EXPECT_EQ((std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}), ReceivedBy(folder.list));
    EXPECT_EQ(1u, Shared().statistics.singleClickOpens);
}

TEST_F(StagePipelineTest, FilteredRightAndMiddleClicksArriveAsLeftClicks) {
    struct Case {
        const char* name;
        DWORD down, up;
        UINT counted;  // the client press the hook counted first
    };
    const Case cases[] = {
        {"right", MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, WM_RBUTTONDOWN},
        {"middle", MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP, WM_MBUTTONDOWN},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        HookSettings s{};
        s.rightButtonFilter = 1;
        Use(s);
        const Lines lines = Click(c.down, c.up, kClient);
        // The right or middle message is consumed before it is reported; the
        // left press and release made in its place are reported and reach
        // the window.  The release pairs with the injected press, so it needs
        // no hit test.
        EXPECT_EQ((Lines{Send("win", WM_NCHITTEST, 0, MAKELPARAM(200, 200)), "mouse LEFTDOWN",
                         Notify(NOTIFY_BUTTON, 2, "app"), "mouse LEFTUP", Notify(NOTIFY_BUTTON, 5, "app")}),
                  lines);
        EXPECT_EQ((std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}), Received());
        EXPECT_EQ(c.counted == WM_RBUTTONDOWN ? 1u : 0u, Shared().statistics.rightClicks);
        EXPECT_EQ(1u, Shared().statistics.leftClicks);
        EXPECT_FALSE(d().KeyDown(VK_LBUTTON));
    }
}

TEST_F(StagePipelineTest, NonClientRightButtonsNeverReachTheFilter) {
    // A sizing border is a part where the filter would act, were it asked.
    d().W(win).hitRegions.push_back({{480, 380, 500, 400}, HTBOTTOMRIGHT});
    HookSettings s{};
    s.rightButtonFilter = 1;
    Use(s);
    EXPECT_EQ((Lines{Notify(NOTIFY_BUTTON, 3, "app"), Notify(NOTIFY_BUTTON, 6, "app")}),
              Click(MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, {490, 390}));
    EXPECT_EQ((std::vector<UINT>{WM_NCRBUTTONDOWN, WM_NCRBUTTONUP}), Received());
}

TEST_F(StagePipelineTest, AReportedShakeSwitchesDetectionOffUntilTheSettingsAreWrittenAgain) {
    HookSettings s{};
    s.wiggleDetect = 1;
    s.moveWiggleSensitivity = 10;
    s.clickWiggleSensitivity = 13;  // a report from the third quick click on
    Use(s);
    int reports = 0;
    for (int i = 0; i < 30; ++i) {
        d().Advance(100);
        for (const std::string& line : Input(MOUSEEVENTF_MOVE, {i % 2 == 0 ? 150 : 450, 300})) {
            reports += line == Notify(NOTIFY_WIGGLE, 0, "app");
        }
    }
    EXPECT_EQ(1, reports);
    HookSettings read{};
    GetSettings(&read);
    EXPECT_EQ(0, read.wiggleDetect);

    // Detection is off: quick clicks report nothing but themselves.
    Notifications();
    for (int i = 0; i < 4; ++i) {
        d().Advance(100);
        Click(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, kClient);
    }
    const std::vector<N> click = {{NOTIFY_BUTTON, 2}, {NOTIFY_BUTTON, 5}};
    std::vector<N> clicks;
    for (int i = 0; i < 4; ++i) clicks.insert(clicks.end(), click.begin(), click.end());
    EXPECT_EQ(clicks, Notifications());

    // Written again, it is on: the third quick press reports, before its
    // button notification.  (The window asks for no double-clicks.)
    Use(s);
    Lines lines;
    for (int i = 0; i < 3; ++i) {
        d().Advance(100);
        lines = Input(MOUSEEVENTF_LEFTDOWN, kClient);
        Input(MOUSEEVENTF_LEFTUP, kClient);
    }
    EXPECT_EQ((Lines{Notify(NOTIFY_WIGGLE, 0, "app"), Notify(NOTIFY_BUTTON, 2, "app")}), lines);
}

// Platform calls the stages add, counted on the simulated desktop: a cursor
// move with wiggle detection on, and a left release that opens a folder item.
TEST_F(StagePipelineTest, PlatformCallsOfTheStages) {
    sim::ShellView folder = sim::AddFolderWindow(d(), {520, 100, 1000, 500}, {{0, 0, 200, 40}}, editor);
    HookSettings s{};
    s.wiggleDetect = 1;
    s.singleClickFolders = 1;
    Use(s);
    Input(MOUSEEVENTF_MOVE, {300, 300});  // the first move ever sets the threshold

    // Input() injects the event through os::mouse_event itself.
    d().osCalls.clear();
    Input(MOUSEEVENTF_MOVE, {310, 300});
    d().osCalls.erase("mouse_event");
    const std::map<std::string, int> move = {{"CallNextHookEx", 1}, {"GetTickCount", 1}};
    EXPECT_EQ(move, d().osCalls);

    Input(MOUSEEVENTF_LEFTDOWN, {550, 140});
    d().osCalls.clear();
    Input(MOUSEEVENTF_LEFTUP, {550, 140});
    d().osCalls.erase("mouse_event");
    const std::map<std::string, int> release = {
        // The stage: where the click is, the view under it, its class, the
        // modifier keys, the shell view's chain, the view's process, the hit
        // test.
        {"GetCursorPos", 2},
        {"WindowFromPoint", 2},
        {"ScreenToClient", 3},
        {"ChildWindowFromPoint", 1},
        {"GetClassNameA", 3},
        {"lstrcmpA", 3},
        {"GetAsyncKeyState", 2},
        {"GetParent", 2},
        {"GetWindowThreadProcessId", 1},
        {"GetCurrentProcessId", 1},
        {"SendMessageTimeoutA", 2},
        // The open: the foreground, focus and the posted double-click.
        {"SystemParametersInfoA", 3},
        {"SetForegroundWindow", 1},
        {"SetFocus", 1},
        {"GetClassLongA", 1},
        {"PostMessageA", 4},
    };
    EXPECT_EQ(release, d().osCalls);
    EXPECT_EQ(1u, Shared().statistics.singleClickOpens);
    std::printf("move with wiggle detection on: %d platform calls; left release opening a list item: %d\n",
                Total(move), Total(release));
    (void)folder;
}

}  // namespace
