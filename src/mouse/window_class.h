// A window's class name read into a fixed buffer, for exact comparison.
#pragma once

#include "platform/os.h"

// Offers `size` bytes of `buffer` to GetClassNameA and leaves a terminated
// string there whatever the window answered: empty when it gave nothing, and
// never longer than size - 1 characters.
inline void ReadClassName(HWND window, char* buffer, int size) {
    const int length = os::GetClassNameA(window, buffer, size);
    buffer[length > 0 && length < size ? length : 0] = '\0';
}

// 1 when the window's class is exactly `name` (case-sensitive, whole name).
inline int ClassIs(const char* className, const char* name) { return os::lstrcmpA(className, name) == 0; }
