// A hook library that does nothing: the benchmark's yardstick for the cost of
// having three hooks of WexUTIL's types installed at all.  Built with the
// same flags as WexUTIL.dll.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

extern "C" LRESULT WINAPI MouseProc(int code, WPARAM wParam, LPARAM lParam) {
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

extern "C" LRESULT WINAPI KeyboardProc(int code, WPARAM wParam, LPARAM lParam) {
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

extern "C" LRESULT WINAPI GetMsgProc(int code, WPARAM wParam, LPARAM lParam) {
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
