// Installing and removing the hooks, and the exports around them.
#include "core/notify.h"
#include "support/sim_test.h"

#include <cstring>

namespace {

class LifecycleTest : public SimTest {
protected:
    std::vector<std::string> HookLines() {
        std::vector<std::string> out;
        for (auto& line : d().TakeTrace()) {
            if (line.rfind("hook", 0) == 0) out.push_back(line);
        }
        return out;
    }
};

TEST_F(LifecycleTest, InstallsMouseKeyboardMessageInThatOrderWithTheModuleOfThisProcess) {
    EXPECT_EQ(1, InstallHook(app, 0));
    EXPECT_EQ((sim::Lines{"hook install 7", "hook install 2", "hook install 3"}), HookLines());
    EXPECT_EQ(app, NotifyWindow());
    EXPECT_NE(0u, Shared().wheelMessage);
    EXPECT_EQ(os::RegisterWindowMessageA("MSWHEEL_ROLLMSG"), Shared().wheelMessage);
    for (const sim::Hook& h : d().hooks) {
        EXPECT_EQ(Proc().moduleInstance, h.module);
        EXPECT_EQ(0u, h.thread);
    }
    EXPECT_NE(nullptr, Proc().moduleInstance);
}

TEST_F(LifecycleTest, FailurePartWayKeepsWhatIsInPlaceAndALaterCallAddsOnlyWhatIsMissing) {
    d().failHooks[WH_KEYBOARD] = 1;
    EXPECT_EQ(0, InstallHook(app, 0));
    EXPECT_EQ((sim::Lines{"hook install 7", "hook refused 2"}), HookLines());
    HHOOK mouse = Proc().mouseHook;
    EXPECT_NE(nullptr, mouse);
    EXPECT_EQ(nullptr, Proc().keyboardHook);
    EXPECT_EQ(nullptr, Proc().messageHook);

    EXPECT_EQ(1, InstallHook(app, 0));
    EXPECT_EQ((sim::Lines{"hook install 2", "hook install 3"}), HookLines());
    EXPECT_EQ(mouse, Proc().mouseHook);
    EXPECT_EQ(3u, d().hooks.size());

    // A refused first hook stops everything.
    RemoveHook();
    d().TakeTrace();
    d().failHooks[WH_MOUSE] = 1;
    EXPECT_EQ(0, InstallHook(app, 0));
    EXPECT_EQ((sim::Lines{"hook refused 7"}), HookLines());
}

TEST_F(LifecycleTest, SecondInstallRedirectsNotificationsAndInstallsNothing) {
    HWND other = MakeWindow("other", {0, 0, 10, 10});
    ASSERT_EQ(1, InstallHook(app, 0));
    d().TakeTrace();
    EXPECT_EQ(1, InstallHook(other, 0x7FFFFFFF));  // the second argument changes nothing
    EXPECT_TRUE(HookLines().empty());
    PostNotify(NOTIFY_SIGNAL, 0);
    EXPECT_EQ((sim::Lines{Notify(NOTIFY_SIGNAL, 0, "other")}), d().TakeTrace());
    EXPECT_TRUE(d().PostedTo(app).empty());
}

TEST_F(LifecycleTest, RemoveHookTwiceAndReinstallKeepsSettingsAndStatistics) {
    HookSettings s = SettingsWith({{32, 2, 2}, {0, 251}});
    s.captureMode = 1;
    UpdateSettings(&s);
    HookStatistics stats{};
    stats.rightClicks = 41;
    stats.distance = 2.25;
    SetStatistics(&stats);

    ASSERT_EQ(1, InstallHook(app, 0));
    d().TakeTrace();
    RemoveHook();
    EXPECT_EQ((sim::Lines{"hook remove 7", "hook remove 2", "hook remove 3"}), HookLines());
    EXPECT_EQ(nullptr, Proc().mouseHook);
    EXPECT_EQ(nullptr, Proc().keyboardHook);
    EXPECT_EQ(nullptr, Proc().messageHook);
    RemoveHook();
    EXPECT_TRUE(HookLines().empty());
    EXPECT_EQ(app, NotifyWindow());  // stays after removal

    ASSERT_EQ(1, InstallHook(app, 0));
    EXPECT_EQ(3u, HookLines().size());
    HookSettings back{};
    GetSettings(&back);
    EXPECT_EQ(0, std::memcmp(&s, &back, sizeof back));
    HookStatistics statsBack{};
    GetStatistics(&statsBack);
    EXPECT_EQ(0, std::memcmp(&stats, &statsBack, sizeof statsBack));
    EXPECT_EQ(2, Shared().runs[0].holdButtons);
}

TEST_F(LifecycleTest, LeftStillDownStopsOnlyItsOwnTimer) {
    HWND other = MakeWindow("other", {0, 0, 10, 10});
    d().SetTimer(app, 1);
    d().SetTimer(app, 2);
    d().SetTimer(other, 2);
    EXPECT_TRUE(LeftStillDown(app, WM_TIMER, 2, 12345));
    ASSERT_EQ(2u, d().timers.size());
    EXPECT_EQ(app, d().timers[0].window);
    EXPECT_EQ(1u, d().timers[0].id);
    EXPECT_EQ(other, d().timers[1].window);
    EXPECT_EQ(2u, d().timers[1].id);
    EXPECT_FALSE(LeftStillDown(app, WM_TIMER, 2, 0));  // already stopped
}

TEST_F(LifecycleTest, InputMapsTheLibraryIntoAProcessAndStillReachesItsWindow) {
    const int editor = d().AddProcess("editor");
    HWND target = MakeWindow("target", {100, 100, 300, 300}, "Edit", editor);
    d().focus = target;
    ASSERT_EQ(1, InstallHook(app, 0));
    EXPECT_FALSE(d().LibraryLoaded(editor));

    d().cursor = {150, 150};
    os::mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    os::mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    os::keybd_event('A', 0x1E, 0, 0);
    d().Pump();

    EXPECT_TRUE(d().LibraryLoaded(editor));
    // DllMain ran there and kept that process's own module handle.
    EXPECT_NE(nullptr, d().StateOf(editor).moduleInstance);
    EXPECT_NE(d().StateOf(0).moduleInstance, d().StateOf(editor).moduleInstance);
    const uint32_t client = static_cast<uint32_t>(MAKELPARAM(150 - 104, 150 - 124));
    EXPECT_EQ((std::vector<sim::Message>{{"target", WM_LBUTTONDOWN, 0, client},
                                         {"target", WM_LBUTTONUP, 0, client},
                                         {"target", WM_KEYDOWN, 'A', 0x001E0001u}}),
              d().PostedTo(target));
}

TEST_F(LifecycleTest, HookProceduresPassEveryCallOnUnchanged) {
    ASSERT_EQ(1, InstallHook(app, 0));
    d().chainResult = 77;
    MOUSEHOOKSTRUCTEX info{};
    MSG msg{};
    msg.message = WM_MOUSEWHEEL;
    for (int code : {HC_ACTION, 3, -1}) {
        EXPECT_EQ(77, MouseProc(code, WM_LBUTTONDOWN, reinterpret_cast<LPARAM>(&info)));
        EXPECT_EQ(77, KeyboardProc(code, 'A', 0x001E0001));
        EXPECT_EQ(77, GetMsgProc(code, PM_REMOVE, reinterpret_cast<LPARAM>(&msg)));
    }
    EXPECT_EQ(static_cast<UINT>(WM_MOUSEWHEEL), msg.message);
}

}  // namespace

namespace {

// What one script of input gave: the totals, the notifications in order,
// the keystrokes the library injected and the messages the program's
// window received.
struct Outcome {
    HookStatistics totals;
    std::vector<std::string> notifications;
    std::vector<std::string> injected;
    std::vector<sim::Message> received;
};

// On 64-bit Windows the 64-bit WexControl installs the 64-bit hooks and its
// 32-bit companion the 32-bit ones, companion first.  Windows runs a hook
// for a program of the other bitness in its installer's process: each set
// meets every event, once in the program and once out of it.  The input,
// in a program of either bitness: a left click, the key A, and Ctrl, which
// a row binds to the paste chord (the row runs once per Ctrl pressed, and
// its own Ctrl runs no row).
Outcome RunScript(bool bothSets, int programBits) {
    sim::Reset();
    sim::Desktop& d = sim::desktop();
    d.P(0).bits = bothSets ? 64 : programBits;
    sim::WindowSpec spec;
    spec.name = "app";
    spec.visible = false;
    spec.rect = {0, 0, 200, 100};
    const HWND app = d.CreateWindow(spec);
    const int program = d.AddProcess("program");
    d.P(program).bits = programBits;
    spec = sim::WindowSpec{};
    spec.name = "program";
    spec.process = program;
    spec.rect = {100, 100, 500, 400};
    const HWND window = d.CreateWindow(spec);
    d.foreground = d.focus = window;
    HookSettings s = SettingsWith({{ACTION_PASTE, VK_CONTROL, MODIFIER_CTRL}});
    UpdateSettings(&s);
    if (bothSets) {
        const int companion = d.AddProcess("companion");
        d.P(companion).bits = 32;
        EXPECT_EQ(1, d.InProcess(companion, [app] { return InstallHook(app, 0); }));
    }
    EXPECT_EQ(1, InstallHook(app, 0));
    d.TakeTrace();

    d.cursor = {200, 200};
    os::mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    os::mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    d.Pump();
    for (int vk : {int{'A'}, VK_CONTROL}) {
        d.KeyboardInput(vk, false);
        d.Pump();
        d.KeyboardInput(vk, true);
        d.Pump();
    }
    Outcome out{};
    GetStatistics(&out.totals);
    for (const std::string& line : d.TakeTrace()) {
        if (line.rfind("post app", 0) == 0) out.notifications.push_back(line);
        if (line.rfind("key ", 0) == 0) out.injected.push_back(line);
    }
    out.received = d.PostedTo(window);
    return out;
}

TEST(TwoBitnessesTest, WithBothHookSetsEveryEventIsHandledOnce) {
    const std::vector<std::string> notifications = {Notify(NOTIFY_BUTTON, 2), Notify(NOTIFY_BUTTON, 5)};
    const std::vector<std::string> paste = {KeyDown(VK_CONTROL), KeyDown('V'), KeyUp(VK_CONTROL), KeyUp('V')};
    for (int bits : {64, 32}) {
        SCOPED_TRACE(std::to_string(bits) + "-bit program");
        const Outcome one = RunScript(false, bits);
        const Outcome both = RunScript(true, bits);
        // One set alone: the click and both keys counted once, the paste
        // chord typed once.
        EXPECT_EQ(1u, one.totals.leftClicks);
        EXPECT_EQ(4u, one.totals.keystrokes);  // A, Ctrl, and the chord's Ctrl and V
        EXPECT_EQ(notifications, one.notifications);
        EXPECT_EQ(paste, one.injected);
        // Both sets: exactly the same.
        EXPECT_EQ(one.totals.leftClicks, both.totals.leftClicks);
        EXPECT_EQ(one.totals.keystrokes, both.totals.keystrokes);
        EXPECT_EQ(one.notifications, both.notifications);
        EXPECT_EQ(one.injected, both.injected);
        EXPECT_EQ(one.received, both.received);
    }
}

}  // namespace

namespace {

// A desktop with a program to click in, and two would-be controlling
// programs of one bitness: the first one, and the one that starts now.
sim::Desktop& FreshDesktop() {
    sim::Reset();
    return sim::desktop();
}

struct Controllers {
    sim::Desktop& d = FreshDesktop();
    int first = 0;
    int next = 0;
    HWND window = nullptr;
    Controllers() {
        first = d.AddProcess("first controller");
        next = d.AddProcess("next controller");
        const int program = d.AddProcess("program");
        sim::WindowSpec spec;
        spec.name = "program";
        spec.process = program;
        spec.rect = {100, 100, 500, 400};
        window = d.CreateWindow(spec);
        d.foreground = d.focus = window;
    }
    int Install(int process) {
        return d.InProcess(process, [] { return InstallHook(nullptr, 0); });
    }
    int HooksOf(int process) const {
        int n = 0;
        for (const sim::Hook& h : d.hooks) n += h.process == process ? 1 : 0;
        return n;
    }
    unsigned Clicks() {
        d.cursor = {200, 200};
        os::mouse_event(MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
        d.Pump();
        HookStatistics totals{};
        GetStatistics(&totals);
        return totals.leftClicks;
    }
};

// Whatever held this bitness's hooks before, a controlling program that
// starts either has them in (and says 1) or says 0: never 1 with nothing
// hooked, never a second set beside the first.
TEST(HookOwnerTest, AStartAfterAnyEarlierControllerHooksOrSaysItDidNot) {
    struct Case {
        const char* name;
        int session;  // the next controller's logon session
        std::function<void(Controllers&)> then;
        int result;      // InstallHook in the next controller
        int nextHooks;   // hooks the next controller has then
        int firstHooks;  // hooks the first one still has
    };
    const auto nothing = [](Controllers&) {};
    const Case cases[] = {
        {"the first one removed its hooks", 1,
         [](Controllers& c) { c.d.InProcess(c.first, [] { RemoveHook(); return 0; }); }, 1, 3, 0},
        {"the first one was killed", 1, [](Controllers& c) { c.d.KillProcess(c.first); }, 1, 3, 0},
        {"the first one is in another logon session", 2, nothing, 1, 3, 3},
        {"the first one still runs", 1, nothing, 0, 0, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Controllers desk;
        desk.d.P(desk.next).session = c.session;
        ASSERT_EQ(1, desk.Install(desk.first));
        c.then(desk);
        EXPECT_EQ(c.result, desk.Install(desk.next));
        EXPECT_EQ(c.nextHooks, desk.HooksOf(desk.next));
        EXPECT_EQ(c.firstHooks, desk.HooksOf(desk.first));
        // A click in the program is counted once, by whichever set is in.
        EXPECT_EQ(1u, desk.Clicks());
        // The next one's RemoveHook takes away only what it installed.
        desk.d.InProcess(desk.next, [] {
            RemoveHook();
            return 0;
        });
        EXPECT_EQ(c.firstHooks, desk.HooksOf(desk.first));
        // Once the first one is gone, the next start gets the hooks.
        if (c.result == 0) {
            desk.d.KillProcess(desk.first);
            EXPECT_EQ(1, desk.Install(desk.next));
        }
    }
}

}  // namespace

namespace {

// The shared state's name for the desktop's user at a level.
std::string StateName(DWORD level) {
    Identity who{};
    EXPECT_TRUE(ReadIdentity(&who));
    char name[256];
    EXPECT_TRUE(FormatObjectName(name, sizeof name, WEXUTIL_SHARED_PREFIX, who, level));
    return name;
}

// Makes the state's name in a process of its own, as anything may.
void MakeFirst(sim::Desktop& d, const std::string& user, DWORD integrity, const std::string& name) {
    const int squatter = d.AddProcess("squatter");
    d.P(squatter).user = user;
    d.P(squatter).integrity = integrity;
    d.EnterProcess(squatter);  // without the library
    EXPECT_NE(nullptr, os::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, name.c_str()));
    d.EnterProcess(0);
}

// A program maps the state of its user and level only when that state is
// exactly what the library makes: the user's own, open to the user alone,
// labelled with the level, of this layout.  Anything else someone made
// first is refused, and the program passes its input on untouched; so no
// other user, and no process of a lower level, can steer the hooks.
TEST(SharedStateTest, AStateSomeoneElseMadeIsRefused) {
    const std::string other = "S-1-5-21-1000-2000-3000-1002";
    struct Case {
        const char* name;
        DWORD level;  // the program's
        std::function<void(sim::Desktop&)> first;
        bool mapped;
    };
    const Case cases[] = {
        {"nobody made it before", kLevelMedium, [](sim::Desktop&) {}, true},
        {"another user made it", kLevelMedium,
         [other](sim::Desktop& d) { MakeFirst(d, other, kLevelMedium, StateName(kLevelMedium)); }, false},
        {"another user made it open to everyone", kLevelMedium,
         [other](sim::Desktop& d) {
             MakeFirst(d, other, kLevelMedium, StateName(kLevelMedium));
             for (auto& m : d.mappings) m.second.allowed.insert(sim::kUser);
         },
         false},
        {"a low-level program of the user made it", kLevelMedium,
         [](sim::Desktop& d) { MakeFirst(d, sim::kUser, kLevelLow, StateName(kLevelMedium)); }, false},
        {"an ordinary program made the elevated state", kLevelHigh,
         [](sim::Desktop& d) { MakeFirst(d, sim::kUser, kLevelMedium, StateName(kLevelHigh)); }, false},
        {"a library of another layout made it", kLevelMedium,
         [](sim::Desktop& d) {
             const int older = d.AddProcess("older");
             d.LoadLibraryInto(older);
             d.StateOf(older).shared->header.size += 8;
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Reset();
        sim::Desktop& d = sim::desktop();
        d.KillProcess(0);  // the state its load made goes with it
        c.first(d);
        const int program = d.AddProcess("program");
        d.P(program).integrity = c.level;
        d.LoadLibraryInto(program);
        EXPECT_EQ(c.mapped, d.StateOf(program).shared != nullptr);
    }
}

// An elevated controlling program reaches elevated and ordinary programs
// alike: it keeps both levels' states and pushes its settings to both.  An
// ordinary program can write neither the elevated state nor its label.
TEST(SharedStateTest, AnElevatedControllerReachesBothLevelsAndOnlyItWritesTheHighOne) {
    sim::Reset();
    sim::Desktop& d = sim::desktop();
    d.KillProcess(0);
    const int controller = d.AddProcess("elevated controller");
    d.P(controller).integrity = kLevelHigh;
    d.P(controller).elevated = true;
    sim::WindowSpec spec;
    spec.name = "app";
    spec.visible = false;
    spec.process = controller;
    const HWND app = d.CreateWindow(spec);
    HookSettings s = SettingsWith({{ACTION_NOTIFY_8, 'A'}});
    d.InProcess(controller, [&] {
        UpdateSettings(&s);
        return InstallHook(app, 0);
    });
    for (DWORD level : {kLevelMedium, kLevelHigh}) {
        SCOPED_TRACE(level);
        const int program = d.AddProcess("program");
        d.P(program).integrity = level;
        spec = sim::WindowSpec{};
        spec.process = program;
        spec.name = "program";
        d.foreground = d.focus = d.CreateWindow(spec);
        d.TakeTrace();
        d.KeyboardInput('A', false);
        d.KeyboardInput('A', true);
        d.Pump();
        EXPECT_EQ(sim::Lines{Notify(NOTIFY_SIGNAL, 0)}, d.TakeTrace());
    }
    const int ordinary = d.AddProcess("ordinary");
    d.EnterProcess(ordinary);
    EXPECT_EQ(nullptr, os::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096,
                                              StateName(kLevelHigh).c_str()));
}

}  // namespace
