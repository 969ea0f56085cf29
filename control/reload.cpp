#include "reload.h"

namespace control {

Reload SettingsWatch::Check(bool readable, const std::string& text, bool asked, Config* config,
                            std::vector<Problem>* problems) {
    problems->clear();
    if (!readable) return asked ? Reload::kUnreadable : Reload::kNone;
    // An editor that empties the file before writing it leaves it empty for
    // a moment; a settings file emptied on purpose is read when asked for.
    if (!asked && (text.empty() || text == last_)) return Reload::kNone;
    last_ = text;
    const Config read = ParseSettings(text, problems);
    if (!problems->empty()) return Reload::kReject;
    *config = read;
    return Reload::kApply;
}

}  // namespace control
