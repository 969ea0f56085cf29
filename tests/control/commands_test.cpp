// WexControl's commands and answers: their syntax as tables of good and bad
// lines, which notifications WexControl answers itself, and the limit on
// starting programs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands.h"
#include "records.h"

namespace {

using control::Answer;
using control::Command;

// Each good line reads back as the printed form, which reads back as
// itself; each bad line is refused with a reason that names what is wrong.
TEST(Commands, GoodLinesReadBackAndBadOnesSayWhy) {
    struct Row {
        const char* line;
        const char* printed;  // nullptr: refused, with `why` in the reason
        const char* why;
    };
    const std::string tooLong = "text \"" + std::string(1001, 'x') + "\"";
    const Row rows[] = {
        {"nothing", "nothing", ""},
        {"  Pause ", "pause", ""},
        {"pause toggle", "pause toggle", ""},
        {"resume", "resume", ""},
        {"dwell DOUBLE", "dwell double", ""},
        {"scroll", "scroll", ""},
        {"scroll stop", "scroll stop", ""},
        {"locate", "locate", ""},
        {"quit", "quit", ""},
        {"run \"C:\\Windows\\System32\\osk.exe\"", "run \"C:\\Windows\\System32\\osk.exe\"", ""},
        {"run \"C:\\Program Files\\A b\\x.exe\"   -n \"two words\"",
         "run \"C:\\Program Files\\A b\\x.exe\" -n \"two words\"", ""},
        {"run \"\\\\server\\share\\tool.exe\"", "run \"\\\\server\\share\\tool.exe\"", ""},
        {"keys Ctrl+Shift+Esc", "keys Ctrl+Shift+Esc", ""},
        {"keys alt + tab", "keys Alt+Tab", ""},
        {"keys Win+D", "keys Win+D", ""},
        {"keys F5", "keys F5", ""},
        {"keys Ctrl+vk 0x41", "keys Ctrl+A", ""},
        {"text \"h\xC3\xA9 \"\"quoted\"\" \xF0\x9F\x98\x80\"",
         "text \"h\xC3\xA9 \"\"quoted\"\" \xF0\x9F\x98\x80\"", ""},
        {"", nullptr, "no command"},
        {"jump", nullptr, "\"jump\" is not a command"},
        {"quit now", nullptr, "takes nothing"},
        {"pause twice", nullptr, "toggle"},
        {"dwell sideways", nullptr, "on, off, toggle"},
        {"scroll up", nullptr, "start"},
        {"run notepad.exe", nullptr, "quoted full path"},
        {"run \"notepad.exe\"", nullptr, "full path"},
        {"run \"C:\\x.exe", nullptr, "quoted full path"},
        {"run \"C:\\x.exe\"-n", nullptr, "space"},
        {"keys", nullptr, "chord"},
        {"keys Ctrl+", nullptr, "\"\" is not a key"},
        {"keys Ctrl+Left+Middle", nullptr, "\"Middle\" is not a key"},
        {"keys Ctrl+Ctrl", nullptr, "twice"},
        {"keys A+B+C+D+E+F+G", nullptr, "at most 6"},
        {"text hello", nullptr, "quoted text"},
        {"text \"\"", nullptr, "something to type"},
        {"text \"a\" b", nullptr, "nothing may follow"},
        {"text \"\xC3\"", nullptr, "UTF-8"},
        {"text \"\xE0\x80\xAF\"", nullptr, "UTF-8"},      // an overlong "/"
        {"text \"\xED\xA0\x80\"", nullptr, "UTF-8"},      // a surrogate
        {"text \"\xF4\x90\x80\x80\"", nullptr, "UTF-8"},  // past U+10FFFF
        {tooLong.c_str(), nullptr, "at most 1000"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        Command command;
        std::string error;
        const bool ok = control::ParseCommand(row.line, &command, &error);
        if (row.printed == nullptr) {
            EXPECT_FALSE(ok);
            EXPECT_NE(std::string::npos, error.find(row.why)) << error;
            continue;
        }
        ASSERT_TRUE(ok) << error;
        const std::string printed = control::PrintCommand(command);
        EXPECT_EQ(row.printed, printed);
        Command again;
        ASSERT_TRUE(control::ParseCommand(printed, &again, &error)) << error;
        EXPECT_EQ(printed, control::PrintCommand(again));
    }
}

// What a command holds once read: a chord's keys in the order they are
// pressed, Unicode text as UTF-16 with its surrogate pair, a program's
// arguments kept as written.
TEST(Commands, WhatTheExecutorGets) {
    Command command;
    std::string error;
    ASSERT_TRUE(control::ParseCommand("keys Ctrl+Shift+Esc", &command, &error));
    EXPECT_EQ((std::vector<int>{0x11, 0x10, 0x1B}), command.keys);
    ASSERT_TRUE(control::ParseCommand("text \"h\xC3\xA9\xF0\x9F\x98\x80\"", &command, &error));
    EXPECT_EQ(u"h\u00E9\U0001F600", command.text);
    ASSERT_TRUE(control::ParseCommand("run \"C:\\a b\\x.exe\" /x \"y z\"", &command, &error));
    EXPECT_EQ("C:\\a b\\x.exe", command.path);
    EXPECT_EQ("/x \"y z\"", command.arguments);
    EXPECT_TRUE(command.StartsProgram());
}

// Answer names: the notifications a binding or gesture causes, with the
// arguments each comes with; the answer for one argument comes before the
// answer for any.
TEST(Answers, NamesArgumentsAndWhichAnswerRuns) {
    struct Row {
        const char* name;
        const char* printed;  // nullptr: refused with `why`
        const char* why;
    };
    const Row rows[] = {
        {"NOTIFY_SIGNAL", "NOTIFY_SIGNAL", ""},
        {"notify_parameter  5", "NOTIFY_PARAMETER 5", ""},
        {"NOTIFY_PARAMETER -7", "NOTIFY_PARAMETER -7", ""},
        {"NOTIFY_PARAMETER", "NOTIFY_PARAMETER", ""},
        {"NOTIFY_SELECT 2", "NOTIFY_SELECT 2", ""},
        {"NOTIFY_PHASE_B 1", "NOTIFY_PHASE_B 1", ""},
        {"NOTIFY_WHEEL_BACKWARD", "NOTIFY_WHEEL_BACKWARD", ""},
        {"NOTIFY_PAUSED_INPUT", "NOTIFY_PAUSED_INPUT", ""},
        {"NOTIFY_PHASE_A", nullptr, "0 (the press) or 1"},
        {"NOTIFY_PHASE_A 2", nullptr, "from 0 to 1"},
        {"NOTIFY_SELECT 3", nullptr, "from 0 to 2"},
        {"NOTIFY_PARAMETER 99999999999", nullptr, "a number"},
        {"NOTIFY_PARAMETER five", nullptr, "a number"},
        {"NOTIFY_WIGGLE 1", nullptr, "takes no argument"},
        {"NOTIFY_HOLD_STARTED", nullptr, "WexControl's own"},
        {"NOTIFY_TYPING_STARTED", nullptr, "WexControl's own"},
        {"NOTIFY_NOTHING", nullptr, "not a notification"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Answer answer;
        std::string error;
        const bool ok = control::ParseAnswerName(row.name, &answer, &error);
        if (row.printed == nullptr) {
            EXPECT_FALSE(ok);
            EXPECT_NE(std::string::npos, error.find(row.why)) << error;
        } else {
            ASSERT_TRUE(ok) << error;
            EXPECT_EQ(row.printed, control::AnswerName(answer));
        }
    }

    std::vector<Answer> answers(3);
    std::string error;
    ASSERT_TRUE(control::ParseAnswerName("NOTIFY_PARAMETER", &answers[0], &error));
    ASSERT_TRUE(control::ParseAnswerName("NOTIFY_PARAMETER 5", &answers[1], &error));
    ASSERT_TRUE(control::ParseAnswerName("NOTIFY_SIGNAL", &answers[2], &error));
    EXPECT_EQ(&answers[1], control::FindAnswer(answers, NOTIFY_PARAMETER, 5));
    EXPECT_EQ(&answers[0], control::FindAnswer(answers, NOTIFY_PARAMETER, 6));
    EXPECT_EQ(&answers[2], control::FindAnswer(answers, NOTIFY_SIGNAL, 0));
    EXPECT_EQ(nullptr, control::FindAnswer(answers, NOTIFY_WIGGLE, 0));
}

// With no answer written, WexControl still chooses dwell types, scrolls,
// finds the pointer and says it is paused; nothing else does anything.
TEST(Answers, WhatWexControlDoesWithoutAnAnswer) {
    struct Row {
        unsigned code;
        long argument;
        const char* command;  // printed; "" for none, "hint" for the paused hint
    };
    const Row rows[] = {
        {NOTIFY_SELECT, 0, "dwell left"},
        {NOTIFY_SELECT, 1, "dwell double"},
        {NOTIFY_SELECT, 2, "dwell right"},
        {NOTIFY_SELECT, 3, ""},
        {NOTIFY_SCROLL_PRESSED, 0, "scroll start"},
        {NOTIFY_SCROLL_RELEASED, 0, "scroll stop"},
        {NOTIFY_WIGGLE, 0, "locate"},
        {NOTIFY_PAUSED_INPUT, 0, "hint"},
        {NOTIFY_SIGNAL, 0, ""},
        {NOTIFY_PARAMETER, 5, ""},
        {NOTIFY_REQUEST, -1, ""},
        {NOTIFY_WHEEL_FORWARD, 0, ""},
    };
    for (const Row& row : rows) {
        Command command;
        bool hint = false;
        const bool has = control::BuiltInAnswer(row.code, row.argument, &command, &hint);
        const std::string got = !has ? "" : hint ? "hint" : control::PrintCommand(command);
        EXPECT_EQ(row.command, got) << row.code << " " << row.argument;
    }
}

// One start per answer in half a second: auto-repeat is refused, another
// answer is not held up, and the time wraps around.
TEST(Answers, AProgramStartsAtMostOncePerHalfSecondPerAnswer) {
    control::RunLimit limit;
    struct Row {
        int key;
        unsigned at;
        bool allowed;
    };
    const Row rows[] = {
        {1, 1000, true},         {1, 1030, false},        {2, 1060, true},        {1, 1499, false},
        {1, 1500, true},         {1, 1990, false},        {1, 2000, true},        {3, 0xFFFFFF00u, true},
        {3, 0xFFFFFFF0u, false}, {3, 0x000000F3u, false}, {3, 0x000000F4u, true},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.allowed, limit.Allow(row.key, row.at)) << row.key << " @" << row.at;
}

}  // namespace
