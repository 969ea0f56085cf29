// Common ground for host tests: a fresh simulated desktop per test, and
// helpers that spell expected trace lines.
#pragma once

#include "core/exports.h"
#include "core/shared.h"
#include "platform/sim/desktop.h"

#include <gtest/gtest.h>

#include <string>

class SimTest : public ::testing::Test {
protected:
    void SetUp() override;
    sim::Desktop& d() { return sim::desktop(); }

    // The controlling program's window, in process 0.
    HWND app = nullptr;

    // The keys and buttons down, as "0x11 0x58 " (in code order).
    std::string Down();

    // Creates a top-level window in a process.
    HWND MakeWindow(const std::string& name, RECT rect, const std::string& className = "SimWindow",
                    int process = 0);
};

// Trace lines, as the simulated desktop writes them.
std::string Notify(int code, uint32_t argument, const std::string& window = "app");
std::string Capture(uint32_t message, uint32_t value, const std::string& window = "app");
std::string Post(const std::string& window, uint32_t message, uint32_t wParam, uint32_t lParam);
std::string Send(const std::string& window, uint32_t message, uint32_t wParam, uint32_t lParam);
std::string KeyDown(int vk);
std::string KeyUp(int vk);
// The left press and release a Ctrl-click injects, marked as an action's.
extern const char kActionLeftDown[];
extern const char kActionLeftUp[];

// A settings record with the given rows in use.
struct Row {
    int action;
    int trigger;
    int modifiers = 0;
    int parameter = 0;
};
HookSettings SettingsWith(std::initializer_list<Row> rows);

// Whether row i is held (its press ran, its release has not come), and
// making it so, as a press in the current table would.
inline int Held(int row) { return Shared().runs[0].rowHeld[row] != 0 ? 1 : 0; }
inline void SetHeld(int row, int held) {
    Shared().runs[0].rowHeld[row] = held != 0 ? Shared().tableGen : 0;
    if (held != 0) Shared().heldTables |= 1u;
}
