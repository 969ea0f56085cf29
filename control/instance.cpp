#include "instance.h"

namespace control {

StartStep NextStartStep(bool ours, bool running, unsigned waitedMs) {
    if (ours) return StartStep::kRun;
    if (running) return StartStep::kHandOver;
    return waitedMs >= kStartWaitMs ? StartStep::kGiveUp : StartStep::kWait;
}

}  // namespace control
