// Remembers the push button (or check box, or radio button) under a
// client-area left press, so that the controlling program can find the same
// target again: the top window's class and title and the button's centre in
// that window's client coordinates.
#include "core/notify.h"
#include "core/shared.h"
#include "mouse/stages.h"
#include "mouse/window_class.h"

namespace {

// Field length of the shared strings, less the last byte, which stays zero.
const int kRememberedLength = 39;
// Parents are walked up to this depth; real window trees are far shallower.
const int kMaxDepth = 64;

// The window that holds the button: walk up through the parents, stopping at
// the first popup (a dialog is its own top window, its owner never counts).
HWND TopWindowOf(HWND button) {
    HWND top = button;
    for (int depth = 0; depth < kMaxDepth; ++depth) {
        HWND parent = os::GetParent(top);
        if (parent == nullptr) break;
        top = parent;
        if ((static_cast<DWORD>(os::GetWindowLongA(top, GWL_STYLE)) & WS_POPUP) != 0) break;
    }
    return top;
}

void CopyField(char* field, const char* text) {
    int i = 0;
    for (; i < kRememberedLength - 1 && text[i] != '\0'; ++i) field[i] = text[i];
    field[i] = '\0';
}

}  // namespace

void RememberButtonTarget(UINT rawId, const MOUSEHOOKSTRUCT* record) {
    if (rawId != WM_LBUTTONDOWN || record == nullptr) return;
    HWND button = record->hwnd;
    char className[29];
    ReadClassName(button, className, sizeof className);
    if (os::lstrcmpiA(className, "Button") != 0) return;

    HWND top = TopWindowOf(button);
    RECT r = {0, 0, 0, 0};
    os::GetClientRect(button, &r);
    POINT corners[2] = {{r.left, r.top}, {r.right, r.bottom}};
    os::MapWindowPoints(button, top, corners, 2);

    // Fetched whole before the shared copy changes, so a window that vanished
    // in between leaves empty strings rather than the previous target's.
    char topClass[kRememberedLength];
    char topTitle[kRememberedLength] = "";
    ReadClassName(top, topClass, kRememberedLength);
    os::GetWindowTextA(top, topTitle, kRememberedLength);
    topTitle[kRememberedLength - 1] = '\0';
    CopyField(Shared().rememberedClass, topClass);
    CopyField(Shared().rememberedTitle, topTitle);
    Shared().rememberedPoint.x = (corners[0].x + corners[1].x) / 2;
    Shared().rememberedPoint.y = (corners[0].y + corners[1].y) / 2;
    Shared().rememberedTick = os::GetTickCount();
    PostNotify(NOTIFY_BUTTON_REMEMBERED, 0);
}
