// Per-program profiles.  The controlling program hands the library the
// default record and up to 16 profiles, each a record and the patterns of
// the programs it is for (UpdateProfiles).  A process works out which one is
// its own from its program's path: once, at its first input event, and
// again only when the profiles are replaced, never per event.  The hooks run
// in the process that takes the input, so a mouse event follows the program
// of the window under the pointer (or of the one holding the capture), and
// a key follows the program in the foreground.
#pragma once

#include "core/shared.h"

// Matches this process's program against the profiles in place.
void ChooseProfile();

// At the top of every hook: one load and one compare when nothing changed.
inline void FollowProfiles() {
    if (Proc().profileGen != __atomic_load_n(&Shared().profileGeneration, __ATOMIC_ACQUIRE)) ChooseProfile();
}

// The fields of the record that apply to the whole desktop, whatever a
// program's profile says: copied from the default record into the profiles'
// records of the first `tables` tables, and written into every record when
// the library changes one.
void SpreadDesktopFields(SharedState& s, int tables);
// Sets a desktop-wide field (a member of HookSettings) in every record.
void SetDesktopField(int HookSettings::*field, int value);
