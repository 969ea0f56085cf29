// The two messages posted to the controlling program, and point packing.
#include "core/notify.h"

#include "support/sim_test.h"

namespace {

class NotifyTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        Shared().notifyWindow = ToHandle32(app);
    }
};

TEST(PackPoint, CutsEachCoordinateToSixteenBitsWithXLow) {
    EXPECT_EQ(0x00C8012Cu, PackPoint(300, 200));
    EXPECT_EQ(0xFFFEFFFFu, PackPoint(-1, -2));
    EXPECT_EQ(0x00051170u, PackPoint(70000, 5));
    EXPECT_EQ(0xFC18FF38u, PackPoint(-200, -1000));
    // The LPARAM form is zero-extended, as MAKELPARAM is.
    EXPECT_EQ(static_cast<LPARAM>(0xFFFEFFFFu), PointParam(-1, -2));
    EXPECT_EQ(MAKELPARAM(-1, -2), PointParam(-1, -2));
}

TEST_F(NotifyTest, PostsNotificationsAndCaptureMessagesWithThirtyTwoBitArguments) {
    PostNotify(NOTIFY_REQUEST, -1);
    PostNotify(NOTIFY_BUTTON, BUTTON_RIGHT_DBLCLK);
    PostCapture(WM_KEYDOWN, 0x41);
    PostCaptureMouse(WM_NCLBUTTONDOWN, {300, 200});
    EXPECT_EQ((std::vector<sim::Message>{{"app", WM_HOOK_NOTIFY, 25, 0xFFFFFFFFu},
                                         {"app", WM_HOOK_NOTIFY, 2, 9},
                                         {"app", WM_HOOK_CAPTURE, 0x100, 0x41},
                                         {"app", WM_HOOK_CAPTURE, 0xA1, 0x00C8012Cu}}),
              d().PostedTo(app));
}

TEST_F(NotifyTest, APostToAWindowThatIsGoneIsLostQuietly) {
    d().DestroyWindow(app);
    PostNotify(NOTIFY_SIGNAL, 0);
    EXPECT_EQ((sim::Lines{"post-lost app 0x432 0x8 0x0"}), d().TakeTrace());
}

}  // namespace
