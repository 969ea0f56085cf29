// Who a process runs as, and the security of the named objects the library
// shares between processes.
//
// The shared state steers what hooks do inside every program they reach,
// elevated ones included, so no process of another user, and none of a
// lower integrity level, may write the state that hooks of a higher level
// act on.  Each user and integrity level therefore has a state of its own,
// named after both, owned by the user, open to that user alone and labelled
// with its level (no write, read or execute up).  A state that already
// exists is used only when its owner and label are exactly these: one made
// by anyone else is refused, and the process passes its input on untouched.
#pragma once

#include "platform/os.h"

#include <stdint.h>

// Integrity levels, as the relative id of their label SIDs (S-1-16-x),
// rounded down to these four: a process at medium-plus (UI access) shares
// the medium level's state.
const DWORD kLevelLow = 0x1000;
const DWORD kLevelMedium = 0x2000;
const DWORD kLevelHigh = 0x3000;
const DWORD kLevelSystem = 0x4000;

struct Identity {
    BYTE user[SECURITY_MAX_SID_SIZE];  // the token's user SID
    DWORD userLength;                  // its length in bytes; 0 when unknown
    DWORD level;                       // rounded integrity level
};

// Reads the process token's user and integrity level; false when either
// cannot be read (the process then shares nothing).
bool ReadIdentity(Identity* who);

// Rounds a label's relative id to one of the four levels.
DWORD RoundLevel(DWORD rid);

// Writes "<prefix><user SID>.<level, hex>" (e.g. "...S-1-5-21-1-2-3-1001.2000")
// into `out`, always terminated; false when it does not fit.
bool FormatObjectName(char* out, int size, const char* prefix, const Identity& who, DWORD level);

// A security descriptor in absolute form: owner the user, one ACE giving
// the user `access`, and, when `level` is nonzero, a mandatory label of that
// level with no write, read or execute up.  Everything it points to lives
// inside it; it must not be copied once built.
struct ObjectSecurity {
    SECURITY_ATTRIBUTES attributes;
    SECURITY_DESCRIPTOR descriptor;
    uint32_t dacl[(8 + 8 + SECURITY_MAX_SID_SIZE + 3) / 4];
    uint32_t sacl[(8 + 8 + 12 + 3) / 4];
};
void BuildSecurity(ObjectSecurity* out, const Identity& who, DWORD access, DWORD level);

// Whether an existing object is the user's own and carries the label of
// `level` (an object with no label counts as medium, as Windows counts it).
bool OwnedAndLabelled(HANDLE object, const Identity& who, DWORD level);
