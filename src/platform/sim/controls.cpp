#include "platform/sim/controls.h"

#include <cstdio>

namespace sim {

namespace {

bool Contains(const RECT& r, POINT p) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

int ItemAt(const std::vector<RECT>& items, POINT p) {
    for (size_t i = 0; i < items.size(); ++i) {
        if (Contains(items[i], p)) return static_cast<int>(i);
    }
    return -1;
}

// Replaces the send line just written for this hit test: the lParam is an
// address, which says nothing and differs from run to run.
void TraceHitTest(Desktop& d, const std::string& name, const char* message, POINT p, UINT flags) {
    char line[160];
    std::snprintf(line, sizeof line, "send %s %s (%d, %d) flags=0x%X", name.c_str(), message,
                  static_cast<int>(p.x), static_cast<int>(p.y), flags);
    if (!d.trace.empty()) d.trace.back() = line;
}

// A hit test sent from another process carries an address the view cannot
// read; the trace says so and the view answers nothing.
bool SentFromElsewhere(Desktop& d, HWND view, const std::string& name, const char* message) {
    if (d.CurrentProcess() == d.W(view).process) return false;
    if (!d.trace.empty()) d.trace.back() = "send " + name + " " + message + " from another process";
    return true;
}

HWND AddView(Desktop& d, const std::string& name, const char* className, HWND parent, RECT rect,
             int process) {
    WindowSpec spec;
    spec.name = name;
    spec.className = className;
    spec.classStyle = CS_DBLCLKS;
    spec.style = (parent != nullptr ? WS_CHILD : WS_OVERLAPPEDWINDOW) | WS_VISIBLE;
    spec.parent = parent;
    spec.rect = rect;
    spec.client = rect;
    spec.process = process;
    return d.CreateWindow(spec);
}

// What every control answers that is not its own message.
LRESULT DefaultSend(Desktop& d, HWND window, UINT message, LPARAM lParam) {
    if (message != WM_NCHITTEST) return 0;
    const POINT p{static_cast<int16_t>(LOWORD(lParam)), static_cast<int16_t>(HIWORD(lParam))};
    return d.HitTest(window, p);
}

}  // namespace

HTREEITEM TreeItem(int index) { return reinterpret_cast<HTREEITEM>(uintptr_t{0x7000} + 0x10 * index); }

HWND AddListView(Desktop& d, const std::string& name, HWND parent, RECT rect, std::vector<RECT> items,
                 int process) {
    HWND view = AddView(d, name, "SysListView32", parent, rect, process);
    d.W(view).onSend = [&d, view, name, items](UINT message, WPARAM, LPARAM lParam) -> LRESULT {
        if (message != LVM_HITTEST) return DefaultSend(d, view, message, lParam);
        if (SentFromElsewhere(d, view, name, "LVM_HITTEST")) return -1;
        auto* info = reinterpret_cast<LVHITTESTINFO*>(lParam);
        TraceHitTest(d, name, "LVM_HITTEST", info->pt, info->flags);
        const int item = ItemAt(items, info->pt);
        info->iItem = item;
        info->iSubItem = 0;
        info->flags = item >= 0 ? LVHT_ONITEMLABEL : 0x0001;  // LVHT_NOWHERE
        return item;
    };
    return view;
}

HWND AddTreeView(Desktop& d, const std::string& name, HWND parent, RECT rect, std::vector<RECT> items,
                 int process) {
    HWND view = AddView(d, name, "SysTreeView32", parent, rect, process);
    d.W(view).onSend = [&d, view, name, items](UINT message, WPARAM, LPARAM lParam) -> LRESULT {
        if (message != TVM_HITTEST) return DefaultSend(d, view, message, lParam);
        if (SentFromElsewhere(d, view, name, "TVM_HITTEST")) return 0;
        auto* info = reinterpret_cast<TVHITTESTINFO*>(lParam);
        TraceHitTest(d, name, "TVM_HITTEST", info->pt, info->flags);
        const int item = ItemAt(items, info->pt);
        // The row right of an item's label is still that item's row.
        info->flags = item >= 0 ? TVHT_ONITEMRIGHT : 0x0001;  // TVHT_NOWHERE
        info->hItem = item >= 0 ? TreeItem(item) : nullptr;
        return reinterpret_cast<LRESULT>(info->hItem);
    };
    return view;
}

namespace {

ShellView AddShell(Desktop& d, const std::string& prefix, const char* topClass, RECT rect,
                   std::vector<RECT> items, int process) {
    WindowSpec top;
    top.name = prefix;
    top.className = topClass;
    top.rect = rect;
    top.process = process;
    if (prefix == "progman") {
        top.style = WS_POPUP | WS_VISIBLE;
        top.client = rect;
    }
    ShellView v{};
    v.top = d.CreateWindow(top);
    const RECT inner = d.W(v.top).client;
    WindowSpec shell;
    shell.name = prefix == "progman" ? "desktop-view" : prefix + "-view";
    shell.className = "SHELLDLL_DefView";
    shell.style = WS_CHILD | WS_VISIBLE;
    shell.parent = v.top;
    shell.rect = inner;
    shell.client = inner;
    shell.process = process;
    v.defView = d.CreateWindow(shell);
    const std::string list = prefix == "progman" ? "desktop-list" : prefix + "-list";
    v.list = AddListView(d, list, v.defView, inner, std::move(items), process);
    return v;
}

}  // namespace

ShellView AddShellDesktop(Desktop& d, std::vector<RECT> items, int process) {
    ShellView v =
        AddShell(d, "progman", "Progman", {0, 0, d.screenWidth, d.screenHeight}, std::move(items), process);
    d.SendToBottom(v.top);
    return v;
}

ShellView AddFolderWindow(Desktop& d, RECT rect, std::vector<RECT> items, int process) {
    return AddShell(d, "folder", "CabinetWClass", rect, std::move(items), process);
}

}  // namespace sim
