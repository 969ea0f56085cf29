#include "actions/dispatcher.h"
#include "core/exports.h"
#include "core/shared.h"

// Called by the controlling program when a button with a hold binding has been
// held long enough (it times the hold itself, after notification 26).  With a
// mouse button, the button must still be down; the first row for its hold
// trigger and the current modifiers wins, the button is let up and the row's
// action runs its press phase.  Any other vk is itself the trigger, with no
// key-state test and nothing released.  Returns the press phase's result, or 0
// when nothing ran.
extern "C" int PressAndHoldCallBack(int vk) {
    if (!MapShared()) return 0;
    int trigger = vk;
    DWORD releaseFlag = 0;
    switch (vk) {
        case VK_LBUTTON:
            trigger = TRIGGER_HOLD_LEFT;
            releaseFlag = MOUSEEVENTF_LEFTUP;
            break;
        case VK_RBUTTON:
            trigger = TRIGGER_HOLD_RIGHT;
            releaseFlag = MOUSEEVENTF_RIGHTUP;
            break;
        case VK_MBUTTON:
            trigger = TRIGGER_HOLD_MIDDLE;
            releaseFlag = MOUSEEVENTF_MIDDLEUP;
            break;
        default: break;
    }
    // Let go before the delay ran out: the hold never happened.
    if (releaseFlag != 0 && os::GetAsyncKeyState(vk) >= 0) return 0;

    const int rows = UsedBindingRows();
    for (int i = 0; i < rows; ++i) {
        const Binding& row = Shared().settings.bindings[i];
        // The modifier keys are read afresh for each row compared.
        if (row.trigger != trigger || row.modifiers != GetModifierMask()) continue;
        // Take the row's values before anything is injected: the table can be
        // replaced by the time the action runs.
        const int action = row.action;
        const int parameter = row.parameter;
        if (releaseFlag != 0) os::mouse_event(releaseFlag, 0, 0, 0, 0);
        const int result = ExecuteAction(action, parameter, 0);
        // A hold fires once and no release of its trigger will follow, so an
        // action that pushed keys or the left button down lets them up again
        // at once: the chord completes instead of leaving Ctrl or Alt stuck.
        if (result != 0 && HoldsKeysDown(action)) ExecuteAction(action, parameter, 1);
        return result;
    }
    return 0;
}
