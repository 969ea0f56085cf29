// Shared ground for the action tests: the notification window is set, and a
// few helpers spell the trace lines the actions produce.
#pragma once

#include "support/sim_test.h"

#include <string>

class ActionTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        Shared().notifyWindow = ToHandle32(app);
    }

    // A visible top-level window whose WM_NCHITTEST answers `hit` everywhere.
    HWND Target(const std::string& name, int hit, RECT rect = {100, 100, 500, 400}) {
        HWND w = MakeWindow(name, rect);
        d().W(w).hitRegions.push_back({rect, hit});
        return w;
    }

    // Starts a case from a clean slate: no keys down, an empty trace.
    void Fresh() {
        d().keyState = {};
        d().TakeTrace();
    }

    bool AnyKeyDown() {
        for (int vk = 0; vk < 256; ++vk) {
            if (d().KeyDown(vk)) return true;
        }
        return false;
    }
};

// What ForceForeground does with the lock time-out at its default.
inline sim::Lines ForegroundLines(const std::string& window, DWORD saved = 200000) {
    return {"spi get-foreground-lock winini=0", "spi set-foreground-lock 0 winini=0", "foreground " + window,
            "spi set-foreground-lock " + std::to_string(saved) + " winini=0"};
}

inline sim::Lines Join(sim::Lines a, const sim::Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
