// Two processes with the library loaded see one settings record and one
// statistics record: what one pushes, the other reads.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "e2e_support.h"

namespace {

using e2e::kChildSaw;

// The child: reads both records and compares them with the patterns of
// seed, then pushes the patterns of seed + 1 for the parent to read.
int RunChild(uint32_t seed) {
    e2e::Library lib;
    return e2e::ReadRecordsAndPushNext(lib, seed);
}

TEST(SharedRecords, AnotherProcessReadsWhatThisOnePushedAndBack) {
    e2e::Library lib;
    ASSERT_TRUE(lib.Resolve(::LoadLibraryA(e2e::DllPath().c_str())));
    const uint32_t seed = 1234;
    const HookSettings settings = e2e::PatternSettings(seed);
    const HookStatistics statistics = e2e::PatternStatistics(seed);
    lib.UpdateSettings(&settings);
    lib.SetStatistics(&statistics);

    HANDLE child = e2e::StartSelf("--child=" + std::to_string(seed));
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(e2e::WaitExit(child), kChildSaw);

    // The child's pushes landed in the one shared copy that this process
    // still maps.
    HookSettings after;
    HookStatistics afterStatistics;
    lib.GetSettings(&after);
    lib.GetStatistics(&afterStatistics);
    const HookSettings wantSettings = e2e::PatternSettings(seed + 1);
    const HookStatistics wantStatistics = e2e::PatternStatistics(seed + 1);
    EXPECT_TRUE(e2e::SameBytes(&after, &wantSettings, sizeof after));
    EXPECT_TRUE(e2e::SameBytes(&afterStatistics, &wantStatistics, sizeof afterStatistics));
    EXPECT_EQ(afterStatistics.distance, 1.5 + seed + 1);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string child = e2e::Argument(argc, argv, "child");
    if (!child.empty()) return RunChild(static_cast<uint32_t>(std::strtoul(child.c_str(), nullptr, 10)));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
