// The commands that act on other programs, carried out with Win32: a
// program started, a chord pressed and let up, Unicode text typed.  The
// commands that act on WexControl itself (pause, dwell, scroll, locate, the
// menu ...) are wexcontrol.cpp's.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "commands.h"

namespace control {

// The reason Windows gives for an error code, with the code.
std::string ErrorText(DWORD error);

// Starts the program at `path` (a full path, UTF-8) with `arguments`, in its
// own folder, without a shell and without searching anywhere.  "" when it
// started, otherwise why not.
std::string StartProgram(const std::string& path, const std::string& arguments);

// Presses the keys in order and lets them up in the reverse order, as one
// piece of input.  Keys that went down are let up even when the rest could
// not be sent.  False when not all of it could be sent.
bool PressChord(const std::vector<int>& keys);

// Types the text as Unicode characters.  False when not all of it could be
// sent.
bool TypeText(const std::u16string& text);

// What only WexControl itself can do, for the commands that act on it.
struct CommandTargets {
    std::function<void(const std::string& word)> pause;   // on, off, toggle
    std::function<void(const std::string& word)> dwell;   // a dwell command
    std::function<void(const std::string& word)> scroll;  // start, stop, toggle
    std::function<void()> locate, menu, statistics, log, reload, quit;
    // The paused hint, for input refused while paused.
    std::function<void()> pausedHint;
    std::function<void(const std::string& line)> logLine;
};

// Carries out commands, from the menu, another start and the answers.
class CommandRunner {
public:
    explicit CommandRunner(CommandTargets targets) : targets_(std::move(targets)) {}

    // One command.  `answer` names the answer it came from (its line), 0
    // for a command from the menu or another start: a program is started at
    // most once in half a second for each.
    void Carry(const Command& command, int answer);

    // A notification from the library: the answer the settings give for it,
    // or else what WexControl does by itself (NOTIFY_SELECT's dwell types,
    // scrolling, locate on a wiggle, the paused hint; nothing for the rest).
    void Notified(unsigned code, long argument, const std::vector<Answer>& answers);

private:
    CommandTargets targets_;
    RunLimit runLimit_;
    RunLimit hintLimit_{30000};
};

}  // namespace control
