// Mouse-button messages played into the system input stream.
//
// A message is normally played through a short-lived WH_JOURNALPLAYBACK hook:
// two events (a move before a press, a move after a release), after which the
// hook removes itself.  Where journal playback is gone the same two events go
// in as ordinary injected mouse input at the cursor, in the same order:
//
// - refused: SetWindowsHookExA fails, and the events are injected at once;
// - accepted but never called: a playback hook that is still installed when
//   the next keystroke or played message comes is removed, and the events it
//   had not yet played are injected then.  The keystroke that started a
//   playback is always followed by its own release, so nothing waits longer
//   than the key is held.  While a working playback runs, the system takes
//   its input from the hook alone, so no keystroke arrives before it ends.
//
// Either way playbackGone is set for the whole desktop and every later
// message is injected directly.  Injected events queue behind the ones
// injected before them, whereas a new playback hook would take the input
// stream over at once and play ahead of them; going back to playback could
// therefore reorder a press and its release.
#include "actions/playback.h"

#include "core/exports.h"
#include "core/notify.h"
#include "core/shared.h"

#include <stdint.h>

namespace {

bool IsPlayable(UINT message) { return message >= WM_LBUTTONDOWN && message <= WM_RBUTTONDBLCLK; }

bool IsPress(UINT message) {
    return message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDOWN ||
           message == WM_RBUTTONDBLCLK;
}

// Event 0 and event 1 of a playback: a press is preceded by a move to the
// cursor, a release is followed by one.
UINT PlayedEvent(UINT message, int step) {
    const bool moveFirst = IsPress(message);
    if (step == 0) return moveFirst ? WM_MOUSEMOVE : message;
    return moveFirst ? message : WM_MOUSEMOVE;
}

DWORD InjectedFlags(UINT event) {
    switch (event) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: return MOUSEEVENTF_LEFTDOWN;
        case WM_LBUTTONUP: return MOUSEEVENTF_LEFTUP;
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK: return MOUSEEVENTF_RIGHTDOWN;
        case WM_RBUTTONUP: return MOUSEEVENTF_RIGHTUP;
        default: return MOUSEEVENTF_MOVE;  // a move by nothing: an event at the cursor
    }
}

// A screen coordinate in the 0..65535 scale of absolute mouse input, rounded
// up so that it maps back to the same pixel.
DWORD Normalised(LONG value, int size) {
    return static_cast<DWORD>((static_cast<int64_t>(value) * 65536 + size - 1) / size);
}

// Injects the events of a playback from `step` on.  A double-click message
// goes in as a press: the system itself makes the double-click of it.  The
// moves go nowhere; each button event carries the cursor's position, so that
// it lands where the cursor is shown even when the system's own pointer lags
// behind the last SetCursorPos (as under Wine), and a move to where the
// pointer already is adds nothing to it.  Off the primary screen, which
// absolute input cannot reach, a button goes in at the pointer as it is.
void InjectFrom(UINT message, int step) {
    if (step >= 2) return;
    POINT cursor = {0, 0};
    os::GetCursorPos(&cursor);
    const int width = os::GetSystemMetrics(SM_CXSCREEN);
    const int height = os::GetSystemMetrics(SM_CYSCREEN);
    const bool onScreen = cursor.x >= 0 && cursor.x < width && cursor.y >= 0 && cursor.y < height;
    for (int i = step; i < 2; ++i) {
        const DWORD flags = InjectedFlags(PlayedEvent(message, i));
        if (flags != MOUSEEVENTF_MOVE && onScreen) {
            os::mouse_event(flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, Normalised(cursor.x, width),
                            Normalised(cursor.y, height), 0, 0);
        } else {
            os::mouse_event(flags, 0, 0, 0, 0);
        }
    }
}

void StartPlayback(UINT message) {
    Shared().playbackMessage = message;
    if (Shared().playbackGone != 0) {
        InjectFrom(message, 0);
        return;
    }
    Shared().playbackStep = 0;
    const HHOOK hook = os::SetWindowsHookExA(WH_JOURNALPLAYBACK, JournalPlaybackFunc, Proc().moduleInstance, 0);
    Shared().playbackHook = ToHandle32(hook);
    if (hook == nullptr) {
        Shared().playbackGone = 1;
        InjectFrom(message, 0);
    }
}

// A press on the minimise, maximise or close button of an ordinary top-level
// window is carried out as the window command; 1 when it was.
int RunCaptionButton() {
    const HWND window = FindTopLevelAtCursor();
    if (window == nullptr) return 0;
    POINT cursor = {0, 0};
    os::GetCursorPos(&cursor);
    switch (HitTestAt(window, cursor.x, cursor.y)) {
        case HTMINBUTTON: os::ShowWindow(window, SW_MINIMIZE); return 1;
        case HTMAXBUTTON: os::ShowWindow(window, os::IsZoomed(window) ? SW_RESTORE : SW_MAXIMIZE); return 1;
        case HTCLOSE: os::PostMessageA(window, WM_CLOSE, 0, 0); return 1;
        default: return 0;
    }
}

HHOOK PlaybackHook() { return FromHandle32<HHOOK>(Shared().playbackHook); }

bool IsPopup(HWND window) {
    return (static_cast<DWORD>(os::GetWindowLongA(window, GWL_STYLE)) & WS_POPUP) != 0;
}

}  // namespace

// A playback whose hook is still installed is finished now: the hook goes,
// and whatever it had not yet played is injected.
void SettlePlayback() {
    if (Shared().playbackHook == 0 || Shared().playbackStep >= 2) return;
    os::UnhookWindowsHookEx(PlaybackHook());
    Shared().playbackGone = 1;
    const int step = Shared().playbackStep < 0 ? 0 : Shared().playbackStep;
    Shared().playbackStep = 2;
    InjectFrom(Shared().playbackMessage, step);
}

void PlayMouseMessage(UINT message) {
    // Any other message would keep a playback hook installed for good.
    if (!IsPlayable(message)) return;
    SettlePlayback();
    // Injected, a double-click message is a plain press, and a press on a
    // caption button would start the window's modal button tracking, which
    // waits for a release the keyboard cannot send while the window's thread
    // is held in it.  So without playback it gets the test a press gets.
    const bool doubleClick = message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDBLCLK;
    if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN ||
        (doubleClick && Shared().playbackGone != 0)) {
        if (RunCaptionButton()) {
            Shared().skipNextButtonUp = 1;
            return;
        }
        Shared().skipNextButtonUp = 0;
    } else if (message == WM_LBUTTONUP && Shared().skipNextButtonUp != 0) {
        Shared().skipNextButtonUp = 0;
        return;
    }
    StartPlayback(message);
}

HWND FindTopLevelAtCursor() {
    POINT cursor = {0, 0};
    os::GetCursorPos(&cursor);
    HWND window = os::WindowFromPoint(cursor);
    if (window == nullptr || IsPopup(window)) return nullptr;
    // Parent chains are short; the bound only guards against a chain that
    // changes under the walk.
    for (int depth = 0; depth < 64; ++depth) {
        const HWND parent = os::GetParent(window);
        if (parent == nullptr) return window;
        window = parent;
        if (IsPopup(window)) return nullptr;
    }
    return nullptr;
}

extern "C" LRESULT WINAPI JournalPlaybackFunc(int code, WPARAM wParam, LPARAM lParam) {
    if (!HaveShared()) return os::CallNextHookEx(nullptr, code, wParam, lParam);
    if (code == HC_SKIP) {
        Shared().playbackStep = Shared().playbackStep + 1;
        if (Shared().playbackStep == 2 && IsPlayable(Shared().playbackMessage)) {
            os::UnhookWindowsHookEx(PlaybackHook());
        }
    } else if (code == HC_GETNEXT && lParam != 0) {
        // The system may ask for the same event again: each answer repeats it
        // with the cursor position and the time read now.
        EVENTMSG* event = reinterpret_cast<EVENTMSG*>(lParam);
        POINT cursor = {0, 0};
        os::GetCursorPos(&cursor);
        const int step = Shared().playbackStep < 0 ? 0 : Shared().playbackStep;
        event->message = step < 2 ? PlayedEvent(Shared().playbackMessage, step) : WM_MOUSEMOVE;
        event->paramL = static_cast<UINT>(cursor.x);
        event->paramH = static_cast<UINT>(cursor.y);
        event->time = os::GetTickCount();
    }
    return os::CallNextHookEx(PlaybackHook(), code, wParam, lParam);
}
