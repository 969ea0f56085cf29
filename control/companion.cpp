// WexCompanion: the 32-bit hooks of the 64-bit WexControl (see companion.h).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "companion.h"
#include "wexutil.h"
#include "wexutil_loader.h"

namespace {

// Value of "--name=value", or "" when absent.
std::string Argument(int argc, char** argv, const char* name) {
    const std::string prefix = std::string("--") + name + "=";
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], prefix.c_str(), prefix.size()) == 0) return argv[i] + prefix.size();
    }
    return "";
}

std::string OwnFolder() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path);
    return s.substr(0, s.find_last_of("\\/") + 1);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string windowText = Argument(argc, argv, "window");
    const std::string parentText = Argument(argc, argv, "parent");
    if (windowText.empty() || parentText.empty()) {
        std::fputs("usage: WexCompanion --window=HWND --parent=PID (started by the 64-bit WexControl)\n", stderr);
        return control::kCompanionUsage;
    }
    // Window handles have 32 significant bits in both bitnesses.
    const HWND window =
        reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoul(windowText.c_str(), nullptr, 10)));
    const DWORD parentId = static_cast<DWORD>(std::strtoul(parentText.c_str(), nullptr, 10));

    // Held from the start, so that the companion notices its parent's end
    // even if it comes while the hooks are being installed.
    const HANDLE parent = ::OpenProcess(SYNCHRONIZE, FALSE, parentId);
    if (parent == nullptr) {
        std::fprintf(stderr, "WexCompanion: process %lu is not there\n", static_cast<unsigned long>(parentId));
        return control::kCompanionNoParent;
    }

    wexutil::Library library;
    const std::string dll = OwnFolder() + WEXUTIL_DLL_NAME;
    if (!library.Resolve(::LoadLibraryA(dll.c_str()))) {
        std::fprintf(stderr, "WexCompanion: %s cannot be loaded, or an export is missing\n", dll.c_str());
        return control::kCompanionNoLibrary;
    }
    if (library.InstallHook(window, 0) != 1) {
        library.RemoveHook();
        std::fputs("WexCompanion: the hooks could not be installed\n", stderr);
        return control::kCompanionNoLibrary;
    }
    ::PostMessageA(window, control::kCompanionReady, ::GetCurrentProcessId(), 0);

    // Until told to quit or the parent is gone, whichever way it went.
    for (bool running = true; running;) {
        const DWORD woke = ::MsgWaitForMultipleObjects(1, &parent, FALSE, INFINITE, QS_ALLINPUT);
        if (woke != WAIT_OBJECT_0 + 1) break;  // the parent ended, or the wait failed
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                running = false;
                break;
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    library.RemoveHook();
    ::CloseHandle(parent);
    return control::kCompanionDone;
}
