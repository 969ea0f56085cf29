// The system-wide mouse hook: one fixed pipeline of stages run for every
// mouse message of every program.  A stage that consumes the message ends the
// pipeline; everything else is passed to the next hook unchanged.
#include "actions/dispatcher.h"
#include "core/exports.h"
#include "core/notify.h"
#include "core/profiles.h"
#include "core/shared.h"
#include "core/table.h"
#include "mouse/stages.h"

namespace {

// What one mouse event carries from stage to stage.  The modifier mask is
// read when a stage first needs it and then kept, so every comparison of the
// event sees the same mask, and a cursor move, which needs none, reads no key
// state at all.
struct MouseEvent {
    UINT rawId;
    UINT buttonId;
    const MOUSEHOOKSTRUCT* record;
    int mask;  // -1 until read
};

int Mask(MouseEvent& e) {
    if (e.mask < 0) e.mask = GetModifierMask();
    return e.mask;
}

// Non-client button messages (0xA1..0xA9) count as their client forms
// (0x201..0x209); every other id stays as it is.
UINT ButtonIdOf(UINT rawId) {
    if (rawId >= WM_NCLBUTTONDOWN && rawId <= WM_NCMBUTTONDBLCLK) {
        return rawId - WM_NCLBUTTONDOWN + WM_LBUTTONDOWN;
    }
    return rawId;
}

// Button messages 0x201..0x209 in groups of three per button (press,
// release, double-click): button 0 left, 1 right, 2 middle.
bool IsButton(UINT buttonId) { return buttonId >= WM_LBUTTONDOWN && buttonId <= WM_MBUTTONDBLCLK; }
int ButtonOf(UINT buttonId) { return static_cast<int>(buttonId - WM_LBUTTONDOWN) / 3; }
enum Kind { KIND_PRESS = 0, KIND_RELEASE = 1, KIND_DOUBLE = 2 };
int KindOf(UINT buttonId) { return static_cast<int>(buttonId - WM_LBUTTONDOWN) % 3; }

bool KeyDown(int vk) { return os::GetAsyncKeyState(vk) < 0; }
const int kButtonKeys[3] = {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON};

// The hook handle is not needed: CallNextHookEx ignores it.
LRESULT PassOn(int code, WPARAM wParam, LPARAM lParam) { return os::CallNextHookEx(nullptr, code, wParam, lParam); }

// The pause lock eats the release of a refused press once: the slot names
// the release in its client form (a button id), 0 none, and so matches the
// release over a window's frame too.  A slot whose release went where no
// hook of this library saw it (a sandboxed program, a program of the other
// bitness under Wine) is dropped at the next press of its button, or of any
// button while its own is up, so that it never eats a later, unrelated
// release.
bool SwallowPending(const MouseEvent& e) {
    const UINT slot = Shared().swallowMessage;
    if (slot == 0) return false;
    // Taken once, whichever process sees the release first.
    if (e.buttonId == slot) return TakeValue(Shared().swallowMessage, slot);
    if (IsButton(e.buttonId) && KindOf(e.buttonId) != KIND_RELEASE &&
        (!IsButton(slot) || ButtonOf(e.buttonId) == ButtonOf(slot) || !KeyDown(kButtonKeys[ButtonOf(slot)]))) {
        Shared().swallowMessage = 0;
    }
    return false;
}

// The turn of a wheel message: the wheel delta in the high word of the
// record's mouseData, which a real wheel and injected turns carry; where it
// is 0, the low 16 bits of the extra information, which mouse vendor
// software sets.  Positive is forward.
int WheelDirection(const MouseEvent& e) {
    const int16_t delta =
        static_cast<int16_t>(reinterpret_cast<const MOUSEHOOKSTRUCTEX*>(e.record)->mouseData >> 16);
    if (delta != 0) return delta;
    return static_cast<int16_t>(e.record->dwExtraInfo & 0xFFFF);
}

// Wheel bindings.  Returns true when the turn is consumed.  A turn the
// controlling program injected (its scrolling) is left alone: it runs no
// row, releases none and is not reported.
bool HandleWheel(MouseEvent& e) {
    if (e.record->dwExtraInfo == WEXUTIL_OWN_INPUT) return false;
    const int direction = WheelDirection(e);
    // A backward turn is the release of a row a forward turn pressed.
    if (direction <= 0 && ReleaseHeldRows(TRIGGER_WHEEL, 1) > 0) return true;
    const int mask = Mask(e);
    for (int attempt = 0; attempt < 4; ++attempt) {
        uint32_t gen = 0;
        if (!BeginTableRead(&gen)) break;
        Binding row;
        const int i = FindRow(TRIGGER_WHEEL, mask, &row);
        if (!TableUnchanged(gen)) continue;
        if (i < 0) break;
        if (row.action == ACTION_SCROLL) {
            if (direction != 0) PostNotify(direction > 0 ? NOTIFY_WHEEL_FORWARD : NOTIFY_WHEEL_BACKWARD, 0);
        } else {
            ExecuteAction(row.action, row.parameter, direction > 0 ? 0 : 1);
            if (direction > 0 && HoldsKeysDown(row.action)) MarkRowHeld(i, row, gen);
        }
        return true;
    }
    // Unbound turns without modifiers are reported, and go on to the window.
    if (mask == 0 && direction != 0) {
        PostNotify(direction > 0 ? NOTIFY_WHEEL_FORWARD : NOTIFY_WHEEL_BACKWARD, 0);
    }
    return false;
}

void CountClick(UINT buttonId) {
    HookStatistics& s = Shared().statistics;
    if (buttonId == WM_LBUTTONUP) IncrementCounter(s.leftClicks);
    if (buttonId == WM_RBUTTONDOWN) IncrementCounter(s.rightClicks);
    if (buttonId == WM_LBUTTONDBLCLK) IncrementCounter(s.doubleClicks);
}

// |a - b|: the difference of two 32-bit values always fits in 32 unsigned
// bits.
uint32_t Distance(int32_t a, int32_t b) {
    return a > b ? static_cast<uint32_t>(a) - static_cast<uint32_t>(b)
                 : static_cast<uint32_t>(b) - static_cast<uint32_t>(a);
}

// The mouse side of the typing watch: typing ends once the cursor has left
// the point where it started by more than 4 pixels either way.
void WatchTyping(POINT pt) {
    SharedState& s = Shared();
    if (s.typingState != 1) return;
    if (Distance(pt.x, s.typingCursor.x) > 4 || Distance(pt.y, s.typingCursor.y) > 4) {
        PostNotify(NOTIFY_TYPING_ENDED, 0);
        s.typingState = 0;
    }
}

// Notification 2 for every button message, and 26 for a press of a button
// the binding table holds for press-and-hold.
void NotifyButton(UINT buttonId) {
    const int button = ButtonOf(buttonId);
    const int kind = KindOf(buttonId);
    PostNotify(NOTIFY_BUTTON, 2 + 3 * kind + button);
    if (kind == KIND_PRESS && (Run(OwnTable()).holdButtons & (1 << button)) != 0) {
        // PressAndHoldCallBack, in the controlling program, takes the hold
        // row from this program's table.
        Shared().holdTable[button] = OwnTable();
        PostNotify(NOTIFY_HOLD_STARTED, 1 << button);
    }
}

// The trigger of a press or release: the button's own virtual-key code, or a
// chord code when another button is down at this moment.
int TriggerOf(UINT buttonId) {
    switch (ButtonOf(buttonId)) {
        case 1: return KeyDown(VK_LBUTTON) ? TRIGGER_CHORD_LEFT_RIGHT : VK_RBUTTON;
        case 2:
            if (KeyDown(VK_LBUTTON)) return TRIGGER_CHORD_LEFT_MIDDLE;
            return KeyDown(VK_RBUTTON) ? TRIGGER_CHORD_RIGHT_MIDDLE : VK_MBUTTON;
        default: return VK_LBUTTON;
    }
}

// With the pause on, every press but the one that engaged the pause is
// reported and eaten, and so is its release, once.
bool PauseRefuses(MouseEvent& e, int trigger) {
    if (Settings().pauseLock == 0) return false;
    if (trigger == Shared().pauseTrigger && Mask(e) == Shared().pauseModifiers) return false;
    PostNotify(NOTIFY_PAUSED_INPUT, 0);
    // The release of the same button, in its client form: unless an earlier
    // press of that button reached its window, whose release it then is.
    if ((Shared().buttonsOut & (1 << ButtonOf(e.buttonId))) == 0) Shared().swallowMessage = e.buttonId + 1;
    return true;
}

// The button a trigger belongs to, chords included: 1 left, 2 right (254
// is the right with the left down), 4 middle (248, 247 with another down).
int ButtonOfTrigger(int trigger) {
    switch (trigger) {
        case TRIGGER_CHORD_LEFT_RIGHT: return VK_RBUTTON;
        case TRIGGER_CHORD_LEFT_MIDDLE:
        case TRIGGER_CHORD_RIGHT_MIDDLE: return VK_MBUTTON;
        default: return trigger;
    }
}

// A release ends the first row its button is holding, whatever the modifiers
// are now and whichever other button went up first (a chord's release may
// come without the chord).  Only a held row has anything to end: its press
// was consumed, so its release is too.  A release that finds none is passed
// on, whether its press was passed on or never seen; running a release phase
// for it would inject releases nothing pressed (a left Ctrl-click row would
// meet its own injected release again, and again).
bool ReleaseHeldRowIn(int t, int trigger) {
    const int button = ButtonOfTrigger(trigger);
    // A table replaced during the search carried its held rows over: the
    // search starts again in the new one.
    for (int attempt = 0; attempt < 4; ++attempt) {
        uint32_t gen = 0;
        if (!BeginTableRead(&gen)) return false;
        const Binding* bindings = Shared().settings[t].bindings;
        const int rows = UsedBindingRows(Shared().settings[t]);
        // The search starts at the first row of the button's own trigger or
        // of a chord that ButtonOfTrigger gives to this button, whichever is
        // first.
        int from = FirstRowFor(t, static_cast<uintptr_t>(button), rows);
        if (button != VK_LBUTTON) {
            // Right: the left-right chord; middle: the left-middle and
            // right-middle chords (the second of the right's pair repeats the
            // first).
            const int chords[2] = {button == VK_RBUTTON ? TRIGGER_CHORD_LEFT_RIGHT : TRIGGER_CHORD_LEFT_MIDDLE,
                                   button == VK_RBUTTON ? TRIGGER_CHORD_LEFT_RIGHT : TRIGGER_CHORD_RIGHT_MIDDLE};
            for (int chord : chords) {
                const int first = FirstRowFor(t, static_cast<uintptr_t>(chord), rows);
                if (first < from) from = first;
            }
        }
        bool replaced = false;
        for (int i = from; i < rows; ++i) {
            if (!RowHeldIn(t, i, gen)) continue;
            // The row's values are taken first: the table can be replaced
            // while the action runs.
            const Binding row = bindings[i];
            if (!TableUnchanged(gen)) {
                replaced = true;
                break;
            }
            if (ButtonOfTrigger(row.trigger) != button || !TakeHeldRow(t, i, gen)) continue;
            ExecuteAction(row.action, row.parameter, 1);
            return true;
        }
        if (!replaced) return false;
    }
    return false;
}

// The press may have run a row of another program's table.
bool ReleaseHeldRow(int trigger) {
    uint32_t tables = HeldTables();
    for (int t = 0; tables != 0; ++t, tables >>= 1) {
        if ((tables & 1u) != 0 && ReleaseHeldRowIn(t, trigger)) return true;
    }
    return false;
}

// The rows a press tries, in one table: 1 when one took the press, 0 when
// none did, -1 when the table was replaced before any row ran (the caller
// looks again in the new one).
int TryRows(MouseEvent& e, int trigger, uint32_t gen) {
    const int rows = UsedBindingRows();
    if (rows == 0) return 0;
    const Binding* bindings = Settings().bindings;
    const int from = FirstRowFor(static_cast<uintptr_t>(trigger), rows);
    if (from >= rows) return 0;
    const int mask = Mask(e);
    bool ran = false;
    for (int i = from; i < rows; ++i) {
        const Binding row = bindings[i];
        if (row.trigger != trigger || row.modifiers != mask) continue;
        // Replaced meanwhile: look again, unless a row already ran (and
        // passed the press on), which must not run twice.
        if (!TableUnchanged(gen)) return ran ? 0 : -1;
        if (row.action == ACTION_PAUSE) {
            Shared().pauseTrigger = trigger;
            Shared().pauseModifiers = mask;
        }
        if (ExecuteAction(row.action, row.parameter, 0) != 0) {
            MarkRowHeld(i, row, gen);
            return 1;
        }
        ran = true;
    }
    return 0;
}

// A press tries every row with the trigger and the mask in table order
// until one handles it.  Only that row becomes held: a press every row
// passed on reaches its window, and so must its release.
bool RunMatchingRows(MouseEvent& e, int trigger) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        uint32_t gen = 0;
        if (!BeginTableRead(&gen)) return false;
        const int taken = TryRows(e, trigger, gen);
        if (taken >= 0) return taken == 1;
    }
    return false;
}

// Single-click open completes a click whose press reached the view (which
// selected the item), and eats the release of a double-click it consumed.
// The release of a press that a row consumed is that row's: taken here, it
// left the row held, and the row then ate the release of a later press that
// had reached its window.
bool SingleClickMayTake(UINT buttonId) {
    return buttonId != WM_LBUTTONUP || (Shared().buttonsOut & (1 << ButtonOf(buttonId))) != 0 ||
           Shared().suppressNextUp != 0;
}

// Presses and releases that reach the binding table; true when consumed.
bool HandleButtonBinding(MouseEvent& e) {
    const int trigger = TriggerOf(e.buttonId);
    if (KindOf(e.buttonId) == KIND_RELEASE) return ReleaseHeldRow(trigger);
    if (PauseRefuses(e, trigger)) return true;
    return RunMatchingRows(e, trigger);
}

// A cursor move, the message of which there are the most by far, meets only
// the stages that act on it, in the pipeline's order, each behind its own
// switch; it is never consumed.  (The one-shot swallow names a release, the
// wheel, click, filter, single-click, notification and binding stages
// buttons.)
__attribute__((noinline)) void RunMoveStages(UINT rawId, const MOUSEHOOKSTRUCT* record) {
    const SharedState& shared = Shared();
    const HookSettings& s = shared.settings[0];  // DesktopSettings(), with the state at hand
    const POINT pt = record->pt;
    if (s.captureMode != 0) PostCaptureMouse(rawId, pt);
    if (s.typingWatch != 0) WatchTyping(pt);
    if (s.wiggleDetect != 0 && rawId == WM_MOUSEMOVE) DetectMoveWiggle(pt);
    if (s.trackDistance != 0) AccumulateDistance(pt.x, pt.y);
    if (s.edgeWrap != 0) {
        // Away from every edge with the screen size known and current, as
        // nearly every move is: no call, and the next push against an edge
        // is a new one.  Anything else is the stage's.
        ProcessState& p = Proc();
        if (!ScreenSizeCurrent(p, shared) || !AwayFromEdges(pt.x, pt.y, p.screenWidth, p.screenHeight)) {
            WrapAtScreenEdge(rawId, record);
        } else {
            p.wrapFromSet = 0;
        }
    }
}

// The pipeline proper; true when the message is consumed.
bool RunPipeline(MouseEvent& e) {
    const HookSettings& s = Settings();
    // The release of a press the filter turned into a left press is the
    // filter's wherever it comes: over a window's frame (a non-client
    // release), after the filter was switched off, or when the pause eats it
    // for a later press of the same button.
    const bool pairsFilteredPress = (e.buttonId == WM_RBUTTONUP && Shared().filterPresses[0] > 0) ||
                                    (e.buttonId == WM_MBUTTONUP && Shared().filterPresses[1] > 0);
    if (SwallowPending(e)) {
        if (pairsFilteredPress) RightButtonFilter(e.buttonId, e.record);
        return true;
    }
    if (s.captureMode != 0) PostCaptureMouse(e.rawId, e.record->pt);
    if (e.rawId == WM_MOUSEWHEEL && HandleWheel(e)) return true;
    if (s.rememberButtonClicks != 0 && e.rawId == WM_LBUTTONDOWN) RememberButtonTarget(e.rawId, e.record);
    CountClick(e.buttonId);
    if (s.typingWatch != 0) WatchTyping(e.record->pt);
    if (s.wiggleDetect != 0) DetectWiggle(e.rawId, e.record);
    const bool filtered =
        s.rightButtonFilter != 0 && e.rawId >= WM_RBUTTONDOWN && e.rawId <= WM_MBUTTONDBLCLK;
    if ((filtered || pairsFilteredPress) && RightButtonFilter(e.buttonId, e.record) != 0) return true;
    if (e.buttonId >= WM_LBUTTONDOWN && e.buttonId <= WM_LBUTTONDBLCLK &&
        (s.singleClickDesktop != 0 || s.singleClickFolders != 0 || s.singleClickTrees != 0 ||
         Shared().suppressNextUp != 0) &&
        SingleClickMayTake(e.buttonId) && SingleClickOpen(e.buttonId) != 0) {
        return true;
    }
    if (s.trackDistance != 0) AccumulateDistance(e.record->pt.x, e.record->pt.y);
    if (IsButton(e.buttonId)) {
        NotifyButton(e.buttonId);
        // Double-clicks never run bindings, and neither do the clicks an
        // action injected (see kActionButtonEvent).
        if (KindOf(e.buttonId) != KIND_DOUBLE && e.record->dwExtraInfo != kActionButtonEvent &&
            HandleButtonBinding(e)) {
            return true;
        }
    }
    // (Edge wrap acts on moves alone, which RunMoveStages takes.)
    return false;
}

// Every message but a move; true when it is consumed.
__attribute__((noinline)) bool RunOtherMessage(UINT rawId, const MOUSEHOOKSTRUCT* record) {
    FollowProfiles();
    MouseEvent e = {rawId, ButtonIdOf(rawId), record, -1};
    const bool consumed = RunPipeline(e);
    // Which buttons have a press out at a window, waiting for its release.
    if (IsButton(e.buttonId)) {
        const int32_t bit = 1 << ButtonOf(e.buttonId);
        // A press decides for its button whatever an earlier press left
        // (one whose release no hook saw).
        if (KindOf(e.buttonId) == KIND_RELEASE || consumed) {
            ClearBits(Shared().buttonsOut, bit);
        } else {
            SetBits(Shared().buttonsOut, bit);
        }
    }
    return consumed;
}

}  // namespace

void AccumulateDistance(int32_t x, int32_t y) {
    ProcessState& p = Proc();
    if (p.distancePrimed == 0) {
        // The first point this process sees only starts the measurement.
        p.lastDistancePoint = {x, y};
        p.distancePrimed = 1;
        return;
    }
    const uint32_t dx = Distance(x, p.lastDistancePoint.x);
    const uint32_t dy = Distance(y, p.lastDistancePoint.y);
    p.lastDistancePoint = {x, y};
    // Screen coordinates never come near it, but a step is kept in range.
    const uint32_t limit = INT32_MAX;
    AddTravel(static_cast<int32_t>(dx < limit ? dx : limit), static_cast<int32_t>(dy < limit ? dy : limit));
}

extern "C" LRESULT WINAPI MouseProc(int code, WPARAM wParam, LPARAM lParam) {
    // Windows hands WH_MOUSE a MOUSEHOOKSTRUCTEX; the wheel stage alone reads
    // past the MOUSEHOOKSTRUCT at its start.
    const MOUSEHOOKSTRUCT* record = reinterpret_cast<const MOUSEHOOKSTRUCT*>(lParam);
    // Only HC_ACTION is ours; without a record there is nothing to read, and
    // without the shared state nothing to act on.
    if (code != HC_ACTION || record == nullptr || !HaveShared() || (HooksInstalledHere() && ForeignWindow(record->hwnd))) {
        return PassOn(code, wParam, lParam);
    }
    const UINT rawId = static_cast<UINT>(wParam);
    if (rawId == WM_MOUSEMOVE || rawId == WM_NCMOUSEMOVE) {
        // Every move feature off: nothing more to do (the common case, and
        // one test).  Every feature that acts on moves applies to the whole
        // desktop, so a move needs no profile: the default record has them.
        const HookSettings& s = DesktopSettings();
        if ((s.captureMode | s.typingWatch | s.wiggleDetect | s.trackDistance | s.edgeWrap) != 0) {
            RunMoveStages(rawId, record);
        }
    } else if (RunOtherMessage(rawId, record)) {
        return 1;
    }
    return PassOn(code, wParam, lParam);
}
