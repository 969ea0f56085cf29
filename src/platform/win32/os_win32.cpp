// The os:: operations of the real build: each one forwards to the user32 or
// kernel32 function of the same name.
#include "platform/os.h"

namespace os {

// Hooks and messages.
HHOOK SetWindowsHookExA(int idHook, HOOKPROC proc, HINSTANCE module, DWORD threadId) {
    return ::SetWindowsHookExA(idHook, proc, module, threadId);
}
BOOL UnhookWindowsHookEx(HHOOK hook) { return ::UnhookWindowsHookEx(hook); }
LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam) {
    return ::CallNextHookEx(hook, code, wParam, lParam);
}
UINT RegisterWindowMessageA(LPCSTR name) { return ::RegisterWindowMessageA(name); }
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::PostMessageA(window, message, wParam, lParam);
}
LRESULT SendMessageTimeoutA(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT flags, UINT timeout,
                            PDWORD_PTR result) {
    return ::SendMessageTimeoutA(window, message, wParam, lParam, flags, timeout, result);
}
BOOL PeekMessageA(LPMSG msg, HWND window, UINT first, UINT last, UINT remove) {
    return ::PeekMessageA(msg, window, first, last, remove);
}

LPARAM GetMessageExtraInfo() { return ::GetMessageExtraInfo(); }
BOOL TranslateMessage(const MSG* msg) { return ::TranslateMessage(msg); }
LRESULT DispatchMessageA(const MSG* msg) { return ::DispatchMessageA(msg); }
BOOL KillTimer(HWND window, UINT_PTR timerId) { return ::KillTimer(window, timerId); }

// Input state and injection.
SHORT GetAsyncKeyState(int vk) { return ::GetAsyncKeyState(vk); }
BOOL GetKeyboardState(PBYTE state) { return ::GetKeyboardState(state); }
BOOL GetCursorPos(LPPOINT point) { return ::GetCursorPos(point); }
BOOL SetCursorPos(int x, int y) { return ::SetCursorPos(x, y); }
int ShowCursor(BOOL show) { return ::ShowCursor(show); }
BOOL GetCursorInfo(PCURSORINFO info) { return ::GetCursorInfo(info); }
UINT GetDoubleClickTime() { return ::GetDoubleClickTime(); }
int GetSystemMetrics(int index) { return ::GetSystemMetrics(index); }
void keybd_event(BYTE vk, BYTE scan, DWORD flags, ULONG_PTR extra) { ::keybd_event(vk, scan, flags, extra); }
void mouse_event(DWORD flags, DWORD dx, DWORD dy, DWORD data, ULONG_PTR extra) {
    ::mouse_event(flags, dx, dy, data, extra);
}

// Windows.
HWND WindowFromPoint(POINT point) { return ::WindowFromPoint(point); }
HWND ChildWindowFromPoint(HWND parent, POINT point) { return ::ChildWindowFromPoint(parent, point); }
HWND GetParent(HWND window) { return ::GetParent(window); }
DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId) {
    return ::GetWindowThreadProcessId(window, processId);
}
HWND GetWindow(HWND window, UINT command) { return ::GetWindow(window, command); }
HWND GetDesktopWindow() { return ::GetDesktopWindow(); }
HWND GetForegroundWindow() { return ::GetForegroundWindow(); }
BOOL SetForegroundWindow(HWND window) { return ::SetForegroundWindow(window); }
HWND SetFocus(HWND window) { return ::SetFocus(window); }
int GetClassNameA(HWND window, LPSTR buffer, int size) { return ::GetClassNameA(window, buffer, size); }
DWORD GetClassLongA(HWND window, int index) { return ::GetClassLongA(window, index); }
LONG GetWindowLongA(HWND window, int index) { return ::GetWindowLongA(window, index); }
int GetWindowTextA(HWND window, LPSTR buffer, int size) { return ::GetWindowTextA(window, buffer, size); }
BOOL GetClientRect(HWND window, LPRECT rect) { return ::GetClientRect(window, rect); }
int MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count) {
    return ::MapWindowPoints(from, to, points, count);
}
BOOL ScreenToClient(HWND window, LPPOINT point) { return ::ScreenToClient(window, point); }
BOOL ClientToScreen(HWND window, LPPOINT point) { return ::ClientToScreen(window, point); }
BOOL IsWindowVisible(HWND window) { return ::IsWindowVisible(window); }
BOOL IsZoomed(HWND window) { return ::IsZoomed(window); }
BOOL ShowWindow(HWND window, int command) { return ::ShowWindow(window, command); }
BOOL SystemParametersInfoA(UINT action, UINT uiParam, PVOID pvParam, UINT winIni) {
    return ::SystemParametersInfoA(action, uiParam, pvParam, winIni);
}

// kernel32.
HANDLE CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES security, DWORD protect, DWORD sizeHigh,
                          DWORD sizeLow, LPCSTR name) {
    return ::CreateFileMappingA(file, security, protect, sizeHigh, sizeLow, name);
}
LPVOID MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow, size_t bytes) {
    return ::MapViewOfFile(mapping, access, offsetHigh, offsetLow, bytes);
}
BOOL UnmapViewOfFile(const void* view) { return ::UnmapViewOfFile(view); }
BOOL CloseHandle(HANDLE handle) { return ::CloseHandle(handle); }
DWORD GetTickCount() { return ::GetTickCount(); }
DWORD GetCurrentProcessId() { return ::GetCurrentProcessId(); }
DWORD GetCurrentThreadId() { return ::GetCurrentThreadId(); }
DWORD GetModuleFileNameW(HMODULE module, uint16_t* buffer, DWORD size) {
    static_assert(sizeof(WCHAR) == sizeof(uint16_t), "UTF-16 units");
    return ::GetModuleFileNameW(module, reinterpret_cast<LPWSTR>(buffer), size);
}
HANDLE GetCurrentProcess() { return ::GetCurrentProcess(); }
DWORD GetLastError() { return ::GetLastError(); }
HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES security, BOOL initialOwner, LPCSTR name) {
    return ::CreateMutexA(security, initialOwner, name);
}
BOOL ReleaseMutex(HANDLE mutex) { return ::ReleaseMutex(mutex); }
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) { return ::WaitForSingleObject(handle, milliseconds); }
void Sleep(DWORD milliseconds) { ::Sleep(milliseconds); }
UINT WinExec(LPCSTR commandLine, UINT show) { return ::WinExec(commandLine, show); }
UINT GetSystemDirectoryA(LPSTR buffer, UINT size) { return ::GetSystemDirectoryA(buffer, size); }
UINT GetWindowsDirectoryA(LPSTR buffer, UINT size) { return ::GetWindowsDirectoryA(buffer, size); }
DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR fallback, LPSTR buffer, DWORD size,
                               LPCSTR file) {
    return ::GetPrivateProfileStringA(section, key, fallback, buffer, size, file);
}
int lstrcmpA(LPCSTR a, LPCSTR b) { return ::lstrcmpA(a, b); }
int lstrcmpiA(LPCSTR a, LPCSTR b) { return ::lstrcmpiA(a, b); }

// advapi32.
BOOL OpenProcessToken(HANDLE process, DWORD access, PHANDLE token) {
    return ::OpenProcessToken(process, access, token);
}
BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind, LPVOID buffer, DWORD size, PDWORD returned) {
    return ::GetTokenInformation(token, kind, buffer, size, returned);
}
BOOL GetKernelObjectSecurity(HANDLE object, SECURITY_INFORMATION requested, PSECURITY_DESCRIPTOR buffer,
                             DWORD size, LPDWORD needed) {
    return ::GetKernelObjectSecurity(object, requested, buffer, size, needed);
}

}  // namespace os
