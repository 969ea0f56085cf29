// The calling thread's message queue on the simulated desktop: what
// PeekMessage takes, in order, through the keyboard hook (for keystrokes of
// the input stream) and the get-message hook (for every message taken), and
// the program's own loop that dispatches what it takes to its windows.
#include "platform/sim/desktop.h"

#include <string>

namespace sim {

namespace {

bool IsKeyMessage(UINT m) {
    return m == WM_KEYDOWN || m == WM_KEYUP || m == WM_SYSKEYDOWN || m == WM_SYSKEYUP;
}

// Bounds the loops below, so that a hook that keeps queueing ends a test
// instead of hanging it.
constexpr int kMaxMessages = 100000;

// Wine calls hooks nested at most this deep and skips them beyond.
constexpr int kMaxHookNesting = 25;
int g_hookNesting = 0;

}  // namespace

void Desktop::QueueMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool input, ULONG_PTR extra) {
    MSG m{};
    m.hwnd = window;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = tick;
    m.pt = cursor;
    queue.push_back({m, input, nextSerial++, extra});
}

bool Desktop::Retrieve(MSG* out, UINT remove) {
    const bool removing = (remove & PM_REMOVE) != 0;
    auto position = [this](uint64_t serial) {
        for (size_t i = 0; i < queue.size(); ++i) {
            if (queue[i].serial == serial) return static_cast<long>(i);
        }
        return -1L;
    };
    auto erase = [&](uint64_t serial) {
        const long at = position(serial);
        if (at >= 0) queue.erase(queue.begin() + at);
    };
    for (int guard = 0; guard < kMaxMessages && !queue.empty(); ++guard) {
        const QueuedMessage q = queue.front();
        // The hooks run in the process of the window the message is for.
        Window* w = Find(q.msg.hwnd);
        // (Keystrokes while no window has the focus go to the shell.)
        const int process = w != nullptr ? w->process : q.input ? kShell : current_;

        const bool keyHook = q.input && IsKeyMessage(q.msg.message) && HookInstalled(WH_KEYBOARD) &&
                             g_hookNesting < kMaxHookNesting;
        if (removing && !(keyHook && keyHookBeforeRemoval)) erase(q.serial);
        LRESULT eaten = 0;
        bool takenMeanwhile = false;
        if (keyHook) {
            ++g_hookNesting;
            eaten = CallHooks(WH_KEYBOARD, removing ? HC_ACTION : HC_NOREMOVE, q.msg.wParam, q.msg.lParam, process);
            --g_hookNesting;
            // A hook that drained the queue has taken its own keystroke
            // already: it was handled there.
            takenMeanwhile = keyHookBeforeRemoval && removing && position(q.serial) < 0;
            if (eaten != 0 || removing) erase(q.serial);
        }
        if (eaten != 0 || takenMeanwhile) continue;

        MSG m = q.msg;
        messageExtra = q.extra;
        if (HookInstalled(WH_GETMESSAGE)) {
            CallHooks(WH_GETMESSAGE, HC_ACTION, removing ? PM_REMOVE : PM_NOREMOVE, reinterpret_cast<LPARAM>(&m),
                      process);
        }
        if (out != nullptr) *out = m;
        return true;
    }
    return false;
}

void Desktop::Dispatch(const MSG& m) {
    Window* w = Find(m.hwnd);
    if (w == nullptr) return;
    w->posted.push_back(
        {w->name, m.message, static_cast<uint32_t>(m.wParam), static_cast<uint32_t>(m.lParam)});
}

void Desktop::RunMessageLoop() {
    MSG m;
    for (int guard = 0; guard < kMaxMessages && Retrieve(&m, PM_REMOVE); ++guard) {
        if (m.message == WM_QUIT) {
            Log("quit " + std::to_string(m.wParam));
            return;
        }
        Dispatch(m);
    }
}

}  // namespace sim
