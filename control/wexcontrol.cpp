// WexControl: the controlling program of WexUTIL.dll.
//
//   WexControl --check FILE     reads a settings file and reports its problems
//   WexControl --print FILE     writes the settings as understood
//   WexControl --autostart [on FILE | off]
//                               starts at logon with FILE (for this user), or
//                               no longer; alone, says which
//   WexControl --do "COMMAND"   hands a command (commands.h) to the running one
//   WexControl --dwell on|off|toggle|left|double|right|middle|drag
//                               the same as --do "dwell ..."
//   WexControl [FILE] [--seconds N] [--log LOGFILE] [--console]
//                               pushes the settings and the kept statistics,
//                               installs the hooks, shows its icon in the
//                               notification area and answers the library
//                               until closed (Quit, WM_CLOSE, Ctrl+C, or
//                               after N seconds), then removes the hooks,
//                               saves the statistics and prints them.  It
//                               pushes the settings file again whenever it is
//                               saved.  Started from the desktop it hides its
//                               console unless told --console; the log goes
//                               to LOGFILE, by default %TEMP%\WexControl.log.
//
// The 64-bit WexControl installs the 64-bit hooks itself and has its 32-bit
// companion (x86\WexCompanion.exe) install the 32-bit ones; the 32-bit
// WexControl, for 32-bit Windows, installs its own hooks only.
//
// Exit status: 0 done, 1 the settings file has problems, 2 wrong command line, 3 the
// library could not be loaded or its hooks installed, 4 the statistics could
// not be saved, 5 another WexControl is running (started from the desktop,
// it opens the running one's menu), 6 the logon entry could not be changed,
// 7 (--do, --dwell) no WexControl is running.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "command_line.h"
#include "commands_win32.h"
#include "companion.h"
#include "dwell_win32.h"
#include "instance.h"
#include "kept_totals.h"
#include "names.h"
#include "pointer_marks_win32.h"
#include "profiles.h"
#include "profiles_win32.h"
#include "reload.h"
#include "settings_file.h"
#include "tray.h"
#include "wexutil.h"
#include "wexutil_loader.h"

namespace {

const char kWindowClass[] = "WexControl";
const UINT_PTR kStopTimer = 100;
const UINT_PTR kSaveTimer = 101;
const UINT_PTR kReloadTimer = 102;
// How long the settings file's folder must stay quiet before the file is
// read again: an editor's steps in one save come within this.
const UINT kReloadQuiet = 250;
// Hold timers are kHoldTimer + the button's virtual key (1, 2 or 4).
const UINT_PTR kHoldTimer = 200;
// Wiggle detection comes back on when this one-shot timer fires.
const UINT_PTR kWiggleTimer = 103;

enum Exit {
    kDone = 0,
    kBadFile = 1,
    kUsage = 2,
    kNoLibrary = 3,
    kNotSaved = 4,
    kAlreadyRunning = 5,
    kNoAutostart = 6,
    kNoneRunning = 7,
};

// What a start with --do or --dwell hands to the running WexControl
// (WM_COPYDATA's dwData; the data is the command's text).
const ULONG_PTR kCommandCopyData = 0x57444F43;  // "WDOC"

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kRunValue[] = "WexControl";

struct {
    wexutil::Library library;
    control::Config config;
    std::string settingsPath;    // absolute; "" for none
    std::string statisticsPath;  // "" keeps none
    std::string logPath;
    HWND window = nullptr;
    FILE* log = nullptr;
    control::TrayIcon tray;
    UINT taskbarCreated = 0;
    control::SettingsWatch watch;
    HANDLE folderChanged = INVALID_HANDLE_VALUE;
    HANDLE stopped = nullptr;  // set once the hooks are removed and the totals saved
    // Saves come from the window's thread and from the console handler's.
    CRITICAL_SECTION saving;
    control::KeptTotals kept;
    bool lockedLogged = false;  // "still in use" was logged
    // Dwell clicking, scrolling by pointing and finding the pointer.
    control::DwellRunner dwell;
    control::PointerMarks marks;
    bool pausedHintShown = false;  // its balloon goes when the pause does
    // The profile of the foreground program, for the icon's tip, and of the
    // program under the pointer, for dwell clicking: each looked up once
    // per window.
    control::ProfileLookup foregroundProfile;
    control::ProfileLookup pointerProfile;
    int foregroundIndex = -1;
    HWINEVENTHOOK foregroundHook = nullptr;
    // The 32-bit companion, while it runs.
    HANDLE companion = nullptr;
    DWORD companionThread = 0;
    DWORD companionId = 0;
    bool companionReady = false;
} g;

// One line of the live log, with a time stamp, to the console and the log file.
void Log(const std::string& text) {
    SYSTEMTIME t;
    ::GetLocalTime(&t);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02u:%02u:%02u.%03u ", t.wHour, t.wMinute, t.wSecond,
                  t.wMilliseconds);
    std::fprintf(stdout, "%s%s\n", stamp, text.c_str());
    std::fflush(stdout);
    if (g.log) {
        std::fprintf(g.log, "%s%s\n", stamp, text.c_str());
        std::fflush(g.log);
    }
}

bool ReadFile(const std::string& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::stringstream s;
    s << in.rdbuf();
    *text = s.str();
    return true;
}

// Writes beside the target first, flushed to the disk, then renamed over it
// with the rename itself written through: after a power loss the file is
// the old one or the new one, never a new name over data that never got
// written.
bool WriteFileSafely(const std::string& path, const std::string& text) {
    const std::string fresh = path + ".new";
    const HANDLE f = ::CreateFileA(fresh.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = ::WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size() && ::FlushFileBuffers(f);
    ::CloseHandle(f);
    return ok && ::MoveFileExA(fresh.c_str(), path.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// Reads a settings file, whose text is left in `text`; prints the file's
// problems, if any, and refuses it then.
bool Load(const std::string& file, control::Config* config, std::string* text) {
    if (!ReadFile(file, text)) {
        std::fprintf(stderr, "%s: cannot be read\n", file.c_str());
        return false;
    }
    std::vector<control::Problem> problems;
    *config = control::ParseSettings(*text, &problems);
    if (problems.empty()) return true;
    std::fputs(control::DescribeProblems(file, problems).c_str(), stderr);
    std::fprintf(stderr, "%s: %u problem(s); nothing was changed\n", file.c_str(),
                 static_cast<unsigned>(problems.size()));
    return false;
}

// Reads the statistics file, trying `tries` times 100 ms apart while
// another program has it open.  `why` says what went wrong.
control::TotalsRead ReadTotals(const std::string& file, int tries, control::Totals* totals,
                               std::string* why) {
    if (file.empty()) return control::TotalsRead::kMissing;
    HANDLE f = INVALID_HANDLE_VALUE;
    for (int i = 0; i < tries; ++i) {
        f = ::CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f != INVALID_HANDLE_VALUE) break;
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return control::TotalsRead::kMissing;
        *why = "error " + std::to_string(error);
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) break;
        *why = "it is in use by another program";
        if (i + 1 < tries) ::Sleep(100);
    }
    // Any file that is there but cannot be read is kept as it is.
    if (f == INVALID_HANDLE_VALUE) return control::TotalsRead::kLocked;
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
    ::CloseHandle(f);
    std::vector<control::Problem> problems;
    *totals = control::ParseTotals(text, &problems);
    if (problems.empty()) return control::TotalsRead::kRead;
    *why = control::DescribeProblems(file, problems);
    *why = why->substr(0, why->find('\n'));
    return control::TotalsRead::kBad;
}

// A statistics file that is not one is moved aside, to a name no earlier
// bad file has, with a log line.
void SetBadFileAside(const std::string& file, const std::string& why) {
    const std::string aside = control::FreeBadName(file, [](const std::string& name) {
        return ::GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES;
    });
    const bool moved =
        !aside.empty() && ::MoveFileExA(file.c_str(), aside.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
    Log("statistics file not usable (" + why + "); " +
        (moved ? "moved aside to " + aside : "could not be moved aside") + "; counting from zero");
}

// The kept totals, or zero when the file does not exist yet.  A file that
// cannot be read must not keep the tool from starting: one that is not a
// statistics file is moved aside; one in use by another program is kept,
// and its totals are added once it can be read (see kept_totals.h).
control::Totals LoadStatistics(const std::string& file) {
    control::Totals read;
    std::string why;
    const control::TotalsRead how = ReadTotals(file, 20, &read, &why);
    if (how == control::TotalsRead::kBad) SetBadFileAside(file, why);
    if (how == control::TotalsRead::kLocked) {
        Log("statistics file " + file + " cannot be read now (" + why +
            "); it is kept, and its totals are added once it can be read");
    }
    return g.kept.Start(how, read);
}

// The totals as they stand: what the library and the dwell counted, plus
// the file's if they were read late.
control::Totals CurrentTotals() {
    control::Totals counted;
    g.library.GetStatistics(&counted.library);
    counted.dwell = g.dwell.counts;
    return g.kept.Current(counted);
}

// Writes the current totals (write-then-rename).  A failure is logged;
// `say` logs a success too.  True when there is no file to keep them in.
// A file that could not be read at the start is read first, and not
// written over while it still cannot be.
bool SaveStatistics(bool say) {
    if (g.statisticsPath.empty()) return true;
    ::EnterCriticalSection(&g.saving);
    bool saved = true;
    if (g.kept.Pending()) {
        control::Totals read;
        std::string why;
        const control::TotalsRead how = ReadTotals(g.statisticsPath, 3, &read, &why);
        if (how == control::TotalsRead::kBad) SetBadFileAside(g.statisticsPath, why);
        saved = g.kept.BeforeSave(how, read);
        if (saved && how == control::TotalsRead::kRead) Log("statistics file read: its totals are added");
        if (!saved && !g.lockedLogged) {
            Log("statistics file " + g.statisticsPath + " still cannot be read (" + why +
                "); not saved yet, the totals are counted on");
            g.lockedLogged = true;
        }
    }
    if (saved && !WriteFileSafely(g.statisticsPath, control::PrintTotals(CurrentTotals()))) {
        Log("statistics could NOT be saved to " + g.statisticsPath);
        saved = false;
    } else if (saved && say) {
        Log("statistics saved to " + g.statisticsPath);
    }
    ::LeaveCriticalSection(&g.saving);
    return saved;
}

// Saves the totals every saveEvery seconds while running (0: at the end only).
void StartSaveTimer() {
    ::KillTimer(g.window, kSaveTimer);
    if (g.config.program.saveEvery > 0 && !g.statisticsPath.empty())
        ::SetTimer(g.window, kSaveTimer, static_cast<UINT>(g.config.program.saveEvery) * 1000u, nullptr);
}

// ---- Answers to the library ------------------------------------------------

// Notification 26: the button's hold row runs once the delay has passed, if
// the button is still down then (PressAndHoldCallBack checks that).  A new
// press of the same button starts the delay again.
void StartHold(LPARAM button) {
    if (button != 1 && button != 2 && button != 4) return;  // not a button: nothing to time
    ::SetTimer(g.window, kHoldTimer + button, static_cast<UINT>(g.config.program.holdDelay), nullptr);
}

void EndHold(int button) {
    ::KillTimer(g.window, kHoldTimer + button);
    const int result = g.library.PressAndHoldCallBack(button);
    const char* name = button == 1 ? "left" : button == 2 ? "right" : "middle";
    Log(std::string("PressAndHoldCallBack ") + name + " returned " + std::to_string(result));
}

// ---- The icon --------------------------------------------------------------

bool Paused() {
    HookSettings settings;
    g.library.GetSettings(&settings);
    return settings.pauseLock != 0;
}

// "WexControl: active, hooking 64-bit and 32-bit programs"
std::string TrayTip(bool paused) {
#ifdef _WIN64
    const char* hooked = g.companion != nullptr ? "64-bit and 32-bit programs" : "64-bit programs only";
#else
    BOOL wow64 = FALSE;
    const char* hooked =
        ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64 ? "32-bit programs only" : "32-bit programs";
#endif
    std::string tip = std::string("WexControl: ") + (paused ? "paused" : "active") + ", " + g.dwell.Describe() +
                      ", hooking " + hooked;
    if (!g.config.profiles.empty()) tip += ", profile " + control::ProfileName(g.config, g.foregroundIndex);
    return tip;
}

void ShowState() {
    const bool paused = Paused();
    g.tray.Show(paused, TrayTip(paused));
}

// The pause on, off or switched: notification 7 at the press of a pause
// binding, a click on the icon, a command.  The record is read first, so
// that what the library
// changed in it itself (capture mode, the wiggle switch, copySeen, held
// rows) stays.
void SetPause(const std::string& word) {
    HookSettings settings;
    g.library.GetSettings(&settings);
    const int wanted = word == "toggle" ? (settings.pauseLock ? 0 : 1) : word == "on" ? 1 : 0;
    if (wanted == settings.pauseLock) return;
    settings.pauseLock = wanted;
    g.library.UpdateSettings(&settings);
    Log(settings.pauseLock ? "pause on" : "pause off");
    g.dwell.Pause(settings.pauseLock != 0);
    // A balloon saying it is paused would be wrong from now on.
    if (!settings.pauseLock && g.pausedHintShown) g.tray.Balloon("", "");
    g.pausedHintShown = false;
    ShowState();
}

// Dwell clicking holds still while the person types: it needs the
// library's typing watch, which is on in the pushed record while dwell is
// on, and as the settings file has it otherwise.
void PushTypingWatch() {
    HookSettings settings;
    g.library.GetSettings(&settings);
    const int wanted = g.config.settings.typingWatch != 0 || g.dwell.Enabled() ? 1 : 0;
    if ((settings.typingWatch != 0) == (wanted != 0)) return;
    settings.typingWatch = wanted;
    g.library.UpdateSettings(&settings);
}

// Dwell switched, or its next type changed.
void DwellChanged() {
    PushTypingWatch();
    ShowState();
}

// A dwell command (on, off, toggle, or a type, which also switches it on).
void DwellCommand(const std::string& command) {
    if (command == "on" || command == "off" || command == "toggle") {
        g.dwell.Enable(command == "toggle" ? !g.dwell.Enabled() : command == "on");
        return;
    }
    const control::DwellType type = control::DwellTypeOf(command);
    if (type == control::DwellType::kNone || type == control::DwellType::kOff) return;
    g.dwell.Enable(true);
    g.dwell.Choose(type);
}

// Input refused while paused: a balloon says why, and how to resume.
void PausedHint() {
    std::string how = "click WexControl's icon";
    const HookSettings& s = g.config.settings;
    for (int i = 0; i < s.bindingCount && i < WEXUTIL_BINDING_ROWS; ++i) {
        if (s.bindings[i].action == ACTION_PAUSE) {
            how = "press " + control::TriggerName(s.bindings[i].trigger) +
                  control::ModifierSuffix(s.bindings[i].modifiers) + " or " + how;
            break;
        }
    }
    Log("paused hint shown");
    g.pausedHintShown = true;
    g.tray.Balloon("WexControl is paused", "Your input goes to programs as it is. To resume, " + how + ".");
}

// After a wiggle the library switches wiggle detection off; it comes back
// on `wiggleRearm` seconds later, so that the gesture works again.
void WiggleSeen() {
    if (g.config.program.wiggleRearm <= 0 || g.config.settings.wiggleDetect == 0) return;
    ::SetTimer(g.window, kWiggleTimer, static_cast<UINT>(g.config.program.wiggleRearm) * 1000u, nullptr);
}

void WiggleRearm() {
    ::KillTimer(g.window, kWiggleTimer);
    if (g.config.settings.wiggleDetect == 0) return;
    HookSettings settings;
    g.library.GetSettings(&settings);
    if (settings.wiggleDetect != 0) return;
    settings.wiggleDetect = 1;
    g.library.UpdateSettings(&settings);
    Log("wiggle detection on again");
}

// The file with the program Windows has for it, `verb` first ("edit" is
// the person's editor for settings files), then "open", then Notepad.
void OpenFile(const std::string& file, const char* verb) {
    const auto opened = [&](const char* how) {
        return reinterpret_cast<INT_PTR>(
                   ::ShellExecuteA(g.window, how, file.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) > 32;
    };
    if (opened(verb) || opened("open")) return;
    const std::string quoted = "\"" + file + "\"";
    if (reinterpret_cast<INT_PTR>(
            ::ShellExecuteA(g.window, "open", "notepad.exe", quoted.c_str(), nullptr, SW_SHOWNORMAL)) <= 32)
        Log(file + ": no program opens it");
}

void ShowStatistics() {
    const control::Totals totals = CurrentTotals();
    const HookStatistics& s = totals.library;
    char text[512];
    std::snprintf(text, sizeof text,
                  "Left clicks:\t%u\nRight clicks:\t%u\nDouble-clicks:\t%u\nKeystrokes:\t%u\n"
                  "Single-click opens:\t%u\nEdge wraps:\t%u\nCursor travel:\t%.0f pixels",
                  s.leftClicks, s.rightClicks, s.doubleClicks, s.keystrokes, s.singleClickOpens, s.edgeWraps,
                  s.distance);
    ::MessageBoxA(g.window, text, "WexControl statistics", MB_OK | MB_ICONINFORMATION);
}

// ---- Settings saved while running --------------------------------------------

// Hands the library the default record and the profiles, together.
void PushSettings(const control::Config& config, HookSettings settings) {
    const std::vector<WexProfile> profiles = control::LibraryProfiles(config);
    if (g.library.UpdateProfiles(&settings, profiles.data(), static_cast<int>(profiles.size())) !=
        static_cast<int>(profiles.size())) {
        Log("the library did not take the profiles");
    }
}

// The foreground program changed: the tip names its profile.
void CALLBACK ForegroundChanged(HWINEVENTHOOK, DWORD, HWND window, LONG, LONG, DWORD, DWORD) {
    const int index = g.foregroundProfile.Of(window, g.config);
    if (index == g.foregroundIndex) return;
    g.foregroundIndex = index;
    ShowState();
}

// Pushes a file's new settings.  The pause stays as it is; rows held at the
// moment are the library's to settle (a row the new table keeps in its
// place stays held, any other lets its keys up).
void Apply(const control::Config& config) {
    HookSettings settings = config.settings;
    settings.pauseLock = Paused() ? 1 : 0;
    if (g.dwell.Enabled()) settings.typingWatch = 1;
    PushSettings(config, settings);
    g.config.profiles = config.profiles;
    g.foregroundProfile.Forget();
    g.pointerProfile.Forget();
    g.foregroundIndex = g.foregroundProfile.Of(::GetForegroundWindow(), g.config);
    g.config.settings = config.settings;
    g.config.dwell = config.dwell;
    g.dwell.Configure(config.dwell);
    g.config.answers = config.answers;
    g.config.program.wiggleRearm = config.program.wiggleRearm;
    g.config.program.holdDelay = config.program.holdDelay;
    if (config.program.saveEvery != g.config.program.saveEvery) {
        g.config.program.saveEvery = config.program.saveEvery;
        StartSaveTimer();
    }
    const std::string statistics = control::BesideFile(g.settingsPath, config.program.statistics);
    if (statistics != g.statisticsPath) {
        Log("the statistics file changes at the next start; until then the totals go to " +
            (g.statisticsPath.empty() ? std::string("no file") : g.statisticsPath));
    }
    Log("settings reloaded: " + std::to_string(config.settings.bindingCount) + " binding(s), " +
        std::to_string(config.profiles.size()) + " profile(s), hold delay " +
        std::to_string(config.program.holdDelay) + " ms");
    ShowState();
}

// Reads the settings file again; `asked` when the person asked for it.
void Reload(bool asked) {
    std::string text;
    const bool readable = ReadFile(g.settingsPath, &text);
    control::Config config;
    std::vector<control::Problem> problems;
    switch (g.watch.Check(readable, text, asked, &config, &problems)) {
        case control::Reload::kNone: return;
        case control::Reload::kApply: Apply(config); return;
        case control::Reload::kUnreadable: {
            const std::string why = g.settingsPath + ": cannot be read";
            Log(why + "; the running settings stay");
            g.tray.Balloon("Settings not reloaded", why);
            return;
        }
        case control::Reload::kReject: {
            const std::string lines = control::DescribeProblems(g.settingsPath, problems);
            std::istringstream each(lines);
            for (std::string line; std::getline(each, line);) Log(line);
            Log("settings not reloaded: " + std::to_string(problems.size()) +
                " problem(s); the running settings stay");
            g.tray.Balloon("Settings not reloaded", lines.substr(0, lines.find('\n')));
            return;
        }
    }
}

// Watches the settings file's folder: editors that replace the file leave a
// watch on the file itself behind.
void WatchSettingsFolder() {
    if (g.settingsPath.empty()) return;
    const std::string folder = g.settingsPath.substr(0, g.settingsPath.find_last_of("\\/") + 1);
    g.folderChanged = ::FindFirstChangeNotificationA(
        folder.c_str(), FALSE,
        FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE);
    if (g.folderChanged == INVALID_HANDLE_VALUE)
        Log(folder + " cannot be watched; saved settings need a restart");
}

void ShowMenu();

// Every command, whether from the icon's menu, another start (--do) or an
// answer to a notification, is carried out here.
control::CommandRunner& Commands() {
    static control::CommandRunner runner({
        SetPause,
        DwellCommand,
        [](const std::string& word) { g.marks.Scroll(word); },
        [] { g.marks.Locate(); },
        ShowMenu,
        ShowStatistics,
        [] { OpenFile(g.logPath, "open"); },
        [] {
            if (!g.settingsPath.empty()) Reload(true);
        },
        [] { ::PostMessageA(g.window, WM_CLOSE, 0, 0); },
        PausedHint,
        Log,
    });
    return runner;
}

// A command's text; false when it is none.
bool CarryText(const std::string& text) {
    control::Command command;
    std::string why;
    if (!control::ParseCommand(text, &command, &why)) {
        Log("not a command: " + text + " (" + why + ")");
        return false;
    }
    Commands().Carry(command, 0);
    return true;
}

// A menu item chosen (0 when none was).
void RunMenuCommand(int item) {
    if (item == control::kCommandOpenSettings) {
        if (!g.settingsPath.empty()) OpenFile(g.settingsPath, "edit");
        return;
    }
    if (const char* text = control::TrayCommandText(item)) CarryText(text);
}

// The icon's menu at the cursor, and what was chosen in it.
void ShowMenu() {
    RunMenuCommand(g.tray.Menu(!g.settingsPath.empty(), g.dwell.Enabled(), static_cast<int>(g.dwell.Next()),
                               g.marks.Scrolling()));
}

void ShowRememberedWindow() {
    char className[40] = {};
    char title[40] = {};
    WexPoint point = {0, 0};
    g.library.GetRememberedWindow(className, title, &point);
    className[sizeof className - 1] = '\0';
    title[sizeof title - 1] = '\0';
    Log("remembered window: class \"" + std::string(className) + "\", title \"" + title + "\", point (" +
        std::to_string(point.x) + ", " + std::to_string(point.y) + ")");
}

void StopCompanion();

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_HOOK_NOTIFY: {
            // The argument is a 32-bit signed value whatever the width of LPARAM.
            const long argument = static_cast<long>(static_cast<int>(lParam));
            const unsigned code = static_cast<unsigned>(wParam);
            Log(control::NotificationText(code, argument));
            if (code == NOTIFY_HOLD_STARTED) StartHold(lParam);
            if (code == NOTIFY_TYPING_STARTED || code == NOTIFY_TYPING_ENDED)
                g.dwell.Typing(code == NOTIFY_TYPING_STARTED);
            if (code == NOTIFY_PAUSE && argument == 0) SetPause("toggle");
            if (code == NOTIFY_BUTTON_REMEMBERED) ShowRememberedWindow();
            if (code == NOTIFY_WIGGLE) WiggleSeen();
            // The person's answer, or what WexControl does by itself.
            Commands().Notified(code, argument, g.config.answers);
            return 0;
        }
        case WM_HOOK_CAPTURE:
            Log(control::CaptureText(static_cast<unsigned>(wParam),
                                     static_cast<long>(static_cast<int>(lParam))));
            return 0;
        case WM_TIMER:
            if (g.dwell.OnTimer(wParam) || g.marks.OnTimer(wParam)) return 0;
            if (wParam == kWiggleTimer) WiggleRearm();
            if (wParam == kStopTimer) {
                ::KillTimer(window, kStopTimer);
                Log("time is up");
                ::PostMessageA(window, WM_CLOSE, 0, 0);
            } else if (wParam == kReloadTimer) {
                ::KillTimer(window, kReloadTimer);
                Reload(false);
            } else if (wParam == kSaveTimer) {
                SaveStatistics(false);
            } else if (wParam == kHoldTimer + 1 || wParam == kHoldTimer + 2 || wParam == kHoldTimer + 4) {
                EndHold(static_cast<int>(wParam - kHoldTimer));
            }
            return 0;
        // The session ends (logoff, shutdown): the process goes as soon as
        // this returns, so the hooks go and the totals are saved here.
        case WM_QUERYENDSESSION: return TRUE;
        case WM_ENDSESSION:
            // The totals first: ending the companion can take seconds,
            // which the session may not give.
            if (wParam) {
                Log("session ending");
                g.marks.Stop();
                g.dwell.Stop();
                g.library.RemoveHook();
                SaveStatistics(true);
                StopCompanion();
            }
            return 0;
        // A command handed over by another start (--do, --dwell): answers 1
        // when it was one.
        case WM_COPYDATA: {
            const COPYDATASTRUCT* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            if (data == nullptr || data->dwData != kCommandCopyData || data->lpData == nullptr) return 0;
            const std::string command(static_cast<const char*>(data->lpData), data->cbData);
            Log("--do " + command);
            return CarryText(command) ? 1 : 0;
        }
        case control::kCompanionReady: g.companionReady = true; return 0;
        // Sent to every top-level window, and so to no hook: pushing the
        // settings again (as they stand) has every hooked program read the
        // new screen size at its next mouse move.
        case WM_DISPLAYCHANGE: {
            HookSettings settings;
            g.library.GetSettings(&settings);
            g.library.UpdateSettings(&settings);
            Log("display changed to " + std::to_string(LOWORD(lParam)) + " x " +
                std::to_string(HIWORD(lParam)));
            return 0;
        }
        case control::kTrayCallback:
            if (lParam == WM_LBUTTONUP) SetPause("toggle");
            if (lParam == WM_RBUTTONUP || lParam == WM_CONTEXTMENU) ShowMenu();
            return 0;
        case control::kShowMenu: ShowMenu(); return 0;
        case WM_COMMAND: RunMenuCommand(LOWORD(wParam)); return 0;
        case WM_CLOSE:
            Log("closing");
            ::DestroyWindow(window);
            return 0;
        case WM_DESTROY: ::PostQuitMessage(0); return 0;
        default:
            // The shell started again, without the icons of the one before.
            if (message == g.taskbarCreated && g.taskbarCreated != 0) {
                if (g.tray.AddAgain()) ShowState();
                return 0;
            }
            return ::DefWindowProcA(window, message, wParam, lParam);
    }
}

// Ctrl+C, Ctrl+Break, the console closing, logoff or shutdown: the window
// closes as for WM_CLOSE.  Runs on a thread of its own; for the last three
// the process ends soon after this returns, so it saves the totals at once
// (ending the companion can take seconds) and then waits a little for the
// end to run its course.
BOOL WINAPI ConsoleHandler(DWORD event) {
    ::PostMessageA(g.window, WM_CLOSE, 0, 0);
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        SaveStatistics(false);
        ::WaitForSingleObject(g.stopped, 4000);
    }
    return TRUE;
}

// ---- The 32-bit companion ----------------------------------------------------

std::string OwnFolder();

void NotHooked32(const std::string& why) { Log("32-bit programs are not hooked: " + why); }

#ifdef _WIN64

// Starts the companion and waits until its hooks are in, it ends, or ten
// seconds pass; logs one line either way.  Runs before this program's own
// hooks go in: where only one bitness's hooks can run at a time (Wine), the
// set installed last, the 64-bit one, is the one that runs.
void StartCompanion() {
    const std::string path = OwnFolder() + control::kCompanionPath;
    if (::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        NotHooked32(path + " is missing");
        return;
    }
    std::string command = "\"" + path + "\" --window=" +
                          std::to_string(static_cast<unsigned long>(reinterpret_cast<uintptr_t>(g.window))) +
                          " --parent=" + std::to_string(::GetCurrentProcessId());
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    // Without a console: it prints nothing a person reads, and Ctrl+C in
    // WexControl's console is for WexControl, which then ends it.
    if (!::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                          &si, &pi)) {
        NotHooked32("this system cannot start " + path + " (" + control::ErrorText(::GetLastError()) + ")");
        return;
    }
    ::CloseHandle(pi.hThread);
    const DWORD start = ::GetTickCount();
    while (!g.companionReady && ::GetTickCount() - start < 10000) {
        if (::MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, 100, QS_ALLINPUT) == WAIT_OBJECT_0) break;
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    if (!g.companionReady) {
        DWORD code = 0;
        ::GetExitCodeProcess(pi.hProcess, &code);
        if (code == STILL_ACTIVE) ::TerminateProcess(pi.hProcess, 1);
        ::CloseHandle(pi.hProcess);
        NotHooked32(code == STILL_ACTIVE ? "the companion did not install its hooks within 10 s"
                                         : "the companion ended with status " + std::to_string(code));
        return;
    }
    g.companion = pi.hProcess;
    g.companionThread = pi.dwThreadId;
    g.companionId = pi.dwProcessId;
    Log("32-bit programs hooked by the companion (process " + std::to_string(pi.dwProcessId) + ")");
}

#endif  // _WIN64

// Asks the companion to remove its hooks and end, and waits for it.
void StopCompanion() {
    if (g.companion == nullptr) return;
    ::PostThreadMessageA(g.companionThread, WM_QUIT, 0, 0);
    if (::WaitForSingleObject(g.companion, 5000) != WAIT_OBJECT_0) ::TerminateProcess(g.companion, 1);
    ::CloseHandle(g.companion);
    g.companion = nullptr;
    Log("companion ended");
}

// This program's own bitness, and what a 32-bit one on 64-bit Windows leaves
// out.
void LogBitness() {
#ifdef _WIN64
    Log("hooks installed (64-bit programs)");
#else
    Log("hooks installed (32-bit programs)");
    BOOL wow64 = FALSE;
    if (::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64)
        Log("64-bit programs are not hooked: this is the 32-bit WexControl; on 64-bit Windows run the 64-bit "
            "one");
#endif
}

// The message loop, which also notices the companion ending on its own and
// changes in the settings file's folder.
void RunMessageLoop() {
    for (;;) {
        HANDLE handles[2];
        DWORD count = 0;
        const DWORD companion = g.companion != nullptr ? count : MAXDWORD;
        if (g.companion != nullptr) handles[count++] = g.companion;
        const DWORD folder = g.folderChanged != INVALID_HANDLE_VALUE ? count : MAXDWORD;
        if (g.folderChanged != INVALID_HANDLE_VALUE) handles[count++] = g.folderChanged;
        const DWORD woke = ::MsgWaitForMultipleObjects(count, handles, FALSE, INFINITE, QS_ALLINPUT);
        if (woke == WAIT_OBJECT_0 + companion) {
            DWORD code = 0;
            ::GetExitCodeProcess(g.companion, &code);
            ::CloseHandle(g.companion);
            g.companion = nullptr;
            NotHooked32("the companion ended with status " + std::to_string(code));
            ShowState();
            continue;
        }
        if (woke == WAIT_OBJECT_0 + folder) {
            // Read once the folder has been quiet for a moment.
            ::SetTimer(g.window, kReloadTimer, kReloadQuiet, nullptr);
            if (!::FindNextChangeNotification(g.folderChanged)) {
                ::FindCloseChangeNotification(g.folderChanged);
                g.folderChanged = INVALID_HANDLE_VALUE;
            }
            continue;
        }
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) return;
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
}

// ---- Running ---------------------------------------------------------------

std::string OwnFolder() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path);
    return s.substr(0, s.find_last_of("\\/") + 1);
}

// Whether this process has its console to itself: Windows made one for it
// because it was started from the desktop (Explorer, a shortcut, the logon
// entry), not from a console window someone works in.
bool ConsoleOfItsOwn() {
    DWORD processes[2];
    return ::GetConsoleWindow() != nullptr && ::GetConsoleProcessList(processes, 2) == 1;
}

// Started a second time: from a console it says so; from the desktop, where
// nobody would see that, it opens the running one's menu.
int AlreadyRunning(HWND running, bool fromDesktop) {
    if (fromDesktop) {
        DWORD id = 0;
        ::GetWindowThreadProcessId(running, &id);
        ::AllowSetForegroundWindow(id);
        ::PostMessageA(running, control::kShowMenu, 0, 0);
    }
    std::fprintf(stderr, "WexControl: another WexControl is running; nothing was changed\n");
    return kAlreadyRunning;
}

// Two controlling programs would push settings over each other and take
// the notifications from each other: one runs per session, holding the
// session's mutex for its whole run (see instance.h).  False when this one
// is not to run; `status` is then its exit status.
bool OnlyOne(bool fromDesktop, HANDLE* held, int* status) {
    const HANDLE mutex = ::CreateMutexA(nullptr, FALSE, control::kInstanceMutex);
    const DWORD start = ::GetTickCount();
    for (;;) {
        const DWORD taken = mutex != nullptr ? ::WaitForSingleObject(mutex, 0) : WAIT_FAILED;
        // Without the mutex (the system refused it) it runs, as it did.
        const bool ours = mutex == nullptr || taken == WAIT_OBJECT_0 || taken == WAIT_ABANDONED;
        const HWND running = ours ? nullptr : ::FindWindowA(kWindowClass, nullptr);
        switch (control::NextStartStep(ours, running != nullptr, ::GetTickCount() - start)) {
            case control::StartStep::kRun: *held = mutex; return true;
            case control::StartStep::kHandOver: *status = AlreadyRunning(running, fromDesktop); break;
            case control::StartStep::kGiveUp:
                std::fprintf(stderr,
                             "WexControl: another WexControl is starting or ending; nothing was changed\n");
                *status = kAlreadyRunning;
                break;
            case control::StartStep::kWait: ::Sleep(100); continue;
        }
        ::CloseHandle(mutex);
        return false;
    }
}

// Lets lower integrity levels reach an elevated WexControl's window with
// what they must send it: the library's messages from ordinary programs,
// and a second start's request (ChangeWindowMessageFilterEx, Windows 7 and
// later; without it nothing is filtered).
void AcceptFromLowerLevels() {
    typedef BOOL(WINAPI * Filter)(HWND, UINT, DWORD, void*);
    const Filter filter = reinterpret_cast<Filter>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("user32.dll"), "ChangeWindowMessageFilterEx")));
    if (filter == nullptr) return;
    for (UINT message : {UINT{WM_HOOK_NOTIFY}, UINT{WM_HOOK_CAPTURE}, control::kShowMenu, UINT{WM_COPYDATA}})
        filter(g.window, message, 1 /* MSGFLT_ALLOW */, nullptr);
}

int Run(const control::Options& options, const std::string& settingsText) {
    const bool fromDesktop = ConsoleOfItsOwn();
    HANDLE instance = nullptr;
    int status = kDone;
    if (!OnlyOne(fromDesktop, &instance, &status)) return status;
    ::InitializeCriticalSection(&g.saving);
    // The log is the person's view of a tool without a window, so a window
    // nobody asked for is not left on the desktop for it.
    if (fromDesktop && !options.console) ::FreeConsole();

    g.logPath = options.logFile;
    if (g.logPath.empty()) {
        char folder[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, folder);
        g.logPath = std::string(folder) + "WexControl.log";
    }
    g.log = std::fopen(g.logPath.c_str(), "w");
    if (!g.log) {
        std::fprintf(stderr, "%s: cannot be written\n", g.logPath.c_str());
        if (!options.logFile.empty()) return kUsage;
    }

    g.statisticsPath = control::BesideFile(g.settingsPath, g.config.program.statistics);
    const control::Totals kept = LoadStatistics(g.statisticsPath);
    HookStatistics statistics = kept.library;
    g.dwell.counts = kept.dwell;

    const std::string dll = OwnFolder() + WEXUTIL_DLL_NAME;
    if (!g.library.Resolve(::LoadLibraryA(dll.c_str()))) {
        std::fprintf(stderr, "%s: cannot be loaded, or an export is missing\n", dll.c_str());
        return kNoLibrary;
    }

    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = kWindowClass;
    ::RegisterClassA(&wc);
    g.window = ::CreateWindowExA(0, kWindowClass, "WexControl", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                 nullptr, wc.hInstance, nullptr);
    if (!g.window) {
        std::fprintf(stderr, "WexControl: cannot create its window\n");
        return kNoLibrary;
    }
    AcceptFromLowerLevels();

    HookSettings pushed = g.config.settings;
    // Dwell clicking holds still while the person types (see PushTypingWatch).
    if (g.config.dwell.enabled) pushed.typingWatch = 1;
    PushSettings(g.config, pushed);
    g.library.SetStatistics(&statistics);
#ifdef _WIN64
    StartCompanion();
#endif
    if (g.library.InstallHook(g.window, 0) != 1) {
        g.library.RemoveHook();
        StopCompanion();
        std::fprintf(stderr, "WexControl: the hooks could not be installed\n");
        return kNoLibrary;
    }
    g.stopped = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ::SetConsoleCtrlHandler(ConsoleHandler, TRUE);
    if (options.seconds > 0)
        ::SetTimer(g.window, kStopTimer, static_cast<UINT>(options.seconds) * 1000u, nullptr);
    StartSaveTimer();
    g.watch = control::SettingsWatch(settingsText);
    WatchSettingsFolder();

    Log("WexControl running with " +
        (g.settingsPath.empty() ? std::string("no settings file (every feature off)") : g.settingsPath) +
        ": " + std::to_string(g.config.settings.bindingCount) + " binding(s), " +
        std::to_string(g.config.profiles.size()) + " profile(s), hold delay " +
        std::to_string(g.config.program.holdDelay) + " ms, statistics " +
        (g.statisticsPath.empty() ? std::string("not kept") : "kept in " + g.statisticsPath));
    LogBitness();
    // The chooser's place is kept beside the statistics.
    g.dwell.Start(
        g.window, g.config.dwell,
        g.statisticsPath.empty() ? std::string() : control::BesideFile(g.statisticsPath, "WexControl.state"),
        Log, DwellChanged);
    // Scrolling by pointing holds dwell's clicks, and a rest on its marker
    // ends it.
    g.marks.Start(g.window, Log);
    g.marks.changed = [](bool scrolling) {
        g.dwell.Scrolling(scrolling, g.marks.Marker());
        ShowState();
    };
    g.dwell.endScroll = [] { g.marks.Scroll("stop"); };
    // Dwell clicking follows the profile of the program under the pointer.
    g.dwell.here = [](POINT p) -> const control::DwellSettings* {
        const int index = g.pointerProfile.Of(::WindowFromPoint(p), g.config);
        return index < 0 ? nullptr : &g.config.profiles[static_cast<size_t>(index)].dwell;
    };
    // The icon's tip names the profile of the program in the foreground:
    // told by the system at each change (out of context, so nothing runs in
    // other programs), never looked at per event.
    g.foregroundIndex = g.foregroundProfile.Of(::GetForegroundWindow(), g.config);
    g.foregroundHook = ::SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr,
                                         ForegroundChanged, 0, 0, WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
    g.taskbarCreated = ::RegisterWindowMessageA("TaskbarCreated");
    if (!g.tray.Add(g.window, false, TrayTip(false)))
        Log("no notification area yet; the icon appears when the shell starts");

    RunMessageLoop();

    if (g.foregroundHook != nullptr) ::UnhookWinEvent(g.foregroundHook);
    // A drag the dwell holds goes up before anything else.
    g.marks.Stop();
    g.dwell.Stop();
    g.tray.Remove();
    g.library.RemoveHook();
    StopCompanion();
    Log("hooks removed");
    status = SaveStatistics(true) ? kDone : kNotSaved;
    std::istringstream lines(control::PrintTotals(CurrentTotals()));
    for (std::string line; std::getline(lines, line);) Log(line);
    ::SetEvent(g.stopped);
    // Held to the end: a start that waited for it finds the totals saved.
    if (instance != nullptr) ::ReleaseMutex(instance);
    return status;
}

std::string FullPath(const std::string& file) {
    char full[MAX_PATH] = {};
    const DWORD n = ::GetFullPathNameA(file.c_str(), MAX_PATH, full, nullptr);
    return n > 0 && n < MAX_PATH ? std::string(full) : file;
}

// --autostart: the value under the current user's Run key that starts this
// program with a settings file at logon.
int Autostart(const control::Options& options) {
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr,
                          &key, nullptr) != ERROR_SUCCESS) {
        std::fprintf(stderr, "WexControl: the logon entries of this user cannot be opened\n");
        return kNoAutostart;
    }
    int status = kDone;
    if (options.autostart == "on") {
        char program[MAX_PATH] = {};
        ::GetModuleFileNameA(nullptr, program, MAX_PATH);
        const std::string command = control::StartCommand(program, g.settingsPath);
        if (::RegSetValueExA(key, kRunValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                             static_cast<DWORD>(command.size() + 1)) == ERROR_SUCCESS) {
            std::printf("WexControl starts at logon with %s\n", g.settingsPath.c_str());
        } else {
            std::fprintf(stderr, "WexControl: the logon entry could not be written\n");
            status = kNoAutostart;
        }
    } else if (options.autostart == "off") {
        const LONG result = ::RegDeleteValueA(key, kRunValue);
        if (result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND) {
            std::printf("WexControl does not start at logon\n");
        } else {
            std::fprintf(stderr, "WexControl: the logon entry could not be removed\n");
            status = kNoAutostart;
        }
    } else {
        char value[2 * MAX_PATH + 8] = {};
        DWORD size = sizeof value - 1, type = 0;
        if (::RegQueryValueExA(key, kRunValue, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
                ERROR_SUCCESS ||
            type != REG_SZ) {
            std::printf("WexControl does not start at logon\n");
        } else {
            const std::string file = control::FileOfStartCommand(value);
            std::printf("WexControl starts at logon %s\n",
                        (file.empty() ? std::string("as ") + value : "with " + file).c_str());
        }
    }
    ::RegCloseKey(key);
    return status;
}

// --do, --dwell: the command goes to the running WexControl, in this session.
int HandCommand(const std::string& command) {
    const HWND running = ::FindWindowA(kWindowClass, nullptr);
    if (running == nullptr) {
        std::fprintf(stderr, "WexControl: no WexControl is running; nothing was changed\n");
        return kNoneRunning;
    }
    COPYDATASTRUCT data = {kCommandCopyData, static_cast<DWORD>(command.size()),
                           const_cast<char*>(command.data())};
    DWORD_PTR answer = 0;
    if (!::SendMessageTimeoutA(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                               5000, &answer) ||
        answer != 1) {
        std::fprintf(stderr, "WexControl: the running WexControl did not take the command\n");
        return kNoneRunning;
    }
    return kDone;
}

int Usage(const std::string& error) {
    if (!error.empty()) std::fprintf(stderr, "WexControl: %s\n", error.c_str());
    std::fputs(
        "usage: WexControl --check FILE\n"
        "       WexControl --print FILE\n"
        "       WexControl --which PROGRAM FILE\n"
        "       WexControl --autostart [on FILE | off]\n"
        "       WexControl --do \"COMMAND\"\n"
        "       WexControl --dwell on|off|toggle|left|double|right|middle|drag\n"
        "       WexControl [FILE] [--seconds N] [--log LOGFILE] [--console]\n",
        stderr);
    return kUsage;
}

}  // namespace

int main(int argc, char** argv) {
    control::Options options;
    std::string error;
    if (!control::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), &options, &error))
        return Usage(error);

    if (options.mode == "--do") return HandCommand(options.command);
    std::string text;
    if (!options.file.empty() && !Load(options.file, &g.config, &text)) return kBadFile;
    if (options.mode == "--check") {
        std::printf("%s: good, %d binding(s), %d profile(s)\n", options.file.c_str(),
                    g.config.settings.bindingCount, static_cast<int>(g.config.profiles.size()));
        return kDone;
    }
    if (options.mode == "--which") {
        std::printf("%s\n", control::Which(g.config, options.program).c_str());
        return kDone;
    }
    if (options.mode == "--print") {
        std::fputs(control::PrintSettings(g.config).c_str(), stdout);
        return kDone;
    }
    // The watch and the logon entry need the file wherever the program is
    // started from.
    if (!options.file.empty()) g.settingsPath = FullPath(options.file);
    if (options.mode == "--autostart") return Autostart(options);

    const int status = Run(options, text);
    if (g.log) std::fclose(g.log);
    return status;
}
