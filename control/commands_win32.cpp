#include "commands_win32.h"

namespace control {

namespace {

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], n);
    return out;
}

}  // namespace

std::string ErrorText(DWORD error) {
    char text[256] = {};
    const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                     error, 0, text, sizeof text, nullptr);
    std::string reason(text, n);
    while (!reason.empty() &&
           (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ' || reason.back() == '.')) {
        reason.pop_back();
    }
    return (reason.empty() ? "error" : reason) + " (" + std::to_string(error) + ")";
}

namespace {

// Keys whose scan codes carry the extended flag: without it an arrow key
// would arrive as the keypad's.
bool Extended(int vk) {
    switch (vk) {
        case VK_LEFT:
        case VK_RIGHT:
        case VK_UP:
        case VK_DOWN:
        case VK_PRIOR:
        case VK_NEXT:
        case VK_END:
        case VK_HOME:
        case VK_INSERT:
        case VK_DELETE:
        case VK_LWIN:
        case VK_RWIN:
        case VK_APPS:
        case VK_RCONTROL:
        case VK_RMENU:
        case VK_DIVIDE:
        case VK_NUMLOCK:
        case VK_SNAPSHOT: return true;
        default: return false;
    }
}

INPUT Key(int vk, bool up) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = static_cast<WORD>(vk);
    in.ki.wScan = static_cast<WORD>(::MapVirtualKeyA(static_cast<UINT>(vk), MAPVK_VK_TO_VSC));
    in.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (Extended(vk) ? KEYEVENTF_EXTENDEDKEY : 0);
    return in;
}

}  // namespace

std::string StartProgram(const std::string& path, const std::string& arguments) {
    const std::wstring program = Wide(path);
    std::wstring line = L"\"" + program + L"\"";
    if (!arguments.empty()) line += L" " + Wide(arguments);
    // Its own folder is its working folder.
    std::wstring folder = program.substr(0, program.find_last_of(L"\\/") + 1);
    if (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    // The application name is given whole, so nothing is searched for; no
    // handles are inherited.
    if (!::CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &si, &pi)) {
        return ErrorText(::GetLastError());
    }
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return "";
}

bool PressChord(const std::vector<int>& keys) {
    std::vector<INPUT> downs, ups;
    for (int vk : keys) downs.push_back(Key(vk, false));
    for (size_t i = keys.size(); i-- > 0;) ups.push_back(Key(keys[i], true));
    const UINT down = ::SendInput(static_cast<UINT>(downs.size()), downs.data(), sizeof(INPUT));
    // Whatever went down goes up, last first.
    std::vector<INPUT> release(ups.end() - static_cast<long>(down), ups.end());
    const UINT up =
        release.empty() ? 0 : ::SendInput(static_cast<UINT>(release.size()), release.data(), sizeof(INPUT));
    return down == downs.size() && up == release.size();
}

bool TypeText(const std::u16string& text) {
    std::vector<INPUT> in;
    in.reserve(text.size() * 2);
    for (char16_t unit : text) {
        INPUT key = {};
        key.type = INPUT_KEYBOARD;
        key.ki.wScan = static_cast<WORD>(unit);
        key.ki.dwFlags = KEYEVENTF_UNICODE;
        in.push_back(key);
        key.ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
        in.push_back(key);
    }
    return ::SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT)) == in.size();
}

void CommandRunner::Carry(const Command& command, int answer) {
    const CommandTargets& t = targets_;
    switch (command.kind) {
        case Command::kNothing: return;
        case Command::kPause: t.pause(command.word); return;
        case Command::kDwell: t.dwell(command.word); return;
        case Command::kScroll: t.scroll(command.word); return;
        case Command::kLocate: t.locate(); return;
        case Command::kMenu: t.menu(); return;
        case Command::kStatistics: t.statistics(); return;
        case Command::kLog: t.log(); return;
        case Command::kReload: t.reload(); return;
        case Command::kQuit: t.quit(); return;
        case Command::kRun: {
            const std::string what = PrintCommand(command);
            if (!runLimit_.Allow(answer, ::GetTickCount())) {
                t.logLine(what + ": not started again within half a second");
                return;
            }
            const std::string why = StartProgram(command.path, command.arguments);
            t.logLine(why.empty() ? what + ": started" : what + ": not started: " + why);
            return;
        }
        case Command::kKeys:
            if (!PressChord(command.keys)) t.logLine(PrintCommand(command) + ": not all of it could be sent");
            return;
        case Command::kText:
            if (!TypeText(command.text)) t.logLine("text: not all of it could be typed");
            return;
    }
}

void CommandRunner::Notified(unsigned code, long argument, const std::vector<Answer>& answers) {
    if (const Answer* answer = FindAnswer(answers, code, argument)) {
        Carry(answer->command, answer->line);
        return;
    }
    Command builtIn;
    bool hint = false;
    if (!BuiltInAnswer(code, argument, &builtIn, &hint)) return;
    if (!hint) {
        Carry(builtIn, 0);
    } else if (hintLimit_.Allow(0, ::GetTickCount())) {
        targets_.pausedHint();
    }
}

}  // namespace control
