// The remembered button target, the screen-edge wrap, and what the pipeline
// costs in platform calls.
#include "mouse/mouse_test.h"

#include <map>

namespace {

using sim::Lines;

class StagesTest : public MouseTest {
protected:
    // A dialog owned by the editor's window, with a button placed at (10, 20)
    // of its client area.
    HWND MakeDialog(const std::string& title, const std::string& buttonClass) {
        sim::WindowSpec dialog;
        dialog.name = "dialog";
        dialog.className = "#32770";
        dialog.style = WS_POPUP | WS_CAPTION;
        dialog.text = title;
        dialog.owner = win;
        dialog.rect = {300, 200, 600, 400};
        dialog.client = {303, 225, 597, 397};
        dialog.process = editor;
        HWND d0 = d().CreateWindow(dialog);
        sim::WindowSpec button;
        button.name = "button";
        button.className = buttonClass;
        button.style = WS_CHILD;
        button.parent = d0;
        button.rect = {313, 245, 388, 268};
        button.client = button.rect;  // 75 by 23
        button.process = editor;
        return d().CreateWindow(button);
    }
};

TEST_F(StagesTest, APressOnAButtonRemembersItsTopWindowAndItsCentre) {
    HookSettings s{};
    s.rememberButtonClicks = 1;
    Use(s);
    struct Case {
        std::string title, buttonClass;
        bool remembered;
        std::string expectedTitle;
    };
    const std::string longTitle = "A dialog title that is longer than thirty-eight characters";
    const Case cases[] = {
        {"Save changes?", "Button", true, "Save changes?"},
        {longTitle, "BUTTON", true, longTitle.substr(0, 38)},
        {"Edit box", "Edit", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.buttonClass);
        sim::Reset();
        SetUp();
        Use(s);
        MakeDialog(c.title, c.buttonClass);
        const Lines expected = c.remembered
                                   ? Lines{Notify(NOTIFY_BUTTON_REMEMBERED, 0), Notify(NOTIFY_BUTTON, 2)}
                                   : Lines{Notify(NOTIFY_BUTTON, 2)};
        EXPECT_EQ(expected, Input(MOUSEEVENTF_LEFTDOWN, {350, 250}));
        char className[40] = "x", title[40] = "x";
        WexPoint point{-1, -1};
        GetRememberedWindow(className, title, &point);
        EXPECT_EQ(c.remembered ? "#32770" : "", std::string(className));
        EXPECT_EQ(c.expectedTitle, std::string(title));
        EXPECT_EQ(c.remembered ? 47 : 0, point.x);
        EXPECT_EQ(c.remembered ? 31 : 0, point.y);
        EXPECT_EQ('\0', Shared().rememberedTitle[39]);
    }
}

TEST_F(StagesTest, TheEdgeWrapJumpsToTheOppositeEdgeOutsideHotCorners) {
    const int cx = 1024, cy = 768;
    struct Case {
        int edges, aEnabled, aPosition, b;
        POINT at;
        std::vector<int> down;
        Lines jumps;
    };
    const Case cases[] = {
        {4, 0, 0, 0, {0, 300}, {}, {"cursor 1022 300"}},
        {8, 0, 0, 0, {cx - 1, 300}, {}, {"cursor 1 300"}},
        {1, 0, 0, 0, {500, cy - 1}, {}, {"cursor 500 1"}},
        {2, 0, 0, 0, {500, 0}, {}, {"cursor 500 766"}},
        {4, 0, 0, 0, {1, 300}, {}, {}},
        {2 | 4, 0, 0, 0, {0, 0}, {}, {"cursor 1022 0", "cursor 0 766"}},  // both, from the event's point
        {4, 0, 9, 1, {0, 31}, {}, {}},                                    // cornerB names top-left
        {4, 0, 9, 1, {0, 32}, {}, {"cursor 1022 32"}},
        {2, 0, 0, 2, {0, 0}, {}, {}},        // cornerB set: position A 0 counts too
        {2, 0, 0, 2, {cx - 31, 0}, {}, {}},  // top-right zone starts at cx - 31
        {2, 0, 9, 2, {cx - 32, 0}, {}, {"cursor 992 766"}},
        {2, 1, 4, 0, {cx - 31, 0}, {}, {}},  // corner A alone
        {1, 1, 6, 0, {cx - 31, cy - 1}, {}, {}},
        {1, 1, 6, 0, {cx - 32, cy - 1}, {}, {"cursor 992 1"}},
        {4, 1, 5, 0, {0, cy - 31}, {}, {}},
        {4, 0, 5, 0, {0, cy - 31}, {}, {"cursor 1022 737"}},  // neither switch on: no corners
        {4, 0, 0, 0, {0, 300}, {VK_LBUTTON}, {}},
        {4, 0, 0, 0, {0, 300}, {VK_RBUTTON}, {}},
        {4, 0, 0, 0, {0, 300}, {VK_MBUTTON}, {"cursor 1022 300"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.at.x) + "," + std::to_string(c.at.y) + " edges " +
                     std::to_string(c.edges));
        HookSettings s{};
        s.edgeWrap = 1;
        s.edgeWrapEdges = c.edges;
        s.cornerAEnabled = c.aEnabled;
        s.cornerAPosition = c.aPosition;
        s.cornerB = c.b;
        Use(s);
        d().keyState = {};
        for (int vk : c.down) d().SetKeyDown(vk, true);
        Shared().statistics.edgeWraps = 0;
        for (UINT id : {0x200u, 0xA0u}) {
            EXPECT_EQ(0, Hook(id, c.at));
            EXPECT_EQ(c.jumps, d().TakeTrace());
            // The same move handed to the hook again before the jump's own
            // move (Wine does) is no second push; after a move away, the
            // next push is a new one.
            EXPECT_EQ(0, Hook(id, c.at));
            EXPECT_EQ(Lines{}, d().TakeTrace());
            EXPECT_EQ(0, Hook(id, {500, 400}));
        }
        EXPECT_EQ(2 * c.jumps.size(), Shared().statistics.edgeWraps);
        d().pendingInput.clear();
    }
}

TEST_F(StagesTest, TheEdgeWrapNeedsShiftWhenAskedAndOnlyMovesWrap) {
    HookSettings s{};
    s.edgeWrap = 1;
    s.edgeWrapEdges = 4;
    s.edgeWrapNeedsShift = 1;
    Use(s);
    EXPECT_EQ(Lines{}, Input(MOUSEEVENTF_MOVE, {0, 300}));
    d().SetKeyDown(VK_SHIFT, true);
    EXPECT_EQ(Lines{Notify(NOTIFY_BUTTON, 4)}, Input(MOUSEEVENTF_MIDDLEDOWN, {0, 300}));
    EXPECT_EQ(Lines{Notify(NOTIFY_BUTTON, 7)}, Input(MOUSEEVENTF_MIDDLEUP, {0, 300}));
    EXPECT_EQ(Lines{}, Input(MOUSEEVENTF_WHEEL, {0, 300}, 120));
    // The jump is a move of its own, which reaches the window under the new
    // point and does not wrap again.
    HWND right = MakeWindow("right", {900, 0, 1024, 768}, "SimWindow", editor);
    d().W(right).client = d().W(right).rect;
    EXPECT_EQ((Lines{"cursor 1022 300"}), Input(MOUSEEVENTF_MOVE, {0, 300}));
    EXPECT_EQ(1022, d().cursor.x);
    EXPECT_EQ(1u, Shared().statistics.edgeWraps);

    ASSERT_EQ(1u, d().PostedTo(right).size());
    EXPECT_EQ(static_cast<uint32_t>(WM_MOUSEMOVE), d().PostedTo(right)[0].message);
}

// Each process keeps the screen size and reads it again after a display
// change, which the controlling program announces by pushing its settings
// (WM_DISPLAYCHANGE is sent to its window; sent messages pass no hook of the
// library), or which a point beyond the kept size shows.  Then the next move
// at the new right edge wraps, in every process.
TEST_F(StagesTest, AResolutionChangeIsPickedUpByTheNextMoveInEveryProcess) {
    HookSettings s{};
    s.edgeWrap = 1;
    s.edgeWrapEdges = 8;  // right
    // The right side of the screen: the other program's window above, the
    // editor's below.
    const int other = d().AddProcess("other");
    HWND above = MakeWindow("above", {600, 0, 1024, 350}, "SimWindow", other);
    HWND below = MakeWindow("below", {600, 350, 1024, 768}, "SimWindow", editor);
    for (HWND w : {above, below}) d().W(w).client = d().W(w).rect;
    for (const std::string how : {"settings pushed", "the screen grew"}) {
        SCOPED_TRACE(how);
        d().screenWidth = 1024;
        Use(s);
        // Each process reads the size with its first move, and then keeps it.
        Input(MOUSEEVENTF_MOVE, {700, 300});
        Input(MOUSEEVENTF_MOVE, {700, 500});
        d().osCalls.clear();
        Input(MOUSEEVENTF_MOVE, {710, 300});
        Input(MOUSEEVENTF_MOVE, {710, 500});
        EXPECT_EQ(0, d().osCalls["GetSystemMetrics"]);

        const int width = how == "settings pushed" ? 800 : 1280;
        d().screenWidth = width;
        if (how == "settings pushed") Use(s);
        if (how == "the screen grew") {
            for (POINT beyond : {POINT{1100, 300}, POINT{1100, 500}}) Input(MOUSEEVENTF_MOVE, beyond);
        }
        for (POINT at : {POINT{width - 1, 300}, POINT{width - 1, 500}}) {  // the other program, then the editor
            EXPECT_EQ((Lines{"cursor 1 " + std::to_string(at.y)}), Input(MOUSEEVENTF_MOVE, at));
        }
    }
}

// Platform calls per event, counted on the simulated desktop: the figures
// that keep the hook cheap on every mouse message.
TEST_F(StagesTest, PlatformCallsPerEvent) {
    HookSettings rows = SettingsWith({});
    for (int i = 0; i < WEXUTIL_BINDING_ROWS; ++i) {
        rows.bindings[i] = {ACTION_NOTIFY_5, 0, 'A' + i, 0, 0};  // keys: none matches a button
    }
    rows.bindingCount = WEXUTIL_BINDING_ROWS;
    HookSettings all = rows;
    all.captureMode = 1;
    all.rememberButtonClicks = 1;
    all.typingWatch = 1;
    all.trackDistance = 1;
    all.edgeWrap = 1;
    all.edgeWrapEdges = 15;
    all.edgeWrapNeedsShift = 1;
    all.cornerB = 1;
    struct Case {
        HookSettings settings;
        UINT message;
        POINT at;
        std::map<std::string, int> calls;
    };
    const std::string next = "CallNextHookEx", post = "PostMessageA", keys = "GetAsyncKeyState";
    // clang-format off
    const Case cases[] = {
        {HookSettings{}, WM_MOUSEMOVE, {500, 300}, {{next, 1}}},
        {HookSettings{}, WM_NCMOUSEMOVE, {0, 0}, {{next, 1}}},
        // A press of a button no row names reads the left button (for the
        // chord) and no modifier.
        {rows, WM_RBUTTONDOWN, {500, 300}, {{next, 1}, {post, 1}, {keys, 1}}},
        {all, WM_MOUSEMOVE, {500, 300}, {{next, 1}, {post, 1}}},
        {all, WM_MOUSEMOVE, {0, 300}, {{next, 1}, {post, 1}, {keys, 3}, {"SetCursorPos", 1}}},
        {all, WM_RBUTTONDOWN, {500, 300}, {{next, 1}, {post, 2}, {keys, 1}}},
        {all, WM_LBUTTONDOWN, {500, 300}, {{next, 1}, {post, 2}, {"GetClassNameA", 1}, {"lstrcmpiA", 1}}},
    };
    // clang-format on
    for (const Case& c : cases) {
        Use(c.settings);
        d().keyState = {};
        d().SetKeyDown(VK_SHIFT, true);
        Shared().typingState = 0;
        // The screen size is read once per display change, not per event.
        d().InProcess(editor, [] {
            ReadScreenSize();
            return 0;
        });
        d().osCalls.clear();
        Hook(c.message, c.at);
        EXPECT_EQ(c.calls, d().osCalls) << sim::Hex(c.message) << " at " << c.at.x;
        int total = 0;
        for (auto& call : d().osCalls) total += call.second;
        std::printf("%s at %d,%d, %s: %d platform calls\n", sim::Hex(c.message).c_str(), int(c.at.x),
                    int(c.at.y),
                    c.settings.captureMode    ? "everything on, 30 rows"
                    : c.settings.bindingCount ? "30 rows"
                                              : "settings zero",
                    total);
    }
}

}  // namespace
