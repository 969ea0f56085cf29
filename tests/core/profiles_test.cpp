// Per-program profiles: which programs a pattern names, which profile each
// process takes and when it looks again, and presses whose releases come in
// another program, under another profile.
#include "support/sim_test.h"

#include "core/programs.h"

#include <functional>
#include <string>
#include <vector>

namespace {

std::vector<uint16_t> Utf16(const std::string& text) {
    std::vector<uint16_t> out;
    for (unsigned char c : text) out.push_back(c);
    return out;
}

// A profile for the programs of `patterns` ('|' between them), with `record`.
WexProfile ProfileFor(const std::string& patterns, const HookSettings& record) {
    WexProfile p{};
    size_t at = 0;
    for (char c : patterns) p.programs[at++] = c == '|' ? 0 : static_cast<unsigned char>(c);
    p.settings = record;
    return p;
}

TEST(Programs, PatternsMatchNamesPathsWildcardsAndCase) {
    struct Case {
        const char* patterns;  // '|' between patterns
        const char* path;
        int match;             // the first pattern that matches, -1 none
    };
    const Case cases[] = {
        {"notepad.exe", "C:\\Windows\\notepad.exe", 0},
        {"NOTEPAD.EXE", "c:\\windows\\Notepad.exe", 0},
        {"notepad.exe", "C:\\Windows\\notepad.exe.bak", -1},
        {"pad.exe", "C:\\Windows\\notepad.exe", -1},  // a name is the whole file name
        {"note*.exe", "C:\\Windows\\notepad.exe", 0},
        {"n?tepad.exe", "C:\\Windows\\notepad.exe", 0},
        {"n?tepad.exe", "C:\\Windows\\ntepad.exe", -1},
        {"*", "C:\\Windows\\notepad.exe", 0},
        {"*a*a*a*b", "C:\\x\\aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", -1},  // back-tracking ends
        {"C:\\Windows\\notepad.exe", "c:\\windows\\NOTEPAD.exe", 0},
        {"C:\\Windows\\notepad.exe", "D:\\Windows\\notepad.exe", -1},
        {"C:\\Program Files\\*\\app.exe", "C:\\Program Files\\Maker\\app.exe", 0},
        {"C:/Tools/*.exe", "C:\\Tools\\run.exe", 0},  // either slash
        {"*\\Tools\\*", "C:\\Other\\run.exe", -1},
        {"calc.exe|word.exe|*.exe", "C:\\Office\\word.exe", 1},
        {"\xC9" "DIT.EXE", "C:\\x\\\xE9" "dit.exe", 0},  // Latin-1 letters fold too
        {"", "C:\\x\\a.exe", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.patterns) + " against " + c.path);
        const WexProfile p = ProfileFor(c.patterns, HookSettings{});
        std::vector<uint16_t> path = Utf16(c.path);
        path.push_back(0);
        EXPECT_EQ(c.match, programs::FirstMatch(p.programs, WEXUTIL_PROGRAMS_CHARS, path.data(), path.size()));
    }
    // A list that fills its whole space with no end is read within it.
    WexProfile full{};
    for (uint16_t& c : full.programs) c = 'a';
    const uint16_t path[] = {'a', 0};
    EXPECT_EQ(-1, programs::FirstMatch(full.programs, WEXUTIL_PROGRAMS_CHARS, path, 2));
}

class ProfilesTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        editor = d().AddProcess("editor");
        viewer = d().AddProcess("viewer");
        editorWin = MakeWindow("editorWin", {0, 0, 400, 400}, "SimWindow", editor);
        viewerWin = MakeWindow("viewerWin", {500, 0, 900, 400}, "SimWindow", viewer);
        ASSERT_EQ(1, InstallHook(app, 0));
        d().LoadLibraryInto(editor);
        d().LoadLibraryInto(viewer);
        Focus(editorWin);
        d().TakeTrace();
    }
    int Push(const HookSettings& defaults, const std::vector<WexProfile>& profiles) {
        return UpdateProfiles(&defaults, profiles.data(), static_cast<int>(profiles.size()));
    }
    void Focus(HWND w) {
        d().focus = w;
        d().foreground = w;
    }
    void Mouse(DWORD flags, POINT at) {
        d().cursor = at;
        os::mouse_event(flags, 0, 0, 0, 0);
        d().Pump();
    }
    void Key(int vk, bool up) {
        d().KeyboardInput(vk, up);
        d().Pump();
    }
    // The notifications posted since the last call, but for the buttons'.
    sim::Lines Notes() {
        const std::string note = "post app " + sim::Hex(WM_HOOK_NOTIFY) + " ";
        const std::string button = note + sim::Hex(NOTIFY_BUTTON) + " ";
        sim::Lines out;
        for (const std::string& line : d().TakeTrace()) {
            if (line.rfind(note, 0) == 0 && line.rfind(button, 0) != 0) out.push_back(line);
        }
        return out;
    }
    int editor = 0, viewer = 0;
    HWND editorWin = nullptr, viewerWin = nullptr;
    static constexpr POINT kInEditor{200, 200};
    static constexpr POINT kInViewer{700, 200};
};

// The middle button gives each program its profile's row: the first profile
// whose pattern matches wins, a program none matches keeps the default, and
// a process started after the profiles came takes its own at its first
// event.  The program's path is read once in each process, whatever the
// number of events and of changes.
TEST_F(ProfilesTest, EachProgramTakesTheFirstProfileThatNamesIt) {
    const HookSettings defaults = SettingsWith({{ACTION_NOTIFY_8, VK_MBUTTON}});
    const HookSettings command = SettingsWith({{ACTION_NOTIFY_0, VK_MBUTTON}});
    const HookSettings parameter = SettingsWith({{ACTION_NOTIFY_10, VK_MBUTTON, 0, 7}});
    const std::string signal = Notify(NOTIFY_SIGNAL, 0);
    const std::string commandNote = Notify(NOTIFY_COMMAND, static_cast<uint32_t>(-1));
    const std::string parameterNote = Notify(NOTIFY_PARAMETER, 7);
    struct Case {
        const char* name;
        std::vector<WexProfile> profiles;
        std::string editorGets, viewerGets;
    };
    const Case cases[] = {
        {"no profiles", {}, signal, signal},
        {"the viewer's", {ProfileFor("viewer.exe", command)}, signal, commandNote},
        {"first match wins", {ProfileFor("VIEW*", command), ProfileFor("*", parameter)}, parameterNote, commandNote},
        {"by full path", {ProfileFor("C:\\Programs\\editor.exe", parameter)}, parameterNote, signal},
        {"other settings, default rows", {ProfileFor("viewer.exe", [] {
                                               HookSettings s{};
                                               s.singleClickFolders = 1;
                                               return s;
                                           }())},
         signal, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        // The last case sends a profile with no rows: the library takes the
        // profile's own table (the controlling program copies the default's
        // rows into a profile that has none of its own).
        ASSERT_EQ(static_cast<int>(c.profiles.size()), Push(defaults, c.profiles));
        for (int round = 0; round < 3; ++round) {
            Mouse(MOUSEEVENTF_MIDDLEDOWN, kInEditor);
            Mouse(MOUSEEVENTF_MIDDLEUP, kInEditor);
            Mouse(MOUSEEVENTF_MIDDLEDOWN, kInViewer);
            Mouse(MOUSEEVENTF_MIDDLEUP, kInViewer);
            sim::Lines expected;
            for (const std::string& note : {c.editorGets, c.viewerGets}) {
                if (!note.empty()) expected.push_back(note);
            }
            EXPECT_EQ(expected, Notes()) << "round " << round;
        }
        EXPECT_EQ(2, d().osCalls["GetModuleFileNameW"]) << "each process reads its path once";
    }
    // A program started after the profiles came.
    SetUp();
    Push(defaults, {ProfileFor("late.exe", command)});
    const int late = d().AddProcess("late");
    MakeWindow("lateWin", {0, 500, 400, 700}, "SimWindow", late);
    d().LoadLibraryInto(late);
    d().TakeTrace();
    Mouse(MOUSEEVENTF_MIDDLEDOWN, {200, 600});
    EXPECT_EQ(sim::Lines{commandNote}, Notes());
}

// A press in one program whose release comes in another, under another
// profile, ends the row the press started: keys let up, nothing left held;
// and so when the profiles change between the press and the release.
TEST_F(ProfilesTest, APressEndsWhereverItsReleaseComes) {
    const HookSettings none = SettingsWith({{ACTION_NOTIFY_8, 'Q'}});
    HookSettings keyboardMouse{};
    keyboardMouse.keyboardMouse = 1;
    keyboardMouse.keyboardMouseStep = 10;
    struct Case {
        const char* name;
        HookSettings editorRecord;  // the editor's profile; the viewer keeps `none`
        std::function<void()> press, release;
        std::string downBetween;  // keys and buttons down between the two
        bool changeBetween;       // the profiles pushed again, the editor's row kept
    };
    const Case cases[] = {
        {"button row", SettingsWith({{ACTION_CUT, VK_RBUTTON}}),
         [this] { Mouse(MOUSEEVENTF_RIGHTDOWN, kInEditor); },
         [this] { Mouse(MOUSEEVENTF_RIGHTUP, kInViewer); }, "0x2 0x11 0x58 ", false},
        {"chord", SettingsWith({{ACTION_COPY, TRIGGER_CHORD_LEFT_RIGHT}}),
         [this] {
             Mouse(MOUSEEVENTF_LEFTDOWN, kInEditor);
             Mouse(MOUSEEVENTF_RIGHTDOWN, kInEditor);
             Mouse(MOUSEEVENTF_LEFTUP, kInEditor);
         },
         [this] { Mouse(MOUSEEVENTF_RIGHTUP, kInViewer); }, "0x2 0x11 0x43 ", false},
        {"key row", SettingsWith({{ACTION_PASTE, 'F'}}), [this] { Key('F', false); },
         [this] {
             Focus(viewerWin);
             Key('F', true);
         },
         "0x11 0x46 0x56 ", false},
        {"key row, profiles pushed again between", SettingsWith({{ACTION_PASTE, 'F'}}),
         [this] { Key('F', false); },
         [this] {
             Focus(viewerWin);
             Key('F', true);
         },
         "0x11 0x46 0x56 ", true},
        {"keyboard mouse's click key", keyboardMouse,
         [this] {
             d().SetNumLock(true);
             Key(VK_NUMPAD5, false);
         },
         [this] {
             Focus(viewerWin);
             Key(VK_NUMPAD5, true);
         },
         "0x1 0x65 ", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        const std::vector<WexProfile> profiles = {ProfileFor("editor.exe", c.editorRecord)};
        Push(none, profiles);
        c.press();
        EXPECT_EQ(c.downBetween, Down());
        if (c.changeBetween) Push(none, profiles);
        c.release();
        d().Pump();
        EXPECT_EQ("", Down());
        for (int t = 0; t < kTables; ++t) {
            for (int i = 0; i < WEXUTIL_BINDING_ROWS; ++i) EXPECT_EQ(0u, Shared().runs[t].rowHeld[i]) << t << " " << i;
        }
    }
}

// A hold row of the program where the press came runs when the controlling
// program calls back, though that program's table is not its own.
TEST_F(ProfilesTest, AHoldRunsTheRowOfTheProgramWhereThePressCame) {
    Push(SettingsWith({{ACTION_NOTIFY_8, TRIGGER_HOLD_RIGHT}}),
         {ProfileFor("viewer.exe", SettingsWith({{ACTION_NOTIFY_0, TRIGGER_HOLD_RIGHT}}))});
    Mouse(MOUSEEVENTF_RIGHTDOWN, kInViewer);
    Notes();
    EXPECT_EQ(1, PressAndHoldCallBack(VK_RBUTTON));
    EXPECT_EQ(sim::Lines{Notify(NOTIFY_COMMAND, static_cast<uint32_t>(-1))}, Notes());
    EXPECT_EQ("", Down());
}

// Bad input from the controlling program: nothing read from a null address,
// counts clamped.
TEST_F(ProfilesTest, UpdateProfilesTakesBadInputSafely) {
    const HookSettings defaults = SettingsWith({{ACTION_NOTIFY_8, VK_MBUTTON}});
    std::vector<WexProfile> many(WEXUTIL_PROFILES + 4, ProfileFor("x.exe", defaults));
    EXPECT_EQ(-1, UpdateProfiles(nullptr, many.data(), 1));
    EXPECT_EQ(-1, UpdateProfiles(&defaults, nullptr, 2));
    EXPECT_EQ(0, UpdateProfiles(&defaults, nullptr, 0));
    EXPECT_EQ(0, UpdateProfiles(&defaults, many.data(), -5));
    EXPECT_EQ(WEXUTIL_PROFILES, UpdateProfiles(&defaults, many.data(), static_cast<int>(many.size())));
    EXPECT_EQ(static_cast<uint32_t>(WEXUTIL_PROFILES), Shared().profileCount);
}

}  // namespace
