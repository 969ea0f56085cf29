// The keyboard hook on the simulated desktop: keystrokes typed into a window
// of another process, and everything that follows from them, compared as
// whole sequences.
#include "support/sim_test.h"

#include <sstream>

namespace {

std::string KeyName(uint32_t vk) {
    switch (vk) {
        case VK_SHIFT: return "Shift";
        case VK_CONTROL: return "Ctrl";
        case VK_MENU: return "Alt";
        default: break;
    }
    if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) return std::string(1, static_cast<char>(vk));
    return sim::Hex(vk);
}

int KeyCode(const std::string& name) {
    if (name == "Shift") return VK_SHIFT;
    if (name == "Ctrl") return VK_CONTROL;
    if (name == "Alt") return VK_MENU;
    if (name.compare(0, 2, "0x") == 0) return std::stoi(name, nullptr, 16);
    return name[0];
}

class KeyboardTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        editorProcess = d().AddProcess("editor");
        editor = MakeWindow("editor", {100, 100, 400, 300}, "Edit", editorProcess);
        d().focus = editor;
        d().cursor = {321, 123};
        ASSERT_EQ(1, InstallHook(app, 0));
        d().TakeTrace();
    }

    void Apply(HookSettings s) { UpdateSettings(&s); }

    // Types a script of keystrokes from the keyboard: "+X" presses X (or
    // repeats it when it is down), "-X" releases it; X is a letter, a digit,
    // a code (0xFF), Shift, Ctrl or Alt.  Each keystroke is taken by the editor's thread
    // before the next is typed, unless `queueOnly`, which leaves them all in
    // its queue.
    void Keys(const std::string& script, bool queueOnly = false) {
        std::istringstream in(script);
        std::string word;
        while (in >> word) {
            const int vk = KeyCode(word.substr(1));
            const bool up = word[0] == '-';
            if (queueOnly) {
                d().SetKeyDown(vk, !up);
                d().QueueKey(vk, 0, up, false);
            } else {
                d().KeyboardInput(vk, up);
                d().Pump();
            }
        }
    }

    // What the editor received since the last call, in the script's words.
    std::vector<std::string> Received() {
        std::vector<std::string> out;
        for (const sim::Message& m : d().W(editor).posted) {
            switch (m.message) {
                case WM_KEYDOWN: out.push_back("+" + KeyName(m.wParam)); break;
                case WM_KEYUP: out.push_back("-" + KeyName(m.wParam)); break;
                case WM_SYSKEYDOWN: out.push_back("+" + KeyName(m.wParam) + " sys"); break;
                case WM_SYSKEYUP: out.push_back("-" + KeyName(m.wParam) + " sys"); break;
                default: out.push_back(sim::Hex(m.message)); break;
            }
        }
        d().W(editor).posted.clear();
        return out;
    }

    HookSettings Current() {
        HookSettings s;
        GetSettings(&s);
        return s;
    }

    int editorProcess = 0;
    HWND editor = nullptr;
};

using Words = std::vector<std::string>;

// With every feature off and no rows, the hook passes every keystroke on
// exactly as the keyboard made it (system keys, a repeat and a release of a
// key that is up included), posts and injects nothing, and counts each
// press: auto-repeats and modifiers too, releases never.
TEST_F(KeyboardTest, WithEverythingOffEveryKeystrokePassesUntouchedAndEachPressIsCounted) {
    const auto type = [this] {
        d().KeyboardInput('A', false);
        d().KeyboardInput('A', false);
        d().KeyboardInput('A', true);
        d().KeyboardInput('A', true);
        d().KeyboardInput(VK_CONTROL, false, true);
        d().KeyboardInput(VK_CONTROL, true, true);
        d().KeyboardInput(VK_MENU, false);
        d().KeyboardInput('X', false);
        d().KeyboardInput('X', true);
        d().KeyboardInput(VK_MENU, true);
        d().Pump();
    };
    type();
    const std::vector<sim::Message> hooked = d().W(editor).posted;
    EXPECT_TRUE(d().TakeTrace().empty());
    HookStatistics totals{};
    GetStatistics(&totals);
    EXPECT_EQ(5u, totals.keystrokes);
    // The same keystrokes without the hooks: the editor gets the same.
    RemoveHook();
    d().W(editor).posted.clear();
    type();
    EXPECT_EQ(d().W(editor).posted, hooked);
    EXPECT_EQ(10u, hooked.size());
}

struct BindingCase {
    const char* name;
    std::initializer_list<Row> rows;
    const char* keys;
    sim::Lines trace;  // what the library posted and injected
    Words received;    // what the editor received
    unsigned keystrokes;
};

TEST_F(KeyboardTest, KeyBindings) {
    const BindingCase cases[] = {
        {"press, repeats and release of a bound key: the action runs at press and release, the "
         "window sees nothing",
         {{ACTION_NOTIFY_5, 'B'}},
         "+B +B +B -B",
         {Notify(NOTIFY_PHASE_A, 0), Notify(NOTIFY_PHASE_A, 1)},
         {},
         3},
        {"a release whose press was not seen runs nothing and is eaten",
         {{ACTION_NOTIFY_5, 'B'}},
         "-B",
         {},
         {},
         0},
        {"only the first of two matching rows runs",
         {{ACTION_NOTIFY_8, 'Q', MODIFIER_SHIFT}, {ACTION_NOTIFY_5, 'B'}, {ACTION_NOTIFY_6, 'B'}},
         "+B -B",
         {Notify(NOTIFY_PHASE_A, 0), Notify(NOTIFY_PHASE_A, 1)},
         {},
         1},
        {"modifiers must match exactly",
         {{ACTION_NOTIFY_5, 'B', MODIFIER_SHIFT}},
         "+B -B +Shift +B -B +Ctrl +B -B -Ctrl -Shift",
         {Notify(NOTIFY_PHASE_A, 0), Notify(NOTIFY_PHASE_A, 1)},
         {"+B", "-B", "+Shift", "+Ctrl", "+B", "-B", "-Ctrl", "-Shift"},
         5},
        {"a modifier key is a trigger like any other, released although Shift is no longer held",
         {{ACTION_NOTIFY_5, VK_SHIFT, MODIFIER_SHIFT}},
         "+Shift +Shift -Shift",
         {Notify(NOTIFY_PHASE_A, 0), Notify(NOTIFY_PHASE_A, 1)},
         {},
         2},
        {"the release belongs to the row that ran at the press, whatever the modifiers by then",
         {{ACTION_NOTIFY_5, 'B', MODIFIER_CTRL}, {ACTION_NOTIFY_6, 'B'}},
         "+Ctrl +B -Ctrl +B -B +B -B",
         {Notify(NOTIFY_PHASE_A, 0), Notify(NOTIFY_PHASE_A, 1), Notify(NOTIFY_PHASE_B, 0),
          Notify(NOTIFY_PHASE_B, 1)},
         {"+Ctrl", "-Ctrl"},
         4},
        {"a key bound to the copy chord: the chord is injected and meets the hook again",
         {{ACTION_COPY, 'K'}},
         "+K -K",
         {KeyDown(VK_CONTROL), KeyDown('C'), KeyUp(VK_CONTROL), KeyUp('C')},
         {"+Ctrl", "+C", "-Ctrl", "-C"},
         3},
        {"keys with a mouse button's code or a mouse or message trigger's code run no row",
         {{ACTION_NOTIFY_5, VK_RBUTTON}, {ACTION_NOTIFY_5, TRIGGER_WHEEL}, {ACTION_NOTIFY_5, TRIGGER_HOLD_LEFT}},
         "+0x2 -0x2 +0xFF -0xFF +0xFC -0xFC",
         {},
         {"+0x2", "-0x2", "+0xFF", "-0xFF", "+0xFC", "-0xFC"},
         3},
        // Past the 30 rows, a 31st would read its trigger from
        // singleClickFolders.
        {"a count above the table's 30 rows reads nothing past them", {}, "+Z -Z", {}, {"+Z", "-Z"}, 1},
    };
    for (const BindingCase& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        HookSettings s = SettingsWith(c.rows);
        if (c.rows.size() == 0) {
            s.bindingCount = 1000;
            s.singleClickFolders = 'Z';
        }
        Apply(s);
        Keys(c.keys);
        EXPECT_EQ(c.trace, d().TakeTrace());
        EXPECT_EQ(c.received, Received());
        EXPECT_EQ(c.keystrokes, Shared().statistics.keystrokes);
    }
}

// Ctrl+C ends capture once, whichever way the system hands the keystroke to
// the hook: before it leaves the queue (so the drain meets it again) or after.
TEST_F(KeyboardTest, CtrlCEndsCaptureWithOneMarkerAndNoC) {
    for (bool beforeRemoval : {true, false}) {
        SCOPED_TRACE(beforeRemoval ? "hook before removal" : "hook after removal");
        SetUp();
        d().keyHookBeforeRemoval = beforeRemoval;
        HookSettings s{};
        s.captureMode = 1;
        s.copyWatch = 1;
        Apply(s);
        Keys("+A -A +Ctrl +Ctrl +C -C -Ctrl +A -A");
        EXPECT_EQ(
            (sim::Lines{Capture(WM_KEYDOWN, 'A'), Capture(WM_KEYUP, 'A'), Capture(WM_KEYDOWN, VK_CONTROL),
                        Capture(WM_KEYDOWN, VK_CONTROL), Capture(WM_KEYUP, VK_CONTROL), "sleep 100"}),
            d().TakeTrace());
        EXPECT_EQ((Words{"+A", "-A", "+Ctrl", "+Ctrl", "-C", "-Ctrl", "+A", "-A"}), Received());
        EXPECT_EQ(0, Current().captureMode);
        EXPECT_EQ(1, Current().copySeen);
        EXPECT_EQ(5u, Shared().statistics.keystrokes);
        EXPECT_EQ(0, d().StateOf(editorProcess).captureEnding);
    }
}

// What the drains at the end of capture meet: keystrokes still queued are
// forwarded as capture and reach their window; a WM_QUIT stops the end,
// leaves capture on and is posted again behind what is still queued, so
// that the program still quits.  When the hook runs before its keystroke
// leaves the queue, the drain has taken and eaten the C already.
TEST_F(KeyboardTest, CaptureEndDrainsTheQueue) {
    struct Case {
        const char* name;
        bool quitInFirstDrain;
        bool quitInSecondDrain;
        bool beforeRemoval;
        sim::Lines trace;
        Words received;
        int captureAfter;
    };
    const std::string dispatch = "dispatch editor 0x100 0x58 0x1";
    const Case cases[] = {
        {"keys queued behind the C",
         false,
         false,
         true,
         {Capture(WM_KEYUP, VK_CONTROL), Capture(WM_KEYDOWN, 'X'), "translate 0x100",
          "dispatch editor 0x100 0x58 0x1", Capture(WM_KEYUP, 'X'), "translate 0x101",
          "dispatch editor 0x101 0x58 0xC0000001", "sleep 100"},
         {"+X", "-X"},
         0},
        {"a quit in the first drain, the keystroke taken there",
         true,
         false,
         true,
         {Capture(WM_KEYUP, VK_CONTROL), Capture(WM_KEYDOWN, 'X'), "translate 0x100", dispatch,
          "post null 0x12 0x7 0x0", Capture(WM_KEYUP, 'X'), "quit 7"},
         {"+X", "-X"},
         1},
        {"a quit in the first drain, the keystroke taken after the hook",
         true,
         false,
         false,
         {Capture(WM_KEYUP, VK_CONTROL), Capture(WM_KEYDOWN, 'X'), "translate 0x100", dispatch,
          "post null 0x12 0x7 0x0", Capture(WM_KEYUP, 'X'), "quit 7"},
         {"+X", "+C", "-X"},
         1},
        {"a quit in the second drain",
         false,
         true,
         true,
         {Capture(WM_KEYUP, VK_CONTROL), Capture(WM_KEYDOWN, 'X'), "translate 0x100", dispatch,
          Capture(WM_KEYUP, 'X'), "translate 0x101", "dispatch editor 0x101 0x58 0xC0000001", "sleep 100",
          "post null 0x12 0x9 0x0", "quit 9"},
         {"+X", "-X"},
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        d().keyHookBeforeRemoval = c.beforeRemoval;
        HookSettings s{};
        s.captureMode = 1;
        Apply(s);
        d().SetKeyDown(VK_CONTROL, true);
        Keys("+C +X", true);
        if (c.quitInFirstDrain) d().QueueMessage(nullptr, WM_QUIT, 7, 0);
        if (c.quitInSecondDrain) d().duringSleep = [this] { d().QueueMessage(nullptr, WM_QUIT, 9, 0); };
        Keys("-X", true);
        d().RunMessageLoop();
        EXPECT_EQ(c.trace, d().TakeTrace());
        EXPECT_EQ(c.received, Received());
        EXPECT_EQ(c.captureAfter, Current().captureMode);
    }
}

TEST_F(KeyboardTest, CopyWatchSeesCtrlCWhoeverEatsIt) {
    struct Case {
        const char* name;
        int copyWatch;
        int captureMode;
        std::initializer_list<Row> rows;
        const char* keys;
        int copySeen;
    };
    const Case cases[] = {
        {"a plain Ctrl+C", 1, 0, {}, "+Ctrl +C -C -Ctrl", 1},
        {"only the release of C while Ctrl is held", 1, 0, {}, "+C +Ctrl -C -Ctrl", 1},
        {"a binding eats the C", 1, 0, {{ACTION_NOTIFY_8, 'C', MODIFIER_CTRL}}, "+Ctrl +C -C -Ctrl", 1},
        {"capture eats the C", 1, 1, {}, "+Ctrl +C -C -Ctrl", 1},
        {"C without Ctrl", 1, 0, {}, "+C -C +Ctrl -Ctrl", 0},
        {"the watch off", 0, 0, {}, "+Ctrl +C -C -Ctrl", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        HookSettings s = SettingsWith(c.rows);
        s.copyWatch = c.copyWatch;
        s.captureMode = c.captureMode;
        Apply(s);
        Keys(c.keys);
        EXPECT_EQ(c.copySeen, Current().copySeen);
    }
}

TEST_F(KeyboardTest, PauseLockLetsModifiersAndThePausingKeyThrough) {
    HookSettings s = SettingsWith({{ACTION_PAUSE, 'P'}});
    Apply(s);
    Keys("+P -P");
    EXPECT_EQ((sim::Lines{Notify(NOTIFY_PAUSE, 0), Notify(NOTIFY_PAUSE, 1)}), d().TakeTrace());
    EXPECT_EQ('P', Shared().pauseTrigger);
    EXPECT_EQ(0, Shared().pauseModifiers);

    s.pauseLock = 1;
    Apply(s);
    // Other keys are eaten, reported once at their release (and a release
    // alone is reported too); the pausing key passes with any modifiers and
    // still runs its row.
    Keys("+A +A -A -B +Shift +Ctrl +P -P -Ctrl -Shift +P -P");
    EXPECT_EQ((sim::Lines{Notify(NOTIFY_PAUSED_INPUT, 0), Notify(NOTIFY_PAUSED_INPUT, 0),
                          Notify(NOTIFY_PAUSE, 0), Notify(NOTIFY_PAUSE, 1)}),
              d().TakeTrace());
    EXPECT_EQ((Words{"+Shift", "+Ctrl", "+P", "-P", "-Ctrl", "-Shift"}), Received());
    EXPECT_EQ(7u, Shared().statistics.keystrokes);
}

TEST_F(KeyboardTest, TypingWatchPostsOnceUntilTheMouseSideRearmsIt) {
    HookSettings s = SettingsWith({{ACTION_NOTIFY_8, 'K'}});
    s.typingWatch = 1;
    Apply(s);
    // Shift alone and a bound key never start it; the first unbound key
    // does, once.
    Keys("+Shift -Shift +K -K +A -A +B -B");
    EXPECT_EQ((sim::Lines{Notify(NOTIFY_SIGNAL, 0), Notify(NOTIFY_TYPING_STARTED, 0)}), d().TakeTrace());
    EXPECT_EQ(1, Shared().typingState);
    EXPECT_EQ(321, Shared().typingCursor.x);
    EXPECT_EQ(123, Shared().typingCursor.y);

    // The mouse hook re-arms the watch when the cursor moves away.
    Shared().typingState = 0;
    d().cursor = {10, 20};
    Keys("-A");
    EXPECT_EQ((sim::Lines{Notify(NOTIFY_TYPING_STARTED, 0)}), d().TakeTrace());
    EXPECT_EQ(10, Shared().typingCursor.x);
    EXPECT_EQ(20, Shared().typingCursor.y);
}

TEST_F(KeyboardTest, PlatformCallsPerKeystroke) {
    // Thirty rows, none for A; the last one binds B.
    HookSettings s{};
    s.bindingCount = 30;
    for (Binding& b : s.bindings) b = {ACTION_NOTIFY_8, 0, 'Q', MODIFIER_SHIFT, 0};
    s.bindings[29] = {ACTION_NOTIFY_10, 7, 'B', 0, 0};
    s.typingWatch = 1;
    UpdateSettings(&s);
    Shared().typingState = 1;
    struct Case {
        const char* name;
        WPARAM vk;
        uint32_t flags;
        long calls;
    };
    const Case cases[] = {
        // The next hook only: no key state is read for a key no row names.
        {"unbound key", 'A', 0x001E0001, 1},
        {"unbound key released", 'A', 0xC01E0001, 1},
        // Three key states for the mask and the notification the row posts;
        // the repeats and the release belong to the held row without a mask
        // (action 22 posts at the press only).
        {"bound key", 'B', 0x00300001, 4},
        {"bound key repeated", 'B', 0x40300001, 0},
        {"bound key released", 'B', 0xC0300001, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        d().LoadLibraryInto(editorProcess);
        const long before = d().osCallCount;
        d().InProcess(editorProcess, [&] { return KeyboardProc(HC_ACTION, c.vk, static_cast<LPARAM>(c.flags)); });
        EXPECT_EQ(c.calls, d().osCallCount - before);
    }
}

}  // namespace
