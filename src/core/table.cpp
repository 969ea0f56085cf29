#include "core/table.h"

#include "actions/dispatcher.h"

namespace {

// How long a lookup waits for a replacement under way: UpdateSettings
// writes 716 bytes and a few hundred more, so a wait this long means its
// thread was stopped in the middle.
constexpr int kWaitTurns = 64;

uint32_t* HeldSlot(int t, int i) { return &Shared().runs[t].rowHeld[i]; }

// Clears table t's bit once none of its rows is held.  The bit goes first
// and comes back if a row is found held after all: a row marked meanwhile
// sets the bit itself once marked, so a held row never goes without it.
void SettleHeldBit(int t) {
    for (int i = 0; i < WEXUTIL_BINDING_ROWS; ++i) {
        if (__atomic_load_n(HeldSlot(t, i), __ATOMIC_SEQ_CST) != 0) return;
    }
    __atomic_fetch_and(&Shared().heldTables, ~(1u << t), __ATOMIC_SEQ_CST);
    for (int i = 0; i < WEXUTIL_BINDING_ROWS; ++i) {
        if (__atomic_load_n(HeldSlot(t, i), __ATOMIC_SEQ_CST) != 0) {
            __atomic_fetch_or(&Shared().heldTables, 1u << t, __ATOMIC_SEQ_CST);
            return;
        }
    }
}

// Carries row i of table t, held in the tables of `gen` whose row i was
// `row`, over to the current tables, or ends it.  True once the row is
// settled (by this call or another).
bool Carry(int t, int i, const Binding& row, uint32_t gen) {
    uint32_t now = 0;
    if (!BeginTableRead(&now)) return false;
    const HookSettings& record = Shared().settings[t];
    const bool kept = i < UsedBindingRows(record) && SameRow(record.bindings[i], row);
    if (!TableUnchanged(now)) return false;
    uint32_t expected = gen;
    if (!__atomic_compare_exchange_n(HeldSlot(t, i), &expected, kept ? now : 0u, false, __ATOMIC_SEQ_CST,
                                     __ATOMIC_SEQ_CST)) {
        return true;  // someone else carried it, or its release came
    }
    if (!kept) {
        if (HoldsKeysDown(row.action)) ExecuteAction(row.action, row.parameter, 1);
        SettleHeldBit(t);
    }
    return true;
}

}  // namespace

bool BeginTableRead(uint32_t* gen) {
    for (int turn = 0; turn < kWaitTurns; ++turn) {
        const uint32_t now = __atomic_load_n(&Shared().tableGen, __ATOMIC_ACQUIRE);
        if ((now & 1u) == 0) {
            *gen = now;
            return true;
        }
        os::Sleep(0);
    }
    return false;
}

bool TakeHeldRow(int t, int i, uint32_t gen) {
    if (!TakeValue(*HeldSlot(t, i), gen)) return false;
    SettleHeldBit(t);
    return true;
}

int FindRow(int trigger, int mask, Binding* row) {
    const Binding* const table = Settings().bindings;
    const int rows = UsedBindingRows();
    for (int i = FirstRowFor(static_cast<uintptr_t>(trigger), rows); i < rows; ++i) {
        if (table[i].trigger != trigger || table[i].modifiers != mask) continue;
        *row = table[i];
        return i;
    }
    return -1;
}

void MarkRowHeld(int i, const Binding& row, uint32_t gen) {
    const int t = OwnTable();
    uint32_t expected = 0;
    // A row held already (two devices pressed its button) stays held once.
    if (!__atomic_compare_exchange_n(HeldSlot(t, i), &expected, gen, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST)) {
        return;
    }
    // Set after the mark, so that a release that clears the bit meanwhile
    // (its table had no other held row) cannot leave this one without it.
    __atomic_fetch_or(&Shared().heldTables, 1u << t, __ATOMIC_SEQ_CST);
    // UpdateSettings publishes the new generation and then carries what it
    // finds held: read after the mark, a generation that is still `gen`
    // means that it will see the mark.  Otherwise the row is carried here,
    // through as many replacements as come meanwhile.
    for (int turn = 0; turn < 4; ++turn) {
        const uint32_t now = __atomic_load_n(&Shared().tableGen, __ATOMIC_SEQ_CST);
        if (now == gen) return;
        if (__atomic_load_n(HeldSlot(t, i), __ATOMIC_SEQ_CST) != gen) return;
        if (!Carry(t, i, row, gen)) continue;
        // Carried to the generation then current; if that too was replaced
        // before its carrying saw the row, go on from there.
        gen = __atomic_load_n(HeldSlot(t, i), __ATOMIC_SEQ_CST);
        if (gen == 0) return;
    }
}

void CarryHeldRows(int t, const Binding* old, int oldRows, uint32_t oldGen, uint32_t newGen) {
    const HookSettings& record = Shared().settings[t];
    const int rows = UsedBindingRows(record);
    bool ended = false;
    for (int i = 0; i < WEXUTIL_BINDING_ROWS; ++i) {
        if (__atomic_load_n(HeldSlot(t, i), __ATOMIC_SEQ_CST) != oldGen) continue;
        // A row held beyond the old table's end cannot be: it is dropped.
        const bool inOld = i < oldRows;
        const bool kept = inOld && i < rows && SameRow(record.bindings[i], old[i]);
        uint32_t expected = oldGen;
        if (!__atomic_compare_exchange_n(HeldSlot(t, i), &expected, kept ? newGen : 0u, false, __ATOMIC_SEQ_CST,
                                         __ATOMIC_SEQ_CST)) {
            continue;
        }
        if (kept) continue;
        ended = true;
        if (inOld && HoldsKeysDown(old[i].action)) ExecuteAction(old[i].action, old[i].parameter, 1);
    }
    if (ended) SettleHeldBit(t);
}
