#include "core/shared.h"

#ifdef _WIN32
ProcessState g_processState;
#endif
SharedState* g_sharedState = nullptr;

namespace {

// Sets up the header of a state no process set up yet, or checks that of
// one that was: true when the state has this build's layout.  Every field
// goes from 0 to its value in one step, so that two processes setting up a
// new state at once write the same thing.
bool HeaderFits(SharedHeader& h) {
    const uint32_t expected[3] = {kSharedMagic, static_cast<uint32_t>(sizeof(SharedState)), kSharedVersion};
    uint32_t* fields[3] = {&h.magic, &h.size, &h.version};
    bool fits = true;
    for (int i = 0; i < 3; ++i) {
        uint32_t seen = 0;
        __atomic_compare_exchange_n(fields[i], &seen, expected[i], false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE);
        if (__atomic_load_n(fields[i], __ATOMIC_ACQUIRE) != expected[i]) fits = false;
    }
    return fits;
}

// Opens, or creates, the state of this process's user at `level`, owned by
// the user, open to the user alone and labelled with the level.  One that
// exists already is taken only when it is exactly that.
bool MapLevel(DWORD level, HANDLE* mappingOut, SharedState** viewOut) {
    const Identity& who = Proc().identity;
    char name[256];
    if (!FormatObjectName(name, sizeof name, WEXUTIL_SHARED_PREFIX, who, level)) return false;
    ObjectSecurity security;
    BuildSecurity(&security, who, SECTION_ALL_ACCESS, level);
    const HANDLE mapping = os::CreateFileMappingA(INVALID_HANDLE_VALUE, &security.attributes, PAGE_READWRITE, 0,
                                                  sizeof(SharedState), name);
    if (mapping == nullptr) return false;
    // Created just now, it is what was asked for; found, it may be anyone's.
    if (os::GetLastError() == ERROR_ALREADY_EXISTS && !OwnedAndLabelled(mapping, who, level)) {
        os::CloseHandle(mapping);
        return false;
    }
    void* view = os::MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(SharedState));
    if (view == nullptr || !HeaderFits(static_cast<SharedState*>(view)->header)) {
        if (view != nullptr) os::UnmapViewOfFile(view);
        os::CloseHandle(mapping);
        return false;
    }
    *mappingOut = mapping;
    *viewOut = static_cast<SharedState*>(view);
    return true;
}

void Unmap(HANDLE* mapping, SharedState** view) {
    if (*view == nullptr) return;
    os::UnmapViewOfFile(*view);
    os::CloseHandle(*mapping);
    *view = nullptr;
    *mapping = nullptr;
}

}  // namespace

bool MapShared() {
    ProcessState& p = Proc();
    if (p.shared != nullptr) return true;
    if (p.identityRead == 0) p.identityRead = ReadIdentity(&p.identity) ? 1 : 2;
    if (p.identityRead != 1) return false;
    if (!MapLevel(p.identity.level, &p.sharedMapping, &p.shared)) return false;
    g_sharedState = p.shared;
    // The default record until the profiles are looked at, at the first
    // event (a profile count of 0 never changes it).
    p.table = 0;
    p.active = &p.shared->settings[0];
    p.profileGen = 0;
    return true;
}

ExportsOneAtATime::ExportsOneAtATime() : process_(Proc()) {
    const uint32_t self = os::GetCurrentThreadId();
    if (__atomic_load_n(&process_.exportThread, __ATOMIC_ACQUIRE) == self) return;
    uint32_t idle = 0;
    while (!__atomic_compare_exchange_n(&process_.exportThread, &idle, self, false, __ATOMIC_ACQUIRE,
                                        __ATOMIC_RELAXED)) {
        idle = 0;
        os::Sleep(0);
    }
    owner_ = true;
}

ExportsOneAtATime::~ExportsOneAtATime() {
    if (owner_) __atomic_store_n(&process_.exportThread, 0u, __ATOMIC_RELEASE);
}

bool MapForExports() {
    if (!MapShared()) return false;
    ProcessState& p = Proc();
    // An elevated controlling program reaches ordinary programs too; it
    // writes their state itself, which they may not write back up.
    if (p.identity.level > kLevelMedium && p.served == nullptr && p.identity.level != kLevelSystem) {
        MapLevel(kLevelMedium, &p.servedMapping, &p.served);
    }
    return true;
}

void UnmapShared() {
    ProcessState& p = Proc();
    Unmap(&p.servedMapping, &p.served);
    if (p.shared == nullptr) return;
    Unmap(&p.sharedMapping, &p.shared);
    g_sharedState = nullptr;
    p.active = nullptr;
}

bool ForeignWindow(HWND window) {
    // Input for no window (keys while no window is in the foreground) is
    // no process's in particular: not this one's to act on.
    if (window == nullptr) return true;
    DWORD owner = 0;
    os::GetWindowThreadProcessId(window, &owner);
    return owner != os::GetCurrentProcessId();
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

void ComputeTableRun(int table) {
    SharedState& s = Shared();
    const HookSettings& record = s.settings[table];
    TableRun& run = s.runs[table];
    uint8_t first[256];
    for (int t = 0; t < 256; ++t) first[t] = kNoRow;
    int hold = 0;
    const int rows = UsedBindingRows(record);
    for (int i = rows - 1; i >= 0; --i) {
        const int32_t trigger = record.bindings[i].trigger;
        if (trigger >= 0 && trigger < 256) first[trigger] = static_cast<uint8_t>(i);
        switch (trigger) {
            case TRIGGER_HOLD_LEFT: hold |= 1; break;
            case TRIGGER_HOLD_RIGHT: hold |= 2; break;
            case TRIGGER_HOLD_MIDDLE: hold |= 4; break;
            default: break;
        }
    }
    for (int t = 0; t < 256; ++t) run.firstRow[t] = first[t];
    run.holdButtons = hold;
}

namespace {

union DoubleBits {
    double value;
    uint64_t bits;
};

uint64_t* DistanceBits(SharedState& s = Shared()) { return reinterpret_cast<uint64_t*>(&s.statistics.distance); }

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

double LoadDistance(SharedState& s) {
    DoubleBits v;
    v.bits = __atomic_load_n(DistanceBits(s), __ATOMIC_RELAXED);
    return v.value;
}

void StoreDistance(SharedState& s, double value) {
    DoubleBits v;
    v.value = value;
    __atomic_store_n(DistanceBits(s), v.bits, __ATOMIC_RELAXED);
}
