// The get-message hook: extra-button and wheel messages of the mouse vendor's
// software, the registered wheel message and WM_MOUSEWHEEL, seen in the
// message stream of every thread.  A message it takes becomes WM_NULL.
#include "actions/dispatcher.h"
#include "core/exports.h"
#include "core/notify.h"
#include "core/profiles.h"
#include "core/shared.h"
#include "core/table.h"

namespace {

// The hook handle is not needed: CallNextHookEx ignores it.
LRESULT PassOn(int code, WPARAM wParam, LPARAM lParam) { return os::CallNextHookEx(nullptr, code, wParam, lParam); }

constexpr UINT kExtraButtonDown = 0x1400;
constexpr UINT kExtraButtonUp = 0x1401;
constexpr UINT kVendorButton = 0x8C5;
constexpr UINT kVendorWheel = 0x8D8;
constexpr LPARAM kVendorButtonPress = 8;
constexpr LPARAM kVendorButtonRelease = 0;

// GetClassNameA's buffer for the vendor test, terminator included.
constexpr int kClassNameSize = 78;

int16_t LowHalf(uintptr_t value) { return static_cast<int16_t>(value & 0xFFFF); }
int16_t HighHalf(uintptr_t value) { return static_cast<int16_t>((value >> 16) & 0xFFFF); }

// The modifier mask, read at the first row that needs it.
int MaskOnce(int& mask) {
    if (mask < 0) mask = GetModifierMask();
    return mask;
}

// 0x1400 (press) and 0x1401 (release): every row of the trigger runs, the
// pause lock only reports.
void ExtraButton(MSG* msg) {
    const int trigger = (msg->lParam & 4) != 0 ? TRIGGER_EXTRA_BUTTON_BIT4 : TRIGGER_EXTRA_BUTTON;
    const int release = msg->message == kExtraButtonUp ? 1 : 0;
    // A release ends the rows its press ran, whatever the modifiers are now.
    if (release != 0 && ReleaseHeldRows(trigger, 0) > 0) {
        msg->message = WM_NULL;
        return;
    }
    uint32_t gen = 0;
    if (!BeginTableRead(&gen)) return;
    const int rows = UsedBindingRows();
    int mask = -1;
    for (int i = 0; i < rows; ++i) {
        const Binding row = Settings().bindings[i];
        if (row.trigger != trigger || row.modifiers != MaskOnce(mask)) continue;
        // Replaced meanwhile: the rows of the new table wait for the next
        // message.
        if (!TableUnchanged(gen)) return;
        if (Settings().pauseLock != 0 &&
            !(Shared().pauseTrigger == trigger && Shared().pauseModifiers == mask)) {
            PostNotify(NOTIFY_PAUSED_INPUT, 0);
        }
        msg->message = WM_NULL;
        ExecuteAction(row.action, row.parameter, release);
        if (release == 0 && HoldsKeysDown(row.action)) MarkRowHeld(i, row, gen);
    }
}

// 0x8C5: every matching row runs at the press; the first one runs at the
// release, and only when this process saw a press.
void VendorButton(MSG* msg) {
    const LPARAM phase = msg->lParam;
    if (phase != kVendorButtonPress && phase != kVendorButtonRelease) return;
    // The release ends the first row the press ran, whatever the modifiers
    // are now.
    if (phase == kVendorButtonRelease && Proc().extraButtonDown != 0 &&
        ReleaseHeldRows(TRIGGER_VENDOR_BUTTON, 1) > 0) {
        Proc().extraButtonDown = 0;
        return;
    }
    uint32_t gen = 0;
    if (!BeginTableRead(&gen)) return;
    const int rows = UsedBindingRows();
    int mask = -1;
    for (int i = 0; i < rows; ++i) {
        const Binding row = Settings().bindings[i];
        if (row.trigger != TRIGGER_VENDOR_BUTTON || row.modifiers != MaskOnce(mask)) continue;
        if (!TableUnchanged(gen)) return;
        if (phase == kVendorButtonPress) {
            if (Settings().pauseLock != 0 &&
                !(Shared().pauseTrigger == TRIGGER_VENDOR_BUTTON && Shared().pauseModifiers == mask)) {
                PostNotify(NOTIFY_PAUSED_INPUT, 0);
            }
            Proc().extraButtonDown = 1;
            msg->message = WM_NULL;
            ExecuteAction(row.action, row.parameter, 0);
            if (HoldsKeysDown(row.action)) MarkRowHeld(i, row, gen);
            if (row.action == ACTION_PAUSE) {
                Shared().pauseTrigger = TRIGGER_VENDOR_BUTTON;
                Shared().pauseModifiers = mask;
            }
        } else if (Proc().extraButtonDown != 0) {
            Proc().extraButtonDown = 0;
            ExecuteAction(row.action, row.parameter, 1);
        }
    }
}

// A bounded, case-sensitive substring test over the first `length`
// characters of `text`.
bool Contains(const char* text, int length, const char* part) {
    for (int start = 0; start < length; ++start) {
        int i = 0;
        while (part[i] != '\0' && start + i < length && text[start + i] == part[i]) ++i;
        if (part[i] == '\0') return true;
    }
    return false;
}

// Whether the window belongs to the mouse vendor's software, by its class
// name.  A window whose name cannot be read (gone, or no window at all) is
// not one.
bool IsVendorWindow(HWND window) {
    char name[kClassNameSize];
    int length = os::GetClassNameA(window, name, kClassNameSize);
    if (length <= 0) return false;
    if (length > kClassNameSize - 1) length = kClassNameSize - 1;
    return Contains(name, length, "Logitech") || Contains(name, length, "emexec") ||
           Contains(name, length, "em_exec");
}

// Forward is positive for the registered message and WM_MOUSEWHEEL; the
// vendor message's bound turn reads wParam the way the registered one does.
int WheelTurn(const MSG* msg) {
    return msg->message == WM_MOUSEWHEEL ? HighHalf(msg->wParam) : LowHalf(msg->wParam);
}

// A turn the controlling program injected (its scrolling): it goes on to
// its window untouched.  Asked only where a turn would be acted on, so that
// an unbound turn with vendorWheel off costs no call.
bool OwnTurn(const MSG* msg) {
    return msg->message == WM_MOUSEWHEEL && os::GetMessageExtraInfo() == static_cast<LPARAM>(WEXUTIL_OWN_INPUT);
}

void PostTurn(int turn) {
    if (turn > 0) PostNotify(NOTIFY_WHEEL_FORWARD, 0);
    if (turn < 0) PostNotify(NOTIFY_WHEEL_BACKWARD, 0);
}

// The three wheel forms.  Returns 1 when a binding took the turn: the hook
// then returns at once.
int Wheel(MSG* msg) {
    const UINT id = msg->message;
    // A backward turn is the release of a row a forward turn pressed.
    if (WheelTurn(msg) <= 0 && ReleaseHeldRows(TRIGGER_WHEEL, 1) > 0) {
        msg->message = WM_NULL;
        return 1;
    }
    uint32_t gen = 0;
    if (!BeginTableRead(&gen)) return 0;
    const int rows = UsedBindingRows();
    int mask = -1;
    for (int i = 0; i < rows; ++i) {
        const Binding row = Settings().bindings[i];
        if (row.trigger != TRIGGER_WHEEL || row.modifiers != MaskOnce(mask)) continue;
        if (!TableUnchanged(gen)) return 0;
        if (OwnTurn(msg)) return 0;
        const int turn = WheelTurn(msg);
        if (row.action == ACTION_SCROLL) {
            // The vendor message's direction is not known for certain on this
            // path: nothing is posted for it.
            if (id != kVendorWheel) PostTurn(turn);
        } else {
            ExecuteAction(row.action, row.parameter, turn > 0 ? 0 : 1);
            if (turn > 0 && HoldsKeysDown(row.action)) MarkRowHeld(i, row, gen);
        }
        msg->message = WM_NULL;
        return 1;
    }
    // Unbound: only with vendorWheel on and no modifier held.  The mouse
    // hook has reported a WM_MOUSEWHEEL turn already (it sees every one
    // first): it is only taken from the window here, so that one turn gives
    // one notification.  The other two forms reach no mouse hook.
    if (Settings().vendorWheel == 0 || MaskOnce(mask) != 0 || OwnTurn(msg)) return 0;
    if (id == kVendorWheel) {
        if (!IsVendorWindow(msg->hwnd)) return 0;
        PostTurn(-LowHalf(static_cast<uintptr_t>(msg->lParam)));  // negative is forward here
    } else if (id != WM_MOUSEWHEEL) {
        PostTurn(WheelTurn(msg));
    }
    msg->message = WM_NULL;
    return 0;
}

// The six ids this hook takes, out of line so that every other message
// pays for no register saves or stack frame.  A message a binding turned
// into a wheel action ends here; every other goes on to the next hook.
// (Not cloned either: a copy without `code` would make GetMsgProc shuffle
// its arguments on every message to reach it.)
#if defined(__clang__)
#define WEXUTIL_NOCLONE
#else
#define WEXUTIL_NOCLONE __attribute__((noclone))
#endif
__attribute__((noinline)) WEXUTIL_NOCLONE LRESULT HandleMessage(int code, WPARAM wParam, LPARAM lParam) {
    MSG* msg = reinterpret_cast<MSG*>(lParam);
    const UINT id = msg->message;
    // A message only looked at (PeekMessage with PM_NOREMOVE, as an idle
    // loop does before it takes it) stays in the queue and comes back to
    // this hook when it is taken: only then is it acted on, once.
    // In the process that installed the hooks, a message for another
    // program's window is that program's (see ForeignWindow).
    if ((wParam & PM_REMOVE) == 0 || !HaveShared() || (HooksInstalledHere() && ForeignWindow(msg->hwnd))) {
        return PassOn(code, wParam, lParam);
    }
    FollowProfiles();
    if (id == kExtraButtonDown || id == kExtraButtonUp) {
        ExtraButton(msg);
    } else if (id == kVendorButton) {
        VendorButton(msg);
    } else if (id == kVendorWheel || id == WM_MOUSEWHEEL ||
               (id == Shared().wheelMessage && Shared().wheelMessage != 0)) {
        if (Wheel(msg)) return 0;
    }
    return PassOn(code, wParam, lParam);
}

}  // namespace

extern "C" LRESULT WINAPI GetMsgProc(int code, WPARAM wParam, LPARAM lParam) {
    const MSG* msg = reinterpret_cast<const MSG*>(lParam);
    // The ids taken are WM_MOUSEWHEEL and higher (a registered message is
    // 0xC000 or above): the messages below it, most of all, cost three
    // comparisons and nothing else.
    if (code == HC_ACTION && msg != nullptr && msg->message >= WM_MOUSEWHEEL) {
        return HandleMessage(code, wParam, lParam);
    }
    return PassOn(code, wParam, lParam);
}
