#include "dwell.h"

namespace control {

namespace {

const char* const kNames[] = {"left", "double", "right", "middle", "drag", "off"};

bool Within(DwellPoint a, DwellPoint b, int radius) {
    const long long dx = a.x - b.x;
    const long long dy = a.y - b.y;
    return dx * dx + dy * dy <= static_cast<long long>(radius) * radius;
}

// Times are GetTickCount milliseconds, compared by unsigned subtraction.
bool Before(unsigned now, unsigned until) { return static_cast<int>(now - until) < 0; }

}  // namespace

const char* DwellTypeName(DwellType type) {
    const int i = static_cast<int>(type);
    return i >= 0 && i < 6 ? kNames[i] : "none";
}

DwellType DwellTypeOf(const std::string& name) {
    for (int i = 0; i < 6; ++i) {
        if (name == kNames[i]) return static_cast<DwellType>(i);
    }
    return DwellType::kNone;
}

unsigned& DwellCounts::Of(DwellType type) {
    switch (type) {
        case DwellType::kDouble: return doubles;
        case DwellType::kRight: return right;
        case DwellType::kMiddle: return middle;
        case DwellType::kDrag: return drags;
        default: return left;
    }
}

Dwell::Dwell(const DwellSettings& settings) : settings_(settings) {}

void Dwell::Configure(const DwellSettings& settings) {
    settings_ = settings;
    counting_ = false;
}

void Dwell::Disarm(unsigned now, DwellPoint at, int distance) {
    armed_ = false;
    disarmedAt_ = at;
    armDistance_ = distance;
    quietUntil_ = now + static_cast<unsigned>(settings_.settle);
    counting_ = false;
}

DwellStep Dwell::LetDragUp(DwellPoint at) {
    counting_ = false;
    if (!dragHeld_) return DwellStep();
    dragHeld_ = false;
    DwellStep step;
    step.kind = DwellStep::kDragRelease;
    step.type = DwellType::kDrag;
    step.at = at;
    return step;
}

DwellStep Dwell::Enable(bool on, unsigned now, DwellPoint at) {
    if (on == enabled_) return DwellStep();
    enabled_ = on;
    if (!on) return LetDragUp(at);
    // Switched on where the pointer is: it must move before a rest counts.
    Disarm(now, at, settings_.radius);
    return DwellStep();
}

DwellStep Dwell::Pause(bool on, unsigned now, DwellPoint at) {
    paused_ = on;
    (void)now;
    return on ? LetDragUp(at) : DwellStep();
}

void Dwell::Typing(bool typing, unsigned now) {
    (void)now;
    typing_ = typing;
    counting_ = false;
}

DwellStep Dwell::Stop(DwellPoint at) { return LetDragUp(at); }

void Dwell::Scrolling(bool on, unsigned now, DwellPoint marker) {
    scrolling_ = on;
    marker_ = marker;
    Disarm(now, marker, settings_.rearm);
}

void Dwell::Choose(DwellType type) { chosen_ = type == DwellType::kOff ? DwellType::kNone : type; }

DwellType Dwell::Next() const {
    if (dragHeld_) return DwellType::kDrag;
    return chosen_ != DwellType::kNone ? chosen_ : settings_.click;
}

DwellStep Dwell::Sample(unsigned now, DwellPoint at, bool buttonsByHand, DwellType chooserButton) {
    if (!enabled_ || paused_) {
        counting_ = false;
        return DwellStep();
    }
    // A button pressed by hand: the person clicked, which ends the
    // countdown; the next dwell waits for the pointer to move, as after a
    // click of its own.
    if (buttonsByHand) {
        if (!sawButton_) Disarm(now, at, settings_.rearm);
        sawButton_ = true;
        counting_ = false;
        return DwellStep();
    }
    sawButton_ = false;
    if (typing_) {
        counting_ = false;
        return DwellStep();
    }
    if (!armed_) {
        if (Within(at, disarmedAt_, armDistance_)) return DwellStep();
        armed_ = true;
    }
    if (Before(now, quietUntil_)) {
        counting_ = false;
        return DwellStep();
    }
    if (hasHere_ && !here_.enabled && chooserButton == DwellType::kNone && !scrolling_) {
        counting_ = false;
        return DwellStep();
    }
    if (!counting_ || !Within(at, anchor_, Active().radius)) {
        counting_ = true;
        anchor_ = at;
        restStart_ = now;
        return DwellStep();
    }
    if (now - restStart_ < static_cast<unsigned>(Active().time)) return DwellStep();

    // The rest is complete.
    DwellStep step;
    step.at = at;
    if (scrolling_) {
        // While scrolling runs, a rest on the marker ends it; nothing is clicked.
        if (Within(at, marker_, settings_.radius)) step.kind = DwellStep::kEndScroll;
    } else if (chooserButton != DwellType::kNone) {
        // Over the chooser: the type is chosen, nothing is clicked.
        step.kind = DwellStep::kChoose;
        step.type = chooserButton;
        if (chooserButton != DwellType::kOff) Choose(chooserButton);
    } else if (Next() == DwellType::kDrag) {
        step.type = DwellType::kDrag;
        step.kind = dragHeld_ ? DwellStep::kDragRelease : DwellStep::kDragPress;
        dragHeld_ = !dragHeld_;
        if (!dragHeld_ && !settings_.sticky) chosen_ = DwellType::kNone;
    } else {
        step.kind = DwellStep::kClick;
        step.type = Next();
        if (!settings_.sticky) chosen_ = DwellType::kNone;
    }
    Disarm(now, at, settings_.rearm);
    return step;
}

void Dwell::Here(const DwellSettings* here) {
    const bool changed = (here != nullptr) != hasHere_ ||
                         (here != nullptr && (here->enabled != here_.enabled || here->time != here_.time ||
                                              here->radius != here_.radius));
    hasHere_ = here != nullptr;
    if (here != nullptr) here_ = *here;
    if (changed) counting_ = false;
}

double Dwell::Progress(unsigned now) const {
    if (!counting_ || Active().time <= 0) return 0.0;
    // While scrolling, only a rest on the marker counts down.
    if (scrolling_ && !Within(anchor_, marker_, settings_.radius)) return 0.0;
    const double done = static_cast<double>(now - restStart_) / Active().time;
    return done > 1.0 ? 1.0 : done;
}

}  // namespace control
