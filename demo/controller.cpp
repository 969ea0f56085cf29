// A small controlling program for WexUTIL.dll: it pushes a settings record,
// installs the hooks with a window of its own, starts a second program,
// moves and clicks the real cursor in that program's window, shows that the
// library is now mapped there and reads the same settings, runs a few
// actions, then removes the hooks.  It tells what happens on standard output.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "wexutil.h"

namespace {

// Reports of the second program (see target.cpp).
const UINT kTargetReady = WM_APP + 1;     // wParam window, lParam library mapped at start
const UINT kTargetInput = WM_APP + 2;     // wParam message, lParam library mapped now
const UINT kTargetSettings = WM_APP + 3;  // wParam reserved1, lParam bindingCount as read there

struct {
    HWND target = nullptr;
    int mappedAtStart = -1;
    int downs = 0, ups = 0, mappedOnInput = 0;
    bool settingsSeen = false;
    int reserved1 = 0, bindingCount = 0;
    int notifications = 0;
    int buttonEvents = 0;
    int signals = 0;
} seen;

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case kTargetReady:
            seen.target = reinterpret_cast<HWND>(wParam);
            seen.mappedAtStart = static_cast<int>(lParam);
            return 0;
        case kTargetInput:
            if (wParam == WM_LBUTTONDOWN) ++seen.downs;
            if (wParam == WM_LBUTTONUP) ++seen.ups;
            if (lParam) seen.mappedOnInput = 1;
            return 0;
        case kTargetSettings:
            seen.settingsSeen = true;
            seen.reserved1 = static_cast<int>(wParam);
            seen.bindingCount = static_cast<int>(lParam);
            return 0;
        case WM_HOOK_NOTIFY:
            ++seen.notifications;
            if (wParam == NOTIFY_BUTTON) ++seen.buttonEvents;
            if (wParam == NOTIFY_SIGNAL) ++seen.signals;
            return 0;
        default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

template <typename T>
T Export(HMODULE module, const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Pumps messages until done() or timeoutMs; true if done() held.
template <typename F>
bool WaitFor(F done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (done()) break;
        if (GetTickCount() - start > timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

void Say(const char* text) {
    std::printf("%s\n", text);
    std::fflush(stdout);
}

}  // namespace

int main() {
    Say("WexUTIL demo: a controlling program drives the hook library for real.");

    HMODULE module = LoadLibraryA("WexUTIL.dll");
    if (!module) {
        Say("  could not load WexUTIL.dll");
        return 1;
    }
    auto InstallHook = Export<PFN_InstallHook>(module, "_InstallHook@8");
    auto RemoveHook = Export<PFN_RemoveHook>(module, "_RemoveHook@0");
    auto UpdateSettings = Export<PFN_UpdateSettings>(module, "UpdateSettings");
    auto GetStatistics = Export<PFN_GetStatistics>(module, "GetStatistics");
    auto PressAndHoldCallBack = Export<PFN_PressAndHoldCallBack>(module, "PressAndHoldCallBack");
    if (!InstallHook || !RemoveHook || !UpdateSettings || !GetStatistics || !PressAndHoldCallBack) {
        Say("  WexUTIL.dll lacks an export");
        return 1;
    }
    Say("1. Loaded WexUTIL.dll and found its exports by name.");

    // A settings record: one binding row and a marker in a reserved word,
    // so that the second program can show it reads this very record.
    HookSettings settings = {};
    settings.reserved1 = 0x2024;
    settings.bindingCount = 1;
    settings.bindings[0].action = ACTION_NOTIFY_8;
    settings.bindings[0].trigger = VK_F12;
    UpdateSettings(&settings);
    std::printf("2. Pushed a settings record: bindingCount %d, reserved word 0x%X.\n", settings.bindingCount,
                settings.reserved1);

    WNDCLASSA wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "WexDemoController";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, wc.lpszClassName, "WexUTIL demo", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    const int installed = InstallHook(window, 0);
    std::printf(
        "3. InstallHook(our window) returned %d: mouse, keyboard and message hooks for every thread.\n",
        installed);
    if (installed != 1) return 1;

    char command[MAX_PATH + 64];
    std::snprintf(command, sizeof command, "WexDemoTarget.exe %lu",
                  static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window)));
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        Say("  could not start WexDemoTarget.exe");
        RemoveHook();
        return 1;
    }
    if (!WaitFor([] { return seen.target != nullptr; }, 60000)) {
        Say("  the second program never showed its window");
        RemoveHook();
        return 1;
    }
    std::printf("4. Started a second program (process %lu) with a window; WexUTIL.dll mapped there: %s.\n",
                pi.dwProcessId, seen.mappedAtStart ? "yes" : "no, not yet");

    POINT p = {120, 90};
    ClientToScreen(seen.target, &p);
    WaitFor([&] { return WindowFromPoint(p) == seen.target; }, 30000);
    SetCursorPos(p.x, p.y);
    mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    std::printf("5. Moved the real cursor to (%ld, %ld) in its window and clicked the left button.\n", p.x,
                p.y);

    const bool clicked = WaitFor([] { return seen.downs > 0 && seen.ups > 0 && seen.settingsSeen; }, 60000);
    std::printf(
        "6. The second program saw the button go down %d and up %d times; WexUTIL.dll is now %s there.\n",
        seen.downs, seen.ups, seen.mappedOnInput ? "mapped" : "NOT mapped");
    if (seen.settingsSeen) {
        std::printf("7. Through its own mapping it reads bindingCount %d and reserved word 0x%X: %s.\n",
                    seen.bindingCount, seen.reserved1,
                    seen.bindingCount == settings.bindingCount && seen.reserved1 == settings.reserved1
                        ? "the same record, one shared section"
                        : "a DIFFERENT record");
    }
    WaitFor([] { return seen.buttonEvents >= 2; }, 5000);
    HookStatistics statistics = {};
    GetStatistics(&statistics);
    std::printf("8. Notifications posted to our window: %d (button events %d); left clicks counted: %u.\n",
                seen.notifications, seen.buttonEvents, statistics.leftClicks);

    // Actions, run the way the controlling program runs a hold binding: the
    // row's trigger is a key code here (F12), so the call runs it at once.
    const int signalled = PressAndHoldCallBack(VK_F12);
    WaitFor([] { return seen.signals > 0; }, 10000);
    std::printf("9. Actions through PressAndHoldCallBack(F12):\n");
    std::printf("   row with action %d returned %d; notification %d arrived %d time(s).\n", ACTION_NOTIFY_8,
                signalled, NOTIFY_SIGNAL, seen.signals);
    const int downsBefore = seen.downs;
    settings.bindings[0].action = ACTION_CLICK_AT_CURSOR;
    UpdateSettings(&settings);
    PressAndHoldCallBack(VK_F12);
    const bool opened = WaitFor([&] { return seen.downs > downsBefore; }, 10000);
    std::printf(
        "   action %d (click at cursor) over the second program's window: it saw %d more press(es).\n",
        ACTION_CLICK_AT_CURSOR, seen.downs - downsBefore);
    settings.bindings[0].action = ACTION_CENTER_CURSOR;
    UpdateSettings(&settings);
    PressAndHoldCallBack(VK_F12);
    POINT centre;
    GetCursorPos(&centre);
    const bool centred =
        centre.x == GetSystemMetrics(SM_CXSCREEN) / 2 && centre.y == GetSystemMetrics(SM_CYSCREEN) / 2;
    std::printf("   action %d (centre cursor): the cursor is now at (%ld, %ld) on a %dx%d screen.\n",
                ACTION_CENTER_CURSOR, centre.x, centre.y, GetSystemMetrics(SM_CXSCREEN),
                GetSystemMetrics(SM_CYSCREEN));

    RemoveHook();
    Say("10. RemoveHook: the hooks are removed; settings and statistics stay in the shared section.");
    PostMessageA(seen.target, WM_CLOSE, 0, 0);
    WaitForSingleObject(pi.hProcess, 30000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    DestroyWindow(window);
    const bool ok = clicked && seen.mappedOnInput && seen.settingsSeen &&
                    seen.reserved1 == settings.reserved1 && seen.signals > 0 && opened && centred;
    Say(ok ? "Done: the library ran in another process, shared its settings and ran actions."
           : "Done, with problems (see above).");
    return ok ? 0 : 1;
}
