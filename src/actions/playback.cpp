#include "core/exports.h"
#include "core/shared.h"

extern "C" LRESULT WINAPI JournalPlaybackFunc(int code, WPARAM wParam, LPARAM lParam) {
    return os::CallNextHookEx(g_shared.playbackHook, code, wParam, lParam);
}
