// WexControl's command line, its logon entry, and when a saved settings file
// is pushed again.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "command_line.h"
#include "kept_totals.h"
#include "reload.h"

namespace {

TEST(CommandLine, AcceptsWhatMakesSenseAndNothingElse) {
    const struct {
        std::vector<std::string> arguments;
        bool good;
        const char* mode;
        const char* file;
        const char* value;  // --autostart's word, --do's command
        bool console;
    } cases[] = {
        {{}, true, "", "", "", false},
        {{"a.ini", "--console", "--log", "l.txt", "--seconds", "5"}, true, "", "a.ini", "", true},
        {{"--check", "a.ini"}, true, "--check", "a.ini", "", false},
        {{"--check"}, false, "", "", "", false},
        {{"--print", "a.ini", "--console"}, false, "", "", "", false},
        {{"--autostart"}, true, "--autostart", "", "", false},
        {{"--autostart", "on", "C:\\s\\a.ini"}, true, "--autostart", "C:\\s\\a.ini", "on", false},
        {{"--autostart", "on"}, false, "", "", "", false},
        {{"--autostart", "off"}, true, "--autostart", "", "off", false},
        {{"--autostart", "off", "a.ini"}, false, "", "", "", false},
        {{"--autostart", "a.ini"}, false, "", "", "", false},
        {{"--autostart", "on", "a.ini", "--seconds", "3"}, false, "", "", "", false},
        {{"--check", "--print", "a.ini"}, false, "", "", "", false},
        {{"a.ini", "b.ini"}, false, "", "", "", false},
        {{"--seconds", "0"}, false, "", "", "", false},
        {{"--log"}, false, "", "", "", false},
        {{"--tray"}, false, "", "", "", false},
        {{"--dwell", "right"}, true, "--do", "", "dwell right", false},
        {{"--do", "keys Ctrl+A"}, true, "--do", "", "keys Ctrl+A", false},
        {{"--do"}, false, "", "", "", false},
        {{"--do", "jump"}, false, "", "", "", false},
        {{"--do", "quit", "--dwell", "on"}, false, "", "", "", false},
        {{"--dwell"}, false, "", "", "", false},
        {{"--dwell", "sideways"}, false, "", "", "", false},
        {{"--dwell", "on", "a.ini"}, false, "", "", "", false},
        {{"--check", "a.ini", "--dwell", "on"}, false, "", "", "", false},
        {{"--which", "C:\\a\\b.exe", "a.ini"}, true, "--which", "a.ini", "C:\\a\\b.exe", false},
        {{"--which", "C:\\a\\b.exe"}, false, "", "", "", false},
        {{"--which"}, false, "", "", "", false},
    };
    for (const auto& c : cases) {
        std::string shown;
        for (const auto& a : c.arguments) shown += a + " ";
        control::Options options;
        std::string error;
        ASSERT_EQ(c.good, control::ParseCommandLine(c.arguments, &options, &error)) << shown << error;
        if (!c.good) continue;
        EXPECT_EQ(c.mode, options.mode) << shown;
        EXPECT_EQ(c.file, options.file) << shown;
        EXPECT_EQ(c.value, options.mode == "--do"      ? options.command
                           : options.mode == "--which" ? options.program
                                                       : options.autostart)
            << shown;
        EXPECT_EQ(c.console, options.console) << shown;
    }
    control::Options options;
    std::string error;
    EXPECT_FALSE(control::ParseCommandLine({"--seconds", "x"}, &options, &error));
    EXPECT_EQ("--seconds takes a whole number from 1 to 86400", error);
    EXPECT_FALSE(control::ParseCommandLine({"--tray"}, &options, &error));
    EXPECT_EQ("unknown option --tray", error);
    EXPECT_FALSE(control::ParseCommandLine({"--do", "run \"notepad.exe\""}, &options, &error));
    EXPECT_EQ("--do: \"run\" needs a full path (\"C:\\...\"), not \"notepad.exe\"", error);
}

TEST(CommandLine, TheLogonEntryGivesBackItsFileAndOnlyItsOwn) {
    const std::string program = "C:\\Program Files\\WexUTIL\\WexControl.exe";
    const std::string file = "C:\\Users\\a b\\my settings.ini";
    const std::string command = control::StartCommand(program, file);
    EXPECT_EQ("\"" + program + "\" \"" + file + "\"", command);
    EXPECT_EQ(file, control::FileOfStartCommand(command));
    for (const char* other : {"", "\"", "C:\\x.exe a.ini", "\"C:\\x.exe\"", "\"C:\\x.exe\" a.ini",
                              "\"C:\\x.exe\" \"a.ini", "\"C:\\x.exe\" \"a.ini\" --console"}) {
        EXPECT_EQ("", control::FileOfStartCommand(other)) << other;
    }
}

TEST(Reload, OneReloadPerRealChangeAndABadFileChangesNothing) {
    const std::string good = "[bindings]\nF9 = ACTION_PAUSE\n";
    const std::string better = "[bindings]\nF9 = ACTION_PAUSE\nF10 = ACTION_COPY\n";
    const std::string bad = "[bindings]\nF9 = ACTION_PAUSE\nF10 = ACTION_NONSENSE\n";
    using control::Reload;
    const struct {
        const char* what;
        bool readable;
        std::string text;
        bool asked;
        Reload expected;
        int rows;  // of the config pushed, for kApply
    } steps[] = {
        {"saved without a change", true, good, false, Reload::kNone, 0},
        {"gone while an editor replaces it", false, "", false, Reload::kNone, 0},
        {"emptied before it is written", true, "", false, Reload::kNone, 0},
        {"a new text", true, better, false, Reload::kApply, 2},
        {"the same text written again", true, better, false, Reload::kNone, 0},
        {"a bad text", true, bad, false, Reload::kReject, 0},
        {"the bad text saved again", true, bad, false, Reload::kNone, 0},
        {"put back as it was", true, good, false, Reload::kApply, 1},
        {"asked for, unchanged", true, good, true, Reload::kApply, 1},
        {"asked for, bad", true, bad, true, Reload::kReject, 0},
        {"asked for, unreadable", false, "", true, Reload::kUnreadable, 0},
        {"asked for, empty", true, "", true, Reload::kApply, 0},
    };
    control::SettingsWatch watch(good);
    for (const auto& s : steps) {
        control::Config config;
        config.settings.bindingCount = -1;
        std::vector<control::Problem> problems;
        EXPECT_EQ(s.expected, watch.Check(s.readable, s.text, s.asked, &config, &problems)) << s.what;
        EXPECT_EQ(s.expected == Reload::kReject, !problems.empty()) << s.what;
        EXPECT_EQ(s.expected == Reload::kApply ? s.rows : -1, config.settings.bindingCount) << s.what;
    }
}

// The totals in the statistics file across a run: a file in use at the
// start is neither lost nor written over; once it can be read, its totals
// are added to everything counted, before the save that replaces it.
TEST(KeptTotals, AFileInUseIsAddedOnceItCanBeReadAndNeverWrittenOverBefore) {
    using control::TotalsRead;
    control::Totals file;
    file.library.leftClicks = 40;
    file.library.reserved[1] = 7;
    file.library.distance = 2.5;
    file.dwell.right = 3;
    control::Totals counted;
    counted.library.leftClicks = 2;
    counted.library.distance = 1.0;
    counted.dwell.right = 1;
    const struct {
        const char* what;
        TotalsRead atStart;
        std::vector<TotalsRead> beforeSaves;  // one read before each save, while pending
        std::vector<bool> saved;
        unsigned pushed;  // leftClicks pushed at the start
        unsigned total;   // leftClicks of the totals saved at the end
    } cases[] = {
        {"read at the start", TotalsRead::kRead, {TotalsRead::kRead}, {true}, 40, 2},
        {"no file yet", TotalsRead::kMissing, {TotalsRead::kMissing}, {true}, 0, 2},
        {"bad", TotalsRead::kBad, {TotalsRead::kBad}, {true}, 0, 2},
        {"in use, then free", TotalsRead::kLocked, {TotalsRead::kLocked, TotalsRead::kRead}, {false, true}, 0, 42},
        {"in use, then gone", TotalsRead::kLocked, {TotalsRead::kMissing, TotalsRead::kRead}, {true, true}, 0, 2},
        {"in use to the end", TotalsRead::kLocked, {TotalsRead::kLocked, TotalsRead::kLocked}, {false, false}, 0, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        control::KeptTotals kept;
        EXPECT_EQ(c.pushed, kept.Start(c.atStart, file).library.leftClicks);
        for (size_t i = 0; i < c.beforeSaves.size(); ++i) {
            EXPECT_EQ(c.saved[i], kept.BeforeSave(c.beforeSaves[i], file)) << i;
        }
        const control::Totals total = kept.Current(counted);
        EXPECT_EQ(c.total, total.library.leftClicks);
        if (c.total == 42) {
            EXPECT_EQ(3.5, total.library.distance);
            EXPECT_EQ(7u, total.library.reserved[1]);
            EXPECT_EQ(4u, total.dwell.right);
        }
    }
}

TEST(KeptTotals, ABadFileIsMovedAsideToANameOfItsOwn) {
    std::vector<std::string> taken;
    const auto exists = [&taken](const std::string& name) {
        return std::find(taken.begin(), taken.end(), name) != taken.end();
    };
    EXPECT_EQ("t.ini.bad", control::FreeBadName("t.ini", exists));
    taken = {"t.ini.bad", "t.ini.bad.1"};
    EXPECT_EQ("t.ini.bad.2", control::FreeBadName("t.ini", exists));
    EXPECT_EQ("", control::FreeBadName("t.ini", [](const std::string&) { return true; }));
}

}  // namespace
