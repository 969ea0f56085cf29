// The keyboard mouse, called key by key as the keyboard hook calls it, with
// the played messages taken from the simulated journal playback.
#include "keyboard/keyboard_mouse.h"

#include "support/sim_test.h"

#include <set>
#include <vector>

namespace {

const bool kExtended = true;

class KeyboardMouseTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        Scheme(0);
        d().SetNumLock(true);
        d().cursor = {500, 500};  // over no window: no caption-button test
        down_.clear();
        d().TakeTrace();
    }

    void Scheme(int scheme, int step = 10, int accel = 0) {
        Shared().settings[0].keyboardMouse = 1;
        Shared().settings[0].keyboardMouseKeys = scheme;
        Shared().settings[0].keyboardMouseStep = step;
        Shared().settings[0].keyboardMouseAccel = accel;
    }

    // One keystroke as the keyboard hook hands it on: bit 24 extended, bit
    // 30 the previous state (set on auto-repeats), bit 31 a release.  Any
    // played message is played before the result is returned.
    int Press(UINT vk, bool extended = false) {
        uint32_t flags = 1u | (extended ? 0x01000000u : 0u);
        if (!down_.insert(vk).second) flags |= 0x40000000u;
        return Call(vk, flags);
    }
    int Release(UINT vk, bool extended = false) {
        down_.erase(vk);
        return Call(vk, 0xC0000001u | (extended ? 0x01000000u : 0u));
    }
    int Call(UINT vk, uint32_t flags) {
        const int result = KeyboardMouseKey(vk, static_cast<LPARAM>(flags));
        d().Pump();
        return result;
    }
    void Ctrl(bool down) { d().SetKeyDown(VK_CONTROL, down); }

    // The trace without the hook lines, played messages shortened to their
    // ids unless their points are asked for.
    sim::Lines Events(bool points = false) {
        sim::Lines out;
        for (const std::string& line : d().TakeTrace()) {
            if (line.rfind("hook ", 0) == 0) continue;
            const bool played = line.rfind("played ", 0) == 0;
            out.push_back(played && !points ? line.substr(0, line.find(' ', 7)) : line);
        }
        return out;
    }
    std::pair<int, int> At() const { return {sim::desktop().cursor.x, sim::desktop().cursor.y}; }

    std::set<UINT> down_;
};

sim::Lines Click(const char* message) {
    const bool press = std::string(message) != "0x202" && std::string(message) != "0x205";
    return press ? sim::Lines{"played 0x200", std::string("played ") + message}
                 : sim::Lines{std::string("played ") + message, "played 0x200"};
}

sim::Lines Cursor(int x, int y) {
    return {"cursor " + std::to_string(x) + " " + std::to_string(y)};
}

sim::Lines operator+(sim::Lines a, const sim::Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(KeyboardMouseTest, AHeldKeyAcceleratesByOneStepEveryFiveEvents) {
    Scheme(0, 10, 1);
    std::vector<int> ys;
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(1, Press(VK_NUMPAD8));
        ys.push_back(d().cursor.y);
    }
    EXPECT_EQ((std::vector<int>{490, 480, 470, 460, 440, 420, 400, 380, 360, 330, 300, 270}), ys);
    // The cursor was shown: its display count is left as it was.
    EXPECT_EQ(0, d().showCursorCount);
    // Another key starts the count again.
    EXPECT_EQ(1, Press(VK_NUMPAD4));
    EXPECT_EQ((std::pair<int, int>{490, 270}), At());

    Scheme(0, 10, 0);
    d().cursor = {500, 500};
    for (int i = 0; i < 6; ++i) Press(VK_NUMPAD7);
    EXPECT_EQ((std::pair<int, int>{440, 440}), At());

    // A program that hid its cursor (count -2) gets it shown by the next
    // move, at count 0, so that one ShowCursor(FALSE) of its own hides it
    // again.
    d().showCursorCount = -2;
    Press(VK_NUMPAD7);
    EXPECT_EQ(0, d().showCursorCount);
}

TEST_F(KeyboardMouseTest, TheCursorStopsAtEachScreenEdgeAndTheKeyIsStillEaten) {
    struct Case {
        UINT vk;
        POINT from, to;
    };
    const Case cases[] = {
        {VK_NUMPAD4, {5, 300}, {0, 300}},       {VK_NUMPAD4, {0, 300}, {0, 300}},
        {VK_NUMPAD6, {1020, 300}, {1023, 300}}, {VK_NUMPAD8, {300, 3}, {300, 0}},
        {VK_NUMPAD2, {300, 767}, {300, 767}},   {VK_NUMPAD3, {1023, 760}, {1023, 767}},
    };
    for (const Case& c : cases) {
        SetUp();
        d().cursor = c.from;
        EXPECT_EQ(1, Press(c.vk));
        EXPECT_EQ(Cursor(c.to.x, c.to.y), Events()) << c.vk << " from " << c.from.x << "," << c.from.y;
    }
}

TEST_F(KeyboardMouseTest, KeysByScheme) {
    struct Case {
        int scheme;
        bool numLock;
        bool ctrl;
        UINT vk;
        bool extended;
        int eaten;
        std::pair<int, int> to;  // from (500, 500), step 10
    };
    const std::pair<int, int> still{500, 500};
    const Case cases[] = {
        // Keypad, Num Lock on: the keypad's navigation keys pass when it is off.
        {0, true, false, VK_NUMPAD9, false, 1, {510, 490}},
        {0, true, false, VK_NUMPAD5, false, 1, still},
        {0, false, false, VK_UP, false, 0, still},
        {0, false, false, VK_ADD, false, 0, still},
        {0, false, false, VK_SUBTRACT, false, 0, still},
        {0, true, false, VK_SUBTRACT, false, 1, still},
        {0, true, false, 'Q', false, 0, still},
        // Keypad, Num Lock off: only the keypad's own (non-extended) keys.
        {3, false, false, VK_UP, false, 1, {500, 490}},
        {3, false, false, VK_UP, kExtended, 0, still},
        {3, false, false, VK_HOME, false, 1, {490, 490}},
        {3, false, false, VK_NEXT, false, 1, {510, 510}},
        {3, false, false, VK_DELETE, kExtended, 0, still},
        {3, true, false, VK_NUMPAD8, false, 0, still},
        {3, true, false, VK_ADD, false, 0, still},
        // Keypad in either state.
        {4, true, false, VK_NUMPAD8, false, 1, {500, 490}},
        {4, false, false, VK_UP, false, 1, {500, 490}},
        {4, false, false, VK_UP, kExtended, 0, still},
        {4, false, false, VK_ADD, false, 1, still},
        // Ctrl + arrows of either block.
        {1, false, true, VK_LEFT, kExtended, 1, {490, 500}},
        {1, false, true, VK_DOWN, false, 1, {500, 510}},
        {1, false, false, VK_LEFT, kExtended, 0, still},
        {1, false, true, 'B', false, 0, still},
        {1, false, true, VK_NUMPAD8, false, 0, still},
        // Ctrl + I, J, K, M.
        {2, false, true, 'M', false, 1, {500, 510}},
        {2, false, true, 'J', false, 1, {490, 500}},
        {2, false, false, 'M', false, 0, still},
        {2, false, true, 'Q', false, 0, still},
        {2, false, true, VK_LEFT, false, 0, still},
        // No scheme: nothing moves and nothing is eaten.
        {5, true, true, VK_NUMPAD8, false, 0, still},
        {-1, true, true, VK_LEFT, false, 0, still},
        {0x7FFFFFFF, false, true, 'M', false, 0, still},
    };
    for (const Case& c : cases) {
        SetUp();
        Scheme(c.scheme);
        d().SetNumLock(c.numLock);
        Ctrl(c.ctrl);
        SCOPED_TRACE("scheme " + std::to_string(c.scheme) + " vk " + sim::Hex(c.vk) +
                     (c.numLock ? " num lock" : "") + (c.ctrl ? " ctrl" : "") +
                     (c.extended ? " extended" : ""));
        EXPECT_EQ(c.eaten, Press(c.vk, c.extended));
        EXPECT_EQ(c.to, At());
        // Every key the scheme eats is one of its keys, moving or not.
        EXPECT_EQ(c.eaten, IsKeyboardMouseKey(c.vk, c.extended ? 0x01000001 : 1));
    }
}

TEST_F(KeyboardMouseTest, AStepOfZeroMovesNothingButStillEatsTheScheme) {
    Scheme(0, 0, 1);
    EXPECT_EQ(1, Press(VK_NUMPAD8));
    EXPECT_EQ(1, Press(VK_NUMPAD8));
    EXPECT_EQ(0, Press('Q'));
    EXPECT_EQ(sim::Lines{}, Events());
    // Nothing moved, so no release is eaten.
    EXPECT_EQ(0, Release(VK_NUMPAD8));
}

TEST_F(KeyboardMouseTest, TheClickKeyDoubleClicksWithinTheDoubleClickTime) {
    for (UINT click : {VK_NUMPAD5, VK_CLEAR}) {
        SetUp();
        Scheme(click == VK_CLEAR ? 3 : 0);
        d().SetNumLock(click != VK_CLEAR);
        EXPECT_EQ(1, Press(click));
        EXPECT_EQ(1, Press(click));  // an auto-repeat plays nothing
        EXPECT_EQ(0, Release(click));
        d().Advance(499);
        Press(click);
        Release(click);
        d().Advance(500);
        Press(click);
        Release(click);
        EXPECT_EQ(Click("0x201") + Click("0x202") + Click("0x203") + Click("0x202") + Click("0x201") +
                      Click("0x202"),
                  Events())
            << click;
        EXPECT_FALSE(d().KeyDown(VK_LBUTTON));
    }
}

TEST_F(KeyboardMouseTest, KeypadMinusArmsTheRightButtonUntilAnotherRelease) {
    HWND w = MakeWindow("w", {400, 400, 600, 600});
    d().W(w).style = WS_POPUP | WS_VISIBLE;
    d().TakeTrace();
    // Minus, then the click key: a right click; the next one is left again.
    Press(VK_SUBTRACT);
    Release(VK_SUBTRACT);
    Press(VK_NUMPAD5);
    Release(VK_NUMPAD5);
    Press(VK_NUMPAD5);
    Release(VK_NUMPAD5);
    EXPECT_EQ(Click("0x204") + Click("0x205") + Click("0x201") + Click("0x202"), Events());
    // Another key's release cancels the arming.
    d().Advance(1000);
    Press(VK_SUBTRACT);
    Release(VK_SUBTRACT);
    Press('Q');
    Release('Q');
    Press(VK_NUMPAD5);
    EXPECT_EQ(Click("0x201"), Events());
    Release(VK_NUMPAD5);
    d().TakeTrace();
    // So does keypad plus, which clicks at the cursor.
    d().Advance(1000);
    Press(VK_SUBTRACT);
    Release(VK_SUBTRACT);
    Press(VK_ADD);
    const sim::Lines plus = Events();
    ASSERT_FALSE(plus.empty());
    EXPECT_EQ("spi get-foreground-lock winini=0", plus.front());
    Press(VK_NUMPAD5);
    EXPECT_EQ(Click("0x201"), Events());
    // Keypad star works the right button directly, and is not an arming release.
    Release(VK_NUMPAD5);
    Release(VK_ADD);
    Press(VK_SUBTRACT);
    Release(VK_SUBTRACT);
    d().TakeTrace();
    EXPECT_EQ(1, Press(VK_MULTIPLY));
    EXPECT_EQ(1, Release(VK_MULTIPLY));
    d().Advance(1000);
    Press(VK_NUMPAD5);
    Release(VK_NUMPAD5);
    EXPECT_EQ(Click("0x204") + Click("0x205") + Click("0x204") + Click("0x205"), Events());
    EXPECT_FALSE(d().KeyDown(VK_RBUTTON));
    // With Num Lock off, scheme 0 leaves minus to the application: no arming.
    d().SetNumLock(false);
    d().Advance(1000);
    EXPECT_EQ(0, Press(VK_SUBTRACT));
    EXPECT_EQ(0, Release(VK_SUBTRACT));
    Press(VK_NUMPAD5);
    EXPECT_EQ(Click("0x201"), Events());
    Release(VK_NUMPAD5);
}

TEST_F(KeyboardMouseTest, KeypadZeroMovementAndKeypadPointDrag) {
    struct Case {
        int scheme;
        bool numLock;
        UINT down, right, up;
    };
    for (const Case& c : {Case{0, true, VK_NUMPAD0, VK_NUMPAD6, VK_DECIMAL},
                          Case{3, false, VK_INSERT, VK_RIGHT, VK_DELETE}}) {
        SetUp();
        Scheme(c.scheme);
        d().SetNumLock(c.numLock);
        EXPECT_EQ(1, Press(c.down));
        EXPECT_EQ(0, Release(c.down));
        EXPECT_TRUE(d().KeyDown(VK_LBUTTON));
        Press(c.right);
        Press(c.right);
        EXPECT_EQ(1, Release(c.right));
        EXPECT_EQ(1, Press(c.up));
        Release(c.up);
        const sim::Lines press{"played 0x200 500 500", "played 0x201 500 500"};
        const sim::Lines release{"played 0x202 520 500", "played 0x200 520 500"};
        EXPECT_EQ(press + Cursor(510, 500) + Cursor(520, 500) + release, Events(true));
        EXPECT_FALSE(d().KeyDown(VK_LBUTTON));
    }
}

TEST_F(KeyboardMouseTest, CtrlADragsWithCtrlUpUntilAIsReleased) {
    for (bool ctrlFirst : {false, true}) {
        SCOPED_TRACE(ctrlFirst ? "Ctrl let go before A" : "A let go first");
        SetUp();
        Scheme(1);
        Ctrl(true);
        EXPECT_EQ(1, Press('A'));
        EXPECT_FALSE(d().KeyDown(VK_CONTROL));  // every program reads Ctrl as up
        // The injected Ctrl release reaches the keyboard mouse too, and its
        // auto-repeats of A must still be eaten.
        EXPECT_EQ(0, Release(VK_CONTROL));
        EXPECT_EQ(1, Press('A'));
        EXPECT_EQ(1, Press(VK_LEFT, kExtended));  // moves without Ctrl
        EXPECT_EQ(1, Release(VK_LEFT, kExtended));
        EXPECT_EQ(1, Press(VK_LEFT));
        EXPECT_EQ(1, Press('A'));
        if (ctrlFirst) {
            EXPECT_EQ(0, Release(VK_CONTROL));
        }
        EXPECT_EQ(1, Release('A'));
        // Put down again for a person who still holds it, and only then: one
        // who let go of Ctrl first would be left with it stuck.  It goes down
        // once the release is on its way: injected while the playback holds
        // the input stream, it arrives after it.
        EXPECT_EQ(!ctrlFirst, d().KeyDown(VK_CONTROL));
        const sim::Lines again = ctrlFirst ? sim::Lines{} : sim::Lines{KeyDown(VK_CONTROL)};
        EXPECT_EQ(sim::Lines{KeyUp(VK_CONTROL)} + Click("0x201") + Cursor(490, 500) + Cursor(480, 500) + again +
                      Click("0x202"),
                  Events());
        // Without the drag, the arrows need Ctrl again.
        Ctrl(false);
        EXPECT_EQ(0, Press(VK_LEFT));
        EXPECT_EQ(0, Press('A'));
    }
}

TEST_F(KeyboardMouseTest, CtrlZClicksRightAndReleasesItAlsoAfterCtrlIsLetGo) {
    Scheme(2);
    Ctrl(true);
    EXPECT_EQ(1, Press('Z'));
    EXPECT_EQ(1, Press('Z'));  // auto-repeat: eaten, nothing played
    EXPECT_EQ(1, Release('Z'));
    d().Advance(100);
    EXPECT_EQ(1, Press('Z'));
    Ctrl(false);
    EXPECT_EQ(1, Release('Z'));  // the right button must not stay down
    EXPECT_FALSE(d().KeyDown(VK_RBUTTON));
    // Without Ctrl, Z is an ordinary key.
    EXPECT_EQ(0, Press('Z'));
    EXPECT_EQ(0, Release('Z'));
    EXPECT_EQ(Click("0x204") + Click("0x205") + Click("0x206") + Click("0x205"), Events());
}

TEST_F(KeyboardMouseTest, OnlyTheReleaseOfTheKeyThatMovedTheCursorIsEaten) {
    const int other = d().AddProcess("other");
    d().LoadLibraryInto(other);
    Press(VK_SHIFT);
    EXPECT_EQ(1, Press(VK_NUMPAD8));
    // In another process the cursor was not moved: its releases pass.
    d().EnterProcess(other);
    EXPECT_EQ(0, Release(VK_NUMPAD8));
    d().EnterProcess(0);
    EXPECT_EQ(0, Release(VK_SHIFT));
    EXPECT_EQ(1, Release(VK_NUMPAD8));
    EXPECT_EQ(0, Release(VK_NUMPAD8));
    EXPECT_EQ(0, Release('Q'));
}

// The keyboard mouse runs on every keystroke: a key outside the scheme
// costs no platform call; Num Lock and Ctrl are read only for the keys that
// depend on them.  A movement key costs GetCursorPos, SetCursorPos and
// GetCursorInfo, and its process's first move two GetSystemMetrics more.
TEST_F(KeyboardMouseTest, PlatformCallsPerKey) {
    struct Case {
        int scheme;
        UINT vk;
        long calls;
    };
    const Case cases[] = {
        {0, 'Q', 0},     {0, VK_NUMPAD8, 5}, {0, VK_SUBTRACT, 1}, {3, 'Q', 0}, {4, 'Q', 0},
        {4, VK_NUMPAD8, 5}, {1, 'Q', 0},     {1, VK_LEFT, 6},
    };
    for (const Case& c : cases) {
        SetUp();
        Scheme(c.scheme);
        Ctrl(true);
        d().osCallCount = 0;
        KeyboardMouseKey(c.vk, 1);
        EXPECT_EQ(c.calls, d().osCallCount) << "scheme " << c.scheme << " key " << c.vk;
        Release(c.vk);
        if (c.calls < 5) continue;
        d().osCallCount = 0;
        KeyboardMouseKey(c.vk, 1);
        EXPECT_EQ(c.calls - 2, d().osCallCount) << "second move, scheme " << c.scheme << " key " << c.vk;
    }
}

}  // namespace
