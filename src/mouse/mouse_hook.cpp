#include "core/exports.h"
#include "core/shared.h"

extern "C" LRESULT WINAPI MouseProc(int code, WPARAM wParam, LPARAM lParam) {
    return os::CallNextHookEx(g_shared.mouseHook, code, wParam, lParam);
}
