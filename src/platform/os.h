// The only door from library code to the operating system.
//
// Every Windows operation the library uses is declared here under its Win32
// name and signature, in namespace os.  The win32 build forwards each one to
// user32/kernel32; the host build answers them from the simulated desktop.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <commctrl.h>
#else
#include "platform/sim/win_types.h"
#endif
#include <stdint.h>

namespace os {

// Hooks and messages.
HHOOK SetWindowsHookExA(int idHook, HOOKPROC proc, HINSTANCE module, DWORD threadId);
BOOL UnhookWindowsHookEx(HHOOK hook);
LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam);
UINT RegisterWindowMessageA(LPCSTR name);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageTimeoutA(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT flags, UINT timeout,
                            PDWORD_PTR result);
BOOL PeekMessageA(LPMSG msg, HWND window, UINT first, UINT last, UINT remove);
LPARAM GetMessageExtraInfo();
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);
BOOL KillTimer(HWND window, UINT_PTR timerId);

// Input state and injection.
SHORT GetAsyncKeyState(int vk);
BOOL GetKeyboardState(PBYTE state);
BOOL GetCursorPos(LPPOINT point);
BOOL SetCursorPos(int x, int y);
int ShowCursor(BOOL show);
BOOL GetCursorInfo(PCURSORINFO info);
UINT GetDoubleClickTime();
int GetSystemMetrics(int index);
void keybd_event(BYTE vk, BYTE scan, DWORD flags, ULONG_PTR extra);
void mouse_event(DWORD flags, DWORD dx, DWORD dy, DWORD data, ULONG_PTR extra);

// Windows.
HWND WindowFromPoint(POINT point);
HWND ChildWindowFromPoint(HWND parent, POINT point);
HWND GetParent(HWND window);
DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId);
HWND GetWindow(HWND window, UINT command);
HWND GetDesktopWindow();
HWND GetForegroundWindow();
BOOL SetForegroundWindow(HWND window);
HWND SetFocus(HWND window);
int GetClassNameA(HWND window, LPSTR buffer, int size);
DWORD GetClassLongA(HWND window, int index);
LONG GetWindowLongA(HWND window, int index);
int GetWindowTextA(HWND window, LPSTR buffer, int size);
BOOL GetClientRect(HWND window, LPRECT rect);
int MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count);
BOOL ScreenToClient(HWND window, LPPOINT point);
BOOL ClientToScreen(HWND window, LPPOINT point);
BOOL IsWindowVisible(HWND window);
BOOL IsZoomed(HWND window);
BOOL ShowWindow(HWND window, int command);
BOOL SystemParametersInfoA(UINT action, UINT uiParam, PVOID pvParam, UINT winIni);

// kernel32.
HANDLE CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES security, DWORD protect, DWORD sizeHigh,
                          DWORD sizeLow, LPCSTR name);
LPVOID MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow, size_t bytes);
BOOL UnmapViewOfFile(const void* view);
BOOL CloseHandle(HANDLE handle);
DWORD GetTickCount();
DWORD GetCurrentProcessId();
DWORD GetCurrentThreadId();
// The path of this process's program (module null), UTF-16, as
// GetModuleFileNameW gives it: truncated and terminated at `size` units.
DWORD GetModuleFileNameW(HMODULE module, uint16_t* buffer, DWORD size);
HANDLE GetCurrentProcess();
DWORD GetLastError();
HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES security, BOOL initialOwner, LPCSTR name);
BOOL ReleaseMutex(HANDLE mutex);
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
void Sleep(DWORD milliseconds);
UINT WinExec(LPCSTR commandLine, UINT show);
UINT GetSystemDirectoryA(LPSTR buffer, UINT size);
UINT GetWindowsDirectoryA(LPSTR buffer, UINT size);
DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR fallback, LPSTR buffer, DWORD size,
                               LPCSTR file);
int lstrcmpA(LPCSTR a, LPCSTR b);
int lstrcmpiA(LPCSTR a, LPCSTR b);

// advapi32: who this process runs as, and who owns an object.
BOOL OpenProcessToken(HANDLE process, DWORD access, PHANDLE token);
BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind, LPVOID buffer, DWORD size, PDWORD returned);
BOOL GetKernelObjectSecurity(HANDLE object, SECURITY_INFORMATION requested, PSECURITY_DESCRIPTOR buffer,
                             DWORD size, LPDWORD needed);

}  // namespace os
