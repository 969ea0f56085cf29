// The action dispatcher: every binding that fires ends here.
#pragma once

#include "core/exports.h"  // the public header: WEXUTIL_OWN_INPUT
#include "platform/os.h"

// Performs an action in the phase of its triggering event and says whether
// that event is consumed (1) or let through (0).
//
// action:    0..44; any other value does nothing and returns 1.
// parameter: the matched row's parameter (only action 22 uses it).
// release:   0 for the press phase (button or key down), nonzero for the
//            release phase.  Wheel triggers pass the turn direction here.
int ExecuteAction(int action, int parameter, int release);

// Runs the release phase of the rows of a trigger whose press ran (held 1;
// wheel and message triggers mark only rows whose action holds keys down),
// clearing the flag: every such row, or only the first.  Returns how many
// ran.  The release belongs to the rows the press ran whatever the modifiers
// are by then: an action that injects a modifier (the copy chord, Alt+arrow)
// changes the mask under its own trigger, and a release that no longer
// matched would leave the injected keys down.  The rows are looked for in
// the tables of `tables` (bit t, table t), by default every table with a
// held row: the press may have come in another program, under another
// profile.  With `justLook`, nothing is released: 1 when a row is held.
int ReleaseHeldRows(int trigger, int firstOnly, uint32_t tables, bool justLook = false);
int ReleaseHeldRows(int trigger, int firstOnly);

// 1 for the actions whose press leaves keys or the left button down until
// their release phase (25, 31-37, 40, 41, 44).
int HoldsKeysDown(int action);

// The extra information ('WEXU') of the button events that actions inject
// (the Ctrl-click's): coming back through the mouse hook, such an event runs
// no button row.  A row whose action clicks the button that triggers it
// would otherwise meet its own click: with the press and the release of a
// fast click both queued before the press is handled, the Ctrl-click's
// release lets Ctrl up before its own press comes back, which then matches
// the row again, and the two run each other without end.
const ULONG_PTR kActionButtonEvent = WEXUTIL_OWN_INPUT;
