// The settings records the benchmark measures with, shared by its host and
// Wine halves so that both measure the same work.
#pragma once

#include "wexutil.h"

namespace bench {

// 30 key rows for the keys 'A' to '^': none of them a mouse button, the
// space bar or a key of the keyboard mouse.
inline HookSettings ThirtyKeyRows() {
    HookSettings s = {};
    for (int i = 0; i < WEXUTIL_BINDING_ROWS; ++i) s.bindings[i] = {ACTION_NOTIFY_5, 0, 'A' + i, 0, 0};
    s.bindingCount = WEXUTIL_BINDING_ROWS;
    return s;
}

// Every feature of the mouse and keyboard hooks on, with 30 rows.  The pause
// lock stays off: it is a state the user enters, in which input is eaten.
// Capture mode is on only when asked: it forwards every event to the
// controlling program.
inline HookSettings EverythingOn(bool capture) {
    HookSettings s = ThirtyKeyRows();
    s.captureMode = capture ? 1 : 0;
    s.copyWatch = 1;
    s.rightButtonFilter = 1;
    s.wiggleDetect = 1;
    s.clickWiggleSensitivity = 5;
    s.moveWiggleSensitivity = 5;
    s.rememberButtonClicks = 1;
    s.edgeWrap = 1;
    s.edgeWrapEdges = 15;
    s.trackDistance = 1;
    s.keyboardMouse = 1;
    s.cornerB = 1;
    s.typingWatch = 1;
    s.singleClickDesktop = 1;
    s.singleClickFolders = 1;
    s.singleClickTrees = 1;
    s.vendorWheel = 1;
    return s;
}

}  // namespace bench
