// What the 64-bit WexControl and its 32-bit companion say to each other.
//
// A 32-bit hook library is mapped only into 32-bit programs, so on 64-bit
// Windows the 64-bit WexControl starts WexCompanion.exe, a 32-bit program
// beside its 32-bit WexUTIL.dll in the folder x86, to install the 32-bit
// hooks with WexControl's own notification window:
//
//   WexCompanion --window=HWND --parent=PID
//
// It posts kCompanionReady to that window once its hooks are in, then pumps
// messages (Windows runs its hooks for 64-bit programs on its thread) until
// WexControl posts WM_QUIT to its thread or WexControl's process ends in
// any way; then it removes its hooks and exits.
#pragma once

#include <windows.h>

namespace control {

// Posted to WexControl's window; wParam: the companion's process id.
const UINT kCompanionReady = WM_APP + 40;

// The companion's place, relative to the folder of the 64-bit WexControl.
const char kCompanionPath[] = "x86\\WexCompanion.exe";

// Exit statuses of the companion.
enum CompanionExit {
    kCompanionDone = 0,
    kCompanionUsage = 2,
    kCompanionNoLibrary = 3,
    kCompanionNoParent = 4,
};

}  // namespace control
