// The names the controlling program reads in settings files and writes in
// its log.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "names.h"

namespace {

using control::ActionName;
using control::ParseAction;
using control::ParseTrigger;
using control::TriggerName;

TEST(Names, EveryTriggerCodeHasANameThatReadsBackAsTheSameCode) {
    for (int code = 1; code <= 255; ++code) {
        const std::string name = TriggerName(code);
        EXPECT_EQ(code, ParseTrigger(name)) << name;
    }
}

TEST(Names, TriggersByTheirWords) {
    const struct {
        const char* text;
        int trigger;
    } cases[] = {
        {"left", 1},
        {"Right", 2},
        {"MIDDLE", 4},
        {"chord  left right", TRIGGER_CHORD_LEFT_RIGHT},
        {"chord left middle", TRIGGER_CHORD_LEFT_MIDDLE},
        {"chord right middle", TRIGGER_CHORD_RIGHT_MIDDLE},
        {"hold left", TRIGGER_HOLD_LEFT},
        {"hold right", TRIGGER_HOLD_RIGHT},
        {"hold middle", TRIGGER_HOLD_MIDDLE},
        {"wheel", TRIGGER_WHEEL},
        {"extra 1", TRIGGER_EXTRA_BUTTON},
        {"extra 2", TRIGGER_EXTRA_BUTTON_BIT4},
        {"vendor button", TRIGGER_VENDOR_BUTTON},
        {"F9", 0x78},
        {"a", 'A'},
        {"Numpad5", 0x65},
        {"ArrowLeft", 0x25},
        {"Enter", 0x0D},
        {"vk 0x88", 0x88},
        {"vk 136", 0x88},
        // Not triggers.
        {"F25", -1},
        {"F09", -1},
        {"Numpad10", -1},
        {"vk 0", -1},
        {"vk 256", -1},
        {"vk -1", -1},
        {"hold", -1},
        {"leftt", -1},
    };
    for (const auto& c : cases) EXPECT_EQ(c.trigger, ParseTrigger(c.text)) << c.text;
}

#define NAMED(code) \
    { code, #code }
TEST(Names, ActionsByTheNamesOfThePublicHeader) {
    const struct {
        int code;
        const char* name;
    } actions[] = {
        NAMED(ACTION_CLICK_AT_CURSOR),
        NAMED(ACTION_RUN_NOTEPAD),
        NAMED(ACTION_RUN_WRITE),
        NAMED(ACTION_RUN_PBRUSH),
        NAMED(ACTION_RUN_CALC),
        NAMED(ACTION_RUN_SOL),
        NAMED(ACTION_RUN_CHARMAP),
        NAMED(ACTION_START_SCREEN_SAVER),
        NAMED(ACTION_RUN_CONTROL),
        NAMED(ACTION_CENTER_CURSOR),
        NAMED(ACTION_NOTIFY_13_0),
        NAMED(ACTION_NOTIFY_13_1),
        NAMED(ACTION_NOTIFY_13_2),
        NAMED(ACTION_TAP_1),
        NAMED(ACTION_TAP_2),
        NAMED(ACTION_TAP_SPACE),
        NAMED(ACTION_TAP_ENTER),
        NAMED(ACTION_NOTIFY_5),
        NAMED(ACTION_NOTIFY_8),
        NAMED(ACTION_NOTIFY_6),
        NAMED(ACTION_PAUSE),
        NAMED(ACTION_SWALLOW),
        NAMED(ACTION_NOTIFY_10),
        NAMED(ACTION_NOTIFY_14_15),
        NAMED(ACTION_SCROLL),
        NAMED(ACTION_CTRL_CLICK),
        NAMED(ACTION_NOTIFY_0),
        NAMED(ACTION_CLOSE_WINDOW),
        NAMED(ACTION_RUN_EXPLORER),
        NAMED(ACTION_NOTIFY_25),
        NAMED(ACTION_CYCLE_WINDOWS),
        NAMED(ACTION_CUT),
        NAMED(ACTION_COPY),
        NAMED(ACTION_PASTE),
        NAMED(ACTION_BACK),
        NAMED(ACTION_FORWARD),
        NAMED(ACTION_BACKSPACE),
        NAMED(ACTION_CLEAR),
        NAMED(ACTION_MAXIMIZE),
        NAMED(ACTION_MINIMIZE),
        NAMED(ACTION_PAGE_UP),
        NAMED(ACTION_PAGE_DOWN),
        NAMED(ACTION_MINIMIZE_2),
        NAMED(ACTION_TASK_LIST),
        NAMED(ACTION_ESCAPE),
    };
    ASSERT_EQ(static_cast<size_t>(ACTION_COUNT), sizeof actions / sizeof *actions);
    for (const auto& a : actions) {
        EXPECT_EQ(a.name, ActionName(a.code));
        EXPECT_EQ(a.code, ParseAction(a.name));
        EXPECT_EQ(a.code, ParseAction(std::string(a.name).substr(7))) << "without the prefix";
    }
    EXPECT_EQ(ACTION_COPY, ParseAction("action_copy"));
    EXPECT_EQ(-1, ParseAction("ACTION_COPYY"));
    EXPECT_EQ(-1, ParseAction("ACTION_"));
    EXPECT_EQ(-1, ParseAction("45"));
    EXPECT_EQ("45", ActionName(45));
    EXPECT_EQ("-1", ActionName(-1));
}

TEST(Names, NotificationsInWords) {
    const struct {
        unsigned code;
        long argument;
        const char* text;
    } cases[] = {
        {NOTIFY_BUTTON, 2, "NOTIFY_BUTTON left press"},
        {NOTIFY_BUTTON, 6, "NOTIFY_BUTTON right release"},
        {NOTIFY_BUTTON, 8, "NOTIFY_BUTTON left double-click"},
        {NOTIFY_BUTTON, 10, "NOTIFY_BUTTON middle double-click"},
        {NOTIFY_BUTTON, 11, "NOTIFY_BUTTON argument 11"},
        {NOTIFY_BUTTON, 1, "NOTIFY_BUTTON argument 1"},
        {NOTIFY_HOLD_STARTED, 2, "NOTIFY_HOLD_STARTED right"},
        {NOTIFY_HOLD_STARTED, 4, "NOTIFY_HOLD_STARTED middle"},
        {NOTIFY_HOLD_STARTED, 3, "NOTIFY_HOLD_STARTED argument 3"},
        {NOTIFY_PAUSE, 0, "NOTIFY_PAUSE press"},
        {NOTIFY_PHASE_A, 1, "NOTIFY_PHASE_A release"},
        {NOTIFY_PARAMETER, -7, "NOTIFY_PARAMETER -7"},
        {NOTIFY_COMMAND, -1, "NOTIFY_COMMAND"},
        {NOTIFY_TYPING_STARTED, 0, "NOTIFY_TYPING_STARTED"},
        {NOTIFY_WHEEL_BACKWARD, 3, "NOTIFY_WHEEL_BACKWARD argument 3"},
        {1, 0, "NOTIFY 1 argument 0"},
        {0xFFFFFFFFu, 5, "NOTIFY 4294967295 argument 5"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.text, control::NotificationText(c.code, c.argument));
}

TEST(Names, CapturedInputInWords) {
    const struct {
        unsigned message;
        long argument;
        const char* text;
    } cases[] = {
        {0x100, 0x78, "WM_HOOK_CAPTURE WM_KEYDOWN F9"},
        {0x101, 0x11, "WM_HOOK_CAPTURE WM_KEYUP Ctrl"},
        {0x101, 0x1FF, "WM_HOOK_CAPTURE WM_KEYUP vk 0x1FF"},
        {0x200, 0x00C8012C, "WM_HOOK_CAPTURE WM_MOUSEMOVE (300, 200)"},
        {0xA1, static_cast<long>(0xFFF60005u), "WM_HOOK_CAPTURE WM_NCLBUTTONDOWN (5, -10)"},
        {0x1234, 0x00010002, "WM_HOOK_CAPTURE message 0x1234 (2, 1)"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.text, control::CaptureText(c.message, c.argument));
}

}  // namespace
