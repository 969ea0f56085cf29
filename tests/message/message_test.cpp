// The get-message hook on the simulated desktop: messages taken from a
// thread's queue, what the hook posts and runs for them, and the message the
// program gets in the end.
#include "support/sim_test.h"

#include <initializer_list>
#include <string>

namespace {

constexpr UINT kVendorWheel = 0x8D8;
constexpr UINT kVendorButton = 0x8C5;
constexpr UINT kRegistered = 1;                         // stands for the registered wheel message in tables
constexpr uint32_t kForward = 120, kBackward = 0xFF88;  // +120 and -120 in 16 bits

class MessageTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        viewerProcess = d().AddProcess("viewer");
        viewer = MakeWindow("viewer", {100, 100, 400, 300}, "SimWindow", viewerProcess);
        ASSERT_EQ(1, InstallHook(app, 0));
        d().LoadLibraryInto(viewerProcess);
        d().TakeTrace();
    }

    // The hook procedure, called in the viewer's process as Windows calls it.
    LRESULT Hook(int code, LPARAM msg) {
        return d().InProcess(viewerProcess, [&] { return GetMsgProc(code, PM_REMOVE, msg); });
    }

    void Apply(std::initializer_list<Row> rows, int vendorWheel = 0, int pauseLock = 0) {
        HookSettings s = SettingsWith(rows);
        s.vendorWheel = vendorWheel;
        s.pauseLock = pauseLock;
        UpdateSettings(&s);
    }

    // Queues a message for a window and lets its thread take it: the message
    // the program gets.
    MSG Take(UINT message, uint32_t wParam, uint32_t lParam, HWND window = nullptr) {
        if (message == kRegistered) message = Shared().wheelMessage;
        d().QueueMessage(window != nullptr ? window : viewer, message, wParam, lParam);
        MSG m{};
        EXPECT_TRUE(d().Retrieve(&m, PM_REMOVE));
        EXPECT_TRUE(d().queue.empty());
        return m;
    }

    void Hold(std::initializer_list<int> keys) {
        d().keyState = {};
        for (int vk : keys) d().SetKeyDown(vk, true);
    }

    int viewerProcess = 0;
    HWND viewer = nullptr;
};

struct WheelCase {
    const char* name;
    std::initializer_list<Row> rows;
    int vendorWheel;
    std::initializer_list<int> held;
    UINT message;
    uint32_t wParam, lParam;
    const char* className;
    sim::Lines trace;
    bool consumed;
};

TEST_F(MessageTest, WheelForms) {
    const std::string fwd = Notify(NOTIFY_WHEEL_FORWARD, 0), back = Notify(NOTIFY_WHEEL_BACKWARD, 0);
    const std::string vendor = "em_exec wheel";
    const std::string longName = std::string(70, 'x') + "em_exec";        // ends at the 77th character
    const std::string tooLong = std::string(71, 'x') + "em_exec" + "yy";  // cut by the buffer
    const Row scroll{ACTION_SCROLL, TRIGGER_WHEEL}, phase{ACTION_NOTIFY_5, TRIGGER_WHEEL};
    const WheelCase cases[] = {
        // Unbound turns with vendorWheel on: notification by direction.
        // (WM_MOUSEWHEEL is reported by the mouse hook, which sees it first:
        // here it is only taken from the window; see OneTurnOneNotification.)
        {"mouse wheel forward", {}, 1, {}, WM_MOUSEWHEEL, kForward << 16, 0, "", {}, true},
        {"mouse wheel backward", {}, 1, {}, WM_MOUSEWHEEL, kBackward << 16, 0, "", {}, true},
        {"mouse wheel, zero delta", {}, 1, {}, WM_MOUSEWHEEL, 0x0000FFFF, 0, "", {}, true},
        {"mouse wheel with Shift held", {}, 1, {VK_SHIFT}, WM_MOUSEWHEEL, kForward << 16, 0, "", {}, false},
        {"registered forward", {}, 1, {}, kRegistered, kForward, 0, "", {fwd}, true},
        {"registered backward", {}, 1, {}, kRegistered, 0x7FFF0000 | kBackward, 0, "", {back}, true},
        {"vendor message, negative is forward",
         {},
         1,
         {},
         kVendorWheel,
         0,
         kBackward,
         "em_exec",
         {fwd},
         true},
        {"vendor message backward", {}, 1, {}, kVendorWheel, 0, kForward, "Logitech Wheel", {back}, true},
        {"vendor message, zero", {}, 1, {}, kVendorWheel, 0, 0, "emexec", {}, true},
        {"vendor message, another class", {}, 1, {}, kVendorWheel, 0, kForward, "SimWindow", {}, false},
        {"vendor message, case matters", {}, 1, {}, kVendorWheel, 0, kForward, "LOGITECH", {}, false},
        {"vendor class at the buffer's end",
         {},
         1,
         {},
         kVendorWheel,
         0,
         kForward,
         longName.c_str(),
         {back},
         true},
        {"vendor class cut by the buffer", {}, 1, {}, kVendorWheel, 0, kForward, tooLong.c_str(), {}, false},
        {"vendorWheel off", {}, 0, {}, WM_MOUSEWHEEL, kForward << 16, 0, "", {}, false},
        {"vendorWheel off, vendor message", {}, 0, {}, kVendorWheel, 0, kForward, "em_exec", {}, false},
        {"a row for other modifiers leaves the turn unbound",
         {{ACTION_SCROLL, TRIGGER_WHEEL, MODIFIER_CTRL}},
         1,
         {},
         kRegistered,
         kForward,
         0,
         "",
         {fwd},
         true},
        // Bound turns: action 24 posts by direction, whatever vendorWheel.
        {"bound scroll forward", {scroll}, 0, {}, WM_MOUSEWHEEL, kForward << 16, 0, "", {fwd}, true},
        {"bound scroll, zero delta", {scroll}, 0, {}, WM_MOUSEWHEEL, 0, 0, "", {}, true},
        {"bound scroll, registered backward", {scroll}, 0, {}, kRegistered, kBackward, 0, "", {back}, true},
        {"bound scroll with Shift, Shift held",
         {{ACTION_SCROLL, TRIGGER_WHEEL, MODIFIER_SHIFT}},
         0,
         {VK_SHIFT},
         WM_MOUSEWHEEL,
         kBackward << 16,
         0,
         "",
         {back},
         true},
        {"bound scroll, vendor message of any class",
         {scroll},
         0,
         {},
         kVendorWheel,
         kForward,
         kForward,
         "SimWindow",
         {},
         true},
        // Any other action runs with release 0 forward, 1 otherwise.
        {"bound action forward",
         {phase},
         0,
         {},
         WM_MOUSEWHEEL,
         kForward << 16,
         0,
         "",
         {Notify(NOTIFY_PHASE_A, 0)},
         true},
        {"bound action backward",
         {phase},
         0,
         {},
         kRegistered,
         kBackward,
         0,
         "",
         {Notify(NOTIFY_PHASE_A, 1)},
         true},
        {"bound action, zero", {phase}, 0, {}, WM_MOUSEWHEEL, 0, 0, "", {Notify(NOTIFY_PHASE_A, 1)}, true},
        {"bound action, vendor message reads wParam",
         {phase},
         0,
         {},
         kVendorWheel,
         kForward,
         kBackward,
         "",
         {Notify(NOTIFY_PHASE_A, 0)},
         true},
    };
    for (const WheelCase& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        Apply(c.rows, c.vendorWheel);
        Hold(c.held);
        if (c.className[0] != '\0') d().W(viewer).className = c.className;
        const MSG m = Take(c.message, c.wParam, c.lParam);
        EXPECT_EQ(c.trace, d().TakeTrace());
        const UINT expected = c.message == kRegistered ? Shared().wheelMessage : c.message;
        EXPECT_EQ(c.consumed ? WM_NULL : expected, m.message);
        EXPECT_EQ(c.wParam, static_cast<uint32_t>(m.wParam));
    }
}

// A real turn meets the mouse hook first and then, unless it took it, the
// get-message hook when the program takes the message, as Windows calls
// them: one turn gives one notification whichever hooks act on it, and a
// turn injected as the controlling program's own (its scrolling) runs no
// row, raises nothing and reaches the window whatever vendorWheel says.
TEST_F(MessageTest, OneTurnOneNotificationAndOwnTurnsPassUntouched) {
    const std::string fwd = Notify(NOTIFY_WHEEL_FORWARD, 0);
    const Row scroll{ACTION_SCROLL, TRIGGER_WHEEL}, phase{ACTION_NOTIFY_5, TRIGGER_WHEEL};
    struct Case {
        const char* name;
        std::initializer_list<Row> rows;
        int vendorWheel;
        ULONG_PTR extra;
        sim::Lines trace;
        UINT reaches;  // what the program gets; WM_NULL when nothing or a blanked message
    };
    const Case cases[] = {
        {"unbound, vendorWheel on", {}, 1, 0, {fwd}, WM_NULL},
        {"unbound, vendorWheel off", {}, 0, 0, {fwd}, WM_MOUSEWHEEL},
        {"bound to scrolling", {scroll}, 1, 0, {fwd}, WM_NULL},
        {"own turn, vendorWheel on", {}, 1, WEXUTIL_OWN_INPUT, {}, WM_MOUSEWHEEL},
        {"own turn, bound to scrolling", {scroll}, 1, WEXUTIL_OWN_INPUT, {}, WM_MOUSEWHEEL},
        {"own turn, bound to an action", {phase}, 0, WEXUTIL_OWN_INPUT, {}, WM_MOUSEWHEEL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        Apply(c.rows, c.vendorWheel);
        MOUSEHOOKSTRUCTEX record{};
        record.pt = {200, 200};
        record.hwnd = viewer;
        record.wHitTestCode = HTCLIENT;
        record.mouseData = kForward << 16;
        record.dwExtraInfo = c.extra;
        const LRESULT taken = d().InProcess(viewerProcess, [&] {
            return MouseProc(HC_ACTION, WM_MOUSEWHEEL, reinterpret_cast<LPARAM>(&record));
        });
        UINT reaches = WM_NULL;
        if (taken == 0) {
            d().QueueMessage(viewer, WM_MOUSEWHEEL, kForward << 16, 0, true, c.extra);
            MSG m{};
            ASSERT_TRUE(d().Retrieve(&m, PM_REMOVE));
            reaches = m.message;
        }
        EXPECT_EQ(c.trace, d().TakeTrace());
        EXPECT_EQ(c.reaches, reaches);
    }
}

TEST_F(MessageTest, BoundTurnReturnsAtOnceAndEverythingElseGoesOn) {
    d().chainResult = 77;
    Apply({{ACTION_SCROLL, TRIGGER_WHEEL}}, 1);
    MSG wheel{viewer, WM_MOUSEWHEEL, kForward << 16, 0, 0, {0, 0}};
    EXPECT_EQ(0, Hook(HC_ACTION, reinterpret_cast<LPARAM>(&wheel)));
    EXPECT_EQ(static_cast<UINT>(WM_NULL), wheel.message);
    Apply({}, 1);
    wheel.message = WM_MOUSEWHEEL;
    EXPECT_EQ(77, Hook(HC_ACTION, reinterpret_cast<LPARAM>(&wheel)));
    EXPECT_EQ(static_cast<UINT>(WM_NULL), wheel.message);
    // No MSG at all, or another hook code: passed on untouched.
    EXPECT_EQ(77, Hook(HC_ACTION, 0));
    EXPECT_EQ(77, Hook(HC_NOREMOVE, 0));
}

TEST_F(MessageTest, VendorWheelToAWindowThatIsGoneOrNoWindowPassesUnchanged) {
    Apply({}, 1);
    d().W(viewer).className = "em_exec";
    d().DestroyWindow(viewer);
    for (HWND window : {viewer, static_cast<HWND>(nullptr)}) {
        d().QueueMessage(window, kVendorWheel, 0, kForward);
        MSG m{};
        ASSERT_TRUE(d().Retrieve(&m, PM_REMOVE));
        EXPECT_EQ(kVendorWheel, m.message);
    }
    EXPECT_TRUE(d().TakeTrace().empty());
}

TEST_F(MessageTest, ExtraButtonPairRunsEveryMatchingRow) {
    struct Case {
        const char* name;
        int pauseLock;
        int pauseTrigger;
        std::initializer_list<int> held;
        UINT message;
        uint32_t lParam;
        sim::Lines trace;
        bool consumed;
    };
    const std::string paused = Notify(NOTIFY_PAUSED_INPUT, 0);
    const Case cases[] = {
        {"press with bit 2: both 245 rows",
         0,
         0,
         {},
         0x1400,
         4,
         {Notify(NOTIFY_PHASE_A, 0), Notify(NOTIFY_PHASE_B, 0)},
         true},
        {"release with bit 2",
         0,
         0,
         {},
         0x1401,
         0x7FFFFFFC,
         {Notify(NOTIFY_PHASE_A, 1), Notify(NOTIFY_PHASE_B, 1)},
         true},
        {"press without bit 2: the 246 row", 0, 0, {}, 0x1400, 3, {Notify(NOTIFY_SIGNAL, 0)}, true},
        {"release without bit 2", 0, 0, {}, 0x1401, 0, {}, true},
        {"other modifiers match no row", 0, 0, {VK_SHIFT}, 0x1400, 4, {}, false},
        {"pause lock: reported per row, and the rows still run",
         1,
         'P',
         {},
         0x1400,
         4,
         {paused, Notify(NOTIFY_PHASE_A, 0), paused, Notify(NOTIFY_PHASE_B, 0)},
         true},
        {"pause lock held by this very trigger",
         1,
         TRIGGER_EXTRA_BUTTON_BIT4,
         {},
         0x1401,
         4,
         {Notify(NOTIFY_PHASE_A, 1), Notify(NOTIFY_PHASE_B, 1)},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        Apply({{ACTION_NOTIFY_5, TRIGGER_EXTRA_BUTTON_BIT4},
               {ACTION_NOTIFY_8, TRIGGER_EXTRA_BUTTON},
               {ACTION_NOTIFY_6, TRIGGER_EXTRA_BUTTON_BIT4}},
              0, c.pauseLock);
        Shared().pauseTrigger = c.pauseTrigger;
        Shared().pauseModifiers = 0;
        Hold(c.held);
        const MSG m = Take(c.message, 0, c.lParam);
        EXPECT_EQ(c.trace, d().TakeTrace());
        EXPECT_EQ(c.consumed ? WM_NULL : c.message, m.message);
    }
}

TEST_F(MessageTest, VendorButtonPressRunsEveryRowAndItsReleaseTheFirst) {
    Apply({{ACTION_NOTIFY_5, TRIGGER_VENDOR_BUTTON}, {ACTION_NOTIFY_6, TRIGGER_VENDOR_BUTTON}});
    const int other = d().AddProcess("other");
    HWND elsewhere = MakeWindow("elsewhere", {0, 0, 50, 50}, "SimWindow", other);

    EXPECT_EQ(static_cast<UINT>(WM_NULL), Take(kVendorButton, 0, 8).message);
    EXPECT_EQ(1, d().StateOf(viewerProcess).extraButtonDown);
    // A release in a process that saw no press runs nothing.
    EXPECT_EQ(kVendorButton, Take(kVendorButton, 0, 0, elsewhere).message);
    // The release is not eaten; only the first row runs, once.
    EXPECT_EQ(kVendorButton, Take(kVendorButton, 0, 0).message);
    EXPECT_EQ(kVendorButton, Take(kVendorButton, 0, 0).message);
    // Other lParam values are neither press nor release.
    EXPECT_EQ(kVendorButton, Take(kVendorButton, 0, 9).message);
    EXPECT_EQ((sim::Lines{Notify(NOTIFY_PHASE_A, 0), Notify(NOTIFY_PHASE_B, 0), Notify(NOTIFY_PHASE_A, 1)}),
              d().TakeTrace());
    EXPECT_EQ(0, d().StateOf(viewerProcess).extraButtonDown);
}

TEST_F(MessageTest, VendorButtonUnderThePauseLock) {
    // The press is reported as paused input and still runs; a pause row
    // records 253 after it ran, so that the next press is its own.
    Apply({{ACTION_PAUSE, TRIGGER_VENDOR_BUTTON}}, 0, 1);
    Shared().pauseTrigger = 'P';
    EXPECT_EQ(static_cast<UINT>(WM_NULL), Take(kVendorButton, 0, 8).message);
    EXPECT_EQ(TRIGGER_VENDOR_BUTTON, Shared().pauseTrigger);
    Take(kVendorButton, 0, 0);
    EXPECT_EQ(static_cast<UINT>(WM_NULL), Take(kVendorButton, 0, 8).message);
    EXPECT_EQ((sim::Lines{Notify(NOTIFY_PAUSED_INPUT, 0), Notify(NOTIFY_PAUSE, 0), Notify(NOTIFY_PAUSE, 1),
                          Notify(NOTIFY_PAUSE, 0)}),
              d().TakeTrace());
}

// A program that looks at a message (PM_NOREMOVE, as an idle loop does)
// before it takes it hands the hook the same message twice: only the taking
// runs its binding, so a pause bound to an extra button toggles once.
TEST_F(MessageTest, ALookWithoutRemovalRunsNothingAndTheRemovalRunsTheBindingOnce) {
    Apply({{ACTION_PAUSE, TRIGGER_EXTRA_BUTTON}, {ACTION_NOTIFY_8, TRIGGER_WHEEL}});
    for (const MSG& m : {MSG{viewer, 0x1400, 0, 0, 0, {}}, MSG{viewer, WM_MOUSEWHEEL, 120u << 16, 0, 0, {}}}) {
        SCOPED_TRACE(sim::Hex(m.message));
        d().QueueMessage(viewer, m.message, m.wParam, m.lParam);
        MSG look{};
        ASSERT_TRUE(d().Retrieve(&look, PM_NOREMOVE));
        EXPECT_EQ(m.message, look.message);
        EXPECT_EQ(sim::Lines{}, d().TakeTrace());
        d().RunMessageLoop();
        const int code = m.message == 0x1400 ? NOTIFY_PAUSE : NOTIFY_SIGNAL;
        EXPECT_EQ((sim::Lines{Notify(code, 0)}), d().TakeTrace());
        // The window gets the message as WM_NULL.
        EXPECT_EQ((std::vector<sim::Message>{{"viewer", WM_NULL, static_cast<uint32_t>(m.wParam), 0}}), d().W(viewer).posted);
        d().W(viewer).posted.clear();
    }
}

TEST_F(MessageTest, PlatformCallsPerMessage) {
    // Thirty rows, none of them for these messages.
    HookSettings s{};
    s.bindingCount = 30;
    for (Binding& b : s.bindings) b = {ACTION_NOTIFY_8, 0, 'Q', 0, 0};
    s.vendorWheel = 0;
    UpdateSettings(&s);
    struct Case {
        UINT message;
        long calls;
    };
    // An unrelated message costs the call to the next hook and nothing else,
    // and so does an unbound turn with vendorWheel off.
    for (const Case& c : {Case{0x000F, 1}, Case{WM_MOUSEMOVE, 1}, Case{WM_KEYDOWN, 1}, Case{WM_MOUSEWHEEL, 1},
                          Case{0x1400, 1}, Case{kVendorButton, 1}}) {
        SCOPED_TRACE(sim::Hex(c.message));
        MSG m{viewer, c.message, 0, 8, 0, {0, 0}};
        const long before = d().osCallCount;
        Hook(HC_ACTION, reinterpret_cast<LPARAM>(&m));
        EXPECT_EQ(c.calls, d().osCallCount - before);
    }
}

}  // namespace
