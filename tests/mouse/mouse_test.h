// Shared ground for the mouse hook tests: the hooks installed for the
// controlling program, a window of another program under the cursor, and
// helpers that inject real mouse input and return what followed.
#pragma once

#include "actions/action_test.h"

#include <string>
#include <vector>

class MouseTest : public ActionTest {
protected:
    void SetUp() override {
        ActionTest::SetUp();
        editor = d().AddProcess("editor");
        win = MakeWindow("win", {100, 100, 500, 400}, "SimWindow", editor);
        EXPECT_EQ(1, InstallHook(app, 0));
        // Hooked programs have the library loaded already.
        d().LoadLibraryInto(editor);
        d().cursor = kClient;
        d().TakeTrace();
    }

    void Use(HookSettings s) { UpdateSettings(&s); }

    // Injects one mouse event at a point (the cursor is placed there first,
    // as a real device moves it) and delivers everything that follows from
    // it; returns the trace without the injection itself.
    sim::Lines Input(DWORD flags, POINT at, DWORD data = 0, ULONG_PTR extra = 0) {
        d().cursor = at;
        os::mouse_event(flags, 0, 0, data, extra);
        d().TakeTrace();
        d().Pump();
        return d().TakeTrace();
    }
    sim::Lines Input(DWORD flags) { return Input(flags, d().cursor); }
    // A press and a release at a point, in that order.
    sim::Lines Click(DWORD down, DWORD up, POINT at) {
        sim::Lines lines = Input(down, at);
        const sim::Lines after = Input(up, at);
        lines.insert(lines.end(), after.begin(), after.end());
        return lines;
    }

    // Calls the hook procedure directly, as Windows would for `message`.
    LRESULT Hook(UINT message, POINT pt, ULONG_PTR extra = 0, int code = HC_ACTION) {
        MOUSEHOOKSTRUCTEX record{};
        record.pt = pt;
        record.hwnd = win;
        record.wHitTestCode = HTCLIENT;
        record.dwExtraInfo = extra;
        // In the window's own process, where Windows calls it.
        return d().InProcess(editor, [&] { return MouseProc(code, message, reinterpret_cast<LPARAM>(&record)); });
    }

    // Messages the window received since the last call.
    std::vector<UINT> Received() {
        std::vector<UINT> ids;
        for (const sim::Message& m : d().PostedTo(win)) ids.push_back(m.message);
        d().W(win).posted.clear();
        return ids;
    }

    int editor = 0;
    HWND win = nullptr;
    static constexpr POINT kClient{200, 200};   // inside the window's client area
    static constexpr POINT kCaption{200, 110};  // on its caption
};
