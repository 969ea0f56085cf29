// Dwell clicking's decisions, with exact times: whole scripts of pointer
// samples and events, and every click or drag step they lead to.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "dwell.h"
#include "scroll.h"

namespace {

using control::Dwell;
using control::DwellPoint;
using control::DwellSettings;
using control::DwellStep;
using control::DwellType;

enum Op {
    kOn,      // dwell switched on at (x, y)
    kOff,     // switched off at (x, y)
    kRest,    // the pointer at (x, y), sampled every 50 ms from t to `until`
    kHand,    // a sample with a button held by hand
    kTyping,  // the library reports typing (type kLeft) or its end (kNone)
    kPause,   // the pause on (type kLeft) or off (kNone)
    kChoose,  // a type chosen (from the chooser's notification, the tray, a command)
    kOver,    // a rest at (x, y) over the chooser's button `type`, until `until`
    kStop,    // WexControl quits
    kScroll,  // scrolling starts with its marker at (x, y) (type kLeft) or ends (kNone)
    kHere,    // the pointer now over a program whose profile has dwell off (type kOff), a time of
              // 300 ms (kLeft), or none (kNone)
};

struct Event {
    Op op;
    unsigned t;
    int x, y;
    unsigned until = 0;
    DwellType type = DwellType::kNone;
};

std::string Describe(const DwellStep& s, unsigned t) {
    static const char* const kinds[] = {"", "click", "press", "release", "choose", "endscroll"};
    return std::string(kinds[s.kind]) + " " + control::DwellTypeName(s.type) + " " + std::to_string(s.at.x) +
           "," + std::to_string(s.at.y) + " @" + std::to_string(t);
}

// Runs a script; every step that does something, in order.
std::vector<std::string> RunScript(const DwellSettings& settings, const std::vector<Event>& events) {
    Dwell dwell(settings);
    std::vector<std::string> out;
    const auto note = [&out](const DwellStep& s, unsigned t) {
        if (s.kind != DwellStep::kNothing) out.push_back(Describe(s, t));
    };
    for (const Event& e : events) {
        const DwellPoint at{e.x, e.y};
        switch (e.op) {
            case kOn: note(dwell.Enable(true, e.t, at), e.t); break;
            case kOff: note(dwell.Enable(false, e.t, at), e.t); break;
            case kRest:
            case kOver:
                for (unsigned t = e.t; t <= e.until; t += 50) {
                    note(dwell.Sample(t, at, false, e.op == kOver ? e.type : DwellType::kNone), t);
                }
                break;
            case kHand: note(dwell.Sample(e.t, at, true, DwellType::kNone), e.t); break;
            case kTyping: dwell.Typing(e.type != DwellType::kNone, e.t); break;
            case kPause: note(dwell.Pause(e.type != DwellType::kNone, e.t, at), e.t); break;
            case kChoose: dwell.Choose(e.type); break;
            case kStop: note(dwell.Stop(at), e.t); break;
            case kScroll: dwell.Scrolling(e.type != DwellType::kNone, e.t, at); break;
            case kHere: {
                DwellSettings here = settings;
                here.enabled = e.type != DwellType::kOff;
                here.time = e.type == DwellType::kLeft ? 300 : settings.time;
                dwell.Here(e.type == DwellType::kNone ? nullptr : &here);
                break;
            }
        }
    }
    return out;
}

// The pointer resting at (x, y) from `from` to `until`.
Event Rest(unsigned from, unsigned until, int x, int y) { return {kRest, from, x, y, until}; }

TEST(Dwell, WhatARestClicksAndWhatItNeverDoes) {
    const DwellType left = DwellType::kLeft, right = DwellType::kRight, none = DwellType::kNone;
    struct Case {
        const char* name;
        std::function<void(DwellSettings&)> set;
        std::vector<Event> events;
        std::vector<std::string> steps;
    };
    const auto defaults = [](DwellSettings&) {};
    const Case cases[] = {
        // Switched on, the pointer moves and rests: one left click where it
        // rests once the settle time and the dwell time have passed, and no
        // second however long it rests.
        {"a rest gives one click",
         defaults,
         {{kOn, 0, 100, 100}, Rest(100, 4000, 130, 100)},
         {"click left 130,100 @1500"}},
        // A rest right where it was switched on is no rest: it must move.
        {"no click without a move first", defaults, {{kOn, 0, 100, 100}, Rest(100, 3000, 104, 103)}, {}},
        // Jitter within the radius is rest; beyond it, the countdown starts over.
        {"jitter within the radius",
         defaults,
         {{kOn, 0, 0, 0}, Rest(500, 700, 100, 100), Rest(750, 950, 106, 104), Rest(1000, 1600, 101, 98)},
         {"click left 101,98 @1500"}},
        {"a move beyond the radius starts over",
         defaults,
         {{kOn, 0, 0, 0}, Rest(500, 1200, 100, 100), Rest(1250, 2400, 112, 100)},
         {"click left 112,100 @2250"}},
        // After a click: a move within `rearm` and a rest give nothing, a
        // move beyond it and a rest give the next click.
        {"no second click until the pointer moved `rearm`",
         defaults,
         {{kOn, 0, 0, 0}, Rest(500, 1600, 100, 100), Rest(1650, 3500, 110, 100), Rest(3550, 5000, 120, 100)},
         {"click left 100,100 @1500", "click left 120,100 @4550"}},
        // The settle time after switching on, and after a click.
        {"settle",
         [](DwellSettings& s) { s.settle = 2000; },
         {{kOn, 0, 0, 0}, Rest(50, 3500, 100, 100), Rest(3550, 6000, 200, 100)},
         {"click left 100,100 @3000", "click left 200,100 @6000"}},
        // Typing: no click until the library says it ended (the mouse moved
        // away), then a full rest.
        {"typing",
         defaults,
         {{kOn, 0, 0, 0},
          Rest(500, 700, 100, 100),
          {kTyping, 720, 0, 0, 0, left},
          Rest(750, 3000, 100, 100),
          {kTyping, 3020, 0, 0, 0, none},
          Rest(3050, 4500, 106, 100)},
         {"click left 106,100 @4050"}},
        // The pause: nothing while it is on, a full rest after.
        {"pause",
         defaults,
         {{kOn, 0, 0, 0},
          Rest(500, 900, 100, 100),
          {kPause, 920, 100, 100, 0, left},
          Rest(950, 3000, 100, 100),
          {kPause, 3020, 100, 100, 0, none},
          Rest(3050, 4500, 100, 100)},
         {"click left 100,100 @4050"}},
        // A button pressed by hand cancels the countdown; the next dwell
        // waits for a move, as after a click.
        {"a button by hand cancels",
         defaults,
         {{kOn, 0, 0, 0},
          Rest(500, 1200, 100, 100),
          {kHand, 1250, 100, 100},
          Rest(1300, 3000, 100, 100),
          Rest(3050, 4500, 130, 100)},
         {"click left 130,100 @4050"}},
        // Switched off, nothing more.
        {"off",
         defaults,
         {{kOn, 0, 0, 0}, Rest(500, 1200, 100, 100), {kOff, 1250, 100, 100}, Rest(1300, 3000, 200, 100)},
         {}},
        // A chosen type lasts one click; sticky, it stays.
        {"a chosen type, one click",
         defaults,
         {{kOn, 0, 0, 0},
          {kChoose, 10, 0, 0, 0, right},
          Rest(500, 1500, 100, 100),
          Rest(1550, 3000, 200, 100)},
         {"click right 100,100 @1500", "click left 200,100 @3000"}},
        {"a chosen type, sticky",
         [](DwellSettings& s) { s.sticky = true; },
         {{kOn, 0, 0, 0},
          {kChoose, 10, 0, 0, 0, right},
          Rest(500, 1500, 100, 100),
          Rest(1550, 3000, 200, 100)},
         {"click right 100,100 @1500", "click right 200,100 @3000"}},
        {"the default type",
         [](DwellSettings& s) { s.click = DwellType::kDouble; },
         {{kOn, 0, 0, 0},
          {kChoose, 10, 0, 0, 0, DwellType::kMiddle},
          Rest(500, 1500, 100, 100),
          Rest(1550, 3000, 200, 100)},
         {"click middle 100,100 @1500", "click double 200,100 @3000"}},
        // A drag: pressed at one rest, let up at the next, then the default.
        {"drag",
         defaults,
         {{kOn, 0, 0, 0},
          {kChoose, 10, 0, 0, 0, DwellType::kDrag},
          Rest(500, 1500, 100, 100),
          Rest(1550, 3000, 300, 200),
          Rest(3050, 4500, 100, 300)},
         {"press drag 100,100 @1500", "release drag 300,200 @3000", "click left 100,300 @4500"}},
        // A drag is never left held.
        {"a drag let up when switched off",
         defaults,
         {{kOn, 0, 0, 0},
          {kChoose, 10, 0, 0, 0, DwellType::kDrag},
          Rest(500, 1500, 100, 100),
          {kOff, 1600, 150, 100}},
         {"press drag 100,100 @1500", "release drag 150,100 @1600"}},
        {"a drag let up at the pause",
         defaults,
         {{kOn, 0, 0, 0},
          {kChoose, 10, 0, 0, 0, DwellType::kDrag},
          Rest(500, 1500, 100, 100),
          {kPause, 1600, 150, 100, 0, left}},
         {"press drag 100,100 @1500", "release drag 150,100 @1600"}},
        {"a drag let up at quitting",
         defaults,
         {{kOn, 0, 0, 0},
          {kChoose, 10, 0, 0, 0, DwellType::kDrag},
          Rest(500, 1500, 100, 100),
          {kStop, 1600, 150, 100}},
         {"press drag 100,100 @1500", "release drag 150,100 @1600"}},
        // A rest on the chooser's button chooses, and clicks nothing.
        {"the chooser",
         defaults,
         {{kOn, 0, 0, 0}, {kOver, 500, 900, 20, 1500, right}, Rest(1550, 3000, 100, 100)},
         {"choose right 900,20 @1500", "click right 100,100 @3000"}},
        {"the chooser's Off",
         defaults,
         {{kOn, 0, 0, 0}, {kOver, 500, 900, 60, 1500, DwellType::kOff}},
         {"choose off 900,60 @1500"}},
        // While scrolling runs nothing is clicked; a rest on its marker,
        // once the pointer has been away, ends it.
        {"scrolling",
         defaults,
         {{kOn, 0, 0, 0},
          Rest(500, 1600, 100, 100),
          {kScroll, 1700, 100, 100, 0, left},
          Rest(1750, 3500, 100, 100),
          Rest(3550, 5000, 300, 100),
          Rest(5050, 6500, 102, 100),
          {kScroll, 6550, 102, 100, 0, none},
          Rest(6600, 8200, 300, 300)},
         {"click left 100,100 @1500", "endscroll none 102,100 @6050", "click left 300,300 @8050"}},
        // A program whose profile switches dwell off holds it still; one
        // with a time of its own counts that; leaving either starts over.
        {"profiles",
         defaults,
         {{kOn, 0, 0, 0},
          {kHere, 10, 0, 0, 0, DwellType::kOff},
          Rest(500, 2000, 100, 100),
          {kHere, 2010, 0, 0, 0, DwellType::kLeft},
          Rest(2050, 2400, 100, 100),
          Rest(2450, 2800, 300, 100),
          {kHere, 2810, 0, 0, 0, none},
          Rest(2850, 4000, 500, 100)},
         {"click left 100,100 @2350", "click left 500,100 @3850"}},
    };
    for (const Case& c : cases) {
        DwellSettings settings;
        c.set(settings);
        EXPECT_EQ(c.steps, RunScript(settings, c.events)) << c.name;
    }
}

TEST(Dwell, TheRingFillsWithTheCountdownOnly) {
    Dwell dwell;
    dwell.Enable(true, 0, {0, 0});
    EXPECT_EQ(0.0, dwell.Progress(0));
    for (unsigned t = 500; t <= 1000; t += 50) dwell.Sample(t, {100, 100}, false, DwellType::kNone);
    EXPECT_DOUBLE_EQ(0.5, dwell.Progress(1000));
    dwell.Sample(1050, {200, 100}, false, DwellType::kNone);
    EXPECT_EQ(0.0, dwell.Progress(1050));
    EXPECT_TRUE(dwell.Sampling());
    dwell.Pause(true, 1100, {200, 100});
    EXPECT_FALSE(dwell.Sampling());
}

// Scroll by pointing: nothing in the dead zone; whole notches only, the
// rest carried on; faster the farther the pointer, up to a limit; both
// axes at once; a stall scrolls no more than a quarter second's worth.
TEST(Scroll, TheSpeedGrowsWithTheDistanceInWholeNotches) {
    using control::Scroller;
    EXPECT_EQ(0, Scroller::Speed(6));
    EXPECT_EQ(0, Scroller::Speed(-6));
    EXPECT_EQ(126, Scroller::Speed(7));
    EXPECT_EQ(-126, Scroller::Speed(-7));
    EXPECT_LT(Scroller::Speed(50), Scroller::Speed(100));
    EXPECT_EQ(40 * 120, Scroller::Speed(400));
    EXPECT_EQ(40 * 120, Scroller::Speed(2000000000));
    struct Step {
        unsigned t;
        int x, y;
        int vertical, horizontal;
    };
    Scroller s;
    s.Start(1000, 500, 400);
    const Step steps[] = {
        {1050, 503, 404, 0, 0},       // the dead zone
        {2050, 500, 408, 0, 0},       // 2 px beyond it: 132 a second, 33 for the 250 ms a step counts at most
        {2300, 500, 408, 0, 0},       // 66
        {2550, 500, 408, 0, 0},       // 99
        {2800, 500, 408, -120, 0},    // 132: a notch down, 12 carried
        {3050, 500, 408, 0, 0},       // 45
        {3100, 500, 403, 0, 0},       // back in the dead zone: nothing carried
        {3350, 500, 409, 0, 0},       // 34.75 down
        {3600, 500, 409, 0, 0},       // 69.5
        {3850, 500, 409, 0, 0},       // 104.25 (a notch, had the 45 before the dead zone been kept)
        {3900, 500, 200, 120, 0},     // far above: 240 up in 50 ms, less the 104.25 owed down
        {3950, 700, 400, 0, 240},     // far right
        {4000, 300, 200, 240, -240},  // up and left at once
    };
    for (const Step& step : steps) {
        const control::ScrollTurns turns = s.Step(step.t, step.x, step.y);
        EXPECT_EQ(step.vertical, turns.vertical) << step.t;
        EXPECT_EQ(step.horizontal, turns.horizontal) << step.t;
    }
    s.Stop();
    EXPECT_EQ(0, s.Step(4050, 300, 200).vertical);
}

}  // namespace
