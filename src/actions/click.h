// Bringing a window forward and clicking whatever lies under the cursor,
// without touching the system's mouse-button state.
#pragma once

#include "platform/os.h"

// Brings a window to the foreground with the system's foreground lock lifted
// for the length of the call, and put back as it was.  Returns 1.
int ForceForeground(HWND window);

// Makes the window under the cursor do what a double-click there would do:
// activates it, asks it what lies under the cursor (WM_NCHITTEST) and posts it
// the button messages or the window command that fit.
void ClickAtCursor();
