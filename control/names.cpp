#include "names.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace control {
namespace {

struct Named {
    int value;
    const char* name;
};

// Keys whose names are not made by a rule (letters, digits, F1-F24 and
// Numpad0-9 are).  Arrow keys carry "Arrow" so that "Left" stays the mouse
// button.
const Named kKeys[] = {
    {0x03, "Break"},
    {0x05, "XButton1"},
    {0x06, "XButton2"},
    {0x08, "Backspace"},
    {0x09, "Tab"},
    {0x0C, "Clear"},
    {0x0D, "Enter"},
    {0x10, "Shift"},
    {0x11, "Ctrl"},
    {0x12, "Alt"},
    {0x13, "Pause"},
    {0x14, "CapsLock"},
    {0x1B, "Escape"},
    {0x20, "Space"},
    {0x21, "PageUp"},
    {0x22, "PageDown"},
    {0x23, "End"},
    {0x24, "Home"},
    {0x25, "ArrowLeft"},
    {0x26, "ArrowUp"},
    {0x27, "ArrowRight"},
    {0x28, "ArrowDown"},
    {0x2C, "PrintScreen"},
    {0x2D, "Insert"},
    {0x2E, "Delete"},
    {0x5B, "LeftWindows"},
    {0x5C, "RightWindows"},
    {0x5D, "Apps"},
    {0x6A, "NumpadMultiply"},
    {0x6B, "NumpadAdd"},
    {0x6C, "NumpadSeparator"},
    {0x6D, "NumpadSubtract"},
    {0x6E, "NumpadDecimal"},
    {0x6F, "NumpadDivide"},
    {0x90, "NumLock"},
    {0x91, "ScrollLock"},
    {0xA0, "LeftShift"},
    {0xA1, "RightShift"},
    {0xA2, "LeftCtrl"},
    {0xA3, "RightCtrl"},
    {0xA4, "LeftAlt"},
    {0xA5, "RightAlt"},
    {0xBA, "Semicolon"},
    {0xBB, "Equals"},
    {0xBC, "Comma"},
    {0xBD, "Minus"},
    {0xBE, "Period"},
    {0xBF, "Slash"},
    {0xC0, "Backquote"},
    {0xDB, "BracketLeft"},
    {0xDC, "Backslash"},
    {0xDD, "BracketRight"},
    {0xDE, "Quote"},
};

// Triggers that are not a key, and the mouse buttons.
const Named kTriggers[] = {
    {1, "left"},
    {2, "right"},
    {4, "middle"},
    {TRIGGER_EXTRA_BUTTON, "extra 1"},
    {TRIGGER_EXTRA_BUTTON_BIT4, "extra 2"},
    {TRIGGER_CHORD_RIGHT_MIDDLE, "chord right middle"},
    {TRIGGER_CHORD_LEFT_MIDDLE, "chord left middle"},
    {TRIGGER_CHORD_LEFT_RIGHT, "chord left right"},
    {TRIGGER_HOLD_MIDDLE, "hold middle"},
    {TRIGGER_HOLD_RIGHT, "hold right"},
    {TRIGGER_HOLD_LEFT, "hold left"},
    {TRIGGER_VENDOR_BUTTON, "vendor button"},
    {TRIGGER_WHEEL, "wheel"},
};

const char* const kActions[ACTION_COUNT] = {
    "ACTION_CLICK_AT_CURSOR",
    "ACTION_RUN_NOTEPAD",
    "ACTION_RUN_WRITE",
    "ACTION_RUN_PBRUSH",
    "ACTION_RUN_CALC",
    "ACTION_RUN_SOL",
    "ACTION_RUN_CHARMAP",
    "ACTION_START_SCREEN_SAVER",
    "ACTION_RUN_CONTROL",
    "ACTION_CENTER_CURSOR",
    "ACTION_NOTIFY_13_0",
    "ACTION_NOTIFY_13_1",
    "ACTION_NOTIFY_13_2",
    "ACTION_TAP_1",
    "ACTION_TAP_2",
    "ACTION_TAP_SPACE",
    "ACTION_TAP_ENTER",
    "ACTION_NOTIFY_5",
    "ACTION_NOTIFY_8",
    "ACTION_NOTIFY_6",
    "ACTION_PAUSE",
    "ACTION_SWALLOW",
    "ACTION_NOTIFY_10",
    "ACTION_NOTIFY_14_15",
    "ACTION_SCROLL",
    "ACTION_CTRL_CLICK",
    "ACTION_NOTIFY_0",
    "ACTION_CLOSE_WINDOW",
    "ACTION_RUN_EXPLORER",
    "ACTION_NOTIFY_25",
    "ACTION_CYCLE_WINDOWS",
    "ACTION_CUT",
    "ACTION_COPY",
    "ACTION_PASTE",
    "ACTION_BACK",
    "ACTION_FORWARD",
    "ACTION_BACKSPACE",
    "ACTION_CLEAR",
    "ACTION_MAXIMIZE",
    "ACTION_MINIMIZE",
    "ACTION_PAGE_UP",
    "ACTION_PAGE_DOWN",
    "ACTION_MINIMIZE_2",
    "ACTION_TASK_LIST",
    "ACTION_ESCAPE",
};

const Named kNotifications[] = {
    {NOTIFY_COMMAND, "NOTIFY_COMMAND"},
    {NOTIFY_BUTTON, "NOTIFY_BUTTON"},
    {NOTIFY_PHASE_A, "NOTIFY_PHASE_A"},
    {NOTIFY_PHASE_B, "NOTIFY_PHASE_B"},
    {NOTIFY_PAUSE, "NOTIFY_PAUSE"},
    {NOTIFY_SIGNAL, "NOTIFY_SIGNAL"},
    {NOTIFY_WIGGLE, "NOTIFY_WIGGLE"},
    {NOTIFY_PARAMETER, "NOTIFY_PARAMETER"},
    {NOTIFY_WHEEL_FORWARD, "NOTIFY_WHEEL_FORWARD"},
    {NOTIFY_WHEEL_BACKWARD, "NOTIFY_WHEEL_BACKWARD"},
    {NOTIFY_SELECT, "NOTIFY_SELECT"},
    {NOTIFY_SCROLL_PRESSED, "NOTIFY_SCROLL_PRESSED"},
    {NOTIFY_SCROLL_RELEASED, "NOTIFY_SCROLL_RELEASED"},
    {NOTIFY_PAUSED_INPUT, "NOTIFY_PAUSED_INPUT"},
    {NOTIFY_TYPING_ENDED, "NOTIFY_TYPING_ENDED"},
    {NOTIFY_TYPING_STARTED, "NOTIFY_TYPING_STARTED"},
    {NOTIFY_BUTTON_REMEMBERED, "NOTIFY_BUTTON_REMEMBERED"},
    {NOTIFY_REQUEST, "NOTIFY_REQUEST"},
    {NOTIFY_HOLD_STARTED, "NOTIFY_HOLD_STARTED"},
};

// Mouse message ids, client and non-client.
const Named kMouseMessages[] = {
    {0x0200, "WM_MOUSEMOVE"},       {0x0201, "WM_LBUTTONDOWN"},   {0x0202, "WM_LBUTTONUP"},
    {0x0203, "WM_LBUTTONDBLCLK"},   {0x0204, "WM_RBUTTONDOWN"},   {0x0205, "WM_RBUTTONUP"},
    {0x0206, "WM_RBUTTONDBLCLK"},   {0x0207, "WM_MBUTTONDOWN"},   {0x0208, "WM_MBUTTONUP"},
    {0x0209, "WM_MBUTTONDBLCLK"},   {0x020A, "WM_MOUSEWHEEL"},    {0x020B, "WM_XBUTTONDOWN"},
    {0x020C, "WM_XBUTTONUP"},       {0x020D, "WM_XBUTTONDBLCLK"}, {0x020E, "WM_MOUSEHWHEEL"},
    {0x00A0, "WM_NCMOUSEMOVE"},     {0x00A1, "WM_NCLBUTTONDOWN"}, {0x00A2, "WM_NCLBUTTONUP"},
    {0x00A3, "WM_NCLBUTTONDBLCLK"}, {0x00A4, "WM_NCRBUTTONDOWN"}, {0x00A5, "WM_NCRBUTTONUP"},
    {0x00A6, "WM_NCRBUTTONDBLCLK"}, {0x00A7, "WM_NCMBUTTONDOWN"}, {0x00A8, "WM_NCMBUTTONUP"},
    {0x00A9, "WM_NCMBUTTONDBLCLK"},
};

template <size_t N>
const char* Find(const Named (&table)[N], int value) {
    for (const Named& n : table) {
        if (n.value == value) return n.name;
    }
    return nullptr;
}

std::string Format(const char* format, long value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

// "NAME<digits>" with the digits giving first + (n - low) for n in [low, high].
int Numbered(const std::string& folded, const char* prefix, int low, int high, int first) {
    const std::string p = prefix;
    if (folded.size() <= p.size() || folded.compare(0, p.size(), p) != 0) return -1;
    const std::string digits = folded.substr(p.size());
    if (digits.size() > 2 || digits.find_first_not_of("0123456789") != std::string::npos) return -1;
    if (digits.size() == 2 && digits[0] == '0') return -1;
    const int n = std::atoi(digits.c_str());
    return n >= low && n <= high ? first + (n - low) : -1;
}

int ParseKey(const std::string& folded) {
    if (folded.size() == 1) {
        const char c = folded[0];
        if (c >= 'a' && c <= 'z') return 'A' + (c - 'a');
        if (c >= '0' && c <= '9') return c;
    }
    int vk = Numbered(folded, "f", 1, 24, 0x70);
    if (vk >= 0) return vk;
    vk = Numbered(folded, "numpad", 0, 9, 0x60);
    if (vk >= 0) return vk;
    for (const Named& k : kKeys) {
        if (Fold(k.name) == folded) return k.value;
    }
    if (folded.compare(0, 3, "vk ") == 0) {
        const std::string number = folded.substr(3);
        char* end = nullptr;
        const long value = std::strtol(number.c_str(), &end, 0);
        if (!number.empty() && *end == '\0' && value >= 1 && value <= 255) return static_cast<int>(value);
    }
    return -1;
}

}  // namespace

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

std::string Fold(const std::string& text) {
    std::string out;
    for (char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (std::isspace(u)) {
            if (!out.empty() && out.back() != ' ') out += ' ';
        } else {
            out += static_cast<char>(std::tolower(u));
        }
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

std::string KeyName(int vk) {
    if (vk >= 'A' && vk <= 'Z') return std::string(1, static_cast<char>(vk));
    if (vk >= '0' && vk <= '9') return std::string(1, static_cast<char>(vk));
    if (vk >= 0x70 && vk <= 0x87) return Format("F%ld", vk - 0x70 + 1);
    if (vk >= 0x60 && vk <= 0x69) return Format("Numpad%ld", vk - 0x60);
    if (const char* name = Find(kKeys, vk)) return name;
    return Format("vk 0x%02lX", vk);
}

int ParseKeyName(const std::string& text) {
    const int vk = ParseKey(Fold(text));
    return vk == 0x01 || vk == 0x02 || (vk >= 0x04 && vk <= 0x06) ? -1 : vk;
}

std::string TriggerName(int trigger) {
    if (const char* name = Find(kTriggers, trigger)) return name;
    return KeyName(trigger);
}

int ParseTrigger(const std::string& text) {
    const std::string folded = Fold(text);
    for (const Named& t : kTriggers) {
        if (folded == t.name) return t.value;
    }
    return ParseKey(folded);
}

std::string ActionName(int action) {
    if (action >= 0 && action < ACTION_COUNT) return kActions[action];
    return Format("%ld", action);
}

int ParseAction(const std::string& text) {
    std::string folded = Fold(text);
    if (folded.compare(0, 7, "action_") != 0) folded = "action_" + folded;
    for (int i = 0; i < ACTION_COUNT; ++i) {
        if (Fold(kActions[i]) == folded) return i;
    }
    return -1;
}

int ParseModifier(const std::string& text) {
    const std::string folded = Fold(text);
    if (folded == "shift") return MODIFIER_SHIFT;
    if (folded == "ctrl" || folded == "control") return MODIFIER_CTRL;
    if (folded == "alt") return MODIFIER_ALT;
    return 0;
}

std::string ModifierSuffix(int modifiers) {
    std::string out;
    if (modifiers & MODIFIER_SHIFT) out += " + Shift";
    if (modifiers & MODIFIER_CTRL) out += " + Ctrl";
    if (modifiers & MODIFIER_ALT) out += " + Alt";
    return out;
}

std::string NotificationText(unsigned code, long argument) {
    const char* name = code <= 0xFFFF ? Find(kNotifications, static_cast<int>(code)) : nullptr;
    if (!name) return Format("NOTIFY %ld", static_cast<long>(code)) + Format(" argument %ld", argument);
    std::string text = name;
    switch (code) {
        case NOTIFY_BUTTON:
            if (argument >= 2 && argument <= 10) {
                static const char* const kButtons[] = {"left", "right", "middle"};
                static const char* const kKinds[] = {"press", "release", "double-click"};
                return text + " " + kButtons[(argument - 2) % 3] + " " + kKinds[(argument - 2) / 3];
            }
            break;
        case NOTIFY_HOLD_STARTED:
            if (argument == 1) return text + " left";
            if (argument == 2) return text + " right";
            if (argument == 4) return text + " middle";
            break;
        case NOTIFY_PHASE_A:
        case NOTIFY_PHASE_B:
        case NOTIFY_PAUSE:
            if (argument == 0) return text + " press";
            if (argument == 1) return text + " release";
            break;
        case NOTIFY_SELECT:
        case NOTIFY_PARAMETER: return text + Format(" %ld", argument);
        case NOTIFY_COMMAND:
        case NOTIFY_REQUEST:
            if (argument == -1) return text;
            break;
        default:
            if (argument == 0) return text;
            break;
    }
    return text + Format(" argument %ld", argument);
}

std::string CaptureText(unsigned message, long argument) {
    std::string text = "WM_HOOK_CAPTURE ";
    if (message == 0x0100 || message == 0x0101) {
        return text + (message == 0x0100 ? "WM_KEYDOWN " : "WM_KEYUP ") + KeyName(static_cast<int>(argument));
    }
    const char* name = message <= 0xFFFF ? Find(kMouseMessages, static_cast<int>(message)) : nullptr;
    text += name ? std::string(name) : Format("message 0x%04lX", static_cast<long>(message));
    const long x = static_cast<short>(argument & 0xFFFF);
    const long y = static_cast<short>((static_cast<unsigned long>(argument) >> 16) & 0xFFFF);
    return text + Format(" (%ld,", x) + Format(" %ld)", y);
}

}  // namespace control
