// The controlling program's call after a button has been held long enough.
#include "action_test.h"

namespace {

class PressAndHoldTest : public ActionTest {
protected:
    void Use(HookSettings s) { UpdateSettings(&s); }
};

TEST_F(PressAndHoldTest, TheFirstRowForTheHoldAndTheModifiersWins) {
    Use(SettingsWith({{ACTION_NOTIFY_13_0, TRIGGER_HOLD_LEFT, 0},
                      {ACTION_NOTIFY_13_1, TRIGGER_HOLD_LEFT, MODIFIER_SHIFT},
                      {ACTION_NOTIFY_13_2, TRIGGER_HOLD_LEFT, MODIFIER_SHIFT}}));
    d().SetKeyDown(VK_LBUTTON, true);
    d().SetKeyDown(VK_SHIFT, true);
    EXPECT_EQ(1, PressAndHoldCallBack(VK_LBUTTON));
    EXPECT_EQ((sim::Lines{"mouse LEFTUP", Notify(13, 1)}), d().TakeTrace());
    d().SetKeyDown(VK_SHIFT, false);
    d().SetKeyDown(VK_LBUTTON, true);
    EXPECT_EQ(1, PressAndHoldCallBack(VK_LBUTTON));
    EXPECT_EQ((sim::Lines{"mouse LEFTUP", Notify(13, 0)}), d().TakeTrace());
}

TEST_F(PressAndHoldTest, NothingHappensWithoutAHeldButtonOrAMatchingRow) {
    Use(SettingsWith({{ACTION_NOTIFY_8, TRIGGER_HOLD_MIDDLE, MODIFIER_CTRL}}));
    // Released before the delay ran out.
    d().SetKeyDown(VK_CONTROL, true);
    EXPECT_EQ(0, PressAndHoldCallBack(VK_MBUTTON));
    // Held, but the modifiers changed during the hold: the button stays down.
    d().SetKeyDown(VK_CONTROL, false);
    d().SetKeyDown(VK_MBUTTON, true);
    EXPECT_EQ(0, PressAndHoldCallBack(VK_MBUTTON));
    EXPECT_EQ(sim::Lines{}, d().TakeTrace());
    EXPECT_TRUE(d().KeyDown(VK_MBUTTON));
    d().SetKeyDown(VK_CONTROL, true);
    EXPECT_EQ(1, PressAndHoldCallBack(VK_MBUTTON));
    EXPECT_EQ((sim::Lines{"mouse MIDDLEUP", Notify(8, 0)}), d().TakeTrace());
}

TEST_F(PressAndHoldTest, AKeyCodeIsItsOwnTriggerWithNothingReleased) {
    Use(SettingsWith({{ACTION_NOTIFY_10, 66, 0, 1}, {ACTION_NOTIFY_10, 65, 0, 2}}));
    EXPECT_EQ(1, PressAndHoldCallBack(65));
    EXPECT_EQ(sim::Lines{Notify(10, 2)}, d().TakeTrace());
}

TEST_F(PressAndHoldTest, OnlyRowsInUseAreSearched) {
    HookSettings s = SettingsWith({{ACTION_NOTIFY_8, 70}});
    s.bindings[1] = {ACTION_NOTIFY_0, 0, 65, 0, 0};
    s.bindings[29] = {ACTION_NOTIFY_10, 9, 66, 0, 0};
    Use(s);
    EXPECT_EQ(0, PressAndHoldCallBack(65));
    for (int count : {0, -5, INT32_MIN}) {
        s.bindingCount = count;
        Use(s);
        EXPECT_EQ(0, PressAndHoldCallBack(70));
    }
    s.bindingCount = 1000;  // clamped to the 30 rows of the table
    Use(s);
    EXPECT_EQ(1, PressAndHoldCallBack(66));
    EXPECT_EQ(sim::Lines{Notify(10, 9)}, d().TakeTrace());
}

TEST_F(PressAndHoldTest, AChordCompletesInsteadOfLeavingKeysDown) {
    Use(SettingsWith({{ACTION_COPY, TRIGGER_HOLD_RIGHT, MODIFIER_ALT}}));
    d().SetKeyDown(VK_RBUTTON, true);
    d().SetKeyDown(VK_MENU, true);
    EXPECT_EQ(1, PressAndHoldCallBack(VK_RBUTTON));
    EXPECT_EQ((sim::Lines{"mouse RIGHTUP", KeyUp(VK_MENU), KeyDown(VK_CONTROL), KeyDown('C'),
                          KeyUp(VK_CONTROL), KeyUp('C')}),
              d().TakeTrace());
    EXPECT_FALSE(AnyKeyDown());
}

TEST_F(PressAndHoldTest, ReleaseOnlyActionsDoNothingAndRefusedActionsReturnZero) {
    Target("caption", HTCAPTION);
    d().cursor = {150, 150};
    Use(SettingsWith({{ACTION_CYCLE_WINDOWS, TRIGGER_HOLD_LEFT},
                      {ACTION_TASK_LIST, TRIGGER_HOLD_RIGHT},
                      {ACTION_CTRL_CLICK, TRIGGER_HOLD_MIDDLE}}));
    d().SetKeyDown(VK_LBUTTON, true);
    d().SetKeyDown(VK_RBUTTON, true);
    d().SetKeyDown(VK_MBUTTON, true);
    EXPECT_EQ(1, PressAndHoldCallBack(VK_LBUTTON));
    EXPECT_EQ(1, PressAndHoldCallBack(VK_RBUTTON));
    // Ctrl+click over a caption refuses: the middle button is released all
    // the same, and nothing else is injected.
    EXPECT_EQ(0, PressAndHoldCallBack(VK_MBUTTON));
    EXPECT_EQ((sim::Lines{"mouse LEFTUP", "mouse RIGHTUP", "mouse MIDDLEUP",
                          Send("caption", WM_NCHITTEST, 0, 0x960096)}),
              d().TakeTrace());
    EXPECT_FALSE(AnyKeyDown());
}

}  // namespace
