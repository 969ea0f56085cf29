// The settings file of the controlling program and its statistics file, in
// INI syntax: [sections], "name = value" lines, ";" comments.  Reading and
// writing are plain C++ without Win32 calls, so that the host tests cover
// them.
//
//   [settings]    every field of HookSettings by its own name
//   [bindings]    one row per line:  TRIGGER [+ MODIFIER]... = ACTION [PARAMETER]
//   [WexControl]  the program's own options: holdDelay, statistics, saveEvery
//   [dwell]       dwell clicking (see dwell.h)
//   [answers]     what WexControl does for a notification:  NOTIFY_NAME [ARGUMENT] = COMMAND
//                 (see commands.h)
//   [profile NAME]  up to 16: the programs it is for (programs = PATTERN...),
//                 and what differs there: [settings] fields (not those that
//                 apply to every program), [dwell] options and binding rows
//                 (which replace [bindings]'s for those programs)
//
// The row count is the number of lines in [bindings]; a row's run-time
// field `held` is always pushed as 0.
#pragma once

#include <string>
#include <vector>

#include "commands.h"
#include "dwell.h"
#include "kept_totals.h"
#include "records.h"

namespace control {

// What the program itself needs beyond the library's record.
struct ProgramOptions {
    int holdDelay = 500;     // milliseconds from notification 26 to PressAndHoldCallBack
    std::string statistics;  // file that keeps the totals between runs; "" keeps none
    int saveEvery = 300;     // seconds between saves of the totals while running; 0 only at the end
    int wiggleRearm = 5;     // seconds after a wiggle until wiggle detection is on again; 0 leaves it off
};

// One per-program profile.
struct Profile {
    std::string name;
    int line = 0;                       // of its [profile NAME] line
    std::vector<std::string> programs;  // patterns, UTF-8, as written
    // What it sets, as written, in the file's order: [settings] fields and
    // [dwell] options (name, value).
    std::vector<std::pair<std::string, std::string>> set;
    bool ownRows = false;               // it has binding rows of its own
    // The records its programs use: the file's [settings] and [dwell] with
    // what it sets, and its own rows or [bindings]'s.  Filled once the whole
    // file is read.
    HookSettings settings{};
    DwellSettings dwell;
};

struct Config {
    HookSettings settings{};
    ProgramOptions program;
    DwellSettings dwell;
    std::vector<Answer> answers;    // in the file's order
    std::vector<Profile> profiles;  // in the file's order: the first that matches wins
};

// Whether a [settings] field applies to every program alike, so that a
// profile cannot set it (the library takes it from [settings]).
bool IsDesktopField(const std::string& name);

// One thing wrong with a file: its line (1-based) and what is wrong.
struct Problem {
    int line;
    std::string what;
};

// Reads a settings file's text.  Every problem found is added to
// `problems`; the record is only meant to be used when there are none.
Config ParseSettings(const std::string& text, std::vector<Problem>* problems);
// Writes the configuration in the syntax ParseSettings reads, every field
// spelt out, so that reading it back gives the same record.
std::string PrintSettings(const Config& config);

// The statistics file: one [statistics] section with every field of
// HookStatistics by name, and the dwell clicks by type (dwellLeftClicks,
// dwellDoubleClicks, dwellRightClicks, dwellMiddleClicks, dwellDrags).
Totals ParseTotals(const std::string& text, std::vector<Problem>* problems);
std::string PrintTotals(const Totals& totals);
// The library's part alone.
inline HookStatistics ParseStatistics(const std::string& text, std::vector<Problem>* problems) {
    return ParseTotals(text, problems).library;
}
inline std::string PrintStatistics(const HookStatistics& statistics) {
    Totals totals;
    totals.library = statistics;
    return PrintTotals(totals);
}

// "FILE:LINE: what" lines, one per problem.
std::string DescribeProblems(const std::string& file, const std::vector<Problem>& problems);

// `path` as seen from the folder of `base` (a file path); absolute paths
// ("C:\...", "\..." or "/...") stay as they are.
std::string BesideFile(const std::string& base, const std::string& path);

}  // namespace control
