// The per-event cost of the three hook procedures on the simulated desktop.
//
//   wexutil_bench counts          platform calls per event for every case
//   wexutil_bench check           the same, and fails unless a cursor move
//                                 with settings zero calls CallNextHookEx
//                                 and nothing else
//   wexutil_bench run CASE N      runs one case N times inside BenchLoop,
//                                 for callgrind (--toggle-collect=BenchLoop)
//
// Each case is set up as the hooks would meet it on a desktop: the hooks
// installed for a controlling program, a window of another program under the
// cursor, and the settings record of the case.  Every case calls its hook
// procedure once before measuring, so that first-time work (the distance's
// first point, the typing watch's first report) is not counted.
#include "core/exports.h"
#include "core/shared.h"
#include "platform/sim/desktop.h"
// After the platform types, which the public header needs on the host.
#include "bench/bench_settings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

extern "C" LRESULT EmptyGetMsgProc(int code, WPARAM wParam, LPARAM lParam);

namespace {

constexpr int kCountedEvents = 1000;
constexpr UINT kUnrelatedMessage = WM_TIMER;
constexpr UINT kUnrelatedHighMessage = WM_USER + 1;
constexpr WPARAM kUnboundKey = VK_SPACE;

using bench::ThirtyKeyRows;
HookSettings EverythingOn() { return bench::EverythingOn(true); }
// As the Wine half measures keys: capture mode off.
HookSettings EverythingButCapture() { return bench::EverythingOn(false); }

// 29 key rows and, last, a row for the left button that posts a
// notification: the press scans the whole table.
HookSettings LeftButtonBound() {
    HookSettings s = ThirtyKeyRows();
    s.bindings[WEXUTIL_BINDING_ROWS - 1] = {ACTION_NOTIFY_5, 0, VK_LBUTTON, 0, 0};
    return s;
}

enum Hook { HOOK_MOUSE, HOOK_KEYBOARD, HOOK_MESSAGE, HOOK_EMPTY_MESSAGE };

struct Case {
    const char* name;
    const char* label;  // for the table
    Hook hook;
    HookSettings (*settings)();
    UINT message;  // the mouse message, the key or the retrieved message
    LPARAM keyFlags;
    // 16 profiles loaded, the last of which names the program the input is
    // for: the record of the case is that profile's (and the default's).
    bool profiles = false;
};

HookSettings Zero() { return HookSettings{}; }

const Case kCases[] = {
    {"getmsg-empty", "an empty get-message hook (the yardstick), unrelated message (WM_TIMER)",
     HOOK_EMPTY_MESSAGE, EverythingOn, kUnrelatedMessage, 0},
    {"getmsg-unrelated", "GetMsgProc, unrelated message (WM_TIMER), everything on", HOOK_MESSAGE,
     EverythingOn, kUnrelatedMessage, 0},
    {"getmsg-high", "GetMsgProc, unrelated message above WM_MOUSEWHEEL (WM_USER+1)", HOOK_MESSAGE,
     EverythingOn, kUnrelatedHighMessage, 0},
    {"move-zero", "MouseProc, cursor move, settings zero", HOOK_MOUSE, Zero, WM_MOUSEMOVE, 0},
    {"move-all", "MouseProc, cursor move, everything on, 30 rows", HOOK_MOUSE, EverythingOn, WM_MOUSEMOVE, 0},
    {"press-bound", "MouseProc, bound left press (row 30 of 30)", HOOK_MOUSE, LeftButtonBound, WM_LBUTTONDOWN,
     0},
    {"key-down", "KeyboardProc, unbound key press, 30 rows", HOOK_KEYBOARD, ThirtyKeyRows, kUnboundKey,
     0x00390001},
    {"key-up", "KeyboardProc, unbound key release, 30 rows", HOOK_KEYBOARD, ThirtyKeyRows, kUnboundKey,
     static_cast<LPARAM>(0xC0390001u)},
    {"key-all", "KeyboardProc, space bar press, everything on but capture, 30 rows", HOOK_KEYBOARD,
     EverythingButCapture, kUnboundKey, 0x00390001},
    {"getmsg-unrelated-profiles", "GetMsgProc, unrelated message (WM_TIMER), 16 profiles, the program in the last",
     HOOK_MESSAGE, EverythingOn, kUnrelatedMessage, 0, true},
    {"move-all-profiles", "MouseProc, cursor move, everything on, 16 profiles, the program in the last", HOOK_MOUSE,
     EverythingOn, WM_MOUSEMOVE, 0, true},
    {"key-down-profiles", "KeyboardProc, unbound key press, 30 rows, 16 profiles, the program in the last",
     HOOK_KEYBOARD, ThirtyKeyRows, kUnboundKey, 0x00390001, true},
};

// The cursor walks right along a line inside the window, one pixel per
// event, and starts again at the left: a steady drag that neither wiggles
// nor reaches a screen edge.
POINT PointOf(int i) { return {200 + i % 200, 250}; }

HWND g_target = nullptr;

void Prepare(const Case& c) {
    sim::Reset();
    sim::Desktop& d = sim::desktop();
    sim::WindowSpec app;
    app.name = "app";
    app.className = "ControllerWindow";
    app.rect = {0, 0, 200, 100};
    app.visible = false;
    const HWND controller = d.CreateWindow(app);
    sim::WindowSpec target;
    target.name = "win";
    target.process = d.AddProcess("editor");
    g_target = d.CreateWindow(target);
    if (InstallHook(controller, 0) != 1) {
        std::fprintf(stderr, "bench: the hooks could not be installed\n");
        std::exit(2);
    }
    HookSettings s = c.settings();
    if (c.profiles) {
        // Fifteen profiles for other programs, then the editor's: the
        // program's path is compared with every pattern once, at its first
        // event, which is not measured.
        static WexProfile profiles[WEXUTIL_PROFILES];
        for (int i = 0; i < WEXUTIL_PROFILES; ++i) {
            const std::string name = i + 1 < WEXUTIL_PROFILES ? "other" + std::to_string(i) + "*.exe" : "EDITOR.EXE";
            profiles[i] = WexProfile{};
            for (size_t k = 0; k < name.size(); ++k) profiles[i].programs[k] = static_cast<uint16_t>(name[k]);
            profiles[i].settings = s;
        }
        UpdateProfiles(&s, profiles, WEXUTIL_PROFILES);
    } else {
        UpdateSettings(&s);
    }
    d.cursor = PointOf(0);
    // The hook procedures run in the program that takes the input, with the
    // library loaded there already.
    d.LoadLibraryInto(target.process);
    d.EnterProcess(target.process);
}

LRESULT CallOnce(const Case& c, int i);

// The first event, not measured: in a case with profiles the program must
// have taken the last one.
void FirstEvent(const Case& c) {
    if (c.profiles) {
        // A key's release first (Shift's, which starts no typing watch):
        // moves and unrelated messages are passed on before any profile is
        // looked at.
        KeyboardProc(HC_ACTION, VK_SHIFT, static_cast<LPARAM>(0xC02A0001u));
    }
    CallOnce(c, 0);
    if (c.profiles && Proc().table != WEXUTIL_PROFILES) {
        std::fprintf(stderr, "bench: the program did not take its profile\n");
        std::exit(2);
    }
}

LRESULT CallOnce(const Case& c, int i) {
    switch (c.hook) {
        case HOOK_MOUSE: {
            MOUSEHOOKSTRUCTEX record{};
            record.pt = PointOf(i);
            record.hwnd = g_target;
            record.wHitTestCode = HTCLIENT;
            return MouseProc(HC_ACTION, c.message, reinterpret_cast<LPARAM>(&record));
        }
        case HOOK_KEYBOARD: return KeyboardProc(HC_ACTION, c.message, c.keyFlags);
        case HOOK_MESSAGE:
        case HOOK_EMPTY_MESSAGE: {
            MSG msg{};
            msg.hwnd = g_target;
            msg.message = c.message;
            const LPARAM record = reinterpret_cast<LPARAM>(&msg);
            return c.hook == HOOK_MESSAGE ? GetMsgProc(HC_ACTION, PM_REMOVE, record)
                                          : EmptyGetMsgProc(HC_ACTION, PM_REMOVE, record);
        }
    }
    return 0;
}

const Case* Find(const char* name) {
    for (const Case& c : kCases) {
        if (std::strcmp(c.name, name) == 0) return &c;
    }
    return nullptr;
}

// Platform calls per event, by name, over kCountedEvents events.
std::map<std::string, double> CountCalls(const Case& c) {
    Prepare(c);
    FirstEvent(c);
    sim::Desktop& d = sim::desktop();
    d.osCalls.clear();
    for (int i = 1; i <= kCountedEvents; ++i) CallOnce(c, i);
    std::map<std::string, double> perEvent;
    for (const auto& call : d.osCalls) perEvent[call.first] = double(call.second) / kCountedEvents;
    return perEvent;
}

int Counts(bool check) {
    bool ok = true;
    for (const Case& c : kCases) {
        const auto calls = CountCalls(c);
        double total = 0;
        std::string names;
        for (const auto& call : calls) {
            total += call.second;
            char part[96];
            std::snprintf(part, sizeof part, "%s%s %g", names.empty() ? "" : ", ", call.first.c_str(),
                          call.second);
            names += part;
        }
        std::printf("%s\t%s\t%g\t%s\n", c.name, c.label, total, names.c_str());
        if (check && std::strcmp(c.name, "move-zero") == 0) {
            const std::map<std::string, double> onlyNext = {{"CallNextHookEx", 1.0}};
            if (calls != onlyNext) {
                std::fprintf(stderr,
                             "bench: a cursor move with settings zero calls more than CallNextHookEx\n");
                ok = false;
            }
        }
    }
    return ok ? 0 : 1;
}

}  // namespace

// The measured loop: callgrind collects from its entry to its return.  The
// result is kept so that the calls cannot be dropped.
extern "C" __attribute__((noinline)) LRESULT BenchLoop(const Case* c, int events) {
    LRESULT sum = 0;
    for (int i = 1; i <= events; ++i) sum += CallOnce(*c, i);
    return sum;
}

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "counts") == 0) return Counts(false);
    if (argc == 2 && std::strcmp(argv[1], "check") == 0) return Counts(true);
    if (argc == 4 && std::strcmp(argv[1], "run") == 0 && Find(argv[2]) != nullptr) {
        const Case& c = *Find(argv[2]);
        const int events = std::atoi(argv[3]);
        Prepare(c);
        FirstEvent(c);
        const LRESULT sum = BenchLoop(&c, events);
        std::printf("%s: %d events, results %ld\n", c.name, events, static_cast<long>(sum));
        return 0;
    }
    std::fprintf(stderr, "usage: wexutil_bench counts | check | run CASE EVENTS\ncases:");
    for (const Case& c : kCases) std::fprintf(stderr, " %s", c.name);
    std::fprintf(stderr, "\n");
    return 2;
}
