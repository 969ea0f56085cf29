// Which programs a profile is for: patterns of program file names or full
// paths, with * for any run of characters and ? for one, compared without
// regard to case.  Plain C++ on UTF-16 text, shared by the library (which
// matches its own program once per change of the profiles) and the
// controlling program (which shows what a program would get).
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace programs {

// Whether `path` (a full program path, 0-terminated within `pathChars`)
// matches `pattern` (`patternChars` units, not terminated).  A pattern with
// no backslash or slash is compared with the path's file name alone.
// Letters A-Z and the Latin-1 letters are compared without regard to case.
bool PatternMatches(const uint16_t* pattern, size_t patternChars, const uint16_t* path, size_t pathChars);

// The patterns of one profile as the shared state keeps them: each ended by
// a 0, the list by an empty one, within `listChars` units whatever the text
// holds.  Returns the index of the first pattern that `path` matches, -1 if
// none does.
int FirstMatch(const uint16_t* list, size_t listChars, const uint16_t* path, size_t pathChars);

}  // namespace programs
