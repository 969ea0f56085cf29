// Mouse-button messages played into the system input stream.
#pragma once

#include "platform/os.h"

// Plays one of WM_LBUTTONDOWN/UP/DBLCLK or WM_RBUTTONDOWN/UP/DBLCLK at the
// cursor; presses on caption buttons become window commands instead.
void PlayMouseMessage(UINT message);
// The top-level window under the cursor, or null.
HWND FindTopLevelAtCursor();
// Finishes a playback whose hook is still installed: removes the hook and
// injects what it had not yet played.  Called before each keystroke the
// keyboard mouse handles, so that a hook the system never calls holds
// nothing back.
void SettlePlayback();
