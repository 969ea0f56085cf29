#include "actions/keys.h"

#include "platform/os.h"

namespace {

// A key is down when the top bit of its asynchronous state is set.
bool IsDown(int vk) { return os::GetAsyncKeyState(vk & 0xFF) < 0; }

void Inject(int vk, bool up) { os::keybd_event(static_cast<BYTE>(vk), 0, up ? KEYEVENTF_KEYUP : 0, 0); }

}  // namespace

int TapKey(int vk) {
    Inject(vk, false);
    os::Sleep(200);
    Inject(vk, true);
    return 1;
}

void ReleaseAltIfDown() {
    if (IsDown(VK_MENU)) Inject(VK_MENU, true);
}

void SetKeyDown(int vk, int release) {
    if (release == 0) {
        if (!IsDown(vk)) Inject(vk, false);
    } else {
        if (IsDown(vk)) Inject(vk, true);
    }
}
