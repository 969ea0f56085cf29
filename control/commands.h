// WexControl's commands: what a person can have it do, from the icon's
// menu, from another start (--do "COMMAND", --dwell WORD) and in answer to
// the library's notifications ([answers] in the settings file).  One form
// for all three; plain C++ without Win32 calls, so that the host tests
// cover the syntax; commands_win32.cpp carries them out.
//
//   nothing
//   pause | resume | pause toggle
//   dwell on|off|toggle|left|double|right|middle|drag
//   run "PATH" [ARGUMENTS]     the program at PATH (a full path), no shell
//   keys CHORD                 Ctrl+Shift+Esc, Alt+Tab, Win+D, F5
//   text "..."                 typed as Unicode characters; "" inside is one "
//   scroll | scroll start | scroll stop     scroll by pointing
//   locate                     a ring shows where the pointer is
//   menu | statistics | log | reload | quit
//
// Words are read in any case; the text of `run` and `text` is kept as
// written (UTF-8).
#pragma once

#include <string>
#include <vector>

namespace control {

struct Command {
    enum Kind {
        kNothing,
        kPause,   // word: "on", "off" (resume) or "toggle"
        kDwell,   // word: a dwell command (on, off, toggle, left ...)
        kRun,     // path, arguments
        kKeys,    // keys: virtual-key codes, pressed in order, let up in reverse
        kText,    // text: UTF-16 code units
        kScroll,  // word: "toggle", "start" or "stop"
        kLocate,
        kMenu,
        kStatistics,
        kLog,
        kReload,
        kQuit,
    } kind = kNothing;
    std::string word;
    std::string path;
    std::string arguments;
    std::vector<int> keys;
    std::u16string text;

    // Whether carrying it out starts a program (rate-limited).
    bool StartsProgram() const { return kind == kRun; }
};

// Reads one command.  False, with the reason in `error`, when the text is
// not one.
bool ParseCommand(const std::string& text, Command* command, std::string* error);
// The command in the syntax ParseCommand reads.
std::string PrintCommand(const Command& command);

// UTF-8 to UTF-16; false for text that is not UTF-8 (a stray byte, an
// overlong form, a surrogate, a code point past U+10FFFF).
bool Utf8ToUtf16(const std::string& utf8, std::u16string* out);

// An answer: the command WexControl runs for one notification, for every
// argument of it or only one.
struct Answer {
    unsigned code = 0;
    bool anyArgument = true;
    long argument = 0;
    Command command;
    int line = 0;  // its line in the settings file, for the log
};

// The notification an answer's name names ("NOTIFY_PARAMETER 5",
// "NOTIFY_SELECT 1", "NOTIFY_PHASE_A 0", "NOTIFY_WIGGLE").  False, with the
// reason in `error`, for a name that is not one of the notifications a
// binding or gesture causes, or an argument it never has.
bool ParseAnswerName(const std::string& name, Answer* answer, std::string* error);
std::string AnswerName(const Answer& answer);

// The answer for a notification: one for its argument first, else one for
// any argument; nullptr when there is none.
const Answer* FindAnswer(const std::vector<Answer>& answers, unsigned code, long argument);

// What WexControl does for a notification nobody answered: the dwell type
// for NOTIFY_SELECT 0 to 2, scrolling for the scroll pair, locate for a
// wiggle, the paused hint for input refused while paused.  False where it
// has no behaviour of its own; `hint` is set for the paused hint, which is
// not a command.
bool BuiltInAnswer(unsigned code, long argument, Command* command, bool* hint);

// At most one start of a program per answer in `kIntervalMs`, so that a
// key's auto-repeat cannot start a hundred copies; with another interval,
// at most one of anything per key in it.
class RunLimit {
public:
    static const unsigned kIntervalMs = 500;
    explicit RunLimit(unsigned intervalMs = kIntervalMs) : interval_(intervalMs) {}
    // Whether the answer `key` may start its program at `now` (ms); a
    // refusal does not move the window on.
    bool Allow(int key, unsigned now);

private:
    unsigned interval_;
    struct Last {
        int key;
        unsigned at;
    };
    std::vector<Last> last_;
};

}  // namespace control
