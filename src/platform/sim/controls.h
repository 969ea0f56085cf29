// Common controls and shell windows on the simulated desktop: list views and
// tree views that answer their hit-test messages from item rectangles, and
// the window chains of the desktop's and a folder window's item views.
#pragma once

#include "platform/sim/desktop.h"

#include <string>
#include <vector>

namespace sim {

// Items of a view: rectangles in the view's client coordinates.  List-view
// item i answers LVM_HITTEST with index i; tree-view item i answers
// TVM_HITTEST with TreeItem(i).
HTREEITEM TreeItem(int index);

// A list view ("SysListView32") or tree view ("SysTreeView32") filling
// `rect` (screen coordinates) inside `parent`, or top-level when parent is
// null.  Both classes ask for double-clicks.  Each hit test the view answers
// is written into the trace in place of its send line, with the point and
// flags it was given:  "send <name> LVM_HITTEST (x, y) flags=0xE"; one sent
// from another process than the view's, whose address the view cannot read,
// as "send <name> LVM_HITTEST from another process", and it answers no item.
HWND AddListView(Desktop& d, const std::string& name, HWND parent, RECT rect, std::vector<RECT> items,
                 int process = 0);
HWND AddTreeView(Desktop& d, const std::string& name, HWND parent, RECT rect, std::vector<RECT> items,
                 int process = 0);

// A shell item view: the top-level window, its "SHELLDLL_DefView" and the
// list view inside that.
struct ShellView {
    HWND top;
    HWND defView;
    HWND list;
};
// The desktop: "Progman" covering the screen at the bottom of the Z order,
// named "progman", "desktop-view" and "desktop-list".
ShellView AddShellDesktop(Desktop& d, std::vector<RECT> items, int process = 0);
// A folder window ("CabinetWClass") at `rect`, named "folder",
// "folder-view" and "folder-list"; its client area is all item view.
ShellView AddFolderWindow(Desktop& d, RECT rect, std::vector<RECT> items, int process = 0);

}  // namespace sim
