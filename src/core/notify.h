// The two messages the library posts to the controlling program's window.
#pragma once

#include "platform/os.h"

#include <stdint.h>

// MAKELPARAM(x, y) with 32-bit meaning: each coordinate cut to its low 16
// bits, x in the low word.  A negative y gives 0xFFFFxxxx on every build.
inline uint32_t PackPoint(int32_t x, int32_t y) {
    return (static_cast<uint32_t>(y) & 0xFFFFu) << 16 | (static_cast<uint32_t>(x) & 0xFFFFu);
}

// The same packing as an LPARAM, zero-extended as Windows does it.
inline LPARAM PointParam(int32_t x, int32_t y) { return static_cast<LPARAM>(PackPoint(x, y)); }

// A message sent to a window that may belong to another program, from inside
// a hook: a hung window must not freeze the program the hook runs in, so the
// send gives up after kSendBound milliseconds, at once when the system
// already counts the window as hung.  Returns the window's answer, or
// `failed` when the send failed or gave up.
const UINT kSendBound = 200;
LRESULT SendBounded(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT failed);

// The window's hit-test answer (WM_NCHITTEST) for a screen point, sent
// bounded; HTNOWHERE when it did not answer, so a hung window counts as
// neither its client area nor a caption button.
int HitTestAt(HWND window, int32_t x, int32_t y);

// WM_HOOK_NOTIFY(code, argument) to the notification window.  The argument
// is a 32-bit signed value: -1 arrives as 0xFFFFFFFF on Win32.
void PostNotify(int code, int32_t argument);

// WM_HOOK_CAPTURE(message, value) to the notification window.
void PostCapture(UINT message, uint32_t value);

// WM_HOOK_CAPTURE for a mouse message, with the message's own point: where
// the cursor was for this very message (read from the hook's record, which
// costs no platform call on every move).
void PostCaptureMouse(UINT rawMessage, POINT at);
