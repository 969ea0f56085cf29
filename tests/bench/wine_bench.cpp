// Times one stream of real injected input with four hook configurations:
// no hooks, an empty hook library with hooks of WexUTIL's three types, and
// WexUTIL, once with settings zero and once with every feature on (capture
// mode off) and 30 rows.
//
//   WexBench.exe [--events=2000] [--rounds=5]
//
// A stream is EVENTS absolute cursor moves (mouse_event), each to a point of
// its own, then EVENTS presses and releases of the space bar (keybd_event).
// Each event is waited for: a move until this program's window has seen a
// WM_MOUSEMOVE at its point, a key press until the window has seen its
// WM_KEYUP.  The hooks run in this thread as it takes the messages, so the
// time covers the injection, the hook calls and the delivery of each event.
//
// Every round times the four configurations in turn, a block of 200 events
// of each stream at a time, in an order that rotates from block to block, so
// that a slow spell of the machine falls on all configurations alike.  A
// configuration's stream time in a round is the sum of its blocks.  The
// result is the median per configuration over the rounds, with the smallest
// and largest time.
//
// Under Wine the whole-stream times are noisy: now and then one event takes a
// second or two (the X server, other work on the machine), whatever the
// hooks.  So every event is also timed on its own, and the median event
// over all rounds, which such stalls do not move, is reported beside them.
//
// Output: one line per stream and configuration,
//   RESULT <stream> <configuration> <median stream ms> <min stream ms>
//          <max stream ms> <median event us> <90th percentile event us> <missed events>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/bench_settings.h"
#include "e2e_support.h"

namespace {

enum Config { CONFIG_NONE, CONFIG_EMPTY, CONFIG_WEXUTIL_ZERO, CONFIG_WEXUTIL_ALL, CONFIG_COUNT };
const char* const kConfigNames[CONFIG_COUNT] = {"none", "empty", "wexutil-zero", "wexutil-all"};

constexpr BYTE kKey = VK_SPACE;
constexpr DWORD kEventTimeoutMs = 2000;
constexpr int kLeft = 150, kTop = 150, kWidth = 700, kHeight = 450;

// What the window procedure has seen of the event being waited for.
struct Seen {
    POINT target;  // screen point of the move being waited for
    POINT last;    // screen point of the last move seen
    bool moveReached;
    int movesSeen;  // moves seen since the injection
    LONG keyUps;
};
Seen g_seen;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_MOUSEMOVE) {
        POINT p = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ::ClientToScreen(window, &p);
        g_seen.last = p;
        ++g_seen.movesSeen;
        // The mapping of absolute coordinates may round by a pixel.
        if (std::abs(p.x - g_seen.target.x) <= 1 && std::abs(p.y - g_seen.target.y) <= 1) {
            g_seen.moveReached = true;
        }
    }
    if (message == WM_KEYUP && wParam == kKey) ++g_seen.keyUps;
    return ::DefWindowProcA(window, message, wParam, lParam);
}

// Takes this thread's messages until done() holds; false on time-out.
template <typename Done>
bool RunUntil(Done done) {
    const DWORD start = ::GetTickCount();
    MSG msg;
    while (!done()) {
        const DWORD waited = ::GetTickCount() - start;
        if (waited > kEventTimeoutMs) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, kEventTimeoutMs - waited, QS_ALLINPUT);
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    return true;
}

// Points of the move stream: three pixels apart along rows inside the
// window, so that no echo of the previous move is taken for the next, and
// no screen edge is near.
POINT MovePoint(int i) {
    const int perRow = 180;
    return {kLeft + 60 + 3 * (i % perRow), kTop + 80 + 12 * ((i / perRow) % 25)};
}

// A move is handled once the window has seen it at its point, or, when
// Wine merged it with an echo of the previous move (the window then sees one
// move at the old point), once a move came and none is queued any more.
bool MoveHandled() {
    if (g_seen.moveReached) return true;
    return g_seen.movesSeen > 0 && (HIWORD(::GetQueueStatus(QS_MOUSEMOVE)) & QS_MOUSEMOVE) == 0;
}

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return 1000.0 * double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

// Lets the input of the previous stream settle: the cursor at the first
// point, nothing left in the queue.
void Settle(HWND window) {
    ::SetForegroundWindow(window);
    ::SetFocus(window);
    const POINT first = MovePoint(0);
    e2e::PlaceCursor(first.x - 20, first.y);
    e2e::WaitFor([] { return false; }, 150);
}

constexpr int kBlock = 200;

struct Timing {
    double ms;                     // the whole stream
    std::vector<double> eventsUs;  // each event, from its injection until it was handled
    int missed;

    void Append(const Timing& t) {
        ms += t.ms;
        eventsUs.insert(eventsUs.end(), t.eventsUs.begin(), t.eventsUs.end());
        missed += t.missed;
    }
};

// Times one event: inject() puts it in, handled() says when it is through.
template <typename Inject, typename Handled>
void TimeEvent(Timing& t, Inject inject, Handled handled) {
    LARGE_INTEGER start, end;
    ::QueryPerformanceCounter(&start);
    inject();
    const bool done = RunUntil(handled);
    ::QueryPerformanceCounter(&end);
    if (done) {
        t.eventsUs.push_back(1000.0 * Milliseconds(start, end));
    } else {
        ++t.missed;
    }
}

// Moves first..first+count-1 of the stream.
Timing TimeMoves(HWND window, int first, int count) {
    Settle(window);
    const int width = ::GetSystemMetrics(SM_CXSCREEN), height = ::GetSystemMetrics(SM_CYSCREEN);
    Timing t = {0, {}, 0};
    LARGE_INTEGER start, end;
    ::QueryPerformanceCounter(&start);
    for (int i = first; i < first + count; ++i) {
        g_seen.target = MovePoint(i);
        g_seen.moveReached = false;
        g_seen.movesSeen = 0;
        // The normalised coordinate of the pixel's centre.
        const DWORD dx = static_cast<DWORD>((g_seen.target.x * 65536 + 32768) / width);
        const DWORD dy = static_cast<DWORD>((g_seen.target.y * 65536 + 32768) / height);
        TimeEvent(
            t, [dx, dy] { ::mouse_event(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, dx, dy, 0, 0); },
            MoveHandled);
    }
    ::QueryPerformanceCounter(&end);
    t.ms = Milliseconds(start, end);
    return t;
}

Timing TimeKeys(HWND window, int count) {
    Settle(window);
    Timing t = {0, {}, 0};
    LARGE_INTEGER start, end;
    ::QueryPerformanceCounter(&start);
    for (int i = 0; i < count; ++i) {
        const LONG before = g_seen.keyUps;
        TimeEvent(
            t, [] { e2e::TapKey(kKey); }, [before] { return g_seen.keyUps > before; });
    }
    ::QueryPerformanceCounter(&end);
    t.ms = Milliseconds(start, end);
    return t;
}

// The hooks of one configuration, installed and removed.
struct Hooks {
    e2e::Library wexutil;
    HMODULE empty = nullptr;
    HHOOK emptyHooks[3] = {};

    bool Load() {
        empty = ::LoadLibraryA((e2e::ExeFolder() + "WexEmptyHooks.dll").c_str());
        return empty != nullptr && wexutil.Resolve(::LoadLibraryA(e2e::DllPath().c_str()));
    }

    bool Install(Config config, HWND window) {
        if (config == CONFIG_EMPTY) {
            const int types[3] = {WH_MOUSE, WH_KEYBOARD, WH_GETMESSAGE};
            const char* const names[3] = {WEXUTIL_EXPORT_NAME(MouseProc, 12), WEXUTIL_EXPORT_NAME(KeyboardProc, 12),
                                             WEXUTIL_EXPORT_NAME(GetMsgProc, 12)};
            for (int i = 0; i < 3; ++i) {
                const HOOKPROC proc =
                    reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(::GetProcAddress(empty, names[i])));
                emptyHooks[i] = proc ? ::SetWindowsHookExA(types[i], proc, empty, 0) : nullptr;
                if (emptyHooks[i] == nullptr) return false;
            }
        }
        if (config == CONFIG_WEXUTIL_ZERO || config == CONFIG_WEXUTIL_ALL) {
            HookSettings settings =
                config == CONFIG_WEXUTIL_ALL ? bench::EverythingOn(false) : HookSettings{};
            wexutil.UpdateSettings(&settings);
            return wexutil.InstallHook(window, 0) == 1;
        }
        return true;
    }

    void Remove(Config config) {
        if (config == CONFIG_EMPTY) {
            for (HHOOK& hook : emptyHooks) {
                if (hook) ::UnhookWindowsHookEx(hook);
                hook = nullptr;
            }
        }
        if (config == CONFIG_WEXUTIL_ZERO || config == CONFIG_WEXUTIL_ALL) wexutil.RemoveHook();
    }
};

struct Samples {
    std::vector<double> ms;        // whole streams, one per round
    std::vector<double> eventsUs;  // every event of every round
    int missed = 0;

    void Add(const Timing& t) {
        ms.push_back(t.ms);
        eventsUs.insert(eventsUs.end(), t.eventsUs.begin(), t.eventsUs.end());
        missed += t.missed;
    }
};

// The value below which a fraction of the sorted values lies.
double Quantile(std::vector<double>& v, double fraction) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(fraction * double(v.size() - 1) + 0.5)];
}

void Report(const char* stream, Config config, Samples s) {
    const double median = Quantile(s.ms, 0.5);
    std::printf("RESULT %s %s %.1f %.1f %.1f %.1f %.1f %d\n", stream, kConfigNames[config], median,
                s.ms.front(), s.ms.back(), Quantile(s.eventsUs, 0.5), Quantile(s.eventsUs, 0.9), s.missed);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string eventsArg = e2e::Argument(argc, argv, "events");
    const std::string roundsArg = e2e::Argument(argc, argv, "rounds");
    const int events = eventsArg.empty() ? 2000 : std::atoi(eventsArg.c_str());
    const int rounds = roundsArg.empty() ? 5 : std::atoi(roundsArg.c_str());
    if (events <= 0 || rounds <= 0) {
        std::fprintf(stderr, "usage: WexBench.exe [--events=N] [--rounds=N]\n");
        return 2;
    }

    HWND window = e2e::MakeWindow("WexBenchWindow", WindowProc, kLeft, kTop, kWidth, kHeight);
    Hooks hooks;
    if (window == nullptr || !hooks.Load()) {
        std::fprintf(stderr, "WexBench: no window, or a library did not load\n");
        return 1;
    }

    Samples moves[CONFIG_COUNT], keys[CONFIG_COUNT];
    for (int round = 0; round < rounds; ++round) {
        Timing roundMoves[CONFIG_COUNT] = {}, roundKeys[CONFIG_COUNT] = {};
        for (int first = 0, block = 0; first < events; first += kBlock, ++block) {
            const int count = std::min(kBlock, events - first);
            for (int k = 0; k < CONFIG_COUNT; ++k) {
                const Config config = static_cast<Config>((round + block + k) % CONFIG_COUNT);
                if (!hooks.Install(config, window)) {
                    std::fprintf(stderr, "WexBench: the %s hooks could not be installed\n",
                                 kConfigNames[config]);
                    return 1;
                }
                roundMoves[config].Append(TimeMoves(window, first, count));
                roundKeys[config].Append(TimeKeys(window, count));
                hooks.Remove(config);
            }
        }
        for (int c = 0; c < CONFIG_COUNT; ++c) {
            moves[c].Add(roundMoves[c]);
            keys[c].Add(roundKeys[c]);
            std::printf("round %d %-12s moves %8.1f ms (%d missed)  keys %8.1f ms (%d missed)\n", round + 1,
                        kConfigNames[c], roundMoves[c].ms, roundMoves[c].missed, roundKeys[c].ms,
                        roundKeys[c].missed);
        }
        std::fflush(stdout);
    }
    for (int c = 0; c < CONFIG_COUNT; ++c) Report("moves", static_cast<Config>(c), moves[c]);
    for (int c = 0; c < CONFIG_COUNT; ++c) Report("keys", static_cast<Config>(c), keys[c]);
    ::DestroyWindow(window);
    return 0;
}
