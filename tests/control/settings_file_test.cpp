// The settings file and the statistics file: every field and binding word,
// every kind of error with its line, and the round trip through --print.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "names.h"
#include "profiles.h"
#include "settings_file.h"

namespace {

using control::Config;
using control::Problem;

Config Parse(const std::string& text, std::vector<Problem>* problems) {
    return control::ParseSettings(text, problems);
}

// Parses text that must have no problems.
Config ParseGood(const std::string& text) {
    std::vector<Problem> problems;
    Config config = Parse(text, &problems);
    EXPECT_EQ("", control::DescribeProblems("f", problems)) << text;
    return config;
}

bool SameRecord(const HookSettings& a, const HookSettings& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Reading what was printed gives the same record and prints the same text.
void ExpectRoundTrip(const Config& config) {
    const std::string printed = control::PrintSettings(config);
    const Config again = ParseGood(printed);
    EXPECT_TRUE(SameRecord(config.settings, again.settings)) << printed;
    EXPECT_EQ(config.program.holdDelay, again.program.holdDelay);
    EXPECT_EQ(config.program.statistics, again.program.statistics);
    EXPECT_EQ(config.dwell.time, again.dwell.time);
    EXPECT_EQ(config.dwell.click, again.dwell.click);
    EXPECT_EQ(config.program.wiggleRearm, again.program.wiggleRearm);
    EXPECT_EQ(config.answers.size(), again.answers.size());
    EXPECT_EQ(printed, control::PrintSettings(again));
}

std::string ReadExample() {
    std::ifstream in(WEXCONTROL_EXAMPLE, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(SettingsFile, EveryFieldByItsNameLandsAtItsOffset) {
    // The record's layout, written out here from the interface.
    const struct {
        const char* line;
        size_t offset;
        int value;
    } fields[] = {
        {"captureMode = 1", 0x000, 1},
        {"copyWatch = on", 0x004, 1},
        {"copySeen = yes", 0x008, 1},
        {"cornerAEnabled = true", 0x00C, 1},
        {"cornerAPosition = bottom-right", 0x010, 6},
        {"action29Bypass = 1", 0x014, 1},
        {"rightButtonFilter = 1", 0x018, 1},
        {"wiggleDetect = 1", 0x01C, 1},
        {"clickWiggleSensitivity = 13", 0x020, 13},
        {"moveWiggleSensitivity = 11", 0x024, 11},
        {"rememberButtonClicks = 1", 0x028, 1},
        {"reserved1 = -2147483648", 0x02C, -2147483647 - 1},
        {"edgeWrap = 1", 0x030, 1},
        {"edgeWrapEdges = top, right", 0x034, 10},
        {"edgeWrapNeedsShift = 1", 0x038, 1},
        {"trackDistance = 1", 0x03C, 1},
        {"keyboardMouse = 1", 0x040, 1},
        {"keyboardMouseKeys = 4", 0x044, 4},
        {"keyboardMouseAccel = 1", 0x048, 1},
        {"keyboardMouseStep = 0x10", 0x04C, 16},
        {"cornerB = top-right", 0x050, 2},
        {"typingWatch = 1", 0x054, 1},
        {"reserved2 = 0x7FFFFFFF", 0x2B4, 0x7FFFFFFF},
        {"singleClickDesktop = 1", 0x2B8, 1},
        {"singleClickFolders = 1", 0x2BC, 1},
        {"singleClickTrees = 1", 0x2C0, 1},
        {"vendorWheel = 1", 0x2C4, 1},
        {"PAUSELOCK = 1", 0x2C8, 1},
    };
    std::string text = "[Settings]\n";
    HookSettings expected{};
    for (const auto& f : fields) {
        text += std::string(f.line) + "\n";
        std::memcpy(reinterpret_cast<char*>(&expected) + f.offset, &f.value, 4);
    }
    const Config config = ParseGood(text);
    EXPECT_TRUE(SameRecord(expected, config.settings));
    ExpectRoundTrip(config);
}

TEST(SettingsFile, BindingLinesBecomeRowsInOrder) {
    const Config config = ParseGood(
        "[bindings]\n"
        "right + Ctrl = ACTION_COPY\n"
        "hold right=ACTION_NOTIFY_8   ; a comment\n"
        "  Numpad5 + alt + SHIFT + control = notify_10 -7\n"
        "wheel = ACTION_SCROLL\n");
    const Binding expected[] = {
        {ACTION_COPY, 0, 2, MODIFIER_CTRL, 0},
        {ACTION_NOTIFY_8, 0, TRIGGER_HOLD_RIGHT, 0, 0},
        {ACTION_NOTIFY_10, -7, 0x65, MODIFIER_SHIFT | MODIFIER_CTRL | MODIFIER_ALT, 0},
        {ACTION_SCROLL, 0, TRIGGER_WHEEL, 0, 0},
    };
    HookSettings record{};
    record.bindingCount = 4;
    std::memcpy(record.bindings, expected, sizeof expected);
    EXPECT_TRUE(SameRecord(record, config.settings));
    EXPECT_NE(std::string::npos,
              control::PrintSettings(config).find("Numpad5 + Shift + Ctrl + Alt = ACTION_NOTIFY_10 -7\n"));
}

TEST(SettingsFile, ProgramDwellAndAnswerOptions) {
    const Config defaults = ParseGood("");
    EXPECT_EQ(500, defaults.program.holdDelay);
    EXPECT_EQ("", defaults.program.statistics);
    EXPECT_EQ(300, defaults.program.saveEvery);
    EXPECT_FALSE(defaults.dwell.enabled);
    EXPECT_EQ(1000, defaults.dwell.time);
    EXPECT_TRUE(defaults.dwell.chooser && defaults.dwell.ring && !defaults.dwell.sound);
    EXPECT_EQ(5, defaults.program.wiggleRearm);
    EXPECT_TRUE(defaults.answers.empty());
    // A byte-order mark, and a ";" inside quotes that is no comment.
    const Config config = ParseGood(
        "\xEF\xBB\xBF[WexControl]\nholdDelay = 0\nstatistics = C:\\totals\\wex stats.ini\nsaveEvery = 0\n"
        "wiggleRearm = 0\n"
        "[dwell]\nenabled = on\ntime = 200\nradius = 50\nrearm = 50\nsettle = 0\nclick = drag\nsticky = yes\n"
        "chooser = off\nring = off\nsound = on\n"
        "[answers]\nNOTIFY_SIGNAL = run \"C:\\a;b\\osk.exe\" ; the keyboard\n"
        "notify_parameter 3 = text \"h\xC3\xA9; \"\n");
    EXPECT_EQ(0, config.program.holdDelay);
    EXPECT_EQ("C:\\totals\\wex stats.ini", config.program.statistics);
    EXPECT_EQ(0, config.program.saveEvery);
    const control::DwellSettings& d = config.dwell;
    EXPECT_TRUE(d.enabled && d.sticky && !d.chooser && !d.ring && d.sound);
    EXPECT_EQ(200, d.time);
    EXPECT_EQ(50, d.radius);
    EXPECT_EQ(50, d.rearm);
    EXPECT_EQ(0, d.settle);
    EXPECT_EQ(control::DwellType::kDrag, d.click);
    EXPECT_EQ(0, config.program.wiggleRearm);
    ASSERT_EQ(2u, config.answers.size());
    EXPECT_EQ("run \"C:\\a;b\\osk.exe\"", control::PrintCommand(config.answers[0].command));
    EXPECT_EQ(18, config.answers[0].line);
    EXPECT_EQ(NOTIFY_PARAMETER, config.answers[1].code);
    EXPECT_EQ(3, config.answers[1].argument);
    EXPECT_EQ(u"h\u00E9; ", config.answers[1].command.text);
    ExpectRoundTrip(config);
}

TEST(SettingsFile, TheExampleReadsCleanlyUsesEveryKindOfTriggerAndRoundTrips) {
    const std::string text = ReadExample();
    ASSERT_FALSE(text.empty()) << WEXCONTROL_EXAMPLE;
    const Config config = ParseGood(text);
    std::set<int> triggers;
    for (int i = 0; i < config.settings.bindingCount; ++i)
        triggers.insert(config.settings.bindings[i].trigger);
    for (int kind : {2, 4, 245, 246, 247, 248, 250, 251, 252, 253, 254, 255, 0x78, 0x65, 0x88}) {
        EXPECT_TRUE(triggers.count(kind)) << "no row with trigger " << kind;
    }
    // Every notification a binding or gesture causes is answered, but the
    // paused hint, which is WexControl's own.
    for (unsigned code : {NOTIFY_COMMAND, NOTIFY_PHASE_A, NOTIFY_PHASE_B, NOTIFY_SIGNAL, NOTIFY_WIGGLE,
                          NOTIFY_PARAMETER, NOTIFY_WHEEL_FORWARD, NOTIFY_WHEEL_BACKWARD, NOTIFY_SELECT,
                          NOTIFY_SCROLL_PRESSED, NOTIFY_SCROLL_RELEASED, NOTIFY_REQUEST}) {
        for (long argument : {0L, 1L}) {
            EXPECT_NE(nullptr, control::FindAnswer(config.answers, code, argument)) << code << " " << argument;
        }
    }
    EXPECT_EQ(nullptr, control::FindAnswer(config.answers, NOTIFY_PAUSED_INPUT, 0));
    // Every field of the record is set and explained in the example.
    const std::string printed = control::PrintSettings(config);
    const size_t from = printed.find("[settings]");
    std::istringstream lines(printed.substr(from, printed.find("[bindings]") - from));
    std::string line;
    while (std::getline(lines, line)) {
        const size_t equals = line.find(" = ");
        if (equals == std::string::npos) continue;
        EXPECT_NE(std::string::npos, text.find("\n" + line.substr(0, equals) + " = ")) << line;
    }
    ExpectRoundTrip(config);
}

TEST(SettingsFile, EveryRowShapeRoundTrips) {
    Config config;
    HookSettings& s = config.settings;
    s.bindingCount = WEXUTIL_BINDING_ROWS;
    for (int i = 0; i < WEXUTIL_BINDING_ROWS; ++i) {
        // Triggers across keys and the synthetic codes, every modifier
        // mask, every action, parameters of both signs.
        s.bindings[i].trigger = i < 11 ? 245 + i : 1 + i * 8;
        s.bindings[i].modifiers = i % 8;
        s.bindings[i].action = (i * 7) % ACTION_COUNT;
        s.bindings[i].parameter = i % 3 == 0 ? 0 : (i % 2 ? -i * 1000 : i);
    }
    s.cornerAPosition = 2;  // a number that names no corner
    s.edgeWrapEdges = 15;
    config.program.holdDelay = 60000;
    ExpectRoundTrip(config);
}

TEST(SettingsFile, BadLinesAreReportedWithTheirLineNumbers) {
    const struct {
        const char* text;
        const char* report;
    } cases[] = {
        {"[settings]\ncaptureMod = 1\n", "f:2: unknown field \"captureMod\" in [settings]\n"},
        {"\n\n[bindings]\nF9 = ACTION_PAUS\n", "f:4: unknown action \"ACTION_PAUS\"\n"},
        {"[bindings]\nF99 = ACTION_PAUSE\n", "f:2: unknown key or trigger \"F99\"\n"},
        {"[bindings]\nF9 + Win = ACTION_PAUSE\n",
         "f:2: unknown modifier \"Win\" (modifiers: Shift, Ctrl, Alt)\n"},
        {"[bindings]\nF9 + Ctrl + control = ACTION_PAUSE\n", "f:2: modifier \"control\" given twice\n"},
        {"[bindings]\nF9 =\n", "f:2: an action is missing after \"=\"\n"},
        {"[bindings]\nF9 = ACTION_NOTIFY_10 seven\n",
         "f:2: the parameter must be a whole number, found \"seven\"\n"},
        {"[bindings]\nF9 = ACTION_NOTIFY_10 4294967296\n",
         "f:2: the parameter must be a whole number, found \"4294967296\"\n"},
        {"[settings]\nkeyboardMouseKeys = 5\n",
         "f:2: keyboardMouseKeys: value 5 out of range (from 0 to 4)\n"},
        {"[settings]\nreserved1 = 2147483648\n",
         "f:2: reserved1: value 2147483648 out of range (from -2147483648 to 2147483647)\n"},
        {"[settings]\ncaptureMode = 2\n",
         "f:2: captureMode: expected 0 or 1 (or on/off, yes/no, true/false), found \"2\"\n"},
        {"[settings]\nkeyboardMouseStep = 8px\n",
         "f:2: keyboardMouseStep: expected a whole number, found \"8px\"\n"},
        {"[settings]\ncornerB = middle\n",
         "f:2: cornerB: expected a whole number or none, top-left, top-right, bottom-left, bottom-right, "
         "found "
         "\"middle\"\n"},
        {"[settings]\nedgeWrapEdges = top middle\n",
         "f:2: edgeWrapEdges: unknown edge \"middle\" (edges: bottom, top, left, right)\n"},
        {"[settings]\ncopyWatch = 1\ncopywatch = 0\n",
         "f:3: field copyWatch given twice (first on line 2)\n"},
        {"[settings]\nbindingCount = 3\n",
         "f:2: bindingCount cannot be set: the rows are the lines of [bindings], pushed with held 0\n"},
        {"[keys]\nF9 = ACTION_PAUSE\n",
         "f:1: unknown section [keys] (sections: [settings], [bindings], [WexControl], [dwell], [answers], "
         "[profile NAME])\n"},
        {"[profile web]\nprograms = a.exe\nkeyboardMouse = 2\n",
         "f:3: keyboardMouse: expected 0 or 1 (or on/off, yes/no, true/false), found \"2\"\n"},
        {"[profile web]\nprograms = a.exe\npauseLock = 1\n",
         "f:3: pauseLock applies to every program: set it in [settings]\n"},
        {"[profile web]\nprograms = a.exe\nmiddel = ACTION_PASTE\n",
         "f:3: neither a [settings] field, a [dwell] option nor a binding: unknown key or trigger \"middel\"\n"},
        {"[profile web]\nsingleClickTrees = 1\n", "f:1: profile \"web\" has no programs line\n"},
        {"[profile]\n", "f:1: a profile needs a name: [profile NAME]\n"},
        {"[profile a]\nprograms = a.exe\n[profile A]\nprograms = b.exe\n",
         "f:3: profile \"A\" given twice (first on line 1)\n"},
        {"[profile web]\nprograms = \"C:\\Program Files\\a.exe\n", "f:2: programs: a quote is not closed\n"},
        {"[profile web]\nprograms = a<b.exe\n",
         "f:2: programs: pattern \"a<b.exe\": a program's name or path cannot hold \"<\"\n"},
        {"[profile web]\nprograms = a.exe\nprograms = b.exe\n", "f:3: programs given twice (first on line 2)\n"},
        {"[profile web]\nprograms = a.exe\ntime = 10\n", "f:3: time: expected ms from 200 to 5000, found \"10\"\n"},
        {"captureMode = 1\n", "f:1: a line outside any section\n"},
        {"[settings\n", "f:1: a section name must end with \"]\"\n"},
        {"[settings]\ncaptureMode\n", "f:2: expected \"name = value\", found \"captureMode\"\n"},
        {"[settings]\n= 1\n", "f:2: a name is missing before \"=\"\n"},
        {"[WexControl]\nholdDelay = 60001\n",
         "f:2: holdDelay: expected milliseconds from 0 to 60000, found \"60001\"\n"},
        {"[WexControl]\nholdDelay = 1\nholdDelay = 2\n", "f:3: holdDelay given twice (first on line 2)\n"},
        {"[WexControl]\nlog = x\n",
         "f:2: unknown option \"log\" in [WexControl] (options: holdDelay, statistics, saveEvery, wiggleRearm)\n"},
        {"[WexControl]\nwiggleRearm = 3601\n",
         "f:2: wiggleRearm: expected seconds from 0 to 3600, found \"3601\"\n"},
        {"[answers]\nNOTIFY_BUTTON = quit\n", "f:2: NOTIFY_BUTTON is WexControl's own to answer\n"},
        {"[answers]\nNOTIFY_SELECT 1 = dwell up\n",
         "f:2: NOTIFY_SELECT 1: \"dwell\" takes on, off, toggle, left, double, right, middle or drag\n"},
        {"[answers]\nNOTIFY_SELECT 1 = locate\nnotify_select  1 = menu\n",
         "f:3: an answer to NOTIFY_SELECT 1 given twice (first on line 2)\n"},
        {"[answers]\nNOTIFY_SIGNAL = text \"unclosed ; here\n",
         "f:2: NOTIFY_SIGNAL: \"text\" takes a quoted text: text \"...\"\n"},
        {"[WexControl]\nsaveEvery = -1\n", "f:2: saveEvery: expected seconds from 0 to 86400, found \"-1\"\n"},
        {"[dwell]\ntime = 100\n", "f:2: time: expected ms from 200 to 5000, found \"100\"\n"},
        {"[dwell]\nradius = 10\nrearm = 5\n", "f:3: rearm: 5 px is less than radius (10 px)\n"},
        {"[dwell]\nclick = off\n", "f:2: click: expected left, double, right, middle or drag, found \"off\"\n"},
        {"[dwell]\nsound = loud\n",
         "f:2: sound: expected on or off (or 1/0, yes/no, true/false), found \"loud\"\n"},
        {"[dwell]\nring = on\nRing = off\n", "f:3: dwell Ring given twice (first on line 2)\n"},
        {"[dwell]\nspeed = 3\n",
         "f:2: unknown option \"speed\" in [dwell] (options: enabled, time, radius, rearm, settle, click, sticky, "
         "chooser, ring, sound)\n"},
        // Windows line ends; two problems in one file.
        {"[settings]\r\ncaptureMode = 3\r\nx = 1\r\n",
         "f:2: captureMode: expected 0 or 1 (or on/off, yes/no, true/false), found \"3\"\n"
         "f:3: unknown field \"x\" in [settings]\n"},
    };
    for (const auto& c : cases) {
        std::vector<Problem> problems;
        Parse(c.text, &problems);
        EXPECT_EQ(c.report, control::DescribeProblems("f", problems)) << c.text;
    }
}

// Profiles: what a profile does not set comes from the file's sections,
// wherever in the file they are; rows of its own replace [bindings]'s; the
// seventeenth profile is refused at its line; --print reads back the same.
TEST(SettingsFile, ProfilesTakeTheFileAndChangeWhatTheySet) {
    const Config config = ParseGood(
        "[profile web]\nprograms = firefox.exe \"C:\\Program Files\\My App\\*.exe\"\nrightButtonFilter = on\n"
        "enabled = off\nMiddle = ACTION_PASTE\n"
        "[profile keys]\nprograms = *\ntime = 300\n"
        "[settings]\nsingleClickFolders = 1\n[bindings]\nMiddle = ACTION_CLICK_AT_CURSOR\nF9 = ACTION_PAUSE\n"
        "[dwell]\nenabled = on\ntime = 900\n");
    ASSERT_EQ(2u, config.profiles.size());
    const control::Profile& web = config.profiles[0];
    EXPECT_EQ((std::vector<std::string>{"firefox.exe", "C:\\Program Files\\My App\\*.exe"}), web.programs);
    EXPECT_EQ(1, web.settings.rightButtonFilter);
    EXPECT_EQ(1, web.settings.singleClickFolders);
    ASSERT_EQ(1, web.settings.bindingCount);
    EXPECT_EQ(ACTION_PASTE, web.settings.bindings[0].action);
    EXPECT_FALSE(web.dwell.enabled);
    EXPECT_EQ(900, web.dwell.time);
    const control::Profile& keys = config.profiles[1];
    EXPECT_TRUE(SameRecord(config.settings, keys.settings)) << "no rows of its own: [bindings]'s";
    EXPECT_EQ(300, keys.dwell.time);
    EXPECT_TRUE(keys.dwell.enabled);
    const Config again = ParseGood(control::PrintSettings(config));
    ASSERT_EQ(2u, again.profiles.size());
    EXPECT_EQ(web.programs, again.profiles[0].programs);
    EXPECT_TRUE(SameRecord(web.settings, again.profiles[0].settings));
    EXPECT_TRUE(SameRecord(keys.settings, again.profiles[1].settings));
    EXPECT_EQ(control::PrintSettings(config), control::PrintSettings(again));

    std::string many;
    for (int i = 0; i < 17; ++i) many += "[profile p" + std::to_string(i) + "]\nprograms = a.exe\n";
    std::vector<Problem> problems;
    EXPECT_EQ(16u, Parse(many, &problems).profiles.size());
    EXPECT_EQ("f:33: too many profiles: at most 16\n", control::DescribeProblems("f", problems));
}

// What --which says, and the records the library is handed.
TEST(SettingsFile, WhichNamesTheFirstProfileThatMatchesAndWhy) {
    const Config config = ParseGood(
        "[profile web]\nprograms = firefox.exe \"C:\\My Apps\\*\"\n"
        "[profile all]\nprograms = *.EXE\nMiddle = ACTION_PASTE\n");
    const struct {
        const char* path;
        const char* says;
    } cases[] = {
        {"C:\\Programs\\Firefox.exe",
         "C:\\Programs\\Firefox.exe: profile web (line 1), its pattern \"firefox.exe\"; the bindings of [bindings]"},
        {"C:\\My Apps\\firefox\\x.com", "C:\\My Apps\\firefox\\x.com: profile web (line 1), its pattern "
                                          "\"C:\\My Apps\\*\"; the bindings of [bindings]"},
        {"D:\\calc.exe", "D:\\calc.exe: profile all (line 3), its pattern \"*.EXE\", the first of 2 profiles in "
                         "the file to match; its own bindings"},
        {"D:\\calc.com", "D:\\calc.com: no profile names it (2 tried): the defaults"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.says, control::Which(config, c.path));
    const std::vector<WexProfile> records = control::LibraryProfiles(config);
    ASSERT_EQ(2u, records.size());
    const char16_t web[] = u"firefox.exe\0C:\\My Apps\\*\0";
    EXPECT_EQ(0, std::memcmp(web, records[0].programs, sizeof web));
    EXPECT_EQ(ACTION_PASTE, records[1].settings.bindings[0].action);
}

TEST(SettingsFile, AThirtyFirstBindingIsReportedOnceAtItsLine) {
    std::string text = "[bindings]\n";
    for (int i = 0; i < 32; ++i) text += "F" + std::to_string(i % 24 + 1) + " = ACTION_SWALLOW\n";
    std::vector<Problem> problems;
    const Config config = Parse(text, &problems);
    EXPECT_EQ("f:32: too many bindings: the table holds 30 rows\n", control::DescribeProblems("f", problems));
    EXPECT_EQ(30, config.settings.bindingCount);
}

TEST(StatisticsFile, RoundTripsEveryCounterAndTheExactDistance) {
    HookStatistics statistics{};
    statistics.leftClicks = 1;
    statistics.rightClicks = 0xFFFFFFFFu;
    statistics.doubleClicks = 3;
    statistics.keystrokes = 4;
    statistics.singleClickOpens = 5;
    statistics.edgeWraps = 6;
    for (unsigned i = 0; i < 4; ++i) statistics.reserved[i] = 0x80000000u + i;
    statistics.distance = 1234.0 / 7.0;
    control::Totals totals;
    totals.library = statistics;
    totals.dwell = {7, 8, 9, 10, 0xFFFFFFFFu};
    std::vector<Problem> problems;
    const control::Totals back = control::ParseTotals(control::PrintTotals(totals), &problems);
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(0, std::memcmp(&statistics, &back.library, sizeof back.library));
    EXPECT_EQ(0, std::memcmp(&totals.dwell, &back.dwell, sizeof back.dwell));
}

TEST(StatisticsFile, BadValuesAreReported) {
    const struct {
        const char* text;
        const char* report;
    } cases[] = {
        {"[statistics]\nleftClicks = -1\n",
         "s:2: leftClicks: expected a count from 0 to 4294967295, found \"-1\"\n"},
        {"[statistics]\nkeystrokes = 4294967296\n",
         "s:2: keystrokes: expected a count from 0 to 4294967295, found \"4294967296\"\n"},
        {"[statistics]\ndistance = far\n",
         "s:2: distance: expected pixels, a number of 0 or more, found \"far\"\n"},
        {"[statistics]\ndistance = nan\n",
         "s:2: distance: expected pixels, a number of 0 or more, found \"nan\"\n"},
        {"[statistics]\nclicks = 1\n", "s:2: unknown field \"clicks\" in [statistics]\n"},
        {"edgeWraps = 1\n", "s:1: a line outside [statistics]\n"},
    };
    for (const auto& c : cases) {
        std::vector<Problem> problems;
        control::ParseStatistics(c.text, &problems);
        EXPECT_EQ(c.report, control::DescribeProblems("s", problems)) << c.text;
    }
}

TEST(Paths, StatisticsPathIsTakenBesideTheSettingsFile) {
    EXPECT_EQ("C:\\cfg\\stats.ini", control::BesideFile("C:\\cfg\\wex.ini", "stats.ini"));
    EXPECT_EQ("dir/sub/s.ini", control::BesideFile("dir/wex.ini", "sub/s.ini"));
    EXPECT_EQ("stats.ini", control::BesideFile("wex.ini", "stats.ini"));
    EXPECT_EQ("D:\\s.ini", control::BesideFile("C:\\cfg\\wex.ini", "D:\\s.ini"));
    EXPECT_EQ("\\\\server\\s.ini", control::BesideFile("C:\\cfg\\wex.ini", "\\\\server\\s.ini"));
}

}  // namespace
