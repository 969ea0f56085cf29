// Dwell clicking: WexControl clicks where the pointer comes to rest, for
// people who cannot press a button.  Plain C++ without Win32 calls, so that
// the host tests drive it with exact times; dwell_win32.cpp samples the
// pointer, injects the clicks and draws the ring and the chooser.
//
// The pointer is sampled a few times a second while dwell is on.  Once it
// has moved, and then stays within `radius` pixels of one point for `time`
// milliseconds, a click of the chosen type happens where it is.  After a
// click nothing more happens until the pointer has moved farther than
// `rearm` pixels from that click, so that resting longer never clicks
// twice.  Nothing is clicked while a mouse button is held by hand (which
// also cancels the countdown: the person clicked), while the person types
// (from the library's typing notifications), while the pause is on, or for
// `settle` milliseconds after dwell is switched on, after a click and after
// a cancel.  A drag presses the left button at one rest and lets it up at
// the next, and is never left held: switching dwell off, pausing and
// quitting let it up.
#pragma once

#include <string>

namespace control {

// The click types, and (for the chooser's buttons) kOff; kNone is none.
enum class DwellType { kLeft, kDouble, kRight, kMiddle, kDrag, kOff, kNone };

const char* DwellTypeName(DwellType type);  // "left", "double", ...
// The type of a name ("left" ...), kNone for anything else.
DwellType DwellTypeOf(const std::string& name);

struct DwellSettings {
    bool enabled = false;                // dwell clicking at start
    int time = 1000;                     // ms the pointer must rest, 200..5000
    int radius = 8;                      // px of movement that still counts as rest, 1..50
    int rearm = 16;                      // px to move after a click before the next, radius..200
    int settle = 500;                    // ms of quiet after switching on, a click, a cancel, 0..5000
    DwellType click = DwellType::kLeft;  // the default type
    bool sticky = false;                 // a chosen type stays until another is chosen
    bool chooser = true;                 // show the click-type window
    bool ring = true;                    // show the countdown ring
    bool sound = false;                  // a sound at each click
};

// Dwell clicks made, by type, kept in WexControl's statistics file.
struct DwellCounts {
    unsigned left = 0;
    unsigned doubles = 0;
    unsigned right = 0;
    unsigned middle = 0;
    unsigned drags = 0;
    unsigned& Of(DwellType type);
};

struct DwellPoint {
    int x = 0;
    int y = 0;
};

// What the program is to do after one step of the machine.
struct DwellStep {
    enum Kind {
        kNothing,
        kClick,        // a click of `type` at `at` (left, double, right, middle)
        kDragPress,    // the left button down at `at`
        kDragRelease,  // the left button up at `at`
        kChoose,       // the rest was on the chooser's button for `type`: select it (kOff: dwell off)
        kEndScroll,    // the rest was on the scroll marker: scrolling ends
    } kind = kNothing;
    DwellType type = DwellType::kNone;
    DwellPoint at;
};

class Dwell {
public:
    explicit Dwell(const DwellSettings& settings = DwellSettings());

    // New settings (a reload): the countdown starts over; a drag in progress
    // stays held until its release.
    void Configure(const DwellSettings& settings);
    const DwellSettings& Settings() const { return settings_; }

    // Dwell switched on or off.  Off lets a held drag up.
    DwellStep Enable(bool on, unsigned now, DwellPoint at);
    bool Enabled() const { return enabled_; }

    // The pause switched.  On lets a held drag up.
    DwellStep Pause(bool on, unsigned now, DwellPoint at);
    // The library's typing watch: typing began, or the mouse moved away.
    void Typing(bool typing, unsigned now);
    // Quitting, or the session ending: lets a held drag up.
    DwellStep Stop(DwellPoint at);
    // Scroll by pointing started with its marker at `marker`, or ended.
    // While it runs nothing is clicked: a rest on the marker ends it, a
    // rest elsewhere does nothing.  The pointer starts on the marker, so a
    // rest there counts once it has moved away.
    void Scrolling(bool on, unsigned now, DwellPoint marker);

    // The program under the pointer, before a sample: its profile's dwell
    // settings, or null for the file's.  Where they switch dwell off
    // nothing counts down (the chooser still works); their time and radius
    // apply there.  Moving to another program starts the countdown over.
    void Here(const DwellSettings* here);
    // The type the next click has; a chosen one lasts one click unless
    // sticky.  kNone chooses the default.
    void Choose(DwellType type);
    DwellType Next() const;

    // One sample of the pointer.  `buttonsByHand`: a mouse button is down
    // other than one the dwell holds for a drag.  `chooserButton`: the
    // chooser's button under the pointer, kNone when it is not over one.
    DwellStep Sample(unsigned now, DwellPoint at, bool buttonsByHand, DwellType chooserButton);

    // For the ring: how far the countdown has come, 0 to 1 (0 when none
    // runs), and whether a drag holds the button.
    double Progress(unsigned now) const;
    bool DragHeld() const { return dragHeld_; }
    // Whether the pointer must be sampled at all: dwell on and not paused.
    bool Sampling() const { return enabled_ && !paused_; }

private:
    // Nothing more until the pointer has moved `distance` from `at`, and no
    // countdown for the settle time.
    void Disarm(unsigned now, DwellPoint at, int distance);
    DwellStep LetDragUp(DwellPoint at);

    DwellSettings settings_;
    bool enabled_ = false;
    bool paused_ = false;
    bool typing_ = false;
    DwellType chosen_ = DwellType::kNone;
    bool dragHeld_ = false;
    DwellPoint dragAt_;
    // Armed once the pointer has moved far enough from `disarmedAt` (the
    // last click, cancel or the place dwell was switched on).
    bool armed_ = false;
    DwellPoint disarmedAt_;
    int armDistance_ = 0;
    // The countdown: where it started and when; none while `counting_` is
    // false.
    bool counting_ = false;
    DwellPoint anchor_;
    unsigned restStart_ = 0;
    unsigned quietUntil_ = 0;
    bool sawButton_ = false;
    // The settings of the program under the pointer (Here), when it has a
    // profile.
    bool hasHere_ = false;
    DwellSettings here_;
    const DwellSettings& Active() const { return hasHere_ ? here_ : settings_; }
    bool scrolling_ = false;
    DwellPoint marker_;
};

}  // namespace control
