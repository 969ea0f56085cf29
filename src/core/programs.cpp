#include "core/programs.h"

namespace programs {

namespace {

uint16_t Fold(uint16_t c) {
    if (c >= 'a' && c <= 'z') return static_cast<uint16_t>(c - 32);
    // The Latin-1 lower-case letters, but for the division sign and y with
    // diaeresis, whose capital lies elsewhere.
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<uint16_t>(c - 32);
    if (c == '/') return '\\';
    return c;
}

size_t Length(const uint16_t* text, size_t capacity) {
    size_t n = 0;
    while (n < capacity && text[n] != 0) ++n;
    return n;
}

}  // namespace

bool PatternMatches(const uint16_t* pattern, size_t patternChars, const uint16_t* path, size_t pathChars) {
    const size_t pathLength = Length(path, pathChars);
    bool wholePath = false;
    for (size_t i = 0; i < patternChars; ++i) {
        if (pattern[i] == '\\' || pattern[i] == '/') wholePath = true;
    }
    size_t from = 0;
    if (!wholePath) {
        for (size_t i = 0; i < pathLength; ++i) {
            if (path[i] == '\\' || path[i] == '/') from = i + 1;
        }
    }
    const uint16_t* text = path + from;
    const size_t textLength = pathLength - from;
    // The usual wildcard match with one back-track point: the last star
    // met, and where in the text it was last tried up to.  Each step moves
    // on in the text or the pattern, so it ends after at most
    // pattern times text steps.
    size_t p = 0, t = 0, star = patternChars, starText = 0;
    while (t < textLength) {
        if (p < patternChars && pattern[p] == '*') {
            star = p++;
            starText = t;
        } else if (p < patternChars && (pattern[p] == '?' || Fold(pattern[p]) == Fold(text[t]))) {
            ++p;
            ++t;
        } else if (star < patternChars) {
            p = star + 1;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (p < patternChars && pattern[p] == '*') ++p;
    return p == patternChars;
}

int FirstMatch(const uint16_t* list, size_t listChars, const uint16_t* path, size_t pathChars) {
    size_t at = 0;
    int index = 0;
    while (at < listChars && list[at] != 0) {
        const size_t length = Length(list + at, listChars - at);
        if (PatternMatches(list + at, length, path, pathChars)) return index;
        at += length + 1;
        ++index;
    }
    return -1;
}

}  // namespace programs
