#include "command_line.h"

#include <cstdlib>

#include "commands.h"

namespace control {

bool IsDwellCommand(const std::string& word) {
    static const char* const commands[] = {"on",     "off",   "toggle", "left",
                                           "double", "right", "middle", "drag"};
    for (const char* c : commands) {
        if (word == c) return true;
    }
    return false;
}

bool ParseCommandLine(const std::vector<std::string>& arguments, Options* options, std::string* error) {
    Options o;
    error->clear();
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (a == "--check" || a == "--print" || a == "--autostart") {
            if (!o.mode.empty()) return false;
            o.mode = a;
            if (a == "--autostart" && i + 1 < arguments.size() &&
                (arguments[i + 1] == "on" || arguments[i + 1] == "off")) {
                o.autostart = arguments[++i];
            }
        } else if (a == "--which") {
            if (!o.mode.empty() || i + 1 == arguments.size()) return false;
            o.mode = a;
            o.program = arguments[++i];
        } else if (a == "--dwell" || a == "--do") {
            if (!o.mode.empty() || i + 1 == arguments.size()) return false;
            o.mode = "--do";
            o.command = (a == "--dwell" ? "dwell " : "") + arguments[++i];
            Command command;
            std::string why;
            if (a == "--dwell" && !IsDwellCommand(arguments[i])) {
                *error = "--dwell takes on, off, toggle, left, double, right, middle or drag";
                return false;
            }
            if (!ParseCommand(o.command, &command, &why)) {
                *error = "--do: " + why;
                return false;
            }
        } else if (a == "--console") {
            o.console = true;
        } else if (a == "--seconds" || a == "--log") {
            if (i + 1 == arguments.size()) return false;
            const std::string& value = arguments[++i];
            if (a == "--log") {
                o.logFile = value;
                continue;
            }
            char* end = nullptr;
            const long n = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || n < 1 || n > 86400) {
                *error = "--seconds takes a whole number from 1 to 86400";
                return false;
            }
            o.seconds = static_cast<int>(n);
        } else if (a.size() > 1 && a[0] == '-') {
            *error = "unknown option " + a;
            return false;
        } else {
            if (!o.file.empty()) return false;
            o.file = a;
        }
    }
    const bool running = o.mode.empty();
    // --check and --print read a file; --autostart on registers one, off and
    // the state take none; only a run takes --seconds, --log and --console.
    if (!running && (o.seconds != 0 || !o.logFile.empty() || o.console)) return false;
    if ((o.mode == "--check" || o.mode == "--print" || o.mode == "--which") && o.file.empty()) return false;
    if (o.mode == "--autostart" && (o.autostart == "on") != !o.file.empty()) return false;
    if (o.mode == "--do" && !o.file.empty()) return false;
    *options = o;
    return true;
}

std::string StartCommand(const std::string& program, const std::string& file) {
    return "\"" + program + "\" \"" + file + "\"";
}

std::string FileOfStartCommand(const std::string& command) {
    // "PROGRAM" "FILE": quotes cannot occur inside Windows paths.
    const size_t programEnd =
        command.size() > 1 && command[0] == '"' ? command.find('"', 1) : std::string::npos;
    if (programEnd == std::string::npos) return "";
    const size_t open = command.find('"', programEnd + 1);
    if (open == std::string::npos || command.find_first_not_of(' ', programEnd + 1) != open) return "";
    const size_t close = command.find('"', open + 1);
    if (close == std::string::npos || close + 1 != command.size()) return "";
    return command.substr(open + 1, close - open - 1);
}

}  // namespace control
