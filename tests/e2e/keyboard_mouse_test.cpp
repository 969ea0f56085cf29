// The keyboard mouse with the real DLL: injected keystrokes move the real
// cursor and click, double-click and drag real windows.  Under Wine the
// journal playback hook is accepted and never called, so these runs also
// prove that played messages still arrive where playback is gone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hook_controller.h"

namespace {

// What the target window saw: mouse buttons with their client points, and
// any key message.
struct Seen {
    UINT message;
    int x, y;
};
std::vector<Seen> g_buttons;
struct KeySeen {
    UINT message;
    WPARAM key;
    bool operator==(const KeySeen& o) const { return message == o.message && key == o.key; }
};
std::vector<KeySeen> g_keys;  // WM_KEYDOWN, WM_KEYUP, WM_CHAR of the target and its edit box
std::vector<int> g_clicked;   // control ids of BN_CLICKED

bool IsButtonMessage(UINT m) { return m >= WM_LBUTTONDOWN && m <= WM_MBUTTONDBLCLK; }
bool IsKeyMessage(UINT m) { return m == WM_KEYDOWN || m == WM_KEYUP || m == WM_CHAR || m == WM_SYSKEYDOWN; }

LRESULT CALLBACK TargetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (IsButtonMessage(message)) {
        g_buttons.push_back(
            {message, static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        return 0;
    }
    if (IsKeyMessage(message)) g_keys.push_back({message, wParam});
    if (message == WM_CONTEXTMENU) return 0;  // no modal menu on the virtual display
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) g_clicked.push_back(LOWORD(wParam));
    return ::DefWindowProcA(window, message, wParam, lParam);
}

WNDPROC g_editProc = nullptr;
LRESULT CALLBACK EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (IsKeyMessage(message)) g_keys.push_back({message, wParam});
    return ::CallWindowProcA(g_editProc, window, message, wParam, lParam);
}

const int kButtonId = 11;

class KeyboardMouse : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(hooks.Start()); }
    static void TearDownTestSuite() { hooks.Stop(); }

    // The keyboard mouse on, with a step of 10 and acceleration.
    static void Use(int scheme) {
        HookSettings s = {};
        s.keyboardMouse = 1;
        s.keyboardMouseKeys = scheme;
        s.keyboardMouseStep = 10;
        s.keyboardMouseAccel = 1;
        hooks.Apply(s);
    }

    void SetUp() override {
        e2e::ReleaseModifiers();
        Use(4);
        // A target window with CS_DBLCLKS, an edit box and a push button.
        WNDCLASSA wc = {};
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = TargetProc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "WexKeyMouseTarget";
        wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        ::RegisterClassA(&wc);
        target = ::CreateWindowExA(0, wc.lpszClassName, "target", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100,
                                   500, 360, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(target, nullptr);
        edit = ::CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 10, 10,
                                 300, 28, target, reinterpret_cast<HMENU>(3), wc.hInstance, nullptr);
        button = ::CreateWindowExA(0, "BUTTON", "Push", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 60, 120,
                                   40, target, reinterpret_cast<HMENU>(kButtonId), wc.hInstance, nullptr);
        ASSERT_TRUE(edit && button);
        g_editProc = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditProc)));
        ::SetForegroundWindow(target);
        ASSERT_TRUE(e2e::WaitFor([&] { return ::GetForegroundWindow() == target; }));
        ::SetFocus(edit);
        e2e::Pump();
        g_buttons.clear();
        g_keys.clear();
        g_clicked.clear();
    }

    void TearDown() override {
        if (::IsWindow(target)) ::DestroyWindow(target);
        e2e::Pump();
        // Nothing the keyboard mouse did may leave a key or button down.
        const int keys[] = {VK_LBUTTON, VK_RBUTTON, VK_CONTROL, VK_NUMPAD0, VK_NUMPAD5, 'A'};
        for (int vk : keys) EXPECT_GE(::GetAsyncKeyState(vk), 0) << "key " << vk << " left down";
    }

    // A point of the target's client area in screen coordinates.
    POINT Client(int x, int y) {
        POINT p = {x, y};
        ::ClientToScreen(target, &p);
        return p;
    }

    // One keystroke, handled before the next is injected.
    static void Key(BYTE vk, bool up) {
        ::keybd_event(vk, 0, up ? KEYEVENTF_KEYUP : 0, 0);
        e2e::WaitFor([] { return false; }, 80);
    }
    static void Tap(BYTE vk) {
        Key(vk, false);
        Key(vk, true);
    }
    // A movement key pressed once; true when the cursor reached (x, y) and
    // stayed there (under Wine each move is echoed once from the old point).
    static bool MoveKey(BYTE vk, int x, int y) {
        ::keybd_event(vk, 0, 0, 0);
        int still = 0;
        const bool reached = e2e::WaitFor(
            [&] {
                still = e2e::CursorAt(x, y) ? still + 1 : 0;
                return still >= 4;
            },
            5000);
        if (reached) return true;
        POINT p;
        ::GetCursorPos(&p);
        ADD_FAILURE() << "the cursor is at " << p.x << "," << p.y << ", not " << x << "," << y;
        return false;
    }

    // Puts the cursor on a point of the target's client area; the point in
    // screen coordinates.
    POINT CursorOnClient(int x, int y) {
        const POINT p = Client(x, y);
        EXPECT_TRUE(e2e::PlaceCursor(p.x, p.y));
        return p;
    }

    // The button messages of the target, once there are `count` of them.
    std::vector<UINT> ButtonMessages(size_t count = 0) {
        e2e::WaitFor([&] { return g_buttons.size() >= count; });
        std::vector<UINT> out;
        for (const Seen& s : g_buttons) out.push_back(s.message);
        return out;
    }

    static e2e::HookController hooks;
    HWND target = nullptr;
    HWND edit = nullptr;
    HWND button = nullptr;
};
e2e::HookController KeyboardMouse::hooks;

TEST_F(KeyboardMouse, TheKeypadMovesTheRealCursorWithAccelerationAndTheEditSeesNoKey) {
    Use(0);
    const POINT start = CursorOnClient(300, 200);
    // Steps of 10, 10, 10, 10, then 20 from the fifth event on.
    const int ys[] = {-10, -20, -30, -40, -60, -80};
    for (int dy : ys) ASSERT_TRUE(MoveKey(VK_NUMPAD8, start.x, start.y + dy)) << "keypad 8 to dy " << dy;
    Key(VK_NUMPAD8, true);
    ASSERT_TRUE(MoveKey(VK_NUMPAD4, start.x - 10, start.y - 80));
    Key(VK_NUMPAD4, true);
    e2e::Pump();
    EXPECT_TRUE(g_keys.empty()) << "the edit box saw " << g_keys.size() << " key messages";
    char text[16] = {};
    ::GetWindowTextA(edit, text, sizeof text);
    EXPECT_STREQ(text, "");
}

TEST_F(KeyboardMouse, TheClickKeyClicksARealPushButton) {
    RECT r;
    ::GetWindowRect(button, &r);
    ASSERT_TRUE(e2e::PlaceCursor((r.left + r.right) / 2, (r.top + r.bottom) / 2));
    Tap(VK_NUMPAD5);
    EXPECT_TRUE(e2e::WaitFor([] { return !g_clicked.empty(); })) << "the button's parent was never told";
    EXPECT_EQ(g_clicked, std::vector<int>{kButtonId});
}

TEST_F(KeyboardMouse, TheClickKeyTwiceDoubleClicksARealWindow) {
    CursorOnClient(300, 200);
    Tap(VK_NUMPAD5);
    Tap(VK_NUMPAD5);
    EXPECT_EQ(ButtonMessages(4),
              (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}));
}

TEST_F(KeyboardMouse, KeypadMinusThenTheClickKeyClicksRight) {
    CursorOnClient(300, 200);
    Tap(VK_SUBTRACT);
    Tap(VK_NUMPAD5);
    EXPECT_EQ(ButtonMessages(2).size(), 2u);
    ::Sleep(600);     // past the double-click time, so the next click is a single one
    Tap(VK_NUMPAD5);  // the arming is used up: a left click
    EXPECT_EQ(ButtonMessages(4),
              (std::vector<UINT>{WM_RBUTTONDOWN, WM_RBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONUP}));
}

// Num Lock switched off while keypad star holds the right button, which
// makes star no keyboard-mouse key in scheme 0: its release still lets the
// button up.
TEST_F(KeyboardMouse, KeypadStarLetsTheRightButtonUpThoughNumLockChanged) {
    Use(0);
    CursorOnClient(300, 200);
    if ((::GetKeyState(VK_NUMLOCK) & 1) == 0) Tap(VK_NUMLOCK);
    ASSERT_NE(::GetKeyState(VK_NUMLOCK) & 1, 0) << "Num Lock did not come on";
    Key(VK_MULTIPLY, false);
    ASSERT_EQ(ButtonMessages(1), std::vector<UINT>{WM_RBUTTONDOWN});
    Tap(VK_NUMLOCK);
    ASSERT_EQ(::GetKeyState(VK_NUMLOCK) & 1, 0) << "Num Lock did not go off";
    Key(VK_MULTIPLY, true);
    EXPECT_EQ(ButtonMessages(2), (std::vector<UINT>{WM_RBUTTONDOWN, WM_RBUTTONUP}));
    Tap(VK_NUMLOCK);  // on again, as the other tests found it
}

TEST_F(KeyboardMouse, KeypadZeroMovementAndKeypadPointDrag) {
    const POINT p = CursorOnClient(200, 200);
    Tap(VK_NUMPAD0);
    ASSERT_TRUE(e2e::WaitFor([] { return ::GetAsyncKeyState(VK_LBUTTON) < 0; })) << "no left press";
    ASSERT_TRUE(MoveKey(VK_NUMPAD6, p.x + 10, p.y));
    Key(VK_NUMPAD6, true);
    ASSERT_TRUE(MoveKey(VK_NUMPAD3, p.x + 20, p.y + 10));
    Key(VK_NUMPAD3, true);
    Tap(VK_DECIMAL);
    ASSERT_TRUE(e2e::WaitFor([] { return ::GetAsyncKeyState(VK_LBUTTON) >= 0; })) << "no left release";
    ASSERT_EQ(ButtonMessages(2), (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
    EXPECT_EQ(g_buttons[0].x, 200);
    EXPECT_EQ(g_buttons[0].y, 200);
    EXPECT_EQ(g_buttons[1].x, 220);
    EXPECT_EQ(g_buttons[1].y, 210);
}

TEST_F(KeyboardMouse, CtrlADragsWithCtrlAndArrowKeys) {
    Use(1);
    const POINT p = CursorOnClient(300, 200);
    Key(VK_CONTROL, false);  // after the cursor is placed: a move lets injected Ctrl go
    Key('A', false);
    ASSERT_TRUE(e2e::WaitFor([] { return ::GetAsyncKeyState(VK_LBUTTON) < 0; })) << "no left press";
    EXPECT_GE(::GetAsyncKeyState(VK_CONTROL), 0) << "Ctrl reads as down during the drag";
    ASSERT_TRUE(MoveKey(VK_LEFT, p.x - 10, p.y));
    Key(VK_LEFT, true);
    ASSERT_TRUE(MoveKey(VK_LEFT, p.x - 20, p.y));
    Key(VK_LEFT, true);
    Key('A', true);
    ASSERT_TRUE(e2e::WaitFor([] { return ::GetAsyncKeyState(VK_LBUTTON) >= 0; })) << "no left release";
    // Ctrl goes down again at the end of the drag.  (Wine may let a Ctrl that
    // only injected input holds go again at the next pointer move, so the
    // press is looked for where it arrives, not in the key state.)
    const KeySeen ctrlDown = {WM_KEYDOWN, VK_CONTROL};
    EXPECT_TRUE(e2e::WaitFor([&] { return g_keys.size() >= 3 && g_keys.back() == ctrlDown; }))
        << "Ctrl was not put back";
    Key(VK_CONTROL, true);
    ASSERT_EQ(ButtonMessages(2), (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
    EXPECT_EQ(g_buttons[0].x, 300);
    EXPECT_EQ(g_buttons[1].x, 280);
    // Only Ctrl reaches the edit box, neither A nor the arrows.
    for (const KeySeen& k : g_keys)
        EXPECT_EQ(k.key, static_cast<WPARAM>(VK_CONTROL)) << "message " << k.message;
}

// Ctrl let go before A, as people often do: the drag ends with Ctrl up,
// not pressed again and stuck.
TEST_F(KeyboardMouse, CtrlLetGoBeforeAEndsTheDragWithCtrlUp) {
    Use(1);
    CursorOnClient(300, 200);
    Key(VK_CONTROL, false);
    Key('A', false);
    ASSERT_TRUE(e2e::WaitFor([] { return ::GetAsyncKeyState(VK_LBUTTON) < 0; })) << "no left press";
    Key(VK_CONTROL, true);
    Key('A', true);
    ASSERT_TRUE(e2e::WaitFor([] { return ::GetAsyncKeyState(VK_LBUTTON) >= 0; })) << "no left release";
    e2e::WaitFor([] { return false; }, 500);
    EXPECT_GE(::GetAsyncKeyState(VK_CONTROL), 0) << "Ctrl was pressed again and left down";
    const KeySeen ctrlDown = {WM_KEYDOWN, VK_CONTROL};
    EXPECT_FALSE(!g_keys.empty() && g_keys.back() == ctrlDown) << "Ctrl was pressed again";
}

TEST_F(KeyboardMouse, TheClickKeyOnCaptionButtonsMaximisesAndCloses) {
    POINT p;
    ASSERT_TRUE(e2e::FindHitPoint(target, HTMAXBUTTON, &p));
    ASSERT_TRUE(e2e::PlaceCursor(p.x, p.y));
    Tap(VK_NUMPAD5);
    EXPECT_TRUE(e2e::WaitFor([&] { return ::IsZoomed(target) != FALSE; })) << "not maximised";
    ASSERT_TRUE(e2e::FindHitPoint(target, HTCLOSE, &p));
    ASSERT_TRUE(e2e::PlaceCursor(p.x, p.y));
    Tap(VK_NUMPAD5);
    EXPECT_TRUE(e2e::WaitFor([&] { return !::IsWindow(target); })) << "not closed";
    EXPECT_EQ(ButtonMessages(), std::vector<UINT>{}) << "a caption press was also played";
}

// Defined last, so it runs last: after all of the above, real typing and real
// clicks still arrive.
TEST_F(KeyboardMouse, AfterAllOfItRealTypingAndClicksStillReachTheirWindows) {
    e2e::TapKey('H');
    e2e::TapKey('I');
    char text[16] = {};
    EXPECT_TRUE(e2e::WaitFor([&] {
        ::GetWindowTextA(edit, text, sizeof text);
        return std::string(text) == "hi";
    })) << "the edit box holds \""
        << text << "\"";
    RECT r;
    ::GetWindowRect(button, &r);
    ASSERT_TRUE(e2e::PlaceCursor((r.left + r.right) / 2, (r.top + r.bottom) / 2));
    ::mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    ::mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    EXPECT_TRUE(e2e::WaitFor([] { return !g_clicked.empty(); })) << "a real click did not reach the button";
}

}  // namespace
