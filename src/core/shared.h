// State every hooked process shares, state each process keeps for itself,
// and the small helpers that touch them.
#pragma once

#include "platform/os.h"
#include "wexutil.h"

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

// The one instance that every process with the library loaded maps.  It holds
// no pointers, only integers, handles, fixed character arrays and one double.
struct SharedSection {
    HHOOK mouseHook;
    HHOOK keyboardHook;
    HHOOK messageHook;
    UINT wheelMessage;
    HHOOK playbackHook;
    UINT playbackMessage;
    int32_t playbackStep;
    // 1 once journal playback was found refused or never called: mouse
    // messages are then injected as ordinary input (see playback.cpp).
    int32_t playbackGone;
    char rememberedClass[40];
    char rememberedTitle[40];
    SharedPoint rememberedPoint;
    DWORD keyLeftClickTime;
    DWORD keyRightClickTime;
    int32_t skipNextButtonUp;
    int32_t keyRepeatCount;
    int32_t keyLastKey;
    int32_t keyDragLock;
    // 1 from a Ctrl+Z press to the release of Z, so that the right button
    // goes up even when Ctrl was let go first.
    int32_t keyRightLock;
    int32_t typingState;
    SharedPoint typingCursor;
    HookSettings settings;
    HookStatistics statistics;
    HWND notifyWindow;
    UINT swallowMessage;
    int32_t holdButtons;
    DWORD moveWiggleStart;
    DWORD lastMoveTime;
    SharedPoint lastMovePoint;
    int32_t moveWiggleState;
    int32_t moveDeltaX[5];
    int32_t moveDeltaY[5];
    int32_t moveRingIndex;
    int32_t moveThreshold;
    DWORD clickBurstStart;
    DWORD lastClickTime;
    int32_t clickBurstState;
    int32_t pauseTrigger;
    int32_t pauseModifiers;
    // 1 from a Ctrl-click press that pushed Ctrl and the left button down to
    // its release.
    int32_t ctrlClickDown;
    // The button the keyboard mouse's click key (keypad 5) pressed: 0 none,
    // 1 left, 2 right; its release lets up the same one.
    int32_t keyClickButton;
    // 1 while keypad star holds the right button down.
    int32_t keyStarDown;
    // 1 while a left press that the right-button filter injected waits for
    // its release, so that the release is injected wherever the button is
    // let go and the left button is never left down.
    int32_t filterLeftDown;
};

extern SharedSection g_shared;

// What one process keeps for itself between two calls made in it.
struct ProcessState {
    HINSTANCE moduleInstance;
    // Cursor travel is measured from the last point this process saw.
    int32_t distancePrimed;
    SharedPoint lastDistancePoint;
    // Single-click open.
    POINT pressPoint;
    int32_t suppressNextUp;
    // Keyboard mouse: the key that last moved the cursor (0 when none), whose
    // release is eaten.
    int32_t cursorMoved;
    int32_t rightArmed;
    // Message hook.
    int32_t extraButtonDown;
    // Keyboard hook: 1 while this process drains its queue to end capture.
    int32_t captureEnding;
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

// Rows of the binding table that are in use: bindingCount clamped to 0..30,
// so that no scan reads past the table whatever the controlling program sent.
inline int UsedBindingRows() {
    int count = g_shared.settings.bindingCount;
    if (count <= 0) return 0;
    return count > WEXUTIL_BINDING_ROWS ? WEXUTIL_BINDING_ROWS : count;
}

// Shift (1), Ctrl (2) and Alt (4) as they are down right now.
int GetModifierMask();

// The press-and-hold buttons of the binding table: 1 for each row with
// trigger 252, 2 for 251, 4 for 250.
int ComputeHoldButtons();

// Counter and travel updates from many processes at once: lock-free
// read-modify-write so that no update is lost.
inline void IncrementCounter(unsigned int& counter) { __atomic_fetch_add(&counter, 1u, __ATOMIC_RELAXED); }
// distance = (dx + distance) + dy, as one atomic update.
void AddTravel(int32_t dx, int32_t dy);
// The 64-bit distance read or written whole, never torn.
double LoadDistance();
void StoreDistance(double value);
