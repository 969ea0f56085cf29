// The os:: operations answered by the simulated desktop.
#include "platform/os.h"
#include "platform/sim/desktop.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

using sim::Hex;

namespace {

using sim::desktop;

std::string Name(HWND w) { return desktop().NameOf(w); }

// Every os:: call is counted, in all and by name, so a test can state which
// platform calls a piece of library code made.
void Called(const char* name) { desktop().Called(name); }

std::string Trace4(const char* verb, HWND w, UINT m, WPARAM wp, LPARAM lp) {
    return std::string(verb) + " " + Name(w) + " " + Hex(m) + " " + Hex(static_cast<uint32_t>(wp)) + " " +
           Hex(static_cast<uint32_t>(lp));
}

bool Contains(const RECT& r, POINT p) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

// Copies a string as the ANSI Win32 getters do: at most size - 1 characters
// and the terminator; returns the number of characters copied.
int CopyOut(const std::string& s, LPSTR buffer, int size) {
    if (buffer == nullptr || size <= 0) return 0;
    const int n = std::min<int>(static_cast<int>(s.size()), size - 1);
    std::memcpy(buffer, s.data(), static_cast<size_t>(n));
    buffer[n] = '\0';
    return n;
}

std::string MouseFlags(DWORD flags) {
    static const std::pair<DWORD, const char*> names[] = {
        {MOUSEEVENTF_MOVE, "MOVE"},         {MOUSEEVENTF_LEFTDOWN, "LEFTDOWN"},
        {MOUSEEVENTF_LEFTUP, "LEFTUP"},     {MOUSEEVENTF_RIGHTDOWN, "RIGHTDOWN"},
        {MOUSEEVENTF_RIGHTUP, "RIGHTUP"},   {MOUSEEVENTF_MIDDLEDOWN, "MIDDLEDOWN"},
        {MOUSEEVENTF_MIDDLEUP, "MIDDLEUP"}, {MOUSEEVENTF_WHEEL, "WHEEL"},
        {MOUSEEVENTF_ABSOLUTE, "ABSOLUTE"},
    };
    std::string out;
    for (auto& n : names) {
        if (flags & n.first) {
            if (!out.empty()) out += "|";
            out += n.second;
        }
    }
    return out.empty() ? "0" : out;
}

}  // namespace

namespace os {

HHOOK SetWindowsHookExA(int idHook, HOOKPROC proc, HINSTANCE module, DWORD threadId) {
    Called(__func__);
    auto& d = desktop();
    auto fail = d.failHooks.find(idHook);
    if (fail != d.failHooks.end() && fail->second > 0) {
        --fail->second;
        d.Log("hook refused " + std::to_string(idHook));
        return nullptr;
    }
    static uintptr_t next = 0x5000;
    next += 4;
    HHOOK handle = reinterpret_cast<HHOOK>(next);
    d.hooks.insert(d.hooks.begin(), sim::Hook{handle, idHook, proc, module, threadId, d.CurrentProcess()});
    d.Log("hook install " + std::to_string(idHook));
    return handle;
}

BOOL UnhookWindowsHookEx(HHOOK hook) {
    Called(__func__);
    auto& d = desktop();
    for (auto it = d.hooks.begin(); it != d.hooks.end(); ++it) {
        if (it->handle == hook) {
            d.Log("hook remove " + std::to_string(it->type));
            d.hooks.erase(it);
            return TRUE;
        }
    }
    d.Log("hook remove unknown");
    return FALSE;
}

LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam) {
    Called(__func__);
    return desktop().CallNextHook(hook, code, wParam, lParam);
}

UINT RegisterWindowMessageA(LPCSTR name) {
    Called(__func__);
    auto& d = desktop();
    if (d.failRegisterMessage || name == nullptr) return 0;
    auto it = d.registeredMessages.find(name);
    if (it != d.registeredMessages.end()) return it->second;
    const UINT id = 0xC000 + static_cast<UINT>(d.registeredMessages.size()) * 7 + 3;
    d.registeredMessages[name] = id;
    return id;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Called(__func__);
    auto& d = desktop();
    const sim::Message m{Name(window), message, static_cast<uint32_t>(wParam), static_cast<uint32_t>(lParam)};
    if (window == nullptr) {
        // Windows treats this as a post to the calling thread's own queue.
        d.threadQueue.push_back(m);
        d.QueueMessage(nullptr, message, wParam, lParam);
        d.Log(Trace4("post", window, message, wParam, lParam));
        return TRUE;
    }
    sim::Window* w = d.Find(window);
    if (w == nullptr) {
        d.Log(Trace4("post-lost", window, message, wParam, lParam));
        return FALSE;
    }
    w->posted.push_back(m);
    if (message != WM_NCLBUTTONDBLCLK) d.ButtonReached(message);
    d.Log(Trace4("post", window, message, wParam, lParam));
    return TRUE;
}

// A window of another thread answers at once, or, when it is hung, the send
// gives up ("send-timeout") and fails, as SMTO_ABORTIFHUNG does on Windows.
// A send without a bound would wait for a hung window for ever: the
// simulated desktop refuses those outright.
LRESULT SendMessageTimeoutA(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT flags, UINT timeout,
                            PDWORD_PTR result) {
    Called(__func__);
    auto& d = desktop();
    if (result != nullptr) *result = 0;
    sim::Window* w = d.Find(window);
    if (w == nullptr) {
        d.Log(Trace4("send-lost", window, message, wParam, lParam));
        return 0;
    }
    if ((flags & SMTO_ABORTIFHUNG) == 0 || timeout > 1000) {
        d.Log(Trace4("send-unbounded", window, message, wParam, lParam));
        return 0;
    }
    if (w->hung) {
        d.Log(Trace4("send-timeout", window, message, wParam, lParam));
        return 0;
    }
    w->sent.push_back({w->name, message, static_cast<uint32_t>(wParam), static_cast<uint32_t>(lParam)});
    d.Log(Trace4("send", window, message, wParam, lParam));
    LRESULT answer = 0;
    if (w->onSend) {
        answer = w->onSend(message, wParam, lParam);
    } else if (message == WM_NCHITTEST) {
        const POINT p{static_cast<int16_t>(LOWORD(lParam)), static_cast<int16_t>(HIWORD(lParam))};
        answer = d.HitTest(window, p);
    }
    if (result != nullptr) *result = static_cast<DWORD_PTR>(answer);
    return 1;
}

BOOL PeekMessageA(LPMSG msg, HWND window, UINT first, UINT last, UINT remove) {
    Called(__func__);
    (void)window;
    (void)first;
    (void)last;
    return desktop().Retrieve(msg, remove) ? TRUE : FALSE;
}

LPARAM GetMessageExtraInfo() {
    Called(__func__);
    return static_cast<LPARAM>(desktop().messageExtra);
}

BOOL TranslateMessage(const MSG* msg) {
    Called(__func__);
    if (msg != nullptr) desktop().Log("translate " + Hex(msg->message));
    return FALSE;
}

LRESULT DispatchMessageA(const MSG* msg) {
    Called(__func__);
    if (msg == nullptr) return 0;
    auto& d = desktop();
    d.Log(Trace4("dispatch", msg->hwnd, msg->message, msg->wParam, msg->lParam));
    d.Dispatch(*msg);
    return 0;
}

BOOL KillTimer(HWND window, UINT_PTR timerId) {
    Called(__func__);
    auto& d = desktop();
    for (auto it = d.timers.begin(); it != d.timers.end(); ++it) {
        if (it->window == window && it->id == timerId) {
            d.timers.erase(it);
            d.Log("killtimer " + Name(window) + " " + std::to_string(timerId));
            return TRUE;
        }
    }
    return FALSE;
}

SHORT GetAsyncKeyState(int vk) {
    Called(__func__);
    return desktop().KeyDown(vk) ? static_cast<SHORT>(0x8000) : 0;
}

BOOL GetKeyboardState(PBYTE state) {
    Called(__func__);
    if (state == nullptr) return FALSE;
    std::memcpy(state, desktop().keyState.data(), 256);
    return TRUE;
}

BOOL GetCursorPos(LPPOINT point) {
    Called(__func__);
    if (point == nullptr) return FALSE;
    *point = desktop().cursor;
    return TRUE;
}

BOOL SetCursorPos(int x, int y) {
    Called(__func__);
    auto& d = desktop();
    // Windows keeps the cursor on the screen.
    const POINT before = d.cursor;
    d.cursor.x = std::clamp(x, 0, d.screenWidth - 1);
    d.cursor.y = std::clamp(y, 0, d.screenHeight - 1);
    d.Log("cursor " + std::to_string(x) + " " + std::to_string(y));
    // The window under the cursor is told of the move, as Windows tells it:
    // one move at wherever the cursor is when the move is delivered.
    if (before.x != d.cursor.x || before.y != d.cursor.y) d.QueueWarp();
    return TRUE;
}

int ShowCursor(BOOL show) {
    Called(__func__);
    auto& d = desktop();
    d.showCursorCount += show ? 1 : -1;
    d.Log(std::string("showcursor ") + (show ? "1" : "0"));
    return d.showCursorCount;
}

BOOL GetCursorInfo(PCURSORINFO info) {
    Called(__func__);
    if (info == nullptr || info->cbSize != sizeof(CURSORINFO)) return FALSE;
    info->flags = desktop().showCursorCount >= 0 ? CURSOR_SHOWING : 0;
    return TRUE;
}

UINT GetDoubleClickTime() {
    Called(__func__);
    return desktop().doubleClickTime;
}

int GetSystemMetrics(int index) {
    Called(__func__);
    auto& d = desktop();
    if (index == SM_CXSCREEN) return d.screenWidth;
    if (index == SM_CYSCREEN) return d.screenHeight;
    return 0;
}

void keybd_event(BYTE vk, BYTE scan, DWORD flags, ULONG_PTR extra) {
    Called(__func__);
    auto& d = desktop();
    const bool up = (flags & KEYEVENTF_KEYUP) != 0;
    std::string line = "key " + Hex(vk) + (up ? " up" : " down");
    if (scan != 0 || (flags & ~DWORD{KEYEVENTF_KEYUP}) != 0 || extra != 0) {
        line += " scan=" + Hex(scan) + " flags=" + Hex(flags) + " extra=" + Hex(static_cast<uint32_t>(extra));
    }
    d.Log(line);
    // Injected input shows at once in the asynchronous state, and reaches the
    // hooks when the stream is pumped.
    d.SetKeyDown(vk, !up);
    d.pendingInput.push_back({true, vk, scan, flags, 0, extra});
}

void mouse_event(DWORD flags, DWORD dx, DWORD dy, DWORD data, ULONG_PTR extra) {
    Called(__func__);
    auto& d = desktop();
    std::string line = "mouse " + MouseFlags(flags);
    if (dx != 0 || dy != 0 || data != 0 || extra != 0) {
        line += " dx=" + std::to_string(static_cast<int32_t>(dx)) +
                " dy=" + std::to_string(static_cast<int32_t>(dy)) + " data=" + Hex(data) +
                " extra=" + Hex(static_cast<uint32_t>(extra));
    }
    d.Log(line);
    const POINT absolute{static_cast<LONG>(static_cast<int64_t>(dx) * d.screenWidth / 65536),
                         static_cast<LONG>(static_cast<int64_t>(dy) * d.screenHeight / 65536)};
    // A button event with an absolute move to where the cursor already is
    // makes no mouse move, as on Windows.
    if ((flags & MOUSEEVENTF_ABSOLUTE) && (flags & ~DWORD{MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE}) != 0 &&
        absolute.x == d.cursor.x && absolute.y == d.cursor.y) {
        flags &= ~DWORD{MOUSEEVENTF_MOVE};
    }
    if (flags & MOUSEEVENTF_MOVE) {
        if (flags & MOUSEEVENTF_ABSOLUTE) {
            d.cursor = absolute;
        } else {
            d.cursor.x = std::clamp<LONG>(d.cursor.x + static_cast<int32_t>(dx), 0, d.screenWidth - 1);
            d.cursor.y = std::clamp<LONG>(d.cursor.y + static_cast<int32_t>(dy), 0, d.screenHeight - 1);
        }
    }
    d.NotePress(flags & MOUSEEVENTF_LEFTDOWN ? VK_LBUTTON : 0);
    d.NotePress(flags & MOUSEEVENTF_RIGHTDOWN ? VK_RBUTTON : 0);
    d.NotePress(flags & MOUSEEVENTF_MIDDLEDOWN ? VK_MBUTTON : 0);
    if (flags & MOUSEEVENTF_LEFTDOWN) d.SetKeyDown(VK_LBUTTON, true);
    if (flags & MOUSEEVENTF_LEFTUP) d.SetKeyDown(VK_LBUTTON, false);
    if (flags & MOUSEEVENTF_RIGHTDOWN) d.SetKeyDown(VK_RBUTTON, true);
    if (flags & MOUSEEVENTF_RIGHTUP) d.SetKeyDown(VK_RBUTTON, false);
    if (flags & MOUSEEVENTF_MIDDLEDOWN) d.SetKeyDown(VK_MBUTTON, true);
    if (flags & MOUSEEVENTF_MIDDLEUP) d.SetKeyDown(VK_MBUTTON, false);
    d.pendingInput.push_back({false, flags, dx, dy, data, extra, d.cursor});
}

HWND WindowFromPoint(POINT point) {
    Called(__func__);
    return desktop().MouseTarget(point);
}

HWND ChildWindowFromPoint(HWND parent, POINT point) {
    Called(__func__);
    auto& d = desktop();
    sim::Window* p = d.Find(parent);
    if (p == nullptr) return nullptr;
    const POINT screen{point.x + p->client.left, point.y + p->client.top};
    if (!Contains(p->rect, screen)) return nullptr;
    for (HWND child : p->children) {
        if (Contains(d.W(child).rect, screen)) return child;
    }
    return parent;
}

// Simulated process n has id 0x100 + n, and its one thread id 0x200 + n.
DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId) {
    Called(__func__);
    sim::Window* w = desktop().Find(window);
    if (w == nullptr) return 0;
    if (processId != nullptr) *processId = 0x100u + static_cast<DWORD>(w->process);
    return 0x200u + static_cast<DWORD>(w->process);
}

HWND GetParent(HWND window) {
    Called(__func__);
    sim::Window* w = desktop().Find(window);
    if (w == nullptr) return nullptr;
    // A top-level popup answers its owner, as on Windows.
    if (w->parent == nullptr && (w->style & WS_POPUP) != 0) return w->owner;
    return w->parent;
}

HWND GetWindow(HWND window, UINT command) {
    Called(__func__);
    auto& d = desktop();
    ++d.getWindowCalls;
    sim::Window* w = d.Find(window);
    if (w == nullptr) return nullptr;
    if (command == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
    if (command == GW_OWNER) return w->parent == nullptr ? w->owner : nullptr;
    const std::vector<HWND> siblings = w->parent != nullptr ? d.W(w->parent).children : d.TopLevelZOrder();
    if (siblings.empty()) return nullptr;
    auto at = std::find(siblings.begin(), siblings.end(), window);
    switch (command) {
        case GW_HWNDFIRST: return siblings.front();
        case GW_HWNDLAST: return siblings.back();
        case GW_HWNDNEXT:
            if (at == siblings.end()) return nullptr;
            if (at + 1 == siblings.end()) {
                return d.zOrderLoops && w->parent == nullptr ? siblings.front() : nullptr;
            }
            return *(at + 1);
        case GW_HWNDPREV: return (at == siblings.end() || at == siblings.begin()) ? nullptr : *(at - 1);
        default: return nullptr;
    }
}

HWND GetDesktopWindow() {
    Called(__func__);
    return desktop().desktopWindow();
}

HWND GetForegroundWindow() {
    Called(__func__);
    return desktop().foreground;
}

BOOL SetForegroundWindow(HWND window) {
    Called(__func__);
    auto& d = desktop();
    d.Log("foreground " + Name(window));
    if (d.refuseSetForeground || d.Find(window) == nullptr) return FALSE;
    if (d.foregroundLockApplies && d.foregroundLockTimeout != 0) {
        d.Log("foreground refused " + Name(window));
        return FALSE;
    }
    d.foreground = window;
    if (d.W(window).parent == nullptr) d.BringToTop(window);
    return TRUE;
}

HWND SetFocus(HWND window) {
    Called(__func__);
    auto& d = desktop();
    d.Log("focus " + Name(window));
    HWND previous = d.focus;
    if (window != nullptr && d.Find(window) == nullptr) return nullptr;
    d.focus = window;
    return previous;
}

int GetClassNameA(HWND window, LPSTR buffer, int size) {
    Called(__func__);
    sim::Window* w = desktop().Find(window);
    return w != nullptr ? CopyOut(w->className, buffer, size) : 0;
}

DWORD GetClassLongA(HWND window, int index) {
    Called(__func__);
    sim::Window* w = desktop().Find(window);
    if (w == nullptr || index != GCL_STYLE) return 0;
    return w->classStyle;
}

LONG GetWindowLongA(HWND window, int index) {
    Called(__func__);
    sim::Window* w = desktop().Find(window);
    if (w == nullptr || index != GWL_STYLE) return 0;
    uint32_t style = w->style & ~(WS_VISIBLE | WS_MAXIMIZE | WS_MINIMIZE);
    if (w->visible) style |= WS_VISIBLE;
    if (w->zoomed) style |= WS_MAXIMIZE;
    if (w->minimized) style |= WS_MINIMIZE;
    return static_cast<LONG>(style);
}

int GetWindowTextA(HWND window, LPSTR buffer, int size) {
    Called(__func__);
    sim::Window* w = desktop().Find(window);
    return w != nullptr ? CopyOut(w->text, buffer, size) : 0;
}

BOOL GetClientRect(HWND window, LPRECT rect) {
    Called(__func__);
    sim::Window* w = desktop().Find(window);
    if (w == nullptr || rect == nullptr) return FALSE;
    *rect = {0, 0, w->client.right - w->client.left, w->client.bottom - w->client.top};
    return TRUE;
}

int MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count) {
    Called(__func__);
    auto& d = desktop();
    POINT offset{0, 0};
    if (from != nullptr) {
        sim::Window* f = d.Find(from);
        if (f == nullptr) return 0;
        offset.x += f->client.left;
        offset.y += f->client.top;
    }
    if (to != nullptr) {
        sim::Window* t = d.Find(to);
        if (t == nullptr) return 0;
        offset.x -= t->client.left;
        offset.y -= t->client.top;
    }
    for (UINT i = 0; points != nullptr && i < count; ++i) {
        points[i].x += offset.x;
        points[i].y += offset.y;
    }
    return static_cast<int>(MAKELONG(offset.x, offset.y));
}

BOOL ScreenToClient(HWND window, LPPOINT point) {
    Called(__func__);
    sim::Window* w = desktop().Find(window);
    if (w == nullptr || point == nullptr) return FALSE;
    point->x -= w->client.left;
    point->y -= w->client.top;
    return TRUE;
}

BOOL ClientToScreen(HWND window, LPPOINT point) {
    Called(__func__);
    sim::Window* w = desktop().Find(window);
    if (w == nullptr || point == nullptr) return FALSE;
    point->x += w->client.left;
    point->y += w->client.top;
    return TRUE;
}

BOOL IsWindowVisible(HWND window) {
    Called(__func__);
    auto& d = desktop();
    // Visible only if it and every ancestor are.
    for (sim::Window* w = d.Find(window); w != nullptr; w = d.Find(w->parent)) {
        if (!w->visible) return FALSE;
        if (w->parent == nullptr) return TRUE;
    }
    return FALSE;
}

BOOL IsZoomed(HWND window) {
    Called(__func__);
    sim::Window* w = desktop().Find(window);
    return w != nullptr && w->zoomed ? TRUE : FALSE;
}

BOOL ShowWindow(HWND window, int command) {
    Called(__func__);
    auto& d = desktop();
    d.Log("show " + Name(window) + " " + std::to_string(command));
    sim::Window* w = d.Find(window);
    if (w == nullptr) return FALSE;
    const BOOL wasVisible = w->visible ? TRUE : FALSE;
    w->showCommands.push_back(command);
    switch (command) {
        case SW_HIDE: w->visible = false; break;
        case SW_MAXIMIZE:
            w->visible = true;
            w->zoomed = true;
            w->minimized = false;
            break;
        case SW_MINIMIZE:
        case SW_SHOWMINIMIZED:
            w->minimized = true;
            w->zoomed = false;
            break;
        case SW_RESTORE:
        case SW_SHOWNORMAL:
            w->visible = true;
            w->zoomed = false;
            w->minimized = false;
            break;
        default: w->visible = true; break;
    }
    return wasVisible;
}

BOOL SystemParametersInfoA(UINT action, UINT uiParam, PVOID pvParam, UINT winIni) {
    Called(__func__);
    auto& d = desktop();
    (void)uiParam;
    if (action == SPI_GETFOREGROUNDLOCKTIMEOUT) {
        d.Log("spi get-foreground-lock winini=" + std::to_string(winIni));
        if (d.failGetForegroundLockTimeout || pvParam == nullptr) return FALSE;
        *static_cast<DWORD*>(pvParam) = d.foregroundLockTimeout;
        return TRUE;
    }
    if (action == SPI_SETFOREGROUNDLOCKTIMEOUT) {
        const DWORD value = static_cast<DWORD>(reinterpret_cast<uintptr_t>(pvParam));
        d.Log("spi set-foreground-lock " + std::to_string(value) + " winini=" + std::to_string(winIni));
        if (d.failSetForegroundLockTimeout) return FALSE;
        d.foregroundLockTimeout = value;
        return TRUE;
    }
    d.Log("spi " + Hex(action));
    return FALSE;
}

// Each simulated process runs on one thread.
DWORD GetCurrentThreadId() { return 0x1000u + static_cast<DWORD>(desktop().CurrentProcess()); }

DWORD GetCurrentProcessId() {
    Called(__func__);
    return 0x100u + static_cast<DWORD>(desktop().CurrentProcess());
}

DWORD GetModuleFileNameW(HMODULE module, uint16_t* buffer, DWORD size) {
    Called(__func__);
    if (module != nullptr || buffer == nullptr || size == 0) return 0;
    const std::string& path = desktop().ProcessPath(desktop().CurrentProcess());
    DWORD n = 0;
    for (; n + 1 < size && n < path.size(); ++n) buffer[n] = static_cast<unsigned char>(path[n]);
    buffer[n] = 0;
    return n;
}

DWORD GetTickCount() {
    Called(__func__);
    return desktop().tick;
}

void Sleep(DWORD milliseconds) {
    Called(__func__);
    auto& d = desktop();
    d.Log("sleep " + std::to_string(milliseconds));
    if (d.duringSleep) d.duringSleep();
    d.tick += milliseconds;
}

UINT WinExec(LPCSTR commandLine, UINT show) {
    Called(__func__);
    auto& d = desktop();
    const std::string line = commandLine != nullptr ? commandLine : "";
    d.launched.push_back(line);
    d.Log("exec '" + line + "' " + std::to_string(show));
    return d.winExecResult;
}

UINT GetSystemDirectoryA(LPSTR buffer, UINT size) {
    Called(__func__);
    const std::string& folder = desktop().systemDirectory;
    if (size <= folder.size()) return static_cast<UINT>(folder.size() + 1);
    return static_cast<UINT>(CopyOut(folder, buffer, static_cast<int>(size)));
}

UINT GetWindowsDirectoryA(LPSTR buffer, UINT size) {
    Called(__func__);
    const std::string& folder = desktop().windowsDirectory;
    if (size <= folder.size()) return static_cast<UINT>(folder.size() + 1);
    return static_cast<UINT>(CopyOut(folder, buffer, static_cast<int>(size)));
}

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR fallback, LPSTR buffer, DWORD size,
                               LPCSTR file) {
    Called(__func__);
    auto& d = desktop();
    std::string value = fallback != nullptr ? fallback : "";
    auto it = d.profile.find(std::string(file ? file : "") + "|" + (section ? section : "") + "|" +
                             (key ? key : ""));
    if (it != d.profile.end()) value = it->second;
    return static_cast<DWORD>(CopyOut(value, buffer, static_cast<int>(size)));
}

int lstrcmpA(LPCSTR a, LPCSTR b) {
    Called(__func__);
    const int r = std::strcmp(a ? a : "", b ? b : "");
    return (r > 0) - (r < 0);
}

int lstrcmpiA(LPCSTR a, LPCSTR b) {
    Called(__func__);
    const unsigned char* x = reinterpret_cast<const unsigned char*>(a ? a : "");
    const unsigned char* y = reinterpret_cast<const unsigned char*>(b ? b : "");
    for (;; ++x, ++y) {
        const int cx = std::tolower(*x);
        const int cy = std::tolower(*y);
        if (cx != cy) return cx < cy ? -1 : 1;
        if (cx == 0) return 0;
    }
}

}  // namespace os
