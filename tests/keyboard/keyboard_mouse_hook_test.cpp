// The keyboard mouse behind the whole keyboard hook: keystrokes typed from
// the keyboard into a window of another program, the keys the library
// injects itself coming round through the hook again, and the played
// messages reaching the window under the cursor through the mouse hook.
#include "support/sim_test.h"

#include <vector>

namespace {

class KeyboardMouseHookTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        const int process = d().AddProcess("editor");
        editor = MakeWindow("editor", {100, 100, 700, 600}, "Edit", process);
        d().focus = editor;
        d().cursor = {400, 300};
        HookSettings s{};
        s.keyboardMouse = 1;
        s.keyboardMouseKeys = 0;
        s.keyboardMouseStep = 10;
        s.keyboardMouseAccel = 1;
        UpdateSettings(&s);
        d().SetNumLock(true);
        ASSERT_EQ(1, InstallHook(app, 0));
        d().TakeTrace();
    }

    void Settings(int scheme, int pauseLock = 0) {
        HookSettings s;
        GetSettings(&s);
        s.keyboardMouseKeys = scheme;
        s.pauseLock = pauseLock;
        UpdateSettings(&s);
    }

    // One keystroke from the keyboard, taken by the editor before the next.
    void Key(int vk, bool up, bool extended = false) {
        d().KeyboardInput(vk, up, extended);
        d().Pump();
    }
    void Tap(int vk) {
        Key(vk, false);
        Key(vk, true);
    }

    // Messages the editor received since the last call: key messages as
    // "+vk" / "-vk", mouse messages by id unless only keys are asked for.
    std::vector<std::string> Received(bool keysOnly = false) {
        std::vector<std::string> out;
        for (const sim::Message& m : d().W(editor).posted) {
            if (m.message == WM_KEYDOWN || m.message == WM_KEYUP) {
                out.push_back((m.message == WM_KEYDOWN ? "+" : "-") + sim::Hex(m.wParam));
            } else if (!keysOnly) {
                out.push_back(sim::Hex(m.message));
            }
        }
        d().W(editor).posted.clear();
        return out;
    }

    std::pair<int, int> At() const { return {sim::desktop().cursor.x, sim::desktop().cursor.y}; }

    HWND editor = nullptr;
};

using Seen = std::vector<std::string>;

TEST_F(KeyboardMouseHookTest, HeldKeypadKeyAcceleratesAndTheProgramSeesNoneOfIt) {
    for (int i = 0; i < 12; ++i) Key(VK_NUMPAD8, false);  // the first press and 11 auto-repeats
    EXPECT_EQ((std::pair<int, int>{400, 70}), At());      // 4 x 10, 5 x 20, 3 x 30
    Key(VK_NUMPAD8, true);
    // Modifiers and other keys still pass, releases included.
    Tap(VK_SHIFT);
    Tap('Q');
    EXPECT_EQ((Seen{"+0x10", "-0x10", "+0x51", "-0x51"}), Received(true));
    EXPECT_EQ(14u, Shared().statistics.keystrokes);  // every press is counted, eaten or not
}

TEST_F(KeyboardMouseHookTest, KeyboardMouseKeysWorkWhileThePauseLockIsOn) {
    Settings(0, 1);
    Key(VK_NUMPAD6, false);
    Key(VK_NUMPAD6, true);
    EXPECT_EQ((std::pair<int, int>{410, 300}), At());
    EXPECT_EQ(Seen{}, Received(true));
}

TEST_F(KeyboardMouseHookTest, TheClickKeyClicksTheWindowUnderTheCursorWithOrWithoutPlayback) {
    struct Case {
        sim::Desktop::Journal journal;
        Seen seen;
    };
    // The click key's release is no movement key's: it reaches the program.
    // Played, the press is in before the release key arrives; injected where
    // the playback hook is never called, the whole click follows the key.
    const Case cases[] = {
        {sim::Desktop::Journal::Plays, {"0x200", "0x201", "-0x65", "0x202", "0x200"}},
        {sim::Desktop::Journal::NeverCalls, {"-0x65", "0x200", "0x201", "0x202", "0x200"}},
    };
    for (const Case& c : cases) {
        SetUp();
        d().journal = c.journal;
        Tap(VK_NUMPAD5);
        EXPECT_EQ(c.seen, Received());
        EXPECT_FALSE(d().HookInstalled(WH_JOURNALPLAYBACK));
        EXPECT_FALSE(d().KeyDown(VK_LBUTTON));
    }
}

// The Ctrl release injected when the drag starts comes round through the
// hook and resets the repeat count, so the held A's auto-repeats look like
// first presses: they must still be eaten, not typed.
TEST_F(KeyboardMouseHookTest, CtrlADragThroughTheHookTypesNothing) {
    Settings(1);
    Key(VK_CONTROL, false);
    Key('A', false);
    EXPECT_TRUE(d().KeyDown(VK_LBUTTON));
    EXPECT_FALSE(d().KeyDown(VK_CONTROL));
    Key('A', false);
    Key(VK_LEFT, false, true);
    Key(VK_LEFT, true, true);
    Key('A', false);
    Key(VK_LEFT, false);
    Key(VK_LEFT, true);
    Key(VK_CONTROL, true);  // Ctrl let go before A
    Key('A', true);
    EXPECT_EQ((std::pair<int, int>{380, 300}), At());
    EXPECT_FALSE(d().KeyDown(VK_LBUTTON));
    // Not put down again: the person no longer holds it.
    EXPECT_FALSE(d().KeyDown(VK_CONTROL));
    // Ctrl's press and the injected release; the keyboard's own Ctrl release
    // came while Ctrl was already up.  Neither A nor the arrows; the cursor's
    // moves with the button down.
    EXPECT_EQ((Seen{"+0x11", "0x200", "0x201", "-0x11", "0x200", "0x200", "-0x11", "0x202", "0x200"}),
              Received());
}

}  // namespace
