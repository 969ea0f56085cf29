// Dwell clicking in WexControl, the Win32 side: the pointer sampled on a
// timer of WexControl's window, the clicks injected with SendInput, the
// countdown ring at the pointer and the click-type chooser.  Every decision
// is the Dwell machine's (dwell.h).
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "dwell.h"
#include "overlay_win32.h"

namespace control {

// The timer of WexControl's window that samples the pointer: 20 times a
// second while dwell is on and not paused, and not at all otherwise.
const UINT_PTR kDwellTimer = 300;
const UINT kDwellSampleMs = 50;

class DwellRunner {
public:
    // `owner` gets the timer; `stateFile` keeps the chooser's place between
    // runs ("" keeps none); `log` writes a line of WexControl's log;
    // `changed` is called whenever dwell is switched on or off or the next
    // type changes, for the icon's tooltip and the pushed record.
    void Start(HWND owner, const DwellSettings& settings, const std::string& stateFile,
               std::function<void(const std::string&)> log, std::function<void()> changed);
    // New settings from a reload.  `enabled` in them counts at the start
    // only: a reload does not switch dwell on or off.
    void Configure(const DwellSettings& settings);

    void Enable(bool on);
    bool Enabled() const { return dwell_.Enabled(); }
    void Choose(DwellType type);
    void Pause(bool paused);
    void Typing(bool typing);
    // Quitting or the session ending: a held drag goes up, the chooser's
    // place is kept.
    void Stop();
    // Scroll by pointing started at `marker`, or ended: no click while it
    // runs, and a rest on the marker calls `endScroll`.
    void Scrolling(bool on, POINT marker);
    std::function<void()> endScroll;
    // The dwell settings of the program under a point (its profile's), or
    // null for the file's.
    std::function<const DwellSettings*(POINT)> here;
    // WexControl's window hands its WM_TIMER on; true when it was dwell's.
    bool OnTimer(UINT_PTR id);

    // "dwell on, next click left", for the icon's tooltip.
    std::string Describe() const;
    DwellType Next() const { return dwell_.Next(); }
    DwellCounts counts;

private:
    void Do(const DwellStep& step);
    void UpdateTimer();
    void ShowChooser();
    void DrawRing(double progress);
    void HideRing();
    DwellType ChooserButtonAt(POINT p) const;
    void SaveChooserPlace() const;

    static LRESULT CALLBACK ChooserProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    Dwell dwell_;
    HWND owner_ = nullptr;
    HWND chooser_ = nullptr;
    HWND buttons_[6] = {};
    Overlay ring_;
    bool timing_ = false;
    std::string stateFile_;
    std::function<void(const std::string&)> log_;
    std::function<void()> changed_;
};

}  // namespace control
