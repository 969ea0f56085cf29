// 32-bit and 64-bit programs with their own WexUTIL.dll at once, in one
// 64-bit Wine prefix that runs both (WoW64).  Built for both: the 64-bit
// program runs the tests, and starts its 32-bit build, x86\mixed_test.exe,
// beside the 32-bit library, as the other side:
//   - settings and statistics pushed through one library are read through
//     the other;
//   - a click counted by one side's hooks shows in the other side's
//     statistics, each side's hooks in turn; with both sets installed, what
//     this Wine runs is checked against the counters;
//   - the 64-bit WexControl's 32-bit companion starts with it and ends with
//     it, whether WexControl closes or is killed.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "e2e_support.h"

namespace {

// From the 32-bit side to the 64-bit one, by window message.
const UINT kPeerReady = WM_APP + 1;       // wParam: the 32-bit side's window
const UINT kPeerStatistics = WM_APP + 2;  // answer: leftClicks as the 32-bit library sees them
const UINT kPeerInstall = WM_APP + 3;     // wParam 1 install, 0 remove; answer: InstallHook's result
const UINT kPeerClicks = WM_APP + 4;      // answer: left releases its window received

using e2e::kChildNoLibrary;
using e2e::kChildSaw;

// ---- The 32-bit side -----------------------------------------------------------

e2e::Library g_lib;
HWND g_notify = nullptr;
int g_peerClicks = 0;

int RecordsChild(uint32_t seed) { return e2e::ReadRecordsAndPushNext(g_lib, seed); }

LRESULT CALLBACK PeerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_LBUTTONUP: ++g_peerClicks; break;
        case kPeerStatistics: {
            HookStatistics s = {};
            g_lib.GetStatistics(&s);
            return static_cast<LRESULT>(s.leftClicks);
        }
        case kPeerInstall:
            if (wParam == 0) {
                g_lib.RemoveHook();
                return 1;
            }
            return g_lib.InstallHook(g_notify, 0);
        case kPeerClicks: return g_peerClicks;
        case WM_DESTROY: ::PostQuitMessage(0); return 0;
        default: break;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

// A program with a window whose hooks the 64-bit side switches on and off.
int PeerChild(HWND notify) {
    g_notify = notify;
    if (!g_lib.Resolve(::LoadLibraryA(e2e::DllPath().c_str()))) return kChildNoLibrary;
    HWND window = e2e::MakeWindow("WexMixedPeer32", PeerProc, 560, 120, 300, 220);
    if (!window) return kChildNoLibrary;
    ::PostMessageA(notify, kPeerReady, reinterpret_cast<WPARAM>(window), 0);
    e2e::RunMessageLoop();
    g_lib.RemoveHook();
    return 0;
}

// ---- The 64-bit side -----------------------------------------------------------

#ifdef _WIN64

std::string X86Folder() { return e2e::ExeFolder() + "x86\\"; }

HANDLE StartPeer(const std::string& arguments) {
    return e2e::StartProcess("\"" + X86Folder() + "mixed_test.exe\" " + arguments);
}

TEST(Mixed, SettingsAndStatisticsPushedThroughOneLibraryAreReadThroughTheOther) {
    ASSERT_TRUE(g_lib.Resolve(::LoadLibraryA(e2e::DllPath().c_str())));
    const uint32_t seed = 4321;
    EXPECT_EQ("", e2e::RecordsRoundTrip(g_lib, seed, [seed] {
                  return StartPeer("--child=records --seed=" + std::to_string(seed));
              }));
    const HookSettings none = {};
    g_lib.UpdateSettings(&none);
}

int g_ownClicks = 0;
HWND g_peerWindow = nullptr;

LRESULT CALLBACK DriverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kPeerReady) {
        g_peerWindow = reinterpret_cast<HWND>(wParam);
        return 0;
    }
    if (message == WM_LBUTTONUP) ++g_ownClicks;
    return ::DefWindowProcA(window, message, wParam, lParam);
}

// A left click at the centre of a window's client area, with absolute
// positions, waited for until the window has it.
bool Click(HWND window, const std::function<int()>& received) {
    RECT r;
    ::GetClientRect(window, &r);
    POINT p = {r.right / 2, r.bottom / 2};
    ::ClientToScreen(window, &p);
    if (!e2e::PlaceCursor(p.x, p.y)) return false;
    const int before = received();
    ::mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    ::mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    return e2e::WaitFor([&] { return received() > before; }, 5000);
}

unsigned LeftClicks64() {
    HookStatistics s = {};
    g_lib.GetStatistics(&s);
    return s.leftClicks;
}
unsigned LeftClicks32() { return static_cast<unsigned>(::SendMessageA(g_peerWindow, kPeerStatistics, 0, 0)); }
int PeerClicks() { return static_cast<int>(::SendMessageA(g_peerWindow, kPeerClicks, 0, 0)); }

TEST(Mixed, ClicksCountedByEitherSidesHooksShowInTheOthersStatistics) {
    ASSERT_TRUE(g_lib.Resolve(::LoadLibraryA(e2e::DllPath().c_str())));
    HWND own = e2e::MakeWindow("WexMixedDriver64", DriverProc, 120, 120, 300, 220);
    ASSERT_NE(own, nullptr);
    const HookSettings none = {};
    g_lib.UpdateSettings(&none);
    HANDLE peer = StartPeer("--child=peer --notify=" + std::to_string(reinterpret_cast<uintptr_t>(own)));
    ASSERT_NE(peer, nullptr);
    ASSERT_TRUE(e2e::WaitFor([] { return g_peerWindow != nullptr; })) << "the 32-bit side never reported";
    const auto ownClicks = [] { return g_ownClicks; };

    // Only the 32-bit hooks: a click in the 32-bit window is counted there
    // and read here.
    ASSERT_EQ(1, ::SendMessageA(g_peerWindow, kPeerInstall, 1, 0));
    unsigned before = LeftClicks64();
    ASSERT_TRUE(Click(g_peerWindow, PeerClicks));
    EXPECT_TRUE(e2e::WaitFor([&] { return LeftClicks64() == before + 1; }))
        << "32-bit hooks counted " << LeftClicks64() - before;
    EXPECT_EQ(LeftClicks32(), LeftClicks64());
    ::SendMessageA(g_peerWindow, kPeerInstall, 0, 0);

    // Only the 64-bit hooks: a click in this window is counted here and read
    // there.
    ASSERT_EQ(1, g_lib.InstallHook(own, 0));
    before = LeftClicks32();
    ASSERT_TRUE(Click(own, ownClicks));
    EXPECT_TRUE(e2e::WaitFor([&] { return LeftClicks32() == before + 1; }))
        << "64-bit hooks counted " << LeftClicks32() - before;

    // Both sets, the 32-bit one installed last.  Real Windows runs each set
    // in the programs of its bitness.  Wine 8 runs only the set installed
    // last, in the programs of its own bitness, and none in the others
    // (README, "Two builds"): each click counts once or not at all, never
    // twice, and the set installed last always runs.
    ASSERT_EQ(1, ::SendMessageA(g_peerWindow, kPeerInstall, 1, 0));
    const auto countedFor = [&](HWND window, const std::function<int()>& received) {
        const unsigned start = LeftClicks64();
        EXPECT_TRUE(Click(window, received));
        e2e::WaitFor([] { return false; }, 300);
        return LeftClicks64() - start;
    };
    const unsigned in64 = countedFor(own, ownClicks);
    const unsigned in32 = countedFor(g_peerWindow, PeerClicks);
    std::printf(
        "with both sets installed: a click in the 64-bit program counted %u time(s), in the 32-bit one %u\n",
        in64, in32);
    EXPECT_LE(in64, 1u);
    EXPECT_LE(in32, 1u);
    EXPECT_EQ(1u, in32) << "the 32-bit set, installed last, did not run in its own program";

    g_lib.RemoveHook();
    ::PostMessageA(g_peerWindow, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, e2e::WaitExit(peer));
    e2e::Discard(own);
}

// ---- The companion -------------------------------------------------------------

using e2e::ReadText;
using e2e::TempPath;

// The companion's process id from WexControl's log, 0 until it is there.
DWORD CompanionId(const std::string& log) {
    const std::string text = ReadText(log);
    const std::string mark = "32-bit programs hooked by the companion (process ";
    const size_t at = text.find(mark);
    return at == std::string::npos ? 0 : std::strtoul(text.c_str() + at + mark.size(), nullptr, 10);
}

HANDLE StartWexControl(const std::string& log) {
    return e2e::StartProcess("\"" + e2e::ExeFolder() + "WexControl.exe\" --seconds 120 --log \"" + log +
                             "\"");
}

TEST(Mixed, TheCompanionStartsAndEndsWithWexControlHoweverItEnds) {
    for (const bool killed : {false, true}) {
        SCOPED_TRACE(killed ? "WexControl killed" : "WexControl closed");
        const std::string log = TempPath("wexcontrol-mixed.log");
        ::DeleteFileA(log.c_str());
        HANDLE control = StartWexControl(log);
        ASSERT_NE(control, nullptr);
        DWORD id = 0;
        ASSERT_TRUE(e2e::WaitFor([&] { return (id = CompanionId(log)) != 0; })) << ReadText(log);
        HANDLE companion = ::OpenProcess(SYNCHRONIZE, FALSE, id);
        ASSERT_NE(companion, nullptr);
        EXPECT_NE(ReadText(log).find("hooks installed (64-bit programs)"), std::string::npos);
        EXPECT_EQ(::WaitForSingleObject(companion, 0), static_cast<DWORD>(WAIT_TIMEOUT));

        if (killed) {
            ::TerminateProcess(control, 9);
            ::CloseHandle(control);
        } else {
            HWND window = nullptr;
            ASSERT_TRUE(
                e2e::WaitFor([&] { return (window = ::FindWindowA("WexControl", nullptr)) != nullptr; }));
            ::PostMessageA(window, WM_CLOSE, 0, 0);
            EXPECT_EQ(0, e2e::WaitExit(control));
            EXPECT_NE(ReadText(log).find("companion ended"), std::string::npos) << ReadText(log);
        }
        EXPECT_EQ(::WaitForSingleObject(companion, 10000), static_cast<DWORD>(WAIT_OBJECT_0))
            << "the companion outlived WexControl";
        ::CloseHandle(companion);
    }
}

#endif  // _WIN64

}  // namespace

int main(int argc, char** argv) {
    const std::string child = e2e::Argument(argc, argv, "child");
    if (child == "records")
        return RecordsChild(std::strtoul(e2e::Argument(argc, argv, "seed").c_str(), nullptr, 10));
    if (child == "peer") {
        return PeerChild(reinterpret_cast<HWND>(
            static_cast<uintptr_t>(std::strtoull(e2e::Argument(argc, argv, "notify").c_str(), nullptr, 10))));
    }
#ifdef _WIN64
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
#else
    std::fputs("mixed_test: the 32-bit side only; run the 64-bit build\n", stderr);
    return 2;
#endif
}
