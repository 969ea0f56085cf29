#include "pointer_marks_win32.h"

#include <cmath>

#include "wexutil.h"

namespace control {

namespace {

const int kMarkerSize = 44;
const int kLocateSize = 180;

// One step's wheel turns as real input, marked as WexControl's own so that
// the library lets them through to the window whatever its wheel settings
// say, and neither runs a wheel row nor reports them.
void SendTurns(const ScrollTurns& turns) {
    INPUT in[2] = {};
    UINT n = 0;
    if (turns.vertical != 0) {
        in[n].type = INPUT_MOUSE;
        in[n].mi.dwFlags = MOUSEEVENTF_WHEEL;
        in[n].mi.mouseData = static_cast<DWORD>(turns.vertical);
        in[n].mi.dwExtraInfo = WEXUTIL_OWN_INPUT;
        ++n;
    }
    if (turns.horizontal != 0) {
        in[n].type = INPUT_MOUSE;
        in[n].mi.dwFlags = MOUSEEVENTF_HWHEEL;
        in[n].mi.mouseData = static_cast<DWORD>(turns.horizontal);
        in[n].mi.dwExtraInfo = WEXUTIL_OWN_INPUT;
        ++n;
    }
    if (n > 0) ::SendInput(n, in, sizeof(INPUT));
}

}  // namespace

void PointerMarks::Start(HWND owner, std::function<void(const std::string&)> log) {
    owner_ = owner;
    log_ = std::move(log);
    marker_.Create("WexScrollMarker");
    locate_.Create("WexLocateRing");
}

void PointerMarks::Stop() {
    if (scroller_.Running()) Scroll("stop");
    ::KillTimer(owner_, kLocateTimer);
    marker_.Destroy();
    locate_.Destroy();
}

void PointerMarks::Scroll(const std::string& word) {
    const bool start = word == "start" || (word == "toggle" && !scroller_.Running());
    if (start == scroller_.Running()) return;
    if (start) {
        POINT p = {0, 0};
        ::GetCursorPos(&p);
        scroller_.Start(::GetTickCount(), p.x, p.y);
        DrawMarker();
        ::SetTimer(owner_, kScrollTimer, kScrollStepMs, nullptr);
        log_("scrolling from (" + std::to_string(p.x) + ", " + std::to_string(p.y) + ")");
    } else {
        scroller_.Stop();
        ::KillTimer(owner_, kScrollTimer);
        marker_.Hide();
        log_("scrolling ended");
    }
    if (changed) changed(start);
}

void PointerMarks::Locate() {
    locateStart_ = ::GetTickCount();
    DrawLocate(0.0);
    ::SetTimer(owner_, kLocateTimer, kLocateFrameMs, nullptr);
}

bool PointerMarks::OnTimer(UINT_PTR id) {
    if (id == kScrollTimer) {
        POINT p = {0, 0};
        ::GetCursorPos(&p);
        SendTurns(scroller_.Step(::GetTickCount(), p.x, p.y));
        return true;
    }
    if (id == kLocateTimer) {
        const DWORD elapsed = ::GetTickCount() - locateStart_;
        if (elapsed >= kLocateMs) {
            ::KillTimer(owner_, kLocateTimer);
            locate_.Hide();
        } else {
            DrawLocate(static_cast<double>(elapsed) / kLocateMs);
        }
        return true;
    }
    return false;
}

// A ring with a dot in the middle and four arrowheads, blue on a white
// outline so that it shows on light and dark windows alike.
void PointerMarks::DrawMarker() {
    const POINT centre = Marker();
    marker_.Show(centre, kMarkerSize, [](HDC, uint32_t* pixels) {
        const double mid = kMarkerSize / 2.0;
        for (int y = 0; y < kMarkerSize; ++y) {
            for (int x = 0; x < kMarkerSize; ++x) {
                const double dx = x + 0.5 - mid, dy = y + 0.5 - mid;
                // The arrowheads: small triangles on the four axes, pointing out.
                const double along = std::fmax(std::fabs(dx), std::fabs(dy));
                const double across = std::fabs(dx) > std::fabs(dy) ? std::fabs(dy) : std::fabs(dx);
                const bool arrow = along >= 14 && along <= 21 && across <= (21 - along) * 0.8;
                const double ring = RingCover(x, y, kMarkerSize, 7.5, 11.0);
                const double outline = RingCover(x, y, kMarkerSize, 6.0, 12.5);
                const double dot = RingCover(x, y, kMarkerSize, -1.0, 2.5);
                uint32_t& px = pixels[y * kMarkerSize + x];
                if (ring > 0 || dot > 0 || arrow) {
                    px = Premultiplied(0x2060E0, 255 * std::fmax(arrow ? 1.0 : 0.0, std::fmax(ring, dot)));
                } else if (outline > 0) {
                    px = Premultiplied(0xFFFFFF, 220 * outline);
                }
            }
        }
    });
}

// A ring that shrinks from wide to the pointer, yellow on black.
void PointerMarks::DrawLocate(double done) {
    POINT p = {0, 0};
    ::GetCursorPos(&p);
    const double radius = 84.0 - 70.0 * done;
    const double fade = done < 0.8 ? 1.0 : (1.0 - done) / 0.2;
    locate_.Show(p, kLocateSize, [radius, fade](HDC, uint32_t* pixels) {
        for (int y = 0; y < kLocateSize; ++y) {
            for (int x = 0; x < kLocateSize; ++x) {
                const double inner = RingCover(x, y, kLocateSize, radius - 3.0, radius + 3.0);
                const double outer = RingCover(x, y, kLocateSize, radius - 5.0, radius + 5.0);
                uint32_t& px = pixels[y * kLocateSize + x];
                if (inner > 0) {
                    px = Premultiplied(0xFFD000, 255 * inner * fade);
                } else if (outer > 0) {
                    px = Premultiplied(0x000000, 200 * outer * fade);
                }
            }
        }
    });
}

}  // namespace control
