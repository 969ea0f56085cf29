// After InstallHook, a process that never loaded the library gets it mapped
// as soon as it receives input, and the input still reaches its window.
// RemoveHook and InstallHook again keep the records.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "e2e_support.h"

namespace {

// Reports from the child to the parent's window.
const UINT kChildReady = WM_APP + 1;     // wParam child window, lParam library mapped at start
const UINT kChildInput = WM_APP + 2;     // wParam message seen, lParam library mapped then
const UINT kChildSettings = WM_APP + 3;  // wParam reserved1, lParam reserved2 as the child reads them

// ---- The child: a plain program with a window, no library of its own ----

HWND g_report = nullptr;
bool g_reportedSettings = false;

bool LibraryMapped() { return ::GetModuleHandleA(WEXUTIL_DLL_NAME) != nullptr; }

LRESULT CALLBACK ChildProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_KEYDOWN:
            ::PostMessageA(g_report, kChildInput, message, LibraryMapped());
            if (LibraryMapped() && !g_reportedSettings) {
                // Read the settings through the copy that the hooks mapped
                // into this process.
                e2e::Library lib;
                if (lib.Resolve(::GetModuleHandleA(WEXUTIL_DLL_NAME))) {
                    HookSettings s;
                    lib.GetSettings(&s);
                    ::PostMessageA(g_report, kChildSettings, static_cast<WPARAM>(s.reserved1),
                                   static_cast<LPARAM>(s.reserved2));
                    g_reportedSettings = true;
                }
            }
            break;
        case WM_DESTROY: ::PostQuitMessage(0); return 0;
        default: break;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

int RunChild(HWND report) {
    g_report = report;
    const bool mappedAtStart = LibraryMapped();
    HWND window = e2e::MakeWindow("WexTargetWindow", ChildProc, 300, 200, 320, 240);
    if (!window) return 2;
    ::PostMessageA(report, kChildReady, reinterpret_cast<WPARAM>(window), mappedAtStart);
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return 0;
}

// ---- The parent: the controlling side ----

struct Seen {
    HWND child = nullptr;
    int childMappedAtStart = -1;
    std::vector<std::pair<UINT, bool>> inputs;  // message, library mapped
    bool settingsReported = false;
    int reserved1 = 0, reserved2 = 0;
    int notifications = 0;
} g_seen;

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case kChildReady:
            g_seen.child = reinterpret_cast<HWND>(wParam);
            g_seen.childMappedAtStart = static_cast<int>(lParam);
            return 0;
        case kChildInput: g_seen.inputs.push_back({static_cast<UINT>(wParam), lParam != 0}); return 0;
        case kChildSettings:
            g_seen.settingsReported = true;
            g_seen.reserved1 = static_cast<int>(wParam);
            g_seen.reserved2 = static_cast<int>(lParam);
            return 0;
        case WM_HOOK_NOTIFY: ++g_seen.notifications; return 0;
        default: return ::DefWindowProcA(window, message, wParam, lParam);
    }
}

bool SawInput(UINT message) {
    for (auto& in : g_seen.inputs) {
        if (in.first == message) return true;
    }
    return false;
}

class Hooks : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(lib.Resolve(::LoadLibraryA(e2e::DllPath().c_str())));
        owner = e2e::MakeWindow("WexControllerWindow", ParentProc, 0, 0, 200, 120);
        ASSERT_NE(owner, nullptr);
    }
    static e2e::Library lib;
    static HWND owner;
};
e2e::Library Hooks::lib;
HWND Hooks::owner = nullptr;

TEST_F(Hooks, InputMapsTheLibraryIntoANewProcessAndStillReachesItsWindow) {
    // Every feature off, so that the hooks pass all input on; the reserved
    // words carry markers for the child to read back.
    HookSettings settings = {};
    settings.reserved1 = 0x5EED0001;
    settings.reserved2 = 0x5EED0002;
    lib.UpdateSettings(&settings);
    ASSERT_EQ(lib.InstallHook(owner, 0), 1);

    HANDLE child =
        e2e::StartSelf("--child=target --report=" + std::to_string(reinterpret_cast<uintptr_t>(owner)));
    ASSERT_NE(child, nullptr);
    ASSERT_TRUE(e2e::WaitFor([] { return g_seen.child != nullptr; })) << "child window never reported";
    EXPECT_EQ(g_seen.childMappedAtStart, 0) << "the child had the library before any input";

    // Wait until the child window is really there to be clicked.
    POINT centre = {160, 100};
    ::ClientToScreen(g_seen.child, &centre);
    ASSERT_TRUE(e2e::WaitFor([&] { return ::WindowFromPoint(centre) == g_seen.child; }))
        << "child window never came under the cursor point";

    e2e::ClickInClient(g_seen.child, 100, 80);
    EXPECT_TRUE(e2e::WaitFor([] { return SawInput(WM_LBUTTONDOWN) && SawInput(WM_LBUTTONUP); }))
        << "the click did not reach the child window";
    ::SetForegroundWindow(g_seen.child);
    e2e::TapKey('A');
    EXPECT_TRUE(e2e::WaitFor([] { return SawInput(WM_KEYDOWN); }))
        << "the key did not reach the child window";

    ASSERT_FALSE(g_seen.inputs.empty());
    EXPECT_TRUE(e2e::WaitFor([] { return g_seen.inputs.back().second; }))
        << "library not mapped in the child after its input";

    ASSERT_TRUE(e2e::WaitFor([] { return g_seen.settingsReported; }));
    EXPECT_EQ(g_seen.reserved1, settings.reserved1);
    EXPECT_EQ(g_seen.reserved2, settings.reserved2);

    ::PostMessageA(g_seen.child, WM_CLOSE, 0, 0);
    EXPECT_EQ(e2e::WaitExit(child), 0);
    lib.RemoveHook();
}

TEST_F(Hooks, RemoveThenInstallKeepsSettingsAndStatistics) {
    HookSettings settings = {};
    settings.reserved1 = 17;
    settings.reserved2 = 18;
    settings.bindingCount = 2;
    settings.bindings[1].trigger = TRIGGER_HOLD_MIDDLE;
    const HookStatistics statistics = e2e::PatternStatistics(5);
    lib.UpdateSettings(&settings);
    lib.SetStatistics(&statistics);
    ASSERT_EQ(lib.InstallHook(owner, 0), 1);
    lib.RemoveHook();
    lib.RemoveHook();  // nothing installed: does nothing
    ASSERT_EQ(lib.InstallHook(owner, 0), 1);
    ASSERT_EQ(lib.InstallHook(owner, 12345), 1);  // all in place: installs nothing, still 1

    HookSettings afterSettings;
    HookStatistics afterStatistics;
    lib.GetSettings(&afterSettings);
    lib.GetStatistics(&afterStatistics);
    EXPECT_TRUE(e2e::SameBytes(&afterSettings, &settings, sizeof settings));
    EXPECT_TRUE(e2e::SameBytes(&afterStatistics, &statistics, sizeof statistics));
    lib.RemoveHook();
}

}  // namespace

int main(int argc, char** argv) {
    if (e2e::Argument(argc, argv, "child") == "target") {
        return RunChild(
            reinterpret_cast<HWND>(std::strtoul(e2e::Argument(argc, argv, "report").c_str(), nullptr, 10)));
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
