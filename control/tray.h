// WexControl's icon in the notification area: one picture while active, one
// while paused, a tooltip, balloons, and the menu of its right click.
#pragma once

#include <windows.h>

#include <string>

namespace control {

// What the shell posts to WexControl's window about its icon; lParam is
// the mouse message (WM_LBUTTONUP, WM_RBUTTONUP, ...).
const UINT kTrayCallback = WM_APP + 41;
// Posted by a WexControl started while this one runs: show the menu.
const UINT kShowMenu = WM_APP + 42;

// The menu's commands, as WM_COMMAND's wParam.
enum TrayCommand {
    kCommandPause = 1,  // Pause or Resume
    kCommandOpenSettings,
    kCommandReload,
    kCommandShowLog,
    kCommandStatistics,
    kCommandQuit,
    kCommandDwell,  // dwell on or off
    // The next dwell click's type: left, double, right, middle, drag.
    kCommandDwellLeft,
    kCommandDwellDouble,
    kCommandDwellRight,
    kCommandDwellMiddle,
    kCommandDwellDrag,
    kCommandScroll,  // scroll by pointing, on or off
    kCommandLocate,  // find the pointer
};

// The command (commands.h) a menu item stands for; nullptr for Open
// settings file, which is the menu's own, and for 0.
const char* TrayCommandText(int command);

class TrayIcon {
public:
    // Adds the icon, with the callback going to `window`.  False when the
    // shell has no notification area (yet): Add is tried again when the
    // shell says it has started.
    bool Add(HWND window, bool paused, const std::string& tip);
    // The shell started again ("TaskbarCreated"): its icons are gone.
    bool AddAgain() { return Add(window_, paused_, tip_); }
    void Show(bool paused, const std::string& tip);
    // A balloon; the text is cut to what the shell takes.  An empty text
    // takes the balloon shown away.
    void Balloon(const std::string& title, const std::string& text);
    void Remove();
    // The menu at the cursor, opening upward from the icon as menus of the
    // notification area do; the command chosen, or 0.  `dwellNext`: the
    // index (0 left .. 4 drag) of the next dwell click's type, marked when
    // `dwellOn`; `scrolling` marks Scroll by pointing.
    int Menu(bool haveFile, bool dwellOn, int dwellNext, bool scrolling);

private:
    bool Notify(DWORD what, UINT flags, const char* infoTitle = "", const std::string& info = "");
    HWND window_ = nullptr;
    HICON active_ = nullptr;
    HICON pausedIcon_ = nullptr;
    bool paused_ = false;
    bool added_ = false;
    std::string tip_;
};

}  // namespace control
