#include "profiles.h"

#include "commands.h"
#include "core/programs.h"

namespace control {

namespace {

// A profile's patterns as the library keeps them: each ended by a 0, the
// list by an empty one.  The settings file keeps them within the space.
std::vector<uint16_t> PatternList(const Profile& profile) {
    std::vector<uint16_t> list;
    for (const std::string& pattern : profile.programs) {
        std::u16string wide;
        if (!Utf8ToUtf16(pattern, &wide)) continue;
        list.insert(list.end(), wide.begin(), wide.end());
        list.push_back(0);
    }
    list.push_back(0);
    return list;
}

}  // namespace

int ProfileOf(const Config& config, const std::u16string& path, std::string* pattern) {
    std::vector<uint16_t> text(path.begin(), path.end());
    text.push_back(0);
    for (size_t p = 0; p < config.profiles.size(); ++p) {
        const std::vector<uint16_t> list = PatternList(config.profiles[p]);
        const int match = programs::FirstMatch(list.data(), list.size(), text.data(), text.size());
        if (match < 0) continue;
        if (pattern != nullptr) *pattern = config.profiles[p].programs[static_cast<size_t>(match)];
        return static_cast<int>(p);
    }
    return -1;
}

int ProfileOf(const Config& config, const std::string& pathUtf8, std::string* pattern) {
    std::u16string wide;
    if (!Utf8ToUtf16(pathUtf8, &wide)) return -1;
    return ProfileOf(config, wide, pattern);
}

std::string Which(const Config& config, const std::string& pathUtf8) {
    std::string pattern;
    const int index = ProfileOf(config, pathUtf8, &pattern);
    if (index < 0) {
        return pathUtf8 + ": no profile names it (" + std::to_string(config.profiles.size()) +
               " tried): the defaults";
    }
    const Profile& profile = config.profiles[static_cast<size_t>(index)];
    std::string why = pathUtf8 + ": profile " + profile.name + " (line " + std::to_string(profile.line) +
                      "), its pattern \"" + pattern + "\"";
    if (index > 0) why += ", the first of " + std::to_string(index + 1) + " profiles in the file to match";
    return why + (profile.ownRows ? "; its own bindings" : "; the bindings of [bindings]");
}

std::vector<WexProfile> LibraryProfiles(const Config& config) {
    std::vector<WexProfile> out;
    for (const Profile& profile : config.profiles) {
        WexProfile record{};
        const std::vector<uint16_t> list = PatternList(profile);
        for (size_t i = 0; i < list.size() && i < WEXUTIL_PROGRAMS_CHARS; ++i) record.programs[i] = list[i];
        record.programs[WEXUTIL_PROGRAMS_CHARS - 1] = 0;
        record.settings = profile.settings;
        out.push_back(record);
    }
    return out;
}

std::string ProfileName(const Config& config, int index) {
    if (index < 0 || static_cast<size_t>(index) >= config.profiles.size()) return "defaults";
    return config.profiles[static_cast<size_t>(index)].name;
}

}  // namespace control
