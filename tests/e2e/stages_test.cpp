// The mouse hook's stages on real windows and real common controls, with real
// injected input: one click opens list-view and tree-view items of another
// program, shaking the cursor and bursts of clicks are reported, and the
// right button acts as the left one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "e2e_support.h"

#include <commctrl.h>  // after <windows.h>, which e2e_support.h brings

namespace {

// Reports from the views program to the controller.
const UINT kListReady = WM_APP + 1;      // wParam the list view, lParam item 1's centre (screen)
const UINT kTreeReady = WM_APP + 2;      // wParam the tree view, lParam its root's label centre (screen)
const UINT kItemActivated = WM_APP + 3;  // wParam the list item its parent was told of
const UINT kTreeExpanded = WM_APP + 4;   // wParam 1 expanded, 0 collapsed

HWND g_report = nullptr;

// The views' parent, in the second program: passes on what its list view and
// tree view tell it.
LRESULT CALLBACK ViewsParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NOTIFY) {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->code == LVN_ITEMACTIVATE) {
            const int item = reinterpret_cast<const NMITEMACTIVATE*>(lParam)->iItem;
            ::PostMessageA(g_report, kItemActivated, static_cast<WPARAM>(item), 0);
        } else if (header->code == TVN_ITEMEXPANDEDA || header->code == TVN_ITEMEXPANDEDW) {
            const NMTREEVIEWA* tree = reinterpret_cast<const NMTREEVIEWA*>(lParam);
            ::PostMessageA(g_report, kTreeExpanded, tree->action == TVE_EXPAND ? 1 : 0, 0);
        }
        return 0;
    }
    if (message == WM_DESTROY) ::PostQuitMessage(0);
    return ::DefWindowProcA(window, message, wParam, lParam);
}

// The second program: a report-style list view of three items and, beside
// it, a tree view whose root has two children.
int RunViewsProgram(HWND report) {
    g_report = report;
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES};
    if (!::InitCommonControlsEx(&icc)) return 2;
    HWND parent = e2e::MakeWindow("WexViewsParent", ViewsParentProc, 60, 80, 760, 320);
    if (!parent) return 3;
    const HINSTANCE instance = ::GetModuleHandleA(nullptr);
    const char* names[] = {"alpha", "beta", "gamma"};
    HWND list = e2e::MakeListView(parent, 7, {10, 10, 370, 250}, names, 3);
    HWND tree = ::CreateWindowExA(0, WC_TREEVIEWA, "",
                                  WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT,
                                  380, 10, 360, 240, parent, reinterpret_cast<HMENU>(8), instance, nullptr);
    if (!list || !tree) return 4;

    RECT itemRect = {};
    itemRect.left = LVIR_LABEL;
    if (!::SendMessageA(list, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&itemRect))) return 6;

    TVINSERTSTRUCTA insert = {};
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<char*>("root folder");
    HTREEITEM root = reinterpret_cast<HTREEITEM>(
        ::SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
    if (!root) return 7;
    const char* children[] = {"first", "second"};
    for (const char* child : children) {
        insert.hParent = root;
        insert.item.pszText = const_cast<char*>(child);
        if (!::SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert))) return 8;
    }
    RECT rootRect = {};
    std::memcpy(&rootRect, &root, sizeof root);  // the item goes in where the rectangle comes back
    if (!::SendMessageA(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rootRect))) return 9;

    ::PostMessageA(report, kListReady, reinterpret_cast<WPARAM>(list), e2e::ScreenCentre(list, itemRect));
    ::PostMessageA(report, kTreeReady, reinterpret_cast<WPARAM>(tree), e2e::ScreenCentre(tree, rootRect));
    e2e::RunMessageLoop();
    return 0;
}

using Notification = std::pair<WPARAM, LPARAM>;
std::vector<Notification> g_notifications;
HWND g_list = nullptr;
HWND g_tree = nullptr;
POINT g_listItem = {0, 0};
POINT g_treeItem = {0, 0};
std::vector<int> g_activated;
std::vector<int> g_expanded;

POINT Unpack(LPARAM lParam) {
    return {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

LRESULT CALLBACK ControllerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_HOOK_NOTIFY: g_notifications.push_back({wParam, lParam}); return 0;
        case kListReady:
            g_list = reinterpret_cast<HWND>(wParam);
            g_listItem = Unpack(lParam);
            return 0;
        case kTreeReady:
            g_tree = reinterpret_cast<HWND>(wParam);
            g_treeItem = Unpack(lParam);
            return 0;
        case kItemActivated: g_activated.push_back(static_cast<int>(wParam)); return 0;
        case kTreeExpanded: g_expanded.push_back(static_cast<int>(wParam)); return 0;
        default: break;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

// Mouse messages a subclassed edit box received, by id.
std::vector<UINT> g_editMessages;
WNDPROC g_editProc = nullptr;

LRESULT CALLBACK RecordingEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if ((message >= WM_LBUTTONDOWN && message <= WM_MBUTTONDBLCLK) || message == WM_CONTEXTMENU) {
        g_editMessages.push_back(message);
    }
    // A context menu would wait for a choice forever on a virtual display.
    if (message == WM_CONTEXTMENU) return 0;
    return ::CallWindowProcA(g_editProc, window, message, wParam, lParam);
}

LRESULT CALLBACK PlainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcA(window, message, wParam, lParam);
}

// Absolute mouse_event coordinates that land on pixel (x, y).
DWORD Normal(int pixel, int extent) { return static_cast<DWORD>((pixel * 65536 + extent - 1) / extent); }

// One injected button event that also carries the cursor to (x, y), so that
// the event happens there whatever pointer echo is still queued.
void ButtonAt(DWORD flags, int x, int y) {
    ::mouse_event(flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, Normal(x, ::GetSystemMetrics(SM_CXSCREEN)),
                  Normal(y, ::GetSystemMetrics(SM_CYSCREEN)), 0, 0);
}

bool Received(const Notification& n) {
    for (const Notification& seen : g_notifications) {
        if (seen == n) return true;
    }
    return false;
}

class Stages : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(lib.Resolve(::LoadLibraryA(e2e::DllPath().c_str())));
        controller = e2e::MakeWindow("WexStagesController", ControllerProc, 820, 620, 180, 120);
        ASSERT_NE(controller, nullptr);
        HookSettings none = {};
        lib.UpdateSettings(&none);
        ASSERT_EQ(lib.InstallHook(controller, 0), 1);
    }
    static void TearDownTestSuite() {
        lib.RemoveHook();
        ::DestroyWindow(controller);
        e2e::Pump();
    }
    void SetUp() override {
        e2e::Pump();
        g_notifications.clear();
    }

    // Settings with nothing bound and only what `set` switches on.
    template <typename Set>
    static void Apply(Set set) {
        HookSettings s = {};
        set(s);
        lib.UpdateSettings(&s);
    }

    static unsigned Opens() {
        HookStatistics statistics = {};
        lib.GetStatistics(&statistics);
        return statistics.singleClickOpens;
    }

    // A left press at `from` and its release at `to`, each injected once the
    // hook has reported the event before it.  The cursor is placed first and
    // stays put, so that keys held only through keybd_event stay down.  For
    // a release elsewhere the cursor is moved there with the button down and
    // left to settle (under Wine another program's GetCursorPos can answer
    // the old position for a while), and the release carries it there too.
    static void Click(POINT from, POINT to) {
        g_notifications.clear();
        ASSERT_TRUE(e2e::PlaceCursor(from.x, from.y));
        ::mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
        ASSERT_TRUE(e2e::WaitFor([] {
            return Received({NOTIFY_BUTTON, 2});
        })) << "the press never arrived, or became a double-click";
        if (from.x == to.x && from.y == to.y) {
            ::mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
        } else {
            ButtonAt(0, to.x, to.y);
            ASSERT_TRUE(e2e::WaitFor([&] { return e2e::CursorAt(to.x, to.y); }));
            ASSERT_TRUE(e2e::PlaceCursor(to.x, to.y));
            e2e::WaitFor([] { return false; }, 200);
            ASSERT_TRUE(e2e::PlaceCursor(to.x, to.y));
            ButtonAt(MOUSEEVENTF_LEFTUP, to.x, to.y);
        }
        ASSERT_TRUE(e2e::WaitFor([] { return ::GetAsyncKeyState(VK_LBUTTON) >= 0; }));
    }

    // Starts the views program and waits for its report; the test's end
    // closes it again.
    void StartViews() {
        g_list = g_tree = nullptr;
        g_activated.clear();
        g_expanded.clear();
        views = e2e::StartSelf("--child=views --report=" +
                               std::to_string(reinterpret_cast<uintptr_t>(controller)));
        ASSERT_NE(views, nullptr);
        ASSERT_TRUE(e2e::WaitFor([] { return g_list != nullptr && g_tree != nullptr; }))
            << "the views program never reported";
        opensBefore = Opens();
    }
    void TearDown() override {
        if (views == nullptr) return;
        if (g_list == nullptr) {
            ::TerminateProcess(views, 1);
            ::CloseHandle(views);
            return;
        }
        ::PostMessageA(::GetAncestor(g_list, GA_ROOT), WM_CLOSE, 0, 0);
        EXPECT_EQ(e2e::WaitExit(views), 0);
    }

    HANDLE views = nullptr;
    unsigned opensBefore = 0;
    static e2e::Library lib;
    static HWND controller;
};
e2e::Library Stages::lib;
HWND Stages::controller = nullptr;

TEST_F(Stages, OneClickOpensAListViewItemOfAnotherProgramOnlyWhenItIsAClick) {
    Apply([](HookSettings& s) { s.singleClickFolders = 1; });
    ASSERT_NO_FATAL_FAILURE(StartViews());
    ASSERT_EQ(::WindowFromPoint(g_listItem), g_list);
    // Each press at a point of its own along item 1's row, so that no two
    // pair up as a double-click.
    const POINT item = g_listItem;
    const POINT left = {item.x - 80, item.y};
    const POINT right = {item.x + 80, item.y};

    // Ctrl held: the click extends the selection instead.  Keys held only
    // through keybd_event are let go by the next cursor move, so the cursor
    // is placed first; and Ctrl stays down until the list program's hook has
    // seen the release (which it reports when it passes it on).
    ASSERT_TRUE(e2e::PlaceCursor(left.x, left.y));
    ::keybd_event(VK_CONTROL, 0, 0, 0);
    Click(left, left);
    EXPECT_TRUE(e2e::WaitFor([] { return Received({NOTIFY_BUTTON, 5}); })) << "the Ctrl+click was consumed";
    EXPECT_LT(::GetAsyncKeyState(VK_CONTROL), 0) << "Ctrl was let go during the click";
    ::keybd_event(VK_CONTROL, 0, KEYEVENTF_KEYUP, 0);
    // A press and release 6 pixels apart is a drag, not a click.
    Click(right, {right.x + 6, right.y});
    EXPECT_TRUE(e2e::WaitFor([] { return Received({NOTIFY_BUTTON, 5}); })) << "the drag was consumed";
    // Neither opened: the one plain click below is the only activation.
    Click(item, item);
    EXPECT_TRUE(e2e::WaitFor([] { return !g_activated.empty(); }))
        << "the list view's parent was never told of an activation";
    EXPECT_TRUE(e2e::WaitFor([&] { return Opens() == opensBefore + 1; }));
    e2e::Pump();
    EXPECT_EQ(g_activated, std::vector<int>{1});
    EXPECT_EQ(Opens(), opensBefore + 1);
}

// A left press a bound row consumed, released over an item: the release is
// the row's, and nothing opens (the list view never had the press).
TEST_F(Stages, TheReleaseOfAClickABoundRowTookOpensNothing) {
    Apply([](HookSettings& s) {
        s.singleClickFolders = 1;
        s.bindingCount = 1;
        s.bindings[0] = {ACTION_NOTIFY_5, 0, VK_LBUTTON, 0, 0};
    });
    ASSERT_NO_FATAL_FAILURE(StartViews());
    Click(g_listItem, g_listItem);
    EXPECT_TRUE(e2e::WaitFor([] { return Received({5, 1}); })) << "the row's release never ran";
    // An open would be reported by the view's process a little later: it
    // is waited for, and must not come.
    EXPECT_FALSE(e2e::WaitFor([&] { return !g_activated.empty() || Opens() != opensBefore; }, 2000))
        << "an item was opened";
}

TEST_F(Stages, OneClickOnATreeItemDoesWhatADoubleClickDoes) {
    Apply([](HookSettings& s) { s.singleClickTrees = 1; });
    ASSERT_NO_FATAL_FAILURE(StartViews());
    ASSERT_EQ(::WindowFromPoint(g_treeItem), g_tree);

    // A double-click on a folder's label expands it.
    Click(g_treeItem, g_treeItem);
    EXPECT_TRUE(e2e::WaitFor([] { return !g_expanded.empty(); })) << "the root was never expanded";
    EXPECT_EQ(g_expanded, std::vector<int>{1});
    EXPECT_EQ(Opens(), opensBefore + 1);
}

TEST_F(Stages, ShakingTheCursorIsReportedOnceAndSwitchesDetectionOff) {
    HWND window = e2e::MakeWindow("WexShakeTarget", PlainProc, 100, 100, 700, 400);
    ASSERT_NE(window, nullptr);
    Apply([](HookSettings& s) {
        s.wiggleDetect = 1;
        s.moveWiggleSensitivity = 10;  // more than a second of shaking
    });
    // Back and forth by 300 pixels, far more than a twentieth of the screen,
    // with pauses well under the 200 ms that would end the shake.
    const DWORD start = ::GetTickCount();
    int moves = 0;
    for (; !Received({NOTIFY_WIGGLE, 0}) && ::GetTickCount() - start < 15000; ++moves) {
        ::SetCursorPos(moves % 2 == 0 ? 200 : 500, 250);
        e2e::WaitFor([] { return false; }, 40);
    }
    ASSERT_TRUE(Received({NOTIFY_WIGGLE, 0})) << "no wiggle reported";
    EXPECT_GE(::GetTickCount() - start, 1000u) << "reported before a second of shaking";
    // Shaking on reports nothing more: detection is off now.
    for (int i = 0; i < 20; ++i, ++moves) {
        ::SetCursorPos(moves % 2 == 0 ? 200 : 500, 250);
        e2e::WaitFor([] { return false; }, 40);
    }
    int reports = 0;
    for (const Notification& n : g_notifications) reports += n == Notification{NOTIFY_WIGGLE, 0};
    EXPECT_EQ(reports, 1);
    HookSettings read = {};
    lib.GetSettings(&read);
    EXPECT_EQ(read.wiggleDetect, 0);
    ::DestroyWindow(window);
    e2e::Pump();
}

TEST_F(Stages, ABurstOfClicksIsReported) {
    HWND window = e2e::MakeWindow("WexBurstTarget", PlainProc, 100, 100, 500, 300);
    ASSERT_NE(window, nullptr);
    Apply([](HookSettings& s) {
        s.wiggleDetect = 1;
        s.clickWiggleSensitivity = 12;  // more than a second of clicking
    });
    POINT p = {200, 150};
    ::ClientToScreen(window, &p);
    ASSERT_TRUE(e2e::PlaceCursor(p.x, p.y));
    const DWORD start = ::GetTickCount();
    int clicks = 0;
    while (!Received({NOTIFY_WIGGLE, 0}) && ::GetTickCount() - start < 15000) {
        ::mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
        ::mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
        ++clicks;
        e2e::WaitFor([] { return false; }, 150);
    }
    ASSERT_TRUE(Received({NOTIFY_WIGGLE, 0})) << "no burst reported after " << clicks << " clicks";
    EXPECT_GE(clicks, 6) << "reported before a second of clicking";
    ::DestroyWindow(window);
    e2e::Pump();
}

TEST_F(Stages, WithTheFilterOnARightClickReachesAnEditBoxAsALeftClick) {
    HWND window = e2e::MakeWindow("WexFilterParent", PlainProc, 120, 100, 400, 160);
    ASSERT_NE(window, nullptr);
    HWND edit =
        ::CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "some words", WS_CHILD | WS_VISIBLE, 10, 10, 360, 28,
                          window, reinterpret_cast<HMENU>(3), ::GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(edit, nullptr);
    g_editProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingEditProc)));
    g_editMessages.clear();
    Apply([](HookSettings& s) { s.rightButtonFilter = 1; });

    POINT p = {100, 14};
    ::ClientToScreen(window, &p);
    ASSERT_TRUE(e2e::PlaceCursor(p.x, p.y));
    ASSERT_EQ(::WindowFromPoint(p), edit);
    ::mouse_event(MOUSEEVENTF_RIGHTDOWN, 0, 0, 0, 0);
    EXPECT_TRUE(e2e::WaitFor([] { return !g_editMessages.empty(); }));
    ::mouse_event(MOUSEEVENTF_RIGHTUP, 0, 0, 0, 0);
    EXPECT_TRUE(e2e::WaitFor([] { return g_editMessages.size() >= 2; }));
    // A middle click with the filter off marks the end: whatever else the
    // right click gave the edit box arrives before it.
    Apply([](HookSettings&) {});
    ::mouse_event(MOUSEEVENTF_MIDDLEDOWN, 0, 0, 0, 0);
    ::mouse_event(MOUSEEVENTF_MIDDLEUP, 0, 0, 0, 0);
    EXPECT_TRUE(e2e::WaitFor([] { return g_editMessages.size() >= 4; }));
    e2e::Pump();
    EXPECT_EQ(g_editMessages,
              (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_MBUTTONDOWN, WM_MBUTTONUP}));
    EXPECT_TRUE(e2e::WaitFor([] { return ::GetAsyncKeyState(VK_LBUTTON) >= 0; })) << "left button left down";
    ::DestroyWindow(window);
    e2e::Pump();
}

}  // namespace

int main(int argc, char** argv) {
    if (e2e::Argument(argc, argv, "child") == "views") {
        const std::string report = e2e::Argument(argc, argv, "report");
        return RunViewsProgram(reinterpret_cast<HWND>(std::strtoul(report.c_str(), nullptr, 10)));
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
