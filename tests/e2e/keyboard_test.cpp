// The keyboard hook with the real DLL: real keystrokes (keybd_event) typed
// into a real, focused edit box, and what the controlling window and the edit
// box receive.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "hook_controller.h"

namespace {

using KeyMessage = std::pair<UINT, WPARAM>;

// Every keyboard message the edit box receives, before it handles it.
std::vector<KeyMessage> g_editKeys;
WNDPROC g_editProcedure = nullptr;

LRESULT CALLBACK RecordingEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_KEYFIRST && message <= WM_KEYLAST) g_editKeys.push_back({message, wParam});
    return ::CallWindowProcA(g_editProcedure, window, message, wParam, lParam);
}

LRESULT CALLBACK PlainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcA(window, message, wParam, lParam);
}

void Key(BYTE vk, bool up) {
    ::keybd_event(vk, static_cast<BYTE>(::MapVirtualKeyA(vk, MAPVK_VK_TO_VSC)), up ? KEYEVENTF_KEYUP : 0, 0);
}

bool EditReceived(UINT message, WPARAM wParam) {
    for (const KeyMessage& k : g_editKeys) {
        if (k.first == message && k.second == wParam) return true;
    }
    return false;
}

// Any message of the key, or its character in either case.
bool EditSawKey(BYTE vk) {
    for (const KeyMessage& k : g_editKeys) {
        if (k.first == WM_CHAR ? (k.second == vk || k.second == static_cast<WPARAM>(vk + 32))
                               : k.second == vk) {
            return true;
        }
    }
    return false;
}

std::string EditText(HWND edit) {
    char text[256] = {};
    ::GetWindowTextA(edit, text, sizeof text);
    return text;
}

class Keyboard : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(controller.Start());
        parent = e2e::MakeWindow("WexKeyboardTarget", PlainProc, 150, 120, 420, 140);
        ASSERT_NE(parent, nullptr);
        edit = ::CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 10, 10,
                                 380, 28, parent, reinterpret_cast<HMENU>(3), ::GetModuleHandleA(nullptr),
                                 nullptr);
        ASSERT_NE(edit, nullptr);
        g_editProcedure = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingEditProc)));
    }
    static void TearDownTestSuite() {
        controller.Stop();
        if (::IsWindow(parent)) ::DestroyWindow(parent);
    }

    void SetUp() override {
        e2e::ReleaseModifiers();
        ::SetForegroundWindow(parent);
        ::SetFocus(edit);
        ASSERT_TRUE(e2e::WaitFor([] { return ::GetFocus() == edit; }));
        ::SetWindowTextA(edit, "");
        controller.Clear();
        g_editKeys.clear();
    }

    // Presses or releases a key and waits until the edit box has it.
    static bool KeyReachingEdit(BYTE vk, bool up) {
        Key(vk, up);
        return e2e::WaitFor([&] { return EditReceived(up ? WM_KEYUP : WM_KEYDOWN, vk); });
    }

    // Types a key no row binds and waits until the edit box has its release:
    // everything typed before it has been through the hook.
    static bool Marker(BYTE vk) {
        Key(vk, false);
        return KeyReachingEdit(vk, true);
    }

    static e2e::HookController controller;
    static HWND parent;
    static HWND edit;
};
e2e::HookController Keyboard::controller;
HWND Keyboard::parent = nullptr;
HWND Keyboard::edit = nullptr;

TEST_F(Keyboard, BoundKeyRunsAtPressAndReleaseAndTheEditSeesNone) {
    controller.Apply(e2e::HookController::With({{ACTION_NOTIFY_5, 0, 'K', 0, 0}}));

    Key('K', false);
    ASSERT_TRUE(e2e::WaitFor([] { return controller.Notified(NOTIFY_PHASE_A, 0); }));
    Key('K', false);  // an auto-repeat runs nothing
    Key('K', true);
    ASSERT_TRUE(e2e::WaitFor([] { return controller.Notified(NOTIFY_PHASE_A, 1); }));
    ASSERT_TRUE(Marker('J'));
    EXPECT_EQ(controller.notifications, (std::vector<e2e::Posted>{{NOTIFY_PHASE_A, 0}, {NOTIFY_PHASE_A, 1}}));
    EXPECT_FALSE(EditSawKey('K'));
    EXPECT_EQ(EditText(edit), "j");
}

TEST_F(Keyboard, KeyBoundToTheCopyChordLetsTheChordUpAtItsRelease) {
    // The chord's Ctrl is down when the bound key comes up: the release must
    // still be the row's, or Ctrl and C would stay down.
    controller.Apply(e2e::HookController::With({{ACTION_COPY, 0, 'K', 0, 0}}));

    Key('K', false);
    ASSERT_TRUE(e2e::WaitFor([] { return EditReceived(WM_KEYDOWN, 'C'); })) << "the chord never came";
    EXPECT_LT(::GetAsyncKeyState(VK_CONTROL), 0);
    Key('K', true);
    EXPECT_TRUE(e2e::WaitFor([] {
        return EditReceived(WM_KEYUP, VK_CONTROL) && EditReceived(WM_KEYUP, 'C');
    })) << "the chord was not let up";
    EXPECT_GE(::GetAsyncKeyState(VK_CONTROL), 0);
    EXPECT_GE(::GetAsyncKeyState('C'), 0);
    ASSERT_TRUE(Marker('J'));
    EXPECT_FALSE(EditSawKey('K'));
}

// Ctrl bound to the paste chord: the Ctrl the chord types comes back
// through the hook and must run no row, or it pasted again at every Ctrl it
// typed (without end when the person's release came first), or was eaten,
// so that the edit box got a bare V.  Tapped slowly and faster than the
// program takes the keys, it pastes once.
TEST_F(Keyboard, CtrlBoundToThePasteChordPastesOncePerPress) {
    ASSERT_TRUE(::OpenClipboard(parent));
    ::EmptyClipboard();
    HGLOBAL text = ::GlobalAlloc(GMEM_MOVEABLE, 2);
    ASSERT_NE(text, nullptr);
    ::lstrcpyA(static_cast<char*>(::GlobalLock(text)), "x");
    ::GlobalUnlock(text);
    ASSERT_NE(::SetClipboardData(CF_TEXT, text), nullptr);
    ::CloseClipboard();
    controller.Apply(e2e::HookController::With(
        {{ACTION_PASTE, 0, VK_CONTROL, MODIFIER_CTRL, 0}, {ACTION_PASTE, 0, VK_CONTROL, 0, 0}}));

    for (bool slow : {true, false}) {
        SCOPED_TRACE(slow ? "slowly" : "fast");
        ::SetWindowTextA(edit, "");
        g_editKeys.clear();
        Key(VK_CONTROL, false);
        if (slow) {
            ASSERT_TRUE(e2e::WaitFor([] { return EditReceived(WM_KEYDOWN, 'V'); }));
        }
        Key(VK_CONTROL, true);
        ASSERT_TRUE(e2e::WaitFor([] { return EditReceived(WM_KEYUP, 'V'); }));
        ASSERT_TRUE(Marker('J'));
        EXPECT_EQ(EditText(edit), "xj");
        int presses = 0;
        for (const KeyMessage& k : g_editKeys) presses += k.first == WM_KEYDOWN && k.second == 'V';
        EXPECT_EQ(presses, 1);
        EXPECT_GE(::GetAsyncKeyState(VK_CONTROL), 0);
        EXPECT_GE(::GetAsyncKeyState('V'), 0);
    }
}

TEST_F(Keyboard, TypingStartsOnceUntilTheCursorMovesAndShiftAloneNeverStartsIt) {
    HookSettings s = {};
    s.typingWatch = 1;
    controller.Apply(s);

    ASSERT_TRUE(KeyReachingEdit(VK_SHIFT, false));
    ASSERT_TRUE(KeyReachingEdit(VK_SHIFT, true));
    e2e::Pump();
    EXPECT_EQ(controller.Count(NOTIFY_TYPING_STARTED), 0);

    ASSERT_TRUE(Marker('A'));
    EXPECT_TRUE(e2e::WaitFor([] { return controller.Notified(NOTIFY_TYPING_STARTED); }));
    ASSERT_TRUE(Marker('B'));
    ASSERT_TRUE(Marker('C'));
    e2e::Pump();
    EXPECT_EQ(controller.Count(NOTIFY_TYPING_STARTED), 1);
    EXPECT_EQ(EditText(edit), "abc");

    // A real cursor move of more than 4 pixels ends the spell of typing in
    // the mouse hook, and the next key starts a new one.
    POINT at;
    ::GetCursorPos(&at);
    ASSERT_TRUE(e2e::PlaceCursor(at.x > 500 ? at.x - 40 : at.x + 40, at.y));
    EXPECT_TRUE(e2e::WaitFor([] { return controller.Notified(NOTIFY_TYPING_ENDED); }));
    ASSERT_TRUE(Marker('D'));
    EXPECT_TRUE(e2e::WaitFor([] { return controller.Count(NOTIFY_TYPING_STARTED) == 2; }));
    e2e::Pump();
    EXPECT_EQ(controller.Count(NOTIFY_TYPING_ENDED), 1);
    EXPECT_EQ(EditText(edit), "abcd");
}

TEST_F(Keyboard, CaptureForwardsKeysUntilCtrlCEndsIt) {
    HookSettings s = {};
    s.captureMode = 1;
    s.copyWatch = 1;
    controller.Apply(s);

    ASSERT_TRUE(Marker('A'));
    ASSERT_TRUE(KeyReachingEdit(VK_CONTROL, false));
    Key('C', false);
    ASSERT_TRUE(e2e::WaitFor([] { return controller.Settings().captureMode == 0; }))
        << "Ctrl+C did not end capture";
    Key('C', true);
    Key(VK_CONTROL, true);
    ASSERT_TRUE(Marker('M'));
    e2e::Pump();

    // The stream closes with a Ctrl release in place of the C, and nothing
    // after it is forwarded.
    EXPECT_EQ(controller.captured,
              (std::vector<e2e::Posted>{
                  {WM_KEYDOWN, 'A'}, {WM_KEYUP, 'A'}, {WM_KEYDOWN, VK_CONTROL}, {WM_KEYUP, VK_CONTROL}}));
    EXPECT_EQ(controller.Settings().copySeen, 1);
    EXPECT_FALSE(EditReceived(WM_KEYDOWN, 'C')) << "the C that ended capture reached the edit box";
    EXPECT_EQ(EditText(edit), "am");
}

// A window whose thread stopped pumping lies under the cursor: a bound key
// that asks it for its hit test (a Ctrl-click) must not hold up the program
// it runs in, whose focused window gets its next key within a second.
HWND g_hung = nullptr;
DWORD WINAPI HungThread(LPVOID stop) {
    g_hung = e2e::MakeWindow("WexHungWindow", PlainProc, 600, 400, 300, 200);
    ::WaitForSingleObject(stop, INFINITE);  // no more pumping
    ::DestroyWindow(g_hung);
    return 0;
}

TEST_F(Keyboard, AHungWindowUnderTheCursorDoesNotHoldUpTheFocusedWindow) {
    HANDLE stop = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = ::CreateThread(nullptr, 0, HungThread, stop, 0, nullptr);
    ASSERT_TRUE(e2e::WaitFor([] { return g_hung != nullptr && ::IsWindowVisible(g_hung); }));
    ASSERT_TRUE(e2e::PlaceCursor(750, 500));
    ::SetForegroundWindow(parent);
    ::SetFocus(edit);
    ASSERT_TRUE(e2e::WaitFor([] { return ::GetFocus() == edit; }));
    controller.Apply(e2e::HookController::With({{ACTION_CTRL_CLICK, 0, 'K', 0, 0}}));
    g_editKeys.clear();

    Key('K', false);
    Key('K', true);
    const DWORD start = ::GetTickCount();
    EXPECT_TRUE(KeyReachingEdit('J', false));
    EXPECT_LT(::GetTickCount() - start, 1000u) << "the focused window waited for the hung one";
    Key('J', true);
    EXPECT_FALSE(EditSawKey('K'));
    EXPECT_GE(::GetAsyncKeyState(VK_CONTROL), 0);
    controller.Apply(HookSettings{});
    ::SetEvent(stop);
    ::WaitForSingleObject(thread, 5000);
    ::CloseHandle(thread);
    ::CloseHandle(stop);
}

}  // namespace
