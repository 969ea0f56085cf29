// Keys and buttons the library pushes down go up again once their trigger is
// released: the ways found by fuzzing in which one was left down.
#include "support/sim_test.h"

#include "actions/dispatcher.h"

#include <functional>
#include <initializer_list>
#include <set>
#include <string>
#include <vector>

namespace {

class StuckKeysTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        const int process = d().AddProcess("editor");
        win = MakeWindow("win", {100, 100, 500, 400}, "SimWindow", process);
        d().focus = win;
        d().foreground = win;
        d().cursor = kClient;
        ASSERT_EQ(1, InstallHook(app, 0));
        d().LoadLibraryInto(process);
        d().TakeTrace();
    }

    void Use(const HookSettings& s) { UpdateSettings(&s); }
    // The keyboard mouse on, with one of its key schemes.
    static HookSettings KeyboardMouse(int scheme) {
        HookSettings s{};
        s.keyboardMouse = 1;
        s.keyboardMouseKeys = scheme;
        s.keyboardMouseStep = 10;
        return s;
    }

    // A message the window's thread takes from its queue.
    void Take(UINT message, uint32_t wParam, uint32_t lParam) {
        d().QueueMessage(win, message, wParam, lParam);
        MSG m{};
        ASSERT_TRUE(d().Retrieve(&m, PM_REMOVE));
    }
    void Mouse(DWORD flags, POINT at, ULONG_PTR extra = 0) {
        d().cursor = at;
        os::mouse_event(flags, 0, 0, 0, extra);
        d().trace.pop_back();  // the device's own event
        d().Pump();
    }
    void Key(int vk, bool up) {
        if (up) {
            held.erase(vk);
        } else {
            held.insert(vk);
        }
        d().KeyboardInput(vk, up);
        d().Pump();
    }
    std::set<int> held;  // keys the person holds

    // The keys and buttons injected or played since the last call.
    sim::Lines Injected() {
        sim::Lines out;
        for (const std::string& line : d().TakeTrace()) {
            if (line.rfind("key ", 0) == 0 || line.rfind("mouse ", 0) == 0 ||
                line.rfind("played 0x20", 0) == 0) {
                out.push_back(line.substr(0, line.rfind("played", 0) == 0 ? 12 : std::string::npos));
            }
        }
        return out;
    }

    HWND win = nullptr;
    static constexpr POINT kClient{200, 200};
    static constexpr POINT kCaption{200, 110};
};

// Alt+arrow pushes Alt down under its own trigger: the release still belongs
// to the row the press ran, though the modifiers no longer match it.
TEST_F(StuckKeysTest, AltArrowOnWheelAndMessageTriggersIsLetUpByTheirRelease) {
    struct Case {
        const char* name;
        int trigger;
        std::function<void()> press, release;
    };
    const Case cases[] = {
        {"extra button", TRIGGER_EXTRA_BUTTON_BIT4, [this] { Take(0x1400, 0, 4); },
         [this] { Take(0x1401, 0, 4); }},
        {"vendor button", TRIGGER_VENDOR_BUTTON, [this] { Take(0x8C5, 0, 8); },
         [this] { Take(0x8C5, 0, 0); }},
        {"wheel message", TRIGGER_WHEEL, [this] { Take(WM_MOUSEWHEEL, 120u << 16, 0); },
         [this] { Take(WM_MOUSEWHEEL, 0xFF88u << 16, 0); }},
        {"wheel through the mouse hook", TRIGGER_WHEEL, [this] { Mouse(MOUSEEVENTF_WHEEL, kClient, 1); },
         [this] { Mouse(MOUSEEVENTF_WHEEL, kClient, 0xFFFF); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        Use(SettingsWith({{ACTION_FORWARD, c.trigger}}));
        c.press();
        c.release();
        EXPECT_EQ((sim::Lines{KeyDown(VK_MENU), KeyDown(VK_RIGHT), KeyUp(VK_MENU), KeyUp(VK_RIGHT)}),
                  Injected());
        EXPECT_EQ("", Down());
    }
}

// The controlling program replaces the table while a button holds a row: a
// row kept in its place still ends at the button's release, any other lets
// its keys up at once.
TEST_F(StuckKeysTest, ReplacedSettingsLetUpWhatAHeldRowPressed) {
    struct Case {
        const char* name;
        int action;  // of row 0 in the new table
        int count;
        sim::Lines atReplace;
        sim::Lines atRelease;
    };
    const sim::Lines cutUp{KeyUp(VK_CONTROL), KeyUp('X')};
    const Case cases[] = {
        {"same row", ACTION_CUT, 1, {}, cutUp},
        {"other action", ACTION_NOTIFY_8, 1, cutUp, {}},
        {"no rows", ACTION_CUT, -1, cutUp, {}},
        {"past the table", ACTION_CUT, 0x7FFFFFFF, {}, cutUp},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        Use(SettingsWith({{ACTION_CUT, VK_RBUTTON}}));
        Mouse(MOUSEEVENTF_RIGHTDOWN, kClient);
        EXPECT_EQ((sim::Lines{KeyDown(VK_CONTROL), KeyDown('X')}), Injected());
        HookSettings s = SettingsWith({{c.action, VK_RBUTTON}});
        s.bindingCount = c.count;
        s.typingWatch = 1;
        Use(s);
        EXPECT_EQ(c.atReplace, Injected());
        Mouse(MOUSEEVENTF_RIGHTUP, kClient);
        EXPECT_EQ(c.atRelease, Injected());
        EXPECT_EQ("", Down());
    }
}

// The table replaced while a press runs its row, from the controlling
// program's thread, at whichever platform call of the hook it comes: the row
// stays held in a table that keeps it in its place, or its keys go up at
// once, and nothing is left down or held after the release.
TEST_F(StuckKeysTest, ATableReplacedWhileAPressRunsItsRowLosesNoHeldRow) {
    struct Case {
        const char* name;
        HookSettings pushed;
    };
    const Case cases[] = {
        {"the same table", SettingsWith({{ACTION_CUT, VK_RBUTTON}})},
        {"the row moved down", SettingsWith({{ACTION_NOTIFY_8, 'Q'}, {ACTION_CUT, VK_RBUTTON}})},
        {"the row gone", SettingsWith({{ACTION_NOTIFY_8, 'Q'}})},
    };
    for (const Case& c : cases) {
        for (int at = 1; at <= 20; ++at) {
            SCOPED_TRACE(std::string(c.name) + ", at platform call " + std::to_string(at));
            SetUp();
            Use(SettingsWith({{ACTION_CUT, VK_RBUTTON}}));
            d().interleaveAt = at;
            d().interleave = [this, &c] {
                d().InProcess(0, [&c] {
                    UpdateSettings(&c.pushed);
                    return 0;
                });
            };
            Mouse(MOUSEEVENTF_RIGHTDOWN, kClient);
            Mouse(MOUSEEVENTF_RIGHTUP, kClient);
            d().interleave = nullptr;
            EXPECT_EQ("", Down());
            for (int i = 0; i < WEXUTIL_BINDING_ROWS; ++i) EXPECT_EQ(0, Held(i)) << "row " << i;
        }
    }
}

// The right-button filter switched on while a bound right press holds its
// row: the release is not the filter's, so it still ends the row, and no left
// release is injected for a left press never made.
TEST_F(StuckKeysTest, AReleaseWhosePressTheFilterDidNotTakeStaysReal) {
    HookSettings s = SettingsWith({{ACTION_CUT, VK_RBUTTON}});
    Use(s);
    Mouse(MOUSEEVENTF_RIGHTDOWN, kClient);
    s.rightButtonFilter = 1;
    Use(s);
    Mouse(MOUSEEVENTF_RIGHTUP, kClient);
    EXPECT_EQ((sim::Lines{KeyDown(VK_CONTROL), KeyDown('X'), KeyUp(VK_CONTROL), KeyUp('X')}), Injected());
    EXPECT_EQ("", Down());
}

// A press the right-button filter turned into a left press: its release
// lets the left button up wherever it comes.
TEST_F(StuckKeysTest, TheFilteredPressIsReleasedOverTheFrameOrAfterTheFilterIsOff) {
    enum { kOverTheCaption, kSwitchedOff, kPauseEatsIt };
    for (int how : {kOverTheCaption, kSwitchedOff, kPauseEatsIt}) {
        SCOPED_TRACE(how);
        SetUp();
        HookSettings s{};
        s.rightButtonFilter = 1;
        s.pauseLock = how == kPauseEatsIt ? 1 : 0;
        Use(s);
        Mouse(MOUSEEVENTF_MIDDLEDOWN, kClient);
        if (how == kSwitchedOff) Use(HookSettings{});
        // The pause refuses a second press of the button (over the caption,
        // which the filter leaves alone) and so eats the release.
        if (how == kPauseEatsIt) Mouse(MOUSEEVENTF_MIDDLEDOWN, kCaption);
        Mouse(MOUSEEVENTF_MIDDLEUP, how == kSwitchedOff ? kClient : kCaption);
        EXPECT_EQ((sim::Lines{"mouse LEFTDOWN", "mouse LEFTUP"}), Injected());
        EXPECT_EQ("", Down());
    }
}

// A Ctrl-click bound to the left button itself: its release injects a left
// release, which must not run the row's release again (it looped, sending a
// hit test each round), and the window gets both halves of the click.
// A fast click is one whose release is queued before its press is handled:
// the Ctrl-click's release then let Ctrl up before its own injected press
// came back, which matched the row again, and the two ran each other without
// end, holding the program's input thread (found by random real input under
// Wine).  The clicks an action injects run no row.
TEST_F(StuckKeysTest, ALeftButtonCtrlClickRowReleasesOnce) {
    for (int modifiers : {0, MODIFIER_SHIFT}) {
        for (bool fast : {false, true}) {
            SCOPED_TRACE(std::to_string(modifiers) + (fast ? ", a fast click" : ""));
            SetUp();
            Use(SettingsWith({{ACTION_CTRL_CLICK, VK_LBUTTON, modifiers}}));
            if (modifiers != 0) Key(VK_SHIFT, false);
            if (fast) {
                Mouse(MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_LEFTUP, kClient);
            } else {
                Mouse(MOUSEEVENTF_LEFTDOWN, kClient);
                Mouse(MOUSEEVENTF_LEFTUP, kClient);
            }
            if (modifiers != 0) Key(VK_SHIFT, true);
            EXPECT_EQ((sim::Lines{KeyDown(VK_CONTROL), kActionLeftDown, kActionLeftUp, KeyUp(VK_CONTROL)}),
                      Injected());
            EXPECT_EQ(1, d().osCalls["SendMessageTimeoutA"]);
            std::vector<uint32_t> received;
            for (const sim::Message& m : d().W(win).posted) {
                if (m.message != WM_KEYDOWN && m.message != WM_KEYUP) received.push_back(m.message);
            }
            EXPECT_EQ((std::vector<uint32_t>{WM_LBUTTONDOWN, WM_LBUTTONUP}), received);
            EXPECT_EQ("", Down());
        }
    }
}

// Keys the library types come back through the keyboard hook and run no key
// row: a Ctrl bound to the paste chord pasted again at every Ctrl it typed,
// without end once a Ctrl release came between (found by the fuzzer), or
// ate the chord's own Ctrl, so that the window saw V without it.  A count
// of keys that no hook took ends after a second.
TEST_F(StuckKeysTest, KeysTheLibraryTypedRunNoKeyRow) {
    struct Case {
        const char* name;
        std::function<void()> input;
        sim::Lines injected;
    };
    const sim::Lines paste{KeyDown(VK_CONTROL), KeyDown('V'), KeyUp(VK_CONTROL), KeyUp('V')};
    const Case cases[] = {
        {"Ctrl pressed and released", [this] { Key(VK_CONTROL, false), Key(VK_CONTROL, true); }, paste},
        {"Ctrl tapped before the program takes it",
         [this] {
             d().KeyboardInput(VK_CONTROL, false);
             d().KeyboardInput(VK_CONTROL, true);
             d().Pump();
         },
         paste},
        {"Ctrl typed by a copy row",
         [this] {
             d().cursor = kClient;
             os::mouse_event(MOUSEEVENTF_RIGHTDOWN, 0, 0, 0, 0);
             os::mouse_event(MOUSEEVENTF_RIGHTUP, 0, 0, 0, 0);
             d().TakeTrace();
             d().Pump();
         },
         {KeyDown(VK_CONTROL), KeyDown('C'), KeyUp(VK_CONTROL), KeyUp('C')}},
        {"Ctrl typed where no hook took it, a second before",
         [this] {
             ExecuteAction(ACTION_COPY, 0, 0);
             ExecuteAction(ACTION_COPY, 0, 1);
             d().pendingInput.clear();
             d().TakeTrace();
             d().Advance(1001);
             Key(VK_CONTROL, false), Key(VK_CONTROL, true);
         },
         paste},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        // Ctrl's state as a keystroke finds it is the newest, so a Ctrl that
        // is already up again meets the mask without Ctrl.
        Use(SettingsWith({{ACTION_PASTE, VK_CONTROL, MODIFIER_CTRL},
                          {ACTION_PASTE, VK_CONTROL},
                          {ACTION_COPY, VK_RBUTTON}}));
        c.input();
        EXPECT_EQ(c.injected, Injected());
        std::vector<std::string> keys;
        for (const sim::Message& m : d().W(win).posted) {
            if (m.message == WM_KEYDOWN || m.message == WM_KEYUP) {
                keys.push_back((m.message == WM_KEYUP ? KeyUp(m.wParam) : KeyDown(m.wParam)));
            }
        }
        EXPECT_EQ(c.injected, keys);
        EXPECT_EQ("", Down());
    }
}

// RemoveHook lets up everything the library holds down: without its hooks
// it would never see the releases that end them.  So does the first
// InstallHook of a library whose hooks went without RemoveHook (its
// controlling program ended, while another program kept the shared state).
TEST_F(StuckKeysTest, RemoveHookLetsUpEverythingTheLibraryHolds) {
    struct Case {
        const char* name;
        std::function<void(HookSettings&)> settings;
        std::function<void()> hold;
        DWORD letGo;  // the person's own button, let go after the hooks went
    };
    const auto keyboardMouse = [](int scheme) {
        return [scheme](HookSettings& s) {
            s.keyboardMouse = 1;
            s.keyboardMouseKeys = scheme;
        };
    };
    const auto keys = [this](std::vector<int> vks) {
        return [this, vks] {
            for (int vk : vks) Key(vk, false);
        };
    };
    const Case cases[] = {
        {"a button row's keys", [](HookSettings& s) { s = SettingsWith({{ACTION_COPY, VK_RBUTTON}}); },
         [this] { Mouse(MOUSEEVENTF_RIGHTDOWN, kClient); }, MOUSEEVENTF_RIGHTUP},
        {"a key row's keys", [](HookSettings& s) { s = SettingsWith({{ACTION_BACK, 'Q'}}); }, keys({'Q'}), 0},
        {"a Ctrl-click", [](HookSettings& s) { s = SettingsWith({{ACTION_CTRL_CLICK, VK_MBUTTON}}); },
         [this] { Mouse(MOUSEEVENTF_MIDDLEDOWN, kClient); }, MOUSEEVENTF_MIDDLEUP},
        {"the click key", keyboardMouse(0), keys({VK_NUMPAD5}), 0},
        {"keypad star", keyboardMouse(0), keys({VK_MULTIPLY}), 0},
        {"the keypad lock", keyboardMouse(0), keys({VK_NUMPAD0}), 0},
        {"a Ctrl+A drag", keyboardMouse(1), keys({VK_CONTROL, 'A'}), 0},
        {"Ctrl+Z", keyboardMouse(1), keys({VK_CONTROL, 'Z'}), 0},
        {"the filter's left press", [](HookSettings& s) { s.rightButtonFilter = 1; },
         [this] { Mouse(MOUSEEVENTF_MIDDLEDOWN, kClient); }, MOUSEEVENTF_MIDDLEUP},
        {"a playback still waiting", keyboardMouse(0),
         [this] {
             d().journal = sim::Desktop::Journal::NeverCalls;
             Key(VK_NUMPAD0, false);
         },
         0},
    };
    for (bool removed : {true, false}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (removed ? ", RemoveHook" : ", the next InstallHook"));
            SetUp();
            HookSettings s{};
            c.settings(s);
            Use(s);
            d().SetNumLock(true);
            held.clear();
            c.hold();
            // The library holds something down now (or a playback waits to
            // press it): a key or button the person does not hold.
            bool holds = d().HookInstalled(WH_JOURNALPLAYBACK);
            for (int vk = 1; vk < 256; ++vk) {
                const bool person = held.count(vk) != 0 || (vk == VK_RBUTTON && c.letGo == MOUSEEVENTF_RIGHTUP) ||
                                    (vk == VK_MBUTTON && c.letGo == MOUSEEVENTF_MIDDLEUP);
                holds = holds || (d().KeyDown(vk) && !person);
            }
            EXPECT_TRUE(holds) << "nothing was held to let up";
            int next = 0;
            if (removed) {
                RemoveHook();
            } else {
                // The controlling program ends without RemoveHook: its hooks
                // go with it.  The shared state stays, for the next one to
                // start holds it already.
                next = d().AddProcess("next controller");
                d().InProcess(next, [] { return MapForExports(); });
                d().KillProcess(0);
            }
            // The person lets go of what they hold themselves, unseen.
            for (int vk : held) d().KeyboardInput(vk, true);
            if (c.letGo != 0) os::mouse_event(c.letGo, 0, 0, 0, 0);
            d().Pump();
            if (!removed) {
                EXPECT_EQ(1, d().InProcess(next, [] { return InstallHook(nullptr, 0); }));
            }
            d().Pump();
            EXPECT_FALSE(d().HookInstalled(WH_JOURNALPLAYBACK));
            EXPECT_EQ("", Down());
        }
    }
}

// A Ctrl-click whose trigger is released off the client area after the user
// let the left button up himself: Ctrl goes up, and the left press it made
// gets its release too (one more release is harmless, a missing one not).
TEST_F(StuckKeysTest, CtrlClickLetsCtrlUpWhenTheLeftButtonIsAlreadyUp) {
    Use(SettingsWith({{ACTION_CTRL_CLICK, VK_MBUTTON}}));
    Mouse(MOUSEEVENTF_MIDDLEDOWN, kClient);
    Mouse(MOUSEEVENTF_LEFTUP, kClient);
    Mouse(MOUSEEVENTF_MIDDLEUP, kCaption);
    EXPECT_EQ((sim::Lines{KeyDown(VK_CONTROL), kActionLeftDown, kActionLeftUp, KeyUp(VK_CONTROL)}), Injected());
    EXPECT_EQ("", Down());
}

// The keyboard mouse's click key: its release lets up the button its press
// pushed, and its auto-repeat presses nothing more, even after another key's
// release disarmed the right button in between.
TEST_F(StuckKeysTest, KeypadClickKeyReleasesTheButtonItPressed) {
    Use(KeyboardMouse(0));
    d().SetNumLock(true);
    Key(VK_SUBTRACT, false);
    Key(VK_SUBTRACT, true);  // arms the right button
    Key(VK_NUMPAD5, false);
    Key(VK_NUMPAD8, false);
    Key(VK_NUMPAD8, true);   // disarms it
    Key(VK_NUMPAD5, false);  // an auto-repeat
    Key(VK_NUMPAD5, true);
    sim::Lines buttons;
    for (const std::string& line : Injected()) {
        if (line.rfind("played 0x20", 0) == 0 && line != "played 0x200") buttons.push_back(line);
    }
    EXPECT_EQ((sim::Lines{"played 0x204", "played 0x205"}), buttons);
    EXPECT_EQ("", Down());
}

// Num Lock toggled while keypad star or the click key holds its button: the
// key's release still lets the button up, though Num Lock no longer makes it
// a keyboard-mouse key (the click key's release then comes as VK_CLEAR, or
// as VK_NUMPAD5).  Star's right button stayed down (found by the fuzzer).
TEST_F(StuckKeysTest, AButtonKeysReleaseLetsItsButtonUpAfterNumLockChanged) {
    struct Case {
        const char* name;
        int scheme;
        bool numLock;  // at the press; toggled before the release
        int press, release;
    };
    const Case cases[] = {
        {"star, scheme 0", 0, true, VK_MULTIPLY, VK_MULTIPLY},
        {"star, scheme 3", 3, false, VK_MULTIPLY, VK_MULTIPLY},
        {"click key, scheme 0", 0, true, VK_NUMPAD5, VK_CLEAR},
        {"click key, scheme 3", 3, false, VK_CLEAR, VK_NUMPAD5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        Use(KeyboardMouse(c.scheme));
        auto buttonDown = [this] { return d().KeyDown(VK_LBUTTON) || d().KeyDown(VK_RBUTTON); };
        d().SetNumLock(c.numLock);
        Key(c.press, false);
        EXPECT_TRUE(buttonDown());
        d().SetNumLock(!c.numLock);
        Key(c.release, true);
        EXPECT_FALSE(buttonDown());
    }
}

// The controlling program switches the keyboard mouse off, or to other keys,
// while one of its keys holds a button: the button goes up at once, except
// the keypad's lock, which holds on purpose.
TEST_F(StuckKeysTest, SwitchingTheKeyboardMouseLetsUpTheButtonsItsKeysHold) {
    struct Case {
        const char* name;
        int scheme;
        std::initializer_list<int> keys;  // pressed and held, in order
        int newScheme;                    // -1: switched off
        std::string down;                 // keys and buttons down after the switch
    };
    const Case cases[] = {
        {"click key, switched off", 0, {VK_NUMPAD5}, -1, "0x65 "},
        {"click key, other keys", 0, {VK_NUMPAD5}, 1, "0x65 "},
        {"keypad star", 0, {VK_MULTIPLY}, -1, "0x6A "},
        {"Ctrl+A drag (which let Ctrl up)", 1, {VK_CONTROL, 'A'}, -1, "0x41 "},
        {"Ctrl+Z", 1, {VK_CONTROL, 'Z'}, 2, "0x11 0x5A "},
        {"keypad lock stays", 0, {VK_NUMPAD0}, -1, "0x1 0x60 "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        HookSettings s = KeyboardMouse(c.scheme);
        Use(s);
        d().SetNumLock(true);
        for (int vk : c.keys) Key(vk, false);
        s.keyboardMouse = c.newScheme >= 0 ? 1 : 0;
        s.keyboardMouseKeys = c.newScheme >= 0 ? c.newScheme : c.scheme;
        Use(s);
        d().Pump();
        EXPECT_EQ(c.down, Down());
    }
}

}  // namespace
