// What WexControl itself costs: its CPU time (user and kernel, from
// GetProcessTimes) over SECONDS of a resting pointer and SECONDS of a
// pointer moved in circles with SetCursorPos at 100 Hz, with dwell off and
// with dwell on.  Each case runs a fresh WexControl, started from this
// program's folder with a settings file of only the dwell section; the
// first seconds after its start are left out.  For comparison, the same for
// a program that does nothing but keep one hidden window (this program,
// started with --idle): what any windowed program costs there.
//
//   WexControlCost [SECONDS]      60 unless given
//
// Prints one Markdown table row per case; exit status 1 when WexControl
// could not be started or measured.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "e2e_support.h"

namespace {

double CpuMs(HANDLE process) {
    FILETIME created, ended, kernel, user;
    if (!::GetProcessTimes(process, &created, &ended, &kernel, &user)) return -1;
    const auto ms = [](const FILETIME& t) {
        return ((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

// A hidden window and its message loop, until ended.
int Idle() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "WexIdleProgram";
    ::RegisterClassA(&wc);
    ::CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) ::DispatchMessageA(&msg);
    return 0;
}

enum Program { kIdle, kDwellOff, kDwellOn };

// Runs one case; false when the program did not start.
bool Measure(const char* name, Program program, bool moving, DWORD seconds) {
    const std::string settings = e2e::TempPath("wexcontrol-cost.ini");
    std::ofstream(settings, std::ios::trunc) << "[dwell]\nenabled = " << (program == kDwellOn ? "on" : "off")
                                               << "\n";
    std::string line = program == kIdle ? "\"" + e2e::ExePath() + "\" --idle"
                                        : "\"" + e2e::ExeFolder() + "WexControl.exe\" \"" + settings +
                                              "\" --log \"" + e2e::TempPath("wexcontrol-cost.log") + "\"";
    // Its console output goes nowhere: this program's output is the table.
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    const HANDLE nowhere = ::CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                         OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = si.hStdOutput = si.hStdError = nowhere;
    PROCESS_INFORMATION pi = {};
    const bool created =
        ::CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi) != 0;
    if (nowhere != INVALID_HANDLE_VALUE) ::CloseHandle(nowhere);
    if (!created) return false;
    ::CloseHandle(pi.hThread);
    HWND window = nullptr;
    const char* windowClass = program == kIdle ? "WexIdleProgram" : "WexControl";
    const bool started =
        e2e::WaitFor([&] { return (window = ::FindWindowA(windowClass, nullptr)) != nullptr; }, 60000);
    if (started) {
        const int cx = ::GetSystemMetrics(SM_CXSCREEN) / 2, cy = ::GetSystemMetrics(SM_CYSCREEN) / 2;
        e2e::PlaceCursor(cx, cy);
        e2e::WaitFor([] { return false; }, 3000);  // its start, and dwell's settle time
        const double before = CpuMs(pi.hProcess);
        const DWORD start = ::GetTickCount();
        for (unsigned step = 0; ::GetTickCount() - start < seconds * 1000; ++step) {
            if (moving) {
                const double a = step * 0.05;
                ::SetCursorPos(cx + static_cast<int>(200 * std::cos(a)), cy + static_cast<int>(200 * std::sin(a)));
                e2e::Pump();
            }
            ::Sleep(10);
        }
        const double used = CpuMs(pi.hProcess) - before;
        std::printf("| %s | %u s | %.0f ms | %.2f %% |\n", name, static_cast<unsigned>(seconds), used,
                    used / (seconds * 10.0));
        std::fflush(stdout);
        if (program == kIdle) {
            ::TerminateProcess(pi.hProcess, 0);
        } else {
            ::PostMessageA(window, WM_CLOSE, 0, 0);
        }
    }
    e2e::WaitExit(pi.hProcess);  // ends it after a minute should it not close
    return started;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--idle") return Idle();
    const DWORD seconds = argc > 1 ? static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10)) : 60;
    std::printf("| program | over | CPU time | of one core |\n|---|---|---|---|\n");
    bool ok = Measure("WexControl, dwell off, pointer at rest", kDwellOff, false, seconds);
    ok = ok && Measure("WexControl, dwell on, pointer at rest", kDwellOn, false, seconds);
    ok = ok && Measure("a program with one hidden window, pointer at rest", kIdle, false, seconds);
    ok = ok && Measure("WexControl, dwell off, pointer moving", kDwellOff, true, seconds);
    ok = ok && Measure("WexControl, dwell on, pointer moving", kDwellOn, true, seconds);
    ok = ok && Measure("a program with one hidden window, pointer moving", kIdle, true, seconds);
    if (!ok) std::printf("a program could not be started or measured\n");
    return ok ? 0 : 1;
}
