// Scroll by pointing and finding the pointer, the Win32 side: the scroll
// marker and the wheel turns it sends, on a timer of WexControl's window
// while scrolling runs; the shrinking ring that shows where the pointer is.
// The scrolling speed is the Scroller's (scroll.h).
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "overlay_win32.h"
#include "scroll.h"

namespace control {

// The timers of WexControl's window: scrolling's 20 steps a second while it
// runs, the locate ring's frames for about a second after it is asked for.
const UINT_PTR kScrollTimer = 301;
const UINT kScrollStepMs = 50;
const UINT_PTR kLocateTimer = 302;
const UINT kLocateFrameMs = 30;
const unsigned kLocateMs = 1000;

class PointerMarks {
public:
    void Start(HWND owner, std::function<void(const std::string&)> log);
    void Stop();

    // Scrolling from the pointer's place ("start"), ended ("stop"), or
    // either ("toggle").  `changed` is told when it starts or ends.
    void Scroll(const std::string& word);
    bool Scrolling() const { return scroller_.Running(); }
    POINT Marker() const { return {scroller_.MarkerX(), scroller_.MarkerY()}; }
    std::function<void(bool scrolling)> changed;

    // The ring that shrinks onto the pointer.
    void Locate();

    // WexControl's window hands its WM_TIMER on; true when it was one of these.
    bool OnTimer(UINT_PTR id);

private:
    void DrawMarker();
    void DrawLocate(double done);

    HWND owner_ = nullptr;
    std::function<void(const std::string&)> log_;
    Scroller scroller_;
    Overlay marker_;
    Overlay locate_;
    DWORD locateStart_ = 0;
};

}  // namespace control
