// Played mouse messages: journal playback, caption buttons, and the
// injected input that takes over where playback is refused or never called.
#include "actions/playback.h"

#include "action_test.h"

#include <vector>

namespace {

// What the mouse hook chain was shown, in order.
std::vector<uint32_t> g_mouseHookSaw;
LRESULT CALLBACK RecordingMouseHook(int code, WPARAM wParam, LPARAM) {
    if (code == HC_ACTION) g_mouseHookSaw.push_back(static_cast<uint32_t>(wParam));
    return 0;
}

class PlaybackTest : public ActionTest {
protected:
    void SetUp() override {
        ActionTest::SetUp();
        w = MakeWindow("w", {100, 100, 500, 400});
        // A pop-up: presses on it are played without the caption-button test.
        d().W(w).style = WS_POPUP | WS_VISIBLE;
        d().cursor = {150, 130};  // client point (46, 6)
        g_mouseHookSaw.clear();
        os::SetWindowsHookExA(WH_MOUSE, RecordingMouseHook, nullptr, 0);
        Fresh();
    }

    // Messages the window received since the last call.
    std::vector<uint32_t> Received() {
        std::vector<uint32_t> out;
        for (const sim::Message& m : d().PostedTo(w)) out.push_back(m.message);
        d().ClearPosted();
        return out;
    }

    HWND w = nullptr;
};

const char* kAt = " 150 130";
std::string Played(uint32_t message) { return "played " + sim::Hex(message) + kAt; }

// An injected event at the cursor (150, 130): a button ("" for none) with an
// absolute move there.
std::string Injected(const std::string& button) {
    return "mouse MOVE|" + (button.empty() ? "" : button + "|") +
           "ABSOLUTE dx=9600 dy=11094 data=0x0 extra=0x0";
}

TEST_F(PlaybackTest, EachMessagePlaysTwoEventsThroughTheMouseHookAndTheHookRemovesItself) {
    struct Case {
        UINT message;
        uint32_t first, second;
    };
    const Case cases[] = {
        {WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONDOWN},
        {WM_LBUTTONUP, WM_LBUTTONUP, WM_MOUSEMOVE},
        {WM_LBUTTONDBLCLK, WM_MOUSEMOVE, WM_LBUTTONDBLCLK},
        {WM_RBUTTONDOWN, WM_MOUSEMOVE, WM_RBUTTONDOWN},
        {WM_RBUTTONUP, WM_RBUTTONUP, WM_MOUSEMOVE},
        {WM_RBUTTONDBLCLK, WM_MOUSEMOVE, WM_RBUTTONDBLCLK},
    };
    // The system may ask for one event several times before it skips it.
    for (int asks : {1, 2, 3}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(sim::Hex(c.message) + " asked " + std::to_string(asks) + " times");
            d().journalAsks = asks;
            PlayMouseMessage(c.message);
            d().Pump();
            EXPECT_EQ((sim::Lines{"hook install 1", Played(c.first), Played(c.second), "hook remove 1"}),
                      d().TakeTrace());
            EXPECT_EQ((std::vector<uint32_t>{c.first, c.second}), Received());
            EXPECT_EQ((std::vector<uint32_t>{c.first, c.second}), g_mouseHookSaw);
            EXPECT_FALSE(d().HookInstalled(WH_JOURNALPLAYBACK));
            g_mouseHookSaw.clear();
        }
    }
}

TEST_F(PlaybackTest, CaptionButtonsOfOrdinaryWindowsBecomeWindowCommands) {
    struct Case {
        const char* name;
        int hit;
        bool zoomed;
        UINT press;
        sim::Lines command;
    };
    const std::string hitTest = "send w 0x84 0x0 0x820096";
    const Case cases[] = {
        {"left on close", HTCLOSE, false, WM_LBUTTONDOWN, {hitTest, "post w 0x10 0x0 0x0"}},
        {"left on minimise", HTMINBUTTON, false, WM_LBUTTONDOWN, {hitTest, "show w 6"}},
        {"right on maximise", HTMAXBUTTON, false, WM_RBUTTONDOWN, {hitTest, "show w 3"}},
        {"right on maximise, zoomed", HTMAXBUTTON, true, WM_RBUTTONDOWN, {hitTest, "show w 9"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        d().W(w).style = WS_OVERLAPPEDWINDOW;
        d().W(w).hitRegions.push_back({{100, 100, 500, 400}, c.hit});
        d().W(w).zoomed = c.zoomed;
        PlayMouseMessage(c.press);
        d().Pump();
        EXPECT_EQ(c.command, d().TakeTrace());
        // The left release after it is dropped; a right release is played and
        // leaves the flag set, so a later left release is still dropped.
        if (c.press == WM_RBUTTONDOWN) {
            PlayMouseMessage(WM_RBUTTONUP);
            d().Pump();
            EXPECT_EQ(
                (sim::Lines{"hook install 1", Played(WM_RBUTTONUP), Played(WM_MOUSEMOVE), "hook remove 1"}),
                d().TakeTrace());
        }
        PlayMouseMessage(WM_LBUTTONUP);
        d().Pump();
        EXPECT_EQ(sim::Lines{}, d().TakeTrace());
        // The flag was consumed: the next left release is played.
        PlayMouseMessage(WM_LBUTTONUP);
        d().Pump();
        EXPECT_EQ(4u, d().TakeTrace().size());
    }
}

TEST_F(PlaybackTest, PressesOverPopupsAndDoubleClicksOnCaptionButtonsArePlayed) {
    struct Case {
        const char* name;
        uint32_t style;
        bool child;
        bool onClose;  // the whole window answers HTCLOSE
        UINT message;
        sim::Lines before;  // what precedes the playback
    };
    const Case cases[] = {
        {"dialog box", WS_POPUP | WS_CAPTION, false, true, WM_LBUTTONDOWN, {}},
        {"child of a dialog box", WS_POPUP | WS_CAPTION, true, true, WM_RBUTTONDOWN, {}},
        {"double-click on close", WS_OVERLAPPEDWINDOW, false, true, WM_LBUTTONDBLCLK, {}},
        {"press on the client area",
         WS_OVERLAPPEDWINDOW,
         false,
         false,
         WM_LBUTTONDOWN,
         {"send w 0x84 0x0 0x820096"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        d().W(w).style = c.style;
        if (c.onClose) d().W(w).hitRegions.push_back({{100, 100, 500, 400}, HTCLOSE});
        if (c.child) {
            sim::WindowSpec spec;
            spec.name = "child";
            spec.parent = w;
            spec.style = WS_CHILD | WS_VISIBLE;
            spec.rect = {120, 110, 300, 300};
            d().CreateWindow(spec);
        }
        PlayMouseMessage(c.message);
        d().Pump();
        EXPECT_EQ(
            Join(c.before, {"hook install 1", Played(WM_MOUSEMOVE), Played(c.message), "hook remove 1"}),
            d().TakeTrace());
    }
}

TEST_F(PlaybackTest, OtherMessagesAreRefused) {
    for (UINT message : {0u, 0x200u, 0x207u, 0x208u, 0x20Au, 0xA1u, 0xFFFFFFFFu}) {
        PlayMouseMessage(message);
        d().Pump();
        EXPECT_EQ(sim::Lines{}, d().TakeTrace()) << sim::Hex(message);
    }
}

// Where journal playback is refused, or accepted and never called, a click
// still goes in as injected input in the same order: move, press, release,
// move; and no playback hook stays installed.
TEST_F(PlaybackTest, WithoutPlaybackTheEventsAreInjectedInOrder) {
    struct Case {
        const char* name;
        bool refuse;
        sim::Lines trace;
    };
    const Case cases[] = {
        {"refused",
         true,
         {"hook refused 1", "mouse MOVE", Injected("LEFTDOWN"), Injected("LEFTUP"), "mouse MOVE",
          "mouse MOVE", Injected("RIGHTDOWN")}},
        {"never called",
         false,
         {"hook install 1", "hook remove 1", "mouse MOVE", Injected("LEFTDOWN"), Injected("LEFTUP"),
          "mouse MOVE", "mouse MOVE", Injected("RIGHTDOWN")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        if (c.refuse) d().failHooks[WH_JOURNALPLAYBACK] = 1;
        d().journal = sim::Desktop::Journal::NeverCalls;
        // A second playback while the first is still installed: the first
        // hook goes and its events are injected ahead of the second's.
        PlayMouseMessage(WM_LBUTTONDOWN);
        PlayMouseMessage(WM_LBUTTONUP);
        // From then on, no hook is tried.
        PlayMouseMessage(WM_RBUTTONDBLCLK);
        d().Pump();
        EXPECT_EQ(c.trace, d().TakeTrace());
        EXPECT_FALSE(d().HookInstalled(WH_JOURNALPLAYBACK));
        EXPECT_EQ((std::vector<uint32_t>{WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_MOUSEMOVE,
                                         WM_MOUSEMOVE, WM_RBUTTONDOWN}),
                  Received());
    }
}

TEST_F(PlaybackTest, OffThePrimaryScreenInjectedEventsGoInAtThePointerAsTheyAre) {
    d().failHooks[WH_JOURNALPLAYBACK] = 1;
    d().cursor = {-40, 130};  // a monitor left of the primary one
    PlayMouseMessage(WM_RBUTTONUP);
    EXPECT_EQ((sim::Lines{"hook refused 1", "mouse RIGHTUP", "mouse MOVE"}), d().TakeTrace());
}

TEST_F(PlaybackTest, WithoutPlaybackADoubleClickOnACaptionButtonIsAWindowCommand) {
    d().failHooks[WH_JOURNALPLAYBACK] = 1;
    PlayMouseMessage(WM_LBUTTONUP);
    d().W(w).style = WS_OVERLAPPEDWINDOW;
    d().W(w).hitRegions.push_back({{100, 100, 500, 400}, HTCLOSE});
    Fresh();
    PlayMouseMessage(WM_LBUTTONDBLCLK);
    PlayMouseMessage(WM_LBUTTONUP);
    PlayMouseMessage(WM_RBUTTONDBLCLK);
    EXPECT_EQ((sim::Lines{"send w 0x84 0x0 0x820096", "post w 0x10 0x0 0x0", "send w 0x84 0x0 0x820096",
                          "post w 0x10 0x0 0x0"}),
              d().TakeTrace());
}

TEST_F(PlaybackTest, APlaybackHalfPlayedIsFinishedByInjectingTheRest) {
    PlayMouseMessage(WM_LBUTTONDOWN);
    ASSERT_TRUE(d().PlayJournalEvent());  // the move is played, the press is not
    PlayMouseMessage(WM_LBUTTONUP);
    d().Pump();
    EXPECT_EQ((sim::Lines{"hook install 1", Played(WM_MOUSEMOVE), "hook remove 1", Injected("LEFTDOWN"),
                          Injected("LEFTUP"), "mouse MOVE"}),
              d().TakeTrace());
    EXPECT_EQ((std::vector<uint32_t>{WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_MOUSEMOVE}), Received());
}

TEST_F(PlaybackTest, JournalPlaybackFuncAnswersTheSameEventUntilItIsSkipped) {
    PlayMouseMessage(WM_LBUTTONUP);
    EVENTMSG e{};
    d().tick = 5000;
    JournalPlaybackFunc(HC_GETNEXT, 0, reinterpret_cast<LPARAM>(&e));
    EXPECT_EQ((std::vector<uint32_t>{WM_LBUTTONUP, 150, 130, 5000}),
              (std::vector<uint32_t>{e.message, e.paramL, e.paramH, e.time}));
    d().cursor = {160, 140};
    d().tick = 5010;
    JournalPlaybackFunc(HC_GETNEXT, 0, reinterpret_cast<LPARAM>(&e));
    EXPECT_EQ((std::vector<uint32_t>{WM_LBUTTONUP, 160, 140, 5010}),
              (std::vector<uint32_t>{e.message, e.paramL, e.paramH, e.time}));
    JournalPlaybackFunc(HC_GETNEXT, 0, 0);  // no record: nothing is written
    JournalPlaybackFunc(HC_SKIP, 0, 0);
    JournalPlaybackFunc(HC_GETNEXT, 0, reinterpret_cast<LPARAM>(&e));
    EXPECT_EQ(static_cast<UINT>(WM_MOUSEMOVE), e.message);
    EXPECT_TRUE(d().HookInstalled(WH_JOURNALPLAYBACK));
    JournalPlaybackFunc(HC_SKIP, 0, 0);
    EXPECT_FALSE(d().HookInstalled(WH_JOURNALPLAYBACK));
}

}  // namespace
