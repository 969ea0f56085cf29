// A get-message hook that does nothing but call the next hook, built like the
// library on the simulated desktop: the yardstick for what the library's
// GetMsgProc costs on a message it does not take.
#include "core/shared.h"

extern "C" __attribute__((noinline)) LRESULT EmptyGetMsgProc(int code, WPARAM wParam, LPARAM lParam) {
    return os::CallNextHookEx(nullptr, code, wParam, lParam);
}
