// Keystrokes of the simulated desktop: each one becomes a key message in the
// focus thread's queue, with the key flags a keyboard hook receives, and is
// taken from there by the program's message loop, through the hooks.
#include "platform/sim/desktop.h"

namespace sim {

namespace {

// Scan codes of the keys tests type, as a keyboard gives them.
int ScanCodeOf(int vk) {
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    static const uint8_t letterScans[] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17,
                                          0x24, 0x25, 0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13,
                                          0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
    for (int i = 0; i < 26; ++i) {
        if (vk == letters[i]) return letterScans[i];
    }
    if (vk >= '1' && vk <= '9') return 0x02 + (vk - '1');
    switch (vk) {
        case '0': return 0x0B;
        case VK_ESCAPE: return 0x01;
        case VK_RETURN: return 0x1C;
        case VK_SPACE: return 0x39;
        case VK_SHIFT: return 0x2A;
        case VK_CONTROL: return 0x1D;
        case VK_MENU: return 0x38;
        case VK_LEFT: return 0x4B;
        case VK_RIGHT: return 0x4D;
        case VK_UP: return 0x48;
        case VK_DOWN: return 0x50;
        default: return 0;
    }
}

}  // namespace

void Desktop::KeyboardInput(int vk, bool up, bool extended) {
    SetKeyDown(vk, !up);
    const DWORD flags = (up ? KEYEVENTF_KEYUP : 0u) | (extended ? KEYEVENTF_EXTENDEDKEY : 0u);
    pendingInput.push_back(
        {true, static_cast<DWORD>(vk & 0xFF), static_cast<DWORD>(ScanCodeOf(vk)), flags, 0, 0});
}

void Desktop::QueueKey(int vk, int scan, bool up, bool extended) {
    vk &= 0xFF;
    const bool wasDown = (inputKeyState[vk] & 0x80) != 0;
    inputKeyState[vk] = up ? 0 : 0x80;
    // The modifiers as this keystroke finds them, whatever was typed after.
    const bool altHeld = (inputKeyState[VK_MENU] & 0x80) != 0;
    const bool ctrlHeld = (inputKeyState[VK_CONTROL] & 0x80) != 0;
    // Alt held makes a system key (Alt itself too), unless Ctrl is held.
    const bool system = (altHeld || vk == VK_MENU) && !ctrlHeld;
    // Repeat count 1, the scan code, bit 24 extended, bit 29 Alt held,
    // bit 30 the previous state, bit 31 the transition.
    uint32_t flags = 1u | (static_cast<uint32_t>(scan) & 0xFFu) << 16;
    if (extended) flags |= 1u << 24;
    if (altHeld) flags |= 1u << 29;
    if (wasDown) flags |= 1u << 30;
    if (up) flags |= 1u << 31;
    UINT message = up ? WM_KEYUP : WM_KEYDOWN;
    if (system) message = up ? WM_SYSKEYUP : WM_SYSKEYDOWN;
    const HWND target = focus != nullptr ? focus : foreground;
    QueueMessage(target, message, static_cast<WPARAM>(vk), static_cast<LPARAM>(flags), true);
}

void Desktop::DeliverKey(const InputEvent& e) {
    QueueKey(static_cast<int>(e.a), static_cast<int>(e.b), (e.c & KEYEVENTF_KEYUP) != 0,
             (e.c & KEYEVENTF_EXTENDEDKEY) != 0);
    RunMessageLoop();
}

}  // namespace sim
