// The library's surface toward the controlling program: entry point, hook
// lifecycle and the copying of records in and out of the shared state.
#include "core/exports.h"

#include "actions/dispatcher.h"
#include "actions/playback.h"
#include "core/profiles.h"
#include "core/shared.h"
#include "core/table.h"
#include "keyboard/keyboard_mouse.h"

namespace {

// Records are copied as 32-bit words in order.  A null address from the
// controlling program is ignored rather than faulting in its process.
void CopyWords(void* destination, const void* source, unsigned words) {
    volatile uint32_t* to = static_cast<volatile uint32_t*>(destination);
    const volatile uint32_t* from = static_cast<const volatile uint32_t*>(source);
    for (unsigned i = 0; i < words; ++i) to[i] = from[i];
}

// Copies a remembered string into a caller's buffer: at most 39 bytes, always
// terminated, even if the shared copy was somehow left unterminated.
void CopyRememberedString(char* destination, const char* source) {
    int i = 0;
    for (; i < 38 && source[i] != '\0'; ++i) destination[i] = source[i];
    destination[i] = '\0';
}

// Runs `step` on this process's own state, then on the state of the level
// it serves, if any (see ProcessState::served).  The exports run on the
// controlling program's thread, where the hooks called in this process run
// too, so no hook runs while the other state is current.
template <typename F>
void ForEachLevel(F step) {
    step();
    SharedState* const own = g_sharedState;
    SharedState* const served = Proc().served;
    if (served == nullptr) return;
    g_sharedState = served;
    step();
    g_sharedState = own;
}

HHOOK InstallOne(int type, HOOKPROC procedure) {
    return os::SetWindowsHookExA(type, procedure, Proc().moduleInstance, 0);
}

// Lets up every key and button the library holds down: what held rows
// pressed, the keyboard mouse's buttons (its lock too), the left press the
// right-button filter injected, the Ctrl and left button of a Ctrl-click;
// a playback still waiting is finished first.  Without its hooks the
// library would never see the releases that end them, and the shared state
// outlives any one controlling program.
void LetUpEverything() {
    SettlePlayback();
    for (int t = 0; t < kTables; ++t) {
        const HookSettings& record = Shared().settings[t];
        const int rows = UsedBindingRows(record);
        for (int i = 0; i < WEXUTIL_BINDING_ROWS; ++i) {
            const uint32_t gen = __atomic_load_n(&Shared().runs[t].rowHeld[i], __ATOMIC_ACQUIRE);
            if (gen == 0) continue;
            const Binding row = record.bindings[i];
            if (TakeHeldRow(t, i, gen) && i < rows && HoldsKeysDown(row.action))
                ExecuteAction(row.action, row.parameter, 1);
        }
    }
    // A Ctrl-click whose row went with a replaced table.
    if (Shared().ctrlClickDown != 0) ExecuteAction(ACTION_CTRL_CLICK, 0, 1);
    ReleaseKeyboardMouseButtons(true);
    const bool filtered = __atomic_exchange_n(&Shared().filterPresses[0], 0, __ATOMIC_RELAXED) != 0;
    if ((__atomic_exchange_n(&Shared().filterPresses[1], 0, __ATOMIC_RELAXED) != 0 || filtered) &&
        os::GetAsyncKeyState(VK_LBUTTON) < 0) {
        os::mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    }
    Shared().swallowMessage = 0;
    Shared().skipNextButtonUp = 0;
}

// The hooks of one bitness belong to one process at a time, the one that
// holds this mutex: a second controlling program would otherwise install a
// second set beside the first, and every event would run twice.  It is free
// once its holder removed the hooks, and abandoned once the holder's thread
// is gone, whose hooks the system removed with it; either way it is taken.
bool TakeHooksMutex() {
    ProcessState& p = Proc();
    char name[40] = WEXUTIL_HOOKS_MUTEX_PREFIX;
    int at = 0;
    while (name[at] != '\0') ++at;
    const int bits = LibraryBits();
    name[at++] = static_cast<char>('0' + bits / 10);
    name[at++] = static_cast<char>('0' + bits % 10);
    name[at] = '\0';
    ObjectSecurity security;
    BuildSecurity(&security, p.identity, MUTEX_ALL_ACCESS, 0);
    // Another user's mutex is not opened: their hooks are in.
    const HANDLE mutex = os::CreateMutexA(&security.attributes, FALSE, name);
    if (mutex == nullptr) return false;
    const DWORD taken = os::WaitForSingleObject(mutex, 0);
    if (taken != WAIT_OBJECT_0 && taken != WAIT_ABANDONED) {
        os::CloseHandle(mutex);
        return false;
    }
    p.hooksMutex = mutex;
    return true;
}

// Whether this process's hooks are still in.  The mutex tells: taken again
// by the thread that holds it, it is its own (the extra count is given
// back); abandoned, the thread that installed the hooks ended and the system
// removed them with it, and this thread now holds it for the new ones.
void CheckOwnHooks() {
    ProcessState& p = Proc();
    const DWORD taken = os::WaitForSingleObject(p.hooksMutex, 0);
    if (taken == WAIT_OBJECT_0) {
        os::ReleaseMutex(p.hooksMutex);
    } else if (taken == WAIT_ABANDONED) {
        p.mouseHook = nullptr;
        p.keyboardHook = nullptr;
        p.messageHook = nullptr;
        p.hooksHere = 0;
    }
}

// The keys the keyboard mouse works from in a record, -1 where it is off.
int KeyboardMouseScheme(const HookSettings& record) {
    return record.keyboardMouse != 0 ? record.keyboardMouseKeys : -1;
}

// Replaces the default record, and with `profiles` non-null the profiles
// too, in the current state (see core/table.h for how the hooks see the
// tables meanwhile).
void ReplaceSettings(const HookSettings* source, const WexProfile* profiles = nullptr, int count = 0) {
    SharedState& s = Shared();
    // The tables in use before and after: the default's and those of the
    // profiles in place (all of them that were, when the profiles change).
    const int before = s.profileCount > WEXUTIL_PROFILES ? WEXUTIL_PROFILES : static_cast<int>(s.profileCount);
    const int used = 1 + (profiles != nullptr && count > before ? count : before);
    // The rows as they were, for the rows held in them.
    Binding old[kTables][WEXUTIL_BINDING_ROWS];
    int oldRows[kTables];
    for (int t = 0; t < used; ++t) {
        oldRows[t] = UsedBindingRows(s.settings[t]);
        for (int i = 0; i < oldRows[t]; ++i) old[t][i] = s.settings[t].bindings[i];
    }
    int schemesBefore[kTables];
    for (int t = 0; t < used; ++t) schemesBefore[t] = KeyboardMouseScheme(s.settings[t]);
    // One writer at a time is the rule; one that died in the middle (an odd
    // generation for long) is finished here.
    uint32_t gen = __atomic_load_n(&s.tableGen, __ATOMIC_SEQ_CST);
    for (int turn = 0; turn < 64 && (gen & 1u) != 0; ++turn) {
        os::Sleep(0);
        gen = __atomic_load_n(&s.tableGen, __ATOMIC_SEQ_CST);
    }
    const uint32_t genBefore = gen & ~1u;
    __atomic_store_n(&s.tableGen, genBefore + 1, __ATOMIC_SEQ_CST);
    CopyWords(&s.settings[0], source, sizeof(HookSettings) / 4);
    if (profiles != nullptr) {
        for (int i = 0; i < count; ++i) {
            CopyWords(s.programs[i], profiles[i].programs, sizeof s.programs[i] / 4);
            CopyWords(&s.settings[i + 1], &profiles[i].settings, sizeof(HookSettings) / 4);
        }
        // A profile no longer in place keeps no rows: its held rows end
        // below, like those of any row that went.
        for (int t = count + 1; t < kTables; ++t) s.settings[t].bindingCount = 0;
        s.profileCount = static_cast<uint32_t>(count);
        // Never 0, the count a process starts at: every process looks again.
        uint32_t next = s.profileGeneration + 1;
        if (next == 0) next = 1;
        __atomic_store_n(&s.profileGeneration, next, __ATOMIC_RELEASE);
    }
    SpreadDesktopFields(s, used);
    // A controlling program pushes its settings when the display changes
    // (it gets WM_DISPLAYCHANGE, which is sent, never queued, and so passes
    // no hook of this library): every process reads the screen size again.
    DisplayChanged();
    for (int t = 0; t < used; ++t) ComputeTableRun(t);
    __atomic_store_n(&s.tableGen, genBefore + 2, __ATOMIC_SEQ_CST);
    // Buttons the keyboard mouse holds until a key's release that it would no
    // longer handle go up now.
    bool schemeChanged = false;
    for (int t = 0; t < used; ++t) schemeChanged |= KeyboardMouseScheme(s.settings[t]) != schemesBefore[t];
    if (schemeChanged) ReleaseKeyboardMouseButtons(false);
    // The pause's pending swallow ends with the pause: its release may come
    // where no hook sees it, and would eat a later one.
    if (s.settings[0].pauseLock == 0) s.swallowMessage = 0;
    // A held row that the new table keeps in its place stays held, so that
    // its trigger's release still ends it.  Any other would never see that
    // release: if its press left keys or the left button down, they are let
    // up now rather than left stuck.  (`held` in the pushed record means
    // nothing: a row is held only by a press the library consumed.)
    for (int t = 0; t < used; ++t) CarryHeldRows(t, old[t], oldRows[t], genBefore, genBefore + 2);
}

void AddStatistics(HookStatistics* total, const SharedState& s) {
    total->leftClicks += s.statistics.leftClicks;
    total->rightClicks += s.statistics.rightClicks;
    total->doubleClicks += s.statistics.doubleClicks;
    total->keystrokes += s.statistics.keystrokes;
    total->singleClickOpens += s.statistics.singleClickOpens;
    total->edgeWraps += s.statistics.edgeWraps;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    Proc().moduleInstance = module;
    // The shared state is mapped at load.  At process exit (reserved set)
    // nothing is let go: the process's address space goes with it.
    if (reason == DLL_PROCESS_ATTACH) MapShared();
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) UnmapShared();
    return TRUE;
}

extern "C" int WINAPI InstallHook(HWND window, int ignored) {
    const ExportsOneAtATime oneAtATime;
    (void)ignored;
    // Without the shared state the hooks could only pass everything on.
    if (!MapForExports()) return 0;
    ProcessState& p = Proc();
    if (p.hooksMutex == nullptr) {
        // Another process has this bitness's hooks: nothing is installed,
        // and nothing is reported installed.
        if (!TakeHooksMutex()) return 0;
    } else {
        CheckOwnHooks();
    }
    ForEachLevel([window] {
        Shared().notifyWindow = ToHandle32(window);
        Shared().wheelMessage = os::RegisterWindowMessageA("MSWHEEL_ROLLMSG");
    });
    // Installing afresh: whatever a controlling program that ended without
    // RemoveHook left held is let up first.
    if (p.mouseHook == nullptr && p.keyboardHook == nullptr && p.messageHook == nullptr)
        ForEachLevel(LetUpEverything);
    // Mouse, keyboard, message: a failure stops here and keeps what is in
    // place, so a later call installs only what is missing.
    if (p.mouseHook == nullptr) p.mouseHook = InstallOne(WH_MOUSE, MouseProc);
    if (p.mouseHook != nullptr && p.keyboardHook == nullptr) p.keyboardHook = InstallOne(WH_KEYBOARD, KeyboardProc);
    if (p.keyboardHook != nullptr && p.messageHook == nullptr) p.messageHook = InstallOne(WH_GETMESSAGE, GetMsgProc);
    p.hooksHere = p.mouseHook != nullptr || p.keyboardHook != nullptr || p.messageHook != nullptr ? 1 : 0;
    return p.mouseHook != nullptr && p.keyboardHook != nullptr && p.messageHook != nullptr ? 1 : 0;
}

extern "C" void WINAPI RemoveHook(void) {
    const ExportsOneAtATime oneAtATime;
    ProcessState& p = Proc();
    HHOOK* slots[] = {&p.mouseHook, &p.keyboardHook, &p.messageHook};
    bool removed = false;
    for (HHOOK* slot : slots) {
        if (*slot != nullptr) {
            os::UnhookWindowsHookEx(*slot);
            *slot = nullptr;
            removed = true;
        }
    }
    p.hooksHere = 0;
    // The hooks go first, so that the releases below run no binding here.
    if (removed && MapForExports()) ForEachLevel(LetUpEverything);
    if (p.hooksMutex != nullptr) {
        os::ReleaseMutex(p.hooksMutex);
        os::CloseHandle(p.hooksMutex);
        p.hooksMutex = nullptr;
    }
}

extern "C" void GetSettings(HookSettings* destination) {
    const ExportsOneAtATime oneAtATime;
    if (destination == nullptr || !MapForExports()) return;
    CopyWords(destination, &Shared().settings[0], sizeof(HookSettings) / 4);
    // What the hooks changed in the medium level's copy counts too: capture
    // and wiggle detection go off, and the copy watch is set, wherever they
    // happened.
    const SharedState* served = Proc().served;
    if (served != nullptr) {
        if (served->settings[0].captureMode == 0) destination->captureMode = 0;
        if (served->settings[0].wiggleDetect == 0) destination->wiggleDetect = 0;
        if (served->settings[0].copySeen != 0 && destination->copySeen == 0) destination->copySeen = 1;
    }
    const int rows = UsedBindingRows(Shared().settings[0]);
    for (int i = 0; i < rows; ++i) {
        const bool held = RowHeld(0, i) || (served != nullptr && served->runs[0].rowHeld[i] != 0);
        destination->bindings[i].held = held ? 1 : 0;
    }
}

extern "C" void UpdateSettings(const HookSettings* source) {
    const ExportsOneAtATime oneAtATime;
    if (source == nullptr || !MapForExports()) return;
    ForEachLevel([source] { ReplaceSettings(source); });
}

extern "C" int UpdateProfiles(const HookSettings* defaults, const WexProfile* profiles, int count) {
    const ExportsOneAtATime oneAtATime;
    if (count < 0) count = 0;
    if (count > WEXUTIL_PROFILES) count = WEXUTIL_PROFILES;
    if (defaults == nullptr || (profiles == nullptr && count > 0) || !MapForExports()) return -1;
    // Any address will do for no profiles: nothing is read from it.
    const WexProfile* const from = profiles != nullptr ? profiles : reinterpret_cast<const WexProfile*>(defaults);
    ForEachLevel([defaults, from, count] { ReplaceSettings(defaults, from, count); });
    return count;
}

extern "C" void GetStatistics(HookStatistics* destination) {
    const ExportsOneAtATime oneAtATime;
    if (destination == nullptr || !MapForExports()) return;
    HookStatistics total;
    CopyWords(&total, &Shared().statistics, offsetof(HookStatistics, distance) / 4);
    total.distance = LoadDistance();
    // An elevated controlling program counts the ordinary programs too.
    if (SharedState* served = Proc().served) {
        AddStatistics(&total, *served);
        total.distance += LoadDistance(*served);
    }
    CopyWords(destination, &total, offsetof(HookStatistics, distance) / 4);
    destination->distance = total.distance;
}

extern "C" void SetStatistics(const HookStatistics* source) {
    const ExportsOneAtATime oneAtATime;
    if (source == nullptr || !MapForExports()) return;
    CopyWords(&Shared().statistics, source, offsetof(HookStatistics, distance) / 4);
    StoreDistance(source->distance);
    // The totals given are this level's; the served level counts on from 0.
    if (SharedState* served = Proc().served) {
        HookStatistics zero = {};
        for (int i = 0; i < 4; ++i) zero.reserved[i] = source->reserved[i];
        CopyWords(&served->statistics, &zero, offsetof(HookStatistics, distance) / 4);
        StoreDistance(*served, 0.0);
    }
}

extern "C" void GetRememberedWindow(char* className, char* title, WexPoint* point) {
    const ExportsOneAtATime oneAtATime;
    if (!MapForExports()) return;
    // The newer of the two levels' windows, where there are two.
    const SharedState* from = &Shared();
    const SharedState* served = Proc().served;
    if (served != nullptr && served->rememberedTick != 0) {
        const DWORD now = os::GetTickCount();
        if (from->rememberedTick == 0 || now - served->rememberedTick < now - from->rememberedTick) from = served;
    }
    if (className != nullptr) CopyRememberedString(className, from->rememberedClass);
    if (title != nullptr) CopyRememberedString(title, from->rememberedTitle);
    if (point != nullptr) {
        point->x = from->rememberedPoint.x;
        point->y = from->rememberedPoint.y;
    }
}

extern "C" BOOL WINAPI LeftStillDown(HWND window, UINT message, UINT_PTR timerId, DWORD time) {
    (void)message;
    (void)time;
    return os::KillTimer(window, timerId);
}
