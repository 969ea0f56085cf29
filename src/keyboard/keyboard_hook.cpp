#include "core/exports.h"
#include "core/shared.h"

extern "C" LRESULT WINAPI KeyboardProc(int code, WPARAM wParam, LPARAM lParam) {
    return os::CallNextHookEx(g_shared.keyboardHook, code, wParam, lParam);
}
