// The action dispatcher: every binding that fires ends here.
#pragma once

// Performs an action in the phase of its triggering event and says whether
// that event is consumed (1) or let through (0).
//
// action:    0..44; any other value does nothing and returns 1.
// parameter: the matched row's parameter (only action 22 uses it).
// release:   0 for the press phase (button or key down), nonzero for the
//            release phase.  Wheel triggers pass the turn direction here.
int ExecuteAction(int action, int parameter, int release);
