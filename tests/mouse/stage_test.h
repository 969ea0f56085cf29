// Shared ground for the tests of the mouse hook's stages: the notification
// window is set and the stages are called as the pipeline calls them.
#pragma once

#include "mouse/stages.h"
#include "platform/sim/controls.h"
#include "support/sim_test.h"

class StageTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        Shared().notifyWindow = ToHandle32(app);
    }

    // The record the hook is given for a message at (x, y).
    static MOUSEHOOKSTRUCT Record(int x, int y) {
        MOUSEHOOKSTRUCT r{};
        r.pt = {x, y};
        return r;
    }
};
