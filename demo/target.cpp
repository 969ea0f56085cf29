// The demo's second program: a plain window that never loads WexUTIL.dll
// itself.  It tells the controlling program (whose window handle is its
// argument) when its window is up, each button press and release it sees,
// whether the library is mapped into it by then, and what settings it reads
// through that mapping.
#include <windows.h>

#include <cstdlib>

#include "wexutil.h"

namespace {

const UINT kTargetReady = WM_APP + 1;
const UINT kTargetInput = WM_APP + 2;
const UINT kTargetSettings = WM_APP + 3;

HWND g_controller = nullptr;

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LBUTTONDOWN || message == WM_LBUTTONUP) {
        HMODULE library = GetModuleHandleA("WexUTIL.dll");
        PostMessageA(g_controller, kTargetInput, message, library != nullptr);
        if (library && message == WM_LBUTTONUP) {
            auto getSettings = reinterpret_cast<PFN_GetSettings>(
                reinterpret_cast<void*>(GetProcAddress(library, "GetSettings")));
            if (getSettings) {
                HookSettings s;
                getSettings(&s);
                PostMessageA(g_controller, kTargetSettings, static_cast<WPARAM>(s.reserved1),
                             static_cast<LPARAM>(s.bindingCount));
            }
        }
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    g_controller = reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::strtoul(argv[1], nullptr, 10)));
    const bool mappedAtStart = GetModuleHandleA("WexUTIL.dll") != nullptr;

    WNDCLASSA wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "WexDemoTarget";
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, wc.lpszClassName, "WexUTIL demo target", WS_OVERLAPPEDWINDOW, 250, 150,
                                  320, 240, nullptr, nullptr, wc.hInstance, nullptr);
    if (!window) return 3;
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    SetForegroundWindow(window);
    PostMessageA(g_controller, kTargetReady, reinterpret_cast<WPARAM>(window), mappedAtStart);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
