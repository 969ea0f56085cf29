#include "core/shared.h"

// Zero at first load; one instance for every process that maps the library.
#ifdef _WIN32
SharedSection g_shared __attribute__((section(".shared"), shared)) = {};
ProcessState g_processState;
#else
SharedSection g_shared = {};
#endif

int GetModifierMask() {
    // Read in the order Shift, Alt, Ctrl; a key is down when the top bit of
    // its state is set.
    int mask = 0;
    if (os::GetAsyncKeyState(VK_SHIFT) < 0) mask |= MODIFIER_SHIFT;
    if (os::GetAsyncKeyState(VK_MENU) < 0) mask |= MODIFIER_ALT;
    if (os::GetAsyncKeyState(VK_CONTROL) < 0) mask |= MODIFIER_CTRL;
    return mask;
}

int ComputeHoldButtons() {
    int mask = 0;
    const int rows = UsedBindingRows();
    for (int i = 0; i < rows; ++i) {
        switch (g_shared.settings.bindings[i].trigger) {
            case TRIGGER_HOLD_LEFT: mask |= 1; break;
            case TRIGGER_HOLD_RIGHT: mask |= 2; break;
            case TRIGGER_HOLD_MIDDLE: mask |= 4; break;
            default: break;
        }
    }
    return mask;
}

namespace {

union DoubleBits {
    double value;
    uint64_t bits;
};

uint64_t* DistanceBits() { return reinterpret_cast<uint64_t*>(&g_shared.statistics.distance); }

}  // namespace

void AddTravel(int32_t dx, int32_t dy) {
    // Compare-and-swap: a failed exchange means another process added its
    // travel first; retry on the value it left.
    DoubleBits seen;
    seen.bits = __atomic_load_n(DistanceBits(), __ATOMIC_RELAXED);
    for (;;) {
        DoubleBits next;
        next.value = (dx + seen.value) + dy;
        if (__atomic_compare_exchange_n(DistanceBits(), &seen.bits, next.bits, false, __ATOMIC_RELAXED,
                                        __ATOMIC_RELAXED)) {
            return;
        }
    }
}

double LoadDistance() {
    DoubleBits v;
    v.bits = __atomic_load_n(DistanceBits(), __ATOMIC_RELAXED);
    return v.value;
}

void StoreDistance(double value) {
    DoubleBits v;
    v.value = value;
    __atomic_store_n(DistanceBits(), v.bits, __ATOMIC_RELAXED);
}
