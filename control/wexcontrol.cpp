// WexControl: the controlling program of WexUTIL.dll.
//
//   WexControl --check FILE     reads a settings file and reports its problems
//   WexControl --print FILE     writes the settings as understood
//   WexControl [FILE] [--seconds N] [--log LOGFILE]
//                               pushes the settings and the kept statistics,
//                               installs the hooks and answers the library
//                               until closed (WM_CLOSE, Ctrl+C, or after N
//                               seconds), then removes the hooks, saves the
//                               statistics and prints them.
//
// The 64-bit WexControl installs the 64-bit hooks itself and has its 32-bit
// companion (x86\WexCompanion.exe) install the 32-bit ones; the 32-bit
// WexControl, for 32-bit Windows, installs its own hooks only.
//
// Exit status: 0 done, 1 the settings file has problems, 2 wrong command line, 3 the
// library could not be loaded or its hooks installed, 4 the statistics could
// not be saved, 5 another WexControl is running.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "companion.h"
#include "names.h"
#include "settings_file.h"
#include "wexutil.h"
#include "wexutil_loader.h"

namespace {

const char kWindowClass[] = "WexControl";
const UINT_PTR kStopTimer = 100;
const UINT_PTR kSaveTimer = 101;
// Hold timers are kHoldTimer + the button's virtual key (1, 2 or 4).
const UINT_PTR kHoldTimer = 200;

enum Exit { kDone = 0, kBadFile = 1, kUsage = 2, kNoLibrary = 3, kNotSaved = 4, kAlreadyRunning = 5 };

struct {
    wexutil::Library library;
    control::Config config;
    std::string statisticsPath;  // "" keeps none
    HWND window = nullptr;
    FILE* log = nullptr;
    HANDLE stopped = nullptr;  // set once the hooks are removed and the totals saved
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

// Writes beside the target first, so that a failed write leaves the old file.
bool WriteFile(const std::string& path, const std::string& text) {
    const std::string fresh = path + ".new";
    FILE* f = std::fopen(fresh.c_str(), "wb");
    if (!f) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (std::fclose(f) != 0 || !written) return false;
    return ::MoveFileExA(fresh.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

// Reads a file into a record with `parse` (ParseSettings, ParseStatistics);
// prints the file's problems, if any, and refuses it then.
template <typename Record>
bool Load(const std::string& file, Record (*parse)(const std::string&, std::vector<control::Problem>*),
          Record* record) {
    std::string text;
    if (!ReadFile(file, &text)) {
        std::fprintf(stderr, "%s: cannot be read\n", file.c_str());
        return false;
    }
    std::vector<control::Problem> problems;
    *record = parse(text, &problems);
    if (problems.empty()) return true;
    std::fputs(control::DescribeProblems(file, problems).c_str(), stderr);
    std::fprintf(stderr, "%s: %u problem(s); nothing was changed\n", file.c_str(),
                 static_cast<unsigned>(problems.size()));
    return false;
}

// The kept totals, or zero when the file does not exist yet.  A file that
// cannot be read must not keep the tool from starting over a counter file:
// it is moved aside to FILE.bad, with a log line, and counting starts from
// zero.
HookStatistics LoadStatistics(const std::string& file) {
    if (file.empty() || ::GetFileAttributesA(file.c_str()) == INVALID_FILE_ATTRIBUTES) return {};
    std::string text;
    std::vector<control::Problem> problems;
    if (ReadFile(file, &text)) {
        const HookStatistics statistics = control::ParseStatistics(text, &problems);
        if (problems.empty()) return statistics;
    }
    std::string why = problems.empty() ? file + ": cannot be read" : control::DescribeProblems(file, problems);
    why = why.substr(0, why.find('\n'));
    const std::string aside = file + ".bad";
    const bool moved = ::MoveFileExA(file.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
    Log("statistics file not usable (" + why + "); " +
        (moved ? "moved aside to " + aside : "could not be moved aside") + "; counting from zero");
    return {};
}

// Writes the current totals, as at the end, while running.
bool SaveStatistics() {
    if (g.statisticsPath.empty()) return true;
    HookStatistics statistics;
    g.library.GetStatistics(&statistics);
    return WriteFile(g.statisticsPath, control::PrintStatistics(statistics));
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

// Notification 7 at the press of a pause binding: the pause switches.  The
// record is read first, so that what the library changed in it itself
// (capture mode, the wiggle switch, copySeen, held rows) stays.
void TogglePause() {
    HookSettings settings;
    g.library.GetSettings(&settings);
    settings.pauseLock = settings.pauseLock ? 0 : 1;
    g.library.UpdateSettings(&settings);
    Log(settings.pauseLock ? "pause on" : "pause off");
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
            Log(control::NotificationText(static_cast<unsigned>(wParam), argument));
            if (wParam == NOTIFY_HOLD_STARTED) StartHold(lParam);
            if (wParam == NOTIFY_PAUSE && argument == 0) TogglePause();
            if (wParam == NOTIFY_BUTTON_REMEMBERED) ShowRememberedWindow();
            return 0;
        }
        case WM_HOOK_CAPTURE:
            Log(control::CaptureText(static_cast<unsigned>(wParam),
                                     static_cast<long>(static_cast<int>(lParam))));
            return 0;
        case WM_TIMER:
            if (wParam == kStopTimer) {
                ::KillTimer(window, kStopTimer);
                Log("time is up");
                ::PostMessageA(window, WM_CLOSE, 0, 0);
            } else if (wParam == kSaveTimer) {
                if (!SaveStatistics()) Log("statistics could NOT be saved to " + g.statisticsPath);
            } else if (wParam == kHoldTimer + 1 || wParam == kHoldTimer + 2 || wParam == kHoldTimer + 4) {
                EndHold(static_cast<int>(wParam - kHoldTimer));
            }
            return 0;
        // The session ends (logoff, shutdown): the process goes as soon as
        // this returns, so the hooks go and the totals are saved here.
        case WM_QUERYENDSESSION: return TRUE;
        case WM_ENDSESSION:
            if (wParam) {
                Log("session ending");
                g.library.RemoveHook();
                StopCompanion();
                Log(SaveStatistics() ? "statistics saved" : "statistics could NOT be saved to " + g.statisticsPath);
            }
            return 0;
        case control::kCompanionReady:
            g.companionReady = true;
            return 0;
        // Sent to every top-level window, and so to no hook: pushing the
        // settings again (as they stand) has every hooked program read the
        // new screen size at its next mouse move.
        case WM_DISPLAYCHANGE: {
            HookSettings settings;
            g.library.GetSettings(&settings);
            g.library.UpdateSettings(&settings);
            Log("display changed to " + std::to_string(LOWORD(lParam)) + " x " + std::to_string(HIWORD(lParam)));
            return 0;
        }
        case WM_CLOSE:
            Log("closing");
            ::DestroyWindow(window);
            return 0;
        case WM_DESTROY: ::PostQuitMessage(0); return 0;
        default: return ::DefWindowProcA(window, message, wParam, lParam);
    }
}

// Ctrl+C, Ctrl+Break, the console closing, logoff or shutdown: the window
// closes as for WM_CLOSE.  Runs on a thread of its own; for the last three
// the process ends soon after this returns, so it waits for the totals to be
// saved, and saves them itself if that takes too long.
BOOL WINAPI ConsoleHandler(DWORD event) {
    ::PostMessageA(g.window, WM_CLOSE, 0, 0);
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        if (::WaitForSingleObject(g.stopped, 4000) != WAIT_OBJECT_0) SaveStatistics();
    }
    return TRUE;
}

// ---- The 32-bit companion ----------------------------------------------------

std::string OwnFolder();

void NotHooked32(const std::string& why) { Log("32-bit programs are not hooked: " + why); }

#ifdef _WIN64

std::string ErrorText(DWORD error) {
    char text[256] = {};
    ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                     sizeof text, nullptr);
    std::string s(text);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '.'))
        s.pop_back();
    return s.empty() ? "error " + std::to_string(error) : s;
}

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
    if (!::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        NotHooked32("this system cannot start " + path + " (" + ErrorText(::GetLastError()) + ")");
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
        Log("64-bit programs are not hooked: this is the 32-bit WexControl; on 64-bit Windows run the 64-bit one");
#endif
}

// The message loop, which also notices the companion ending on its own.
void RunMessageLoop() {
    for (;;) {
        const DWORD handles = g.companion != nullptr ? 1 : 0;
        const DWORD woke = ::MsgWaitForMultipleObjects(handles, &g.companion, FALSE, INFINITE, QS_ALLINPUT);
        if (handles == 1 && woke == WAIT_OBJECT_0) {
            DWORD code = 0;
            ::GetExitCodeProcess(g.companion, &code);
            ::CloseHandle(g.companion);
            g.companion = nullptr;
            NotHooked32("the companion ended with status " + std::to_string(code));
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

int Run(const std::string& file, int seconds) {
    // Two controlling programs would push settings over each other and take
    // the notifications from each other.
    if (::FindWindowA(kWindowClass, nullptr)) {
        std::fprintf(stderr, "WexControl: another WexControl is running; nothing was changed\n");
        return kAlreadyRunning;
    }
    HookStatistics statistics = LoadStatistics(g.statisticsPath);

    const std::string dll = OwnFolder() + "WexUTIL.dll";
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

    g.library.UpdateSettings(&g.config.settings);
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
    if (seconds > 0) ::SetTimer(g.window, kStopTimer, static_cast<UINT>(seconds) * 1000u, nullptr);
    if (g.config.program.saveEvery > 0 && !g.statisticsPath.empty())
        ::SetTimer(g.window, kSaveTimer, static_cast<UINT>(g.config.program.saveEvery) * 1000u, nullptr);

    Log("WexControl running with " +
        (file.empty() ? std::string("no settings file (every feature off)") : file) + ": " +
        std::to_string(g.config.settings.bindingCount) + " binding(s), hold delay " +
        std::to_string(g.config.program.holdDelay) + " ms, statistics " +
        (g.statisticsPath.empty() ? std::string("not kept") : "kept in " + g.statisticsPath));
    LogBitness();

    RunMessageLoop();

    g.library.RemoveHook();
    StopCompanion();
    Log("hooks removed");
    g.library.GetStatistics(&statistics);
    const std::string totals = control::PrintStatistics(statistics);
    int status = kDone;
    if (!g.statisticsPath.empty()) {
        if (WriteFile(g.statisticsPath, totals)) {
            Log("statistics saved to " + g.statisticsPath);
        } else {
            Log("statistics could NOT be saved to " + g.statisticsPath);
            status = kNotSaved;
        }
    }
    std::istringstream lines(totals);
    for (std::string line; std::getline(lines, line);) Log(line);
    ::SetEvent(g.stopped);
    return status;
}

int Usage() {
    std::fputs(
        "usage: WexControl --check FILE\n"
        "       WexControl --print FILE\n"
        "       WexControl [FILE] [--seconds N] [--log LOGFILE]\n",
        stderr);
    return kUsage;
}

}  // namespace

int main(int argc, char** argv) {
    std::string mode, file, logFile;
    int seconds = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--check" || a == "--print") {
            if (!mode.empty()) return Usage();
            mode = a;
        } else if (a == "--seconds" || a == "--log") {
            if (i + 1 == argc) return Usage();
            const std::string value = argv[++i];
            if (a == "--log") {
                logFile = value;
                continue;
            }
            char* end = nullptr;
            const long n = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || n < 1 || n > 86400) {
                std::fprintf(stderr, "WexControl: --seconds takes a whole number from 1 to 86400\n");
                return kUsage;
            }
            seconds = static_cast<int>(n);
        } else if (a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "WexControl: unknown option %s\n", a.c_str());
            return Usage();
        } else {
            if (!file.empty()) return Usage();
            file = a;
        }
    }
    if (!mode.empty() && (file.empty() || seconds || !logFile.empty())) return Usage();

    if (!file.empty() && !Load(file, control::ParseSettings, &g.config)) return kBadFile;
    if (mode == "--check") {
        std::printf("%s: good, %d binding(s)\n", file.c_str(), g.config.settings.bindingCount);
        return kDone;
    }
    if (mode == "--print") {
        std::fputs(control::PrintSettings(g.config).c_str(), stdout);
        return kDone;
    }

    g.statisticsPath = control::BesideFile(file, g.config.program.statistics);
    if (!logFile.empty()) {
        g.log = std::fopen(logFile.c_str(), "w");
        if (!g.log) {
            std::fprintf(stderr, "%s: cannot be written\n", logFile.c_str());
            return kUsage;
        }
    }
    const int status = Run(file, seconds);
    if (g.log) std::fclose(g.log);
    return status;
}
