// The stages of the mouse hook pipeline that live in files of their own.
// Each is called by MouseProc at its fixed place in the pipeline.
#pragma once

#include "platform/os.h"

#include <stdint.h>

// Remembers the push button under a client-area left press (0x201 only).
void RememberButtonTarget(UINT rawId, const MOUSEHOOKSTRUCT* record);
// Shaking of the cursor and bursts of clicks; never consumes.
void DetectWiggle(UINT rawId, const MOUSEHOOKSTRUCT* record);
// The shaking half alone, for a client-area cursor move (WM_MOUSEMOVE).
void DetectMoveWiggle(POINT pt);
// Right and middle client-area buttons turned into left clicks; 1 consumes.
int RightButtonFilter(UINT rawId, const MOUSEHOOKSTRUCT* record);
// One click opens list-view and tree-view items; 1 consumes.
int SingleClickOpen(UINT buttonId);
// Wraps the cursor round the chosen screen edges on a move; never consumes.
void WrapAtScreenEdge(UINT rawId, const MOUSEHOOKSTRUCT* record);
// A point away from every edge of a screen width by height (1 <= x <=
// width - 2, and likewise y), as nearly every move is: one unsigned
// comparison per axis.
inline bool AwayFromEdges(int32_t x, int32_t y, int32_t width, int32_t height) {
    return static_cast<uint32_t>(x - 1) < static_cast<uint32_t>(width - 2) &&
           static_cast<uint32_t>(y - 1) < static_cast<uint32_t>(height - 2);
}
// Adds the travel from this process's last point to (x, y) to the statistics.
void AccumulateDistance(int32_t x, int32_t y);
