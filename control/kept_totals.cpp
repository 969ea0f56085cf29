#include "kept_totals.h"

namespace control {

HookStatistics KeptTotals::Start(TotalsRead read, const HookStatistics& fromFile) {
    pending_ = read == TotalsRead::kLocked;
    return read == TotalsRead::kRead ? fromFile : HookStatistics{};
}

bool KeptTotals::BeforeSave(TotalsRead read, const HookStatistics& fromFile) {
    if (!pending_) return true;
    if (read == TotalsRead::kLocked) return false;
    pending_ = false;
    offset_ = read == TotalsRead::kRead;
    if (offset_) fromFile_ = fromFile;
    return true;
}

HookStatistics KeptTotals::Totals(const HookStatistics& counted) const {
    return offset_ ? AddTotals(fromFile_, counted) : counted;
}

HookStatistics AddTotals(const HookStatistics& kept, const HookStatistics& counted) {
    HookStatistics sum = kept;
    sum.leftClicks += counted.leftClicks;
    sum.rightClicks += counted.rightClicks;
    sum.doubleClicks += counted.doubleClicks;
    sum.keystrokes += counted.keystrokes;
    sum.singleClickOpens += counted.singleClickOpens;
    sum.edgeWraps += counted.edgeWraps;
    sum.distance += counted.distance;
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
