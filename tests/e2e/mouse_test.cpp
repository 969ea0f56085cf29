// The mouse hook with the real DLL: real windows and controls, driven by
// real injected input (mouse_event, keybd_event, SetCursorPos).
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "e2e_support.h"

namespace {

using Notification = std::pair<WPARAM, LPARAM>;
std::vector<Notification> g_notifications;

LRESULT CALLBACK ControllerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_HOOK_NOTIFY) {
        g_notifications.push_back({wParam, lParam});
        return 0;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

// Button messages a test window received, in order.
std::vector<UINT> g_received;

bool IsButtonMessage(UINT message) {
    return (message >= WM_LBUTTONDOWN && message <= WM_MBUTTONDBLCLK) ||
           (message >= WM_NCLBUTTONDOWN && message <= WM_NCMBUTTONDBLCLK);
}

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (IsButtonMessage(message)) g_received.push_back(message);
    return ::DefWindowProcA(window, message, wParam, lParam);
}

// The edit box's own procedure, wrapped: records its button messages and
// eats the context menu, which would wait forever on a virtual display.
WNDPROC g_editProc = nullptr;
LRESULT CALLBACK EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (IsButtonMessage(message)) g_received.push_back(message);
    if (message == WM_CONTEXTMENU) return 0;
    return ::CallWindowProcA(g_editProc, window, message, wParam, lParam);
}

bool Has(const Notification& n) {
    for (const Notification& seen : g_notifications) {
        if (seen == n) return true;
    }
    return false;
}

class Mouse : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        controller = e2e::MakeWindow("WexMouseController", ControllerProc, 800, 650, 200, 100);
        ASSERT_TRUE(e2e::InstallFor(lib, controller));
    }
    static void TearDownTestSuite() {
        lib.RemoveHook();
        e2e::Discard(controller);
    }
    void SetUp() override {
        HookSettings none = {};
        lib.UpdateSettings(&none);
        HookStatistics zero = {};
        lib.SetStatistics(&zero);
        e2e::Pump();
        g_notifications.clear();
        g_received.clear();
    }
    void TearDown() override {
        // Nothing this test pressed may stay down for the next one.
        const BYTE keys[] = {VK_SHIFT, VK_CONTROL, VK_MENU, 'C'};
        for (BYTE vk : keys) {
            if (::GetAsyncKeyState(vk) < 0) ::keybd_event(vk, 0, KEYEVENTF_KEYUP, 0);
        }
        const DWORD ups[][2] = {{VK_LBUTTON, MOUSEEVENTF_LEFTUP}, {VK_RBUTTON, MOUSEEVENTF_RIGHTUP}};
        for (const auto& up : ups) {
            if (::GetAsyncKeyState(static_cast<int>(up[0])) < 0) ::mouse_event(up[1], 0, 0, 0, 0);
        }
        HookSettings none = {};
        lib.UpdateSettings(&none);
        e2e::Pump();
    }

    static void Use(const HookSettings& s) { lib.UpdateSettings(&s); }
    static HookStatistics Stats() {
        HookStatistics s = {};
        lib.GetStatistics(&s);
        return s;
    }
    // A top-level window that records the button messages it receives.
    static HWND Plain(const char* className) {
        return e2e::MakeWindow(className, RecordingProc, 150, 120, 360, 240);
    }
    static HookSettings Row(int action, int trigger, int modifiers = 0) {
        HookSettings s = {};
        s.bindingCount = 1;
        s.bindings[0].action = action;
        s.bindings[0].trigger = trigger;
        s.bindings[0].modifiers = modifiers;
        return s;
    }

    // Places the cursor on a point of a window's client area.
    static bool PlaceIn(HWND window, int x, int y) {
        POINT p = {x, y};
        ::ClientToScreen(window, &p);
        return e2e::PlaceCursor(p.x, p.y);
    }

    // Injects one mouse event, then waits for what it must bring.
    static bool Inject(DWORD flags, const std::function<bool()>& until) {
        ::mouse_event(flags, 0, 0, 0, 0);
        return e2e::WaitFor(until);
    }
    static bool Notified(WPARAM code, LPARAM value) {
        return e2e::WaitFor([=] { return Has({code, value}); });
    }

    static e2e::Library lib;
    static HWND controller;
};
e2e::Library Mouse::lib;
HWND Mouse::controller = nullptr;

TEST_F(Mouse, AClickWithNoBindingsIsReportedAndCounted) {
    HWND window = Plain("WexMousePlain");
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(PlaceIn(window, 100, 80));
    g_notifications.clear();
    ASSERT_TRUE(Inject(MOUSEEVENTF_LEFTDOWN, [] { return Has({NOTIFY_BUTTON, BUTTON_LEFT_DOWN}); }));
    ASSERT_TRUE(Inject(MOUSEEVENTF_LEFTUP, [] { return Has({NOTIFY_BUTTON, BUTTON_LEFT_UP}); }));
    EXPECT_TRUE(e2e::WaitFor([] { return g_received.size() >= 2; }));
    EXPECT_EQ(g_received, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
    const HookStatistics s = Stats();
    EXPECT_EQ(s.leftClicks, 1u);
    EXPECT_EQ(s.rightClicks, 0u);
    e2e::Discard(window);
}

TEST_F(Mouse, CtrlRightClickRunsTheCopyChordAndTheEditBoxNeverSeesTheButton) {
    HWND window = e2e::MakeWindow("WexMouseEditParent", RecordingProc, 120, 100, 400, 160);
    ASSERT_NE(window, nullptr);
    HWND edit = e2e::MakeEditBox(window, "copy these words");
    ASSERT_NE(edit, nullptr);
    g_editProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditProc)));
    ASSERT_TRUE(e2e::EmptyTheClipboard(window));
    ASSERT_TRUE(e2e::WaitFor([&] { return ::GetForegroundWindow() == window; }));
    ::SetFocus(edit);
    ::SendMessageA(edit, EM_SETSEL, 5, 10);  // "these"
    Use(Row(ACTION_COPY, VK_RBUTTON, MODIFIER_CTRL));

    // Ctrl after the cursor is placed: a move lets go of injected keys.
    ASSERT_TRUE(PlaceIn(edit, 200, 10));
    ::keybd_event(VK_CONTROL, 0, 0, 0);
    ASSERT_TRUE(e2e::WaitFor([] { return ::GetAsyncKeyState(VK_CONTROL) < 0; }));
    ASSERT_TRUE(Inject(MOUSEEVENTF_RIGHTDOWN, [] { return Has({NOTIFY_BUTTON, BUTTON_RIGHT_DOWN}); }));
    ASSERT_TRUE(Inject(MOUSEEVENTF_RIGHTUP, [] { return Has({NOTIFY_BUTTON, BUTTON_RIGHT_UP}); }));
    EXPECT_TRUE(e2e::WaitFor([&] { return e2e::ClipboardText(window) == "these"; }))
        << "clipboard holds \"" << e2e::ClipboardText(window) << "\"";
    ::keybd_event(VK_CONTROL, 0, KEYEVENTF_KEYUP, 0);
    EXPECT_TRUE(
        e2e::WaitFor([] { return ::GetAsyncKeyState('C') >= 0 && ::GetAsyncKeyState(VK_CONTROL) >= 0; }));

    // A left click afterwards reaches the edit box, and is all it ever got:
    // a right press or release that got through would stand before it.
    ASSERT_TRUE(Inject(MOUSEEVENTF_LEFTDOWN, [] { return !g_received.empty(); }));
    ASSERT_TRUE(Inject(MOUSEEVENTF_LEFTUP, [] { return g_received.size() >= 2; }));
    EXPECT_EQ(g_received, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
    const HookStatistics s = Stats();
    EXPECT_EQ(s.rightClicks, 1u);
    e2e::Discard(window);
}

TEST_F(Mouse, ARightButtonChordWithTheLeftHeldRunsAndReleasesItsRow) {
    HWND window = Plain("WexMouseChord");
    ASSERT_NE(window, nullptr);
    Use(Row(ACTION_NOTIFY_5, TRIGGER_CHORD_LEFT_RIGHT));
    ASSERT_TRUE(PlaceIn(window, 120, 90));
    ASSERT_TRUE(Inject(MOUSEEVENTF_LEFTDOWN, [] { return ::GetAsyncKeyState(VK_LBUTTON) < 0; }));
    ASSERT_TRUE(Inject(MOUSEEVENTF_RIGHTDOWN, [] { return Has({NOTIFY_PHASE_A, 0}); }));
    ASSERT_TRUE(Inject(MOUSEEVENTF_RIGHTUP, [] { return Has({NOTIFY_PHASE_A, 1}); }));
    ASSERT_TRUE(Inject(MOUSEEVENTF_LEFTUP, [] { return Has({NOTIFY_BUTTON, BUTTON_LEFT_UP}); }));
    HookSettings back = {};
    lib.GetSettings(&back);
    EXPECT_EQ(back.bindings[0].held, 0);
    // The window saw the left click only.
    e2e::Pump();
    EXPECT_EQ(g_received, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
    e2e::Discard(window);
}

TEST_F(Mouse, ThePauseLockEatsAPressAndItsRelease) {
    HWND window = Plain("WexMousePaused");
    ASSERT_NE(window, nullptr);
    HookSettings s = {};
    s.pauseLock = 1;
    Use(s);
    ASSERT_TRUE(PlaceIn(window, 100, 100));
    ASSERT_TRUE(Inject(MOUSEEVENTF_LEFTDOWN, [] { return Has({NOTIFY_PAUSED_INPUT, 0}); }));
    ASSERT_TRUE(Inject(MOUSEEVENTF_LEFTUP, [] { return ::GetAsyncKeyState(VK_LBUTTON) >= 0; }));
    // With the pause off, the next click gets through; by the time it has
    // arrived, anything of the first would have arrived before it.
    s.pauseLock = 0;
    Use(s);
    ASSERT_TRUE(PlaceIn(window, 110, 100));
    ASSERT_TRUE(Inject(MOUSEEVENTF_LEFTDOWN, [] { return !g_received.empty(); }));
    ASSERT_TRUE(Inject(MOUSEEVENTF_LEFTUP, [] { return g_received.size() >= 2; }));
    EXPECT_EQ(g_received, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
    const HookStatistics st = Stats();
    EXPECT_EQ(st.leftClicks, 1u) << "the eaten release is not a click";
    e2e::Discard(window);
}

// Every press that reaches the window gets its release: a left Ctrl-click
// row (whose own injected release must not run the row again, round after
// round), and a row whose action passes its press on.
TEST_F(Mouse, BoundLeftClicksReachTheWindowWithBothHalves) {
    HookSettings ctrlClick = Row(ACTION_CTRL_CLICK, VK_LBUTTON);
    HookSettings passesOn = Row(ACTION_NOTIFY_25, VK_LBUTTON);
    passesOn.action29Bypass = 1;
    const struct {
        const char* name;
        HookSettings settings;
    } cases[] = {{"left Ctrl-click", ctrlClick}, {"a row that passes its press on", passesOn}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HWND window = Plain("WexMouseBoundLeft");
        ASSERT_NE(window, nullptr);
        Use(c.settings);
        ASSERT_TRUE(PlaceIn(window, 100, 100));
        g_received.clear();
        ASSERT_TRUE(Inject(MOUSEEVENTF_LEFTDOWN, [] { return !g_received.empty(); }));
        ASSERT_TRUE(Inject(MOUSEEVENTF_LEFTUP, [] { return g_received.size() >= 2; }));
        e2e::WaitFor([] { return false; }, 300);
        EXPECT_EQ(g_received, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
        EXPECT_TRUE(e2e::WaitFor([] { return ::GetAsyncKeyState(VK_CONTROL) >= 0; }, 2000));
        Use(HookSettings{});
        e2e::Discard(window);
    }
}

// RemoveHook lets up what a held row pressed: the library would never see
// the release that ends it.
TEST_F(Mouse, RemoveHookLetsUpTheKeysAHeldRowPressed) {
    HWND window = Plain("WexMouseRemoved");
    ASSERT_NE(window, nullptr);
    Use(Row(ACTION_COPY, VK_RBUTTON));
    ASSERT_TRUE(PlaceIn(window, 100, 100));
    ASSERT_TRUE(Inject(MOUSEEVENTF_RIGHTDOWN, [] { return ::GetAsyncKeyState('C') < 0; }));
    lib.RemoveHook();
    EXPECT_TRUE(e2e::WaitFor(
        [] { return ::GetAsyncKeyState('C') >= 0 && ::GetAsyncKeyState(VK_CONTROL) >= 0; }, 5000));
    ::mouse_event(MOUSEEVENTF_RIGHTUP, 0, 0, 0, 0);
    ASSERT_EQ(1, lib.InstallHook(controller, 0));
    e2e::Discard(window);
}

TEST_F(Mouse, APushButtonOfADialogIsRemembered) {
    HWND owner = e2e::MakeWindow("WexMouseDialogOwner", RecordingProc, 60, 60, 300, 200);
    ASSERT_NE(owner, nullptr);
    HWND dialog = ::CreateWindowExA(WS_EX_DLGMODALFRAME, "#32770", "Save changes to the mouse test document?",
                                    WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 200, 150, 320, 200,
                                    owner, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(dialog, nullptr);
    HWND button =
        ::CreateWindowExA(0, "BUTTON", "OK", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 30, 40, 75, 23, dialog,
                          reinterpret_cast<HMENU>(IDOK), ::GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(button, nullptr);
    e2e::Pump();
    HookSettings s = {};
    s.rememberButtonClicks = 1;
    Use(s);
    ASSERT_TRUE(PlaceIn(button, 20, 10));
    ASSERT_TRUE(Inject(MOUSEEVENTF_LEFTDOWN, [] { return Has({NOTIFY_BUTTON_REMEMBERED, 0}); }));
    ASSERT_TRUE(Inject(MOUSEEVENTF_LEFTUP, [] { return Has({NOTIFY_BUTTON, BUTTON_LEFT_UP}); }));
    char className[40] = {}, title[40] = {};
    WexPoint point = {-1, -1};
    lib.GetRememberedWindow(className, title, &point);
    EXPECT_STREQ(className, "#32770");
    EXPECT_EQ(std::string(title), std::string("Save changes to the mouse test document?").substr(0, 38));
    EXPECT_EQ(point.x, 30 + 75 / 2);
    EXPECT_EQ(point.y, 40 + 23 / 2);
    e2e::Discard(dialog);
    e2e::Discard(owner);
}

TEST_F(Mouse, TheCursorWrapsAtAScreenEdgeButNotInAnExcludedCorner) {
    const int cx = ::GetSystemMetrics(SM_CXSCREEN), cy = ::GetSystemMetrics(SM_CYSCREEN);
    // A window of ours over the whole screen, so that every edge move goes
    // to it (a static control would let it through to the desktop).
    WNDCLASSA wc = {};
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "WexMouseCover";
    ::RegisterClassA(&wc);
    HWND cover = ::CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP | WS_VISIBLE, 0, 0, cx, cy, nullptr,
                                   nullptr, wc.hInstance, nullptr);
    ASSERT_NE(cover, nullptr);
    e2e::Pump();
    HookSettings s = {};
    s.edgeWrap = 1;
    s.edgeWrapEdges = 4 | 8;  // left and right
    s.cornerB = 1;            // not in the top-left corner
    Use(s);
    ASSERT_TRUE(e2e::PlaceCursor(cx / 2, 300));
    const unsigned wrapsBefore = Stats().edgeWraps;
    ::SetCursorPos(0, 300);
    EXPECT_TRUE(e2e::WaitFor([&] { return e2e::CursorAt(cx - 2, 300); })) << "no wrap at the left edge";
    ::SetCursorPos(cx - 1, 400);
    EXPECT_TRUE(e2e::WaitFor([] { return e2e::CursorAt(1, 400); })) << "no wrap at the right edge";
    // In the excluded corner the cursor stays at the edge.
    ASSERT_TRUE(e2e::PlaceCursor(0, 10));
    EXPECT_TRUE(e2e::PlaceCursor(0, 10));
    // Two wraps, each counted once; none in the corner.
    EXPECT_EQ(wrapsBefore + 2, Stats().edgeWraps);
    e2e::Discard(cover);
}

TEST_F(Mouse, CursorTravelAndClicksReachTheStatistics) {
    HWND window = Plain("WexMouseTravel");
    ASSERT_NE(window, nullptr);
    HookSettings s = {};
    s.trackDistance = 1;
    Use(s);
    ASSERT_TRUE(PlaceIn(window, 50, 50));
    ASSERT_TRUE(PlaceIn(window, 150, 90));
    HookStatistics st = {};
    // At least the 100 + 40 pixels between the two points.
    EXPECT_TRUE(e2e::WaitFor([&] {
        lib.GetStatistics(&st);
        return st.distance >= 140.0;
    })) << "distance "
        << st.distance;
    ASSERT_TRUE(Inject(MOUSEEVENTF_RIGHTDOWN, [] { return Has({NOTIFY_BUTTON, BUTTON_RIGHT_DOWN}); }));
    ASSERT_TRUE(Inject(MOUSEEVENTF_RIGHTUP, [] { return Has({NOTIFY_BUTTON, BUTTON_RIGHT_UP}); }));
    lib.GetStatistics(&st);
    EXPECT_EQ(st.rightClicks, 1u);
    e2e::Discard(window);
}

}  // namespace
