#include "kept_totals.h"

namespace control {

Totals KeptTotals::Start(TotalsRead read, const Totals& fromFile) {
    pending_ = read == TotalsRead::kLocked;
    return read == TotalsRead::kRead ? fromFile : Totals{};
}

bool KeptTotals::BeforeSave(TotalsRead read, const Totals& fromFile) {
    if (!pending_) return true;
    if (read == TotalsRead::kLocked) return false;
    pending_ = false;
    offset_ = read == TotalsRead::kRead;
    if (offset_) fromFile_ = fromFile;
    return true;
}

Totals KeptTotals::Current(const Totals& counted) const {
    return offset_ ? AddTotals(fromFile_, counted) : counted;
}

Totals AddTotals(const Totals& kept, const Totals& counted) {
    Totals sum = kept;
    HookStatistics& s = sum.library;
    const HookStatistics& c = counted.library;
    s.leftClicks += c.leftClicks;
    s.rightClicks += c.rightClicks;
    s.doubleClicks += c.doubleClicks;
    s.keystrokes += c.keystrokes;
    s.singleClickOpens += c.singleClickOpens;
    s.edgeWraps += c.edgeWraps;
    s.distance += c.distance;
    sum.dwell.left += counted.dwell.left;
    sum.dwell.doubles += counted.dwell.doubles;
    sum.dwell.right += counted.dwell.right;
    sum.dwell.middle += counted.dwell.middle;
    sum.dwell.drags += counted.dwell.drags;
    return sum;
}

std::string FreeBadName(const std::string& file, const std::function<bool(const std::string&)>& exists) {
    const std::string base = file + ".bad";
    if (!exists(base)) return base;
    for (int i = 1; i < 1000; ++i) {
        const std::string name = base + "." + std::to_string(i);
        if (!exists(name)) return name;
    }
    return "";
}

}  // namespace control
