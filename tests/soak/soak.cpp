// WexSoak: random real input through the real library, for minutes, with
// every feature on and bindings that inject keys and clicks of their own.
//
//   WexSoak SECONDS SEED           random input for SECONDS, from SEED
//   WexSoak --replay "EVENTS"      one given sequence (the syntax below)
//
// One plain pop-up window takes the input and pumps its queue with
// PeekMessage; the program is its own controlling program (it installs the
// hooks, answers the pause, and times nothing else).  Each event is injected
// with SetCursorPos, mouse_event or keybd_event; then the queue is pumped
// until it was empty twice in a row, and the window made foreground again.
// Events:
//   mX,Y        SetCursorPos(X, Y)
//   L+ L- R+ R- M+ M-   a button pressed or released
//   w+ w-       a wheel turn of +120 or -120
//   k+HH k-HH   virtual key HH pressed or released (scan code from
//               MapVirtualKey; extended for VK_DIVIDE and VK_NUMLOCK)
//
// At the end everything injected is let go, RemoveHook runs, and it checks:
// nothing is down, no event took longer than a second to be handled, the
// window still answers, and the window received no more button messages
// than a bounded multiple of the button events injected.  A watchdog thread
// ends the program if its window's thread stops for ten seconds, saying
// where.  It prints its figures: events, the slowest event, the seed.
// Exit status 0 when every check held.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "wexutil.h"
#include "wexutil_loader.h"

namespace {

// ---- the window -------------------------------------------------------------

volatile LONG g_buttonMessages = 0;
wexutil::Library g_lib;

bool IsButtonMessage(UINT m) {
    return (m >= WM_LBUTTONDOWN && m <= WM_MBUTTONDBLCLK) || (m >= WM_NCLBUTTONDOWN && m <= WM_NCMBUTTONDBLCLK);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (IsButtonMessage(message)) ::InterlockedIncrement(&g_buttonMessages);
    switch (message) {
        // Nothing that opens a modal loop on a virtual display: no context
        // menu, no system menu or move loop, no frame button tracking.
        case WM_CONTEXTMENU:
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
        case WM_SYSCHAR:
        case WM_SYSCOMMAND: return 0;
        case WM_HOOK_NOTIFY:
            // As WexControl does: the pause binding switches the pause.
            if (wParam == NOTIFY_PAUSE && lParam == 0) {
                HookSettings s;
                g_lib.GetSettings(&s);
                s.pauseLock = s.pauseLock ? 0 : 1;
                g_lib.UpdateSettings(&s);
            }
            return 0;
        default: break;
    }
    if (message >= WM_NCLBUTTONDOWN && message <= WM_NCMBUTTONDBLCLK) return 0;
    return ::DefWindowProcA(window, message, wParam, lParam);
}

// ---- settings: every feature on, bindings that inject -------------------------

HookSettings SoakSettings() {
    HookSettings s = {};
    s.trackDistance = 1;
    s.typingWatch = 1;
    s.wiggleDetect = 1;
    s.clickWiggleSensitivity = 5;
    s.moveWiggleSensitivity = 5;
    s.vendorWheel = 1;
    s.rememberButtonClicks = 1;
    s.rightButtonFilter = 1;
    s.copyWatch = 1;
    s.action29Bypass = 1;
    s.singleClickFolders = 1;
    s.singleClickTrees = 1;
    s.keyboardMouse = 1;
    s.keyboardMouseKeys = 4;
    s.keyboardMouseAccel = 1;
    s.keyboardMouseStep = 8;
    const Binding rows[] = {
        {ACTION_COPY, 0, TRIGGER_CHORD_LEFT_RIGHT, 0, 0},
        {ACTION_PASTE, 0, TRIGGER_CHORD_LEFT_MIDDLE, 0, 0},
        {ACTION_CUT, 0, TRIGGER_CHORD_RIGHT_MIDDLE, 0, 0},
        {ACTION_CTRL_CLICK, 0, VK_RBUTTON, MODIFIER_CTRL, 0},
        {ACTION_CTRL_CLICK, 0, VK_LBUTTON, MODIFIER_SHIFT, 0},
        {ACTION_NOTIFY_25, 0, VK_LBUTTON, MODIFIER_CTRL | MODIFIER_SHIFT, 0},
        {ACTION_CLICK_AT_CURSOR, 0, VK_MBUTTON, 0, 0},
        {ACTION_SCROLL, 0, TRIGGER_WHEEL, MODIFIER_CTRL, 0},
        {ACTION_TAP_SPACE, 0, VK_F5, 0, 0},
        {ACTION_NOTIFY_8, 0, VK_F6, 0, 0},
        {ACTION_TAP_1, 0, VK_F7, MODIFIER_SHIFT, 0},
        {ACTION_PAUSE, 0, VK_F8, 0, 0},
        {ACTION_PASTE, 0, 'Q', MODIFIER_CTRL, 0},
        {ACTION_PASTE, 0, VK_CONTROL, MODIFIER_CTRL, 0},
        {ACTION_ESCAPE, 0, 'Z', MODIFIER_ALT, 0},
        {ACTION_COPY, 0, 'C', MODIFIER_CTRL, 0},
    };
    s.bindingCount = sizeof rows / sizeof rows[0];
    for (int i = 0; i < s.bindingCount; ++i) s.bindings[i] = rows[i];
    return s;
}

// ---- events ---------------------------------------------------------------

struct Event {
    char kind;  // 'm' move, 'L' 'R' 'M' buttons, 'w' wheel, 'k' key
    bool down;  // press (or forward turn)
    int x, y;   // move
    int vk;     // key
};

std::string Describe(const Event& e) {
    char text[32];
    switch (e.kind) {
        case 'm': std::snprintf(text, sizeof text, "m%d,%d", e.x, e.y); break;
        case 'w': std::snprintf(text, sizeof text, "w%c", e.down ? '+' : '-'); break;
        case 'k': std::snprintf(text, sizeof text, "k%c%02X", e.down ? '+' : '-', e.vk); break;
        default: std::snprintf(text, sizeof text, "%c%c", e.kind, e.down ? '+' : '-'); break;
    }
    return text;
}

bool Parse(const std::string& word, Event* e) {
    if (word.size() < 2) return false;
    *e = Event{word[0], word[1] == '+', 0, 0, 0};
    switch (word[0]) {
        case 'm': return std::sscanf(word.c_str() + 1, "%d,%d", &e->x, &e->y) == 2;
        case 'w':
        case 'L':
        case 'R':
        case 'M': return word[1] == '+' || word[1] == '-';
        case 'k': return (word[1] == '+' || word[1] == '-') && std::sscanf(word.c_str() + 2, "%x", &e->vk) == 1;
        default: return false;
    }
}

// A small generator of its own, so that a seed gives the same input on
// every machine.
struct Random {
    uint64_t state;
    uint32_t Next() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(state >> 33);
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<uint32_t>(n)); }
};

// The keys a person of this tool presses: modifiers, letters the bindings
// use, the function keys bound, Space, Enter, the whole keypad in both Num
// Lock states, Num Lock itself.
const int kKeys[] = {VK_SHIFT, VK_CONTROL, VK_MENU,    'A',        'C',        'E',        'F',
                     'Q',      'V',        'X',        'Z',        VK_F5,      VK_F6,      VK_F7,
                     VK_F8,    VK_SPACE,   VK_RETURN,  VK_NUMPAD0, VK_NUMPAD1, VK_NUMPAD2, VK_NUMPAD3,
                     VK_NUMPAD4, VK_NUMPAD5, VK_NUMPAD6, VK_NUMPAD7, VK_NUMPAD8, VK_NUMPAD9, VK_MULTIPLY,
                     VK_ADD,   VK_SUBTRACT, VK_DECIMAL, VK_DIVIDE, VK_CLEAR,   VK_INSERT,  VK_NUMLOCK};

Event RandomEvent(Random& r, const RECT& area) {
    const int pick = r.Below(100);
    Event e = {'m', true, 0, 0, 0};
    if (pick < 40) {
        e.x = area.left + r.Below(area.right - area.left);
        e.y = area.top + r.Below(area.bottom - area.top);
    } else if (pick < 60) {
        static const char buttons[] = {'L', 'L', 'R', 'M'};
        e.kind = buttons[r.Below(4)];
        e.down = r.Below(2) == 0;
    } else if (pick < 66) {
        e.kind = 'w';
        e.down = r.Below(2) == 0;
    } else {
        e.kind = 'k';
        e.down = r.Below(2) == 0;
        e.vk = kKeys[r.Below(sizeof kKeys / sizeof kKeys[0])];
    }
    return e;
}

// ---- running -------------------------------------------------------------

struct Run {
    HWND window = nullptr;
    bool keyDown[256] = {};
    int buttonsDown[3] = {};  // presses injected, not yet released
    long buttonEvents = 0;
    long events = 0;
    DWORD slowest = 0;
    std::string slowestEvent;
    std::vector<std::string> recent;  // the last events, oldest first
};
Run g_run;

// Progress of the window's thread, for the watchdog: when the event under
// way began, whether one is under way, and the last messages it took.
volatile LONG g_inEvent = 0;
volatile DWORD g_eventStart = 0;
volatile UINT g_lastMessages[16] = {};
volatile UINT g_lastParams[16] = {};
volatile LONG g_messageCount = 0;

void Inject(const Event& e) {
    switch (e.kind) {
        case 'm': ::SetCursorPos(e.x, e.y); break;
        case 'w': ::mouse_event(MOUSEEVENTF_WHEEL, 0, 0, static_cast<DWORD>(e.down ? 120 : -120), 0); break;
        case 'k': {
            const DWORD extended = e.vk == VK_DIVIDE || e.vk == VK_NUMLOCK ? KEYEVENTF_EXTENDEDKEY : 0;
            const BYTE scan = static_cast<BYTE>(::MapVirtualKeyA(static_cast<UINT>(e.vk), 0));
            ::keybd_event(static_cast<BYTE>(e.vk), scan, extended | (e.down ? 0 : KEYEVENTF_KEYUP), 0);
            g_run.keyDown[e.vk & 0xFF] = e.down;
            break;
        }
        default: {
            const int button = e.kind == 'L' ? 0 : e.kind == 'R' ? 1 : 2;
            static const DWORD downs[3] = {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_MIDDLEDOWN};
            static const DWORD ups[3] = {MOUSEEVENTF_LEFTUP, MOUSEEVENTF_RIGHTUP, MOUSEEVENTF_MIDDLEUP};
            ::mouse_event(e.down ? downs[button] : ups[button], 0, 0, 0, 0);
            ++g_run.buttonEvents;
            if (e.down) {
                ++g_run.buttonsDown[button];
            } else if (g_run.buttonsDown[button] > 0) {
                --g_run.buttonsDown[button];
            }
            break;
        }
    }
}

// Pumps until the queue was empty twice in a row.
void PumpUntilQuiet() {
    for (int quiet = 0; quiet < 2;) {
        MSG msg;
        bool any = false;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            any = true;
            const LONG n = ::InterlockedIncrement(&g_messageCount);
            g_lastMessages[n & 15] = msg.message;
            g_lastParams[n & 15] = static_cast<UINT>(msg.wParam);
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        quiet = any ? 0 : quiet + 1;
        if (quiet < 2) ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

void Handle(const Event& e) {
    g_run.recent.push_back(Describe(e));
    if (g_run.recent.size() > 24) g_run.recent.erase(g_run.recent.begin());
    const DWORD start = ::GetTickCount();
    g_eventStart = start;
    ::InterlockedExchange(&g_inEvent, 1);
    Inject(e);
    PumpUntilQuiet();
    ::SetForegroundWindow(g_run.window);
    ::InterlockedExchange(&g_inEvent, 0);
    const DWORD took = ::GetTickCount() - start;
    if (took > g_run.slowest) {
        g_run.slowest = took;
        g_run.slowestEvent = Describe(e) + " (event " + std::to_string(g_run.events + 1) + ")";
    }
    ++g_run.events;
}

// What is down now, by the asynchronous state.
std::string DownNow() {
    std::string down;
    for (int vk = 1; vk < 255; ++vk) {
        if (::GetAsyncKeyState(vk) & 0x8000) {
            char name[8];
            std::snprintf(name, sizeof name, "%02X ", vk);
            down += name;
        }
    }
    return down.empty() ? "nothing" : down;
}

// Ends the program when one event has not been handled within ten seconds:
// the window's thread stopped, or runs on without end on what the event
// set off, as a person would find it either way.
DWORD WINAPI Watchdog(LPVOID) {
    for (;;) {
        ::Sleep(200);
        if (g_inEvent == 0 || ::GetTickCount() - g_eventStart < 10000) continue;
        std::printf("soak: STOPPED: event %ld not handled within 10 s (%ld messages taken meanwhile)\n",
                    g_run.events + 1, static_cast<long>(g_messageCount));
        std::printf("soak: the last messages taken (message:wParam):");
        for (LONG i = g_messageCount - 15; i <= g_messageCount; ++i) {
            if (i > 0) std::printf(" %X:%X", g_lastMessages[i & 15], g_lastParams[i & 15]);
        }
        std::printf("\n");
        std::printf("soak: the last events:");
        for (const std::string& e : g_run.recent) std::printf(" %s", e.c_str());
        std::printf("\nsoak: down at that moment: %s\n", DownNow().c_str());
        std::fflush(stdout);
        ::ExitProcess(3);
    }
}

// Lets go of everything injected: keys first, modifiers last, then buttons.
void LetGo() {
    for (int pass = 0; pass < 2; ++pass) {
        for (int vk = 1; vk < 256; ++vk) {
            const bool modifier = vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU;
            if (!g_run.keyDown[vk] || modifier != (pass == 1)) continue;
            Handle(Event{'k', false, 0, 0, vk});
        }
    }
    static const char kinds[3] = {'L', 'R', 'M'};
    for (int button = 0; button < 3; ++button) {
        while (g_run.buttonsDown[button] > 0) Handle(Event{kinds[button], false, 0, 0, 0});
    }
}

// Asks the window for an answer from a thread of its own.
struct Probe {
    HWND window;
    BOOL answered;
};
DWORD WINAPI AskWindow(LPVOID p) {
    Probe* probe = static_cast<Probe*>(p);
    DWORD_PTR result = 0;
    probe->answered = ::SendMessageTimeoutA(probe->window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result) != 0;
    return 0;
}

std::string OwnFolder() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path);
    return s.substr(0, s.find_last_of("\\/") + 1);
}

int Usage() {
    std::fputs("usage: WexSoak SECONDS SEED | WexSoak --replay \"EVENTS\"\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return Usage();
    const bool replay = std::strcmp(argv[1], "--replay") == 0;
    const long seconds = replay ? 0 : std::atol(argv[1]);
    const unsigned long seed = replay ? 0 : std::strtoul(argv[2], nullptr, 10);
    std::vector<Event> given;
    if (replay) {
        const std::string text = argv[2];
        size_t at = 0;
        while (at < text.size()) {
            const size_t end = text.find(' ', at);
            const std::string word = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
            Event e;
            if (!word.empty() && !Parse(word, &e)) {
                std::fprintf(stderr, "soak: not an event: %s\n", word.c_str());
                return 2;
            }
            if (!word.empty()) given.push_back(e);
            if (end == std::string::npos) break;
            at = end + 1;
        }
    } else if (seconds <= 0) {
        return Usage();
    }

    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = "WexSoak";
    ::RegisterClassA(&wc);
    g_run.window = ::CreateWindowExA(0, "WexSoak", "WexSoak", WS_POPUP | WS_VISIBLE, 20, 20, 984, 728, nullptr,
                                     nullptr, wc.hInstance, nullptr);
    if (g_run.window == nullptr || !g_lib.Resolve(::LoadLibraryA((OwnFolder() + WEXUTIL_DLL_NAME).c_str()))) {
        std::fputs("soak: no window, or the library cannot be loaded\n", stderr);
        return 2;
    }
    ::SetForegroundWindow(g_run.window);
    const HookSettings settings = SoakSettings();
    g_lib.UpdateSettings(&settings);
    if (g_lib.InstallHook(g_run.window, 0) != 1) {
        std::fputs("soak: the hooks could not be installed\n", stderr);
        return 2;
    }
    ::CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr);

    RECT area;
    ::GetWindowRect(g_run.window, &area);
    Random random = {seed * 0x9E3779B97F4A7C15ull + 1};
    const DWORD start = ::GetTickCount();
    if (replay) {
        for (const Event& e : given) Handle(e);
    } else {
        while (::GetTickCount() - start < static_cast<DWORD>(seconds) * 1000u) Handle(RandomEvent(random, area));
    }

    LetGo();
    g_lib.RemoveHook();
    PumpUntilQuiet();
    const std::string down = DownNow();
    // The window answers a message sent from another thread.
    Probe probe = {g_run.window, FALSE};
    const HANDLE asker = ::CreateThread(nullptr, 0, AskWindow, &probe, 0, nullptr);
    while (::MsgWaitForMultipleObjects(1, &asker, FALSE, 10000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) PumpUntilQuiet();

    const long buttonBound = 6 * g_run.buttonEvents + 16;
    std::printf("soak: seed %lu, %ld events in %lu s, slowest %lu ms (%s)\n", seed, g_run.events,
                (::GetTickCount() - start) / 1000ul, g_run.slowest, g_run.slowestEvent.c_str());
    std::printf("soak: %ld button events injected, %ld button messages received (at most %ld)\n",
                g_run.buttonEvents, static_cast<long>(g_buttonMessages), buttonBound);
    std::printf("soak: down at the end: %s\n", down.c_str());
    bool ok = true;
    if (down != "nothing") {
        std::printf("soak: FAILED: something is left down\n");
        ok = false;
    }
    if (g_run.slowest > 1000) {
        std::printf("soak: FAILED: an event took more than a second\n");
        ok = false;
    }
    if (!probe.answered) {
        std::printf("soak: FAILED: the window does not answer\n");
        ok = false;
    }
    if (g_buttonMessages > buttonBound) {
        std::printf("soak: FAILED: more button messages than the input explains\n");
        ok = false;
    }
    std::fflush(stdout);
    return ok ? 0 : 1;
}
