// Bringing a window forward and clicking what lies under the cursor.
#include "actions/click.h"

#include "action_test.h"

namespace {

using ClickTest = ActionTest;

TEST_F(ClickTest, ForceForegroundLiftsTheLockOnlyForTheCall) {
    HWND w = MakeWindow("w", {10, 10, 300, 300});
    d().foregroundLockTimeout = 12345;
    // As on Windows, a program in the background is refused while the lock
    // time-out runs.
    d().foregroundLockApplies = true;
    EXPECT_EQ(1, ForceForeground(w));
    EXPECT_EQ(ForegroundLines("w", 12345), d().TakeTrace());
    EXPECT_EQ(w, d().foreground);
    EXPECT_EQ(12345u, d().foregroundLockTimeout);
}

TEST_F(ClickTest, ForceForegroundWritesNoTimeOutWhenReadingItFails) {
    HWND w = MakeWindow("w", {10, 10, 300, 300});
    d().failGetForegroundLockTimeout = true;
    d().foregroundLockTimeout = 777;
    EXPECT_EQ(1, ForceForeground(w));
    EXPECT_EQ((sim::Lines{"spi get-foreground-lock winini=0", "foreground w"}), d().TakeTrace());
    EXPECT_EQ(777u, d().foregroundLockTimeout);
}

struct HitCase {
    const char* name;
    int hit;
    uint32_t classStyle;
    bool zoomed;
    sim::Lines after;  // what follows the activation and the hit test
};

TEST_F(ClickTest, EveryHitTestAnswerGetsItsMessages) {
    // Cursor at (150, 130): screen point 0x00820096; the client area starts at
    // (104, 124), so the client point is (46, 6) = 0x0006002E.
    const std::string s = "0x820096";
    const std::string c = "0x6002E";
    const HitCase cases[] = {
        {"client", HTCLIENT, 0, false, {"focus t", "post t 0x201 0x0 " + c, "post t 0x202 0x0 " + c}},
        {"client with double-clicks",
         HTCLIENT,
         CS_DBLCLKS,
         false,
         {"focus t", "post t 0x201 0x0 " + c, "post t 0x202 0x0 " + c, "post t 0x203 0x0 " + c,
          "post t 0x202 0x0 " + c}},
        {"caption", HTCAPTION, 0, false, {"post t 0xA3 0x2 " + s}},
        {"system menu", HTSYSMENU, 0, false, {"post t 0x112 0xF060 " + s}},
        {"menu",
         HTMENU,
         0,
         false,
         {"post t 0xA1 0x5 " + s, "post t 0xA2 0x5 " + s, "post t 0xA3 0x5 " + s, "post t 0xA2 0x5 " + s}},
        {"minimise", HTMINBUTTON, 0, false, {"post t 0x112 0xF020 " + s}},
        {"maximise", HTMAXBUTTON, 0, false, {"post t 0x112 0xF030 " + s}},
        {"maximise when zoomed", HTMAXBUTTON, 0, true, {"post t 0x112 0xF120 " + s}},
        {"close", HTCLOSE, 0, false, {"post t 0x112 0xF060 " + s}},
        {"sizing border", HTBOTTOMRIGHT, 0, false, {"post t 0xA1 0x0 " + s, "post t 0xA2 0x0 " + s}},
        {"vertical scroll bar", HTVSCROLL, 0, false, {"post t 0xA1 0x0 " + s, "post t 0xA2 0x0 " + s}},
        {"nowhere", HTNOWHERE, 0, false, {"post t 0xA1 0x0 " + s, "post t 0xA2 0x0 " + s}},
        {"error", HTERROR, 0, false, {"post t 0xA1 0x0 " + s, "post t 0xA2 0x0 " + s}},
    };
    for (const HitCase& k : cases) {
        SCOPED_TRACE(k.name);
        SetUp();
        HWND t = Target("t", k.hit);
        d().W(t).classStyle = k.classStyle;
        d().W(t).zoomed = k.zoomed;
        d().cursor = {150, 130};
        Fresh();
        ClickAtCursor();
        EXPECT_EQ(Join(Join(ForegroundLines("t"), {"send t 0x84 0x0 " + s}), k.after), d().TakeTrace());
        EXPECT_FALSE(AnyKeyDown());  // nothing goes through the input stream
    }
}

TEST_F(ClickTest, NegativeCoordinatesArePackedAsSixteenBits) {
    // A monitor left of and above the primary one.
    HWND t = Target("t", HTCAPTION, {-400, -300, -100, -50});
    d().cursor = {-250, -150};
    Fresh();
    ClickAtCursor();
    EXPECT_EQ(Join(ForegroundLines("t"), {"send t 0x84 0x0 0xFF6AFF06", "post t 0xA3 0x2 0xFF6AFF06"}),
              d().TakeTrace());
    d().W(t).hitRegions.clear();  // client area from (-396, -276)
    d().cursor = {-390, -270};
    ClickAtCursor();
    const sim::Lines trace = d().TakeTrace();
    ASSERT_EQ(8u, trace.size());
    EXPECT_EQ("send t 0x84 0x0 0xFEF2FE7A", trace[4]);
    EXPECT_EQ("post t 0x201 0x0 0x60006", trace[6]);
}

TEST_F(ClickTest, NoWindowUnderTheCursorDoesNothing) {
    d().cursor = {900, 700};
    ClickAtCursor();
    EXPECT_EQ(sim::Lines{}, d().TakeTrace());
}

}  // namespace
