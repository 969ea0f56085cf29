// Mouse input of the simulated desktop, delivered as Windows delivers it:
// the window under the cursor and its hit test choose the client or the
// non-client form of each message; presses close together in time and place
// become double-clicks; the mouse hook runs in the process that owns the
// target window and sees the full MOUSEHOOKSTRUCTEX; a consumed message never
// reaches its window.
#include "platform/sim/desktop.h"

#include <cstdlib>

namespace sim {

namespace {

bool Inside(const RECT& r, POINT p) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

// Presses closer than this (either way, in pixels) may pair as a double-click.
const int kDoubleClickSlop = 2;

}  // namespace

HWND Desktop::MouseTarget(POINT p) {
    HWND target = nullptr;
    for (HWND top : zOrder_) {
        Window& t = W(top);
        if (t.visible && Inside(t.rect, p)) {
            target = top;
            break;
        }
    }
    // Descend to the deepest visible child under the point.
    for (bool descended = true; target != nullptr && descended;) {
        descended = false;
        for (HWND child : W(target).children) {
            Window& c = W(child);
            if (c.visible && Inside(c.rect, p)) {
                target = child;
                descended = true;
                break;
            }
        }
    }
    return target;
}

void Desktop::QueueWarp() {
    for (const InputEvent& e : pendingInput) {
        if (e.warp) return;  // moves not yet delivered are merged into one
    }
    InputEvent e{false, MOUSEEVENTF_MOVE, 0, 0, 0, 0};
    e.warp = true;
    pendingInput.push_back(e);
}

void Desktop::DeliverMouse(const InputEvent& e) {
    struct Button {
        DWORD flag;
        UINT message;
    };
    static const Button buttons[] = {
        {MOUSEEVENTF_LEFTDOWN, WM_LBUTTONDOWN},   {MOUSEEVENTF_LEFTUP, WM_LBUTTONUP},
        {MOUSEEVENTF_RIGHTDOWN, WM_RBUTTONDOWN},  {MOUSEEVENTF_RIGHTUP, WM_RBUTTONUP},
        {MOUSEEVENTF_MIDDLEDOWN, WM_MBUTTONDOWN}, {MOUSEEVENTF_MIDDLEUP, WM_MBUTTONUP},
    };
    std::vector<UINT> messages;
    if (e.a & MOUSEEVENTF_MOVE) messages.push_back(WM_MOUSEMOVE);
    for (auto& b : buttons) {
        if (e.a & b.flag) messages.push_back(b.message);
    }
    if (e.a & MOUSEEVENTF_WHEEL) messages.push_back(WM_MOUSEWHEEL);
    // A SetCursorPos move happens wherever the cursor is by now; injected
    // events where the cursor was when they were injected.
    const POINT p = e.warp ? cursor : e.at;
    for (UINT message : messages) {
        const HWND target = MouseTarget(p);
        Window* w = Find(target);
        const int hit = w != nullptr ? HitTest(target, p) : HTNOWHERE;
        const bool client = hit == HTCLIENT || message == WM_MOUSEWHEEL;
        if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN) {
            // The second press of a button on the same window within the
            // double-click time and a few pixels: a double-click for windows
            // that ask for them, and always in the non-client area.
            const bool pairs = lastPress.message == message && lastPress.window == target &&
                               tick - lastPress.time < doubleClickTime &&
                               std::abs(p.x - lastPress.at.x) <= kDoubleClickSlop &&
                               std::abs(p.y - lastPress.at.y) <= kDoubleClickSlop;
            if (pairs && w != nullptr && (!client || (w->classStyle & CS_DBLCLKS) != 0)) {
                lastPress = LastPress{};
                message += 2;  // WM_xBUTTONDBLCLK
            } else {
                lastPress = LastPress{message, tick, target, p};
            }
        }
        const UINT delivered = client || w == nullptr ? message : message - (WM_MOUSEMOVE - WM_NCMOUSEMOVE);
        MOUSEHOOKSTRUCTEX info{};
        info.pt = p;
        info.hwnd = target;
        info.wHitTestCode = static_cast<UINT>(hit);
        info.dwExtraInfo = e.extra;
        // The wheel delta, in the high word, as Windows gives it.
        if (message == WM_MOUSEWHEEL) info.mouseData = (e.d & 0xFFFFu) << 16;
        const int process = w != nullptr ? w->process : kShell;
        const LRESULT consumed =
            HookInstalled(WH_MOUSE) ? CallHooks(WH_MOUSE, HC_ACTION, delivered, reinterpret_cast<LPARAM>(&info), process)
                                    : 0;
        if (consumed != 0) continue;
        // Passed on: it reaches its window, or the desktop where none is.
        ButtonReached(delivered);
        if (Find(target) == nullptr) continue;
        w = Find(target);
        // Client messages carry client coordinates, the others the screen
        // point; the wheel carries its delta in the high word of wParam.
        POINT at = p;
        uint32_t wParam = delivered == message ? 0u : static_cast<uint32_t>(hit);
        if (message == WM_MOUSEWHEEL) {
            wParam = (e.d & 0xFFFFu) << 16;
        } else if (delivered == message) {
            at.x -= w->client.left;
            at.y -= w->client.top;
        }
        w->posted.push_back({w->name, delivered, wParam, static_cast<uint32_t>(MAKELPARAM(at.x, at.y))});
    }
}

}  // namespace sim
