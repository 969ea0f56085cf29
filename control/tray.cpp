#include "tray.h"

#include <shellapi.h>

#include <cstring>

namespace control {

namespace {

// The icons are drawn here rather than shipped: a round badge, green with
// a pointer while active, grey with two bars while paused.  Points are on a
// 16-pixel grid, scaled to the size the shell asks for.
HICON DrawIcon(bool paused) {
    const int size = ::GetSystemMetrics(SM_CXSMICON) > 0 ? ::GetSystemMetrics(SM_CXSMICON) : 16;
    const auto at = [size](int v) { return v * size / 16; };
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    HBITMAP color = ::CreateCompatibleBitmap(screen, size, size);
    HBITMAP mask = ::CreateBitmap(size, size, 1, 1, nullptr);
    ::ReleaseDC(nullptr, screen);

    // The mask: white is see-through, black is the badge.
    HGDIOBJ old = ::SelectObject(dc, mask);
    ::PatBlt(dc, 0, 0, size, size, WHITENESS);
    ::SelectObject(dc, ::GetStockObject(BLACK_BRUSH));
    ::SelectObject(dc, ::GetStockObject(BLACK_PEN));
    ::Ellipse(dc, 0, 0, size, size);

    // The picture: black outside the badge, so that the mask leaves the
    // background there.
    ::SelectObject(dc, color);
    ::PatBlt(dc, 0, 0, size, size, BLACKNESS);
    HBRUSH badge = ::CreateSolidBrush(paused ? RGB(128, 128, 128) : RGB(32, 150, 64));
    HPEN rim = ::CreatePen(PS_SOLID, 1, paused ? RGB(80, 80, 80) : RGB(16, 100, 40));
    ::SelectObject(dc, badge);
    ::SelectObject(dc, rim);
    ::Ellipse(dc, 0, 0, size, size);
    ::SelectObject(dc, ::GetStockObject(WHITE_BRUSH));
    ::SelectObject(dc, ::GetStockObject(WHITE_PEN));
    if (paused) {
        ::Rectangle(dc, at(5), at(4), at(7), at(12));
        ::Rectangle(dc, at(9), at(4), at(11), at(12));
    } else {
        const POINT pointer[] = {{at(5), at(3)},   {at(5), at(12)}, {at(7), at(10)}, {at(9), at(13)},
                                 {at(10), at(12)}, {at(8), at(9)},  {at(11), at(9)}};
        ::Polygon(dc, pointer, 7);
    }
    ::SelectObject(dc, old);
    ::DeleteObject(badge);
    ::DeleteObject(rim);
    ::DeleteDC(dc);

    ICONINFO info = {};
    info.fIcon = TRUE;
    info.hbmMask = mask;
    info.hbmColor = color;
    HICON icon = ::CreateIconIndirect(&info);
    ::DeleteObject(mask);
    ::DeleteObject(color);
    return icon;
}

void Copy(char* to, size_t room, const std::string& from) {
    const size_t n = from.size() < room - 1 ? from.size() : room - 1;
    std::memcpy(to, from.data(), n);
    to[n] = '\0';
}

}  // namespace

bool TrayIcon::Notify(DWORD what, UINT flags, const char* infoTitle, const std::string& info) {
    NOTIFYICONDATAA data = {};
    data.cbSize = sizeof data;
    data.hWnd = window_;
    data.uID = 1;
    data.uFlags = flags;
    data.uCallbackMessage = kTrayCallback;
    data.hIcon = paused_ ? pausedIcon_ : active_;
    Copy(data.szTip, sizeof data.szTip, tip_);
    if (flags & NIF_INFO) {
        Copy(data.szInfoTitle, sizeof data.szInfoTitle, infoTitle);
        Copy(data.szInfo, sizeof data.szInfo, info);
        data.dwInfoFlags = NIIF_WARNING;
    }
    return ::Shell_NotifyIconA(what, &data) != FALSE;
}

bool TrayIcon::Add(HWND window, bool paused, const std::string& tip) {
    window_ = window;
    paused_ = paused;
    tip_ = tip;
    if (!active_) active_ = DrawIcon(false);
    if (!pausedIcon_) pausedIcon_ = DrawIcon(true);
    added_ = Notify(NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    return added_;
}

void TrayIcon::Show(bool paused, const std::string& tip) {
    paused_ = paused;
    tip_ = tip;
    if (added_) Notify(NIM_MODIFY, NIF_ICON | NIF_TIP);
}

void TrayIcon::Balloon(const std::string& title, const std::string& text) {
    if (added_) Notify(NIM_MODIFY, NIF_INFO, title.c_str(), text);
}

void TrayIcon::Remove() {
    if (added_) Notify(NIM_DELETE, 0);
    added_ = false;
}

const char* TrayCommandText(int command) {
    switch (command) {
        case kCommandPause: return "pause toggle";
        case kCommandReload: return "reload";
        case kCommandShowLog: return "log";
        case kCommandStatistics: return "statistics";
        case kCommandQuit: return "quit";
        case kCommandDwell: return "dwell toggle";
        case kCommandDwellLeft: return "dwell left";
        case kCommandDwellDouble: return "dwell double";
        case kCommandDwellRight: return "dwell right";
        case kCommandDwellMiddle: return "dwell middle";
        case kCommandDwellDrag: return "dwell drag";
        case kCommandScroll: return "scroll";
        case kCommandLocate: return "locate";
        default: return nullptr;
    }
}

int TrayIcon::Menu(bool haveFile, bool dwellOn, int dwellNext, bool scrolling) {
    HMENU menu = ::CreatePopupMenu();
    const UINT fileItem = MF_STRING | (haveFile ? 0 : MF_GRAYED);
    ::AppendMenuA(menu, MF_STRING, kCommandPause, paused_ ? "Resume" : "Pause");
    ::AppendMenuA(menu, MF_STRING | (dwellOn ? MF_CHECKED : 0), kCommandDwell, "Dwell clicking");
    static const char* const types[] = {"Dwell: left click", "Dwell: double-click", "Dwell: right click",
                                        "Dwell: middle click", "Dwell: drag"};
    for (int i = 0; i < 5; ++i) {
        const UINT flags =
            MF_STRING | (dwellOn ? 0 : MF_GRAYED) | (dwellOn && i == dwellNext ? MF_CHECKED : 0);
        ::AppendMenuA(menu, flags, static_cast<UINT_PTR>(kCommandDwellLeft + i), types[i]);
    }
    ::AppendMenuA(menu, MF_STRING | (scrolling ? MF_CHECKED : 0), kCommandScroll, "Scroll by pointing");
    ::AppendMenuA(menu, MF_STRING, kCommandLocate, "Find the pointer");
    ::AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuA(menu, fileItem, kCommandOpenSettings, "Open settings file");
    ::AppendMenuA(menu, fileItem, kCommandReload, "Reload settings");
    ::AppendMenuA(menu, MF_STRING, kCommandShowLog, "Show log");
    ::AppendMenuA(menu, MF_STRING, kCommandStatistics, "Statistics");
    ::AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuA(menu, MF_STRING, kCommandQuit, "Quit");
    ::SetMenuDefaultItem(menu, kCommandPause, FALSE);
    // The menu closes when the person clicks elsewhere only if its window
    // is in the foreground while it is open.
    POINT at;
    ::GetCursorPos(&at);
    ::SetForegroundWindow(window_);
    const int command = static_cast<int>(
        ::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON | TPM_BOTTOMALIGN, at.x, at.y,
                         0, window_, nullptr));
    ::PostMessageA(window_, WM_NULL, 0, 0);
    ::DestroyMenu(menu);
    return command;
}

}  // namespace control
