// One left click opens the item of a list view or tree view under it.
//
// The press is passed on (the view selects the item) and only remembered;
// a release within 5 pixels of it, over an item, is consumed and replaced by
// a double-click posted to the view.  A real double-click on an item is
// consumed together with the release that follows it, so the item that the
// first click opened is not opened again.
#include "actions/click.h"
#include "core/notify.h"
#include "core/shared.h"
#include "mouse/stages.h"
#include "mouse/window_class.h"

namespace {

// Class names are compared whole; the buffer is larger than any of them.
const int kClassBuffer = 80;
// A press and release further apart than this on either axis are a drag.
const int64_t kClickSlop = 5;

// Widened, so that no pair of coordinates can overflow.
int64_t Distance(LONG a, LONG b) { return a > b ? int64_t{a} - b : int64_t{b} - a; }

// 1 for the list view of the desktop itself: its parent is the shell view
// and the shell view's parent is the desktop's program window.
int IsDesktopItem(HWND window) {
    char className[kClassBuffer];
    const HWND shellView = os::GetParent(window);
    if (shellView == nullptr) return 0;
    ReadClassName(shellView, className, kClassBuffer);
    if (!ClassIs(className, "SHELLDLL_DefView")) return 0;
    const HWND program = os::GetParent(shellView);
    if (program == nullptr) return 0;
    ReadClassName(program, className, kClassBuffer);
    return ClassIs(className, "Progman");
}

// The hit-test messages carry the address of a structure in this process,
// which the system does not copy into another one: a view of another process
// would read its own memory at that address.  Only views this process owns
// are asked.
bool OwnedHere(HWND view) {
    DWORD owner = 0;
    os::GetWindowThreadProcessId(view, &owner);
    return owner != 0 && owner == os::GetCurrentProcessId();
}

bool KeyDown(int vk) { return os::GetAsyncKeyState(vk) < 0; }

// 1 when the settings let list view `view` open with one click and no
// modifier asks for a selection instead (Ctrl and Shift extend it).
int ListViewOpens(HWND view) {
    const HookSettings& s = Settings();
    if (s.singleClickFolders == 0 && s.singleClickDesktop == 0) return 0;
    if (KeyDown(VK_CONTROL) || KeyDown(VK_SHIFT)) return 0;
    return IsDesktopItem(view) ? s.singleClickDesktop != 0 : s.singleClickFolders != 0;
}

}  // namespace

int SingleClickOpen(UINT buttonId) {
    ProcessState& process = Proc();
    // The flag is shared: the double-click's release may come in another
    // program (a window the open brought up), and a flag left set where it
    // was raised would eat the release of a later press there, leaving that
    // window's button held down for good.
    if (buttonId == WM_LBUTTONUP && Shared().suppressNextUp != 0 && TakeValue(Shared().suppressNextUp, 1)) return 1;
    if (buttonId == WM_LBUTTONDOWN) {
        os::GetCursorPos(&process.pressPoint);
        Shared().suppressNextUp = 0;
        return 0;
    }
    if (buttonId != WM_LBUTTONUP && buttonId != WM_LBUTTONDBLCLK) return 0;

    POINT p = {0, 0};
    os::GetCursorPos(&p);
    if (Distance(p.x, process.pressPoint.x) > kClickSlop ||
        Distance(p.y, process.pressPoint.y) > kClickSlop) {
        return 0;
    }
    const HWND under = os::WindowFromPoint(p);
    if (under == nullptr) return 0;
    POINT inUnder = p;
    os::ScreenToClient(under, &inUnder);
    const HWND view = os::ChildWindowFromPoint(under, inUnder);
    if (view == nullptr) return 0;
    char className[kClassBuffer];
    ReadClassName(view, className, kClassBuffer);
    POINT inView = p;

    bool hit = false;
    if (Settings().singleClickTrees != 0 && ClassIs(className, "SysTreeView32") && OwnedHere(view)) {
        os::ScreenToClient(view, &inView);
        TVHITTESTINFO info = {};
        info.pt = inView;
        info.flags = TVHT_ONITEM;
        // Any item the view names is a hit, whatever part of its row.
        hit = SendBounded(view, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&info), 0) != 0;
    } else if (ClassIs(className, "SysListView32") && ListViewOpens(view) && OwnedHere(view)) {
        os::ScreenToClient(view, &inView);
        LVHITTESTINFO info = {};
        info.pt = inView;
        info.flags = LVHT_ONITEM;
        hit = static_cast<int>(SendBounded(view, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&info), -1)) != -1;
    }
    if (!hit) return 0;

    if (buttonId == WM_LBUTTONDBLCLK) {
        // The release that ended the first click already opened the item.
        Shared().suppressNextUp = 1;
        return 1;
    }
    ClickAtCursor();
    IncrementCounter(Shared().statistics.singleClickOpens);
    return 1;
}
