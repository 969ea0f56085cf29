#include "actions/dispatcher.h"
#include "core/exports.h"
#include "core/profiles.h"
#include "core/shared.h"
#include "core/table.h"

// Called by the controlling program when a button with a hold binding has been
// held long enough (it times the hold itself, after notification 26).  With a
// mouse button, the button must still be down; the first row for its hold
// trigger and the current modifiers wins, the button is let up and the row's
// action runs its press phase.  Any other vk is itself the trigger, with no
// key-state test and nothing released.  Returns the press phase's result, or 0
// when nothing ran.
extern "C" int PressAndHoldCallBack(int vk) {
    const ExportsOneAtATime oneAtATime;
    if (!MapForExports()) return 0;
    int trigger = vk;
    DWORD releaseFlag = 0;
    // The hold rows of a button are those of the program in which its press
    // came (the mouse hook noted its table); any other trigger is the
    // controlling program's own, from the default table.
    int table = 0;
    switch (vk) {
        case VK_LBUTTON:
            trigger = TRIGGER_HOLD_LEFT;
            releaseFlag = MOUSEEVENTF_LEFTUP;
            table = Shared().holdTable[0];
            break;
        case VK_RBUTTON:
            trigger = TRIGGER_HOLD_RIGHT;
            releaseFlag = MOUSEEVENTF_RIGHTUP;
            table = Shared().holdTable[1];
            break;
        case VK_MBUTTON:
            trigger = TRIGGER_HOLD_MIDDLE;
            releaseFlag = MOUSEEVENTF_MIDDLEUP;
            table = Shared().holdTable[2];
            break;
        default: break;
    }
    if (table < 0 || table >= kTables) table = 0;
    // Let go before the delay ran out: the hold never happened.
    if (releaseFlag != 0 && os::GetAsyncKeyState(vk) >= 0) return 0;

    for (int attempt = 0; attempt < 4; ++attempt) {
        uint32_t gen = 0;
        if (!BeginTableRead(&gen)) return 0;
        const HookSettings& record = Shared().settings[table];
        const int rows = UsedBindingRows(record);
        int i = FirstRowFor(table, static_cast<uintptr_t>(trigger), rows);
        Binding row = {};
        // The modifier keys are read afresh for each row compared.
        for (; i < rows; ++i) {
            row = record.bindings[i];
            if (row.trigger == trigger && row.modifiers == GetModifierMask()) break;
        }
        // The row's values are taken before anything is injected, from one
        // table: replaced meanwhile, the search runs again in the new one.
        if (!TableUnchanged(gen)) continue;
        if (i >= rows) return 0;
        if (releaseFlag != 0) os::mouse_event(releaseFlag, 0, 0, 0, 0);
        const int result = ExecuteAction(row.action, row.parameter, 0);
        // A hold fires once and no release of its trigger will follow, so an
        // action that pushed keys or the left button down lets them up again
        // at once: the chord completes instead of leaving Ctrl or Alt stuck.
        if (result != 0 && HoldsKeysDown(row.action)) ExecuteAction(row.action, row.parameter, 1);
        return result;
    }
    return 0;
}
