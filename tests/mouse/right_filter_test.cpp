// Right and middle buttons acting as the left button.
#include "stage_test.h"

#include <string>
#include <vector>

namespace {

class RightFilterTest : public StageTest {
protected:
    // Calls the filter with the cursor at `at`; the result and what it did.
    int Filter(UINT id, POINT at) {
        d().cursor = at;
        const MOUSEHOOKSTRUCT r = Record(at.x, at.y);
        return RightButtonFilter(id, &r);
    }
    // Only the injected input, in order.
    std::vector<std::string> Injected() {
        std::vector<std::string> out;
        for (const std::string& line : d().TakeTrace()) {
            if (line.rfind("mouse ", 0) == 0) out.push_back(line);
        }
        return out;
    }
};

const std::string kDown = "mouse LEFTDOWN";
const std::string kUp = "mouse LEFTUP";

TEST_F(RightFilterTest, WherePressesAndReleasesBecomeLeftOnes) {
    struct Case {
        const char* name;
        int hit;           // what the window answers under the cursor
        bool shellParent;  // the window's parent is a shell view
        bool consumed;
    };
    const Case cases[] = {
        {"client area", HTCLIENT, false, true},     {"sizing border", HTBOTTOMRIGHT, false, true},
        {"scroll bar", HTVSCROLL, false, true},     {"nowhere", HTNOWHERE, false, true},
        {"caption", HTCAPTION, false, false},       {"system menu", HTSYSMENU, false, false},
        {"menu bar", HTMENU, false, false},         {"minimise", HTMINBUTTON, false, false},
        {"maximise", HTMAXBUTTON, false, false},    {"close", HTCLOSE, false, false},
        {"shell item view", HTCLIENT, true, false},
    };
    const UINT presses[] = {WM_RBUTTONDOWN, WM_RBUTTONDBLCLK, WM_MBUTTONDOWN, WM_MBUTTONDBLCLK};
    const UINT releases[] = {WM_RBUTTONUP, WM_MBUTTONUP};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        HWND top = MakeWindow("top", {100, 100, 500, 400}, c.shellParent ? "SHELLDLL_DefView" : "Frame");
        sim::WindowSpec child;
        child.name = "child";
        child.parent = top;
        child.rect = child.client = {150, 150, 450, 350};
        child.style = WS_CHILD | WS_VISIBLE;
        HWND target = d().CreateWindow(child);
        d().W(target).hitRegions.push_back({child.rect, c.hit});
        const POINT at = {200, 200};
        for (UINT id : presses) {
            SCOPED_TRACE(sim::Hex(id));
            EXPECT_EQ(c.consumed ? 1 : 0, Filter(id, at));
            EXPECT_EQ(c.consumed ? std::vector<std::string>{kDown} : std::vector<std::string>{}, Injected());
        }
        // Each button's presses are counted, and each of its releases pairs
        // with one of them, wherever it comes; a release beyond them stays
        // the real button's.
        for (UINT id : releases) {
            SCOPED_TRACE(sim::Hex(id));
            for (int release = 0; release < 3; ++release) {
                const bool pairs = c.consumed && release < 2;
                EXPECT_EQ(pairs ? 1 : 0, Filter(id, release == 1 ? POINT{200, 110} : at)) << release;
                EXPECT_EQ(pairs ? std::vector<std::string>{kUp} : std::vector<std::string>{}, Injected());
            }
        }
    }
    // Counted up to eight presses at once, more than anyone has pointing
    // devices: a count run wild in shared memory cannot become a flood of
    // releases.
    SetUp();
    MakeWindow("top", {100, 100, 500, 400});
    for (int press = 0; press < 10; ++press) Filter(WM_RBUTTONDOWN, {200, 200});
    d().TakeTrace();
    for (int release = 0; release < 9; ++release) {
        EXPECT_EQ(release < 8 ? 1 : 0, Filter(WM_RBUTTONUP, {200, 200})) << release;
    }
}

TEST_F(RightFilterTest, OnlyAWholeShellViewClassKeepsTheButton) {
    // A class that merely begins with the shell view's name, and one longer
    // than the buffer the filter reads it into.
    const std::string names[] = {"SHELLDLL_DefViewX", "SHELLDLL_DefView" + std::string(200, 'x'),
                                 "shelldll_defview"};
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        SetUp();
        HWND top = MakeWindow("top", {100, 100, 500, 400}, name);
        sim::WindowSpec child;
        child.parent = top;
        child.rect = child.client = {150, 150, 450, 350};
        child.style = WS_CHILD | WS_VISIBLE;
        d().CreateWindow(child);
        EXPECT_EQ(1, Filter(WM_RBUTTONDOWN, {200, 200}));
    }
}

TEST_F(RightFilterTest, ARightDoubleClickBecomesASecondLeftPress) {
    HWND w = MakeWindow("editor", {100, 100, 500, 400});
    (void)w;
    const UINT sequence[] = {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK, WM_RBUTTONUP};
    for (UINT id : sequence) EXPECT_EQ(1, Filter(id, {200, 200}));
    EXPECT_EQ((std::vector<std::string>{kDown, kUp, kDown, kUp}), Injected());
}

TEST_F(RightFilterTest, AReleaseAfterAnInjectedPressIsInjectedWhereverItHappens) {
    // Pressed in the client area, let go over the caption: the left press
    // the filter made is released, or the left button would stay down.
    HWND w = MakeWindow("editor", {100, 100, 500, 400});
    EXPECT_EQ(1, Filter(WM_RBUTTONDOWN, {200, 200}));
    EXPECT_EQ(1, Filter(WM_RBUTTONUP, {200, 110}));
    EXPECT_EQ((std::vector<std::string>{kDown, kUp}), Injected());
    EXPECT_FALSE(d().KeyDown(VK_LBUTTON));
    // Pressed and let go over the caption: the real button both times.
    EXPECT_EQ(0, Filter(WM_RBUTTONDOWN, {200, 110}));
    EXPECT_EQ(0, Filter(WM_RBUTTONUP, {200, 110}));
    // Pressed over the caption, let go in the client area: the window that
    // got the real press gets the real release, and no left release is
    // injected for a left press never made.
    EXPECT_EQ(0, Filter(WM_MBUTTONDOWN, {200, 110}));
    EXPECT_EQ(0, Filter(WM_MBUTTONUP, {200, 200}));
    EXPECT_EQ((std::vector<std::string>{}), Injected());
    (void)w;
}

TEST_F(RightFilterTest, WithNoWindowUnderTheCursorTheMappingStillApplies) {
    d().W(d().ByName("app")).visible = false;
    EXPECT_EQ(1, Filter(WM_MBUTTONDOWN, {900, 700}));
    EXPECT_EQ(1, Filter(WM_MBUTTONUP, {900, 700}));
    EXPECT_EQ((std::vector<std::string>{kDown, kUp}), Injected());
}

}  // namespace
