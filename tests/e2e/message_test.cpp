// The get-message hook with the real DLL: real wheel turns (mouse_event) over
// a real window, and the messages a mouse vendor's software posts to windows,
// with what the controlling window and the target windows receive.
#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "hook_controller.h"

namespace {

const UINT kExtraButtonDown = 0x1400;
const UINT kVendorButton = 0x8C5;
const UINT kVendorWheel = 0x8D8;

// What the target windows receive of the messages this program watches.
struct Received {
    HWND window;
    UINT message;
    bool operator==(const Received& o) const { return window == o.window && message == o.message; }
};
void PrintTo(const Received& r, std::ostream* out) {
    *out << "{" << r.window << " 0x" << std::hex << r.message << std::dec << "}";
}
std::vector<Received> g_received;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_NULL:
        case WM_MOUSEWHEEL:
        case kExtraButtonDown:
        case kVendorButton:
        case kVendorWheel: g_received.push_back({window, message}); return 0;
        default: break;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

bool Got(HWND window, UINT message) {
    for (const Received& r : g_received) {
        if (r.window == window && r.message == message) return true;
    }
    return false;
}

class Messages : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(controller.Start());
        // A window of the vendor's software, known by its class name.
        vendor = e2e::MakeWindow("WexUTIL em_exec window", RecordingProc, 600, 420, 200, 120);
        ASSERT_NE(vendor, nullptr);
        target = e2e::MakeWindow("WexWheelTarget", RecordingProc, 150, 120, 400, 260);
        ASSERT_NE(target, nullptr);
    }
    static void TearDownTestSuite() {
        controller.Stop();
        for (HWND w : {target, vendor}) {
            if (::IsWindow(w)) ::DestroyWindow(w);
        }
    }

    void SetUp() override {
        e2e::ReleaseModifiers();
        ::SetForegroundWindow(target);
        ::SetFocus(target);
        ASSERT_TRUE(e2e::WaitFor([] { return ::GetForegroundWindow() == target && ::GetFocus() == target; }));
        controller.Clear();
        g_received.clear();
    }
    void TearDown() override { e2e::ReleaseModifiers(); }

    static void Apply(std::initializer_list<Binding> rows, int vendorWheel) {
        HookSettings s = e2e::HookController::With(rows);
        s.vendorWheel = vendorWheel;
        controller.Apply(s);
    }

    static e2e::HookController controller;
    static HWND vendor;
    static HWND target;
};
e2e::HookController Messages::controller;
HWND Messages::vendor = nullptr;
HWND Messages::target = nullptr;

TEST_F(Messages, UnboundRealWheelTurnsBecomeOneNotificationEachUnlessShiftIsHeldOrTheyAreOwn) {
    Apply({}, 1);
    RECT r;
    ::GetWindowRect(target, &r);
    ASSERT_TRUE(e2e::PlaceCursor((r.left + r.right) / 2, (r.top + r.bottom) / 2));
    controller.Clear();
    g_received.clear();

    ::mouse_event(MOUSEEVENTF_WHEEL, 0, 0, WHEEL_DELTA, 0);
    EXPECT_TRUE(e2e::WaitFor([] { return controller.Notified(NOTIFY_WHEEL_FORWARD); }));
    ::mouse_event(MOUSEEVENTF_WHEEL, 0, 0, static_cast<DWORD>(-WHEEL_DELTA), 0);
    EXPECT_TRUE(e2e::WaitFor([] { return controller.Notified(NOTIFY_WHEEL_BACKWARD); }));
    e2e::WaitFor([] { return false; }, 300);
    // One notification per turn, though both hooks see it.
    EXPECT_EQ(controller.Count(NOTIFY_WHEEL_FORWARD), 1);
    EXPECT_EQ(controller.Count(NOTIFY_WHEEL_BACKWARD), 1);
    EXPECT_FALSE(Got(target, WM_MOUSEWHEEL)) << "an unbound turn reached the window";

    // A turn injected as the controlling program's own (its scrolling)
    // reaches the window and is not reported.
    controller.Clear();
    ::mouse_event(MOUSEEVENTF_WHEEL, 0, 0, WHEEL_DELTA, WEXUTIL_OWN_INPUT);
    EXPECT_TRUE(e2e::WaitFor([] { return Got(target, WM_MOUSEWHEEL); })) << "the own turn was taken";
    EXPECT_EQ(controller.Count(NOTIFY_WHEEL_FORWARD), 0);
    g_received.clear();

    // With Shift held the turn is the window's.
    ::keybd_event(VK_SHIFT, 0, 0, 0);
    ASSERT_TRUE(e2e::WaitFor([] { return ::GetAsyncKeyState(VK_SHIFT) < 0; }));
    controller.Clear();
    ::mouse_event(MOUSEEVENTF_WHEEL, 0, 0, WHEEL_DELTA, 0);
    EXPECT_TRUE(e2e::WaitFor([] { return Got(target, WM_MOUSEWHEEL); })) << "the window never got the turn";
    EXPECT_EQ(controller.Count(NOTIFY_WHEEL_FORWARD), 0);
}

TEST_F(Messages, ExtraButtonMessagesRunTheirBindingsAndTheWindowGetsWmNull) {
    Apply({{ACTION_NOTIFY_8, 0, TRIGGER_EXTRA_BUTTON_BIT4, 0, 0},
           {ACTION_NOTIFY_10, 55, TRIGGER_EXTRA_BUTTON_BIT4, 0, 0},
           {ACTION_NOTIFY_5, 0, TRIGGER_VENDOR_BUTTON, 0, 0}},
          0);

    ::PostMessageA(target, kExtraButtonDown, 0, 4);
    EXPECT_TRUE(e2e::WaitFor([] { return Got(target, WM_NULL); }));
    EXPECT_EQ(controller.notifications,
              (std::vector<e2e::Posted>{{NOTIFY_SIGNAL, 0}, {NOTIFY_PARAMETER, 55}}));

    // The vendor button: its press is eaten, its release runs and arrives.
    controller.Clear();
    g_received.clear();
    ::PostMessageA(target, kVendorButton, 0, 8);
    ::PostMessageA(target, kVendorButton, 0, 0);
    EXPECT_TRUE(e2e::WaitFor([] { return Got(target, kVendorButton); }));
    EXPECT_EQ(g_received, (std::vector<Received>{{target, WM_NULL}, {target, kVendorButton}}));
    EXPECT_EQ(controller.notifications, (std::vector<e2e::Posted>{{NOTIFY_PHASE_A, 0}, {NOTIFY_PHASE_A, 1}}));
}

// A program that looks at each message (PM_NOREMOVE, as an idle loop does)
// before it takes it: the binding runs once, so a pause bound to an extra
// button toggles once and engages.
TEST_F(Messages, AMessageLookedAtBeforeItIsTakenRunsItsBindingOnce) {
    Apply({{ACTION_PAUSE, 0, TRIGGER_EXTRA_BUTTON, 0, 0}}, 0);
    ::PostMessageA(target, kExtraButtonDown, 0, 0);
    const DWORD start = ::GetTickCount();
    while (!Got(target, WM_NULL) && ::GetTickCount() - start < 10000) {
        MSG msg;
        if (::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE) && ::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::DispatchMessageA(&msg);
        } else {
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        }
    }
    ASSERT_TRUE(Got(target, WM_NULL));
    e2e::WaitFor([] { return false; }, 300);
    EXPECT_EQ(controller.notifications, (std::vector<e2e::Posted>{{NOTIFY_PAUSE, 0}}));
}

TEST_F(Messages, VendorWheelMessageIsTakenOnlyForTheVendorsWindows) {
    Apply({}, 1);
    ::PostMessageA(target, kVendorWheel, 0, static_cast<WORD>(-WHEEL_DELTA));
    ::PostMessageA(vendor, kVendorWheel, 0, static_cast<WORD>(-WHEEL_DELTA));
    EXPECT_TRUE(e2e::WaitFor([] { return g_received.size() >= 2; }));
    EXPECT_EQ(g_received, (std::vector<Received>{{target, kVendorWheel}, {vendor, WM_NULL}}));
    EXPECT_TRUE(e2e::WaitFor([] { return controller.Notified(NOTIFY_WHEEL_FORWARD); }));
    EXPECT_EQ(controller.notifications, (std::vector<e2e::Posted>{{NOTIFY_WHEEL_FORWARD, 0}}));
}

}  // namespace
