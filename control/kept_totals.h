// The totals WexControl keeps in its statistics file, against the totals
// the library counts while it runs.  Plain C++, so that the host tests
// cover it; the program reads and writes the file.
//
// A file another program has open cannot be read for a moment.  It is not
// taken for a bad one and moved aside: counting starts from zero, the file
// is read again before each save, and once it can be read its totals are
// added to what was counted meanwhile.  Until then nothing is written over
// it.  A file that reads but is not a statistics file is moved aside to a
// name of its own, never over an earlier one.
#pragma once

#include <functional>
#include <string>

#include "dwell.h"
#include "records.h"

namespace control {

// Everything the statistics file keeps: the library's totals, and the dwell
// clicks WexControl made.
struct Totals {
    HookStatistics library{};
    DwellCounts dwell;
};

// What reading the statistics file found.
enum class TotalsRead {
    kMissing,  // there is no file yet
    kRead,     // read, and good
    kLocked,   // there, but could not be read (in use by another program)
    kBad,      // read, but not a statistics file
};

class KeptTotals {
public:
    // The read at the start: the totals to push first.
    Totals Start(TotalsRead read, const Totals& fromFile);
    // Whether the file's totals are still to be read before the next save.
    bool Pending() const { return pending_; }
    // A read before a save, while Pending(): true when the file may be
    // written now.  The file's totals, read late, are kept here and added
    // to what is counted (Current), so that no count is lost.
    bool BeforeSave(TotalsRead read, const Totals& fromFile);
    // The totals to save or show: what was `counted`, plus the file's when
    // they were read late.
    Totals Current(const Totals& counted) const;

private:
    bool pending_ = false;
    bool offset_ = false;
    Totals fromFile_;
};

// The counters and the travel of both added (counters wrap, as the
// library's do); the reserved words are `kept`'s.
Totals AddTotals(const Totals& kept, const Totals& counted);

// Where a bad file is moved aside: FILE.bad, or FILE.bad.1, FILE.bad.2 and
// so on when that is taken; "" when a thousand are.
std::string FreeBadName(const std::string& file, const std::function<bool(const std::string&)>& exists);

}  // namespace control
