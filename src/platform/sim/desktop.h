// The simulated desktop: what the library expects of Windows, and no more,
// with everything the library does to it recorded for tests.
//
// Time only moves when a test advances it or the library sleeps.  Every
// side effect the library causes (posts, sends, injected input, sleeps, window
// commands, launches, hook changes) is appended to one trace of text lines, so
// a test can state a whole sequence in one assertion.
#pragma once

#include "platform/sim/win_types.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

struct ProcessState;

namespace sim {

using Lines = std::vector<std::string>;

// A message as a window or the controlling program receives it, with the
// 32-bit values a Win32 process would see.
struct Message {
    std::string window;  // name of the target window
    uint32_t message;
    uint32_t wParam;
    uint32_t lParam;
    bool operator==(const Message& o) const {
        return window == o.window && message == o.message && wParam == o.wParam && lParam == o.lParam;
    }
};
std::ostream& operator<<(std::ostream& out, const Message& m);

struct Window {
    HWND handle = nullptr;
    std::string name;  // how the trace names it
    std::string className;
    uint32_t classStyle = 0;
    uint32_t style = 0;
    std::string text;
    HWND parent = nullptr;
    HWND owner = nullptr;  // a popup's owner, which GetParent answers
    RECT rect{};           // window rectangle, screen coordinates
    RECT client{};         // client rectangle, screen coordinates
    bool visible = true;
    bool zoomed = false;
    bool minimized = false;
    bool destroyed = false;
    // Its thread stopped pumping messages: sends to it give up.
    bool hung = false;
    int process = 0;
    // Hit-test answers by region (screen coordinates); the first region that
    // contains the point answers.  Outside all regions: HTCLIENT inside the
    // client rectangle, HTCAPTION elsewhere inside the window, else HTNOWHERE.
    std::vector<std::pair<RECT, int>> hitRegions;
    // Answers sent messages the desktop does not answer itself; may be empty.
    std::function<LRESULT(UINT, WPARAM, LPARAM)> onSend;
    std::vector<Message> posted;
    std::vector<Message> sent;
    std::vector<int> showCommands;
    std::vector<HWND> children;  // top of the Z order first
};

struct WindowSpec {
    std::string name;
    std::string className = "SimWindow";
    uint32_t classStyle = 0;
    uint32_t style = WS_OVERLAPPEDWINDOW;
    std::string text;
    HWND parent = nullptr;
    HWND owner = nullptr;
    RECT rect{100, 100, 500, 400};
    RECT client{0, 0, 0, 0};  // empty: inset 4 pixels, 24 below the top
    bool visible = true;
    bool zoomed = false;
    int process = 0;
};

struct Hook {
    HHOOK handle;
    int type;
    HOOKPROC procedure;
    HINSTANCE module;
    DWORD thread;
    int process;  // the process that installed it
};

// The user every process runs as unless a test says otherwise, and the
// Administrators group, which an elevated process's new objects belong to.
const char kUser[] = "S-1-5-21-1000-2000-3000-1001";
const char kAdministrators[] = "S-1-5-32-544";

// A process, with what Windows decides by: its bitness (which hooks run in
// it, and which run for it in their installer's process), its logon session
// (whose named objects it sees), its user and integrity level (which
// objects it may open and what it may write).
struct Process {
    std::string name;
    std::unique_ptr<ProcessState> state;
    bool libraryLoaded = false;
    HINSTANCE instance = nullptr;
    int bits = 64;
    // Its program's full path (Latin-1); C:\Programs\NAME.exe unless a test
    // sets another.
    std::string path;
    int session = 1;
    std::string user = kUser;
    DWORD integrity = 0x2000;  // medium
    // An administrator's full token: objects it creates without saying
    // otherwise belong to the Administrators group, open to it alone.
    bool elevated = false;
    // OpenProcessToken fails in it (a process whose token is out of reach).
    bool tokenRefused = false;
    bool alive = true;
};

// Named kernel objects (kernel_objects.cpp), as the security rules of
// Windows have them: an owner, the SIDs the DACL allows, and a mandatory
// label (0: none, which counts as medium) that keeps lower levels from
// writing (and, with no-read-up, reading) it.
struct KernelObject {
    std::string owner;
    std::set<std::string> allowed;
    DWORD label = 0;
    DWORD labelPolicy = 0;
    int references = 0;  // handles and views
    // A mapping's memory.
    std::vector<uint64_t> data;
    // A mutex's holder (-1 none), its count, and whether its holder ended
    // without giving it back.
    int holder = -1;
    int count = 0;
    bool abandoned = false;
};

class Desktop {
public:
    // Process 0 is the controlling program; process 1 is the shell, which
    // owns the desktop window and takes input that is for no other window.
    static constexpr int kShell = 1;

    Desktop();
    ~Desktop();

    // ---- processes ----
    // Process 0 is the controlling program, with the library loaded.
    int AddProcess(const std::string& name);
    // A process's attributes; set them before the library is loaded there.
    Process& P(int process) { return processes_.at(process); }
    // Runs library code in a process (its DllMain first, when the library
    // is not loaded there yet), and returns what it returned.
    template <typename F>
    auto InProcess(int process, F&& run) {
        LoadLibraryInto(process);
        const int previous = current_;
        EnterProcess(process);
        struct Back {
            Desktop* d;
            int to;
            ~Back() { d->EnterProcess(to); }
        } back{this, previous};
        return run();
    }
    // The process ends, however: the system removes the hooks it installed,
    // abandons the mutexes it held, closes its handles and destroys its
    // windows.
    void KillProcess(int process);
    const std::string& ProcessPath(int process) const { return processes_.at(process).path; }
    void SetProcessPath(int process, const std::string& path) { processes_.at(process).path = path; }
    // Maps the library into a process (DllMain runs there) if it is not yet.
    void LoadLibraryInto(int process);
    bool LibraryLoaded(int process) const { return processes_[process].libraryLoaded; }
    // Runs library code as the given process would: its own per-process copy.
    void EnterProcess(int process);
    int CurrentProcess() const { return current_; }
    ProcessState& StateOf(int process) { return *processes_[process].state; }

    // ---- windows ----
    HWND CreateWindow(const WindowSpec& spec);
    void DestroyWindow(HWND window);
    Window* Find(HWND window);
    Window& W(HWND window);  // asserts that it exists
    HWND ByName(const std::string& name) const;
    std::string NameOf(HWND window) const;
    // Moves a top-level window to the top of the Z order.
    void BringToTop(HWND window);
    // Moves a top-level window to the bottom of the Z order.
    void SendToBottom(HWND window);
    HWND desktopWindow() const { return desktopWindow_; }
    std::vector<HWND> TopLevelZOrder() const { return zOrder_; }
    HWND foreground = nullptr;
    HWND focus = nullptr;
    bool refuseSetForeground = false;
    // When set, SetForegroundWindow is refused while the foreground lock
    // time-out is nonzero, as Windows refuses a program in the background.
    bool foregroundLockApplies = false;
    // When set, GW_HWNDNEXT of the bottom top-level window answers the top
    // one: a window list that loops, as one that changes during a walk can.
    bool zOrderLoops = false;
    int getWindowCalls = 0;
    int HitTest(HWND window, POINT screen);

    // ---- input state ----
    POINT cursor{0, 0};
    int screenWidth = 1024;
    int screenHeight = 768;
    UINT doubleClickTime = 500;
    int showCursorCount = 0;
    std::array<uint8_t, 256> keyState{};  // bit 0x80 down, bit 0x01 toggled
    void SetKeyDown(int vk, bool down);
    bool KeyDown(int vk) const { return (keyState[vk & 0xFF] & 0x80) != 0; }

    // ---- time ----
    DWORD tick = 1000;
    void Advance(DWORD ms) { tick += ms; }

    // ---- hooks ----
    std::vector<Hook> hooks;       // the newest hook of a type is called first
    std::map<int, int> failHooks;  // hook type -> how many installs to refuse
    LRESULT chainResult = 0;       // what the end of a hook chain returns
    bool HookInstalled(int type) const;
    // Calls the hook chain of a type for input of the `target` process as
    // Windows documents it (SetWindowsHookEx, remarks): a hook of the
    // target's bitness runs in the target, with the library loaded there; a
    // hook of the other bitness runs in the process that installed it
    // ("hook-callback" in the trace).  A journal playback hook always runs
    // in its installer.  Returns the chain's result.
    LRESULT CallHooks(int type, int code, WPARAM wParam, LPARAM lParam, int target);
    LRESULT CallHooks(int type, int code, WPARAM wParam, LPARAM lParam) {
        return CallHooks(type, code, wParam, lParam, current_);
    }
    // CallNextHookEx: the next hook of the chain being called, for the same
    // target; the end of the chain answers chainResult.  (Windows ignores
    // the handle; so does this, inside a chain.)
    LRESULT CallNextHook(HHOOK hook, int code, WPARAM wParam, LPARAM lParam);

    // ---- messages ----
    std::map<std::string, UINT> registeredMessages;
    bool failRegisterMessage = false;
    std::vector<Message> threadQueue;  // posts with no window (PostThreadMessage)

    // ---- the calling thread's queue (thread_queue.cpp) ----
    // One thread's queue: what PeekMessage hands out, in order.  Keystrokes
    // from the input stream pass the keyboard hook when they are taken; every
    // message taken passes the get-message hook, which may change it.
    struct QueuedMessage {
        MSG msg;
        bool input;  // a keystroke from the input stream
        uint64_t serial;
        ULONG_PTR extra;  // the extra information of the input it came from
    };
    std::vector<QueuedMessage> queue;
    uint64_t nextSerial = 1;
    // As on Wine, the keyboard hook runs while its keystroke is still queued,
    // so a hook that drains the queue meets that keystroke again.  Off: the
    // keystroke leaves the queue first.
    bool keyHookBeforeRemoval = true;
    // Runs once in every Sleep, before time advances: what arrives meanwhile.
    std::function<void()> duringSleep;
    // Puts a message into the queue, as PostMessage to a window of this
    // thread (or PostThreadMessage for a null window) does.
    void QueueMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool input = false,
                      ULONG_PTR extra = 0);
    // GetMessageExtraInfo: the extra information of the message the thread
    // took last, set before the get-message hook sees it.
    ULONG_PTR messageExtra = 0;
    // PeekMessage with no filter: PM_REMOVE or PM_NOREMOVE.
    bool Retrieve(MSG* msg, UINT remove);
    // The window procedure's share: what a window receives is recorded in
    // its posted list.
    void Dispatch(const MSG& msg);
    // The program's own message loop: takes and dispatches until the queue
    // is empty, or until WM_QUIT, which ends the program ("quit <code>").
    void RunMessageLoop();

    // ---- timers ----
    struct Timer {
        HWND window;
        UINT_PTR id;
    };
    std::vector<Timer> timers;
    void SetTimer(HWND window, UINT_PTR id) { timers.push_back({window, id}); }

    // ---- system ----
    DWORD foregroundLockTimeout = 200000;
    bool failGetForegroundLockTimeout = false;
    bool failSetForegroundLockTimeout = false;
    std::map<std::string, std::string> profile;  // "file|section|key" -> value
    void SetProfileString(const std::string& file, const std::string& section, const std::string& key,
                          const std::string& value);
    std::vector<std::string> launched;  // command lines given to WinExec
    std::string systemDirectory = "C:\\windows\\system32";
    std::string windowsDirectory = "C:\\windows";
    UINT winExecResult = 33;

    // ---- the input stream ----
    struct InputEvent {
        bool keyboard;
        DWORD a, b, c, d;  // keybd_event(vk, scan, flags) or mouse_event(flags, dx, dy, data)
        ULONG_PTR extra;
        POINT at{0, 0};     // mouse: the cursor once the event was injected
        bool warp = false;  // mouse: the move a SetCursorPos produces
    };
    std::vector<InputEvent> pendingInput;  // injected, not yet delivered
    // Delivers pending input through the hooks to its windows.
    void Pump();
    // The last mouse press delivered, for double-clicks.
    struct LastPress {
        UINT message = 0;  // client form of the press, 0 none
        DWORD time = 0;
        HWND window = nullptr;
        POINT at{0, 0};
    } lastPress;
    // The window a mouse event at a screen point goes to: the deepest
    // visible window under it.
    HWND MouseTarget(POINT p);
    // Queues the move of a SetCursorPos unless one is already waiting.
    void QueueWarp();

    // ---- journal playback (journal.cpp) ----
    // Plays: a WH_JOURNALPLAYBACK hook takes over the input stream while it
    // is installed; it is asked for each event journalAsks times, the event
    // goes through the mouse hook to its window, and then it is skipped.
    // NeverCalls: the hook is accepted and never called, and input flows on
    // past it.  To refuse the hook, use failHooks[WH_JOURNALPLAYBACK].
    enum class Journal { Plays, NeverCalls };
    Journal journal = Journal::Plays;
    int journalAsks = 2;
    // Plays one event of an installed playback hook; false when none has the
    // input stream.
    bool PlayJournalEvent();
    void SetNumLock(bool on);

    // ---- keyboard input (keyboard_input.cpp) ----
    // A keystroke from the keyboard itself (not traced): the key goes down or
    // up at once in the asynchronous state and reaches the hook at Pump().  A
    // press of a key that is down is an auto-repeat.
    void KeyboardInput(int vk, bool up, bool extended = false);
    // Key state as the focus thread's input knows it (bit 0x80 down); gives
    // each keystroke its previous-state bit.
    std::array<uint8_t, 256> inputKeyState{};
    // Queues one keystroke with the flags the keyboard gives it, to the focus
    // window (or the foreground one), without taking it from the queue.
    void QueueKey(int vk, int scan, bool up, bool extended);

    // ---- kernel objects (kernel_objects.cpp) ----
    // Named mappings and mutexes by their session-qualified names ("Local\\"
    // names are per session, "Global\\" ones are not).  An object goes when
    // its last handle (or view) does.
    std::map<std::string, KernelObject> mappings;
    std::map<std::string, KernelObject> mutexes;
    struct KernelHandle {
        enum Kind { kMapping, kMutex, kToken } kind;
        std::string key;  // the object's name, or the token's process
        int process;
    };
    std::map<HANDLE, KernelHandle> handles;
    std::map<const void*, std::pair<std::string, int>> views;  // view -> mapping, process
    uintptr_t nextHandle = 0x7000;
    // The calling thread's last error.
    DWORD lastError = 0;
    // Processes refused every mapping, as a sandbox refuses them one.
    std::set<int> mappingRefused;
    std::string ObjectKey(const std::string& name) const;
    // Whether the current process may open an object for writing (the DACL
    // allows its user, or the Administrators group when it is elevated; the
    // label is not above it); `write` false asks for reading only.
    bool MayOpen(const KernelObject& object, bool write) const;
    void Release(std::map<std::string, KernelObject>& table, const std::string& key);

    // ---- what reached windows ----
    // Mouse-button messages that reached a window, in order: delivered input
    // (not consumed by a hook) and button messages posted to windows.  A
    // posted non-client double-click on a caption is a window command, not a
    // press, and is left out.
    std::vector<UINT> buttonsReached;
    // A button pressed, by the mouse or by injected or played input, while
    // it was already down: two sources hold it at once, and Windows keeps
    // one state for the button, so which release belongs to which press is
    // anyone's guess (left, right, middle).
    std::array<bool, 3> overlappingPress{};
    void NotePress(int vk) {
        const int button = vk == 1 ? 0 : vk == 2 ? 1 : vk == 4 ? 2 : -1;
        if (button >= 0 && KeyDown(vk)) overlappingPress[button] = true;
    }
    void ButtonReached(UINT message) {
        const bool nonClient = message >= 0xA1 && message <= 0xA9;
        const bool client = message >= 0x201 && message <= 0x209;
        if (nonClient || client) buttonsReached.push_back(message);
    }

    // ---- counting ----
    long osCallCount = 0;  // os:: operations the library called
    // Every os:: operation counts itself here.  A test can make something
    // happen in the middle of library code: `interleave` runs once, just
    // before the interleaveAt-th operation from the moment it is set (1: the
    // next one), as another thread or process would run at that moment.
    std::function<void()> interleave;
    int interleaveAt = 0;
    void Called(const char* name) {
        ++osCallCount;
        ++osCalls[name];
        if (interleaveAt > 0 && --interleaveAt == 0 && interleave) {
            const std::function<void()> run = std::move(interleave);
            interleave = nullptr;
            run();
        }
    }

    // ---- the trace ----
    std::map<std::string, int> osCalls;  // os:: calls made, by name
    Lines trace;
    void Log(const std::string& line) { trace.push_back(line); }
    Lines TakeTrace();
    // Messages posted to one window, in order, since the last ClearPosted.
    std::vector<Message> PostedTo(HWND window) const;
    void ClearPosted();

private:
    void DeliverKey(const InputEvent& e);
    void DeliverMouse(const InputEvent& e);
    LRESULT CallHook(const Hook& hook, int code, WPARAM wParam, LPARAM lParam, int target);

    // The hook being called, for CallNextHookEx, innermost last.
    struct HookCall {
        HHOOK hook;
        int type;
        int target;
    };
    std::vector<HookCall> dispatch_;

    std::vector<std::unique_ptr<Window>> windows_;
    std::vector<HWND> zOrder_;  // top-level windows, top first
    std::vector<Process> processes_;
    HWND desktopWindow_ = nullptr;
    int current_ = 0;
    uintptr_t nextHook_ = 0x100;
};

// The desktop the os:: functions answer from.  Reset() throws the old one
// away and unloads the library everywhere (the shared section starts at zero
// again).
Desktop& desktop();
void Reset();

std::string Hex(uint32_t value);

}  // namespace sim
