#include "core/exports.h"
#include "core/shared.h"

extern "C" LRESULT WINAPI GetMsgProc(int code, WPARAM wParam, LPARAM lParam) {
    return os::CallNextHookEx(g_shared.messageHook, code, wParam, lParam);
}
