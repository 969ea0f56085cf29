#include "actions/dispatcher.h"

#include "actions/click.h"
#include "actions/keys.h"
#include "core/notify.h"
#include "core/shared.h"
#include "core/table.h"

namespace {

// GetPrivateProfileString's size for the screen saver's path: at most 259
// characters and the terminator.
constexpr int kProfileValueSize = 260;
// The path, two quotes, " /s" and the terminator.
constexpr int kScreenSaverLineSize = kProfileValueSize + 2 + 3 + 1;

// Class names are compared by their first 38 characters.
constexpr int kClassNameBuffer = 40;
constexpr int kClassNameSize = 39;

// The Z-order walk gives up after this many windows, so that a window list
// that changes under it (or loops) cannot hold the input thread.  An ordinary
// desktop has a few hundred top-level windows.
constexpr int kMaxWindowsWalked = 10000;

// Ctrl+letter with Alt released first, so the application sees Ctrl+X and not
// Ctrl+Alt+X.  Both keys go down (or up) unconditionally, Ctrl first.
void CtrlChord(int letter, int release) {
    ReleaseAltIfDown();
    InjectKey(VK_CONTROL, release != 0);
    InjectKey(letter, release != 0);
}

// One key held for as long as the trigger is, with a held Alt let up first.
int PlainKey(int vk, int release) {
    ReleaseAltIfDown();
    SetKeyDown(vk, release);
    return 1;
}

// Alt+arrow for browser back and forward.
int AltArrow(int arrow, int release) {
    SetKeyDown(VK_MENU, release);
    os::Sleep(50);
    SetKeyDown(arrow, release);
    return 1;
}

// The system's own programs are started by their full path, quoted: a bare
// name would be searched for first in the folder of whichever program the
// hook runs in, which could hold a file of that name.  Nothing is started
// when the folder cannot be read.
enum Folder { kSystemFolder, kWindowsFolder };
constexpr int kFolderSize = 260;

void Launch(const char* program, UINT show, Folder where = kSystemFolder) {
    char line[kFolderSize + 40];
    char* folder = line + 1;
    const UINT length = where == kSystemFolder ? os::GetSystemDirectoryA(folder, kFolderSize)
                                               : os::GetWindowsDirectoryA(folder, kFolderSize);
    if (length == 0 || length >= kFolderSize) return;
    int n = 0;
    line[n++] = '"';
    n += static_cast<int>(length);
    line[n++] = '\\';
    for (const char* c = program; *c != '\0'; ++c) line[n++] = *c;
    line[n++] = '"';
    line[n] = '\0';
    os::WinExec(line, show);
}

// Runs the configured screen saver with " /s".  A path with a space that is
// not quoted would let the system run a different program (the part before
// the space, if such a file exists), so it is quoted first.
void StartScreenSaver() {
    os::Sleep(450);
    char path[kProfileValueSize];
    path[0] = '\0';
    os::GetPrivateProfileStringA("boot", "SCRNSAVE.EXE", "", path, kProfileValueSize, "system.ini");
    path[kProfileValueSize - 1] = '\0';

    bool hasSpace = false;
    for (int i = 0; i < kProfileValueSize && path[i] != '\0'; ++i) {
        if (path[i] == ' ') hasSpace = true;
    }
    const bool quote = hasSpace && path[0] != '"';

    char line[kScreenSaverLineSize];
    int n = 0;
    if (quote) line[n++] = '"';
    for (int i = 0; i < kProfileValueSize && path[i] != '\0'; ++i) line[n++] = path[i];
    if (quote) line[n++] = '"';
    line[n++] = ' ';
    line[n++] = '/';
    line[n++] = 's';
    line[n] = '\0';
    // An empty entry leaves " /s", which WinExec refuses; nothing is reported.
    os::WinExec(line, SW_SHOWNORMAL);
}

// Ctrl+click at the cursor, only over a client area: a press over a caption,
// border or menu (or over no window, or a window that does not answer) is
// let through untouched.  The release phase lets up only what this action's
// own press pushed down; for any other release there is nothing to do and it
// goes on to its window.
bool OverClient(POINT cursor) {
    const HWND window = os::WindowFromPoint(cursor);
    return window != nullptr && HitTestAt(window, cursor.x, cursor.y) == HTCLIENT;
}

int CtrlClick(int release) {
    if (release == 0) {
        POINT cursor = {0, 0};
        os::GetCursorPos(&cursor);
        if (!OverClient(cursor)) return 0;
        Shared().ctrlClickDown = 1;
        InjectKey(VK_CONTROL, false);
        os::mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, kActionButtonEvent);
        return 1;
    }
    if (!TakeValue(Shared().ctrlClickDown, 1)) return 0;
    // The left press reached a window, so its release goes too, wherever the
    // cursor is now and even when the left button is already up (the
    // trigger may be the left button itself, whose own release this
    // consumes); then Ctrl, unless the person let it go already.
    os::mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, kActionButtonEvent);
    if (os::GetAsyncKeyState(VK_CONTROL) < 0) InjectKey(VK_CONTROL, true);
    return 1;
}

// Raises the lowest eligible window of the foreground window's Z order:
// visible, not a child, not the desktop's "Progman".  Used repeatedly it
// brings the windows up one after another from the bottom.
void CycleWindows() {
    const HWND foreground = os::GetForegroundWindow();
    if (foreground == nullptr) return;
    HWND candidate = nullptr;
    HWND window = os::GetWindow(foreground, GW_HWNDFIRST);
    for (int walked = 0; window != nullptr && walked < kMaxWindowsWalked; ++walked) {
        const DWORD style = static_cast<DWORD>(os::GetWindowLongA(window, GWL_STYLE));
        char className[kClassNameBuffer];
        className[0] = '\0';
        os::GetClassNameA(window, className, kClassNameSize);
        className[kClassNameBuffer - 1] = '\0';
        if (os::IsWindowVisible(window) && os::lstrcmpiA(className, "Progman") != 0 &&
            (style & WS_CHILD) == 0) {
            candidate = window;
        }
        window = os::GetWindow(window, GW_HWNDNEXT);
    }
    // A walk cut short still raises the lowest eligible window it saw.
    if (candidate != nullptr) ForceForeground(candidate);
}

// Taps Alt (releasing it first if held), then asks the desktop for the task
// list at the cursor.
void TaskList() {
    SetKeyDown(VK_MENU, 1);
    os::Sleep(100);
    SetKeyDown(VK_MENU, 0);
    os::Sleep(100);
    SetKeyDown(VK_MENU, 1);
    os::Sleep(100);
    POINT cursor = {0, 0};
    os::GetCursorPos(&cursor);
    SendBounded(os::GetDesktopWindow(), WM_SYSCOMMAND, SC_TASKLIST, PointParam(cursor.x, cursor.y), 0);
}

// The actions that act in the release phase or in both.  Returns 1 or 0 when
// the action decides the result itself, and -1 to go on.
int StageOne(int action, int release) {
    switch (action) {
        case ACTION_NOTIFY_5: PostNotify(NOTIFY_PHASE_A, release); break;
        case ACTION_NOTIFY_6: PostNotify(NOTIFY_PHASE_B, release); break;
        case ACTION_PAUSE: PostNotify(NOTIFY_PAUSE, release); return 1;
        case ACTION_NOTIFY_14_15:
        case ACTION_SCROLL:
            if (release == 0) {
                PostNotify(NOTIFY_SCROLL_PRESSED, 0);
                break;
            }
            PostNotify(NOTIFY_SCROLL_RELEASED, 0);
            return 1;
        case ACTION_CTRL_CLICK: return CtrlClick(release);
        case ACTION_NOTIFY_25:
            if (release == 0) {
                // The controlling program can ask for the trigger to pass
                // through untouched instead.
                if (Settings().action29Bypass != 0) return 0;
                PostNotify(NOTIFY_REQUEST, -1);
            }
            break;
        case ACTION_CYCLE_WINDOWS:
            if (release == 0) break;
            CycleWindows();
            return 1;
        case ACTION_CUT: CtrlChord('X', release); break;
        case ACTION_COPY: CtrlChord('C', release); break;
        case ACTION_PASTE: CtrlChord('V', release); break;
        case ACTION_BACK: return AltArrow(VK_LEFT, release);
        case ACTION_FORWARD: return AltArrow(VK_RIGHT, release);
        case ACTION_BACKSPACE: return PlainKey(VK_BACK, release);
        case ACTION_CLEAR: return PlainKey(VK_CLEAR, release);
        case ACTION_PAGE_UP: return PlainKey(VK_PRIOR, release);
        case ACTION_PAGE_DOWN: return PlainKey(VK_NEXT, release);
        case ACTION_ESCAPE: return PlainKey(VK_ESCAPE, release);
        case ACTION_TASK_LIST:
            if (release != 0) TaskList();
            return 1;
        default: break;
    }
    return -1;
}

// The actions that act on the press alone.
void StageTwo(int action, int parameter) {
    switch (action) {
        case ACTION_CLICK_AT_CURSOR: ClickAtCursor(); break;
        case ACTION_RUN_NOTEPAD: Launch("notepad.exe", SW_SHOW); break;
        case ACTION_RUN_WRITE: Launch("write.exe", SW_SHOWNORMAL); break;
        case ACTION_RUN_PBRUSH: Launch("pbrush.exe", SW_SHOWNORMAL); break;
        case ACTION_RUN_CALC: Launch("calc.exe", SW_SHOWNORMAL); break;
        case ACTION_RUN_SOL: Launch("sol.exe", SW_SHOWNORMAL); break;
        case ACTION_RUN_CHARMAP: Launch("charmap.exe", SW_SHOWNORMAL); break;
        case ACTION_START_SCREEN_SAVER: StartScreenSaver(); break;
        case ACTION_RUN_CONTROL: Launch("control.exe", SW_SHOWNORMAL); break;
        case ACTION_CENTER_CURSOR:
            os::SetCursorPos(os::GetSystemMetrics(SM_CXSCREEN) / 2, os::GetSystemMetrics(SM_CYSCREEN) / 2);
            break;
        case ACTION_NOTIFY_13_0: PostNotify(NOTIFY_SELECT, 0); break;
        case ACTION_NOTIFY_13_1: PostNotify(NOTIFY_SELECT, 1); break;
        case ACTION_NOTIFY_13_2: PostNotify(NOTIFY_SELECT, 2); break;
        case ACTION_TAP_1: TapKey('1'); break;
        case ACTION_TAP_2: TapKey('2'); break;
        case ACTION_TAP_SPACE: TapKey(VK_SPACE); break;
        case ACTION_TAP_ENTER: TapKey(VK_RETURN); break;
        case ACTION_NOTIFY_8: PostNotify(NOTIFY_SIGNAL, 0); break;
        case ACTION_NOTIFY_10: PostNotify(NOTIFY_PARAMETER, parameter); break;
        case ACTION_NOTIFY_0: PostNotify(NOTIFY_COMMAND, -1); break;
        case ACTION_CLOSE_WINDOW: {
            // With no foreground window there is nothing to close.  A post to
            // a null window would land in the hooked program's own thread
            // queue as a stray WM_SYSCOMMAND, so nothing is posted.
            const HWND foreground = os::GetForegroundWindow();
            if (foreground != nullptr) os::PostMessageA(foreground, WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
        }
        case ACTION_RUN_EXPLORER: Launch("explorer.exe", SW_SHOWNORMAL, kWindowsFolder); break;
        case ACTION_MAXIMIZE: {
            const HWND foreground = os::GetForegroundWindow();
            if (foreground != nullptr) os::ShowWindow(foreground, SW_MAXIMIZE);
            break;
        }
        case ACTION_MINIMIZE: {
            const HWND foreground = os::GetForegroundWindow();
            if (foreground != nullptr) os::ShowWindow(foreground, SW_MINIMIZE);
            break;
        }
        case ACTION_MINIMIZE_2:
            // No test for a missing window: ShowWindow(NULL) fails harmlessly.
            os::ShowWindow(os::GetForegroundWindow(), SW_MINIMIZE);
            break;
        default: break;
    }
}

}  // namespace

int ExecuteAction(int action, int parameter, int release) {
    // Callers pass 0 or 1; anything nonzero is the release phase.
    const int phase = release != 0 ? 1 : 0;
    const int decided = StageOne(action, phase);
    if (decided >= 0) return decided;
    // A release ends here: the press-only actions act once, on the press.
    if (phase != 0) return 1;
    StageTwo(action, parameter);
    return 1;
}

int ReleaseHeldRows(int trigger, int firstOnly, uint32_t tables, bool justLook) {
    int released = 0;
    for (int t = 0; tables != 0; ++t, tables >>= 1) {
        if ((tables & 1u) == 0) continue;
        // A table replaced while a release runs carried the other held rows
        // over: the search goes on in the new one.
        for (int attempt = 0; attempt < 4; ++attempt) {
            uint32_t gen = 0;
            if (!BeginTableRead(&gen)) return released;
            const HookSettings& record = Shared().settings[t];
            const int rows = UsedBindingRows(record);
            bool replaced = false;
            for (int i = 0; i < rows; ++i) {
                if (!RowHeldIn(t, i, gen)) continue;
                // The row's values are taken first: the table can be
                // replaced while the action runs.
                const Binding row = record.bindings[i];
                if (!TableUnchanged(gen)) {
                    replaced = true;
                    break;
                }
                if (row.trigger != trigger) continue;
                if (justLook) return 1;
                if (!TakeHeldRow(t, i, gen)) continue;
                ExecuteAction(row.action, row.parameter, 1);
                ++released;
                if (firstOnly != 0) return released;
            }
            if (!replaced) break;
        }
    }
    return released;
}

int ReleaseHeldRows(int trigger, int firstOnly) { return ReleaseHeldRows(trigger, firstOnly, HeldTables()); }

int HoldsKeysDown(int action) {
    switch (action) {
        case ACTION_CTRL_CLICK:
        case ACTION_CUT:
        case ACTION_COPY:
        case ACTION_PASTE:
        case ACTION_BACK:
        case ACTION_FORWARD:
        case ACTION_BACKSPACE:
        case ACTION_CLEAR:
        case ACTION_PAGE_UP:
        case ACTION_PAGE_DOWN:
        case ACTION_ESCAPE: return 1;
        default: return 0;
    }
}
