// One WexControl per logon session.  Plain C++, so that the host tests
// cover it; the program holds the session's mutex for its whole run.
//
// A start that finds the mutex held waits: the holder is either running
// (its window appears, and the start hands over to it) or ending (the mutex
// comes free once it has removed its hooks and saved its totals, and the
// start runs then, with those totals).  Two starts close together, as the
// logon entry and a shortcut make, thus leave exactly one running.
#pragma once

namespace control {

// The name of the mutex, per logon session.
const char kInstanceMutex[] = "Local\\WexControl.Running";

// How long a start waits for the one before it to show its window or end.
const unsigned kStartWaitMs = 10000;

enum class StartStep {
    kRun,       // the mutex is this start's: run
    kHandOver,  // another one runs: hand over to it and end
    kWait,      // look again in a moment
    kGiveUp,    // the other neither runs nor ends: end, saying so
};

// `ours`: the mutex is held by this start now; `running`: the running one's
// window was found; `waitedMs`: since the start began to wait.
StartStep NextStartStep(bool ours, bool running, unsigned waitedMs);

}  // namespace control
