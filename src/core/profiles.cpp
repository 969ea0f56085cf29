#include "core/profiles.h"

#include "core/programs.h"
#include "core/table.h"

namespace {

// The fields that are the desktop's, not a program's: modes the
// controlling program switches (capture, the pause, the typing watch its
// clicking needs), and what counts or watches every program alike.
int HookSettings::*const kDesktopFields[] = {
    &HookSettings::captureMode,       &HookSettings::copyWatch,
    &HookSettings::copySeen,          &HookSettings::wiggleDetect,
    &HookSettings::clickWiggleSensitivity, &HookSettings::moveWiggleSensitivity,
    &HookSettings::trackDistance,     &HookSettings::typingWatch,
    &HookSettings::pauseLock,
    // Edge wrap acts at the screen's edges, on moves that go to whichever
    // window lies there: a move needs no profile (see MouseProc).
    &HookSettings::edgeWrap,          &HookSettings::edgeWrapEdges,
    &HookSettings::edgeWrapNeedsShift,
};

}  // namespace

void ChooseProfile() {
    ProcessState& p = Proc();
    SharedState& s = Shared();
    if (p.programRead == 0) {
        p.program[0] = 0;
        os::GetModuleFileNameW(nullptr, p.program, kProgramPathChars);
        p.program[kProgramPathChars - 1] = 0;
        p.programRead = 1;
    }
    // The count first: profiles replaced while they are matched make the
    // next event match again.
    for (int attempt = 0; attempt < 4; ++attempt) {
        const uint32_t generation = __atomic_load_n(&s.profileGeneration, __ATOMIC_ACQUIRE);
        uint32_t gen = 0;
        if (!BeginTableRead(&gen)) return;
        uint32_t count = s.profileCount;
        if (count > WEXUTIL_PROFILES) count = WEXUTIL_PROFILES;
        int table = 0;
        for (uint32_t i = 0; i < count && table == 0; ++i) {
            if (programs::FirstMatch(s.programs[i], WEXUTIL_PROGRAMS_CHARS, p.program, kProgramPathChars) >= 0) {
                table = static_cast<int>(i) + 1;
            }
        }
        if (!TableUnchanged(gen)) continue;
        p.table = table;
        p.active = &s.settings[table];
        p.profileGen = generation;
        return;
    }
}

void SpreadDesktopFields(SharedState& s, int tables) {
    for (int t = 1; t < tables && t < kTables; ++t) {
        for (int HookSettings::*field : kDesktopFields) s.settings[t].*field = s.settings[0].*field;
    }
}

void SetDesktopField(int HookSettings::*field, int value) {
    SharedState& s = Shared();
    for (int t = 0; t < kTables; ++t) s.settings[t].*field = value;
}
