// Scroll by pointing: while it runs, a marker stays where it started and
// the pointer's distance from it sets a scrolling speed, vertically and
// horizontally, with a dead zone around the marker.  WexControl turns the
// speed into real wheel turns (scroll_win32.cpp).  Plain C++ without Win32
// calls, so that the host tests drive it with exact times.
#pragma once

namespace control {

struct ScrollTurns {
    int vertical = 0;    // wheel delta: positive scrolls up (away from the person)
    int horizontal = 0;  // horizontal wheel delta: positive scrolls right
};

class Scroller {
public:
    // Pixels around the marker in which nothing scrolls.
    static const int kDeadZone = 6;
    // One wheel notch; turns are sent in whole notches, so that programs
    // that only understand whole notches scroll too.
    static const int kNotch = 120;
    // The most notches a second, at any distance.
    static const int kMaxNotchesPerSecond = 40;

    void Start(unsigned now, int x, int y);
    void Stop();
    bool Running() const { return running_; }
    int MarkerX() const { return markerX_; }
    int MarkerY() const { return markerY_; }

    // The wheel delta per second for a distance from the marker along one
    // axis (signed: positive below or right of it); 0 in the dead zone.
    static int Speed(int distance);

    // The turns to send now, the pointer at (x, y): the speed over the time
    // since the last step, kept in whole notches, the rest carried on.
    ScrollTurns Step(unsigned now, int x, int y);

private:
    bool running_ = false;
    int markerX_ = 0, markerY_ = 0;
    unsigned last_ = 0;
    // Delta owed but not yet sent, in 1/1000 of a wheel unit.
    long long owedV_ = 0, owedH_ = 0;
};

}  // namespace control
