// WexControl's command line, and the command it registers to start at logon.
// Plain C++ without Win32 calls, so that the host tests cover it.
#pragma once

#include <string>
#include <vector>

namespace control {

struct Options {
    std::string mode;       // "", "--check", "--print", "--which", "--autostart" or "--do" (also for --dwell)
    std::string file;       // the settings file, "" for none
    std::string logFile;    // --log, "" for the default
    int seconds = 0;        // --seconds, 0 runs until closed
    bool console = false;   // --console: keep the console window
    std::string autostart;  // with --autostart: "on", "off" or "" (print the state)
    std::string command;    // with --do: a command for the running WexControl (commands.h);
                            // --dwell WORD is --do "dwell WORD"
    std::string program;    // with --which: the program whose profile is asked for
};

// Whether a word is a dwell command (--dwell's argument).
bool IsDwellCommand(const std::string& word);

// Reads the arguments after the program's name.  False, with the reason in
// `error` (or "" where only the usage text fits), when they make no sense.
bool ParseCommandLine(const std::vector<std::string>& arguments, Options* options, std::string* error);

// The command of the logon entry: the program and the settings file, each
// quoted, both absolute paths.
std::string StartCommand(const std::string& program, const std::string& file);
// The settings file of a logon entry, or "" when the entry starts none or is
// not one that StartCommand wrote.
std::string FileOfStartCommand(const std::string& command);

}  // namespace control
