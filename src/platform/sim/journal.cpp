// Journal playback on the simulated desktop, and the Num Lock toggle.
//
// While a playback hook is installed (and the desktop plays it), the hook is
// the input stream: each event is asked for more than once (HC_GETNEXT), as
// Windows does, put at its point, passed through the mouse hook to the window
// under it, and skipped (HC_SKIP).  Injected input waits until the hook has
// gone.
#include "platform/sim/desktop.h"

#include "core/shared.h"
#include "platform/os.h"

#include <algorithm>

namespace sim {

namespace {

void FollowButton(Desktop& d, UINT message) {
    switch (message) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            d.NotePress(VK_LBUTTON);
            d.SetKeyDown(VK_LBUTTON, true);
            break;
        case WM_LBUTTONUP: d.SetKeyDown(VK_LBUTTON, false); break;
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK:
            d.NotePress(VK_RBUTTON);
            d.SetKeyDown(VK_RBUTTON, true);
            break;
        case WM_RBUTTONUP: d.SetKeyDown(VK_RBUTTON, false); break;
        default: break;
    }
}

}  // namespace

bool Desktop::PlayJournalEvent() {
    if (journal != Journal::Plays || !HookInstalled(WH_JOURNALPLAYBACK)) return false;
    EVENTMSG event{};
    for (int ask = 0; ask < std::max(1, journalAsks); ++ask) {
        event = EVENTMSG{};
        CallHooks(WH_JOURNALPLAYBACK, HC_GETNEXT, 0, reinterpret_cast<LPARAM>(&event));
    }
    const POINT p{std::clamp<LONG>(static_cast<int32_t>(event.paramL), 0, screenWidth - 1),
                  std::clamp<LONG>(static_cast<int32_t>(event.paramH), 0, screenHeight - 1)};
    cursor = p;
    Log("played " + Hex(event.message) + " " + std::to_string(p.x) + " " + std::to_string(p.y));
    FollowButton(*this, event.message);

    const HWND target = os::WindowFromPoint(p);
    Window* w = Find(target);
    const int hit = w != nullptr ? HitTest(target, p) : HTNOWHERE;
    const bool client = hit == HTCLIENT;
    const UINT delivered =
        w != nullptr && !client ? event.message - (WM_MOUSEMOVE - WM_NCMOUSEMOVE) : event.message;
    MOUSEHOOKSTRUCTEX info{};
    info.pt = p;
    info.hwnd = target;
    info.wHitTestCode = static_cast<UINT>(hit);
    const int process = w != nullptr ? w->process : kShell;
    const LRESULT consumed =
        HookInstalled(WH_MOUSE) ? CallHooks(WH_MOUSE, HC_ACTION, delivered, reinterpret_cast<LPARAM>(&info), process)
                                : 0;
    if (consumed == 0) ButtonReached(delivered);
    if (consumed == 0 && w != nullptr) {
        const POINT at = client ? POINT{p.x - w->client.left, p.y - w->client.top} : p;
        w->posted.push_back({w->name, delivered, client ? 0u : static_cast<uint32_t>(hit),
                             static_cast<uint32_t>(MAKELPARAM(at.x, at.y))});
    }
    CallHooks(WH_JOURNALPLAYBACK, HC_SKIP, 0, 0);
    return true;
}

void Desktop::SetNumLock(bool on) {
    uint8_t& k = keyState[VK_NUMLOCK];
    k = on ? (k | 0x01) : (k & ~0x01);
}

}  // namespace sim
