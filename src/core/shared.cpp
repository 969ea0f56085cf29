#include "core/shared.h"

// The hooks of this build: one instance for every process of this bitness
// that maps the library, zero at first load.
#ifdef _WIN32
ImageState g_image __attribute__((section(".shared"), shared)) = {};
ProcessState g_processState;
#else
ImageState g_image = {};
#endif
SharedState* g_sharedState = nullptr;

bool MapShared() {
    ProcessState& p = Proc();
    if (p.shared != nullptr) return true;
    // Created zero-filled by the first process of either bitness, opened by
    // every later one.  A process that may not open it (a sandbox, another
    // integrity level) is left without it.
    const HANDLE mapping = os::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                  sizeof(SharedState), WEXUTIL_SHARED_NAME);
    if (mapping == nullptr) return false;
    void* view = os::MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(SharedState));
    if (view == nullptr) {
        os::CloseHandle(mapping);
        return false;
    }
    p.sharedMapping = mapping;
    p.shared = static_cast<SharedState*>(view);
    g_sharedState = p.shared;
    return true;
}

void UnmapShared() {
    ProcessState& p = Proc();
    if (p.shared == nullptr) return;
    os::UnmapViewOfFile(p.shared);
    os::CloseHandle(p.sharedMapping);
    p.shared = nullptr;
    p.sharedMapping = nullptr;
    g_sharedState = nullptr;
}

void ReadScreenSize() {
    ProcessState& p = Proc();
    // The count first: a change that comes while the size is read makes the
    // next use read it again.
    p.screenGeneration = Shared().displayGeneration;
    p.screenWidth = os::GetSystemMetrics(SM_CXSCREEN);
    p.screenHeight = os::GetSystemMetrics(SM_CYSCREEN);
}

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
        switch (Shared().settings.bindings[i].trigger) {
            case TRIGGER_HOLD_LEFT: mask |= 1; break;
            case TRIGGER_HOLD_RIGHT: mask |= 2; break;
            case TRIGGER_HOLD_MIDDLE: mask |= 4; break;
            default: break;
        }
    }
    return mask;
}

void ClearFirstRows() {
    for (int t = 0; t < 256; ++t) Shared().firstRow[t] = 0;
}

void ComputeFirstRows() {
    SharedState& s = Shared();
    uint8_t first[256];
    for (int t = 0; t < 256; ++t) first[t] = kNoRow;
    const int rows = UsedBindingRows();
    for (int i = rows - 1; i >= 0; --i) {
        const int32_t trigger = s.settings.bindings[i].trigger;
        if (trigger >= 0 && trigger < 256) first[trigger] = static_cast<uint8_t>(i);
    }
    for (int t = 0; t < 256; ++t) s.firstRow[t] = first[t];
}

namespace {

union DoubleBits {
    double value;
    uint64_t bits;
};

uint64_t* DistanceBits() { return reinterpret_cast<uint64_t*>(&Shared().statistics.distance); }

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
