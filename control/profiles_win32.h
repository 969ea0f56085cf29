// The program behind a window, and its profile, looked up once per window
// rather than at every look: the window's top-level window is compared
// with the last one asked about, and only a new one costs a process query.
#pragma once

#include <windows.h>

#include <string>

#include "settings_file.h"

namespace control {

// The full path of the program that owns `window`, "" when it cannot be
// read (a process this user may not query).
std::u16string ProgramPathOf(HWND window);

class ProfileLookup {
public:
    // The index of the profile of the program that owns `window` (-1: the
    // defaults).
    int Of(HWND window, const Config& config);
    // The profiles changed (a reload): every window is looked up again.
    void Forget() { root_ = nullptr; }

private:
    HWND root_ = nullptr;
    int index_ = -1;
};

}  // namespace control
