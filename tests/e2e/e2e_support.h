// Helpers for the end-to-end programs: they drive WexUTIL.dll the way a
// controlling program does, from the public header alone.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>

#include "wexutil.h"
#include "wexutil_loader.h"

namespace e2e {

// The library's exports, resolved by their exported names.
using Library = wexutil::Library;

// Folder of the running executable, with a trailing backslash; the DLL and
// the test programs are built into the same folder.
inline std::string ExeFolder() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path);
    return s.substr(0, s.find_last_of("\\/") + 1);
}
inline std::string DllPath() { return ExeFolder() + WEXUTIL_DLL_NAME; }
inline std::string ExePath() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

// A file in the temporary folder.
inline std::string TempPath(const std::string& name) {
    char folder[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + name;
}

// A file's text with Windows line ends made plain "\n"; "" when unreadable.
inline std::string ReadText(const std::string& path) {
    std::string text;
    const HANDLE f =
        ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return text;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        for (DWORD i = 0; i < got; ++i) {
            if (buffer[i] != '\r') text += buffer[i];
        }
    }
    ::CloseHandle(f);
    return text;
}

// Lets Shift, Ctrl and Alt up if injected input left them down.
inline void ReleaseModifiers() {
    const BYTE keys[] = {VK_SHIFT, VK_CONTROL, VK_MENU};
    for (BYTE vk : keys) {
        if (::GetAsyncKeyState(vk) < 0) ::keybd_event(vk, 0, KEYEVENTF_KEYUP, 0);
    }
}

// Runs queued messages of this thread.
inline void Pump() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

// Pumps messages until condition() holds or timeoutMs pass; true if it held.
// Hook dispatch under Wine is slow, so callers give generous limits.
inline bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = 30000) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        Pump();
        if (condition()) return true;
        if (::GetTickCount() - start > timeoutMs) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

// Starts a command line; the process handle, or null.
inline HANDLE StartProcess(std::string command) {
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        return nullptr;
    }
    ::CloseHandle(pi.hThread);
    return pi.hProcess;
}

// Starts this executable again with the given arguments.
inline HANDLE StartSelf(const std::string& arguments) {
    return StartProcess("\"" + ExePath() + "\" " + arguments);
}

// Waits for a process while pumping this thread's messages; returns its exit
// code, or -1 when it did not end in time (it is then terminated).
inline int WaitExit(HANDLE process, DWORD timeoutMs = 60000) {
    DWORD code = STILL_ACTIVE;
    const bool ended = WaitFor([&] { return ::WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }, timeoutMs);
    if (!ended) {
        ::TerminateProcess(process, 1);
        ::CloseHandle(process);
        return -1;
    }
    ::GetExitCodeProcess(process, &code);
    ::CloseHandle(process);
    return static_cast<int>(code);
}

// A settings record whose every word differs, derived from seed, reserved
// words included; the same seed gives the same record in every process.
inline HookSettings PatternSettings(uint32_t seed) {
    HookSettings s;
    uint32_t* words = reinterpret_cast<uint32_t*>(&s);
    for (unsigned i = 0; i < sizeof s / 4; ++i) words[i] = seed * 2654435761u + i * 40503u + 1;
    s.bindingCount = 0;  // keep the hooks from running actions on test input
    s.captureMode = 0;
    s.pauseLock = 0;
    return s;
}

inline HookStatistics PatternStatistics(uint32_t seed) {
    HookStatistics s;
    uint32_t* words = reinterpret_cast<uint32_t*>(&s);
    for (unsigned i = 0; i < 10; ++i) words[i] = seed + i * 7919u;
    s.distance = 1.5 + seed;
    return s;
}

inline bool SameBytes(const void* a, const void* b, size_t n) { return std::memcmp(a, b, n) == 0; }

// The other side of a records test, run in a child process: reads both
// records through `lib` and compares them with the patterns of seed, then
// pushes the patterns of seed + 1 for the parent to read.  Its exit code.
enum RecordsChildExit { kChildSaw = 10, kChildDiffered = 11, kChildNoLibrary = 12 };
inline int ReadRecordsAndPushNext(Library& lib, uint32_t seed) {
    if (!lib.Resolve(::LoadLibraryA(DllPath().c_str()))) return kChildNoLibrary;
    HookSettings settings;
    HookStatistics statistics;
    lib.GetSettings(&settings);
    lib.GetStatistics(&statistics);
    const HookSettings wantSettings = PatternSettings(seed);
    const HookStatistics wantStatistics = PatternStatistics(seed);
    const bool same = SameBytes(&settings, &wantSettings, sizeof settings) &&
                      SameBytes(&statistics, &wantStatistics, sizeof statistics);
    const HookSettings nextSettings = PatternSettings(seed + 1);
    const HookStatistics nextStatistics = PatternStatistics(seed + 1);
    lib.UpdateSettings(&nextSettings);
    lib.SetStatistics(&nextStatistics);
    return same ? kChildSaw : kChildDiffered;
}

// The parent's half of a records round trip through another process: pushes
// the patterns of `seed`, starts the child (which runs
// ReadRecordsAndPushNext with the same seed), and checks that it saw them
// and that its pushes of seed + 1 are what this process reads now. Gives
// what went wrong, or "" when nothing did.
inline std::string RecordsRoundTrip(Library& lib, uint32_t seed, const std::function<HANDLE()>& startChild) {
    const HookSettings settings = PatternSettings(seed);
    const HookStatistics statistics = PatternStatistics(seed);
    lib.UpdateSettings(&settings);
    lib.SetStatistics(&statistics);
    HANDLE child = startChild();
    if (child == nullptr) return "the other process did not start";
    if (WaitExit(child) != kChildSaw) return "the other process read other records";
    HookSettings after;
    HookStatistics afterStatistics;
    lib.GetSettings(&after);
    lib.GetStatistics(&afterStatistics);
    const HookSettings wantSettings = PatternSettings(seed + 1);
    const HookStatistics wantStatistics = PatternStatistics(seed + 1);
    if (!SameBytes(&after, &wantSettings, sizeof after)) return "the other process's settings did not arrive";
    if (!SameBytes(&afterStatistics, &wantStatistics, sizeof afterStatistics) ||
        afterStatistics.distance != 1.5 + seed + 1) {
        return "the other process's statistics did not arrive";
    }
    return "";
}

// A visible top-level window of its own class, brought to the front.
// Messages go to the given procedure.
inline HWND MakeWindow(const char* className, WNDPROC procedure, int x, int y, int w, int h) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = procedure;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = className;
    wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    ::RegisterClassA(&wc);
    HWND window = ::CreateWindowExA(0, className, className, WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, w, h,
                                    nullptr, nullptr, wc.hInstance, nullptr);
    if (window) {
        ::ShowWindow(window, SW_SHOW);
        ::UpdateWindow(window);
        ::SetForegroundWindow(window);
    }
    return window;
}

// A report-style list view with one column holding the named items, a child
// of `parent` with control id `id`; null when it cannot be made or filled.
inline HWND MakeListView(HWND parent, int id, RECT at, const char* const* names, int count) {
    HWND list = ::CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT, at.left, at.top,
                                  at.right - at.left, at.bottom - at.top, parent, reinterpret_cast<HMENU>(id),
                                  ::GetModuleHandleA(nullptr), nullptr);
    if (!list) return nullptr;
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = 300;
    column.pszText = const_cast<char*>("Name");
    ::SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    for (int i = 0; i < count; ++i) {
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = i;
        item.pszText = const_cast<char*>(names[i]);
        if (::SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)) != i) return nullptr;
    }
    return list;
}

// The centre of a rectangle of a window's client area, in screen
// coordinates, packed as MAKELPARAM(x, y).
inline LPARAM ScreenCentre(HWND window, const RECT& r) {
    POINT centre = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ::ClientToScreen(window, &centre);
    return MAKELPARAM(centre.x, centre.y);
}

// Handles this thread's messages until WM_QUIT.
inline void RunMessageLoop() {
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

// Moves the real cursor and waits until it stays there: under Wine a pointer
// event still queued from before can put it back where it was, so the
// position is set again until it holds across a short pause.
inline bool CursorAt(int x, int y) {
    POINT p;
    ::GetCursorPos(&p);
    return p.x == x && p.y == y;
}
inline bool PlaceCursor(int x, int y, DWORD timeoutMs = 10000) {
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < timeoutMs) {
        if (!CursorAt(x, y)) ::SetCursorPos(x, y);
        WaitFor([] { return false; }, 60);
        if (CursorAt(x, y)) return true;
    }
    return false;
}

// Moves the real cursor to a point of a window's client area and clicks the
// left button there with injected input.
inline void ClickInClient(HWND window, int cx, int cy) {
    POINT p = {cx, cy};
    ::ClientToScreen(window, &p);
    ::SetCursorPos(p.x, p.y);
    ::mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    ::mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
}

// A point of the window (screen coordinates) whose hit-test answer is
// `answer`, found by asking the window itself along its top strip.
inline bool FindHitPoint(HWND window, int answer, POINT* found) {
    RECT r;
    ::GetWindowRect(window, &r);
    for (int y = r.top; y < r.top + 40 && y < r.bottom; ++y) {
        for (int x = r.right - 1; x >= r.left; --x) {
            const LPARAM at = MAKELPARAM(x, y);
            if (static_cast<int>(::SendMessageA(window, WM_NCHITTEST, 0, at)) != answer) continue;
            POINT p = {x, y};
            if (::WindowFromPoint(p) != window) continue;
            found->x = x;
            found->y = y;
            return true;
        }
    }
    return false;
}

// Destroys a test window that may already be gone.
inline void Discard(HWND window) {
    if (!::IsWindow(window)) return;
    ::DestroyWindow(window);
    Pump();
}

// A one-line edit box holding `text`, as a child of `parent`.
inline HWND MakeEditBox(HWND parent, const char* text) {
    return ::CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", text, WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 10, 10,
                             360, 28, parent, reinterpret_cast<HMENU>(3), ::GetModuleHandleA(nullptr),
                             nullptr);
}

// The text on the clipboard, "" when there is none.
inline std::string ClipboardText(HWND owner) {
    std::string text;
    if (!::OpenClipboard(owner)) return text;
    if (HANDLE data = ::GetClipboardData(CF_TEXT)) {
        if (const char* p = static_cast<const char*>(::GlobalLock(data))) {
            text = p;
            ::GlobalUnlock(data);
        }
    }
    ::CloseClipboard();
    return text;
}

inline bool EmptyTheClipboard(HWND owner) {
    if (!::OpenClipboard(owner)) return false;
    ::EmptyClipboard();
    ::CloseClipboard();
    return true;
}

// Loads the library and installs its hooks for a controlling window, with
// empty settings so that no row runs on test input.  False on any failure.
inline bool InstallFor(Library& lib, HWND controller) {
    if (!lib.Resolve(::LoadLibraryA(DllPath().c_str())) || controller == nullptr) return false;
    HookSettings none = {};
    lib.UpdateSettings(&none);
    return lib.InstallHook(controller, 0) == 1;
}

inline void TapKey(BYTE vk) {
    ::keybd_event(vk, 0, 0, 0);
    ::keybd_event(vk, 0, KEYEVENTF_KEYUP, 0);
}

// Value of "--name=value" in the command line, or "" when absent.
inline std::string Argument(int argc, char** argv, const char* name) {
    const std::string prefix = std::string("--") + name + "=";
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], prefix.c_str(), prefix.size()) == 0) return argv[i] + prefix.size();
    }
    return "";
}

}  // namespace e2e
