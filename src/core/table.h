// The binding tables as the hooks use them while the controlling program may
// replace them at any moment, from another process.  There is one table per
// record: the default's and each profile's (see core/profiles.h).
//
// UpdateSettings and UpdateProfiles make tableGen odd while they write the
// tables and even again (two higher) once they are whole.  A hook reads the generation before
// it looks at the rows and takes the values of a row it matched; if the
// generation changed meanwhile it looks again, so that it acts on the old
// table or on the new one, never on a mix of the two.
//
// A row whose press ran stays held until its release: runs[t].rowHeld[i] is
// the generation of the tables in which row i of table t ran its press, 0
// when it is not held.  The release may come in another program, under
// another profile: a release looks in every table with a held row (the bits
// of heldTables), not only in its own program's.
// When the table is replaced, each held row is carried over to the new
// generation if the new table keeps it in its place, and ended at once (its
// keys let up) if not.  UpdateSettings carries over what it finds held; a
// hook that marks a row held while the table is being replaced carries its
// own row over.  Each carries a row with one compare-and-swap from the old
// generation, so that exactly one of them does it.
#pragma once

#include "core/shared.h"

// Reads the current generation for a lookup; false when the table has been
// in the middle of a replacement for the whole of a short wait (the caller
// then acts as if no row matched).
bool BeginTableRead(uint32_t* gen);
// Whether the table is still the one of `gen`.
inline bool TableUnchanged(uint32_t gen) { return __atomic_load_n(&Shared().tableGen, __ATOMIC_ACQUIRE) == gen; }

// Row i of this process's table ran its press with the tables of `gen`
// (its row i being `row`): marks it held, and carries it over itself if the
// tables were replaced meanwhile.
void MarkRowHeld(int i, const Binding& row, uint32_t gen);

// The tables that may have a held row, as a bit mask (bit t, table t).
inline uint32_t HeldTables() { return __atomic_load_n(&Shared().heldTables, __ATOMIC_ACQUIRE); }

// Whether row i of table t is held in the tables of `gen`.
inline bool RowHeldIn(int t, int i, uint32_t gen) {
    return __atomic_load_n(&Shared().runs[t].rowHeld[i], __ATOMIC_ACQUIRE) == gen;
}
inline bool RowHeld(int t, int i) { return __atomic_load_n(&Shared().runs[t].rowHeld[i], __ATOMIC_ACQUIRE) != 0; }

// Ends row i of table t, held in the tables of `gen`: true for the one
// caller that took it.
bool TakeHeldRow(int t, int i, uint32_t gen);

// Once the new tables of `newGen` are whole: carries the rows of table t
// held in the tables of `oldGen` (whose rows were `old`) over to them, or
// ends them.
void CarryHeldRows(int t, const Binding* old, int oldRows, uint32_t oldGen, uint32_t newGen);

// The first row of this process's table in use with the trigger and exactly
// the mask, copied to `row`; -1 when there is none.  The caller checks
// TableUnchanged after.
int FindRow(int trigger, int mask, Binding* row);

// Whether two rows are the same binding (held aside).
inline bool SameRow(const Binding& a, const Binding& b) {
    return a.action == b.action && a.parameter == b.parameter && a.trigger == b.trigger &&
           a.modifiers == b.modifiers;
}
