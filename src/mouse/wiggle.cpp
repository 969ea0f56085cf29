// Two gestures reported with notification 9: shaking the mouse hard for a
// while, and clicking rapidly for a while.
//
// The detector state is shared by all processes, so moves and clicks in the
// windows of different programs add up to one gesture.  Tick counts wrap, so
// every time difference is an unsigned 32-bit subtraction, and every limit is
// compared as an unsigned value too.
#include "core/notify.h"
#include "core/shared.h"
#include "mouse/stages.h"

namespace {

enum DetectorState { kUnset = 0, kActive = 1, kIdle = 2 };

const int kRing = 5;
// A pause between two moves longer than this ends a wiggle.
const DWORD kMoveGap = 200;
// Clicks this far apart or more end a burst.
const DWORD kClickGap = 500;

// base - 1000 * sensitivity as a 32-bit unsigned limit.  Widened first, so
// that any sensitivity the controlling program sends wraps as 32-bit
// arithmetic does instead of overflowing; a negative result becomes a limit
// no difference of less than about 49 days exceeds.
DWORD Limit(int64_t base, int32_t sensitivity) {
    return static_cast<DWORD>(base - 1000 * int64_t{sensitivity});
}

int32_t Delta(int32_t a, int32_t b) {
    const int64_t d = a > b ? int64_t{a} - b : int64_t{b} - a;
    return d > INT32_MAX ? INT32_MAX : static_cast<int32_t>(d);
}

// The average of either ring, rounded down, is above the threshold.  The
// sums are never negative, so that is the same as sum > 5 * threshold + 4,
// which spares a 64-bit division on every move.
bool Vigorous() {
    int64_t sumX = 0;
    int64_t sumY = 0;
    for (int i = 0; i < kRing; ++i) {
        sumX += Shared().moveDeltaX[i];
        sumY += Shared().moveDeltaY[i];
    }
    const int64_t limit = kRing * int64_t{Shared().moveThreshold} + (kRing - 1);
    return sumX > limit || sumY > limit;
}

void ClearRings() {
    for (int i = 0; i < kRing; ++i) {
        Shared().moveDeltaX[i] = 0;
        Shared().moveDeltaY[i] = 0;
    }
}

void DetectMoveWiggle(UINT rawId, const MOUSEHOOKSTRUCT* record) {
    if (rawId != WM_MOUSEMOVE) return;
    SharedState& s = Shared();
    const int32_t x = record->pt.x;
    const int32_t y = record->pt.y;
    int slot = s.moveRingIndex;
    if (s.moveWiggleState == kUnset) {
        s.moveThreshold = os::GetSystemMetrics(SM_CXSCREEN) / 20;
        ClearRings();
        slot = 0;
    }
    // The index lives in shared memory that any process may write: keep it
    // inside the ring whatever it holds.
    if (slot < 0 || slot >= kRing) slot = 0;
    s.moveDeltaX[slot] = Delta(x, s.lastMovePoint.x);
    s.moveDeltaY[slot] = Delta(y, s.lastMovePoint.y);
    s.moveRingIndex = slot == kRing - 1 ? 0 : slot + 1;

    const bool vigorous = Vigorous();
    const DWORD now = os::GetTickCount();
    switch (s.moveWiggleState) {
        case kIdle:
            if (vigorous) {
                s.moveWiggleState = kActive;
                s.moveWiggleStart = now;
            }
            break;
        case kActive:
            if (!vigorous || now - s.lastMoveTime > kMoveGap) {
                s.moveWiggleState = kIdle;
            } else if (now - s.moveWiggleStart > Limit(11000, s.settings.moveWiggleSensitivity)) {
                // Reported once: the detectors stay off until the controlling
                // program writes its settings again.
                ClearRings();
                s.settings.wiggleDetect = 0;
                s.moveWiggleState = kIdle;
                PostNotify(NOTIFY_WIGGLE, 0);
            }
            break;
        default: s.moveWiggleState = kIdle; break;
    }
    s.lastMovePoint.x = x;
    s.lastMovePoint.y = y;
    s.lastMoveTime = now;
}

void DetectClickWiggle(UINT rawId) {
    switch (rawId) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONDBLCLK: break;
        default: return;
    }
    SharedState& s = Shared();
    const DWORD now = os::GetTickCount();
    const DWORD sinceLast = now - s.lastClickTime;
    if (s.clickBurstState == kActive) {
        if (sinceLast >= kClickGap) {
            s.clickBurstState = kIdle;
        } else if (now - s.clickBurstStart > Limit(13000, s.settings.clickWiggleSensitivity)) {
            // Reported at every further click of the burst; a wiggle in
            // progress starts its timing again.
            s.moveWiggleState = kIdle;
            PostNotify(NOTIFY_WIGGLE, 0);
        }
    } else {
        // The first click ever leaves the unset state and is then judged
        // like any click made while idle.
        s.clickBurstState = kIdle;
        if (sinceLast < kClickGap) {
            s.clickBurstState = kActive;
            s.clickBurstStart = now;
        }
    }
    s.lastClickTime = now;
}

}  // namespace

void DetectWiggle(UINT rawId, const MOUSEHOOKSTRUCT* record) {
    if (record == nullptr) return;
    DetectMoveWiggle(rawId, record);
    DetectClickWiggle(rawId);
}
