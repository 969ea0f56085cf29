// Actions on real windows and controls, driven the way a controlling program
// drives them: a binding row whose trigger is a key code, run through the
// exported PressAndHoldCallBack, which performs the row's action at once.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "e2e_support.h"

#include <commctrl.h>  // after <windows.h>, which e2e_support.h brings

namespace {

// A key code no keyboard sends, so no real key event can match the row.
const int kTrigger = 0x88;

// Reports from the list-view program to the controller.
const UINT kListReady = WM_APP + 1;      // wParam the list view, lParam its item 1's centre (screen)
const UINT kItemActivated = WM_APP + 2;  // wParam the item the list view's parent was told of

HWND g_report = nullptr;

// The list view's parent, in the second program: passes on what the list view
// tells it of item activations.
LRESULT CALLBACK ListParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NOTIFY) {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->code == LVN_ITEMACTIVATE) {
            const int item = reinterpret_cast<const NMITEMACTIVATE*>(lParam)->iItem;
            ::PostMessageA(g_report, kItemActivated, static_cast<WPARAM>(item), 0);
        }
        return 0;
    }
    if (message == WM_DESTROY) ::PostQuitMessage(0);
    return ::DefWindowProcA(window, message, wParam, lParam);
}

// The second program: a window with a report-style list view of three items.
int RunListProgram(HWND report) {
    g_report = report;
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES};
    if (!::InitCommonControlsEx(&icc)) return 2;
    HWND parent = e2e::MakeWindow("WexListParent", ListParentProc, 100, 100, 420, 300);
    if (!parent) return 3;
    const char* names[] = {"alpha", "beta", "gamma"};
    HWND list = e2e::MakeListView(parent, 7, {10, 10, 390, 230}, names, 3);
    if (!list) return 4;
    RECT itemRect = {};
    itemRect.left = LVIR_LABEL;
    if (!::SendMessageA(list, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&itemRect))) return 6;
    ::PostMessageA(report, kListReady, reinterpret_cast<WPARAM>(list), e2e::ScreenCentre(list, itemRect));
    e2e::RunMessageLoop();
    return 0;
}

using Notification = std::pair<WPARAM, LPARAM>;
std::vector<Notification> g_notifications;

HWND g_list = nullptr;
POINT g_listItem = {0, 0};
std::vector<int> g_activated;

LRESULT CALLBACK ControllerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_HOOK_NOTIFY: g_notifications.push_back({wParam, lParam}); return 0;
        case kListReady:
            g_list = reinterpret_cast<HWND>(wParam);
            g_listItem.x = static_cast<short>(LOWORD(lParam));
            g_listItem.y = static_cast<short>(HIWORD(lParam));
            return 0;
        case kItemActivated: g_activated.push_back(static_cast<int>(wParam)); return 0;
        default: break;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

// Every WM_SYSCOMMAND a caption-button window received, before the default
// handling carries it out.
std::vector<WPARAM> g_sysCommands;

LRESULT CALLBACK CaptionProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SYSCOMMAND) g_sysCommands.push_back(wParam & 0xFFF0);
    return ::DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK PlainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcA(window, message, wParam, lParam);
}

class Actions : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        controller = e2e::MakeWindow("WexActionsController", ControllerProc, 700, 600, 200, 120);
        // The hooks tell the library where notifications go; with no row
        // bound to real input they pass every event on.
        ASSERT_TRUE(e2e::InstallFor(lib, controller));
    }
    static void TearDownTestSuite() {
        lib.RemoveHook();
        e2e::Discard(controller);
    }
    void SetUp() override {
        e2e::ReleaseModifiers();
        e2e::Pump();
        g_notifications.clear();
    }

    // Binds `action` to the key-code trigger and runs it; the result is the
    // action's own.
    static int Run(int action, int parameter = 0, int bypass = 0) {
        HookSettings s = {};
        s.bindingCount = 1;
        s.bindings[0].trigger = kTrigger;
        s.bindings[0].modifiers = 0;
        s.bindings[0].action = action;
        s.bindings[0].parameter = parameter;
        s.action29Bypass = bypass;
        lib.UpdateSettings(&s);
        return lib.PressAndHoldCallBack(kTrigger);
    }

    // Puts the cursor on the part of the window that answers `answer` and
    // runs click at cursor there; false if no such part is in view.
    static bool ClickPart(HWND window, int answer) {
        POINT p;
        if (!e2e::FindHitPoint(window, answer, &p) || !e2e::PlaceCursor(p.x, p.y)) return false;
        return Run(ACTION_CLICK_AT_CURSOR) == 1;
    }

    static e2e::Library lib;
    static HWND controller;
};
e2e::Library Actions::lib;
HWND Actions::controller = nullptr;

TEST_F(Actions, ClickAtCursorOverAListViewItemOfAnotherProgramOpensIt) {
    g_list = nullptr;
    g_activated.clear();
    HANDLE program =
        e2e::StartSelf("--child=list --report=" + std::to_string(reinterpret_cast<uintptr_t>(controller)));
    ASSERT_NE(program, nullptr);
    ASSERT_TRUE(e2e::WaitFor([] { return g_list != nullptr; })) << "the list-view program never reported";
    HWND listTop = ::GetAncestor(g_list, GA_ROOT);
    ASSERT_NE(::GetClassLongA(g_list, GCL_STYLE) & CS_DBLCLKS, 0u) << "a list view asks for double-clicks";

    // The controller in front, the cursor on the second item of the other
    // program's list view: the hit test and the clicks cross processes.
    ::SetForegroundWindow(controller);
    ASSERT_TRUE(e2e::WaitFor([] { return ::GetForegroundWindow() == controller; }));
    ASSERT_TRUE(e2e::PlaceCursor(g_listItem.x, g_listItem.y));
    ASSERT_EQ(::WindowFromPoint(g_listItem), g_list);

    EXPECT_EQ(Run(ACTION_CLICK_AT_CURSOR), 1);
    EXPECT_TRUE(e2e::WaitFor([] { return !g_activated.empty(); }))
        << "the list view's parent was never told of an activation";
    EXPECT_EQ(g_activated, std::vector<int>{1});
    EXPECT_EQ(::SendMessageA(g_list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 1)
        << "the clicked item is the selected one";

    ::PostMessageA(listTop, WM_CLOSE, 0, 0);
    EXPECT_EQ(e2e::WaitExit(program), 0);
}

TEST_F(Actions, ClickAtCursorOverCaptionButtonsDoesWhatTheButtonDoes) {
    g_sysCommands.clear();
    HWND window = e2e::MakeWindow("WexCaptionTarget", CaptionProc, 150, 120, 400, 260);
    ASSERT_NE(window, nullptr);
    e2e::Pump();

    // Maximise, then the same button restores the zoomed window.
    ASSERT_TRUE(ClickPart(window, HTMAXBUTTON));
    EXPECT_TRUE(e2e::WaitFor([&] { return ::IsZoomed(window) != FALSE; }))
        << "maximise button did not maximise";
    ASSERT_TRUE(ClickPart(window, HTMAXBUTTON));
    EXPECT_TRUE(e2e::WaitFor([&] { return ::IsZoomed(window) == FALSE; }))
        << "maximise button did not restore";

    // A double-click on the caption maximises as well.
    ASSERT_TRUE(ClickPart(window, HTCAPTION));
    EXPECT_TRUE(e2e::WaitFor([&] { return ::IsZoomed(window) != FALSE; }))
        << "caption double-click did nothing";
    ::ShowWindow(window, SW_RESTORE);

    ASSERT_TRUE(ClickPart(window, HTMINBUTTON));
    EXPECT_TRUE(e2e::WaitFor([&] { return ::IsIconic(window) != FALSE; }))
        << "minimise button did not minimise";
    ::ShowWindow(window, SW_RESTORE);
    e2e::Pump();

    ASSERT_TRUE(ClickPart(window, HTCLOSE));
    EXPECT_TRUE(e2e::WaitFor([&] { return !::IsWindow(window); })) << "close button did not close";

    // The test's own restores go through ShowWindow, not WM_SYSCOMMAND.
    EXPECT_EQ(g_sysCommands,
              (std::vector<WPARAM>{SC_MAXIMIZE, SC_RESTORE, SC_MAXIMIZE, SC_MINIMIZE, SC_CLOSE}));
    e2e::Discard(window);
}

TEST_F(Actions, WindowCommandsActOnTheForegroundWindow) {
    HWND window = e2e::MakeWindow("WexForegroundTarget", PlainProc, 200, 150, 360, 240);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(e2e::WaitFor([&] { return ::GetForegroundWindow() == window; }));

    EXPECT_EQ(Run(ACTION_MAXIMIZE), 1);
    EXPECT_TRUE(e2e::WaitFor([&] { return ::IsZoomed(window) != FALSE; }));
    ::ShowWindow(window, SW_RESTORE);
    ::SetForegroundWindow(window);

    const int minimisers[] = {ACTION_MINIMIZE, ACTION_MINIMIZE_2};
    for (int action : minimisers) {
        ASSERT_TRUE(e2e::WaitFor([&] { return ::GetForegroundWindow() == window; }));
        EXPECT_EQ(Run(action), 1);
        EXPECT_TRUE(e2e::WaitFor([&] { return ::IsIconic(window) != FALSE; })) << "action " << action;
        ::ShowWindow(window, SW_RESTORE);
        ::SetForegroundWindow(window);
    }

    ASSERT_TRUE(e2e::WaitFor([&] { return ::GetForegroundWindow() == window; }));
    EXPECT_EQ(Run(ACTION_CLOSE_WINDOW), 1);
    EXPECT_TRUE(e2e::WaitFor([&] { return !::IsWindow(window); })) << "the foreground window was not closed";
    e2e::Discard(window);
}

TEST_F(Actions, CentreCursorOnTheRealScreen) {
    ASSERT_TRUE(e2e::PlaceCursor(3, 5));
    EXPECT_EQ(Run(ACTION_CENTER_CURSOR), 1);
    POINT p;
    ::GetCursorPos(&p);
    EXPECT_EQ(p.x, ::GetSystemMetrics(SM_CXSCREEN) / 2);
    EXPECT_EQ(p.y, ::GetSystemMetrics(SM_CYSCREEN) / 2);
}

TEST_F(Actions, CopyChordCopiesTheSelectionOfARealEditBox) {
    HWND window = e2e::MakeWindow("WexEditParent", PlainProc, 120, 100, 400, 160);
    ASSERT_NE(window, nullptr);
    HWND edit = e2e::MakeEditBox(window, "copy these words");
    ASSERT_NE(edit, nullptr);
    ASSERT_TRUE(e2e::EmptyTheClipboard(window));
    ASSERT_TRUE(e2e::WaitFor([&] { return ::GetForegroundWindow() == window; }));
    ::SetFocus(edit);
    ::SendMessageA(edit, EM_SETSEL, 5, 10);  // "these"
    e2e::Pump();

    EXPECT_EQ(Run(ACTION_COPY), 1);
    EXPECT_TRUE(e2e::WaitFor([&] { return e2e::ClipboardText(window) == "these"; }))
        << "clipboard holds \"" << e2e::ClipboardText(window) << "\"";
    // A hold fires once, so the chord must not leave Ctrl or C down.
    EXPECT_TRUE(e2e::WaitFor([] {
        return ::GetAsyncKeyState(VK_CONTROL) >= 0 && ::GetAsyncKeyState('C') >= 0;
    })) << "Ctrl or C still down after the copy";
    e2e::Discard(window);
}

TEST_F(Actions, NotifyingActionsReachTheControllingWindow) {
    struct Case {
        int action, parameter;
    };
    const Case cases[] = {
        {ACTION_NOTIFY_13_0, 0}, {ACTION_NOTIFY_13_1, 0},     {ACTION_NOTIFY_13_2, 0},
        {ACTION_NOTIFY_5, 0},    {ACTION_NOTIFY_8, 0},        {ACTION_NOTIFY_6, 0},
        {ACTION_PAUSE, 0},       {ACTION_NOTIFY_10, -123456}, {ACTION_NOTIFY_14_15, 0},
        {ACTION_SCROLL, 0},      {ACTION_NOTIFY_0, 0},        {ACTION_NOTIFY_25, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(Run(c.action, c.parameter), 1) << "action " << c.action;
    const std::vector<Notification> expected = {
        {NOTIFY_SELECT, 0},         {NOTIFY_SELECT, 1},          {NOTIFY_SELECT, 2},
        {NOTIFY_PHASE_A, 0},        {NOTIFY_SIGNAL, 0},          {NOTIFY_PHASE_B, 0},
        {NOTIFY_PAUSE, 0},          {NOTIFY_PARAMETER, -123456}, {NOTIFY_SCROLL_PRESSED, 0},
        {NOTIFY_SCROLL_PRESSED, 0}, {NOTIFY_COMMAND, -1},        {NOTIFY_REQUEST, -1},
    };
    EXPECT_TRUE(e2e::WaitFor([&] { return g_notifications.size() >= expected.size(); }));
    e2e::Pump();
    EXPECT_EQ(g_notifications, expected);

    // With the bypass set, action 29 lets the event through and posts nothing.
    g_notifications.clear();
    EXPECT_EQ(Run(ACTION_NOTIFY_25, 0, 1), 0);
    EXPECT_EQ(Run(ACTION_NOTIFY_8),
              1);  // a marker that arrives after anything 29 could have posted
    EXPECT_TRUE(e2e::WaitFor([] { return !g_notifications.empty(); }));
    e2e::Pump();
    EXPECT_EQ(g_notifications, (std::vector<Notification>{{NOTIFY_SIGNAL, 0}}));
}

TEST_F(Actions, HoldOfARealButtonReleasesItAndRunsTheRow) {
    HookSettings s = {};
    s.bindingCount = 2;
    s.bindings[0] = {ACTION_NOTIFY_8, 0, TRIGGER_HOLD_LEFT, MODIFIER_SHIFT, 0};
    s.bindings[1] = {ACTION_CENTER_CURSOR, 0, TRIGGER_HOLD_LEFT, 0, 0};
    lib.UpdateSettings(&s);

    // Released before the delay ran out: nothing happens.
    ASSERT_TRUE(e2e::PlaceCursor(10, 10));
    EXPECT_EQ(lib.PressAndHoldCallBack(VK_LBUTTON), 0);
    POINT p;
    ::GetCursorPos(&p);
    EXPECT_EQ(p.x, 10);

    // Held over the controller's own window, with no modifier: the second
    // row runs, and the button is let up first.
    POINT inside = {20, 20};
    ::ClientToScreen(controller, &inside);
    ASSERT_TRUE(e2e::PlaceCursor(inside.x, inside.y));
    ::mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    ASSERT_TRUE(e2e::WaitFor([] { return ::GetAsyncKeyState(VK_LBUTTON) < 0; }));
    EXPECT_EQ(lib.PressAndHoldCallBack(VK_LBUTTON), 1);
    EXPECT_TRUE(e2e::WaitFor([] { return ::GetAsyncKeyState(VK_LBUTTON) >= 0; }))
        << "the held button stayed down";
    EXPECT_TRUE(e2e::WaitFor([] {
        return e2e::CursorAt(::GetSystemMetrics(SM_CXSCREEN) / 2, ::GetSystemMetrics(SM_CYSCREEN) / 2);
    })) << "the cursor was not centred";
    e2e::Pump();
    // The mouse hook reports the button itself; the Shift row never ran.
    for (const Notification& n : g_notifications) EXPECT_NE(n.first, static_cast<WPARAM>(NOTIFY_SIGNAL));
}

}  // namespace

int main(int argc, char** argv) {
    if (e2e::Argument(argc, argv, "child") == "list") {
        const std::string report = e2e::Argument(argc, argv, "report");
        return RunListProgram(reinterpret_cast<HWND>(std::strtoul(report.c_str(), nullptr, 10)));
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
