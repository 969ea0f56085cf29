// Screen-edge wrap: a cursor pushed against a chosen edge jumps to one pixel
// inside the opposite edge, except in the excluded hot corners, while a
// dragging button is down, or without Shift when Shift is asked for.
#include "core/shared.h"
#include "mouse/stages.h"

namespace {

// Edge bits of edgeWrapEdges.
const int kBottom = 1, kTop = 2, kLeft = 4, kRight = 8;
// Depth of a corner zone: left and top 0..31, right and bottom the last 31
// pixels (strict comparisons against the far edge).
const int kCorner = 32;

bool Down(int vk) { return os::GetAsyncKeyState(vk) < 0; }

// Inside an excluded corner zone.  cornerAPosition names the corners
// top-left, top-right, bottom-left, bottom-right as 0, 4, 5, 6; cornerB as
// 1, 2, 3, 4.  Every zone is tested, so that on a screen narrower than two
// zones a point inside two of them is caught by either.
bool InHotCorner(int x, int y, int cx, int cy, const HookSettings& s) {
    const bool left = x<kCorner, right = x> cx - kCorner;
    const bool top = y<kCorner, bottom = y> cy - kCorner;
    const bool inside[] = {left && top, right && top, left && bottom, right && bottom};
    const int positionA[] = {0, 4, 5, 6};
    for (int corner = 0; corner < 4; ++corner) {
        if (inside[corner] && (s.cornerAPosition == positionA[corner] || s.cornerB == corner + 1))
            return true;
    }
    return false;
}

}  // namespace

void WrapAtScreenEdge(UINT rawId, const MOUSEHOOKSTRUCT* record) {
    const HookSettings& s = DesktopSettings();
    if ((rawId != WM_MOUSEMOVE && rawId != WM_NCMOUSEMOVE) || s.edgeWrap == 0 || record == nullptr) return;
    const int x = record->pt.x, y = record->pt.y;
    ProcessState& p = Proc();
    if (p.wrapFromSet != 0) {
        if (x == p.wrapFrom.x && y == p.wrapFrom.y) return;  // the move that wrapped, again
        p.wrapFromSet = 0;
    }
    // The screen size as this process keeps it: a move away from every edge
    // makes no platform call at all.  A point beyond it means the screen grew
    // unseen: it is read again.
    int32_t cx = 0, cy = 0;
    ScreenSize(&cx, &cy);
    if (x >= cx || y >= cy) {
        ReadScreenSize();
        ScreenSize(&cx, &cy);
    }
    if (AwayFromEdges(x, y, cx, cy)) return;
    const int edges = s.edgeWrapEdges;
    const bool atLeft = x == 0 && (edges & kLeft) != 0;
    const bool atTop = y == 0 && (edges & kTop) != 0;
    const bool atRight = x == cx - 1 && (edges & kRight) != 0;
    const bool atBottom = y == cy - 1 && (edges & kBottom) != 0;
    if (!atLeft && !atTop && !atRight && !atBottom) return;

    if (s.edgeWrapNeedsShift != 0 && !Down(VK_SHIFT)) return;
    if ((s.cornerAEnabled != 0 || s.cornerB != 0) && InHotCorner(x, y, cx, cy, s)) return;
    // Dragging with the left or right button never wraps.
    if (Down(VK_LBUTTON) || Down(VK_RBUTTON)) return;

    // Each jump is computed from the event's own point, so a corner where two
    // wrapping edges meet makes both.
    HookStatistics& st = Shared().statistics;
    p.wrapFrom = {x, y};
    p.wrapFromSet = 1;
    if (atLeft) {
        os::SetCursorPos(cx - 2, y);
        IncrementCounter(st.edgeWraps);
    }
    if (atTop) {
        os::SetCursorPos(x, cy - 2);
        IncrementCounter(st.edgeWraps);
    }
    if (atRight) {
        os::SetCursorPos(1, y);
        IncrementCounter(st.edgeWraps);
    }
    if (atBottom) {
        os::SetCursorPos(x, 1);
        IncrementCounter(st.edgeWraps);
    }
}
