#include "actions/keys.h"

namespace {

// How long an injected key is waited for: a program that takes no input for
// longer looks hung to the person anyway.
constexpr DWORD kOwnKeyLifetime = 1000;

// True when the last injection is older than a key is waited for: what is
// still counted then is of keys no hook took.
bool OwnCountsOutlived(DWORD now) { return now - Shared().ownKeysTime > kOwnKeyLifetime; }

// A key is down when the top bit of its asynchronous state is set.
bool IsDown(int vk) { return os::GetAsyncKeyState(vk & 0xFF) < 0; }

}  // namespace

void InjectKey(int vk, bool up) {
    SharedState& s = Shared();
    // Counts outlived go before this injection renews the time.
    const DWORD now = os::GetTickCount();
    if (OwnCountsOutlived(now)) {
        for (int i = 0; i < 256; ++i) {
            __atomic_store_n(&s.ownPresses[i], 0, __ATOMIC_RELAXED);
            __atomic_store_n(&s.ownReleases[i], 0, __ATOMIC_RELAXED);
        }
    }
    s.ownKeysTime = now;
    // Counted and taken in one step each: hooks in other programs take
    // counts at the same time.
    CountUp((up ? s.ownReleases : s.ownPresses)[vk & 0xFF], static_cast<uint8_t>(0xFF));
    os::keybd_event(static_cast<BYTE>(vk), 0, up ? KEYEVENTF_KEYUP : 0, 0);
}

bool TakeOwnCount(uint8_t& count) {
    if (OwnCountsOutlived(os::GetTickCount())) {
        __atomic_store_n(&count, 0, __ATOMIC_RELAXED);
        return false;
    }
    return CountDown(count);
}

int TapKey(int vk) {
    InjectKey(vk, false);
    os::Sleep(200);
    InjectKey(vk, true);
    return 1;
}

void ReleaseAltIfDown() {
    if (IsDown(VK_MENU)) InjectKey(VK_MENU, true);
}

void SetKeyDown(int vk, int release) {
    if (release == 0) {
        if (!IsDown(vk)) InjectKey(vk, false);
    } else {
        if (IsDown(vk)) InjectKey(vk, true);
    }
}
