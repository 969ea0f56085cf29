// The records the controlling program exchanges, and the state they live in.
#include "support/sim_test.h"

#include <cstring>
#include <thread>
#include <vector>

namespace {

class RecordsTest : public SimTest {};

TEST_F(RecordsTest, FirstLoadHandsOutZeroRecordsAndEmptyRememberedWindow) {
    HookSettings settings;
    std::memset(&settings, 0xAB, sizeof settings);
    GetSettings(&settings);
    const HookSettings zeroSettings{};
    EXPECT_EQ(0, std::memcmp(&settings, &zeroSettings, sizeof settings));

    HookStatistics stats;
    std::memset(&stats, 0xAB, sizeof stats);
    GetStatistics(&stats);
    const HookStatistics zeroStats{};
    EXPECT_EQ(0, std::memcmp(&stats, &zeroStats, sizeof stats));

    char className[40];
    char title[40];
    std::memset(className, 'x', sizeof className);
    std::memset(title, 'x', sizeof title);
    WexPoint point{5, 6};
    GetRememberedWindow(className, title, &point);
    EXPECT_STREQ("", className);
    EXPECT_STREQ("", title);
    EXPECT_EQ(0, point.x);
    EXPECT_EQ(0, point.y);
}

// The record comes back as pushed, reserved words included, except `held`
// of the rows in use: that is the library's own record of the presses it
// took, and a row never arrives held (it would eat the release of a press
// that reached its window).
TEST_F(RecordsTest, SettingsTravelWholeAndUnchangedReservedWordsIncluded) {
    uint32_t words[179];
    for (uint32_t i = 0; i < 179; ++i) words[i] = 0x9E3779B9u * (i + 1);
    for (int count : {29, 30}) {
        words[0x58 / 4] = static_cast<uint32_t>(count);
        HookSettings pushed;
        std::memcpy(&pushed, words, sizeof pushed);
        pushed.bindings[0].held = 1;
        UpdateSettings(&pushed);

        HookSettings back;
        GetSettings(&back);
        HookSettings expected = pushed;
        for (int i = 0; i < count; ++i) expected.bindings[i].held = 0;
        EXPECT_EQ(0, std::memcmp(&expected, &back, sizeof back));
        EXPECT_EQ(count == 29 ? pushed.bindings[29].held : 0, back.bindings[29].held);
        EXPECT_EQ(words[0x2C / 4], static_cast<uint32_t>(back.reserved1));
        EXPECT_EQ(words[0x2B4 / 4], static_cast<uint32_t>(back.reserved2));
    }
}

TEST_F(RecordsTest, StatisticsTravelWholeAndDistanceKeepsGrowingFromThePushedValue) {
    HookStatistics pushed{};
    pushed.leftClicks = 1;
    pushed.rightClicks = 2;
    pushed.doubleClicks = 3;
    pushed.keystrokes = 0xFFFFFFFFu;
    pushed.singleClickOpens = 5;
    pushed.edgeWraps = 6;
    pushed.reserved[0] = 0xDEADBEEF;
    pushed.reserved[3] = 0x12345678;
    pushed.distance = 1.5;
    SetStatistics(&pushed);

    HookStatistics back{};
    GetStatistics(&back);
    EXPECT_EQ(0, std::memcmp(&pushed, &back, sizeof back));

    AddTravel(3, 4);
    IncrementCounter(Shared().statistics.keystrokes);  // wraps to 0
    GetStatistics(&back);
    EXPECT_DOUBLE_EQ(8.5, back.distance);
    EXPECT_EQ(0u, back.keystrokes);
}

TEST_F(RecordsTest, NullAddressesFromTheControllingProgramAreIgnored) {
    HookSettings s = SettingsWith({{1, 252}});
    UpdateSettings(&s);
    UpdateSettings(nullptr);
    GetSettings(nullptr);
    GetStatistics(nullptr);
    SetStatistics(nullptr);
    GetRememberedWindow(nullptr, nullptr, nullptr);
    HookSettings back{};
    GetSettings(&back);
    EXPECT_EQ(1, back.bindingCount);
    EXPECT_EQ(1, Shared().runs[0].holdButtons);
}

TEST_F(RecordsTest, RememberedStringsAreAlwaysTerminatedWithinThirtyNineBytes) {
    std::memset(Shared().rememberedClass, 'C', sizeof Shared().rememberedClass);
    std::memcpy(Shared().rememberedTitle, "Save", 5);
    Shared().rememberedPoint = {-7, 12};
    char className[41];
    char title[41];
    std::memset(className, '#', sizeof className);
    std::memset(title, '#', sizeof title);
    WexPoint point{};
    GetRememberedWindow(className, title, &point);
    EXPECT_EQ(std::string(38, 'C'), std::string(className));
    EXPECT_EQ('#', className[39]);  // nothing written past the terminator
    EXPECT_STREQ("Save", title);
    EXPECT_EQ(-7, point.x);
    EXPECT_EQ(12, point.y);
}

struct HoldCase {
    int count;
    int expected;
};

class HoldButtonsTest : public SimTest, public ::testing::WithParamInterface<HoldCase> {};

TEST_P(HoldButtonsTest, ComesFromTheRowsInUseOnly) {
    HookSettings s = SettingsWith({{0, 252}, {0, 5}, {0, 250}});
    s.bindingCount = GetParam().count;
    Shared().runs[0].holdButtons = 0x70;  // stale bits must not survive
    UpdateSettings(&s);
    EXPECT_EQ(GetParam().expected, Shared().runs[0].holdButtons);
}

INSTANTIATE_TEST_SUITE_P(Counts, HoldButtonsTest,
                         ::testing::Values(HoldCase{3, 5}, HoldCase{2, 1}, HoldCase{0, 0}, HoldCase{-1, 0}));

TEST_F(RecordsTest, BindingCountAboveThirtyReadsNoRowPastTheTable) {
    // Where a 31st row's trigger would be, the record holds singleClickFolders;
    // give it a hold trigger so that a read past the table would show.
    HookSettings s{};
    s.bindings[29].trigger = 251;
    s.singleClickFolders = 252;
    for (int count : {31, 1000, 0x7FFFFFFF}) {
        s.bindingCount = count;
        UpdateSettings(&s);
        EXPECT_EQ(2, Shared().runs[0].holdButtons) << "bindingCount " << count;
    }
}

TEST_F(RecordsTest, UsedRowsNeverExceedTheTable) {
    Shared().settings[0].bindingCount = 1000;
    EXPECT_EQ(30, UsedBindingRows());
    Shared().settings[0].bindingCount = -5;
    EXPECT_EQ(0, UsedBindingRows());
    Shared().settings[0].bindingCount = 12;
    EXPECT_EQ(12, UsedBindingRows());
}

TEST_F(RecordsTest, ModifierMaskIsExact) {
    struct Case {
        std::vector<int> keys;
        int mask;
    } cases[] = {
        {{}, 0},
        {{VK_LWIN}, 0},
        {{VK_SHIFT}, 1},
        {{VK_CONTROL}, 2},
        {{VK_MENU}, 4},
        {{VK_SHIFT, VK_MENU}, 5},
        {{VK_SHIFT, VK_CONTROL}, 3},
        {{VK_SHIFT, VK_CONTROL, VK_MENU}, 7},
        {{VK_RCONTROL, VK_LMENU}, 6},  // left and right forms are not told apart
        {{VK_CAPITAL, 'A', VK_LBUTTON}, 0},
    };
    for (const Case& c : cases) {
        d().keyState = {};
        for (int vk : c.keys) d().SetKeyDown(vk, true);
        EXPECT_EQ(c.mask, GetModifierMask()) << "case with " << c.keys.size() << " keys";
    }
}

TEST_F(RecordsTest, CountersAndTravelLoseNoUpdateUnderConcurrentWriters) {
    constexpr int kThreads = 4;
    constexpr int kEach = 20000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < kEach; ++i) {
                IncrementCounter(Shared().statistics.leftClicks);
                AddTravel(1, 2);
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(static_cast<unsigned>(kThreads * kEach), Shared().statistics.leftClicks);
    EXPECT_DOUBLE_EQ(3.0 * kThreads * kEach, LoadDistance());
}

}  // namespace
