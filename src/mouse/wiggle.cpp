// Two gestures reported with notification 9: shaking the mouse hard for a
// while, and clicking rapidly for a while.
//
// The detector state is shared by all processes, so moves and clicks in the
// windows of different programs add up to one gesture.  Tick counts wrap, so
// every time difference is an unsigned 32-bit subtraction, and every limit is
// compared as an unsigned value too.
#include "core/notify.h"
#include "core/profiles.h"
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

// A distance between two coordinates, capped far beyond any screen so that
// five of them still add up within 32 bits.  (The difference of two 32-bit
// values always fits in 32 unsigned bits.)
const int32_t kMaxDelta = 1 << 27;
int32_t Delta(int32_t a, int32_t b) {
    const uint32_t d = a > b ? static_cast<uint32_t>(a) - static_cast<uint32_t>(b)
                             : static_cast<uint32_t>(b) - static_cast<uint32_t>(a);
    return d > static_cast<uint32_t>(kMaxDelta) ? kMaxDelta : static_cast<int32_t>(d);
}

// The rings' sums, added up afresh every 32 moves of a process, so that a
// sum another process's move disturbed half-way cannot drift for long.
void SumRings() {
    SharedState& s = Shared();
    int32_t x = 0, y = 0;
    for (int i = 0; i < kRing; ++i) {
        x += s.moveDeltaX[i] < 0 || s.moveDeltaX[i] > kMaxDelta ? kMaxDelta : s.moveDeltaX[i];
        y += s.moveDeltaY[i] < 0 || s.moveDeltaY[i] > kMaxDelta ? kMaxDelta : s.moveDeltaY[i];
    }
    s.moveSumX = x;
    s.moveSumY = y;
}

// The average of either ring, rounded down, is above the threshold.  The
// sums are never negative, so that is the same as sum > 5 * threshold + 4,
// which spares a division on every move.  The threshold is a twentieth of
// the screen's width, so five of it fit in 32 bits.
bool Vigorous(const SharedState& s) {
    const int32_t limit = kRing * s.moveThreshold + (kRing - 1);
    return s.moveSumX > limit || s.moveSumY > limit;
}

void ClearRings() {
    for (int i = 0; i < kRing; ++i) {
        Shared().moveDeltaX[i] = 0;
        Shared().moveDeltaY[i] = 0;
    }
    Shared().moveSumX = 0;
    Shared().moveSumY = 0;
}

}  // namespace

void DetectMoveWiggle(POINT pt) {
    SharedState& s = Shared();
    const int32_t x = pt.x;
    const int32_t y = pt.y;
    int slot = s.moveRingIndex;
    if (s.moveWiggleState == kUnset) {
        int32_t width = 0, height = 0;
        ScreenSize(&width, &height);
        s.moveThreshold = width / 20;
        ClearRings();
        slot = 0;
    }
    // The index lives in shared memory that any process may write: keep it
    // inside the ring whatever it holds.
    if (slot < 0 || slot >= kRing) slot = 0;
    // One delta in, the one it replaces out of each running sum (in
    // unsigned arithmetic: a sum another process disturbed wraps rather
    // than overflows, and is set right at the ring's next round).
    const int32_t dx = Delta(x, s.lastMovePoint.x);
    const int32_t dy = Delta(y, s.lastMovePoint.y);
    s.moveSumX = static_cast<int32_t>(static_cast<uint32_t>(s.moveSumX) + static_cast<uint32_t>(dx) -
                                      static_cast<uint32_t>(s.moveDeltaX[slot]));
    s.moveSumY = static_cast<int32_t>(static_cast<uint32_t>(s.moveSumY) + static_cast<uint32_t>(dy) -
                                      static_cast<uint32_t>(s.moveDeltaY[slot]));
    s.moveDeltaX[slot] = dx;
    s.moveDeltaY[slot] = dy;
    s.moveRingIndex = slot == kRing - 1 ? 0 : slot + 1;
    // Once in four rounds of the ring, the sums are added up afresh.
    if ((++Proc().movesSummed & 0x1F) == 0) SumRings();

    const bool vigorous = Vigorous(s);
    s.lastMovePoint.x = x;
    s.lastMovePoint.y = y;
    // Idle and calm, as the cursor mostly is: nothing to time.  (The time of
    // the last move is read only by the shaking state, and every move that
    // leads into it reads the clock.)
    if (s.moveWiggleState == kIdle && !vigorous) return;
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
            } else if (now - s.moveWiggleStart > Limit(11000, DesktopSettings().moveWiggleSensitivity)) {
                // Reported once: the detectors stay off until the controlling
                // program writes its settings again.
                ClearRings();
                SetDesktopField(&HookSettings::wiggleDetect, 0);
                s.moveWiggleState = kIdle;
                PostNotify(NOTIFY_WIGGLE, 0);
            }
            break;
        default: s.moveWiggleState = kIdle; break;
    }
    s.lastMoveTime = now;
}

namespace {

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
        } else if (now - s.clickBurstStart > Limit(13000, DesktopSettings().clickWiggleSensitivity)) {
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
    if (rawId == WM_MOUSEMOVE) DetectMoveWiggle(record->pt);
    DetectClickWiggle(rawId);
}
