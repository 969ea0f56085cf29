#include "scroll.h"

namespace control {

void Scroller::Start(unsigned now, int x, int y) {
    running_ = true;
    markerX_ = x;
    markerY_ = y;
    last_ = now;
    owedV_ = owedH_ = 0;
}

void Scroller::Stop() { running_ = false; }

int Scroller::Speed(int distance) {
    const int sign = distance < 0 ? -1 : 1;
    const long long beyond = static_cast<long long>(distance) * sign - kDeadZone;
    if (beyond <= 0) return 0;
    // Gentle near the marker (a notch a second just past the dead zone),
    // faster the farther it is: about five notches a second at 50 px, the
    // most from about 180 px.
    long long speed = kNotch + beyond * 6 + beyond * beyond / 8;
    const long long most = static_cast<long long>(kMaxNotchesPerSecond) * kNotch;
    if (speed > most) speed = most;
    return static_cast<int>(speed) * sign;
}

ScrollTurns Scroller::Step(unsigned now, int x, int y) {
    ScrollTurns turns;
    if (!running_) return turns;
    unsigned elapsed = now - last_;
    last_ = now;
    // A step after a long stall (the machine asleep) scrolls no more than a
    // quarter of a second's worth.
    if (elapsed > 250) elapsed = 250;
    // Below the marker scrolls down (a negative wheel delta), right of it right.
    const int dy = y - markerY_, dx = x - markerX_;
    const auto take = [elapsed](long long* owed, int speed) {
        if (speed == 0) {
            *owed = 0;  // back in the dead zone: nothing carried over
            return 0;
        }
        *owed += static_cast<long long>(speed) * elapsed;  // wheel units x 1000
        const long long notch = static_cast<long long>(kNotch) * 1000;
        const long long whole = *owed / notch;
        *owed -= whole * notch;
        return static_cast<int>(whole * kNotch);
    };
    turns.vertical = -take(&owedV_, Speed(dy));
    turns.horizontal = take(&owedH_, Speed(dx));
    return turns;
}

}  // namespace control
