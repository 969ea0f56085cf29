#include "settings_file.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>

#include "names.h"

namespace control {
namespace {

// ---- Text helpers ------------------------------------------------------------

std::string Trim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
    return s.substr(a, b - a);
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Quote(const std::string& s) { return "\"" + s + "\""; }

// A whole decimal or 0x-hexadecimal number; false when the text is not one.
// Numbers too large for 64 bits come out as the nearest 64-bit value, so
// that range checks reject them.
bool ParseWhole(const std::string& text, long long* value) {
    const std::string t = Trim(text);
    const size_t start = (!t.empty() && (t[0] == '-' || t[0] == '+')) ? 1 : 0;
    int base = 10;
    if (t.size() > start + 2 && t[start] == '0' && (t[start + 1] == 'x' || t[start + 1] == 'X')) base = 16;
    if (start >= t.size() || !std::isxdigit(static_cast<unsigned char>(t[start]))) return false;
    char* end = nullptr;
    *value = std::strtoll(t.c_str(), &end, base);
    return *end == '\0';
}

// A whole number in [low, high].
bool ParseNumber(const std::string& text, long long low, long long high, long long* value) {
    return ParseWhole(text, value) && *value >= low && *value <= high;
}

// ---- The INI reader ------------------------------------------------------------

// Calls `section` for every "[name]" line and `entry` for every "name = value"
// line; reports lines that are neither.
void ReadIni(const std::string& text, std::vector<Problem>* problems,
             const std::function<void(int line, const std::string& name)>& section,
             const std::function<void(int line, const std::string& name, const std::string& value)>& entry) {
    size_t pos = 0;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3;  // UTF-8 byte-order mark
    for (int line = 1; pos <= text.size(); ++line) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string raw = text.substr(pos, end - pos);
        pos = end + 1;
        // A ";" starts a comment, except inside double quotes (a command's
        // path or text).
        bool quoted = false;
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '"') quoted = !quoted;
            if (raw[i] == ';' && !quoted) {
                raw.erase(i);
                break;
            }
        }
        const std::string s = Trim(raw);
        if (s.empty() || s[0] == '#') continue;
        if (s[0] == '[') {
            if (s.back() != ']') {
                problems->push_back({line, "a section name must end with \"]\""});
                continue;
            }
            section(line, Trim(s.substr(1, s.size() - 2)));
            continue;
        }
        const size_t equals = s.find('=');
        if (equals == std::string::npos) {
            problems->push_back({line, "expected \"name = value\", found " + Quote(s)});
            continue;
        }
        const std::string name = Trim(s.substr(0, equals));
        if (name.empty()) {
            problems->push_back({line, "a name is missing before \"=\""});
            continue;
        }
        entry(line, name, Trim(s.substr(equals + 1)));
    }
}

// ---- Fields of HookSettings ----------------------------------------------------

enum class Kind { Flag, Number, CornerA, CornerB, Edges };

struct Field {
    const char* name;
    int HookSettings::*member;
    Kind kind;
    long long low;
    long long high;
};

const long long kIntMin = -2147483648LL;
const long long kIntMax = 2147483647LL;

// In record order.  bindingCount and the rows come from [bindings].
const Field kFields[] = {
    {"captureMode", &HookSettings::captureMode, Kind::Flag, 0, 1},
    {"copyWatch", &HookSettings::copyWatch, Kind::Flag, 0, 1},
    {"copySeen", &HookSettings::copySeen, Kind::Flag, 0, 1},
    {"cornerAEnabled", &HookSettings::cornerAEnabled, Kind::Flag, 0, 1},
    {"cornerAPosition", &HookSettings::cornerAPosition, Kind::CornerA, kIntMin, kIntMax},
    {"action29Bypass", &HookSettings::action29Bypass, Kind::Flag, 0, 1},
    {"rightButtonFilter", &HookSettings::rightButtonFilter, Kind::Flag, 0, 1},
    {"wiggleDetect", &HookSettings::wiggleDetect, Kind::Flag, 0, 1},
    {"clickWiggleSensitivity", &HookSettings::clickWiggleSensitivity, Kind::Number, 0, 13},
    {"moveWiggleSensitivity", &HookSettings::moveWiggleSensitivity, Kind::Number, 0, 11},
    {"rememberButtonClicks", &HookSettings::rememberButtonClicks, Kind::Flag, 0, 1},
    {"reserved1", &HookSettings::reserved1, Kind::Number, kIntMin, kIntMax},
    {"edgeWrap", &HookSettings::edgeWrap, Kind::Flag, 0, 1},
    {"edgeWrapEdges", &HookSettings::edgeWrapEdges, Kind::Edges, 0, 15},
    {"edgeWrapNeedsShift", &HookSettings::edgeWrapNeedsShift, Kind::Flag, 0, 1},
    {"trackDistance", &HookSettings::trackDistance, Kind::Flag, 0, 1},
    {"keyboardMouse", &HookSettings::keyboardMouse, Kind::Flag, 0, 1},
    {"keyboardMouseKeys", &HookSettings::keyboardMouseKeys, Kind::Number, 0, 4},
    {"keyboardMouseAccel", &HookSettings::keyboardMouseAccel, Kind::Flag, 0, 1},
    {"keyboardMouseStep", &HookSettings::keyboardMouseStep, Kind::Number, 0, 1000},
    {"cornerB", &HookSettings::cornerB, Kind::CornerB, 0, 4},
    {"typingWatch", &HookSettings::typingWatch, Kind::Flag, 0, 1},
    {"reserved2", &HookSettings::reserved2, Kind::Number, kIntMin, kIntMax},
    {"singleClickDesktop", &HookSettings::singleClickDesktop, Kind::Flag, 0, 1},
    {"singleClickFolders", &HookSettings::singleClickFolders, Kind::Flag, 0, 1},
    {"singleClickTrees", &HookSettings::singleClickTrees, Kind::Flag, 0, 1},
    {"vendorWheel", &HookSettings::vendorWheel, Kind::Flag, 0, 1},
    {"pauseLock", &HookSettings::pauseLock, Kind::Flag, 0, 1},
};

struct Word {
    const char* word;
    int value;
};
const Word kFlagWords[] = {{"0", 0},  {"1", 1},   {"off", 0},   {"on", 1},
                           {"no", 0}, {"yes", 1}, {"false", 0}, {"true", 1}};
// The two hot-corner settings number the corners differently.
const Word kCornerAWords[] = {{"top-left", 0}, {"top-right", 4}, {"bottom-left", 5}, {"bottom-right", 6}};
const Word kCornerBWords[] = {
    {"none", 0}, {"top-left", 1}, {"top-right", 2}, {"bottom-left", 3}, {"bottom-right", 4}};
const Word kEdgeWords[] = {{"bottom", 1}, {"top", 2}, {"left", 4}, {"right", 8}};

template <size_t N>
bool FindWord(const Word (&words)[N], const std::string& text, int* value) {
    const std::string folded = Lower(Trim(text));
    for (const Word& w : words) {
        if (folded == w.word) {
            *value = w.value;
            return true;
        }
    }
    return false;
}

template <size_t N>
std::string WordsOf(const Word (&words)[N]) {
    std::string out;
    for (const Word& w : words) out += std::string(out.empty() ? "" : ", ") + w.word;
    return out;
}

// A field's value from its text; "" when good, else what is wrong.
std::string ParseFieldValue(const Field& field, const std::string& text, int* value) {
    long long number = 0;
    const bool isNumber = ParseWhole(text, &number);
    const std::string range = "from " + std::to_string(field.low) + " to " + std::to_string(field.high);
    switch (field.kind) {
        case Kind::Flag:
            if (FindWord(kFlagWords, text, value)) return "";
            return "expected 0 or 1 (or on/off, yes/no, true/false), found " + Quote(text);
        case Kind::CornerA:
            if (FindWord(kCornerAWords, text, value)) return "";
            break;
        case Kind::CornerB:
            if (FindWord(kCornerBWords, text, value)) return "";
            break;
        case Kind::Edges: {
            if (Lower(text) == "none") {
                *value = 0;
                return "";
            }
            if (isNumber) break;
            int mask = 0;
            std::string word;
            const std::string spaced = text + " ";
            for (char c : spaced) {
                if (c == ' ' || c == ',' || c == '|' || c == '\t') {
                    if (word.empty()) continue;
                    int bit = 0;
                    if (!FindWord(kEdgeWords, word, &bit)) {
                        return "unknown edge " + Quote(word) + " (edges: " + WordsOf(kEdgeWords) + ")";
                    }
                    mask |= bit;
                    word.clear();
                } else {
                    word += c;
                }
            }
            *value = mask;
            return "";
        }
        case Kind::Number: break;
    }
    if (!isNumber) {
        std::string expected = "a whole number";
        if (field.kind == Kind::CornerA) expected += " or " + WordsOf(kCornerAWords);
        if (field.kind == Kind::CornerB) expected += " or " + WordsOf(kCornerBWords);
        return "expected " + expected + ", found " + Quote(text);
    }
    if (number < field.low || number > field.high) {
        return "value " + std::to_string(number) + " out of range (" + range + ")";
    }
    *value = static_cast<int>(number);
    return "";
}

std::string PrintFieldValue(const Field& field, int value) {
    auto name = [&](const Word* words, size_t n) -> std::string {
        for (size_t i = 0; i < n; ++i) {
            if (words[i].value == value) return words[i].word;
        }
        return std::to_string(value);
    };
    switch (field.kind) {
        case Kind::CornerA: return name(kCornerAWords, sizeof kCornerAWords / sizeof *kCornerAWords);
        case Kind::CornerB: return name(kCornerBWords, sizeof kCornerBWords / sizeof *kCornerBWords);
        case Kind::Edges: {
            if (value < 0 || value > 15) return std::to_string(value);
            if (value == 0) return "none";
            std::string out;
            for (const Word& w : kEdgeWords) {
                if (value & w.value) out += std::string(out.empty() ? "" : " ") + w.word;
            }
            return out;
        }
        default: return std::to_string(value);
    }
}

// ---- Binding lines -------------------------------------------------------------

// "TRIGGER [+ MODIFIER]... = ACTION [PARAMETER]" into a row; "" when good.
std::string ParseBinding(const std::string& left, const std::string& right, Binding* row) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t plus = left.find('+', start);
        parts.push_back(
            Trim(left.substr(start, plus == std::string::npos ? std::string::npos : plus - start)));
        if (plus == std::string::npos) break;
        start = plus + 1;
    }
    row->trigger = ParseTrigger(parts[0]);
    if (row->trigger < 0) return "unknown key or trigger " + Quote(parts[0]);
    row->modifiers = 0;
    for (size_t i = 1; i < parts.size(); ++i) {
        const int bit = ParseModifier(parts[i]);
        if (bit == 0) return "unknown modifier " + Quote(parts[i]) + " (modifiers: Shift, Ctrl, Alt)";
        if (row->modifiers & bit) return "modifier " + Quote(parts[i]) + " given twice";
        row->modifiers |= bit;
    }
    const size_t blank = right.find_first_of(" \t");
    const std::string action = right.substr(0, blank);
    const std::string parameter = blank == std::string::npos ? "" : Trim(right.substr(blank));
    if (action.empty()) return "an action is missing after \"=\"";
    row->action = ParseAction(action);
    if (row->action < 0) return "unknown action " + Quote(action);
    row->parameter = 0;
    if (!parameter.empty()) {
        long long value = 0;
        if (!ParseNumber(parameter, kIntMin, kIntMax, &value)) {
            return "the parameter must be a whole number, found " + Quote(parameter);
        }
        row->parameter = static_cast<int>(value);
    }
    row->held = 0;
    return "";
}

// ---- [dwell] ---------------------------------------------------------------------

struct DwellNumber {
    const char* name;
    int DwellSettings::*member;
    int low;
    int high;
    const char* unit;
};
const DwellNumber kDwellNumbers[] = {
    {"time", &DwellSettings::time, 200, 5000, "ms"},
    {"radius", &DwellSettings::radius, 1, 50, "px"},
    {"rearm", &DwellSettings::rearm, 1, 200, "px"},
    {"settle", &DwellSettings::settle, 0, 5000, "ms"},
};
struct DwellFlag {
    const char* name;
    bool DwellSettings::*member;
};
const DwellFlag kDwellFlags[] = {
    {"enabled", &DwellSettings::enabled}, {"sticky", &DwellSettings::sticky}, {"chooser", &DwellSettings::chooser},
    {"ring", &DwellSettings::ring},       {"sound", &DwellSettings::sound},
};

// ---- Fields of HookStatistics ----------------------------------------------------

struct CounterField {
    const char* name;
    unsigned HookStatistics::*member;
};
const CounterField kCounters[] = {
    {"leftClicks", &HookStatistics::leftClicks},
    {"rightClicks", &HookStatistics::rightClicks},
    {"doubleClicks", &HookStatistics::doubleClicks},
    {"keystrokes", &HookStatistics::keystrokes},
    {"singleClickOpens", &HookStatistics::singleClickOpens},
    {"edgeWraps", &HookStatistics::edgeWraps},
};
const char* const kReservedCounters[4] = {"reserved0", "reserved1", "reserved2", "reserved3"};
struct DwellCounter {
    const char* name;
    unsigned DwellCounts::*member;
};
const DwellCounter kDwellCounters[] = {
    {"dwellLeftClicks", &DwellCounts::left},     {"dwellDoubleClicks", &DwellCounts::doubles},
    {"dwellRightClicks", &DwellCounts::right},   {"dwellMiddleClicks", &DwellCounts::middle},
    {"dwellDrags", &DwellCounts::drags},
};

// Reports a name seen twice in the same section.
class Seen {
public:
    bool Twice(int line, const std::string& key, std::vector<Problem>* problems, const std::string& what) {
        const auto found = first_.find(key);
        if (found == first_.end()) {
            first_[key] = line;
            return false;
        }
        problems->push_back(
            {line, what + " given twice (first on line " + std::to_string(found->second) + ")"});
        return true;
    }

private:
    std::map<std::string, int> first_;
};

}  // namespace

Config ParseSettings(const std::string& text, std::vector<Problem>* problems) {
    Config config;
    enum { None, Settings, Bindings, Program, DwellSection, Answers, Unknown } current = None;
    Seen seen;
    int rows = 0;
    int rearmLine = 0;
    ReadIni(
        text, problems,
        [&](int line, const std::string& name) {
            const std::string folded = Lower(name);
            if (folded == "settings") {
                current = Settings;
            } else if (folded == "bindings") {
                current = Bindings;
            } else if (folded == "wexcontrol") {
                current = Program;
            } else if (folded == "dwell") {
                current = DwellSection;
            } else if (folded == "answers") {
                current = Answers;
            } else {
                current = Unknown;
                problems->push_back({line, "unknown section [" + name +
                                               "] (sections: [settings], [bindings], [WexControl], [dwell], "
                                               "[answers])"});
            }
        },
        [&](int line, const std::string& name, const std::string& value) {
            const std::string folded = Lower(name);
            switch (current) {
                case None: problems->push_back({line, "a line outside any section"}); return;
                case Unknown: return;  // the section was reported
                case Settings: {
                    for (const Field& field : kFields) {
                        if (Lower(field.name) != folded) continue;
                        if (seen.Twice(line, folded, problems, std::string("field ") + field.name)) return;
                        const std::string wrong =
                            ParseFieldValue(field, value, &(config.settings.*field.member));
                        if (!wrong.empty())
                            problems->push_back({line, std::string(field.name) + ": " + wrong});
                        return;
                    }
                    if (folded == "bindingcount" || folded == "held") {
                        problems->push_back(
                            {line, name + " cannot be set: the rows are the lines of [bindings], pushed with "
                                          "held 0"});
                    } else {
                        problems->push_back({line, "unknown field " + Quote(name) + " in [settings]"});
                    }
                    return;
                }
                case Bindings: {
                    if (rows == WEXUTIL_BINDING_ROWS) {
                        problems->push_back({line, "too many bindings: the table holds " +
                                                       std::to_string(WEXUTIL_BINDING_ROWS) + " rows"});
                        ++rows;
                        return;
                    }
                    if (rows > WEXUTIL_BINDING_ROWS) return;  // reported once
                    Binding row{};
                    const std::string wrong = ParseBinding(name, value, &row);
                    if (!wrong.empty()) {
                        problems->push_back({line, wrong});
                        return;
                    }
                    config.settings.bindings[rows++] = row;
                    config.settings.bindingCount = rows;
                    return;
                }
                case Answers: {
                    Answer answer;
                    std::string wrong;
                    if (!ParseAnswerName(name, &answer, &wrong)) {
                        problems->push_back({line, wrong});
                        return;
                    }
                    const std::string key = AnswerName(answer);
                    if (seen.Twice(line, "answers." + key, problems, "an answer to " + key)) return;
                    if (!ParseCommand(value, &answer.command, &wrong)) {
                        problems->push_back({line, key + ": " + wrong});
                        return;
                    }
                    answer.line = line;
                    config.answers.push_back(answer);
                    return;
                }
                case DwellSection: {
                    if (seen.Twice(line, "dwell." + folded, problems, "dwell " + name)) return;
                    for (const DwellFlag& f : kDwellFlags) {
                        if (Lower(f.name) != folded) continue;
                        int on = 0;
                        if (!FindWord(kFlagWords, value, &on)) {
                            problems->push_back({line, std::string(f.name) +
                                                           ": expected on or off (or 1/0, yes/no, true/false), found " +
                                                           Quote(value)});
                            return;
                        }
                        config.dwell.*f.member = on != 0;
                        return;
                    }
                    for (const DwellNumber& n : kDwellNumbers) {
                        if (Lower(n.name) != folded) continue;
                        long long number = 0;
                        if (!ParseNumber(value, n.low, n.high, &number)) {
                            problems->push_back({line, std::string(n.name) + ": expected " + n.unit + " from " +
                                                           std::to_string(n.low) + " to " + std::to_string(n.high) +
                                                           ", found " + Quote(value)});
                            return;
                        }
                        config.dwell.*n.member = static_cast<int>(number);
                        if (folded == "rearm") rearmLine = line;
                        return;
                    }
                    if (folded == "click") {
                        const DwellType type = DwellTypeOf(Lower(value));
                        if (type == DwellType::kNone || type == DwellType::kOff) {
                            problems->push_back(
                                {line, "click: expected left, double, right, middle or drag, found " + Quote(value)});
                            return;
                        }
                        config.dwell.click = type;
                        return;
                    }
                    problems->push_back({line, "unknown option " + Quote(name) +
                                                   " in [dwell] (options: enabled, time, radius, rearm, settle, "
                                                   "click, sticky, chooser, ring, sound)"});
                    return;
                }
                case Program: {
                    if (folded == "holddelay") {
                        if (seen.Twice(line, "wexcontrol." + folded, problems, "holdDelay")) return;
                        long long ms = 0;
                        if (!ParseNumber(value, 0, 60000, &ms)) {
                            problems->push_back(
                                {line,
                                 "holdDelay: expected milliseconds from 0 to 60000, found " + Quote(value)});
                            return;
                        }
                        config.program.holdDelay = static_cast<int>(ms);
                    } else if (folded == "statistics") {
                        if (seen.Twice(line, "wexcontrol." + folded, problems, "statistics")) return;
                        config.program.statistics = value;
                    } else if (folded == "saveevery") {
                        if (seen.Twice(line, "wexcontrol." + folded, problems, "saveEvery")) return;
                        long long seconds = 0;
                        if (!ParseNumber(value, 0, 86400, &seconds)) {
                            problems->push_back(
                                {line, "saveEvery: expected seconds from 0 to 86400, found " + Quote(value)});
                            return;
                        }
                        config.program.saveEvery = static_cast<int>(seconds);
                    } else if (folded == "wigglerearm") {
                        if (seen.Twice(line, "wexcontrol." + folded, problems, "wiggleRearm")) return;
                        long long seconds = 0;
                        if (!ParseNumber(value, 0, 3600, &seconds)) {
                            problems->push_back(
                                {line, "wiggleRearm: expected seconds from 0 to 3600, found " + Quote(value)});
                            return;
                        }
                        config.program.wiggleRearm = static_cast<int>(seconds);
                    } else {
                        problems->push_back({line, "unknown option " + Quote(name) +
                                                       " in [WexControl] (options: holdDelay, statistics, saveEvery, "
                                                       "wiggleRearm)"});
                    }
                    return;
                }
            }
        });
    // The move that rearms dwell is at least the rest's own radius.
    if (config.dwell.rearm < config.dwell.radius) {
        problems->push_back({rearmLine, "rearm: " + std::to_string(config.dwell.rearm) +
                                            " px is less than radius (" + std::to_string(config.dwell.radius) +
                                            " px)"});
    }
    return config;
}

std::string PrintSettings(const Config& config) {
    const HookSettings& s = config.settings;
    std::string out = "; WexControl settings\n\n[settings]\n";
    for (const Field& field : kFields) {
        out += std::string(field.name) + " = " + PrintFieldValue(field, s.*field.member) + "\n";
    }
    const int count = s.bindingCount < 0                      ? 0
                      : s.bindingCount > WEXUTIL_BINDING_ROWS ? WEXUTIL_BINDING_ROWS
                                                              : s.bindingCount;
    out += "\n[bindings]\n";
    for (int i = 0; i < count; ++i) {
        const Binding& row = s.bindings[i];
        out += TriggerName(row.trigger) + ModifierSuffix(row.modifiers) + " = " + ActionName(row.action);
        if (row.parameter != 0) out += " " + std::to_string(row.parameter);
        out += "\n";
    }
    out += "\n[WexControl]\nholdDelay = " + std::to_string(config.program.holdDelay) + "\n";
    out += "statistics = " + config.program.statistics + "\n";
    out += "saveEvery = " + std::to_string(config.program.saveEvery) + "\n";
    out += "wiggleRearm = " + std::to_string(config.program.wiggleRearm) + "\n";
    const DwellSettings& d = config.dwell;
    out += "\n[dwell]\n";
    for (const DwellFlag& f : kDwellFlags) {
        if (f.member == &DwellSettings::sticky) out += std::string("click = ") + DwellTypeName(d.click) + "\n";
        out += std::string(f.name) + " = " + (d.*f.member ? "on" : "off") + "\n";
        if (f.member == &DwellSettings::enabled) {
            for (const DwellNumber& n : kDwellNumbers)
                out += std::string(n.name) + " = " + std::to_string(d.*n.member) + "\n";
        }
    }
    out += "\n[answers]\n";
    for (const Answer& a : config.answers) out += AnswerName(a) + " = " + PrintCommand(a.command) + "\n";
    return out;
}

Totals ParseTotals(const std::string& text, std::vector<Problem>* problems) {
    Totals totals;
    HookStatistics& statistics = totals.library;
    bool inSection = false;
    Seen seen;
    ReadIni(
        text, problems,
        [&](int line, const std::string& name) {
            inSection = Lower(name) == "statistics";
            if (!inSection)
                problems->push_back({line, "unknown section [" + name + "] (expected [statistics])"});
        },
        [&](int line, const std::string& name, const std::string& value) {
            if (!inSection) {
                problems->push_back({line, "a line outside [statistics]"});
                return;
            }
            const std::string folded = Lower(name);
            if (seen.Twice(line, folded, problems, name)) return;
            unsigned* counter = nullptr;
            for (const CounterField& c : kCounters) {
                if (Lower(c.name) == folded) counter = &(statistics.*c.member);
            }
            for (int i = 0; i < 4; ++i) {
                if (kReservedCounters[i] == folded) counter = &statistics.reserved[i];
            }
            for (const DwellCounter& c : kDwellCounters) {
                if (Lower(c.name) == folded) counter = &(totals.dwell.*c.member);
            }
            if (counter) {
                long long v = 0;
                if (!ParseNumber(value, 0, 4294967295LL, &v)) {
                    problems->push_back(
                        {line, name + ": expected a count from 0 to 4294967295, found " + Quote(value)});
                    return;
                }
                *counter = static_cast<unsigned>(v);
            } else if (folded == "distance") {
                char* end = nullptr;
                errno = 0;
                const double d = std::strtod(value.c_str(), &end);
                if (value.empty() || *end != '\0' || errno != 0 || !std::isfinite(d) || d < 0) {
                    problems->push_back(
                        {line, "distance: expected pixels, a number of 0 or more, found " + Quote(value)});
                    return;
                }
                statistics.distance = d;
            } else {
                problems->push_back({line, "unknown field " + Quote(name) + " in [statistics]"});
            }
        });
    return totals;
}

std::string PrintTotals(const Totals& totals) {
    const HookStatistics& statistics = totals.library;
    std::string out = "[statistics]\n";
    for (const CounterField& c : kCounters)
        out += std::string(c.name) + " = " + std::to_string(statistics.*c.member) + "\n";
    char distance[64];
    std::snprintf(distance, sizeof distance, "%.17g", statistics.distance);
    out += std::string("distance = ") + distance + "\n";
    for (int i = 0; i < 4; ++i) {
        out += std::string(kReservedCounters[i]) + " = " + std::to_string(statistics.reserved[i]) + "\n";
    }
    for (const DwellCounter& c : kDwellCounters)
        out += std::string(c.name) + " = " + std::to_string(totals.dwell.*c.member) + "\n";
    return out;
}

std::string DescribeProblems(const std::string& file, const std::vector<Problem>& problems) {
    std::string out;
    for (const Problem& p : problems) out += file + ":" + std::to_string(p.line) + ": " + p.what + "\n";
    return out;
}

std::string BesideFile(const std::string& base, const std::string& path) {
    const bool absolute =
        (!path.empty() && (path[0] == '\\' || path[0] == '/')) || (path.size() > 1 && path[1] == ':');
    if (path.empty() || absolute) return path;
    const size_t slash = base.find_last_of("\\/");
    return slash == std::string::npos ? path : base.substr(0, slash + 1) + path;
}

}  // namespace control
