// Whether the settings file, read again after something in its folder
// changed, is pushed to the library.  Plain C++, so that the host tests
// cover it.
//
// Editors save in different ways: in place, by writing a new file and
// renaming it over the old one, by emptying the file first, or twice in a
// row.  Each step wakes the watch; the program waits until the folder has
// been quiet for a moment and then asks here.  The text last acted on is
// kept, so that a save that did not change the text (or a second write of
// the same text) reloads nothing, and a bad text is reported once.
#pragma once

#include <string>
#include <vector>

#include "settings_file.h"

namespace control {

enum class Reload {
    kNone,        // nothing to do: unchanged, gone for now, or empty while being written
    kApply,       // a good new text: push `config`
    kReject,      // a new text with `problems`: keep the running settings
    kUnreadable,  // asked for, but the file cannot be read
};

class SettingsWatch {
public:
    // `running`: the text of the settings now pushed.
    explicit SettingsWatch(std::string running = "") : last_(std::move(running)) {}

    // The file as read now; `readable` false when it could not be opened.
    // `asked`: the person asked for a reload, which reads the file even when
    // its text is the same.
    Reload Check(bool readable, const std::string& text, bool asked, Config* config,
                 std::vector<Problem>* problems);

private:
    std::string last_;
};

}  // namespace control
