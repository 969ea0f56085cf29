#include "actions/click.h"

#include "core/notify.h"

int ForceForeground(HWND window) {
    // Windows refuses to hand the foreground to another program while the
    // lock time-out runs; setting it to 0 lifts the lock.  Every call passes
    // fWinIni 0, so the change is neither saved nor broadcast.
    DWORD saved = 0;
    if (!os::SystemParametersInfoA(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &saved, 0)) {
        // Without the current value there is nothing to put back, and writing
        // a guess would overwrite the user's setting for good.  Leave the lock
        // alone and ask for the foreground as an ordinary program would.
        os::SetForegroundWindow(window);
        return 1;
    }
    // The new time-out travels in the pointer argument itself.
    os::SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, 0);
    os::SetForegroundWindow(window);
    os::SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0,
                              reinterpret_cast<PVOID>(static_cast<UINT_PTR>(saved)), 0);
    return 1;
}

void ClickAtCursor() {
    POINT cursor = {0, 0};
    os::GetCursorPos(&cursor);
    const HWND window = os::WindowFromPoint(cursor);
    if (window == nullptr) return;

    ForceForeground(window);
    const LPARAM screen = PointParam(cursor.x, cursor.y);
    // A window that does not answer gets the plain click at "nowhere" below.
    const int hit = HitTestAt(window, cursor.x, cursor.y);

    // Everything is posted, so the window handles it after this call returns
    // and no hook waits on the target's thread.
    switch (hit) {
        case HTCLIENT: {
            os::SetFocus(window);
            POINT client = cursor;
            os::ScreenToClient(window, &client);
            const LPARAM at = PointParam(client.x, client.y);
            // wParam 0: no MK_LBUTTON, so the window sees no button held.
            os::PostMessageA(window, WM_LBUTTONDOWN, 0, at);
            os::PostMessageA(window, WM_LBUTTONUP, 0, at);
            // Only classes that ask for double-clicks receive one; the others
            // would read a stray WM_LBUTTONDBLCLK as nothing at all.
            if (os::GetClassLongA(window, GCL_STYLE) & CS_DBLCLKS) {
                os::PostMessageA(window, WM_LBUTTONDBLCLK, 0, at);
                os::PostMessageA(window, WM_LBUTTONUP, 0, at);
            }
            break;
        }
        case HTCAPTION: os::PostMessageA(window, WM_NCLBUTTONDBLCLK, HTCAPTION, screen); break;
        case HTSYSMENU:
        case HTCLOSE: os::PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, screen); break;
        case HTMENU:
            os::PostMessageA(window, WM_NCLBUTTONDOWN, HTMENU, screen);
            os::PostMessageA(window, WM_NCLBUTTONUP, HTMENU, screen);
            os::PostMessageA(window, WM_NCLBUTTONDBLCLK, HTMENU, screen);
            os::PostMessageA(window, WM_NCLBUTTONUP, HTMENU, screen);
            break;
        case HTMINBUTTON: os::PostMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, screen); break;
        case HTMAXBUTTON:
            os::PostMessageA(window, WM_SYSCOMMAND, os::IsZoomed(window) ? SC_RESTORE : SC_MAXIMIZE, screen);
            break;
        default:
            // Borders, scroll bars and the rest get a plain click at "nowhere"
            // (wParam HTNOWHERE), so no sizing or scrolling drag starts.
            os::PostMessageA(window, WM_NCLBUTTONDOWN, HTNOWHERE, screen);
            os::PostMessageA(window, WM_NCLBUTTONUP, HTNOWHERE, screen);
            break;
    }
}
