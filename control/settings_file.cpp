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

// The fields the library takes from the default record for every program.
const char* const kDesktopFields[] = {"captureMode",           "copyWatch",     "copySeen",
                                      "wiggleDetect",          "clickWiggleSensitivity",
                                      "moveWiggleSensitivity", "trackDistance", "typingWatch",
                                      "pauseLock",             "edgeWrap",      "edgeWrapEdges",
                                      "edgeWrapNeedsShift"};

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

// A row as a [bindings] line.
std::string PrintRow(const Binding& row) {
    std::string out = TriggerName(row.trigger) + ModifierSuffix(row.modifiers) + " = " + ActionName(row.action);
    if (row.parameter != 0) out += " " + std::to_string(row.parameter);
    return out + "\n";
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

// Sets the [settings] field `folded` (lower case) from its text: false when
// there is no such field; `wrong` says what is wrong with the value.
bool SetField(HookSettings* s, const std::string& folded, const std::string& value, std::string* wrong,
              const Field** which) {
    for (const Field& field : kFields) {
        if (Lower(field.name) != folded) continue;
        *which = &field;
        const std::string bad = ParseFieldValue(field, value, &(s->*field.member));
        *wrong = bad.empty() ? "" : std::string(field.name) + ": " + bad;
        return true;
    }
    return false;
}

// Sets the [dwell] option `folded` (lower case) from its text: false when
// there is no such option; `wrong` says what is wrong with the value.
bool SetDwellOption(DwellSettings* d, const std::string& folded, const std::string& value, std::string* wrong) {
    wrong->clear();
    for (const DwellFlag& f : kDwellFlags) {
        if (Lower(f.name) != folded) continue;
        int on = 0;
        if (!FindWord(kFlagWords, value, &on)) {
            *wrong = std::string(f.name) + ": expected on or off (or 1/0, yes/no, true/false), found " + Quote(value);
        } else {
            d->*f.member = on != 0;
        }
        return true;
    }
    for (const DwellNumber& n : kDwellNumbers) {
        if (Lower(n.name) != folded) continue;
        long long number = 0;
        if (!ParseNumber(value, n.low, n.high, &number)) {
            *wrong = std::string(n.name) + ": expected " + n.unit + " from " + std::to_string(n.low) + " to " +
                     std::to_string(n.high) + ", found " + Quote(value);
        } else {
            d->*n.member = static_cast<int>(number);
        }
        return true;
    }
    if (folded == "click") {
        const DwellType type = DwellTypeOf(Lower(value));
        if (type == DwellType::kNone || type == DwellType::kOff) {
            *wrong = "click: expected left, double, right, middle or drag, found " + Quote(value);
        } else {
            d->click = type;
        }
        return true;
    }
    return false;
}

// The patterns of a programs line: separated by blanks, a pattern with
// blanks in double quotes.  "" when good, else what is wrong.
std::string ParsePrograms(const std::string& value, std::vector<std::string>* patterns) {
    patterns->clear();
    size_t i = 0;
    size_t units = 1;  // the list's closing empty pattern
    while (i < value.size()) {
        if (value[i] == ' ' || value[i] == '\t') {
            ++i;
            continue;
        }
        std::string pattern;
        if (value[i] == '"') {
            const size_t close = value.find('"', i + 1);
            if (close == std::string::npos) return "a quote is not closed";
            pattern = value.substr(i + 1, close - i - 1);
            i = close + 1;
        } else {
            while (i < value.size() && value[i] != ' ' && value[i] != '\t') pattern += value[i++];
        }
        if (pattern.empty()) return "an empty pattern";
        for (char c : pattern) {
            if (c == '<' || c == '>' || c == '|' || c == '"' || static_cast<unsigned char>(c) < 32) {
                return "pattern " + Quote(pattern) + ": a program's name or path cannot hold " +
                       Quote(std::string(1, c));
            }
        }
        std::u16string wide;
        if (!Utf8ToUtf16(pattern, &wide)) return "pattern " + Quote(pattern) + " is not UTF-8";
        units += wide.size() + 1;
        patterns->push_back(pattern);
    }
    if (patterns->empty()) return "expected one or more program names or paths";
    if (units > WEXUTIL_PROGRAMS_CHARS) {
        return "the patterns are too long together (at most " + std::to_string(WEXUTIL_PROGRAMS_CHARS - 1) +
               " characters)";
    }
    return "";
}

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
    enum { None, Settings, Bindings, Program, DwellSection, Answers, ProfileSection, Unknown } current = None;
    Seen seen;
    int rows = 0;
    int rearmLine = 0;
    // Each profile's rows, and its scratch records for checking values.
    std::vector<std::vector<Binding>> profileRows;
    std::vector<bool> programsGiven;
    HookSettings scratch{};
    DwellSettings scratchDwell;
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
            } else if (folded.compare(0, 8, "profile ") == 0 || folded == "profile") {
                current = Unknown;
                const std::string profileName = folded.size() > 8 ? Trim(name.substr(8)) : "";
                if (profileName.empty()) {
                    problems->push_back({line, "a profile needs a name: [profile NAME]"});
                    return;
                }
                if (config.profiles.size() == WEXUTIL_PROFILES) {
                    problems->push_back({line, "too many profiles: at most " + std::to_string(WEXUTIL_PROFILES)});
                    return;
                }
                for (const Profile& other : config.profiles) {
                    if (Lower(other.name) == Lower(profileName)) {
                        problems->push_back({line, "profile " + Quote(profileName) + " given twice (first on line " +
                                                       std::to_string(other.line) + ")"});
                        return;
                    }
                }
                Profile profile;
                profile.name = profileName;
                profile.line = line;
                config.profiles.push_back(profile);
                profileRows.emplace_back();
                programsGiven.push_back(false);
                scratch = HookSettings{};
                scratchDwell = DwellSettings{};
                current = ProfileSection;
            } else {
                current = Unknown;
                problems->push_back({line, "unknown section [" + name +
                                               "] (sections: [settings], [bindings], [WexControl], [dwell], "
                                               "[answers], [profile NAME])"});
            }
        },
        [&](int line, const std::string& name, const std::string& value) {
            const std::string folded = Lower(name);
            switch (current) {
                case None: problems->push_back({line, "a line outside any section"}); return;
                case Unknown: return;  // the section was reported
                case Settings: {
                    HookSettings scratch = config.settings;
                    const Field* field = nullptr;
                    std::string wrong;
                    if (SetField(&scratch, folded, value, &wrong, &field)) {
                        if (seen.Twice(line, folded, problems, std::string("field ") + field->name)) return;
                        if (!wrong.empty()) {
                            problems->push_back({line, wrong});
                        } else {
                            config.settings = scratch;
                        }
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
                case ProfileSection: {
                    Profile& profile = config.profiles.back();
                    const std::string key = "profile." + Lower(profile.name) + ".";
                    if (folded == "programs") {
                        if (seen.Twice(line, key + folded, problems, "programs")) return;
                        programsGiven.back() = true;
                        const std::string wrong = ParsePrograms(value, &profile.programs);
                        if (!wrong.empty()) problems->push_back({line, "programs: " + wrong});
                        return;
                    }
                    const Field* field = nullptr;
                    std::string wrong;
                    if (SetField(&scratch, folded, value, &wrong, &field)) {
                        if (seen.Twice(line, key + folded, problems, std::string("field ") + field->name)) return;
                        if (IsDesktopField(field->name)) {
                            problems->push_back({line, std::string(field->name) +
                                                           " applies to every program: set it in [settings]"});
                        } else if (!wrong.empty()) {
                            problems->push_back({line, wrong});
                        } else {
                            profile.set.push_back({field->name, value});
                        }
                        return;
                    }
                    if (SetDwellOption(&scratchDwell, folded, value, &wrong)) {
                        if (seen.Twice(line, key + "dwell." + folded, problems, "dwell " + name)) return;
                        if (!wrong.empty()) {
                            problems->push_back({line, wrong});
                        } else {
                            profile.set.push_back({name, value});
                        }
                        return;
                    }
                    if (folded == "bindingcount" || folded == "held") {
                        problems->push_back({line, name + " cannot be set: the rows are the profile's binding lines"});
                        return;
                    }
                    std::vector<Binding>& own = profileRows.back();
                    Binding row{};
                    wrong = ParseBinding(name, value, &row);
                    if (!wrong.empty()) {
                        problems->push_back({line, "neither a [settings] field, a [dwell] option nor a binding: " +
                                                       wrong});
                        return;
                    }
                    if (own.size() == WEXUTIL_BINDING_ROWS) {
                        problems->push_back({line, "too many bindings in profile " + Quote(profile.name) +
                                                       ": the table holds " + std::to_string(WEXUTIL_BINDING_ROWS) +
                                                       " rows"});
                        return;
                    }
                    own.push_back(row);
                    profile.ownRows = true;
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
                    std::string wrong;
                    if (SetDwellOption(&config.dwell, folded, value, &wrong)) {
                        if (!wrong.empty()) problems->push_back({line, wrong});
                        if (folded == "rearm") rearmLine = line;
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
    // Each profile's records: the file's, with what the profile sets.
    for (size_t p = 0; p < config.profiles.size(); ++p) {
        Profile& profile = config.profiles[p];
        if (!programsGiven[p]) {
            problems->push_back({profile.line, "profile " + Quote(profile.name) + " has no programs line"});
        }
        profile.settings = config.settings;
        profile.dwell = config.dwell;
        for (const auto& entry : profile.set) {
            const std::string folded = Lower(entry.first);
            const Field* field = nullptr;
            std::string wrong;
            if (!SetField(&profile.settings, folded, entry.second, &wrong, &field))
                SetDwellOption(&profile.dwell, folded, entry.second, &wrong);
        }
        if (profile.ownRows) {
            const std::vector<Binding>& own = profileRows[p];
            for (size_t i = 0; i < own.size(); ++i) profile.settings.bindings[i] = own[i];
            for (size_t i = own.size(); i < WEXUTIL_BINDING_ROWS; ++i) profile.settings.bindings[i] = Binding{};
            profile.settings.bindingCount = static_cast<int>(own.size());
        }
    }
    // The move that rearms dwell is at least the rest's own radius.
    if (config.dwell.rearm < config.dwell.radius) {
        problems->push_back({rearmLine, "rearm: " + std::to_string(config.dwell.rearm) +
                                            " px is less than radius (" + std::to_string(config.dwell.radius) +
                                            " px)"});
    }
    return config;
}

bool IsDesktopField(const std::string& name) {
    for (const char* field : kDesktopFields) {
        if (Lower(field) == Lower(name)) return true;
    }
    return false;
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
    for (int i = 0; i < count; ++i) out += PrintRow(s.bindings[i]);
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
    for (const Profile& profile : config.profiles) {
        out += "\n[profile " + profile.name + "]\nprograms =";
        for (const std::string& pattern : profile.programs) {
            out += " " + (pattern.find_first_of(" \t") != std::string::npos ? Quote(pattern) : pattern);
        }
        out += "\n";
        for (const auto& entry : profile.set) out += entry.first + " = " + entry.second + "\n";
        if (!profile.ownRows) {
            out += "; the rows of [bindings]\n";
            continue;
        }
        for (int i = 0; i < profile.settings.bindingCount; ++i) out += PrintRow(profile.settings.bindings[i]);
    }
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
