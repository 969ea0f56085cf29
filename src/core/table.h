// The binding table as the hooks use it while the controlling program may
// replace it at any moment, from another process.
//
// UpdateSettings makes tableGen odd while it writes the table and even again
// (two higher) once the table is whole.  A hook reads the generation before
// it looks at the rows and takes the values of a row it matched; if the
// generation changed meanwhile it looks again, so that it acts on the old
// table or on the new one, never on a mix of the two.
//
// A row whose press ran stays held until its release: rowHeld[i] is the
// generation of the table in which row i's press ran, 0 when it is not held.
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

// Row i's press ran with the table of `gen` (whose row i is `row`): marks it
// held, and carries it over itself if the table was replaced meanwhile.
void MarkRowHeld(int i, const Binding& row, uint32_t gen);

// Whether row i is held in the table of `gen`.
inline bool RowHeldIn(int i, uint32_t gen) { return __atomic_load_n(&Shared().rowHeld[i], __ATOMIC_ACQUIRE) == gen; }
inline bool RowHeld(int i) { return __atomic_load_n(&Shared().rowHeld[i], __ATOMIC_ACQUIRE) != 0; }

// Ends row i, held in the table of `gen`: true for the one caller that took
// it.
inline bool TakeHeldRow(int i, uint32_t gen) { return TakeValue(Shared().rowHeld[i], gen); }

// UpdateSettings, once the new table of `newGen` is whole: carries the rows
// held in the table of `oldGen` (whose rows were `old`) over to it, or ends
// them.
void CarryHeldRows(const Binding* old, int oldRows, uint32_t oldGen, uint32_t newGen);

// The first row in use with the trigger and exactly the mask, copied to
// `row`; -1 when there is none.  The caller checks TableUnchanged after.
int FindRow(int trigger, int mask, Binding* row);

// Whether two rows are the same binding (held aside).
inline bool SameRow(const Binding& a, const Binding& b) {
    return a.action == b.action && a.parameter == b.parameter && a.trigger == b.trigger &&
           a.modifiers == b.modifiers;
}
