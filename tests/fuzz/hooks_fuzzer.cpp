// libFuzzer target: a settings record and a stream of events run through the
// three hook procedures and the exports on the simulated desktop.
//
// Input: the 716-byte settings record as a controlling program sends it
// (shorter inputs are padded with zeros), then events of one operation byte
// and its arguments each, at most 256 events (see RunEvent).  Every input starts
// on a fresh desktop: the controlling program's window, two windows of one
// program and one of another, the hooks installed.  The record is the
// default; a profile for the other program holds the same record with its
// rows in reverse order and some features switched the other way, so that a
// press and its release can run under two profiles.
//
// After the stream, the user lets go of everything: every key and button the
// fuzzer pressed through the devices goes up (other keys first, then Shift,
// Ctrl and Alt), every press handed to a hook procedure directly gets its
// release, and a journal playback hook that the desktop was not calling is
// called.  Then, beyond no crash and no sanitizer report:
//  - no single event made the library inject or play more than a small
//    bound of events (a release that meets its own injected release again
//    would loop);
//  - the only hooks installed are the library's mouse, keyboard and
//    get-message hooks, one each, those it recorded (none after RemoveHook);
//  - no key or button is down, except the left button that the keyboard
//    mouse's lock (keypad 0 or Insert) holds on purpose, with the keys of a
//    row that the button holds.  A wheel
//    row's release phase runs on a backward turn, so letting go of the wheel
//    is a backward turn for every turn made;
//  - every button press that reached a window was followed by a release of
//    that button at some window (where one source pressed it at a time);
//  - no binding table is read past its 30 rows: the fuzzing build has a
//    guard after each table, poisoned for AddressSanitizer throughout, and
//    the array-bounds check catches an index past the table.
#include "actions/dispatcher.h"
#include "core/exports.h"
#include "core/shared.h"
#include "platform/sim/controls.h"
#include "platform/sim/desktop.h"

#include <sanitizer/asan_interface.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr size_t kWireSize = 716;
constexpr size_t kTableEnd = 0x5C + 20 * WEXUTIL_BINDING_ROWS;  // reserved2 on the wire
constexpr int kMaxEvents = 256;

struct Reader {
    const uint8_t* p;
    size_t n;
    uint8_t U8() {
        if (n == 0) return 0;
        --n;
        return *p++;
    }
    uint16_t U16() { return static_cast<uint16_t>(U8() | U8() << 8); }
    uint32_t U32() { return static_cast<uint32_t>(U16()) | static_cast<uint32_t>(U16()) << 16; }
};

void Fail(const std::string& what) {
    std::fprintf(stderr, "hooks_fuzzer: invariant broken: %s\n", what.c_str());
    std::abort();
}

// ---- the guard after the binding table ----

void PoisonGuard(bool on) {
    for (int t = 0; t < kTables; ++t) {
        void* guard = Shared().settings[t].tableGuard;
        if (on) {
            ASAN_POISON_MEMORY_REGION(guard, sizeof Shared().settings[t].tableGuard);
        } else {
            ASAN_UNPOISON_MEMORY_REGION(guard, sizeof Shared().settings[t].tableGuard);
        }
    }
}

// The other program's profile: the record's rows in use in reverse order, and the
// keyboard mouse, the right-button filter, single-click open and the vendor
// wheel the other way.
WexProfile OtherProfile(const HookSettings& s) {
    WexProfile p{};
    const char name[] = "viewer.exe";
    for (size_t i = 0; name[i] != '\0'; ++i) p.programs[i] = static_cast<uint16_t>(name[i]);
    p.settings = s;
    const int rows = UsedBindingRows(s);
    for (int i = 0; i < rows; ++i) p.settings.bindings[i] = s.bindings[rows - 1 - i];
    p.settings.keyboardMouse ^= 1;
    p.settings.rightButtonFilter ^= 1;
    p.settings.singleClickFolders ^= 1;
    p.settings.vendorWheel ^= 1;
    return p;
}

// The whole-record copies legitimately pass over the guard.  `alone`: the
// default record by itself, the profiles kept as they are.
void Update(const HookSettings* s, bool alone = false) {
    PoisonGuard(false);
    if (alone) {
        UpdateSettings(s);
    } else {
        const WexProfile profile = OtherProfile(*s);
        UpdateProfiles(s, &profile, 1);
    }
    PoisonGuard(true);
}

// The wire record into the build's record, guard left zero.
HookSettings FromWire(const uint8_t* wire) {
    HookSettings s{};
    std::memcpy(&s, wire, kTableEnd);
    std::memcpy(&s.reserved2, wire + kTableEnd, kWireSize - kTableEnd);
    return s;
}

// ---- one input ----

struct Run {
    sim::Desktop* d = nullptr;
    HWND app = nullptr;
    HWND win = nullptr;
    HWND list = nullptr;
    HWND gone = nullptr;  // a window that was destroyed
    HWND plain = nullptr; // the other program's window
    int editor = 0;       // the program the windows belong to
    int viewer = 0;       // the other program, under the other profile
    int companion = 0;    // installs the hooks of the other bitness
    std::array<uint8_t, kWireSize> wire{};
    // Keys and buttons the fuzzer holds through the devices.
    std::array<bool, 256> physical{};
    // Presses of each mouse button (left, right, middle) not yet released:
    // two pointing devices can each hold the same button.
    std::array<int, 3> buttonsHeld{};
    // Presses handed to hook procedures directly, to be released at the end.
    // Counted, as several devices each hold theirs: each gets a release.
    std::array<int, 3> mouseHeld{};
    // A button was pressed by a direct call as well as by the devices: a
    // device's release may then rightly end what the direct press started
    // (a second device would give a second release, which a direct call
    // does not), so the button is not checked for a press left unreleased.
    std::array<bool, 3> directPress{};
    std::vector<WPARAM> keysHeld;
    bool extraHeld[2] = {false, false};
    bool vendorHeld = false;
    int wheelTurns = 0;
    // A key that is the keyboard mouse's lock in some scheme (keypad 0,
    // Insert) was pressed: only then may the lock hold the left button.
    bool lockKeyPressed = false;
    // RemoveHook ran while a key or button was down: the library sees no
    // more of the releases, so what it holds stays down.
    bool removedWhileDown = false;
    // The most events one event of the input made the library inject.
    int mostInjected = 0;
};

Run g_run;
bool g_verbose = false;

void Say(const char* format, unsigned long long a, unsigned long long b, unsigned long long c) {
    if (g_verbose) std::fprintf(stderr, format, a, b, c);
}
void Say(const char* format, unsigned long long a, const char* b) {
    if (g_verbose) std::fprintf(stderr, format, a, b);
}

bool IsModifier(int vk) {
    return vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU || (vk >= VK_LSHIFT && vk <= VK_RMENU);
}

HWND PickWindow(uint8_t b) {
    switch (b % 5) {
        case 0: return g_run.win;
        case 1: return g_run.list;
        case 2: return g_run.app;
        case 3: return g_run.gone;
        default: return nullptr;
    }
}

// Lines of the trace that are input the library injected or played.
bool IsInjection(const std::string& line) {
    return line.rfind("key ", 0) == 0 || line.rfind("mouse ", 0) == 0 || line.rfind("played ", 0) == 0;
}

// Runs an event and delivers what followed from it, counting what the
// library injected meanwhile (`own` events are the fuzzer's own devices).
template <typename F>
void Watched(F&& event, int own = 0) {
    const size_t start = g_run.d->trace.size();
    event();
    // What the library injected or played is delivered before the next event.
    g_run.d->Pump();
    int injected = -own;
    for (size_t i = start; i < g_run.d->trace.size(); ++i) injected += IsInjection(g_run.d->trace[i]) ? 1 : 0;
    if (injected > g_run.mostInjected) g_run.mostInjected = injected;
}

void NoteLockKey(int vk, bool up) {
    if (!up && (vk == VK_NUMPAD0 || vk == VK_INSERT)) g_run.lockKeyPressed = true;
}

void DeviceKey(int vk, bool up, bool extended) {
    Say("   keyboard 0x%llX %s\n", static_cast<unsigned>(vk), up ? "up" : "down");
    g_run.physical[vk] = !up;
    NoteLockKey(vk, up);
    Watched([&] { g_run.d->KeyboardInput(vk, up, extended); });
}

void DeviceMouse(DWORD flags, POINT at, DWORD data, ULONG_PTR extra) {
    static const DWORD downs[3] = {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_MIDDLEDOWN};
    for (int button = 0; button < 3; ++button) {
        int& held = g_run.buttonsHeld[button];
        if (flags & downs[button]) ++held;
        if ((flags & (downs[button] << 1)) && held > 0) --held;
    }
    if (flags & MOUSEEVENTF_WHEEL) ++g_run.wheelTurns;
    Watched(
        [&] {
            g_run.d->cursor = at;
            os::mouse_event(flags, 0, 0, data, extra);
        },
        1);
}

// Runs a hook procedure where Windows runs it: in the process of the window
// the input is for (the controlling program's for its own window), or in the
// program's process when the window is gone or none.
template <typename F>
LRESULT InProcessOf(HWND window, F&& call) {
    const sim::Window* w = g_run.d->Find(window);
    const int process = w != nullptr ? w->process : g_run.editor;
    return g_run.d->InProcess(process, call);
}

void CallMouseProc(int code, UINT id, POINT pt, HWND window, int hit, ULONG_PTR extra, bool record) {
    MOUSEHOOKSTRUCTEX info{};
    info.pt = pt;
    info.hwnd = window;
    info.wHitTestCode = static_cast<UINT>(hit);
    info.dwExtraInfo = extra;
    Say("   MouseProc(%llu, 0x%llX, extra 0x%llX)\n", static_cast<unsigned>(code), id, extra);
    if (id == WM_MOUSEWHEEL) ++g_run.wheelTurns;
    Watched([&] { InProcessOf(window, [&] { return MouseProc(code, id, record ? reinterpret_cast<LPARAM>(&info) : 0); }); });
    // Presses of the three buttons, client or not, await their release.
    UINT client =
        id >= WM_NCLBUTTONDOWN && id <= WM_NCMBUTTONDBLCLK ? id - WM_NCLBUTTONDOWN + WM_LBUTTONDOWN : id;
    if (code == HC_ACTION && record && client >= WM_LBUTTONDOWN && client <= WM_MBUTTONDBLCLK) {
        const int button = static_cast<int>(client - WM_LBUTTONDOWN) / 3;
        const int kind = static_cast<int>(client - WM_LBUTTONDOWN) % 3;
        if (kind != 1 && g_run.mouseHeld[button] < 8) ++g_run.mouseHeld[button];  // a double-click too
        if (kind != 1) g_run.directPress[button] = true;
        if (kind == 1 && g_run.mouseHeld[button] > 0) --g_run.mouseHeld[button];
    }
}

void CallKeyboardProc(int code, WPARAM vk, uint32_t flags) {
    Say("   KeyboardProc(%llu, 0x%llX, 0x%llX)\n", static_cast<unsigned>(code), vk, flags);
    Watched([&] { InProcessOf(g_run.win, [&] { return KeyboardProc(code, vk, static_cast<LPARAM>(flags)); }); });
    if (code != HC_ACTION) return;
    if (vk < 256) NoteLockKey(static_cast<int>(vk), (flags & 0x80000000u) != 0);
    std::vector<WPARAM>& held = g_run.keysHeld;
    for (size_t i = 0; i < held.size(); ++i) {
        if (held[i] == vk) held.erase(held.begin() + static_cast<long>(i));
    }
    if ((flags & 0x80000000u) == 0 && held.size() < 64) held.push_back(vk);
}

// `remove`: PM_REMOVE as the message is taken, PM_NOREMOVE when a program
// only looks at it (the hook must then act on nothing).
void CallGetMsgProc(int code, UINT id, WPARAM wParam, LPARAM lParam, HWND window, bool record,
                    WPARAM remove = PM_REMOVE) {
    MSG msg{};
    msg.hwnd = window;
    msg.message = id;
    msg.wParam = wParam;
    msg.lParam = lParam;
    const bool wheel = id == WM_MOUSEWHEEL || id == 0x8D8 || id == Shared().wheelMessage;
    Say("   GetMsgProc(%llu, 0x%llX, lParam 0x%llX)\n", static_cast<unsigned>(code), id,
        static_cast<uint32_t>(lParam));
    if (wheel && remove == PM_REMOVE) ++g_run.wheelTurns;
    Watched([&] { InProcessOf(window, [&] { return GetMsgProc(code, remove, record ? reinterpret_cast<LPARAM>(&msg) : 0); }); });
    if (code != HC_ACTION || !record || remove != PM_REMOVE) return;
    if (id == 0x1400 || id == 0x1401) g_run.extraHeld[(lParam & 4) != 0 ? 1 : 0] = id == 0x1400;
    if (id == 0x8C5 && lParam == 8) g_run.vendorHeld = true;
    if (id == 0x8C5 && lParam == 0) g_run.vendorHeld = false;
}

POINT PointFrom(Reader& r) {
    // Mostly on the screen, sometimes anywhere.
    const int16_t x = static_cast<int16_t>(r.U16());
    const int16_t y = static_cast<int16_t>(r.U16());
    if ((x & 0x4000) != 0) return {x, y};
    return {(x & 0x7FFF) % g_run.d->screenWidth, (y & 0x7FFF) % g_run.d->screenHeight};
}

int HookCode(uint8_t b) { return (b & 0xE0) != 0 ? HC_ACTION : static_cast<int>(b & 0x1F) - 8; }

void RunEvent(Reader& r) {
    sim::Desktop& d = *g_run.d;
    const uint8_t op = r.U8();
    switch (op % 13) {
        case 0: {  // MouseProc with any message, point, hit-test code, extra information
            static const UINT ids[] = {WM_MOUSEMOVE,     WM_LBUTTONDOWN,   WM_LBUTTONUP,     WM_LBUTTONDBLCLK,
                                       WM_RBUTTONDOWN,   WM_RBUTTONUP,     WM_RBUTTONDBLCLK, WM_MBUTTONDOWN,
                                       WM_MBUTTONUP,     WM_MBUTTONDBLCLK, WM_MOUSEWHEEL,    WM_NCMOUSEMOVE,
                                       WM_NCLBUTTONDOWN, WM_NCLBUTTONUP,   WM_NCRBUTTONDOWN, WM_NCMBUTTONUP};
            const uint8_t pick = r.U8();
            const uint8_t codeByte = r.U8();
            UINT id = ids[pick % 16];
            if (pick >= 0xF0) id = r.U32();
            const POINT pt = PointFrom(r);
            const uint8_t hit = r.U8();
            const ULONG_PTR extra = (pick & 0x10) != 0 ? r.U32() : static_cast<int16_t>(r.U16());
            CallMouseProc(HookCode(codeByte), id, pt, PickWindow(hit >> 4), static_cast<int8_t>(hit) % 24,
                          extra, codeByte != 0x20);
            break;
        }
        case 1: {  // the mouse itself: moves, presses, releases, turns
            static const DWORD flags[] = {MOUSEEVENTF_MOVE,      MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP,
                                          MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP,  MOUSEEVENTF_MIDDLEDOWN,
                                          MOUSEEVENTF_MIDDLEUP,  MOUSEEVENTF_WHEEL};
            const uint8_t b = r.U8();
            const POINT at = PointFrom(r);
            const DWORD data = static_cast<DWORD>(static_cast<int16_t>(r.U16()));
            DWORD flag = flags[b % 8];
            // A fast click: the release comes with the press, before the
            // press is handled.
            const DWORD downs = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_RIGHTDOWN | MOUSEEVENTF_MIDDLEDOWN;
            if ((b & 0x20) != 0 && (flag & downs) != 0) flag |= flag << 1;
            DeviceMouse(flag | ((b & 0x80) ? MOUSEEVENTF_MOVE : 0u), {at.x & 1023, at.y & 767}, data,
                        (b & 0x40) ? static_cast<ULONG_PTR>(static_cast<int16_t>(data)) : 0u);
            break;
        }
        case 2: {  // the keyboard itself
            static const uint8_t keys[] = {VK_SHIFT,   VK_CONTROL, VK_MENU,     'A',         'Z',
                                           'C',        'X',        VK_NUMPAD0,  VK_NUMPAD5,  VK_NUMPAD8,
                                           VK_DECIMAL, VK_ADD,     VK_SUBTRACT, VK_MULTIPLY, VK_INSERT,
                                           VK_DELETE,  VK_LEFT,    VK_UP,       VK_CLEAR,    VK_SPACE};
            const uint8_t b = r.U8();
            const uint8_t k = r.U8();
            int vk = (b & 0x40) ? k : keys[k % 20];
            if (vk == 0 || vk == VK_LBUTTON || vk == VK_RBUTTON || vk == VK_MBUTTON) vk = 'Q';
            DeviceKey(vk, (b & 1) != 0, (b & 2) != 0);
            break;
        }
        case 3: {  // KeyboardProc with any key and flags
            const uint8_t b = r.U8();
            WPARAM vk = r.U8();
            if (b & 0x80) vk = r.U32();
            CallKeyboardProc(HookCode(b), vk, r.U32());
            break;
        }
        case 4: {  // GetMsgProc with any message and parameters
            const uint8_t b = r.U8();
            static const UINT ids[] = {0x1400, 0x1401, 0x8C5, 0x8D8, WM_MOUSEWHEEL, 0, WM_KEYDOWN, WM_NULL};
            UINT id = ids[b % 8];
            if (id == 0) id = Shared().wheelMessage;
            if (b & 0x80) id = r.U32();
            const uint32_t wParam = r.U32();
            uint32_t lParam = r.U32();
            if ((b & 0x40) && id == 0x8C5) lParam = (b & 8);
            const uint8_t codeByte = r.U8();
            CallGetMsgProc(HookCode(codeByte), id, wParam, static_cast<LPARAM>(static_cast<int32_t>(lParam)),
                           PickWindow(b >> 3), (b & 0x30) != 0x30, (codeByte & 0x40) ? PM_NOREMOVE : PM_REMOVE);
            break;
        }
        case 5: {  // the press-and-hold callback with any value
            const uint8_t b = r.U8();
            const int vk = (b & 0x80) ? static_cast<int>(r.U32()) : b % 6;
            Watched([&] { PressAndHoldCallBack(vk); });
            break;
        }
        case 6: {  // the copy-out and copy-in exports with null pointers
            const uint8_t b = r.U8();
            char className[40];
            char title[40];
            WexPoint point;
            GetRememberedWindow((b & 1) ? className : nullptr, (b & 2) ? title : nullptr,
                                (b & 4) ? &point : nullptr);
            GetSettings(nullptr);
            UpdateSettings(nullptr);
            GetStatistics(nullptr);
            SetStatistics(nullptr);
            HookStatistics stats;
            GetStatistics(&stats);
            if (b & 8) SetStatistics(&stats);
            LeftStillDown(PickWindow(b >> 4), WM_TIMER, b, 0);
            break;
        }
        case 7: {  // the controlling program replaces the settings record
            const uint8_t b = r.U8();
            const size_t word = (b % (kWireSize / 4)) * 4;
            const uint32_t value = (r.U8() & 1) ? r.U32() : r.U8();
            std::memcpy(&g_run.wire[word], &value, 4);
            const HookSettings s = FromWire(g_run.wire.data());
            // With the profile, or the default record alone.
            const bool alone = (word & 4) != 0;
            if ((b & 0x80) != 0) {
                // Pushed while the next event is being handled, at one of
                // the platform calls its hook makes.
                d.interleaveAt = 1 + (b >> 3 & 0xF);
                d.interleave = [s, alone] { g_run.d->InProcess(0, [&s, alone] { Update(&s, alone); return 0; }); };
            } else {
                Watched([&] { Update(&s, alone); });
            }
            break;
        }
        case 8:  // time passes
            d.Advance(r.U16());
            break;
        case 9: {  // the hooks go and come back, with a window or none
            const uint8_t b = r.U8();
            if (b & 1) {
                for (int vk = 1; vk < 256; ++vk) g_run.removedWhileDown |= d.KeyDown(vk);
                RemoveHook();
            } else {
                if (b & 2) d.failHooks[WH_MOUSE + (b >> 6)] = 1;
                InstallHook(PickWindow(b >> 2), 0);
            }
            break;
        }
        case 10: {  // a window goes away: the notification window, or one under the cursor
            const uint8_t b = r.U8();
            const HWND victim = (b & 1) ? g_run.app : g_run.win;
            if (d.Find(victim) != nullptr) {
                d.DestroyWindow(victim);
                g_run.gone = victim;
            }
            break;
        }
        case 11: {  // journal playback: called, never called, refused; the export itself
            const uint8_t b = r.U8();
            if (b & 1) d.journal = (b & 2) ? sim::Desktop::Journal::NeverCalls : sim::Desktop::Journal::Plays;
            if (b & 4) d.failHooks[WH_JOURNALPLAYBACK] = 1;
            if (b & 8) {
                EVENTMSG event{};
                JournalPlaybackFunc(static_cast<int>(b >> 4) - 4, 0,
                                    (b & 0x40) ? reinterpret_cast<LPARAM>(&event) : 0);
            }
            break;
        }
        default: {  // the program runs its queue, maybe after a WM_QUIT or a change of foreground program
            const uint8_t b = r.U8();
            if (b & 0x10) {
                const HWND to = d.foreground == g_run.plain ? g_run.win : g_run.plain;
                if (d.Find(to) != nullptr) {
                    d.foreground = to;
                    d.focus = to;
                }
            }
            if (b & 1) d.QueueMessage(nullptr, WM_QUIT, b, 0);
            if (b & 2) d.duringSleep = [] { g_run.d->QueueMessage(nullptr, WM_QUIT, 7, 0); };
            Watched([&] { d.RunMessageLoop(); });
            d.duringSleep = nullptr;
            break;
        }
    }
}

// The user lets go of everything.
void ReleaseEverything() {
    sim::Desktop& d = *g_run.d;
    d.duringSleep = nullptr;
    d.interleave = nullptr;
    d.interleaveAt = 0;
    d.failHooks.clear();
    d.journal = sim::Desktop::Journal::Plays;
    Watched([&] {});
    static const DWORD deviceUps[3] = {MOUSEEVENTF_LEFTUP, MOUSEEVENTF_RIGHTUP, MOUSEEVENTF_MIDDLEUP};
    for (int pass = 0; pass < 2; ++pass) {
        for (int button = 0; pass == 0 && button < 3; ++button) {
            while (g_run.buttonsHeld[button] > 0) DeviceMouse(deviceUps[button], d.cursor, 0, 0);
        }
        for (int vk = 1; vk < 256; ++vk) {
            if (!g_run.physical[vk] || IsModifier(vk) != (pass == 1)) continue;
            DeviceKey(vk, true, false);
        }
        if (pass == 1) break;
        static const UINT ups[] = {WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONUP};
        for (int button = 0; button < 3; ++button) {
            while (g_run.mouseHeld[button] > 0)
                CallMouseProc(HC_ACTION, ups[button], d.cursor, g_run.win, HTCLIENT, 0, true);
        }
        while (!g_run.keysHeld.empty()) CallKeyboardProc(HC_ACTION, g_run.keysHeld.back(), 0xC0000001u);
        for (int bit = 0; bit < 2; ++bit) {
            if (g_run.extraHeld[bit]) CallGetMsgProc(HC_ACTION, 0x1401, 0, bit ? 4 : 0, g_run.win, true);
        }
        if (g_run.vendorHeld) CallGetMsgProc(HC_ACTION, 0x8C5, 0, 0, g_run.win, true);
        for (int turns = g_run.wheelTurns < 32 ? g_run.wheelTurns : 32; turns > 0; --turns) {
            CallMouseProc(HC_ACTION, WM_MOUSEWHEEL, d.cursor, g_run.win, HTCLIENT, 0xFFFF, true);
        }
    }
    Watched([&] {});
}

// Whether a button press that reached a window is still waiting for its
// release at the end: the messages that reached windows, in order.
std::string PressLeftWithoutRelease(const std::vector<UINT>& reached, const std::array<bool, 3>& excused) {
    bool pressed[3] = {false, false, false};
    for (UINT message : reached) {
        const UINT client = message < WM_MOUSEMOVE ? message - WM_NCLBUTTONDOWN + WM_LBUTTONDOWN : message;
        const int button = static_cast<int>(client - WM_LBUTTONDOWN) / 3;
        pressed[button] = (client - WM_LBUTTONDOWN) % 3 != 1;
    }
    static const char* const names[3] = {"left", "right", "middle"};
    for (int button = 0; button < 3; ++button) {
        if (pressed[button] && !excused[button]) return names[button];
    }
    return "";
}

void CheckInvariants() {
    sim::Desktop& d = *g_run.d;
    // One event's own work: a handful of keys or buttons per row a
    // replaced table or RemoveHook lets up, never an unbounded chain.
    const int bound = 8 + 4 * WEXUTIL_BINDING_ROWS;
    if (g_run.mostInjected > bound)
        Fail("one event injected " + std::to_string(g_run.mostInjected) + " events");
    // Each installer (the controlling program, its companion) has at most
    // one hook of each type, the one it recorded.
    int seen[2][8] = {};
    for (const sim::Hook& h : d.hooks) {
        const ProcessState& p = d.StateOf(h.process);
        const HHOOK recorded = h.type == WH_MOUSE        ? p.mouseHook
                               : h.type == WH_KEYBOARD   ? p.keyboardHook
                               : h.type == WH_GETMESSAGE ? p.messageHook
                                                         : nullptr;
        if (recorded != h.handle) Fail("a hook of type " + std::to_string(h.type) + " is left installed");
        if (++seen[h.process == 0 ? 0 : 1][h.type & 7] > 1) Fail("two hooks of type " + std::to_string(h.type));
    }
    if (g_run.removedWhileDown) return;
    // The lock holds the left button on purpose, until its unlock key.
    const bool lockHolds = g_run.lockKeyPressed && Shared().keyLockDown == 1;
    // Nor when two sources held one button at once: Windows keeps one
    // state for it, and which release ends which press is then undefined
    // (the button itself is still checked below).
    std::array<bool, 3> excused = g_run.directPress;
    for (int button = 0; button < 3; ++button) excused[button] = excused[button] || d.overlappingPress[button];
    excused[0] = excused[0] || lockHolds;
    const std::string waiting = PressLeftWithoutRelease(d.buttonsReached, excused);
    if (!waiting.empty()) Fail("a " + waiting + " press reached a window and its release never did");
    // A row bound to the left button holds its keys for as long as the lock
    // holds the button, which is what the binding asks for.
    for (int t = 0; lockHolds && t < kTables; ++t) {
        for (int i = 0; i < UsedBindingRows(Shared().settings[t]); ++i) {
            const Binding& row = Shared().settings[t].bindings[i];
            if (Shared().runs[t].rowHeld[i] != 0 &&
                (row.trigger == VK_LBUTTON || row.trigger == TRIGGER_CHORD_LEFT_RIGHT ||
                 row.trigger == TRIGGER_CHORD_LEFT_MIDDLE))
                return;
        }
    }
    for (int vk = 1; vk < 256; ++vk) {
        if (d.KeyDown(vk) && !(vk == VK_LBUTTON && lockHolds))
            Fail("key " + sim::Hex(static_cast<uint32_t>(vk)) + " left down");
    }
}

void SetUpDesktop(const uint8_t* data, size_t size) {
    PoisonGuard(false);
    sim::Reset();
    g_run = Run{};
    sim::Desktop& d = sim::desktop();
    g_run.d = &d;
    PoisonGuard(true);

    sim::WindowSpec spec;
    spec.name = "app";
    spec.className = "ControllerWindow";
    spec.rect = {0, 0, 200, 100};
    spec.visible = false;
    g_run.app = d.CreateWindow(spec);
    // The controlling program is 64-bit, its companion installs the 32-bit
    // hooks; the program under test is of either bitness, so that each event
    // also runs through a hook called in its installer's process.
    const int editor = d.AddProcess("editor");
    d.P(editor).bits = size > 0 && (data[0] & 0x40) != 0 ? 32 : 64;
    g_run.editor = editor;
    g_run.companion = d.AddProcess("companion");
    d.P(g_run.companion).bits = 32;
    spec = sim::WindowSpec{};
    spec.name = "win";
    spec.rect = {100, 100, 600, 500};
    spec.classStyle = CS_DBLCLKS;
    spec.process = editor;
    g_run.win = d.CreateWindow(spec);
    // A list view whose three items answer its hit tests, in its client
    // area, which is all of it.
    g_run.list = sim::AddListView(d, "list", g_run.win, {150, 200, 400, 450},
                                  {{0, 0, 250, 20}, {0, 20, 250, 40}, {0, 40, 250, 60}}, editor);
    // Beside it, a window of another program, of a class that asks for no
    // double-clicks: two presses there are two presses.  Of the same
    // bitness: with one bitness's hooks removed (RemoveHook in one of the
    // two installers), a key pressed in a program still hooked and let go
    // in one no longer hooked is out of any hook's reach.
    g_run.viewer = d.AddProcess("viewer");
    d.P(g_run.viewer).bits = d.P(editor).bits;
    spec = sim::WindowSpec{};
    spec.name = "plain";
    spec.rect = {620, 100, 1000, 500};
    spec.process = g_run.viewer;
    g_run.plain = d.CreateWindow(spec);
    d.foreground = g_run.win;
    d.focus = g_run.win;
    d.cursor = {300, 300};
    d.SetNumLock(size > 0 && (data[0] & 0x80) != 0);

    std::memcpy(g_run.wire.data(), data, size < kWireSize ? size : kWireSize);
    const HookSettings s = FromWire(g_run.wire.data());
    Update(&s);
    d.InProcess(g_run.companion, [] { return InstallHook(g_run.app, 0); });
    InstallHook(g_run.app, 0);
}

long long g_events = 0;

// With WEXUTIL_FUZZ_VERBOSE set, each event's operation and what followed on
// the desktop are printed, to read a finding; otherwise the trace is dropped.
void ShowTrace(int op) {
    if (g_verbose) {
        std::fprintf(stderr, "-- event op %d (%d)\n", op % 13, op);
        for (const std::string& line : g_run.d->trace) std::fprintf(stderr, "   %s\n", line.c_str());
    }
    g_run.d->trace.clear();
}

void ReportEvents() { std::fprintf(stderr, "hooks_fuzzer: %lld events run\n", g_events); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::atexit(ReportEvents);
    g_verbose = std::getenv("WEXUTIL_FUZZ_VERBOSE") != nullptr;
    // The guard must fault and the last row must not: checked once here, and
    // WEXUTIL_FUZZ_GUARD_TEST=1 reads the row after the table to show that the
    // read is reported.  The shared state lives in the simulated desktop's
    // mapping, so the desktop comes first.
    sim::desktop();
    PoisonGuard(true);
    for (int t = 0; t < kTables; ++t) {
        if (!__asan_address_is_poisoned(Shared().settings[t].tableGuard) ||
            __asan_address_is_poisoned(&Shared().settings[t].bindings[WEXUTIL_BINDING_ROWS - 1].held)) {
            Fail("the guard after a binding table is not in place");
        }
    }
    if (std::getenv("WEXUTIL_FUZZ_GUARD_TEST") != nullptr) {
        const Binding* volatile rows = Shared().settings[0].bindings;
        std::printf("%d\n", rows[WEXUTIL_BINDING_ROWS].trigger);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SetUpDesktop(data, size);
    if (size > kWireSize) {
        Reader events{data + kWireSize, size - kWireSize};
        for (int i = 0; i < kMaxEvents && events.n > 0; ++i) {
            const uint8_t op = events.n > 0 ? events.p[0] : 0;
            RunEvent(events);
            ++g_events;
            ShowTrace(op);
        }
    }
    ReleaseEverything();
    ShowTrace(-1);
    if (g_verbose) {
        std::fprintf(stderr,
                     "-- at the end: %zu queued, %zu hooks, keyboard mouse %d scheme %d, num lock %d\n",
                     g_run.d->queue.size(), g_run.d->hooks.size(), Shared().settings[0].keyboardMouse,
                     Shared().settings[0].keyboardMouseKeys, g_run.d->keyState[VK_NUMLOCK] & 1);
        std::fprintf(stderr, "   pause %d filter %d (%d %d), swallow 0x%X, buttons out %d, click %d star %d lock %d\n",
                     Shared().settings[0].pauseLock, Shared().settings[0].rightButtonFilter, Shared().filterPresses[0],
                     Shared().filterPresses[1], Shared().swallowMessage, Shared().buttonsOut,
                     Shared().keyClickButton, Shared().keyStarDown, Shared().keyLockDown);
        std::fprintf(stderr, "   buttons that reached windows:");
        for (UINT m : g_run.d->buttonsReached) std::fprintf(stderr, " 0x%X", m);
        std::fprintf(stderr, "\n");
        for (int t = 0; t < 2; ++t) {
            for (int i = 0; i < UsedBindingRows(Shared().settings[t]); ++i) {
                const Binding& b = Shared().settings[t].bindings[i];
                std::fprintf(stderr, "   table %d row %d: action %d trigger %d modifiers %d held %d\n", t, i,
                             b.action, b.trigger, b.modifiers, Shared().runs[t].rowHeld[i]);
            }
        }
    }
    CheckInvariants();
    return 0;
}
