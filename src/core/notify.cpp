#include "core/notify.h"

#include "core/shared.h"

LRESULT SendBounded(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT failed) {
    DWORD_PTR answer = 0;
    if (os::SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendBound, &answer) == 0)
        return failed;
    return static_cast<LRESULT>(answer);
}

int HitTestAt(HWND window, int32_t x, int32_t y) {
    // Hit-test answers are small signed numbers (HTERROR is -2).
    return static_cast<int>(SendBounded(window, WM_NCHITTEST, 0, PointParam(x, y), HTNOWHERE));
}

void PostNotify(int code, int32_t argument) {
    // Posted, never sent: no hook waits for the controlling program.  A lost
    // post (window gone, queue full) is not retried.  Without a window (hooks
    // installed for none) nothing is posted: a post to no window would land
    // in the hooked program's own thread queue.
    const HWND window = NotifyWindow();
    if (window == nullptr) return;
    os::PostMessageA(window, WM_HOOK_NOTIFY, static_cast<WPARAM>(code),
                     static_cast<LPARAM>(argument));
}

void PostCapture(UINT message, uint32_t value) {
    const HWND window = NotifyWindow();
    if (window == nullptr) return;
    os::PostMessageA(window, WM_HOOK_CAPTURE, message, static_cast<LPARAM>(value));
}

void PostCaptureMouse(UINT rawMessage, POINT at) { PostCapture(rawMessage, PackPoint(at.x, at.y)); }
