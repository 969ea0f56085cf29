// State every hooked process shares, state each process keeps for itself,
// and the small helpers that touch them.
#pragma once

#include "core/exports.h"  // the public header, as the library itself declares it
#include "core/security.h"
#include "platform/os.h"

#include <stddef.h>
#include <stdint.h>

#ifndef WEXUTIL_TABLE_GUARD  // the fuzzing build's record holds a guard after the table
static_assert(offsetof(HookSettings, captureMode) == 0x000, "settings layout");
static_assert(offsetof(HookSettings, action29Bypass) == 0x014, "settings layout");
static_assert(offsetof(HookSettings, rememberButtonClicks) == 0x028, "settings layout");
static_assert(offsetof(HookSettings, reserved1) == 0x02C, "settings layout");
static_assert(offsetof(HookSettings, edgeWrap) == 0x030, "settings layout");
static_assert(offsetof(HookSettings, keyboardMouseStep) == 0x04C, "settings layout");
static_assert(offsetof(HookSettings, cornerB) == 0x050, "settings layout");
static_assert(offsetof(HookSettings, typingWatch) == 0x054, "settings layout");
static_assert(offsetof(HookSettings, bindingCount) == 0x058, "settings layout");
static_assert(offsetof(HookSettings, bindings) == 0x05C, "settings layout");
static_assert(offsetof(HookSettings, bindings[29]) == 0x05C + 20 * 29, "settings layout");
static_assert(offsetof(HookSettings, reserved2) == 0x2B4, "settings layout");
static_assert(offsetof(HookSettings, singleClickDesktop) == 0x2B8, "settings layout");
static_assert(offsetof(HookSettings, vendorWheel) == 0x2C4, "settings layout");
static_assert(offsetof(HookSettings, pauseLock) == 0x2C8, "settings layout");
#endif
static_assert(offsetof(Binding, action) == 0 && offsetof(Binding, parameter) == 4 &&
                  offsetof(Binding, trigger) == 8 && offsetof(Binding, modifiers) == 12 &&
                  offsetof(Binding, held) == 16,
              "binding layout");
static_assert(offsetof(HookStatistics, leftClicks) == 0x00, "statistics layout");
static_assert(offsetof(HookStatistics, rightClicks) == 0x04, "statistics layout");
static_assert(offsetof(HookStatistics, doubleClicks) == 0x08, "statistics layout");
static_assert(offsetof(HookStatistics, keystrokes) == 0x0C, "statistics layout");
static_assert(offsetof(HookStatistics, singleClickOpens) == 0x10, "statistics layout");
static_assert(offsetof(HookStatistics, edgeWraps) == 0x14, "statistics layout");
static_assert(offsetof(HookStatistics, reserved) == 0x18, "statistics layout");
static_assert(offsetof(HookStatistics, distance) == 0x28, "statistics layout");

// A point in shared memory: two 32-bit signed integers.
struct SharedPoint {
    int32_t x;
    int32_t y;
};

// A window or hook handle as the shared state keeps it.  Such handles have
// 32 significant bits in 32-bit and 64-bit processes alike; a 64-bit process
// widens the stored value by sign extension, as Windows does.
typedef int32_t Handle32;
inline Handle32 ToHandle32(const void* handle) {
    return static_cast<Handle32>(reinterpret_cast<intptr_t>(handle));
}
template <typename H>
inline H FromHandle32(Handle32 value) {
    return reinterpret_cast<H>(static_cast<intptr_t>(value));
}

// The binding tables: the default record's and one per profile.
const int kTables = WEXUTIL_PROFILES + 1;

// What the hooks keep beside one binding table.
struct TableRun {
    // For each row, the generation of the tables in which its press ran and
    // whose release has not come yet; 0 when it is not held.  Kept apart
    // from the rows, so that replacing the table never overwrites it.
    uint32_t rowHeld[WEXUTIL_BINDING_ROWS];
    // The press-and-hold buttons of the table: 1 for each row with trigger
    // 252, 2 for 251, 4 for 250.
    int32_t holdButtons;
    // For each trigger code below 256, the first row in use with it, or
    // kNoRow: a binding search starts there instead of at row 0, and a key
    // no row names costs one lookup.  Set with the table; all zero at first
    // load, which only makes every search start at row 0.
    uint8_t firstRow[256];
};
static_assert(sizeof(TableRun) == 380, "table run layout");

// The state every hooked process shares, 32-bit and 64-bit alike: one named
// memory mapping that each build of the library opens, so its layout is the
// same in both: fixed-width integers, 32-bit handles, no pointers, every
// offset checked below.  All zero when first created.
struct SharedHeader {
    uint32_t magic;    // kSharedMagic once set up
    uint32_t size;     // sizeof(SharedState) of the build that set it up
    uint32_t version;  // kSharedVersion
    uint32_t reserved;
};
const uint32_t kSharedMagic = 0x55584557;  // "WEXU"
const uint32_t kSharedVersion = 4;

struct SharedState {
    // Checked by every process that opens the state: a library of another
    // build finds another layout here and passes everything on rather than
    // misreading the fields.
    SharedHeader header;
    uint32_t wheelMessage;
    Handle32 notifyWindow;
    // A mouse message id that the mouse hook consumes once, 0 none.
    uint32_t swallowMessage;
    // The keyboard mouse's key scheme plus 1 (0: off) in the program where
    // it last took a key: a key in a program where it works otherwise (or
    // not at all) first lets up what it holds.
    int32_t keyMouseScheme;
    Handle32 playbackHook;
    uint32_t playbackMessage;
    int32_t playbackStep;
    // 1 once journal playback was found refused or never called: mouse
    // messages are then injected as ordinary input (see playback.cpp).
    int32_t playbackGone;
    char rememberedClass[40];
    char rememberedTitle[40];
    SharedPoint rememberedPoint;
    uint32_t keyLeftClickTime;
    uint32_t keyRightClickTime;
    int32_t skipNextButtonUp;
    int32_t keyRepeatCount;
    int32_t keyLastKey;
    int32_t keyDragLock;
    // 1 from a Ctrl+Z press to the release of Z, so that the right button
    // goes up even when Ctrl was let go first.
    int32_t keyRightLock;
    // The button the keyboard mouse's click key (keypad 5) pressed: 0 none,
    // 1 left, 2 right; its release lets up the same one.
    int32_t keyClickButton;
    // 1 while keypad star holds the right button down.
    int32_t keyStarDown;
    int32_t typingState;
    SharedPoint typingCursor;
    uint32_t moveWiggleStart;
    uint32_t lastMoveTime;
    SharedPoint lastMovePoint;
    int32_t moveWiggleState;
    int32_t moveDeltaX[5];
    int32_t moveDeltaY[5];
    int32_t moveRingIndex;
    int32_t moveThreshold;
    uint32_t clickBurstStart;
    uint32_t lastClickTime;
    int32_t clickBurstState;
    int32_t pauseTrigger;
    int32_t pauseModifiers;
    // 1 from a Ctrl-click press that pushed Ctrl and the left button down to
    // its release.
    int32_t ctrlClickDown;
    // Presses of the right [0] and middle [1] buttons that the right-button
    // filter turned into left presses and whose releases have not come yet
    // (two pointing devices can each hold one), so that each release of
    // that button is turned into a left release wherever it comes and the
    // left button is never left down, and so that no other button's release
    // is taken for one.
    int32_t filterPresses[2];
    // 1 from the keyboard mouse's lock key (keypad 0 or Insert), which holds
    // the left button down, until a left release it plays.
    int32_t keyLockDown;
    // A Ctrl+A drag lets Ctrl up for its length and presses it again at its
    // end, but only if the person still holds it: keyDragCtrlOwn is 1 until
    // the drag's own injected Ctrl release has come back through the hook,
    // keyDragCtrlUp 1 once a later Ctrl release (the person's) was seen.
    int32_t keyDragCtrlOwn;
    int32_t keyDragCtrlUp;
    // The buttons (1 left, 2 right, 4 middle) whose last press or
    // double-click reached its window and whose release has not come yet:
    // the pause eats no release that such a press waits for, and
    // single-click open takes no left release but such a press's.
    int32_t buttonsOut;
    // Counts the display changes seen: each process reads the screen size
    // again at its next move once this differs from the count it read it at.
    uint32_t displayGeneration;
    // Running sums of the wiggle rings moveDeltaX and moveDeltaY.
    int32_t moveSumX;
    int32_t moveSumY;
    // Single-click open: 1 from a double-click it consumed until the next
    // left release, which is that double-click's and is eaten too, in
    // whichever program it comes; a left press anywhere clears it, since the
    // release then belongs to that press.
    int32_t suppressNextUp;
    // Presses and releases the library injected whose keystrokes have not
    // come to a keyboard hook's key rows yet, counted per virtual key (up to
    // 255), and the tick of the last injection.  Such a keystroke runs no
    // key row: a row whose action types its own key would otherwise start
    // again at every key it typed.  Presses and releases are counted apart,
    // so that the person's release never takes the place of an injected
    // press.  Counts older than a second are dropped, so that keys no hook
    // saw (typed into a program the hooks do not reach) can keep a key from
    // its row only within that second.
    uint32_t ownKeysTime;
    uint8_t ownPresses[256];
    uint8_t ownReleases[256];
    // The binding tables' generation: even while they are whole, odd while
    // UpdateSettings or UpdateProfiles replaces them (see core/table.h).
    uint32_t tableGen;
    // When the remembered window was last stored, so that a controlling
    // program that keeps the states of two levels hands out the newer.
    uint32_t rememberedTick;
    // The profiles in place (0..16), and how many times they were replaced:
    // each process works out its profile again only once this differs from
    // the count it worked it out at (see core/profiles.h).
    uint32_t profileCount;
    uint32_t profileGeneration;
    // Bit t is set while table t may have a held row, so that a release
    // looks only in the tables where a press is waiting for it, whichever
    // program's table that is (see core/table.h).
    uint32_t heldTables;
    // The table of the program in which each button's last press-and-hold
    // press came (left, right, middle): PressAndHoldCallBack runs in the
    // controlling program and takes the hold row from that table.
    int32_t holdTable[3];
    // The 64-bit distance inside is updated atomically: 8-byte aligned.
    alignas(8) HookStatistics statistics;
    // The run-time state of each binding table: table 0 is the default
    // record's, table t the table of profile t - 1.
    TableRun runs[kTables];
    // Each profile's program patterns, as UpdateProfiles took them.
    uint16_t programs[WEXUTIL_PROFILES][WEXUTIL_PROGRAMS_CHARS];
    // Last, so that the fuzzing build's guard after each binding table moves
    // no other field: the default record, then one per profile, each whole
    // (the fields that apply to the whole desktop are copied from the
    // default into every profile's record).
    HookSettings settings[kTables];
};

// Every offset, in every build: a field that moved would make a 32-bit and a
// 64-bit process read each other's values as something else.
#define WEXUTIL_SHARED_AT(field, offset) \
    static_assert(offsetof(SharedState, field) == (offset), "shared layout: " #field)
WEXUTIL_SHARED_AT(header, 0x000);
WEXUTIL_SHARED_AT(wheelMessage, 0x010);
WEXUTIL_SHARED_AT(notifyWindow, 0x014);
WEXUTIL_SHARED_AT(swallowMessage, 0x018);
WEXUTIL_SHARED_AT(keyMouseScheme, 0x01C);
WEXUTIL_SHARED_AT(playbackHook, 0x020);
WEXUTIL_SHARED_AT(playbackMessage, 0x024);
WEXUTIL_SHARED_AT(playbackStep, 0x028);
WEXUTIL_SHARED_AT(playbackGone, 0x02C);
WEXUTIL_SHARED_AT(rememberedClass, 0x030);
WEXUTIL_SHARED_AT(rememberedTitle, 0x058);
WEXUTIL_SHARED_AT(rememberedPoint, 0x080);
WEXUTIL_SHARED_AT(keyLeftClickTime, 0x088);
WEXUTIL_SHARED_AT(keyRightClickTime, 0x08C);
WEXUTIL_SHARED_AT(skipNextButtonUp, 0x090);
WEXUTIL_SHARED_AT(keyRepeatCount, 0x094);
WEXUTIL_SHARED_AT(keyLastKey, 0x098);
WEXUTIL_SHARED_AT(keyDragLock, 0x09C);
WEXUTIL_SHARED_AT(keyRightLock, 0x0A0);
WEXUTIL_SHARED_AT(keyClickButton, 0x0A4);
WEXUTIL_SHARED_AT(keyStarDown, 0x0A8);
WEXUTIL_SHARED_AT(typingState, 0x0AC);
WEXUTIL_SHARED_AT(typingCursor, 0x0B0);
WEXUTIL_SHARED_AT(moveWiggleStart, 0x0B8);
WEXUTIL_SHARED_AT(lastMoveTime, 0x0BC);
WEXUTIL_SHARED_AT(lastMovePoint, 0x0C0);
WEXUTIL_SHARED_AT(moveWiggleState, 0x0C8);
WEXUTIL_SHARED_AT(moveDeltaX, 0x0CC);
WEXUTIL_SHARED_AT(moveDeltaY, 0x0E0);
WEXUTIL_SHARED_AT(moveRingIndex, 0x0F4);
WEXUTIL_SHARED_AT(moveThreshold, 0x0F8);
WEXUTIL_SHARED_AT(clickBurstStart, 0x0FC);
WEXUTIL_SHARED_AT(lastClickTime, 0x100);
WEXUTIL_SHARED_AT(clickBurstState, 0x104);
WEXUTIL_SHARED_AT(pauseTrigger, 0x108);
WEXUTIL_SHARED_AT(pauseModifiers, 0x10C);
WEXUTIL_SHARED_AT(ctrlClickDown, 0x110);
WEXUTIL_SHARED_AT(filterPresses, 0x114);
WEXUTIL_SHARED_AT(keyLockDown, 0x11C);
WEXUTIL_SHARED_AT(keyDragCtrlOwn, 0x120);
WEXUTIL_SHARED_AT(keyDragCtrlUp, 0x124);
WEXUTIL_SHARED_AT(buttonsOut, 0x128);
WEXUTIL_SHARED_AT(displayGeneration, 0x12C);
WEXUTIL_SHARED_AT(moveSumX, 0x130);
WEXUTIL_SHARED_AT(moveSumY, 0x134);
WEXUTIL_SHARED_AT(suppressNextUp, 0x138);
WEXUTIL_SHARED_AT(ownKeysTime, 0x13C);
WEXUTIL_SHARED_AT(ownPresses, 0x140);
WEXUTIL_SHARED_AT(ownReleases, 0x240);
WEXUTIL_SHARED_AT(tableGen, 0x340);
WEXUTIL_SHARED_AT(rememberedTick, 0x344);
WEXUTIL_SHARED_AT(profileCount, 0x348);
WEXUTIL_SHARED_AT(profileGeneration, 0x34C);
WEXUTIL_SHARED_AT(heldTables, 0x350);
WEXUTIL_SHARED_AT(holdTable, 0x354);
WEXUTIL_SHARED_AT(statistics, 0x360);
WEXUTIL_SHARED_AT(runs, 0x390);
WEXUTIL_SHARED_AT(programs, 0x1CCC);
WEXUTIL_SHARED_AT(settings, 0x5D0C);
#undef WEXUTIL_SHARED_AT
#ifndef WEXUTIL_TABLE_GUARD
static_assert(sizeof(SharedState) == 0x8C98, "shared layout: size, padded to the 8-byte alignment");
#endif

// The shared state is named "Local\\WexUTIL.SharedState.4.<user SID>.<level>":
// one per logon session (Local), user and integrity level (see
// core/security.h), and one per layout, so that a library of another layout
// never reads this one.
#define WEXUTIL_SHARED_PREFIX "Local\\WexUTIL.SharedState.4."

// The mutex that the process owning one bitness's hooks holds for as long as
// it has them installed: "Local\\WexUTIL.Hooks.<bits>".  Held by the
// installing thread, so that it is given up (abandoned) exactly when the
// system removes that thread's hooks: when the thread or its process ends,
// however it ends.
#define WEXUTIL_HOOKS_MUTEX_PREFIX "Local\\WexUTIL.Hooks."

// The bitness of this library: 32 or 64.  On the simulated desktop, the
// bitness of the simulated process it runs in.
#ifdef _WIN32
inline int LibraryBits() { return static_cast<int>(sizeof(void*)) * 8; }
#else
int LibraryBits();
#endif

// The longest program path the library compares, in UTF-16 units.
const int kProgramPathChars = 260;

// What one process keeps for itself between two calls made in it.
struct ProcessState {
    HINSTANCE moduleInstance;
    // The shared state as mapped into this process; null when it could not
    // be opened (a sandboxed process, one whose state someone else made):
    // every hook then passes its input on untouched and every export does
    // nothing.
    SharedState* shared;
    HANDLE sharedMapping;
    // Who this process runs as; identityRead is 1 once read, 2 when it
    // could not be.
    Identity identity;
    int32_t identityRead;
    // A controlling program above the medium level also keeps the medium
    // level's state, so that its hooks act in ordinary programs too: the
    // exports write settings and the notification window to both and add
    // up the statistics of both.
    SharedState* served;
    HANDLE servedMapping;
    // The hooks this process installed, kept here and nowhere else: no
    // other process may take them for its own.  hooksHere is 1 while any of
    // them is in: hook procedures called in this process for input of
    // another one (a program of the other bitness) then pass it on at once.
    HHOOK mouseHook;
    HHOOK keyboardHook;
    HHOOK messageHook;
    int32_t hooksHere;
    // The mutex of this bitness's hooks, held while this process has them.
    HANDLE hooksMutex;
    // The thread inside an export, 0 none (see ExportsOneAtATime).
    uint32_t exportThread;
    // Cursor travel is measured from the last point this process saw.
    int32_t distancePrimed;
    SharedPoint lastDistancePoint;
    // Single-click open.
    POINT pressPoint;
    // Keyboard mouse: the key that last moved the cursor (0 when none), whose
    // release is eaten.
    int32_t cursorMoved;
    int32_t rightArmed;
    // Message hook.
    int32_t extraButtonDown;
    // Keyboard hook: 1 while this process drains its queue to end capture.
    int32_t captureEnding;
    // The screen size as this process last read it, and the display count
    // it read it at (see displayGeneration); 0 wide until first read.
    int32_t screenWidth;
    int32_t screenHeight;
    uint32_t screenGeneration;
    // Wiggle: moves since the rings' sums were last added up afresh.
    uint32_t movesSummed;
    // Edge wrap: the point of the last move that wrapped, while no move at
    // another point has come since (wrapFromSet 1).  The same move handed to
    // the hook again (Wine does, once the jump's own move has joined it in
    // the queue) is then not a second push against the edge.
    int32_t wrapFromSet;
    POINT wrapFrom;
    // The binding table this process's program uses (0 the default, t
    // profile t - 1), its record, and the profiles' replacement count it was
    // worked out at (see core/profiles.h).
    int32_t table;
    uint32_t profileGen;
    HookSettings* active;
    // This process's program path, read once (programRead 1).
    int32_t programRead;
    uint16_t program[kProgramPathChars];
};

#ifdef _WIN32
extern ProcessState g_processState;
inline ProcessState& Proc() { return g_processState; }
#else
// The simulated desktop points this at the copy of the process it is
// running code in.
extern ProcessState* g_process;
inline ProcessState& Proc() { return *g_process; }
#endif

// This process's mapping of the shared state (a copy of Proc().shared kept
// where every access reaches it with one load), null when it could not be
// opened.  The simulated desktop sets it as it enters a process.
extern SharedState* g_sharedState;

// The shared state.  Only valid where HaveShared() holds: every entry point
// of the library checks that first.
inline bool HaveShared() { return g_sharedState != nullptr; }
inline SharedState& Shared() { return *g_sharedState; }

// Maps the shared state of this process's user and level into it, creating
// it when no process has it yet; false when it cannot be had (the identity
// cannot be read, or the state that exists is not the user's own, has
// another label or another layout).  UnmapShared lets it go again, and the
// served level's state with it.
bool MapShared();
void UnmapShared();
// The exports' first step: MapShared, and for a process above the medium
// level the medium level's state too (see ProcessState::served).
bool MapForExports();

// The exports run one at a time in a process, whichever of its threads
// calls them (a console handler saving the statistics while the window's
// thread pushes settings): an elevated controlling program's pushes switch
// the process's current state to the served level for their second half,
// and an export on another thread meanwhile would read or write that
// level's state as its own.  An export called again on the thread inside
// one (the simulated desktop runs a push in the middle of a hook call)
// goes on at once.
class ExportsOneAtATime {
public:
    ExportsOneAtATime();
    ~ExportsOneAtATime();
    ExportsOneAtATime(const ExportsOneAtATime&) = delete;
    ExportsOneAtATime& operator=(const ExportsOneAtATime&) = delete;

private:
    ProcessState& process_;
    bool owner_ = false;
};

// Windows runs a global hook of one bitness for a program of the other in
// the process that installed it, on the installing thread (SetWindowsHookEx,
// remarks): there the hook procedures act only on input of the installing
// process's own windows, and pass everything else on at once, for the hook
// of the other bitness runs again in the program itself.  Costs one load in
// every other process.
bool ForeignWindow(HWND window);
inline bool HooksInstalledHere() { return Proc().hooksHere != 0; }

inline HWND NotifyWindow() { return FromHandle32<HWND>(Shared().notifyWindow); }

// The size of the primary screen, read once per display change rather than
// on every event: at a process's first use, and again after a display
// change was seen (DisplayChanged) anywhere.
void ReadScreenSize();
// Whether this process's kept size is read and no display change came since.
inline bool ScreenSizeCurrent(const ProcessState& p, const SharedState& s) {
    return p.screenWidth > 0 && p.screenGeneration == s.displayGeneration;
}
inline void ScreenSize(int32_t* width, int32_t* height) {
    ProcessState& p = Proc();
    if (!ScreenSizeCurrent(p, Shared())) ReadScreenSize();
    *width = p.screenWidth;
    *height = p.screenHeight;
}
// Every process reads the screen size again before its next use.
inline void DisplayChanged() { __atomic_fetch_add(&Shared().displayGeneration, 1u, __ATOMIC_RELAXED); }

// The record of this process's program: the default's or its profile's.
inline HookSettings& Settings() { return *Proc().active; }
// The default record, for the fields that apply to the whole desktop (the
// same in every record): all that acts on cursor moves, which need no profile.
inline HookSettings& DesktopSettings() { return Shared().settings[0]; }
// The binding table this process's program uses.
inline int OwnTable() { return Proc().table; }
inline TableRun& Run(int table) { return Shared().runs[table]; }

// Rows of a binding table that are in use: bindingCount clamped to 0..30,
// so that no scan reads past the table whatever the controlling program sent.
inline int UsedBindingRows(const HookSettings& s) {
    const int count = s.bindingCount;
    if (count <= 0) return 0;
    return count > WEXUTIL_BINDING_ROWS ? WEXUTIL_BINDING_ROWS : count;
}
inline int UsedBindingRows() { return UsedBindingRows(Settings()); }

// Shift (1), Ctrl (2) and Alt (4) as they are down right now.
int GetModifierMask();

// The press-and-hold buttons and the first rows of table t, worked out
// from its rows as they stand.
const uint8_t kNoRow = 0xFF;
void ComputeTableRun(int table);

// Where a search of table t for a trigger's rows starts: its first row, or
// the table's end when no row has it; row 0 for a code that has no entry.
inline int FirstRowFor(int table, uintptr_t trigger, int rows) {
    if (trigger >= 256) return 0;
    const int first = Run(table).firstRow[trigger];
    return first == kNoRow || first > rows ? rows : first;
}
inline int FirstRowFor(uintptr_t trigger, int rows) { return FirstRowFor(OwnTable(), trigger, rows); }

// Counter and travel updates from many processes at once: lock-free
// read-modify-write so that no update is lost.
inline void IncrementCounter(unsigned int& counter) { __atomic_fetch_add(&counter, 1u, __ATOMIC_RELAXED); }

// Fields that hooks in several processes update: one atomic step each.
inline void SetBits(int32_t& field, int32_t bits) { __atomic_fetch_or(&field, bits, __ATOMIC_RELAXED); }
inline void ClearBits(int32_t& field, int32_t bits) { __atomic_fetch_and(&field, ~bits, __ATOMIC_RELAXED); }
// Takes a flag or slot that holds `expected`, setting it to 0: true for the
// one caller that took it.
template <typename T>
inline bool TakeValue(T& field, T expected) {
    return __atomic_compare_exchange_n(&field, &expected, T(0), false, __ATOMIC_RELAXED, __ATOMIC_RELAXED);
}
// Counts one up, to at most `limit`.
template <typename T>
inline void CountUp(T& count, T limit) {
    T seen = __atomic_load_n(&count, __ATOMIC_RELAXED);
    while (seen < limit &&
           !__atomic_compare_exchange_n(&count, &seen, T(seen + 1), false, __ATOMIC_RELAXED, __ATOMIC_RELAXED)) {
    }
}
// Counts one down if it is above 0: true when it was.
template <typename T>
inline bool CountDown(T& count) {
    T seen = __atomic_load_n(&count, __ATOMIC_RELAXED);
    while (seen > 0) {
        if (__atomic_compare_exchange_n(&count, &seen, T(seen - 1), false, __ATOMIC_RELAXED, __ATOMIC_RELAXED))
            return true;
    }
    return false;
}
// distance = (dx + distance) + dy, as one atomic update.
void AddTravel(int32_t dx, int32_t dy);
// The 64-bit distance read or written whole, never torn.
double LoadDistance(SharedState& s);
void StoreDistance(SharedState& s, double value);
inline double LoadDistance() { return LoadDistance(Shared()); }
inline void StoreDistance(double value) { StoreDistance(Shared(), value); }
