// A controlling window for end-to-end programs: it loads WexUTIL.dll,
// installs the hooks with itself as the notification window, and records
// every WM_HOOK_NOTIFY and WM_HOOK_CAPTURE it receives, in order.
#pragma once

#include <initializer_list>
#include <utility>
#include <vector>

#include "e2e_support.h"

namespace e2e {

using Posted = std::pair<WPARAM, LPARAM>;

struct HookController {
    Library lib;
    HWND window = nullptr;
    std::vector<Posted> notifications;  // WM_HOOK_NOTIFY: code, argument
    std::vector<Posted> captured;       // WM_HOOK_CAPTURE: message, value

    static HookController*& Current() {
        static HookController* current = nullptr;
        return current;
    }

    static LRESULT CALLBACK Procedure(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
        HookController* c = Current();
        if (c != nullptr && message == WM_HOOK_NOTIFY) {
            c->notifications.push_back({wParam, lParam});
            return 0;
        }
        if (c != nullptr && message == WM_HOOK_CAPTURE) {
            c->captured.push_back({wParam, lParam});
            return 0;
        }
        return ::DefWindowProcA(w, message, wParam, lParam);
    }

    // Loads the library, creates the window and installs the hooks with an
    // empty settings record; false if any step fails.
    bool Start() {
        Current() = this;
        if (!lib.Resolve(::LoadLibraryA(DllPath().c_str()))) return false;
        window = MakeWindow("WexHookController", Procedure, 760, 620, 200, 100);
        if (window == nullptr) return false;
        HookSettings none = {};
        lib.UpdateSettings(&none);
        return lib.InstallHook(window, 0) == 1;
    }

    void Stop() {
        lib.RemoveHook();
        if (::IsWindow(window)) ::DestroyWindow(window);
        Current() = nullptr;
    }

    void Apply(const HookSettings& s) { lib.UpdateSettings(&s); }

    // A record with these rows in use and everything else off.
    static HookSettings With(std::initializer_list<Binding> rows) {
        HookSettings s = {};
        for (const Binding& row : rows) s.bindings[s.bindingCount++] = row;
        return s;
    }

    HookSettings Settings() {
        HookSettings s;
        lib.GetSettings(&s);
        return s;
    }

    void Clear() {
        Pump();
        notifications.clear();
        captured.clear();
    }

    bool Notified(WPARAM code, LPARAM argument = 0) const {
        for (const Posted& p : notifications) {
            if (p.first == code && p.second == argument) return true;
        }
        return false;
    }

    int Count(WPARAM code) const {
        int n = 0;
        for (const Posted& p : notifications) n += p.first == code ? 1 : 0;
        return n;
    }
};

}  // namespace e2e
