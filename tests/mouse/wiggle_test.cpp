// Shaking the mouse and bursts of clicks, reported with notification 9.
#include "stage_test.h"

#include <string>
#include <vector>

namespace {

class WiggleTest : public StageTest {
protected:
    void SetUp() override {
        StageTest::SetUp();
        Shared().settings[0].wiggleDetect = 1;
        Shared().settings[0].moveWiggleSensitivity = 10;   // more than 1000 ms
        Shared().settings[0].clickWiggleSensitivity = 12;  // more than 1000 ms
    }

    // The pipeline calls the detectors only while detection is on.
    void Move(int x, int y) {
        if (Shared().settings[0].wiggleDetect == 0) return;
        const MOUSEHOOKSTRUCT r = Record(x, y);
        DetectWiggle(WM_MOUSEMOVE, &r);
    }
    void Message(UINT id) {
        if (Shared().settings[0].wiggleDetect == 0) return;
        const MOUSEHOOKSTRUCT r = Record(0, 0);
        DetectWiggle(id, &r);
    }

    // The first move ever, at the origin, so that it leaves nothing in the
    // rings; the detector is then idle.
    void Prime() {
        Move(0, 0);
        ASSERT_EQ(2, Shared().moveWiggleState);
    }

    // Moves back and forth by 300 pixels (vigorous on a 1024-pixel screen),
    // `count` times, `gap` ms apart; returns the milliseconds since the first
    // of them at which each notification 9 was posted.
    std::vector<DWORD> Shake(int count, DWORD gap) {
        std::vector<DWORD> reports;
        const DWORD start = d().tick;
        for (int i = 0; i < count; ++i) {
            if (i > 0) d().Advance(gap);
            d().TakeTrace();
            Move(Shared().lastMovePoint.x == 400 ? 100 : 400, 300);
            if (d().TakeTrace() == sim::Lines{Notify(NOTIFY_WIGGLE, 0)}) reports.push_back(d().tick - start);
        }
        return reports;
    }

    // Left presses, each followed by its release, the first now and each
    // further one after its gap; returns the milliseconds since the first at
    // which notification 9 was posted.
    std::vector<DWORD> Clicks(const std::vector<DWORD>& gaps) {
        std::vector<DWORD> reports;
        const DWORD start = d().tick;
        for (size_t i = 0; i <= gaps.size(); ++i) {
            if (i > 0) d().Advance(gaps[i - 1]);
            d().TakeTrace();
            Message(WM_LBUTTONDOWN);
            Message(WM_LBUTTONUP);
            if (d().TakeTrace() == sim::Lines{Notify(NOTIFY_WIGGLE, 0)}) reports.push_back(d().tick - start);
        }
        return reports;
    }
};

TEST_F(WiggleTest, TheAverageOfFiveMovesIsComparedWithAOneTwentiethOfTheScreen) {
    // 1024 / 20 = 51: an average of 51 is calm, 52 vigorous, on either axis.
    struct Case {
        int deltas[5];
        bool vertical;
        int state;
    };
    const Case cases[] = {
        {{52, 52, 52, 52, 51}, false, 2},
        {{52, 52, 52, 52, 52}, false, 1},
        {{52, 52, 52, 52, 51}, true, 2},
        {{60, 60, 60, 60, 20}, true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.deltas[4]) + (c.vertical ? " vertical" : " horizontal"));
        SetUp();
        Prime();
        int at = 0;
        for (int i = 0; i < 5; ++i) {
            d().Advance(10);
            at = i % 2 == 0 ? at + c.deltas[i] : at - c.deltas[i];
            c.vertical ? Move(0, at) : Move(at, 0);
        }
        EXPECT_EQ(51, Shared().moveThreshold);
        EXPECT_EQ(c.state, Shared().moveWiggleState);
        EXPECT_TRUE(d().TakeTrace().empty());
    }
}

TEST_F(WiggleTest, ShakingReportsOnceAfterTheLimitAndSwitchesDetectionOff) {
    Prime();
    // Timing starts at the first vigorous move, and the report needs a
    // vigorous move more than 1000 ms later; none follows it.
    EXPECT_EQ(std::vector<DWORD>{1100}, Shake(20, 100));
    HookSettings read{};
    GetSettings(&read);
    EXPECT_EQ(0, read.wiggleDetect);
    EXPECT_EQ(2, Shared().moveWiggleState);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(0, Shared().moveDeltaX[i] + Shared().moveDeltaY[i]);
}

TEST_F(WiggleTest, SensitivityAndPausesSetWhenAShakeIsReported) {
    struct Case {
        const char* name;
        int sensitivity;
        DWORD gap;
        DWORD firstTick;
        std::vector<DWORD> reports;
    };
    const Case cases[] = {
        {"10: more than a second", 10, 100, 1000, {1100}},
        {"pauses of exactly 200 ms keep it going", 10, 200, 1000, {1200}},
        {"pauses of 201 ms end it at every move", 10, 201, 1000, {}},
        {"11: limit 0, the first vigorous move after the start", 11, 100, 1000, {100}},
        {"12: the limit wraps to a huge unsigned value", 12, 100, 1000, {}},
        {"a large sensitivity gives no overflow", 0x7FFFFFFF, 100, 1000, {}},
        {"across the wrap of the tick count", 10, 100, 0xFFFFFE00u, {1100}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        d().tick = c.firstTick;
        Shared().settings[0].moveWiggleSensitivity = c.sensitivity;
        Prime();
        d().Advance(c.gap);
        EXPECT_EQ(c.reports, Shake(40, c.gap));
    }
}

TEST_F(WiggleTest, ClickBurstsReportAtEveryClickPastTheLimit) {
    struct Case {
        const char* name;
        int sensitivity;
        std::vector<DWORD> gaps;
        std::vector<DWORD> reports;
    };
    const std::vector<DWORD> quarters(8, 250);
    const Case cases[] = {
        // The second click starts the burst at 250 ms.
        {"12: more than a second", 12, quarters, {1500, 1750, 2000}},
        {"clicks 499 ms apart keep it going", 12, {499, 499, 499, 499}, {1996}},
        {"clicks 500 ms apart never make a burst", 12, std::vector<DWORD>(8, 500), {}},
        {"a click 500 ms after the last ends a burst", 12, {250, 250, 250, 250, 500, 250, 250, 250}, {}},
        {"13: limit 0", 13, quarters, {500, 750, 1000, 1250, 1500, 1750, 2000}},
        {"14: never", 14, quarters, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        Shared().settings[0].clickWiggleSensitivity = c.sensitivity;
        EXPECT_EQ(c.reports, Clicks(c.gaps));
    }
}

TEST_F(WiggleTest, OnlyClientPressesAndDoubleClicksCount) {
    Shared().settings[0].clickWiggleSensitivity = 13;
    const UINT counted[] = {WM_LBUTTONDOWN,   WM_LBUTTONDBLCLK, WM_RBUTTONDOWN,
                            WM_RBUTTONDBLCLK, WM_MBUTTONDOWN,   WM_MBUTTONDBLCLK};
    const UINT ignored[] = {WM_LBUTTONUP,     WM_RBUTTONUP,  WM_MBUTTONUP,  WM_NCLBUTTONDOWN,
                            WM_NCRBUTTONDOWN, WM_MOUSEWHEEL, WM_NCMOUSEMOVE};
    for (UINT id : counted) {
        SCOPED_TRACE(sim::Hex(id));
        SetUp();
        Shared().settings[0].clickWiggleSensitivity = 13;
        Message(id);
        d().Advance(100);
        Message(id);
        d().Advance(100);
        Message(id);
        EXPECT_EQ(sim::Lines{Notify(NOTIFY_WIGGLE, 0)}, d().TakeTrace());
    }
    for (UINT id : ignored) {
        SCOPED_TRACE(sim::Hex(id));
        SetUp();
        Shared().settings[0].clickWiggleSensitivity = 13;
        for (int i = 0; i < 5; ++i) {
            Message(id);
            d().Advance(100);
        }
        EXPECT_TRUE(d().TakeTrace().empty());
        EXPECT_EQ(0, Shared().clickBurstState);
    }
}

TEST_F(WiggleTest, AClickReportRestartsAShakeInProgress) {
    Shared().settings[0].clickWiggleSensitivity = 13;
    Prime();
    d().Advance(100);
    Shake(3, 100);
    ASSERT_EQ(1, Shared().moveWiggleState);
    Clicks({100, 100});
    EXPECT_EQ(2, Shared().moveWiggleState);
    // The shake starts its timing again at its next vigorous move.
    d().Advance(100);
    EXPECT_EQ(std::vector<DWORD>{1100}, Shake(13, 100));
}

}  // namespace
