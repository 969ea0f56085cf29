// Which profile a program gets, worked out as the library works it out
// (the same matcher), and the records the library is handed.  Plain C++
// without Win32 calls.
#pragma once

#include <string>
#include <vector>

#include "settings_file.h"

namespace control {

// The index of the first profile with a pattern that the program's full
// path matches, -1 when none does (the program gets the defaults).
// `pattern` (may be null) gets the pattern that matched.
int ProfileOf(const Config& config, const std::u16string& path, std::string* pattern = nullptr);
int ProfileOf(const Config& config, const std::string& pathUtf8, std::string* pattern = nullptr);

// What WexControl --which prints: the profile a program would get, and why.
std::string Which(const Config& config, const std::string& pathUtf8);

// The profiles as UpdateProfiles takes them, in the file's order.
std::vector<WexProfile> LibraryProfiles(const Config& config);

// The name shown for a program's profile: its name, or "defaults".
std::string ProfileName(const Config& config, int index);

}  // namespace control
