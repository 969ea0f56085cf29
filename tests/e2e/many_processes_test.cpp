// Four programs take real input at once while the controlling program
// replaces the settings record in a loop and a fifth program reads the
// statistics: no program crashes or hangs, the counters never go back, and
// in the end they equal the input injected (no update lost between
// processes).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "e2e_support.h"

namespace {

constexpr int kTypists = 4;
constexpr int kRounds = 15;
constexpr const char* kStopEvent = "WexManyProcessesStop";

// Reports from the children to the controlling window.
const UINT kTypistReady = WM_APP + 1;  // wParam child index, lParam its window
const UINT kTypistInput = WM_APP + 2;  // wParam child index, lParam message received

// Exit codes of the reader.
enum ReaderResult { kReaderOk = 0, kReaderNoLibrary = 2, kCounterWentBack = 3, kReservedChanged = 4 };

// ---- A typist: a program with a window that reports the input it gets ----

HWND g_report = nullptr;
int g_index = 0;

LRESULT CALLBACK TypistProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_LBUTTONUP:
        case WM_KEYDOWN: ::PostMessageA(g_report, kTypistInput, g_index, message); break;
        case WM_DESTROY: ::PostQuitMessage(0); return 0;
        default: break;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

int RunTypist(HWND report, int index) {
    g_report = report;
    g_index = index;
    const std::string className = "WexTypist" + std::to_string(index);
    HWND window = e2e::MakeWindow(className.c_str(), TypistProc, 220 + (index % 2) * 400,
                                  140 + (index / 2) * 300, 300, 220);
    if (!window) return 2;
    ::PostMessageA(report, kTypistReady, index, reinterpret_cast<LPARAM>(window));
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return 0;
}

// ---- The reader: reads the statistics until told to stop ----

int RunReader() {
    e2e::Library lib;
    if (!lib.Resolve(::LoadLibraryA(e2e::DllPath().c_str()))) return kReaderNoLibrary;
    HANDLE stop = ::OpenEventA(SYNCHRONIZE, FALSE, kStopEvent);
    if (stop == nullptr) return kReaderNoLibrary;
    HookStatistics first;
    lib.GetStatistics(&first);
    HookStatistics last = first;
    HookSettings settings;
    while (::WaitForSingleObject(stop, 0) != WAIT_OBJECT_0) {
        HookStatistics now;
        lib.GetStatistics(&now);
        lib.GetSettings(&settings);
        // Counters only grow (no wrap at these numbers); the reserved words
        // are the controlling program's and stay as it set them.
        if (now.leftClicks < last.leftClicks || now.keystrokes < last.keystrokes ||
            now.rightClicks < last.rightClicks) {
            return kCounterWentBack;
        }
        if (!e2e::SameBytes(now.reserved, first.reserved, sizeof now.reserved)) return kReservedChanged;
        last = now;
        ::Sleep(1);
    }
    return kReaderOk;
}

// ---- The controlling program ----

struct Typist {
    HANDLE process = nullptr;
    HWND window = nullptr;
    int clicks = 0;
    int keys = 0;
};
Typist g_typists[kTypists];
int g_controllerKeys = 0;  // keys the controlling window received itself

LRESULT CALLBACK ControllerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kTypistReady && wParam < kTypists) {
        g_typists[wParam].window = reinterpret_cast<HWND>(lParam);
        return 0;
    }
    if (message == kTypistInput && wParam < kTypists) {
        if (lParam == WM_LBUTTONUP) ++g_typists[wParam].clicks;
        if (lParam == WM_KEYDOWN) ++g_typists[wParam].keys;
        return 0;
    }
    if (message == WM_KEYDOWN) ++g_controllerKeys;
    return ::DefWindowProcA(window, message, wParam, lParam);
}

// A left click at a screen point, each event with its own absolute position.
void ClickAt(POINT p) {
    const DWORD x = static_cast<DWORD>((p.x * 65536 + 32768) / ::GetSystemMetrics(SM_CXSCREEN));
    const DWORD y = static_cast<DWORD>((p.y * 65536 + 32768) / ::GetSystemMetrics(SM_CYSCREEN));
    ::mouse_event(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTDOWN, x, y, 0, 0);
    ::mouse_event(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTUP, x, y, 0, 0);
}

int KeysReceived() {
    int keys = g_controllerKeys;
    for (const Typist& t : g_typists) keys += t.keys;
    return keys;
}

POINT CentreOf(HWND window) {
    RECT r;
    ::GetClientRect(window, &r);
    POINT p = {r.right / 2, r.bottom / 2};
    ::ClientToScreen(window, &p);
    return p;
}

TEST(ManyProcesses, CountersEqualTheInputOfFourProgramsWhileSettingsChangeAndAReaderReads) {
    e2e::Library lib;
    HWND controller = e2e::MakeWindow("WexManyController", ControllerProc, 0, 0, 200, 120);
    ASSERT_TRUE(e2e::InstallFor(lib, controller));
    HookStatistics marked = {};
    marked.reserved[0] = 0xC0FFEE01;
    marked.reserved[3] = 0xC0FFEE04;
    lib.SetStatistics(&marked);

    HANDLE stop = ::CreateEventA(nullptr, TRUE, FALSE, kStopEvent);
    ASSERT_NE(stop, nullptr);
    const std::string report = " --report=" + std::to_string(reinterpret_cast<uintptr_t>(controller));
    for (int i = 0; i < kTypists; ++i) {
        g_typists[i].process = e2e::StartSelf("--child=typist --index=" + std::to_string(i) + report);
        ASSERT_NE(g_typists[i].process, nullptr);
    }
    ASSERT_TRUE(e2e::WaitFor([] {
        for (const Typist& t : g_typists) {
            if (t.window == nullptr) return false;
        }
        return true;
    })) << "a typist window never reported";
    HANDLE reader = e2e::StartSelf("--child=reader");
    ASSERT_NE(reader, nullptr);

    // The controlling program replaces the record over and over, with
    // features that change what the hooks do on every event but not what
    // they count.
    std::atomic<bool> replacing{true};
    std::atomic<int> replaced{0};
    std::thread settingsLoop([&] {
        for (int n = 0; replacing; ++n) {
            HookSettings s = {};
            s.reserved1 = n;
            s.typingWatch = n & 1;
            s.trackDistance = (n >> 1) & 1;
            s.wiggleDetect = (n >> 2) & 1;
            s.clickWiggleSensitivity = 3;
            lib.UpdateSettings(&s);
            replaced = n + 1;
            ::Sleep(0);
        }
    });

    HookStatistics before;
    lib.GetStatistics(&before);
    // Each wait is for one more event than had arrived before it, so that an
    // event the X server or Wine drops (seen now and then on a loaded
    // machine, before any hook is called) costs one wait, not every later one.
    for (int round = 0; round < kRounds; ++round) {
        // First a burst of clicks, one into each program without waiting, so
        // that the four hooks count at the same time.  Then a click into each
        // program and a key, each waited for before the next.
        for (const Typist& t : g_typists) ClickAt(CentreOf(t.window));
        for (const Typist& t : g_typists) {
            const int clicks = t.clicks;
            ClickAt(CentreOf(t.window));
            e2e::WaitFor([&] { return t.clicks > clicks; }, 3000);
            const int keys = KeysReceived();
            e2e::TapKey('Q');
            e2e::WaitFor([&] { return KeysReceived() > keys; }, 3000);
        }
    }
    // Let anything still on its way arrive before the final reading.
    e2e::WaitFor([] { return false; }, 1000);
    HookStatistics after;
    lib.GetStatistics(&after);
    replacing = false;
    settingsLoop.join();
    ::SetEvent(stop);

    // Every click and key that reached a program passed a hook in that
    // program's process and was counted there exactly once.
    const unsigned injected = kTypists * kRounds;  // keys; twice as many clicks
    int clicksReceived = 0;
    for (const Typist& t : g_typists) clicksReceived += t.clicks;
    EXPECT_EQ(static_cast<unsigned>(clicksReceived), after.leftClicks - before.leftClicks);
    EXPECT_EQ(static_cast<unsigned>(KeysReceived()), after.keystrokes - before.keystrokes);
    // And most of it arrived (Wine on a busy machine drops a key in ten at
    // worst, seen here; the counters above must match either way).
    EXPECT_GE(clicksReceived, static_cast<int>(2 * injected * 3 / 4));
    EXPECT_GE(KeysReceived(), static_cast<int>(injected * 3 / 4));
    EXPECT_EQ(marked.reserved[0], after.reserved[0]);
    EXPECT_EQ(marked.reserved[3], after.reserved[3]);
    EXPECT_GT(replaced.load(), kRounds) << "the settings loop hardly ran";
    EXPECT_EQ(kReaderOk, e2e::WaitExit(reader, 30000));
    for (Typist& t : g_typists) {
        ::PostMessageA(t.window, WM_CLOSE, 0, 0);
        EXPECT_EQ(0, e2e::WaitExit(t.process, 30000));
    }
    lib.RemoveHook();
    ::CloseHandle(stop);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string child = e2e::Argument(argc, argv, "child");
    if (child == "typist") {
        return RunTypist(
            reinterpret_cast<HWND>(std::strtoul(e2e::Argument(argc, argv, "report").c_str(), nullptr, 10)),
            std::atoi(e2e::Argument(argc, argv, "index").c_str()));
    }
    if (child == "reader") return RunReader();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
