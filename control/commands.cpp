#include "commands.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "command_line.h"
#include "names.h"
#include "records.h"

namespace control {
namespace {

// A quoted string at the start of `text` ("" inside is one "): its content
// and the rest after the closing quote.  False when `text` does not start
// with a quote or the quote is not closed.
bool TakeQuoted(const std::string& text, std::string* content, std::string* rest) {
    if (text.empty() || text[0] != '"') return false;
    content->clear();
    for (size_t i = 1; i < text.size(); ++i) {
        if (text[i] != '"') {
            *content += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == '"') {
            *content += '"';
            ++i;
        } else {
            *rest = text.substr(i + 1);
            return true;
        }
    }
    return false;
}

std::string Quoted(const std::string& content) {
    std::string out = "\"";
    for (char c : content) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

// A full path: a drive ("C:\" or "C:/") or a network share ("\\server").
bool FullPath(const std::string& path) {
    if (path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
        (path[2] == '\\' || path[2] == '/')) {
        return true;
    }
    return path.size() > 2 && path[0] == '\\' && path[1] == '\\';
}

// A key of a chord: the names of the settings file's key triggers, and the
// short names a person writes in a chord.
int ChordKey(const std::string& name) {
    static const struct {
        const char* name;
        int vk;
    } kShort[] = {
        {"esc", 0x1B},       {"win", 0x5B},         {"windows", 0x5B}, {"control", 0x11}, {"del", 0x2E},
        {"return", 0x0D},    {"ins", 0x2D},         {"pgup", 0x21},    {"pgdn", 0x22},    {"left", 0x25},
        {"up", 0x26},        {"right", 0x27},       {"down", 0x28},    {"menu", 0x5D},    {"plus", 0xBB},
        {"backspace", 0x08}, {"printscreen", 0x2C},
    };
    const std::string folded = Fold(name);
    for (const auto& k : kShort) {
        if (folded == k.name) return k.vk;
    }
    return ParseKeyName(name);
}

std::string ChordKeyName(int vk) {
    if (vk == 0x5B) return "Win";
    if (vk == 0x1B) return "Esc";
    return KeyName(vk);
}

bool Fail(std::string* error, const std::string& what) {
    *error = what;
    return false;
}

// The UTF-16 text as UTF-8, for printing.
std::string Utf16ToUtf8(const std::u16string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned long c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

const int kMaxChordKeys = 6;
// Typed in one piece of input: a paragraph, not a document.
const size_t kMaxText = 1000;

}  // namespace

bool Utf8ToUtf16(const std::string& utf8, std::u16string* out) {
    out->clear();
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char first = static_cast<unsigned char>(utf8[i]);
        unsigned long c;
        int more;
        if (first < 0x80) {
            c = first;
            more = 0;
        } else if (first >= 0xC2 && first <= 0xDF) {
            c = first & 0x1F;
            more = 1;
        } else if (first >= 0xE0 && first <= 0xEF) {
            c = first & 0x0F;
            more = 2;
        } else if (first >= 0xF0 && first <= 0xF4) {
            c = first & 0x07;
            more = 3;
        } else {
            return false;
        }
        if (more > 0 && i + more >= utf8.size()) return false;
        for (int k = 1; k <= more; ++k) {
            const unsigned char next = static_cast<unsigned char>(utf8[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            c = (c << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and code points past U+10FFFF.
        if ((more == 2 && c < 0x800) || (more == 3 && c < 0x10000) || c > 0x10FFFF ||
            (c >= 0xD800 && c <= 0xDFFF)) {
            return false;
        }
        if (c >= 0x10000) {
            out->push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            out->push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            out->push_back(static_cast<char16_t>(c));
        }
        i += 1 + more;
    }
    return true;
}

bool ParseCommand(const std::string& text, Command* command, std::string* error) {
    *command = Command();
    const std::string line = Trim(text);
    const size_t space = line.find_first_of(" \t");
    const std::string verb = Lower(line.substr(0, space));
    const std::string rest = space == std::string::npos ? "" : Trim(line.substr(space));
    const std::string word = Fold(rest);
    const auto alone = [&](Command::Kind kind) {
        if (!rest.empty()) return Fail(error, "\"" + verb + "\" takes nothing after it");
        command->kind = kind;
        return true;
    };
    if (verb.empty()) return Fail(error, "no command");
    if (verb == "nothing") return alone(Command::kNothing);
    if (verb == "locate") return alone(Command::kLocate);
    if (verb == "menu") return alone(Command::kMenu);
    if (verb == "statistics") return alone(Command::kStatistics);
    if (verb == "log") return alone(Command::kLog);
    if (verb == "reload") return alone(Command::kReload);
    if (verb == "quit") return alone(Command::kQuit);
    if (verb == "resume") {
        if (!alone(Command::kPause)) return false;
        command->word = "off";
        return true;
    }
    if (verb == "pause") {
        if (!word.empty() && word != "toggle") return Fail(error, "\"pause\" takes only \"toggle\" after it");
        command->kind = Command::kPause;
        command->word = word.empty() ? "on" : word;
        return true;
    }
    if (verb == "scroll") {
        if (!word.empty() && word != "start" && word != "stop") {
            return Fail(error, "\"scroll\" takes \"start\", \"stop\" or nothing after it");
        }
        command->kind = Command::kScroll;
        command->word = word.empty() ? "toggle" : word;
        return true;
    }
    if (verb == "dwell") {
        if (!IsDwellCommand(word)) {
            return Fail(error, "\"dwell\" takes on, off, toggle, left, double, right, middle or drag");
        }
        command->kind = Command::kDwell;
        command->word = word;
        return true;
    }
    if (verb == "run") {
        std::string path, after;
        if (!TakeQuoted(rest, &path, &after))
            return Fail(error, "\"run\" takes a quoted full path: run \"C:\\...\"");
        if (!FullPath(path))
            return Fail(error, "\"run\" needs a full path (\"C:\\...\"), not " + Quoted(path));
        if (!after.empty() && !std::isspace(static_cast<unsigned char>(after[0]))) {
            return Fail(error, "a space must follow the program's quoted path");
        }
        std::u16string check;
        if (!Utf8ToUtf16(path + after, &check)) return Fail(error, "the command is not UTF-8 text");
        command->kind = Command::kRun;
        command->path = path;
        command->arguments = Trim(after);
        return true;
    }
    if (verb == "text") {
        std::string content, after;
        if (!TakeQuoted(rest, &content, &after))
            return Fail(error, "\"text\" takes a quoted text: text \"...\"");
        if (!Trim(after).empty()) return Fail(error, "nothing may follow the quoted text");
        if (content.empty()) return Fail(error, "\"text\" needs something to type");
        if (!Utf8ToUtf16(content, &command->text)) return Fail(error, "the text is not UTF-8");
        if (command->text.size() > kMaxText) {
            return Fail(error, "a text has at most " + std::to_string(kMaxText) + " characters");
        }
        command->kind = Command::kText;
        return true;
    }
    if (verb == "keys") {
        if (rest.empty()) return Fail(error, "\"keys\" takes a chord such as Ctrl+Shift+Esc");
        size_t start = 0;
        while (start <= rest.size()) {
            size_t plus = rest.find('+', start);
            if (plus == std::string::npos) plus = rest.size();
            const std::string name = Trim(rest.substr(start, plus - start));
            const int vk = ChordKey(name);
            if (vk < 0) return Fail(error, "\"" + name + "\" is not a key");
            for (int seen : command->keys) {
                if (seen == vk) return Fail(error, "\"" + name + "\" comes twice in the chord");
            }
            if (static_cast<int>(command->keys.size()) == kMaxChordKeys) {
                return Fail(error, "a chord has at most " + std::to_string(kMaxChordKeys) + " keys");
            }
            command->keys.push_back(vk);
            start = plus + 1;
        }
        command->kind = Command::kKeys;
        return true;
    }
    return Fail(error, "\"" + verb + "\" is not a command");
}

std::string PrintCommand(const Command& command) {
    switch (command.kind) {
        case Command::kNothing: return "nothing";
        case Command::kPause:
            return command.word == "off" ? "resume" : command.word == "toggle" ? "pause toggle" : "pause";
        case Command::kDwell: return "dwell " + command.word;
        case Command::kRun:
            return "run " + Quoted(command.path) + (command.arguments.empty() ? "" : " " + command.arguments);
        case Command::kKeys: {
            std::string out = "keys ";
            for (size_t i = 0; i < command.keys.size(); ++i)
                out += (i ? "+" : "") + ChordKeyName(command.keys[i]);
            return out;
        }
        case Command::kText: return "text " + Quoted(Utf16ToUtf8(command.text));
        case Command::kScroll: return command.word == "toggle" ? "scroll" : "scroll " + command.word;
        case Command::kLocate: return "locate";
        case Command::kMenu: return "menu";
        case Command::kStatistics: return "statistics";
        case Command::kLog: return "log";
        case Command::kReload: return "reload";
        case Command::kQuit: return "quit";
    }
    return "nothing";
}

namespace {

// The notifications a binding or gesture causes, which an answer may name,
// and the arguments they come with.
struct Answerable {
    unsigned code;
    const char* name;
    enum { kNone, kPressOrRelease, kSelect, kNumber } argument;
};
const Answerable kAnswerable[] = {
    {NOTIFY_COMMAND, "NOTIFY_COMMAND", Answerable::kNone},
    {NOTIFY_PHASE_A, "NOTIFY_PHASE_A", Answerable::kPressOrRelease},
    {NOTIFY_PHASE_B, "NOTIFY_PHASE_B", Answerable::kPressOrRelease},
    {NOTIFY_SIGNAL, "NOTIFY_SIGNAL", Answerable::kNone},
    {NOTIFY_WIGGLE, "NOTIFY_WIGGLE", Answerable::kNone},
    {NOTIFY_PARAMETER, "NOTIFY_PARAMETER", Answerable::kNumber},
    {NOTIFY_WHEEL_FORWARD, "NOTIFY_WHEEL_FORWARD", Answerable::kNone},
    {NOTIFY_WHEEL_BACKWARD, "NOTIFY_WHEEL_BACKWARD", Answerable::kNone},
    {NOTIFY_SELECT, "NOTIFY_SELECT", Answerable::kSelect},
    {NOTIFY_SCROLL_PRESSED, "NOTIFY_SCROLL_PRESSED", Answerable::kNone},
    {NOTIFY_SCROLL_RELEASED, "NOTIFY_SCROLL_RELEASED", Answerable::kNone},
    {NOTIFY_PAUSED_INPUT, "NOTIFY_PAUSED_INPUT", Answerable::kNone},
    {NOTIFY_REQUEST, "NOTIFY_REQUEST", Answerable::kNone},
};

}  // namespace

bool ParseAnswerName(const std::string& name, Answer* answer, std::string* error) {
    const std::string folded = Fold(name);
    const size_t space = folded.find(' ');
    const std::string notification = folded.substr(0, space);
    const std::string argument = space == std::string::npos ? "" : folded.substr(space + 1);
    for (const Answerable& a : kAnswerable) {
        if (Lower(a.name) != notification) continue;
        answer->code = a.code;
        answer->anyArgument = argument.empty();
        answer->argument = 0;
        if (argument.empty()) {
            if (a.argument == Answerable::kPressOrRelease) {
                return Fail(error, std::string(a.name) + " takes 0 (the press) or 1 (the release)");
            }
            return true;
        }
        if (a.argument == Answerable::kNone) return Fail(error, std::string(a.name) + " takes no argument");
        errno = 0;
        char* end = nullptr;
        const long long value = std::strtoll(argument.c_str(), &end, 10);
        const long long high = a.argument == Answerable::kPressOrRelease ? 1
                               : a.argument == Answerable::kSelect       ? 2
                                                                         : 2147483647LL;
        const long long low = a.argument == Answerable::kNumber ? -2147483647LL - 1 : 0;
        if (*end != '\0' || errno != 0 || value < low || value > high) {
            return Fail(error, std::string(a.name) + " takes a number from " + std::to_string(low) + " to " +
                                   std::to_string(high) + ", not \"" + argument + "\"");
        }
        answer->argument = static_cast<long>(value);
        return true;
    }
    // What WexControl answers itself, whatever the settings say.
    static const char* const kOwn[] = {"notify_button",
                                       "notify_pause",
                                       "notify_typing_ended",
                                       "notify_typing_started",
                                       "notify_button_remembered",
                                       "notify_hold_started"};
    for (const char* own : kOwn) {
        if (notification == own) return Fail(error, Trim(name) + " is WexControl's own to answer");
    }
    return Fail(error, "\"" + Trim(name) + "\" is not a notification");
}

std::string AnswerName(const Answer& answer) {
    for (const Answerable& a : kAnswerable) {
        if (a.code == answer.code) {
            return std::string(a.name) + (answer.anyArgument ? "" : " " + std::to_string(answer.argument));
        }
    }
    return NotificationText(answer.code, answer.argument);
}

const Answer* FindAnswer(const std::vector<Answer>& answers, unsigned code, long argument) {
    const Answer* any = nullptr;
    for (const Answer& a : answers) {
        if (a.code != code) continue;
        if (!a.anyArgument && a.argument == argument) return &a;
        if (a.anyArgument && any == nullptr) any = &a;
    }
    return any;
}

bool BuiltInAnswer(unsigned code, long argument, Command* command, bool* hint) {
    *command = Command();
    *hint = false;
    switch (code) {
        case NOTIFY_SELECT:
            if (argument < 0 || argument > 2) return false;
            command->kind = Command::kDwell;
            command->word = argument == 0 ? "left" : argument == 1 ? "double" : "right";
            return true;
        case NOTIFY_SCROLL_PRESSED:
        case NOTIFY_SCROLL_RELEASED:
            command->kind = Command::kScroll;
            command->word = code == NOTIFY_SCROLL_PRESSED ? "start" : "stop";
            return true;
        case NOTIFY_WIGGLE: command->kind = Command::kLocate; return true;
        case NOTIFY_PAUSED_INPUT: *hint = true; return true;
        default: return false;
    }
}

bool RunLimit::Allow(int key, unsigned now) {
    for (Last& l : last_) {
        if (l.key != key) continue;
        if (now - l.at < interval_) return false;
        l.at = now;
        return true;
    }
    last_.push_back({key, now});
    return true;
}

}  // namespace control
