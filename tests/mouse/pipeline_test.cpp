// The mouse hook pipeline, driven by injected input on the simulated desktop:
// what is posted, injected and consumed for whole sequences of events.
#include "mouse/mouse_test.h"

#include "core/notify.h"
#include "platform/sim/controls.h"

#include <functional>

namespace {

using PipelineTest = MouseTest;
using sim::Lines;

const DWORD kLeftDown = MOUSEEVENTF_LEFTDOWN, kLeftUp = MOUSEEVENTF_LEFTUP;
const DWORD kRightDown = MOUSEEVENTF_RIGHTDOWN, kRightUp = MOUSEEVENTF_RIGHTUP;
const DWORD kMiddleDown = MOUSEEVENTF_MIDDLEDOWN, kMiddleUp = MOUSEEVENTF_MIDDLEUP;

std::string Button(uint32_t event) { return Notify(NOTIFY_BUTTON, event); }

TEST_F(PipelineTest, OnlyActionCallsWithARecordRunThePipeline) {
    d().chainResult = 7;
    Shared().swallowMessage = WM_LBUTTONUP;
    EXPECT_EQ(7, Hook(WM_LBUTTONUP, kClient, 0, 3));  // HC_NOREMOVE
    EXPECT_EQ(7, MouseProc(HC_ACTION, WM_LBUTTONUP, 0));
    EXPECT_EQ(static_cast<UINT>(WM_LBUTTONUP), Shared().swallowMessage);
    EXPECT_EQ(Lines{}, d().TakeTrace());
    // The awaited release itself is eaten once, before anything else runs.
    EXPECT_EQ(1, Hook(WM_LBUTTONUP, kClient));
    EXPECT_EQ(0u, Shared().swallowMessage);
    EXPECT_EQ(7, Hook(WM_LBUTTONUP, kClient));
    EXPECT_EQ(Lines{Button(5)}, d().TakeTrace());
}

// Non-client button messages are counted, reported and bound like client
// ones, but the button under them is never remembered.
TEST_F(PipelineTest, ClientAndNonClientButtonsBindAlikeButOnlyClientPressesAreRemembered) {
    d().W(win).className = "Button";
    HookSettings s = SettingsWith({{ACTION_NOTIFY_5, VK_LBUTTON}, {ACTION_NOTIFY_6, VK_RBUTTON}});
    s.rememberButtonClicks = 1;
    Use(s);
    struct Case {
        POINT at;
        Lines left, right;
    };
    const Lines bound = {Button(2), Notify(5, 0), Button(5), Notify(5, 1)};
    const Case cases[] = {
        {kCaption, bound, {Button(3), Notify(6, 0), Button(6), Notify(6, 1)}},
        {kClient,
         Join({Notify(NOTIFY_BUTTON_REMEMBERED, 0)}, bound),
         {Button(3), Notify(6, 0), Button(6), Notify(6, 1)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.at.y);
        Shared().statistics = {};
        EXPECT_EQ(c.left, Click(kLeftDown, kLeftUp, c.at));
        EXPECT_EQ(c.right, Click(kRightDown, kRightUp, c.at));
        EXPECT_EQ(std::vector<UINT>{}, Received());
        EXPECT_EQ(1u, Shared().statistics.leftClicks);
        EXPECT_EQ(1u, Shared().statistics.rightClicks);
    }
}

TEST_F(PipelineTest, DoubleClicksAreReportedAndCountedButNeverBound) {
    Use(SettingsWith({{ACTION_NOTIFY_5, VK_LBUTTON}}));
    struct Case {
        uint32_t classStyle;
        POINT at;
        DWORD gap;
        UINT second;  // what the second press arrives as
    };
    const Case cases[] = {
        {CS_DBLCLKS, kClient, 499, WM_LBUTTONDBLCLK},
        {CS_DBLCLKS, kClient, 500, WM_LBUTTONDOWN},
        {0, kClient, 100, WM_LBUTTONDOWN},
        {0, kCaption, 100, WM_NCLBUTTONDBLCLK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(sim::Hex(c.second) + " after " + std::to_string(c.gap));
        d().W(win).classStyle = c.classStyle;
        Shared().statistics = {};
        Input(kLeftDown, c.at);
        Input(kLeftUp);
        d().Advance(c.gap);
        const bool pairs = c.second == WM_LBUTTONDBLCLK || c.second == WM_NCLBUTTONDBLCLK;
        const Lines press = pairs ? Lines{Button(8)} : Lines{Button(2), Notify(5, 0)};
        EXPECT_EQ(press, Input(kLeftDown));
        // A double-click reaches its window, and so does its release: no
        // row ran for it, and no row takes the release.
        EXPECT_EQ(pairs ? Lines{Button(5)} : (Lines{Button(5), Notify(5, 1)}), Input(kLeftUp));
        EXPECT_EQ(pairs ? (std::vector<UINT>{c.second, c.second - 1}) : std::vector<UINT>{}, Received());
        EXPECT_EQ(pairs ? 1u : 0u, Shared().statistics.doubleClicks);
        EXPECT_EQ(2u, Shared().statistics.leftClicks);
        d().Advance(1000);
    }
}

// A chord is released by its right button whichever button goes up first,
// so the keys its action holds are always let go.
TEST_F(PipelineTest, ChordsAreReleasedByTheirButtonInEitherOrder) {
    Use(SettingsWith({{ACTION_COPY, TRIGGER_CHORD_LEFT_RIGHT}, {ACTION_NOTIFY_6, VK_RBUTTON}}));
    const Lines chordDown = {Button(3), KeyDown(VK_CONTROL), KeyDown('C')};
    const Lines chordUp = {Button(6), KeyUp(VK_CONTROL), KeyUp('C')};
    // Right up while the left is still down.
    EXPECT_EQ(Lines{Button(2)}, Input(kLeftDown, kClient));
    EXPECT_EQ(chordDown, Input(kRightDown));
    EXPECT_EQ(chordUp, Input(kRightUp));
    EXPECT_EQ(Lines{Button(5)}, Input(kLeftUp));
    // The left let go first: the right release still ends the chord.
    Input(kLeftDown);
    EXPECT_EQ(chordDown, Input(kRightDown));
    EXPECT_EQ(Lines{Button(5)}, Input(kLeftUp));
    EXPECT_EQ(chordUp, Input(kRightUp));
    EXPECT_FALSE(d().KeyDown(VK_CONTROL) || d().KeyDown('C'));
    EXPECT_EQ(0, Held(0));
    // A plain right click runs the plain row.
    EXPECT_EQ((Lines{Button(3), Notify(6, 0), Button(6), Notify(6, 1)}),
              Click(kRightDown, kRightUp, kClient));
    EXPECT_EQ((std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONUP}), Received());
}

// A middle button bound to the Ctrl-click holds the left down until its
// release, which therefore arrives as the left-middle chord.
TEST_F(PipelineTest, AMiddleCtrlClickIsReleasedThroughTheLeftMiddleChord) {
    Use(SettingsWith({{ACTION_CTRL_CLICK, VK_MBUTTON}}));
    const std::string hitTest = Send("win", WM_NCHITTEST, 0, PackPoint(kClient.x, kClient.y));
    EXPECT_EQ((Lines{Button(4), hitTest, KeyDown(VK_CONTROL), kActionLeftDown, Button(2)}),
              Input(kMiddleDown, kClient));
    EXPECT_EQ((Lines{Button(7), kActionLeftUp, KeyUp(VK_CONTROL), Button(5)}), Input(kMiddleUp));
    EXPECT_EQ((std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}), Received());
    EXPECT_EQ(1u, Shared().statistics.leftClicks);
}

// A release ends the first row its button holds, whatever the modifiers
// are now; with none held it is passed on and no row runs (a release phase
// for a press no row took would inject releases of nothing).
TEST_F(PipelineTest, AReleaseEndsTheRowItsButtonHoldsOrIsPassedOn) {
    struct Case {
        const char* name;
        std::vector<int> down;  // buttons and keys down at the release
        Binding rows[2];
        int ctrlClickDown;
        LRESULT consumed;
        Lines expected;
    };
    const Case cases[] = {
        {"a held row, other modifiers now",
         {VK_SHIFT},
         {{ACTION_NOTIFY_5, 0, VK_MBUTTON, 0, 1}, {ACTION_NOTIFY_6, 0, VK_MBUTTON, 1, 0}},
         0,
         1,
         {Button(7), Notify(5, 1)}},
        // The Ctrl-click row's own left press makes its release trigger 248.
        {"a held Ctrl-click row, the left it pushed still down",
         {VK_LBUTTON},
         {{ACTION_CTRL_CLICK, 0, 'A', 0, 0}, {ACTION_CTRL_CLICK, 0, VK_MBUTTON, 0, 1}},
         1,
         1,
         {Button(7), kActionLeftUp}},
        {"nothing held",
         {VK_RBUTTON},
         {{ACTION_NOTIFY_5, 0, VK_MBUTTON, 0, 0}, {ACTION_CTRL_CLICK, 0, 247, 0, 0}},
         0,
         0,
         {Button(7)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HookSettings s{};
        s.bindingCount = 2;
        s.bindings[0] = c.rows[0];
        s.bindings[1] = c.rows[1];
        Use(s);
        // Held as a consumed press would have left them.
        SetHeld(0, c.rows[0].held);
        SetHeld(1, c.rows[1].held);
        Shared().ctrlClickDown = c.ctrlClickDown;
        d().keyState = {};
        for (int vk : c.down) d().SetKeyDown(vk, true);
        EXPECT_EQ(c.consumed, Hook(WM_MBUTTONUP, kClient));
        EXPECT_EQ(c.expected, d().TakeTrace());
        EXPECT_EQ(0, Held(0));
        EXPECT_EQ(0, Held(1));
    }
}

TEST_F(PipelineTest, PauseLockEatsOtherPressesAndTheirReleaseOnce) {
    HookSettings s =
        SettingsWith({{ACTION_PAUSE, VK_MBUTTON, MODIFIER_SHIFT}, {ACTION_NOTIFY_5, VK_RBUTTON}});
    Use(s);
    d().SetKeyDown(VK_SHIFT, true);
    EXPECT_EQ((Lines{Button(4), Notify(NOTIFY_PAUSE, 0)}), Input(kMiddleDown, kClient));
    EXPECT_EQ((Lines{Button(7), Notify(NOTIFY_PAUSE, 1)}), Input(kMiddleUp));
    d().SetKeyDown(VK_SHIFT, false);
    s.pauseLock = 1;
    Use(s);
    // A refused press has already been reported (and its hold started).
    Shared().runs[0].holdButtons = 1;
    EXPECT_EQ((Lines{Button(2), Notify(NOTIFY_HOLD_STARTED, 1), Notify(NOTIFY_PAUSED_INPUT, 0)}),
              Input(kLeftDown, kClient));
    EXPECT_EQ(Lines{}, Input(kLeftUp));
    // Its release over the caption is its release too.
    Input(kLeftDown);
    EXPECT_EQ(Lines{}, Input(kLeftUp, kCaption));
    EXPECT_EQ(0u, Shared().swallowMessage);
    // The press that engaged the pause still runs, with its modifiers.
    d().SetKeyDown(VK_SHIFT, true);
    EXPECT_EQ((Lines{Button(4), Notify(NOTIFY_PAUSE, 0)}), Input(kMiddleDown, kClient));
    EXPECT_EQ((Lines{Button(7), Notify(NOTIFY_PAUSE, 1)}), Input(kMiddleUp));
    d().SetKeyDown(VK_SHIFT, false);
    EXPECT_EQ(std::vector<UINT>{}, Received());

    // A release that never reached this hook leaves no slot to eat a later,
    // legitimate release: the next press of any button while the awaited
    // one is up drops it, and so does the pause going off.
    const std::function<void()> dropBy[] = {
        [&] { Input(kLeftDown, kClient); },
        [&] {
            s.pauseLock = 0;
            Use(s);
            Input(kLeftDown, kClient);
        },
    };
    for (const auto& drop : dropBy) {
        s.pauseLock = 1;
        Use(s);
        Input(kRightDown, kClient);
        d().SetKeyDown(VK_RBUTTON, false);  // released where no hook saw it
        EXPECT_EQ(static_cast<UINT>(WM_RBUTTONUP), Shared().swallowMessage);
        drop();
        s.pauseLock = 0;
        Use(s);
        Input(kLeftUp);
        EXPECT_EQ(0u, Shared().swallowMessage);
        Input(kRightDown);
        EXPECT_EQ((Lines{Button(6), Notify(5, 1)}), Input(kRightUp)) << "the slot ate a later release";
        Received();
    }
}

TEST_F(PipelineTest, APressEveryRowPassedOnReachesItsWindowWithItsRelease) {
    HookSettings s = SettingsWith({{ACTION_NOTIFY_25, VK_LBUTTON}, {ACTION_NOTIFY_5, VK_LBUTTON}});
    s.action29Bypass = 1;  // action 29 declines its press
    Use(s);
    EXPECT_EQ((Lines{Button(2), Notify(5, 0)}), Input(kLeftDown, kClient));
    EXPECT_EQ(0, Held(0));
    EXPECT_EQ(1, Held(1));
    // The held row takes the release.
    EXPECT_EQ((Lines{Button(5), Notify(5, 1)}), Input(kLeftUp));
    EXPECT_EQ(0, Held(1));
    EXPECT_EQ(std::vector<UINT>{}, Received());
    // Alone, the declining row passes its press on, and its release too; so
    // does a Ctrl-click row over a caption.
    s.bindingCount = 1;
    Use(s);
    EXPECT_EQ(Lines{Button(2)}, Input(kLeftDown));
    EXPECT_EQ(Lines{Button(5)}, Input(kLeftUp));
    EXPECT_EQ((std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}), Received());
    Use(SettingsWith({{ACTION_CTRL_CLICK, VK_RBUTTON, MODIFIER_CTRL}}));
    d().SetKeyDown(VK_CONTROL, true);
    Input(kRightDown, kCaption);
    Input(kRightUp, kCaption);
    d().SetKeyDown(VK_CONTROL, false);
    EXPECT_EQ((std::vector<UINT>{WM_NCRBUTTONDOWN, WM_NCRBUTTONUP}), Received());
}

// A left press a row took, released over an item that opens with one click:
// the release ends the row and opens nothing, since the view never had the
// press (found by the fuzzer: the open took the release, the row stayed
// held and then ate the release of a later press that reached its window).
// So also after a press whose release no hook saw.
TEST_F(PipelineTest, TheReleaseOfAPressARowTookIsTheRowsOverAnItemToo) {
    const sim::ShellView folder = sim::AddFolderWindow(d(), {100, 100, 500, 400}, {{20, 10, 120, 30}}, editor);
    const POINT item{154, 144};
    for (int earlierPressOut : {0, 1}) {
        SCOPED_TRACE(earlierPressOut);
        d().Advance(1000);  // no double-click
        HookSettings s = SettingsWith({{ACTION_NOTIFY_5, VK_LBUTTON}});
        s.singleClickFolders = 1;
        Use(s);
        Shared().buttonsOut = earlierPressOut;
        EXPECT_EQ((Lines{Button(2), Notify(5, 0)}), Input(kLeftDown, item));
        EXPECT_EQ((Lines{Button(5), Notify(5, 1)}), Input(kLeftUp, item));
        EXPECT_EQ(0, Held(0));
        EXPECT_TRUE(d().PostedTo(folder.list).empty());
    }
}

// The turn is the wheel delta of the record's mouseData (what a real wheel
// and injected turns carry); without one, the low half of the extra
// information, which mouse vendor software sets.
TEST_F(PipelineTest, WheelTurnsByDirectionModifiersAndBinding) {
    struct Case {
        int16_t delta;
        int16_t extra;
        int mask;
        int action;  // -1 no wheel row
        LRESULT consumed;
        Lines expected;
    };
    const Case cases[] = {
        {120, 0, 0, -1, 0, {Notify(NOTIFY_WHEEL_FORWARD, 0)}},
        {-120, 0, 0, -1, 0, {Notify(NOTIFY_WHEEL_BACKWARD, 0)}},
        {0, 120, 0, -1, 0, {Notify(NOTIFY_WHEEL_FORWARD, 0)}},
        {0, -120, 0, -1, 0, {Notify(NOTIFY_WHEEL_BACKWARD, 0)}},
        {-120, 120, 0, -1, 0, {Notify(NOTIFY_WHEEL_BACKWARD, 0)}},
        {0, 0, 0, -1, 0, {}},
        {120, 0, MODIFIER_CTRL, -1, 0, {}},
        {120, 0, MODIFIER_CTRL, ACTION_SCROLL, 1, {Notify(NOTIFY_WHEEL_FORWARD, 0)}},
        {0, -1, MODIFIER_SHIFT, ACTION_SCROLL, 1, {Notify(NOTIFY_WHEEL_BACKWARD, 0)}},
        {0, 0, 0, ACTION_SCROLL, 1, {}},
        {0, 5, 0, ACTION_NOTIFY_5, 1, {Notify(5, 0)}},
        {120, 0, 0, ACTION_NOTIFY_5, 1, {Notify(5, 0)}},
        {-120, 0, 0, ACTION_NOTIFY_5, 1, {Notify(5, 1)}},
        {0, 0, 0, ACTION_NOTIFY_5, 1, {Notify(5, 1)}},
        {0, -3, MODIFIER_ALT, ACTION_NOTIFY_5, 1, {Notify(5, 1)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.delta) + " " + std::to_string(c.extra) + " mask " + std::to_string(c.mask));
        // A row for another mask first, which must not match.
        HookSettings s = SettingsWith({{ACTION_NOTIFY_8, TRIGGER_WHEEL, 7}});
        if (c.action >= 0)
            s = SettingsWith({{ACTION_NOTIFY_8, TRIGGER_WHEEL, 7}, {c.action, TRIGGER_WHEEL, c.mask}});
        Use(s);
        d().keyState = {};
        if (c.mask & MODIFIER_SHIFT) d().SetKeyDown(VK_SHIFT, true);
        if (c.mask & MODIFIER_CTRL) d().SetKeyDown(VK_CONTROL, true);
        if (c.mask & MODIFIER_ALT) d().SetKeyDown(VK_MENU, true);
        // Only the low half of the extra information counts.
        const ULONG_PTR extra = 0x7FFF0000u | static_cast<uint16_t>(c.extra);
        EXPECT_EQ(c.expected,
                  Input(MOUSEEVENTF_WHEEL, kClient, static_cast<DWORD>(static_cast<int32_t>(c.delta)), extra));
        EXPECT_EQ(c.consumed ? std::vector<UINT>{} : std::vector<UINT>{WM_MOUSEWHEEL}, Received());
        EXPECT_EQ(0, Held(1));
    }
}

// The point forwarded is the message's own, where the cursor was for it.
TEST_F(PipelineTest, CaptureForwardsEveryMessageWithItsPointPackedIn16Bits) {
    HookSettings s{};
    s.captureMode = 1;
    Use(s);
    d().chainResult = 0;
    const UINT ids[] = {WM_MOUSEMOVE,   WM_NCMOUSEMOVE,   WM_LBUTTONDOWN,
                        WM_NCRBUTTONUP, WM_MBUTTONDBLCLK, WM_MOUSEWHEEL};
    for (UINT id : ids) {
        SCOPED_TRACE(sim::Hex(id));
        // A screen left of and above the primary one.
        EXPECT_EQ(0, Hook(id, {-5, -2}));
        const Lines trace = d().TakeTrace();
        ASSERT_FALSE(trace.empty());
        EXPECT_EQ(Capture(id, 0xFFFEFFFBu), trace.front());
    }
}

TEST_F(PipelineTest, TravelIsMeasuredFromEachProcesssOwnLastPoint) {
    HookSettings s{};
    s.trackDistance = 1;
    Use(s);
    const int other = d().AddProcess("other");
    MakeWindow("otherwin", {600, 100, 900, 400}, "SimWindow", other);
    struct Step {
        DWORD flags;
        POINT at;
        double total;
    };
    const Step steps[] = {
        {MOUSEEVENTF_MOVE, {10, 10}, 0},     // first point of the editor: primes only
        {MOUSEEVENTF_MOVE, {13, 6}, 7},      // 3 across + 4 down
        {kLeftDown, {13, 6}, 7},             // a button at the last point adds nothing
        {MOUSEEVENTF_MOVE, {700, 200}, 7},   // first point of the other program
        {MOUSEEVENTF_MOVE, {690, 215}, 32},  // 10 + 15
        {MOUSEEVENTF_MOVE, {20, 6}, 39},     // back in the editor: from (13, 6)
    };
    for (const Step& step : steps) {
        Input(step.flags, step.at);
        EXPECT_EQ(step.total, Shared().statistics.distance) << step.at.x << "," << step.at.y;
    }
}

TEST_F(PipelineTest, TypingEndsWhenTheCursorLeavesTheTypingPointByMoreThanFour) {
    HookSettings s{};
    s.typingWatch = 1;
    Use(s);
    Shared().typingCursor = {200, 200};
    for (POINT at : {POINT{204, 196}, POINT{196, 204}, POINT{205, 200}}) {
        Shared().typingState = 1;
        const bool ends = at.x == 205;
        EXPECT_EQ(ends ? Lines{Notify(NOTIFY_TYPING_ENDED, 0)} : Lines{}, Input(MOUSEEVENTF_MOVE, at));
        EXPECT_EQ(ends ? 0 : 1, Shared().typingState);
    }
}

}  // namespace

// Every program shares one state, whatever its bitness: a chord pressed over
// one program's window and released over another's lets its keys up, and a
// click is counted once, in one total.
TEST_F(PipelineTest, AChordPressedInOneProgramIsReleasedInAnother) {
    Use(SettingsWith({{ACTION_COPY, TRIGGER_CHORD_LEFT_RIGHT}}));
    const int other = d().AddProcess("other");
    MakeWindow("otherwin", {600, 100, 900, 400}, "SimWindow", other);
    const POINT there{700, 200};
    Input(MOUSEEVENTF_LEFTDOWN, kClient);
    EXPECT_EQ((Lines{Notify(NOTIFY_BUTTON, BUTTON_RIGHT_DOWN), KeyDown(VK_CONTROL), KeyDown('C')}),
              Input(MOUSEEVENTF_RIGHTDOWN, kClient));
    Input(MOUSEEVENTF_MOVE, there);
    EXPECT_EQ((Lines{Notify(NOTIFY_BUTTON, BUTTON_RIGHT_UP), KeyUp(VK_CONTROL), KeyUp('C')}),
              Input(MOUSEEVENTF_RIGHTUP, there));
    Input(MOUSEEVENTF_LEFTUP, there);
    EXPECT_FALSE(d().KeyDown(VK_CONTROL) || d().KeyDown('C'));
    EXPECT_EQ(1u, Shared().statistics.leftClicks);
    EXPECT_EQ(1u, Shared().statistics.rightClicks);
}
