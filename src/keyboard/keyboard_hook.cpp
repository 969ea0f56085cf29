// The keyboard hook: counting, the copy watch, capture mode and its end at
// Ctrl+C, the keyboard mouse, the pause lock, key bindings and the typing
// watch, in that order, for every keystroke a hooked thread takes.
#include "actions/dispatcher.h"
#include "actions/keys.h"
#include "core/exports.h"
#include "core/notify.h"
#include "core/profiles.h"
#include "core/shared.h"
#include "core/table.h"
#include "keyboard/keyboard_mouse.h"

namespace {

constexpr WPARAM kKeyC = 0x43;
constexpr uint32_t kTransitionBit = 0x80000000u;  // 1 on release
constexpr uint32_t kPreviousBit = 0x40000000u;    // 1 when the key was already down
constexpr WPARAM kFirstSyntheticTrigger = TRIGGER_EXTRA_BUTTON_BIT4;

// A queue that refills itself as fast as it is drained (a window that posts
// to itself on every message) must not hold the keystroke forever.
constexpr int kMaxDrainedMessages = 4096;

bool IsModifierKey(WPARAM vk) { return vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU; }

// The hook handle is not needed: CallNextHookEx ignores it.
LRESULT PassOn(int code, WPARAM wParam, LPARAM lParam) { return os::CallNextHookEx(nullptr, code, wParam, lParam); }

// Runs the calling thread's pending messages.  Keystrokes among them come
// back through this hook.  False when a WM_QUIT was taken: it is posted again
// with its exit code, so that the program that owned it still quits.
bool DrainQueue() {
    MSG msg;
    for (int i = 0; i < kMaxDrainedMessages && os::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        if (msg.message == WM_QUIT) {
            os::PostMessageA(nullptr, WM_QUIT, msg.wParam, 0);
            return false;
        }
        os::TranslateMessage(&msg);
        os::DispatchMessageA(&msg);
    }
    return true;
}

// Ctrl+C while capture is on: the forwarded stream closes with a Ctrl
// release in place of the C, the thread's pending messages run (twice, with
// a pause between), and capture ends with the C eaten.  A WM_QUIT met on the
// way leaves capture on and lets the C through.
LRESULT EndCapture() {
    PostCapture(WM_KEYUP, VK_CONTROL);
    // The drain may meet this very keystroke again (the system can call the
    // hook before the key leaves the queue); the flag makes that call eat it
    // instead of ending capture a second time.
    Proc().captureEnding = 1;
    bool quit = !DrainQueue();
    if (!quit) {
        os::Sleep(100);
        quit = !DrainQueue();
    }
    Proc().captureEnding = 0;
    if (quit) return 0;
    SetDesktopField(&HookSettings::captureMode, 0);
    return 1;
}

// Runs a key row in one phase; a pause row records the key and modifiers
// that paused.
void RunKeyRow(WPARAM vk, const Binding& row, int release) {
    if (row.action == ACTION_PAUSE) {
        Shared().pauseTrigger = static_cast<int32_t>(vk);
        Shared().pauseModifiers = row.modifiers;
    }
    ExecuteAction(row.action, row.parameter, release);
}

// The first row from `from` on whose trigger is the key, `rows` if none: the
// scan every keystroke makes, which reads nothing but the triggers.
int NextRowFor(const Binding* table, int from, int rows, WPARAM vk) {
    const Binding* row = table + from;
    const Binding* const end = table + rows;
    while (row < end && static_cast<WPARAM>(row->trigger) != vk) ++row;
    return static_cast<int>(row - table);
}

// The key binding step: the first row for this key with exactly the current
// modifiers eats the key.  Its action runs at the first press and at the
// release, never at an auto-repeat or at a release whose press was not seen.
// Returns 1 when a row took the key.
//
// A row whose press ran stays held until its key is released, and the
// repeats and the release of that key belong to it whatever the modifiers
// are by then: an action that injects a modifier (the copy chord, Alt+arrow)
// changes the mask under its own key, and a release that no longer matched
// would leave the injected keys down.
//
// The mouse buttons' own codes (1, 2, 4) and the codes of mouse and message
// triggers (245 and above) are never keys: a keystroke carrying one (some
// program's keybd_event, or a rare key such as 0xFA) runs no row.  Such a
// row's press run from the keyboard would hold keys or a button that
// neither hook could then let up: its held flag is the mouse hook's, and
// the modifiers its press injected keep its release from matching.
//
// The modifier mask is read only once a row names this key.
int RunKeyBinding(WPARAM vk, uint32_t flags) {
    Binding* const table = Settings().bindings;
    int rows = UsedBindingRows();
    const int release = (flags & kTransitionBit) != 0 ? 1 : 0;
    const int wasDown = (flags & kPreviousBit) != 0 ? 1 : 0;
    // The repeats and the release of a key whose press ran a row are that
    // row's, whichever program's table it is in (the press may have come
    // under another profile): a repeat is eaten, the release ends the row.
    const uint32_t held = HeldTables();
    if ((release || wasDown) && held != 0 && ReleaseHeldRows(static_cast<int>(vk), 1, held, release == 0) > 0) {
        return 1;
    }
    // Both scans start at the first row for this key, which the table of
    // first rows gives: a key no row names costs one lookup.
    int first = NextRowFor(table, FirstRowFor(vk, rows), rows, vk);
    if (first >= rows) return 0;
    if (vk == VK_LBUTTON || vk == VK_RBUTTON || vk == VK_MBUTTON || vk >= kFirstSyntheticTrigger) return 0;
    // A key some row names: from here the table is read as one generation,
    // and looked at again if it is replaced before a row runs.
    for (int attempt = 0; attempt < 4; ++attempt) {
        uint32_t gen = 0;
        if (!BeginTableRead(&gen)) return 0;
        if (attempt > 0) {
            rows = UsedBindingRows();
            first = NextRowFor(table, FirstRowFor(vk, rows), rows, vk);
        }
        bool replaced = false;
        int mask = -1;
        for (int i = first; i < rows && !replaced; i = NextRowFor(table, i + 1, rows, vk)) {
            const Binding row = table[i];
            if (mask < 0) mask = GetModifierMask();
            if (row.modifiers != mask || static_cast<WPARAM>(row.trigger) != vk) continue;
            if (!TableUnchanged(gen)) {
                replaced = true;
                break;
            }
            if (release == wasDown) {
                RunKeyRow(vk, row, release);
                if (!release) MarkRowHeld(i, row, gen);
            }
            return 1;
        }
        if (!replaced) return 0;
    }
    return 0;
}

// The first keystroke of a spell of typing, reported once until the mouse
// hook sees the cursor move away and re-arms the watch.
void WatchTyping() {
    PostNotify(NOTIFY_TYPING_STARTED, 0);
    POINT cursor;
    // The position is stored before the state turns on, so that a mouse hook
    // in another process never compares against an old position.
    if (os::GetCursorPos(&cursor)) {
        Shared().typingCursor.x = cursor.x;
        Shared().typingCursor.y = cursor.y;
    }
    Shared().typingState = 1;
}

}  // namespace

extern "C" LRESULT WINAPI KeyboardProc(int code, WPARAM wParam, LPARAM lParam) {
    // Keystrokes go to the thread of the foreground window: in the process
    // that installed the hooks, any other is another program's.
    if (code != HC_ACTION || !HaveShared() || (HooksInstalledHere() && ForeignWindow(os::GetForegroundWindow()))) {
        return PassOn(code, wParam, lParam);
    }
    FollowProfiles();
    HookSettings& s = Settings();
    const WPARAM vk = wParam;
    const uint32_t flags = static_cast<uint32_t>(lParam);
    const bool release = (flags & kTransitionBit) != 0;

    // Ctrl is read once, and only for a C that the copy watch or capture
    // (or a capture end under way) cares about.
    bool ctrlC = false;
    if (vk == kKeyC && (s.copyWatch != 0 || s.captureMode != 0 || Proc().captureEnding != 0)) {
        ctrlC = os::GetAsyncKeyState(VK_CONTROL) < 0;
    }
    // The Ctrl+C that is ending capture, met again by the drain: already
    // counted, watched and answered by the marker.
    if (ctrlC && Proc().captureEnding != 0) return 1;

    if (!release) IncrementCounter(Shared().statistics.keystrokes);
    if (ctrlC && s.copyWatch != 0) SetDesktopField(&HookSettings::copySeen, 1);

    if (s.captureMode != 0) {
        if (ctrlC) return EndCapture();
        PostCapture(release ? WM_KEYUP : WM_KEYDOWN, static_cast<uint32_t>(vk));
    }

    const int32_t scheme = s.keyboardMouse != 0 ? s.keyboardMouseKeys + 1 : 0;
    if (scheme != Shared().keyMouseScheme) FollowKeyboardMouseScheme(scheme);
    if (scheme != 0 && KeyboardMouseKey(wParam, lParam) == 1) return 1;

    // The pause lets modifier keys and the pausing key through; any other
    // key is eaten, and reported once, at its release.
    if (s.pauseLock != 0 && !IsModifierKey(vk) && vk != static_cast<WPARAM>(Shared().pauseTrigger)) {
        if (release) PostNotify(NOTIFY_PAUSED_INPUT, 0);
        return 1;
    }

    // A key the library typed itself is counted and watched like any other,
    // but runs no key row: a row whose action types its own key (Ctrl bound
    // to the paste chord) would start again at every key it typed.
    if (!TakeOwnKey(vk, release) && RunKeyBinding(vk, flags)) return 1;

    if (!IsModifierKey(vk) && s.typingWatch != 0 && Shared().typingState == 0) WatchTyping();
    return PassOn(code, wParam, lParam);
}
