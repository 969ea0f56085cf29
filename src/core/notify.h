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

// WM_HOOK_NOTIFY(code, argument) to the notification window.  The argument
// is a 32-bit signed value: -1 arrives as 0xFFFFFFFF on Win32.
void PostNotify(int code, int32_t argument);

// WM_HOOK_CAPTURE(message, value) to the notification window.
void PostCapture(UINT message, uint32_t value);

// WM_HOOK_CAPTURE for a mouse message, with the cursor position read now.
void PostCaptureMouse(UINT rawMessage);
