// With the filter on, the right and middle buttons act as the left button:
// their client-area messages are consumed and a left press or release is
// injected at the cursor instead.  Shell item views and the caption, menu
// and frame buttons keep the real button.
#include "core/notify.h"
#include "core/shared.h"
#include "mouse/stages.h"
#include "mouse/window_class.h"

namespace {

// The class name is read with 79 of its 80 bytes offered, terminator
// included.
const int kClassBuffer = 80;
const int kClassRead = 79;
// More presses of one button at once than pointing devices anyone uses.
const int32_t kMaxFilterPresses = 8;

// 1 where the real button is kept: over a shell item view (the desktop's or a
// folder window's) and over frame parts whose right-click menus matter.
int KeepsRealButton(POINT p) {
    const HWND under = os::WindowFromPoint(p);
    if (under == nullptr) return 0;
    const HWND parent = os::GetParent(under);
    if (parent != nullptr) {
        char className[kClassBuffer];
        ReadClassName(parent, className, kClassRead);
        if (ClassIs(className, "SHELLDLL_DefView")) return 1;
    }
    switch (HitTestAt(under, p.x, p.y)) {
        case HTCAPTION:
        case HTSYSMENU:
        case HTMENU:
        case HTMINBUTTON:
        case HTMAXBUTTON:
        case HTCLOSE: return 1;
        default: return 0;
    }
}

}  // namespace

int RightButtonFilter(UINT rawId, const MOUSEHOOKSTRUCT*) {
    bool press;
    int32_t& presses = Shared().filterPresses[rawId <= WM_RBUTTONDBLCLK ? 0 : 1];
    switch (rawId) {
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONDBLCLK: press = true; break;
        case WM_RBUTTONUP:
        case WM_MBUTTONUP: press = false; break;
        default: return 0;
    }
    // The release of a press this filter turned into a left press is turned
    // into a left release wherever it happens; keeping the real button there
    // would leave the left button down.  Any other release (its press kept
    // the real button, or came before the filter was switched on) stays a
    // real release: it injects no left release for a press never made, and
    // the bindings still see the release of a press they ran.  The count is
    // taken in one step, so that two programs seeing releases at once never
    // pair both with one press.
    if (!press) {
        if (!CountDown(presses)) return 0;
    } else {
        POINT p = {0, 0};
        os::GetCursorPos(&p);
        if (KeepsRealButton(p)) return 0;
        // Counted up to a bound: a count run wild in shared memory must not
        // become a flood of releases.
        CountUp(presses, kMaxFilterPresses);
    }
    os::mouse_event(press ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    return 1;
}
