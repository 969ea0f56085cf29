// WexControl.exe under Wine: checking and printing settings files, refusing
// a bad one, and whole runs: the settings and kept totals it pushes, a real
// click and real keys in its log, its answers to the library (the pause key,
// a real long press timed by its own timer, the remembered window), and its
// end by WM_CLOSE, Ctrl+C or --seconds with the totals saved.  This program
// shares the library's records with WexControl through its own mapping of
// WexUTIL.dll.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "e2e_support.h"
#include "settings_file.h"
#include "tray.h"

namespace {

e2e::Library g_lib;

using e2e::ReadText;
using e2e::TempPath;

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

// EnumWindows's callback: adds each WexControl window to the vector.
BOOL CALLBACK CollectWexControlWindow(HWND window, LPARAM all) {
    char name[32] = {};
    ::GetClassNameA(window, name, sizeof name);
    if (std::string(name) == "WexControl") reinterpret_cast<std::vector<HWND>*>(all)->push_back(window);
    return TRUE;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// WexControl with its standard output and error going to `outputFile`.
HANDLE StartWexControl(const std::string& arguments, const std::string& outputFile, DWORD flags = 0) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE output = ::CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output == INVALID_HANDLE_VALUE) return nullptr;
    std::string command = "\"" + e2e::ExeFolder() + "WexControl.exe\" " + arguments;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nullptr;
    si.hStdOutput = output;
    si.hStdError = output;
    PROCESS_INFORMATION pi = {};
    const BOOL started =
        ::CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, flags, nullptr, nullptr, &si, &pi);
    ::CloseHandle(output);
    if (!started) return nullptr;
    ::CloseHandle(pi.hThread);
    return pi.hProcess;
}

// Runs WexControl to its end; its exit status, and its output in `output`.
int RunWexControl(const std::string& arguments, std::string* output) {
    const std::string outputFile = TempPath("wexcontrol-output.txt");
    HANDLE process = StartWexControl(arguments, outputFile);
    if (!process) return -2;
    const int status = e2e::WaitExit(process);
    *output = ReadText(outputFile);
    return status;
}

control::Config ParseOrFail(const std::string& text) {
    std::vector<control::Problem> problems;
    control::Config config = control::ParseSettings(text, &problems);
    EXPECT_TRUE(problems.empty()) << control::DescribeProblems("settings", problems);
    return config;
}

// A window of this program that records the notifications the library posts
// to it.
std::vector<WPARAM> g_notified;
LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_HOOK_NOTIFY) g_notified.push_back(wParam);
    return ::DefWindowProcA(window, message, wParam, lParam);
}

class WexControl : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(g_lib.Resolve(::LoadLibraryA(e2e::DllPath().c_str())));
        probe = e2e::MakeWindow("WexControlProbe", ProbeProc, 300, 200, 300, 200);
        ASSERT_NE(probe, nullptr);
    }
    static HWND probe;
};
HWND WexControl::probe = nullptr;

const char kSettings[] =
    "[settings]\n"
    "captureMode = on\n"
    "copyWatch = on\n"
    "keyboardMouseStep = 8\n"
    "reserved2 = 0x2026\n"
    "[bindings]\n"
    "hold right = ACTION_NOTIFY_8\n"
    "F9 = ACTION_PAUSE\n"
    "vk 0x88 + Shift = ACTION_NOTIFY_10 7\n"
    "[WexControl]\n"
    "holdDelay = 300\n"
    "statistics = wexcontrol-totals.ini\n";

TEST_F(WexControl, ChecksAndPrintsAGoodFileAndPrintingIsStable) {
    const std::string file = TempPath("wexcontrol-good.ini");
    WriteText(file, kSettings);
    std::string output;
    EXPECT_EQ(0, RunWexControl("--check \"" + file + "\"", &output));
    EXPECT_TRUE(Contains(output, "good, 3 binding(s)")) << output;

    std::string printed;
    ASSERT_EQ(0, RunWexControl("--print \"" + file + "\"", &printed));
    EXPECT_TRUE(Contains(printed, "vk 0x88 + Shift = ACTION_NOTIFY_10 7\n")) << printed;
    const std::string again = TempPath("wexcontrol-printed.ini");
    WriteText(again, printed);
    std::string reprinted;
    ASSERT_EQ(0, RunWexControl("--print \"" + again + "\"", &reprinted));
    EXPECT_EQ(printed, reprinted);
}

TEST_F(WexControl, AFileWithErrorsExitsNonZeroNamingTheLinesAndChangesNothing) {
    // The records as they stand, and the notification window pointing here.
    const HookSettings before = e2e::PatternSettings(7);
    g_lib.UpdateSettings(&before);
    ASSERT_EQ(1, g_lib.InstallHook(probe, 0));
    g_lib.RemoveHook();

    const std::string file = TempPath("wexcontrol-bad.ini");
    WriteText(
        file,
        "[bindings]\nF9 = ACTION_PAUSE\nF10 + Hyper = ACTION_COPY\n[settings]\nkeyboardMouseKeys = 9\n");
    for (const char* mode : {"--check ", ""}) {
        std::string output;
        EXPECT_EQ(1, RunWexControl(mode + ("\"" + file + "\""), &output)) << mode;
        EXPECT_TRUE(Contains(output, file + ":3: unknown modifier \"Hyper\"")) << output;
        EXPECT_TRUE(Contains(output, file + ":5: keyboardMouseKeys: value 9 out of range")) << output;
    }
    HookSettings after;
    g_lib.GetSettings(&after);
    EXPECT_TRUE(e2e::SameBytes(&before, &after, sizeof after)) << "settings were pushed";

    // Notifications still come here, so WexControl installed nothing.
    HookSettings row = {};
    row.bindingCount = 1;
    row.bindings[0] = {ACTION_NOTIFY_8, 0, 0x88, 0, 0};
    g_lib.UpdateSettings(&row);
    g_notified.clear();
    g_lib.PressAndHoldCallBack(0x88);
    EXPECT_TRUE(e2e::WaitFor([] { return !g_notified.empty(); }, 10000));
}

// One run of WexControl with kSettings, ended by the caller.
struct LiveRun {
    std::string settingsFile = TempPath("wexcontrol-run.ini");
    std::string totalsFile = TempPath("wexcontrol-totals.ini");
    std::string logFile = TempPath("wexcontrol-run.log");
    HANDLE process = nullptr;
    HWND window = nullptr;

    bool Start(const std::string& extra, DWORD flags = 0, const std::string& moreOptions = "") {
        return StartWith(kSettings + moreOptions, extra, flags);
    }
    // With a settings file of its own.
    bool StartWith(const std::string& settings, const std::string& extra = "", DWORD flags = 0) {
        WriteText(settingsFile, settings);
        process = StartWexControl("\"" + settingsFile + "\" --log \"" + logFile + "\" " + extra,
                                  TempPath("wexcontrol-run-output.txt"), flags);
        return process && e2e::WaitFor([&] {
                   window = ::FindWindowA("WexControl", nullptr);
                   return window != nullptr && Contains(Log(), "hooks installed");
               });
    }
    std::string Log() const { return ReadText(logFile); }
    // Milliseconds of the day at which the last log line containing `part`
    // was written ("HH:MM:SS.mmm text"), or -1.
    long StampOf(const std::string& part) const {
        const std::string log = Log();
        const size_t at = log.rfind(part);
        if (at == std::string::npos) return -1;
        const size_t start = log.rfind('\n', at) == std::string::npos ? 0 : log.rfind('\n', at) + 1;
        unsigned h = 0, m = 0, sec = 0, ms = 0;
        if (std::sscanf(log.c_str() + start, "%u:%u:%u.%u", &h, &m, &sec, &ms) != 4) return -1;
        return ((h * 60L + m) * 60L + sec) * 1000L + ms;
    }
    bool Logged(const std::string& line, DWORD timeoutMs = 15000) const {
        return e2e::WaitFor([&] { return Contains(Log(), line); }, timeoutMs);
    }
};

TEST_F(WexControl, RunsWithTheFileAnswersTheLibraryAndSavesTotalsAtWmClose) {
    LiveRun run;
    HookStatistics kept = {};
    kept.leftClicks = 41;
    kept.keystrokes = 1000;
    kept.reserved[2] = 9;
    kept.distance = 12.25;
    WriteText(run.totalsFile, control::PrintStatistics(kept));
    ASSERT_TRUE(run.Start(""));

    // It pushed the file's record and the kept totals.
    const control::Config config = ParseOrFail(kSettings);
    HookSettings pushed;
    g_lib.GetSettings(&pushed);
    EXPECT_TRUE(e2e::SameBytes(&pushed, &config.settings, sizeof pushed));
    HookStatistics totals;
    g_lib.GetStatistics(&totals);
    EXPECT_EQ(41u, totals.leftClicks);
    EXPECT_EQ(9u, totals.reserved[2]);
    EXPECT_EQ(12.25, totals.distance);

    // A second WexControl leaves the running one alone.
    const std::string other = TempPath("wexcontrol-other.ini");
    WriteText(other, "[settings]\ncaptureMode = on\n");
    std::string output;
    EXPECT_EQ(5, RunWexControl("\"" + other + "\"", &output));
    EXPECT_TRUE(Contains(output, "another WexControl is running")) << output;
    g_lib.GetSettings(&pushed);
    EXPECT_TRUE(e2e::SameBytes(&pushed, &config.settings, sizeof pushed));

    // A row with a parameter: its notification is logged in words.
    ::keybd_event(VK_SHIFT, 0, 0, 0);
    g_lib.PressAndHoldCallBack(0x88);
    ::keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0);
    EXPECT_TRUE(run.Logged("NOTIFY_PARAMETER 7\n"));

    // Notification 24: WexControl fetches the remembered window.
    ::PostMessageA(run.window, WM_HOOK_NOTIFY, NOTIFY_BUTTON_REMEMBERED, 0);
    EXPECT_TRUE(run.Logged("remembered window: class \"\", title \"\", point (0, 0)\n"));

    // WM_CLOSE ends it: hooks removed, then the totals saved and printed.
    HookStatistics last;
    g_lib.GetStatistics(&last);
    ::PostMessageA(run.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, e2e::WaitExit(run.process));
    const std::string log = run.Log();
    const size_t removed = log.find("hooks removed\n");
    const size_t saved = log.find("statistics saved to " + run.totalsFile + "\n");
    EXPECT_NE(std::string::npos, removed) << log;
    EXPECT_NE(std::string::npos, saved) << log;
    EXPECT_LT(removed, saved);
    EXPECT_TRUE(Contains(log, "leftClicks = ")) << "totals not printed";
    std::vector<control::Problem> problems;
    const HookStatistics back = control::ParseStatistics(ReadText(run.totalsFile), &problems);
    EXPECT_TRUE(problems.empty());
    EXPECT_GE(back.leftClicks, last.leftClicks);
    EXPECT_GE(back.leftClicks, 41u);
    EXPECT_EQ(9u, back.reserved[2]);
}

TEST_F(WexControl, RealInputIsLoggedByNameAndAnswered) {
    LiveRun run;
    ASSERT_TRUE(run.Start(""));
    RECT r;
    ::GetClientRect(probe, &r);
    POINT centre = {r.right / 2, r.bottom / 2};
    ::ClientToScreen(probe, &centre);
    ::SetForegroundWindow(probe);

    // A real click and a real key, by name in the log.
    ASSERT_TRUE(e2e::PlaceCursor(centre.x, centre.y));
    ::mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    ::mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    const std::string at = " (" + std::to_string(centre.x) + ", " + std::to_string(centre.y) + ")\n";
    EXPECT_TRUE(run.Logged("WM_HOOK_CAPTURE WM_LBUTTONDOWN" + at));
    EXPECT_TRUE(run.Logged("NOTIFY_BUTTON left press\n"));
    EXPECT_TRUE(run.Logged("NOTIFY_BUTTON left release\n"));

    // The key bound to the pause switches pauseLock on and back off, and
    // keeps what the library changed in the record meanwhile (here copySeen).
    HookSettings changed;
    g_lib.GetSettings(&changed);
    changed.copySeen = 1;
    g_lib.UpdateSettings(&changed);
    auto pauseLock = [] {
        HookSettings s;
        g_lib.GetSettings(&s);
        return s.pauseLock;
    };
    e2e::TapKey(VK_F9);
    EXPECT_TRUE(run.Logged("WM_HOOK_CAPTURE WM_KEYDOWN F9\n"));
    ASSERT_TRUE(e2e::WaitFor([&] { return pauseLock() == 1; }));
    EXPECT_TRUE(run.Logged("NOTIFY_PAUSE press\n"));
    EXPECT_TRUE(run.Logged("pause on\n"));
    HookSettings paused;
    g_lib.GetSettings(&paused);
    EXPECT_EQ(1, paused.copySeen);
    e2e::TapKey(VK_F9);
    ASSERT_TRUE(e2e::WaitFor([&] { return pauseLock() == 0; }));
    EXPECT_TRUE(run.Logged("pause off\n"));

    // A real long press of the right button runs its hold row through
    // WexControl's timer, not before the hold delay of 300 ms, and lets the
    // button go; a real short press runs nothing.
    ASSERT_TRUE(e2e::PlaceCursor(centre.x + 5, centre.y));
    ::mouse_event(MOUSEEVENTF_RIGHTDOWN, 0, 0, 0, 0);
    EXPECT_TRUE(run.Logged("NOTIFY_HOLD_STARTED right\n"));
    EXPECT_TRUE(run.Logged("NOTIFY_SIGNAL\n"));
    EXPECT_GE(run.StampOf("PressAndHoldCallBack right returned 1") - run.StampOf("NOTIFY_HOLD_STARTED right"),
              290);
    EXPECT_TRUE(e2e::WaitFor([] { return (::GetAsyncKeyState(VK_RBUTTON) & 0x8000) == 0; }, 5000));

    ASSERT_TRUE(e2e::PlaceCursor(centre.x + 10, centre.y));
    ::mouse_event(MOUSEEVENTF_RIGHTDOWN, 0, 0, 0, 0);
    ::mouse_event(MOUSEEVENTF_RIGHTUP, 0, 0, 0, 0);
    ASSERT_TRUE(e2e::WaitFor([&] { return Count(run.Log(), "PressAndHoldCallBack right returned") == 2; }));
    EXPECT_EQ(1u, Count(run.Log(), "NOTIFY_SIGNAL\n")) << "a short press ran the hold row";

    ::PostMessageA(run.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, e2e::WaitExit(run.process));
}

TEST_F(WexControl, EndsByItselfAfterSecondsAndStartsTotalsWhenNoneWereKept) {
    LiveRun run;
    ::DeleteFileA(run.totalsFile.c_str());
    const HookStatistics earlier = e2e::PatternStatistics(3);
    g_lib.SetStatistics(&earlier);
    ASSERT_TRUE(run.Start("--seconds 2"));
    HookStatistics totals;
    g_lib.GetStatistics(&totals);
    const HookStatistics zero = {};
    EXPECT_TRUE(e2e::SameBytes(&totals, &zero, sizeof zero)) << "totals of an earlier run were kept";
    EXPECT_EQ(0, e2e::WaitExit(run.process, 30000));
    EXPECT_TRUE(Contains(run.Log(), "time is up\n"));
    std::vector<control::Problem> problems;
    control::ParseStatistics(ReadText(run.totalsFile), &problems);
    EXPECT_TRUE(Contains(ReadText(run.totalsFile), "[statistics]\n"));
    EXPECT_TRUE(problems.empty());
}

// The person's totals are not lost and do not stop the tool: a statistics
// file that cannot be read is moved aside and counting starts from zero;
// the totals are saved every saveEvery seconds while it runs, and when the
// session ends.
TEST_F(WexControl, KeepsTheTotalsSafeWhileRunningAndSetsABadFileAside) {
    LiveRun run;
    WriteText(run.totalsFile, "[statistics]\nleftClicks = many\n");
    // An earlier bad file stays as it is: this one goes beside it.
    WriteText(run.totalsFile + ".bad", "earlier");
    ::DeleteFileA((run.totalsFile + ".bad.1").c_str());
    ASSERT_TRUE(run.Start("", 0, "saveEvery = 1\n"));
    EXPECT_TRUE(run.Logged("statistics file not usable (" + run.totalsFile + ":2: "));
    EXPECT_TRUE(Contains(ReadText(run.totalsFile + ".bad.1"), "many"));
    EXPECT_EQ("earlier", ReadText(run.totalsFile + ".bad"));
    HookStatistics totals;
    g_lib.GetStatistics(&totals);
    EXPECT_EQ(0u, totals.leftClicks);

    const auto saved = [&](unsigned clicks) {
        return e2e::WaitFor(
            [&] {
                return Contains(ReadText(run.totalsFile), "leftClicks = " + std::to_string(clicks) + "\n");
            },
            10000);
    };
    totals.leftClicks = 77;
    g_lib.SetStatistics(&totals);
    EXPECT_TRUE(saved(77)) << "not saved while running";
    totals.leftClicks = 78;
    g_lib.SetStatistics(&totals);
    ::SendMessageA(run.window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    EXPECT_TRUE(Contains(ReadText(run.totalsFile), "leftClicks = 78\n")) << "not saved as the session ended";
    EXPECT_TRUE(run.Logged("session ending\n"));
    ::PostMessageA(run.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, e2e::WaitExit(run.process));
}

// A statistics file another program has open at the start is neither taken
// for a bad one nor written over: once it can be read, its totals are added
// to what was counted meanwhile, and saved.
TEST_F(WexControl, AStatisticsFileInUseIsKeptAndItsTotalsAreAddedOnceItCanBeRead) {
    LiveRun run;
    HookStatistics kept = {};
    kept.leftClicks = 41;
    WriteText(run.totalsFile, control::PrintStatistics(kept));
    ::DeleteFileA((run.totalsFile + ".bad").c_str());
    HANDLE lock = ::CreateFileA(run.totalsFile.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    ASSERT_TRUE(run.Start("", 0, "saveEvery = 1\n"));
    EXPECT_TRUE(run.Logged("statistics file " + run.totalsFile + " cannot be read now ("));
    HookStatistics counted;
    g_lib.GetStatistics(&counted);
    counted.leftClicks += 5;
    g_lib.SetStatistics(&counted);
    EXPECT_TRUE(run.Logged(" still cannot be read ("));
    ::CloseHandle(lock);
    EXPECT_TRUE(run.Logged("statistics file read: its totals are added\n"));
    EXPECT_TRUE(e2e::WaitFor([&] { return Contains(ReadText(run.totalsFile), "leftClicks = 46\n"); }, 10000))
        << ReadText(run.totalsFile);
    ::PostMessageA(run.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, e2e::WaitExit(run.process));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA((run.totalsFile + ".bad").c_str()));
}

// Two starts at once, as the logon entry and a shortcut can make: one
// runs, the other hands over to it and ends.
TEST_F(WexControl, TwoStartsAtOnceLeaveExactlyOneRunning) {
    const std::string file = TempPath("wexcontrol-twice.ini");
    WriteText(file, kSettings);
    HANDLE starts[2];
    for (int i = 0; i < 2; ++i) {
        starts[i] = StartWexControl(
            "\"" + file + "\" --log \"" + TempPath("wexcontrol-twice" + std::to_string(i) + ".log") + "\"",
            TempPath("wexcontrol-twice" + std::to_string(i) + ".txt"));
        ASSERT_NE(nullptr, starts[i]);
    }
    const DWORD first = ::WaitForMultipleObjects(2, starts, FALSE, 30000);
    ASSERT_LT(first - WAIT_OBJECT_0, 2u) << "neither ended";
    const int ended = static_cast<int>(first - WAIT_OBJECT_0);
    DWORD status = 0;
    ::GetExitCodeProcess(starts[ended], &status);
    EXPECT_EQ(5u, status);
    // The other runs on, alone.
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), ::WaitForSingleObject(starts[1 - ended], 2000));
    std::vector<HWND> windows;
    ::EnumWindows(CollectWexControlWindow, reinterpret_cast<LPARAM>(&windows));
    ASSERT_EQ(1u, windows.size());
    const HWND window = windows[0];
    ::PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, e2e::WaitExit(starts[1 - ended]));
    ::CloseHandle(starts[ended]);
}

// The person's way of working it: a click on the icon pauses it, a saved
// settings file is pushed within a second (with the pause kept) whether the
// editor writes it in place twice or replaces it, a bad one changes nothing,
// and Quit ends the run as WM_CLOSE does.
TEST_F(WexControl, TheIconPausesItSavedSettingsArePushedAndQuitEndsIt) {
    LiveRun run;
    ASSERT_TRUE(run.Start(""));
    const auto settings = [] {
        HookSettings s;
        g_lib.GetSettings(&s);
        return s;
    };
    ::PostMessageA(run.window, control::kTrayCallback, 1, WM_LBUTTONUP);
    ASSERT_TRUE(e2e::WaitFor([&] { return settings().pauseLock == 1; }, 5000));

    const std::string more = std::string(kSettings) + "[bindings]\nF10 = ACTION_COPY\n";
    const std::string fewer =
        std::string(kSettings).replace(std::string(kSettings).find("F9 = ACTION_PAUSE\n"), 18, "");
    const struct {
        const char* how;
        std::string text;
        bool replace;
        int rows;
    } saves[] = {{"in place, emptied first", more, false, 4}, {"by replacing the file", fewer, true, 2}};
    for (const auto& save : saves) {
        const DWORD start = ::GetTickCount();
        if (save.replace) {
            WriteText(run.settingsFile + ".tmp", save.text);
            ASSERT_TRUE(::MoveFileExA((run.settingsFile + ".tmp").c_str(), run.settingsFile.c_str(),
                                      MOVEFILE_REPLACE_EXISTING));
        } else {
            WriteText(run.settingsFile, "");
            WriteText(run.settingsFile, save.text);
        }
        ASSERT_TRUE(e2e::WaitFor([&] { return settings().bindingCount == save.rows; }, 5000)) << save.how;
        EXPECT_LT(::GetTickCount() - start, 1000u) << save.how;
        EXPECT_EQ(1, settings().pauseLock) << save.how;
    }
    e2e::WaitFor([] { return false; }, 600);  // any second reload would have come by now
    EXPECT_EQ(2u, Count(run.Log(), "settings reloaded: ")) << run.Log();

    const HookSettings before = settings();
    WriteText(run.settingsFile, std::string(kSettings) + "[bindings]\nF11 = ACTION_NONSENSE\n");
    EXPECT_TRUE(run.Logged(run.settingsFile + ":14: unknown action \"ACTION_NONSENSE\"\n", 5000))
        << run.Log();
    EXPECT_TRUE(run.Logged("settings not reloaded: 1 problem(s); the running settings stay\n"));
    const HookSettings after = settings();
    EXPECT_TRUE(e2e::SameBytes(&before, &after, sizeof after));

    // The menu's windows: the totals, and the files in an editor.
    ::PostMessageA(run.window, WM_COMMAND, control::kCommandStatistics, 0);
    HWND box = nullptr;
    EXPECT_TRUE(e2e::WaitFor(
        [&] { return (box = ::FindWindowA(nullptr, "WexControl statistics")) != nullptr; }, 10000));
    if (box) ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    for (const auto& open : {std::make_pair(control::kCommandOpenSettings, run.settingsFile),
                             std::make_pair(control::kCommandShowLog, run.logFile)}) {
        ::PostMessageA(run.window, WM_COMMAND, open.first, 0);
        const std::string name = open.second.substr(open.second.find_last_of('\\') + 1);
        HWND editor = nullptr;
        EXPECT_TRUE(e2e::WaitFor(
            [&] {
                char title[MAX_PATH] = {};
                editor = ::FindWindowA("Notepad", nullptr);
                return editor && ::GetWindowTextA(editor, title, sizeof title) && Contains(title, name);
            },
            15000))
            << name;
        if (editor) ::PostMessageA(editor, WM_CLOSE, 0, 0);
        e2e::WaitFor([&] { return !::IsWindow(editor); }, 5000);
    }

    // Quit: WexControl removes the hooks itself, which lets up what a held
    // row pressed (the system would remove the hooks of a program that ended
    // without RemoveHook too, but leave the row's keys down), and saves the
    // totals.
    HookSettings held = settings();
    held.pauseLock = 0;
    held.bindings[held.bindingCount++] = {ACTION_COPY, 0, VK_F11, 0, 0};
    g_lib.UpdateSettings(&held);
    ::keybd_event(VK_F11, 0, 0, 0);
    ASSERT_TRUE(e2e::WaitFor([] { return (::GetAsyncKeyState('C') & 0x8000) != 0; }, 10000))
        << "the row pressed nothing";
    ::PostMessageA(run.window, WM_COMMAND, control::kCommandQuit, 0);
    EXPECT_EQ(0, e2e::WaitExit(run.process));
    EXPECT_FALSE(::GetAsyncKeyState(VK_CONTROL) & 0x8000) << "Quit left the row's Ctrl down";
    EXPECT_FALSE(::GetAsyncKeyState('C') & 0x8000) << "Quit left the row's C down";
    ::keybd_event(VK_F11, 0, KEYEVENTF_KEYUP, 0);
    const std::string log = run.Log();
    EXPECT_LT(log.find("hooks removed\n"), log.find("statistics saved to " + run.totalsFile + "\n")) << log;
}

// ---- Dwell clicking ---------------------------------------------------------

// The button messages a dwell target received, with their client points.
struct DwellSeen {
    UINT message;
    int x, y;
};
std::vector<DwellSeen> g_dwellSeen;

LRESULT CALLBACK DwellTargetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_LBUTTONDOWN && message <= WM_MBUTTONDBLCLK) {
        g_dwellSeen.push_back(
            {message, static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
    }
    if (message == WM_CONTEXTMENU) return 0;  // no modal menu on the virtual display
    return ::DefWindowProcA(window, message, wParam, lParam);
}

// WexControl clicks where the pointer rests, moved here with SetCursorPos
// alone: one click per rest, with both halves, at the rest point; nothing
// for jitter within the radius or before a move past `rearm`; the types
// from --dwell, one click each; a drag that selects text in a real edit
// box; no click after typing until the pointer moves; a rest on the
// chooser's Right button chooses, and clicks nothing behind it; and a drag
// held when WexControl closes goes up.
TEST_F(WexControl, DwellClicksWhereThePointerRests) {
    WNDCLASSA wc = {};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = DwellTargetProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "WexDwellTarget";
    wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
    ::RegisterClassA(&wc);
    HWND target = ::CreateWindowExA(0, wc.lpszClassName, "dwell target", WS_POPUP | WS_VISIBLE, 40, 40, 600,
                                    500, nullptr, nullptr, wc.hInstance, nullptr);
    HWND edit =
        ::CreateWindowExA(0, "EDIT", "dwell drags select this text", WS_CHILD | WS_VISIBLE | WS_BORDER, 20,
                          400, 400, 30, target, nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(target && edit);
    ::SetForegroundWindow(target);
    e2e::Pump();

    LiveRun run;
    ASSERT_TRUE(run.Start("", 0,
                          "[dwell]\nenabled = on\ntime = 300\nradius = 8\nrearm = 16\nsettle = 100\n"
                          "chooser = on\n"));
    // A point of the target, in screen and in client coordinates.
    const auto screen = [&](int x, int y) { return POINT{40 + x, 40 + y}; };
    const auto restAt = [&](int x, int y) {
        const POINT p = screen(x, y);
        return e2e::PlaceCursor(p.x, p.y);
    };
    const auto clicks = [&](UINT message) {
        int n = 0;
        for (const DwellSeen& s : g_dwellSeen) n += s.message == message ? 1 : 0;
        return n;
    };
    // Waits long enough for a rest to have clicked (time 300, settle 100, a
    // sample every 50 ms), and for what it clicked to arrive.
    const auto rest = [] { e2e::WaitFor([] { return false; }, 1200); };

    // One rest, one left click with both halves at the rest point.
    g_dwellSeen.clear();
    ASSERT_TRUE(restAt(100, 100));
    ASSERT_TRUE(restAt(130, 120));
    ASSERT_TRUE(e2e::WaitFor([&] { return clicks(WM_LBUTTONUP) == 1; }, 10000)) << run.Log();
    ASSERT_EQ(2u, g_dwellSeen.size());
    EXPECT_EQ(static_cast<UINT>(WM_LBUTTONDOWN), g_dwellSeen[0].message);
    EXPECT_EQ(130, g_dwellSeen[0].x);
    EXPECT_EQ(120, g_dwellSeen[0].y);
    // Resting on, and jitter within the radius and short of `rearm`: nothing.
    rest();
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(restAt(130 + (i % 2) * 5, 120 + (i / 2) * 5));
    rest();
    EXPECT_EQ(2u, g_dwellSeen.size()) << "a rest clicked twice";
    // A move past `rearm` and a rest: the next click.
    ASSERT_TRUE(restAt(200, 120));
    EXPECT_TRUE(e2e::WaitFor([&] { return clicks(WM_LBUTTONUP) == 2; }, 10000));

    // --dwell right: one right click, then left again.
    std::string output;
    ASSERT_EQ(0, RunWexControl("--dwell right", &output)) << output;
    ASSERT_TRUE(restAt(260, 120));
    EXPECT_TRUE(e2e::WaitFor([&] { return clicks(WM_RBUTTONUP) == 1; }, 10000));
    ASSERT_TRUE(restAt(320, 120));
    EXPECT_TRUE(e2e::WaitFor([&] { return clicks(WM_LBUTTONUP) == 3; }, 10000));
    EXPECT_EQ(1, clicks(WM_RBUTTONUP));

    // --dwell double: a real double-click.
    ASSERT_EQ(0, RunWexControl("--dwell double", &output)) << output;
    ASSERT_TRUE(restAt(380, 120));
    EXPECT_TRUE(e2e::WaitFor([&] { return clicks(WM_LBUTTONDBLCLK) == 1; }, 10000));

    // Keys typed, then a rest: no click until the pointer moves.
    rest();
    const size_t before = g_dwellSeen.size();
    ASSERT_TRUE(restAt(440, 120));
    e2e::TapKey('A');
    rest();
    rest();
    EXPECT_EQ(before, g_dwellSeen.size()) << "clicked while the person typed";
    ASSERT_TRUE(restAt(480, 160));
    EXPECT_TRUE(e2e::WaitFor([&] { return g_dwellSeen.size() > before; }, 10000)) << "no click after typing";

    // --dwell drag: pressed at one rest, let up at the next, over the text
    // of a real edit box, which then has a selection.
    ASSERT_EQ(0, RunWexControl("--dwell drag", &output)) << output;
    POINT from = {25, 415}, to = {300, 415};
    ::ClientToScreen(target, &from);
    ::ClientToScreen(target, &to);
    rest();
    ASSERT_TRUE(e2e::PlaceCursor(from.x, from.y));
    ASSERT_TRUE(run.Logged("dwell drag pressed at", 10000));
    ASSERT_TRUE(e2e::PlaceCursor(to.x, to.y));
    ASSERT_TRUE(run.Logged("dwell drag released at", 10000));
    DWORD start = 0, end = 0;
    e2e::WaitFor(
        [&] {
            ::SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
            return end > start;
        },
        5000);
    EXPECT_GT(end, start) << "the drag selected nothing";

    // A rest on the chooser's Right button chooses right and clicks nothing
    // there; the next rest in the target is a right click.
    HWND chooser = ::FindWindowA("WexDwellChooser", nullptr);
    ASSERT_NE(chooser, nullptr);
    HWND rightButton = ::FindWindowExA(chooser, nullptr, "BUTTON", nullptr);
    for (int i = 0; i < 2 && rightButton; ++i)
        rightButton = ::FindWindowExA(chooser, rightButton, "BUTTON", nullptr);
    ASSERT_NE(rightButton, nullptr);
    RECT r;
    ::GetWindowRect(rightButton, &r);
    const int rights = clicks(WM_RBUTTONUP);
    rest();
    ASSERT_TRUE(e2e::PlaceCursor((r.left + r.right) / 2, (r.top + r.bottom) / 2));
    EXPECT_TRUE(run.Logged("dwell next click right (chosen by resting)", 10000)) << run.Log();
    EXPECT_FALSE(Contains(run.Log(), "dwell click left at (" + std::to_string((r.left + r.right) / 2)));
    ASSERT_TRUE(restAt(300, 250));
    EXPECT_TRUE(e2e::WaitFor([&] { return clicks(WM_RBUTTONUP) == rights + 1; }, 10000));

    // Closed in the middle of a drag: the left button goes up.
    ASSERT_EQ(0, RunWexControl("--dwell drag", &output)) << output;
    rest();
    ASSERT_TRUE(restAt(350, 300));
    ASSERT_TRUE(run.Logged("dwell drag pressed at (" + std::to_string(40 + 350), 10000));
    EXPECT_TRUE(::GetAsyncKeyState(VK_LBUTTON) & 0x8000);
    ::PostMessageA(run.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, e2e::WaitExit(run.process));
    EXPECT_TRUE(e2e::WaitFor([] { return (::GetAsyncKeyState(VK_LBUTTON) & 0x8000) == 0; }, 5000))
        << "the drag's button was left down";
    // The clicks are kept by type.
    std::vector<control::Problem> problems;
    const control::Totals totals = control::ParseTotals(ReadText(run.totalsFile), &problems);
    EXPECT_GE(totals.dwell.left, 3u);
    EXPECT_EQ(2u, totals.dwell.right);
    EXPECT_EQ(1u, totals.dwell.doubles);
    EXPECT_GE(totals.dwell.drags, 1u);
    std::string none;
    EXPECT_EQ(7, RunWexControl("--dwell on", &none)) << "a command with none running";
    e2e::Discard(target);
}

// ---- Answers and commands ----------------------------------------------------

// WexControl answers notifications with what the settings file says, with
// real input into real windows: a bound key's NOTIFY_SIGNAL presses Ctrl+A
// in a real edit box, NOTIFY_PARAMETER 3 types Unicode text there, one real
// wheel turn with vendorWheel on types one character (one notification per
// turn), a program started by two presses within half a second starts once,
// scrolling by pointing (--do) scrolls a real list view down and up with
// vendorWheel on, and a wiggle shows the locate ring and has wiggle
// detection back on after wiggleRearm.
TEST_F(WexControl, AnswersCarryOutWhatThePersonWrote) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&controls);
    // A window of its own class: a static control would let the mouse
    // through to the desktop.
    HWND main = e2e::MakeWindow("WexAnswersTarget", ::DefWindowProcA, 40, 40, 700, 600);
    HWND edit = ::CreateWindowExW(0, L"EDIT", L"some text to replace", WS_CHILD | WS_VISIBLE | WS_BORDER, 20,
                                  20, 400, 30, main, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    HWND list = ::CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT, 20, 80,
                                  400, 300, main, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(main && edit && list);
    LVCOLUMNA column = {};
    column.mask = LVCF_WIDTH | LVCF_TEXT;
    column.cx = 300;
    column.pszText = const_cast<char*>("row");
    ::SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    for (int i = 0; i < 300; ++i) {
        std::string text = "row " + std::to_string(i);
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = i;
        item.pszText = &text[0];
        ::SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    ::SetForegroundWindow(main);
    ::SetFocus(edit);
    e2e::Pump();

    const std::string started = TempPath("wexcontrol-started.txt");
    ::DeleteFileA(started.c_str());
    char system[MAX_PATH] = {};
    ::GetSystemDirectoryA(system, MAX_PATH);
    LiveRun run;
    ASSERT_TRUE(
        run.StartWith("[settings]\nvendorWheel = on\nwiggleDetect = on\nmoveWiggleSensitivity = 10\n"
                      "[bindings]\nF11 = ACTION_NOTIFY_8\nF12 = ACTION_NOTIFY_10 3\nF10 = ACTION_NOTIFY_0\n"
                      "[WexControl]\nwiggleRearm = 1\n"
                      "[answers]\nNOTIFY_SIGNAL = keys Shift+End\nNOTIFY_PARAMETER 3 = text \"h\xC3\xA9\"\n"
                      "NOTIFY_WHEEL_FORWARD = text \"w\"\n"
                      "NOTIFY_COMMAND = run \"" +
                      std::string(system) + "\\cmd.exe\" /c echo started>>\"" + started + "\"\n"));
    const auto text = [&] {
        wchar_t buffer[64] = {};
        ::GetWindowTextW(edit, buffer, 64);
        return std::wstring(buffer);
    };
    // F11: Shift+End, the whole chord (Wine's edit control has no Ctrl+A);
    // F12: the text typed over the selection.
    e2e::TapKey(VK_F11);
    DWORD from = 1, to = 0;
    EXPECT_TRUE(e2e::WaitFor(
        [&] {
            ::SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
            return from == 0 && to == 20;
        },
        10000))
        << "the chord selected " << from << " to " << to << "\n"
        << run.Log();
    e2e::TapKey(VK_F12);
    EXPECT_TRUE(e2e::WaitFor([&] { return text() == L"h\u00E9"; }, 10000)) << run.Log();
    // One real turn, one notification, one "w".
    RECT r;
    ::GetWindowRect(edit, &r);
    ASSERT_TRUE(e2e::PlaceCursor(r.left + 50, r.top + 10));
    ::mouse_event(MOUSEEVENTF_WHEEL, 0, 0, WHEEL_DELTA, 0);
    EXPECT_TRUE(e2e::WaitFor([&] { return text() == L"h\u00E9w"; }, 10000)) << run.Log();
    e2e::WaitFor([] { return false; }, 500);
    EXPECT_EQ(L"h\u00E9w", text());
    EXPECT_EQ(1u, Count(run.Log(), "NOTIFY_WHEEL_FORWARD"));

    // Two presses within half a second start the program once; one later,
    // again.
    e2e::TapKey(VK_F10);
    e2e::TapKey(VK_F10);
    EXPECT_TRUE(e2e::WaitFor([&] { return Count(ReadText(started), "started") == 1; }, 10000)) << run.Log();
    EXPECT_TRUE(run.Logged("not started again within half a second"));
    e2e::WaitFor([] { return false; }, 600);
    e2e::TapKey(VK_F10);
    EXPECT_TRUE(e2e::WaitFor([&] { return Count(ReadText(started), "started") == 2; }, 10000)) << run.Log();

    // Scrolling by pointing, its turns let through though vendorWheel is on:
    // below the marker the list scrolls down, above it up.
    ::SetFocus(list);
    e2e::Pump();
    ::GetWindowRect(list, &r);
    const POINT marker = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ASSERT_TRUE(e2e::PlaceCursor(marker.x, marker.y));
    std::string output;
    ASSERT_EQ(0, RunWexControl("--do \"scroll start\"", &output)) << output;
    const auto top = [&] { return static_cast<int>(::SendMessageA(list, LVM_GETTOPINDEX, 0, 0)); };
    ASSERT_TRUE(e2e::PlaceCursor(marker.x, marker.y + 80));
    EXPECT_TRUE(e2e::WaitFor([&] { return top() >= 20; }, 10000)) << "top " << top() << "\n" << run.Log();
    ASSERT_TRUE(e2e::PlaceCursor(marker.x, marker.y - 80));
    const int lowest = top();
    EXPECT_TRUE(e2e::WaitFor([&] { return top() < lowest - 5; }, 10000)) << "top " << top();
    ASSERT_EQ(0, RunWexControl("--do \"scroll stop\"", &output)) << output;
    EXPECT_TRUE(run.Logged("scrolling ended"));
    const int stopped = top();
    e2e::WaitFor([] { return false; }, 500);
    EXPECT_EQ(stopped, top()) << "scrolled after it was stopped";
    EXPECT_EQ(0u, Count(run.Log(), "NOTIFY_WHEEL_BACKWARD")) << "its own turns were reported";

    // A wiggle: the ring that finds the pointer, and detection back on a
    // second later.
    const auto ringShown = [] {
        HWND ring = ::FindWindowA("WexLocateRing", nullptr);
        return ring != nullptr && ::IsWindowVisible(ring);
    };
    bool shown = false;
    const DWORD start = ::GetTickCount();
    for (int moves = 0; !Contains(run.Log(), "NOTIFY_WIGGLE") && ::GetTickCount() - start < 15000; ++moves) {
        ::SetCursorPos(moves % 2 == 0 ? 200 : 500, 500);
        e2e::WaitFor([&] { return shown = shown || ringShown(); }, 40);
    }
    ASSERT_TRUE(run.Logged("NOTIFY_WIGGLE")) << run.Log();
    EXPECT_TRUE(e2e::WaitFor([&] { return shown || ringShown(); }, 2000)) << "no ring";
    EXPECT_TRUE(e2e::WaitFor(
        [] {
            HookSettings now;
            g_lib.GetSettings(&now);
            return now.wiggleDetect == 1;
        },
        5000))
        << run.Log();
    EXPECT_TRUE(run.Logged("wiggle detection on again"));
    ::PostMessageA(run.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, e2e::WaitExit(run.process));
    e2e::Discard(main);
}

// --autostart on, the state, and off, as the current user's Run key shows them.
TEST_F(WexControl, AutostartOnAndOffChangeTheRunKey) {
    const std::string file = TempPath("wexcontrol-good.ini");
    WriteText(file, kSettings);
    const auto entry = [] {
        char value[1024] = {};
        DWORD size = sizeof value - 1;
        const LONG found =
            ::RegGetValueA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                           "WexControl", RRF_RT_REG_SZ, nullptr, value, &size);
        return found == ERROR_SUCCESS ? std::string(value) : std::string("(none)");
    };
    std::string output;
    ASSERT_EQ(0, RunWexControl("--autostart on \"" + file + "\"", &output)) << output;
    EXPECT_EQ("\"" + e2e::ExeFolder() + "WexControl.exe\" \"" + file + "\"", entry());
    EXPECT_EQ(0, RunWexControl("--autostart", &output));
    EXPECT_EQ("WexControl starts at logon with " + file + "\n", output);
    ASSERT_EQ(0, RunWexControl("--autostart off", &output)) << output;
    EXPECT_EQ("(none)", entry());
    EXPECT_EQ(0, RunWexControl("--autostart", &output));
    EXPECT_EQ("WexControl does not start at logon\n", output);
    // A file with problems is not registered.
    WriteText(file, "[bindings]\nF9 = ACTION_NONSENSE\n");
    EXPECT_EQ(1, RunWexControl("--autostart on \"" + file + "\"", &output));
    EXPECT_EQ("(none)", entry());
}

// Started from the desktop (a console made for it alone), it hides the
// console; a second start there opens the running one's menu.
TEST_F(WexControl, FromTheDesktopItHasNoConsoleAndASecondStartOpensItsMenu) {
    LiveRun run;
    ASSERT_TRUE(run.Start("", CREATE_NEW_CONSOLE));
    ::FreeConsole();
    EXPECT_FALSE(::AttachConsole(::GetProcessId(run.process))) << "its console is still there";
    ::FreeConsole();
    std::string output;
    const std::string outputFile = TempPath("wexcontrol-second.txt");
    HANDLE second = StartWexControl("\"" + run.settingsFile + "\"", outputFile, CREATE_NEW_CONSOLE);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(5, e2e::WaitExit(second));
    HWND menu = nullptr;
    EXPECT_TRUE(e2e::WaitFor(
        [&] { return (menu = ::FindWindowA("#32768", nullptr)) && ::IsWindowVisible(menu); }, 5000));
    e2e::TapKey(VK_ESCAPE);
    EXPECT_TRUE(e2e::WaitFor([&] { return !::IsWindowVisible(menu); }, 5000));
    ::PostMessageA(run.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, e2e::WaitExit(run.process));
}

TEST_F(WexControl, CtrlCInItsConsoleEndsItLikeWmClose) {
    // WexControl in a console of its own, kept with --console, which this
    // program then joins to press Ctrl+C there; this program ignores the
    // event itself.
    LiveRun run;
    ASSERT_TRUE(run.Start("--console", CREATE_NEW_CONSOLE));
    ::FreeConsole();
    ASSERT_TRUE(::AttachConsole(::GetProcessId(run.process)));
    ::SetConsoleCtrlHandler(nullptr, TRUE);
    ASSERT_TRUE(::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
    EXPECT_EQ(0, e2e::WaitExit(run.process, 30000));
    EXPECT_TRUE(Contains(run.Log(), "closing\n"));
    EXPECT_TRUE(Contains(run.Log(), "statistics saved to"));
    EXPECT_FALSE(Contains(run.Log(), "companion ended with status")) << "Ctrl+C reached the companion";
}

// Two copies of this program under other names, each showing one window:
// real middle clicks in each give its profile's row, and a saved edit of the
// file gives the profile to the other copy.
TEST_F(WexControl, EachProgramGetsItsProfileAndASavedEditSwitchesThem) {
    struct Copy {
        const char* name;
        int x;
        std::string path;
        HANDLE process;
        HWND window;
    } copies[] = {{"ProfileA.exe", 60, "", nullptr, nullptr}, {"ProfileB.exe", 460, "", nullptr, nullptr}};
    for (Copy& c : copies) {
        c.path = TempPath(c.name);
        ASSERT_TRUE(::CopyFileA((e2e::ExeFolder() + "wexcontrol_test.exe").c_str(), c.path.c_str(), FALSE));
        std::string command = "\"" + c.path + "\" --window " + std::to_string(c.x);
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        ASSERT_TRUE(::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
        ::CloseHandle(pi.hThread);
        c.process = pi.hProcess;
        const std::string title = std::to_string(c.x);
        ASSERT_TRUE(e2e::WaitFor([&] { return (c.window = ::FindWindowA("WexProfileCopy", title.c_str())) != nullptr; }));
    }
    LiveRun run;
    const std::string settings =
        "[bindings]\nMiddle = ACTION_NOTIFY_10 1\n[profile b]\nprograms = PROFILEB.EXE\nMiddle = ACTION_NOTIFY_10 2\n";
    ASSERT_TRUE(run.StartWith(settings));
    // The row each copy's middle click runs.
    const auto clickGives = [&](const Copy& c) -> std::string {
        const size_t before[2] = {Count(run.Log(), "NOTIFY_PARAMETER 1\n"), Count(run.Log(), "NOTIFY_PARAMETER 2\n")};
        if (!e2e::PlaceCursor(c.x + 100, 550)) return "the cursor did not move";
        ::mouse_event(MOUSEEVENTF_MIDDLEDOWN, 0, 0, 0, 0);
        ::mouse_event(MOUSEEVENTF_MIDDLEUP, 0, 0, 0, 0);
        std::string got = "nothing";
        e2e::WaitFor([&] {
            if (Count(run.Log(), "NOTIFY_PARAMETER 1\n") > before[0]) got = "defaults";
            if (Count(run.Log(), "NOTIFY_PARAMETER 2\n") > before[1]) got = got == "nothing" ? "profile b" : "both";
            return got != "nothing";
        }, 10000);
        return got;
    };
    EXPECT_EQ("defaults", clickGives(copies[0]));
    EXPECT_EQ("profile b", clickGives(copies[1]));
    std::string output;
    EXPECT_EQ(0, RunWexControl("--which \"" + copies[1].path + "\" \"" + run.settingsFile + "\"", &output));
    EXPECT_TRUE(Contains(output, "profile b (line 3), its pattern \"PROFILEB.EXE\"")) << output;

    e2e::WaitFor([] { return false; }, 1100);  // a later time stamp for the saved file
    const size_t reloads = Count(run.Log(), "settings reloaded");
    WriteText(run.settingsFile,
              "[bindings]\nMiddle = ACTION_NOTIFY_10 1\n[profile b]\nprograms = profilea.exe\nMiddle = ACTION_NOTIFY_10 2\n");
    ASSERT_TRUE(e2e::WaitFor([&] { return Count(run.Log(), "settings reloaded") > reloads; }, 15000));
    EXPECT_EQ("profile b", clickGives(copies[0]));
    EXPECT_EQ("defaults", clickGives(copies[1]));

    ::PostMessageA(run.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, e2e::WaitExit(run.process));
    for (Copy& c : copies) {
        ::PostMessageA(c.window, WM_CLOSE, 0, 0);
        EXPECT_EQ(0, e2e::WaitExit(c.process));
        ::DeleteFileA(c.path.c_str());
    }
}

// A WexControl that was killed left its hooks behind; the next start
// installs its own, and a real click is counted.  The mutex its thread held
// is kept open here, so that the next start finds it abandoned rather than
// gone.  Last in this program: Windows removes a dead thread's hooks, but
// Wine removes only its low-level ones, so the killed WexControl's hooks
// stay in every chain and each event would meet the library twice in the
// tests after this one.
TEST_F(WexControl, AfterAKilledWexControlTheNextStartHooksAgain) {
    LiveRun killed;
    ASSERT_TRUE(killed.Start(""));
    const std::string mutexName = "Local\\WexUTIL.Hooks." + std::to_string(sizeof(void*) * 8);
    const HANDLE mutex = ::OpenMutexA(SYNCHRONIZE, FALSE, mutexName.c_str());
    ASSERT_NE(nullptr, mutex) << mutexName;
    ::TerminateProcess(killed.process, 9);
    ASSERT_EQ(9, e2e::WaitExit(killed.process));
    LiveRun next;
    ASSERT_TRUE(next.Start(""));
    RECT r;
    ::GetClientRect(probe, &r);
    POINT centre = {r.right / 2, r.bottom / 2};
    ::ClientToScreen(probe, &centre);
    ASSERT_TRUE(e2e::PlaceCursor(centre.x, centre.y));
    ::mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    ::mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    EXPECT_TRUE(next.Logged("NOTIFY_BUTTON left release\n"));
    ::PostMessageA(next.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, e2e::WaitExit(next.process));
    ::CloseHandle(mutex);
}

}  // namespace

// A copy of this program started with --window X shows a plain window at
// (X, 450), titled X, until it is closed: a program of its own name for the
// profiles test.
LRESULT CALLBACK CopyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) ::PostQuitMessage(0);
    return ::DefWindowProcA(window, message, wParam, lParam);
}

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--window") {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = CopyProc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "WexProfileCopy";
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        ::RegisterClassA(&wc);
        const int x = std::atoi(argv[2]);
        if (::CreateWindowExA(0, "WexProfileCopy", argv[2], WS_POPUP | WS_VISIBLE, x, 450, 300, 200, nullptr,
                              nullptr, wc.hInstance, nullptr) == nullptr) {
            return 1;
        }
        MSG msg;
        while (::GetMessageA(&msg, nullptr, 0, 0) > 0) ::DispatchMessageA(&msg);
        return 0;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
