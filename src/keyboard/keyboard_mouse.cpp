// The keyboard mouse: movement keys move the cursor, button keys play mouse
// buttons at it, in one of five key schemes chosen by keyboardMouseKeys.
//
// Runs for every keystroke while the keyboard mouse is on, so a key outside
// the scheme costs nothing: the keyboard state (for Num Lock) and Ctrl are
// read only for keys that depend on them, the cursor only to move it.
#include "keyboard/keyboard_mouse.h"

#include "actions/click.h"
#include "actions/keys.h"
#include "actions/playback.h"
#include "core/shared.h"

#include <stdint.h>

namespace {

const uint32_t kReleaseBit = 0x80000000u;
const uint32_t kExtendedBit = 0x01000000u;

struct Move {
    UINT vk;
    int dx;
    int dy;
};

// Schemes 0 and 4: the keypad digits with Num Lock on.
const Move kDigitMoves[] = {
    {VK_NUMPAD7, -1, -1}, {VK_NUMPAD8, 0, -1}, {VK_NUMPAD9, 1, -1}, {VK_NUMPAD4, -1, 0},
    {VK_NUMPAD6, 1, 0},   {VK_NUMPAD1, -1, 1}, {VK_NUMPAD2, 0, 1},  {VK_NUMPAD3, 1, 1},
};
// Schemes 3 and 4: the same keys with Num Lock off (non-extended only).
const Move kNavigationMoves[] = {
    {VK_HOME, -1, -1}, {VK_UP, 0, -1},  {VK_PRIOR, 1, -1}, {VK_LEFT, -1, 0},
    {VK_RIGHT, 1, 0},  {VK_END, -1, 1}, {VK_DOWN, 0, 1},   {VK_NEXT, 1, 1},
};
// Scheme 1: the arrows of either block, with Ctrl or during a drag.
const Move kArrowMoves[] = {{VK_LEFT, -1, 0}, {VK_RIGHT, 1, 0}, {VK_UP, 0, -1}, {VK_DOWN, 0, 1}};
// Scheme 2: J, K, I, M, likewise.
const Move kLetterMoves[] = {{'J', -1, 0}, {'K', 1, 0}, {'I', 0, -1}, {'M', 0, 1}};

template <int N>
bool FindMove(const Move (&table)[N], UINT vk, int* dx, int* dy) {
    for (const Move& m : table) {
        if (m.vk == vk) {
            *dx = m.dx;
            *dy = m.dy;
            return true;
        }
    }
    return false;
}

bool IsKeypadScheme(int scheme) { return scheme == 0 || scheme == 3 || scheme == 4; }

// What one keystroke is.  Num Lock and Ctrl are read only when a key that
// depends on them asks, and then once: most keys of the day are typing, and
// the keyboard state in particular is dear to read on some systems.
struct Key {
    UINT vk;
    int scheme;
    bool release;
    bool extended;
    mutable int8_t numLock;  // -1 until read
    mutable int8_t ctrl;     // -1 until read
};

Key ReadKey(WPARAM vk, LPARAM lParam) {
    Key k;
    k.vk = static_cast<UINT>(vk);
    k.scheme = Settings().keyboardMouseKeys;
    k.release = (static_cast<uint32_t>(lParam) & kReleaseBit) != 0;
    k.extended = (static_cast<uint32_t>(lParam) & kExtendedBit) != 0;
    k.numLock = -1;
    k.ctrl = -1;
    return k;
}

bool NumLock(const Key& k) {
    if (k.numLock < 0) {
        BYTE state[256];
        k.numLock = os::GetKeyboardState(state) && (state[VK_NUMLOCK] & 1) != 0 ? 1 : 0;
    }
    return k.numLock != 0;
}

bool Ctrl(const Key& k) {
    if (k.ctrl < 0) k.ctrl = (os::GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0 ? 1 : 0;
    return k.ctrl != 0;
}

// Keypad star, plus and minus act in scheme 4, in scheme 0 with Num Lock on
// and in scheme 3 with Num Lock off.
bool StarActive(const Key& k) {
    return k.scheme == 4 || (k.scheme == 0 && NumLock(k)) || (k.scheme == 3 && !NumLock(k));
}

// The keypad's own key (non-extended) sent for `vk` under the schemes that
// read the keypad with Num Lock on (0, 4) or off (3, 4).
bool KeypadKey(const Key& k, UINT numLockOn, UINT numLockOff) {
    if (k.vk == numLockOn) return k.scheme == 0 || k.scheme == 4;
    return k.vk == numLockOff && !k.extended && (k.scheme == 3 || k.scheme == 4);
}

bool IsNavigationKey(UINT vk) {
    return vk == VK_CLEAR || (vk >= VK_PRIOR && vk <= VK_DOWN) || vk == VK_INSERT || vk == VK_DELETE;
}

bool IsSchemeKey(const Key& k) {
    const UINT vk = k.vk;
    switch (k.scheme) {
        case 0:
            return (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) || vk == VK_DECIMAL ||
                   ((vk == VK_ADD || vk == VK_SUBTRACT) && NumLock(k));
        case 1: return (vk == 'A' || vk == 'Z' || (vk >= VK_LEFT && vk <= VK_DOWN)) && Ctrl(k);
        case 2: return (vk == 'A' || vk == 'Z' || vk == 'I' || vk == 'J' || vk == 'K' || vk == 'M') && Ctrl(k);
        case 3:
            return (IsNavigationKey(vk) && !k.extended) ||
                   ((vk == VK_ADD || vk == VK_SUBTRACT) && !NumLock(k));
        case 4:
            return (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) || vk == VK_ADD || vk == VK_SUBTRACT ||
                   vk == VK_DECIMAL || (IsNavigationKey(vk) && !k.extended);
        default: return false;
    }
}

bool WithinDoubleClick(DWORD since) { return os::GetTickCount() - since < os::GetDoubleClickTime(); }

// Every left release the keyboard mouse plays ends the lock's hold too.
void PlayLeftUp() {
    PlayMouseMessage(WM_LBUTTONUP);
    Shared().keyLockDown = 0;
}

bool LeftDown() { return os::GetAsyncKeyState(VK_LBUTTON) < 0; }
bool LockHolds() { return Shared().keyLockDown == 1 && LeftDown(); }

// A new press of a button that another key of the keyboard mouse holds down
// lets that hold go first, so that the window under it gets the release of
// the first press before the next press: never two presses and one release.
// Left: the lock and the click key; right: keypad star, Ctrl+Z and the
// armed click key.
void EndOwnLeftBeforePress() {
    SharedState& s = Shared();
    if ((s.keyLockDown == 1 || s.keyClickButton == 1) && LeftDown()) PlayLeftUp();
    if (s.keyClickButton == 1) s.keyClickButton = 0;
}

void EndOwnRightBeforePress() {
    SharedState& s = Shared();
    const bool held = s.keyStarDown == 1 || s.keyRightLock == 1 || s.keyClickButton == 2;
    if (held && os::GetAsyncKeyState(VK_RBUTTON) < 0) PlayMouseMessage(WM_RBUTTONUP);
    s.keyStarDown = 0;
    s.keyRightLock = 0;
    if (s.keyClickButton == 2) s.keyClickButton = 0;
}

// Button keys of the keypad schemes, on a first press or a release.  1 when
// the key is consumed at once (keypad star).
int ButtonKey(const Key& k) {
    ProcessState& proc = Proc();
    // The release of a key whose press holds a button (star, the click key)
    // lets it up whatever Num Lock did in between: read again now, Num Lock
    // may no longer make it a keyboard-mouse key, and the button would stay
    // down.
    if (k.vk == VK_MULTIPLY && (StarActive(k) || (k.release && Shared().keyStarDown == 1))) {
        // An auto-repeat that follows another key's release counts as a
        // first press: while the button this key pressed is still down, it
        // presses nothing more (two presses would meet one release).
        const bool starHeld = Shared().keyStarDown == 1 && os::GetAsyncKeyState(VK_RBUTTON) < 0;
        if (k.release) {
            PlayMouseMessage(WM_RBUTTONUP);
        } else if (!starHeld) {
            EndOwnRightBeforePress();
            PlayMouseMessage(WM_RBUTTONDOWN);
        }
        Shared().keyStarDown = k.release ? 0 : 1;
        return 1;
    }
    // (The keypad's 5 gives VK_CLEAR with Num Lock off.)
    if (KeypadKey(k, VK_NUMPAD5, VK_CLEAR) || (k.release && Shared().keyClickButton != 0 &&
                                               (k.vk == VK_NUMPAD5 || (k.vk == VK_CLEAR && !k.extended)))) {
        // The release lets up the button the press pushed, even when the
        // arming changed in between (another key's release disarms it).  An
        // auto-repeat that follows another key's release counts as a first
        // press; while the button the press pushed is still down it presses
        // nothing more.
        const int clickButton = Shared().keyClickButton;
        const bool clickHeld =
            clickButton != 0 && os::GetAsyncKeyState(clickButton == 2 ? VK_RBUTTON : VK_LBUTTON) < 0;
        if (!k.release && clickHeld) {
            // A repeat of the click key.
        } else if (!k.release) {
            if (proc.rightArmed == 1) {
                EndOwnRightBeforePress();
                PlayMouseMessage(WM_RBUTTONDOWN);
                Shared().keyClickButton = 2;
            } else {
                EndOwnLeftBeforePress();
                PlayMouseMessage(WithinDoubleClick(Shared().keyLeftClickTime) ? WM_LBUTTONDBLCLK
                                                                              : WM_LBUTTONDOWN);
                Shared().keyLeftClickTime = os::GetTickCount();
                Shared().keyClickButton = 1;
            }
        } else {
            const int pressed = Shared().keyClickButton;
            Shared().keyClickButton = 0;
            if (pressed == 2 || (pressed == 0 && proc.rightArmed == 1)) {
                PlayMouseMessage(WM_RBUTTONUP);
                proc.rightArmed = 0;
            } else if (pressed == 1 || Shared().keyLockDown == 0) {
                // Unless the lock took the button over meanwhile: its
                // release is the unlock key's.
                PlayLeftUp();
            }
        }
    } else if (!k.release) {
        if (KeypadKey(k, VK_NUMPAD0, VK_INSERT)) {
            // Locked already: the button is down, and stays so.
            if (!LockHolds()) {
                EndOwnLeftBeforePress();
                PlayMouseMessage(WM_LBUTTONDOWN);
            }
            Shared().keyLockDown = 1;
        } else if (KeypadKey(k, VK_DECIMAL, VK_DELETE)) {
            PlayLeftUp();
        } else if (k.vk == VK_ADD && StarActive(k)) {
            ClickAtCursor();
            proc.rightArmed = 0;
        }
    }
    // Keypad minus arms the right button until the next release of another key.
    // (A release that would leave it as it is reads no state.)
    if (k.release && (proc.rightArmed != 0 || k.vk == VK_SUBTRACT) && StarActive(k))
        proc.rightArmed = k.vk == VK_SUBTRACT ? 1 : 0;
    return 0;
}

// Ctrl+A drags and Ctrl+Z clicks right, on a first press or a release.  1
// when the keystroke is consumed.
int CtrlKey(const Key& k) {
    if (k.vk == 'A') {
        if (!k.release && Ctrl(k)) {
            // Ctrl goes up for the length of the drag, so the played button
            // messages carry no Ctrl.
            Shared().keyDragCtrlOwn = 1;
            Shared().keyDragCtrlUp = 0;
            InjectKey(VK_CONTROL, true);
            EndOwnLeftBeforePress();
            PlayMouseMessage(WithinDoubleClick(Shared().keyLeftClickTime) ? WM_LBUTTONDBLCLK
                                                                          : WM_LBUTTONDOWN);
            Shared().keyLeftClickTime = os::GetTickCount();
            Shared().keyDragLock = 1;
            return 1;
        }
        if (k.release && Shared().keyDragLock == 1) {
            PlayLeftUp();
            Shared().keyDragLock = 0;
            // Ctrl goes down again only for a person who still holds it;
            // one who let go of it first would be left with Ctrl stuck.
            if (Shared().keyDragCtrlUp == 0) InjectKey(VK_CONTROL, false);
            return 1;
        }
    } else if (k.vk == 'Z') {
        // Z held with the right button it pressed still down: a repeat,
        // which presses nothing more.
        if (!k.release && Shared().keyRightLock == 1 && os::GetAsyncKeyState(VK_RBUTTON) < 0) return 1;
        if (!k.release && Ctrl(k)) {
            EndOwnRightBeforePress();
            PlayMouseMessage(WithinDoubleClick(Shared().keyRightClickTime) ? WM_RBUTTONDBLCLK
                                                                           : WM_RBUTTONDOWN);
            Shared().keyRightClickTime = os::GetTickCount();
            Shared().keyRightLock = 1;
            return 1;
        }
        // The right button goes up also when Ctrl was let go before Z.
        if (k.release && (Shared().keyRightLock == 1 || Ctrl(k))) {
            PlayMouseMessage(WM_RBUTTONUP);
            Shared().keyRightLock = 0;
            return 1;
        }
    }
    return 0;
}

// The movement of a key under the active scheme, as unit steps; false for
// keys that do not move.
bool MovementOf(const Key& k, int* dx, int* dy) {
    switch (k.scheme) {
        case 0: return FindMove(kDigitMoves, k.vk, dx, dy);
        case 3: return !k.extended && FindMove(kNavigationMoves, k.vk, dx, dy);
        case 4:
            return FindMove(kDigitMoves, k.vk, dx, dy) ||
                   (!k.extended && FindMove(kNavigationMoves, k.vk, dx, dy));
        case 1: return FindMove(kArrowMoves, k.vk, dx, dy) && (Shared().keyDragLock == 1 || Ctrl(k));
        case 2: return FindMove(kLetterMoves, k.vk, dx, dy) && (Shared().keyDragLock == 1 || Ctrl(k));
        default: return false;
    }
}

// A cursor moved from the keyboard must be seen, but the program under it
// owns the display count: a video player or a game that hid its cursor must
// be able to hide it again.  The count goes up only while the cursor is
// hidden (below zero), and only to zero.
void ShowCursorIfHidden() {
    CURSORINFO info = {};
    info.cbSize = sizeof info;
    if (!os::GetCursorInfo(&info) || (info.flags & CURSOR_SHOWING) != 0) return;
    // Bounded: a count is only ever lowered so far by its program.
    int count = -1;
    for (int i = 0; count < 0 && i < 64; ++i) count = os::ShowCursor(TRUE);
}

int64_t Clamp(int64_t value, int64_t low, int64_t high) {
    return value < low ? low : value > high ? high : value;
}

// Moves the cursor for a movement key; 1 when the key moved it, 0 when the
// key does not move (or the step is 0).
int MoveCursor(const Key& k) {
    int dx = 0;
    int dy = 0;
    if (!MovementOf(k, &dx, &dy)) return 0;
    // 64-bit, so that no step the controlling program sends can overflow.
    int64_t step = Settings().keyboardMouseStep;
    if (Settings().keyboardMouseAccel != 0) step *= Shared().keyRepeatCount / 5 + 1;
    if (step == 0) return 0;
    POINT cursor = {0, 0};
    os::GetCursorPos(&cursor);
    // A key pressed at the screen's edge still counts as a move: it is eaten
    // and the cursor is set (to where it is).
    int32_t width = 0, height = 0;
    ScreenSize(&width, &height);
    const int64_t x = Clamp(cursor.x + dx * step, 0, int64_t{width} - 1);
    const int64_t y = Clamp(cursor.y + dy * step, 0, int64_t{height} - 1);
    os::SetCursorPos(static_cast<int>(x), static_cast<int>(y));
    ShowCursorIfHidden();
    Proc().cursorMoved = static_cast<int32_t>(k.vk);
    return 1;
}

}  // namespace

// Ctrl during a Ctrl+A drag: the first release is the drag's own, any later
// one is the person letting go, and a press takes hold again.
void WatchDragCtrl(const Key& k) {
    SharedState& s = Shared();
    if (!k.release) {
        s.keyDragCtrlUp = 0;
    } else if (s.keyDragCtrlOwn != 0) {
        s.keyDragCtrlOwn = 0;
    } else {
        s.keyDragCtrlUp = 1;
    }
}

int KeyboardMouseKey(WPARAM vk, LPARAM lParam) {
    // A played message whose hook the system never asked is let go first.
    SettlePlayback();
    const Key k = ReadKey(vk, lParam);
    if (k.vk == VK_CONTROL && Shared().keyDragLock == 1) WatchDragCtrl(k);

    // Repeat counting: a press of the same key counts up, anything else
    // starts over.
    bool first = true;
    if (k.release) {
        Shared().keyRepeatCount = 1;
        Shared().keyLastKey = 0;
    } else {
        if (static_cast<UINT>(Shared().keyLastKey) != k.vk) Shared().keyRepeatCount = 0;
        Shared().keyLastKey = static_cast<int32_t>(k.vk);
        Shared().keyRepeatCount = Shared().keyRepeatCount + 1;
        first = Shared().keyRepeatCount == 1;
    }

    // A held A during a drag is eaten and plays nothing.  Its repeats can look
    // like first presses: the Ctrl release injected when the drag started
    // resets the repeat count.
    if (!k.release && k.vk == 'A' && Shared().keyDragLock == 1) return 1;

    if (first) {
        if (IsKeypadScheme(k.scheme)) {
            if (ButtonKey(k)) return 1;
        } else if (CtrlKey(k)) {
            return 1;
        }
    }

    if (k.release) {
        // Only the release of the key that moved the cursor here is eaten;
        // other releases (modifiers, bound keys) still reach their programs.
        ProcessState& proc = Proc();
        if (proc.cursorMoved == 0 || static_cast<UINT>(proc.cursorMoved) != k.vk) return 0;
        proc.cursorMoved = 0;
        return 1;
    }
    if (MoveCursor(k)) return 1;
    return IsSchemeKey(k) ? 1 : 0;
}

int IsKeyboardMouseKey(WPARAM vk, LPARAM lParam) { return IsSchemeKey(ReadKey(vk, lParam)) ? 1 : 0; }

void FollowKeyboardMouseScheme(int32_t scheme) {
    // A press still waiting to be played is played first, as for any key the
    // keyboard mouse takes: the button state read in letting go must include
    // it, or the button it pushes would stay down.
    SettlePlayback();
    Shared().keyMouseScheme = scheme;
    ReleaseKeyboardMouseButtons(scheme == 0);
}

void ReleaseKeyboardMouseButtons(bool lockToo) {
    const bool left = Shared().keyClickButton == 1 || Shared().keyDragLock == 1 ||
                      (lockToo && Shared().keyLockDown == 1);
    if (lockToo) Shared().keyLockDown = 0;
    const bool right =
        Shared().keyClickButton == 2 || Shared().keyRightLock == 1 || Shared().keyStarDown == 1;
    Shared().keyClickButton = 0;
    Shared().keyStarDown = 0;
    Shared().keyDragLock = 0;
    Shared().keyRightLock = 0;
    if (left && os::GetAsyncKeyState(VK_LBUTTON) < 0) os::mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    if (right && os::GetAsyncKeyState(VK_RBUTTON) < 0) os::mouse_event(MOUSEEVENTF_RIGHTUP, 0, 0, 0, 0);
}
