// One left click opens list-view and tree-view items.
#include "stage_test.h"

#include <string>
#include <vector>

namespace {

// Item 0 of every view lies at (20, 10)-(120, 30) of its client area.
const std::vector<RECT> kItems = {{20, 10, 120, 30}, {20, 40, 120, 60}};

struct Settings {
    int desktop, folders, trees;
};

class SingleClickTest : public StageTest {
protected:
    void Enable(Settings s) {
        Shared().settings[0].singleClickDesktop = s.desktop;
        Shared().settings[0].singleClickFolders = s.folders;
        Shared().settings[0].singleClickTrees = s.trees;
    }

    // Screen point of a client point of a view.
    POINT At(HWND view, int x, int y) {
        const RECT& c = d().W(view).client;
        return {c.left + x, c.top + y};
    }

    // A left press at `from` and its release at `to`, as the pipeline hands
    // them over; the result is the release's.
    int Click(POINT from, POINT to) {
        d().cursor = from;
        EXPECT_EQ(0, SingleClickOpen(WM_LBUTTONDOWN)) << "a press is never consumed";
        d().cursor = to;
        return SingleClickOpen(WM_LBUTTONUP);
    }
    int Click(POINT at) { return Click(at, at); }

    // What ClickAtCursor posts to a view that asks for double-clicks.
    static std::vector<sim::Message> Opened(const std::string& view, POINT client) {
        const uint32_t at = static_cast<uint32_t>(MAKELPARAM(client.x, client.y));
        return {{view, WM_LBUTTONDOWN, 0, at},
                {view, WM_LBUTTONUP, 0, at},
                {view, WM_LBUTTONDBLCLK, 0, at},
                {view, WM_LBUTTONUP, 0, at}};
    }
};

TEST_F(SingleClickTest, AClickOnAFolderItemIsConsumedAndOpensIt) {
    sim::ShellView folder = sim::AddFolderWindow(d(), {100, 100, 500, 400}, kItems);
    Enable({0, 1, 0});
    d().TakeTrace();
    // The folder's list view starts at (104, 124): item 0 is under (154, 144).
    EXPECT_EQ(1, Click({154, 144}));
    const sim::Lines expected = {
        "send folder-list LVM_HITTEST (50, 20) flags=0xE",
        "spi get-foreground-lock winini=0",
        "spi set-foreground-lock 0 winini=0",
        "foreground folder-list",
        "spi set-foreground-lock 200000 winini=0",
        Send("folder-list", WM_NCHITTEST, 0, MAKELPARAM(154, 144)),
        "focus folder-list",
        Post("folder-list", WM_LBUTTONDOWN, 0, 0x140032),
        Post("folder-list", WM_LBUTTONUP, 0, 0x140032),
        Post("folder-list", WM_LBUTTONDBLCLK, 0, 0x140032),
        Post("folder-list", WM_LBUTTONUP, 0, 0x140032),
    };
    EXPECT_EQ(expected, d().TakeTrace());
    EXPECT_EQ(1u, Shared().statistics.singleClickOpens);
    EXPECT_EQ(0, Shared().suppressNextUp);
    (void)folder;
}

TEST_F(SingleClickTest, PressAndReleaseFivePixelsApartAreAClickSixAreADrag) {
    struct Case {
        int dx, dy;
        int consumed;
    };
    const Case cases[] = {
        {5, 5, 1}, {-5, -5, 1}, {5, -5, 1}, {6, 0, 0}, {-6, 0, 0}, {0, 6, 0}, {0, -6, 0}, {6, 6, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.dx) + "," + std::to_string(c.dy));
        SetUp();
        sim::ShellView folder = sim::AddFolderWindow(d(), {100, 100, 500, 400}, {{0, 0, 200, 100}});
        Enable({0, 1, 0});
        const POINT from = At(folder.list, 50, 50);
        const POINT to = {from.x + c.dx, from.y + c.dy};
        EXPECT_EQ(c.consumed, Click(from, to));
        EXPECT_EQ(static_cast<unsigned>(c.consumed), Shared().statistics.singleClickOpens);
        const POINT client = {50 + c.dx, 50 + c.dy};
        EXPECT_EQ(c.consumed ? Opened("folder-list", client) : std::vector<sim::Message>{},
                  d().PostedTo(folder.list));
    }
}

TEST_F(SingleClickTest, SettingsModifiersAndViewsDecideWhatOpens) {
    enum View { kDesktop, kFolder, kDialogList, kTree };
    struct Case {
        const char* name;
        View view;
        Settings settings;
        int modifier;  // a key held during the click, or 0
        bool onItem;
        int consumed;
    };
    const Case cases[] = {
        {"desktop item, desktop on", kDesktop, {1, 0, 0}, 0, true, 1},
        {"folder item, desktop on", kFolder, {1, 0, 0}, 0, true, 0},
        {"desktop item, folders on", kDesktop, {0, 1, 0}, 0, true, 0},
        {"folder item, folders on", kFolder, {0, 1, 0}, 0, true, 1},
        {"dialog list item, folders on", kDialogList, {0, 1, 0}, 0, true, 1},
        {"dialog list item, desktop on", kDialogList, {1, 0, 0}, 0, true, 0},
        {"desktop item, both on", kDesktop, {1, 1, 0}, 0, true, 1},
        {"folder item, both on", kFolder, {1, 1, 0}, 0, true, 1},
        {"folder item, only trees on", kFolder, {0, 0, 1}, 0, true, 0},
        {"desktop item, only trees on", kDesktop, {0, 0, 1}, 0, true, 0},
        {"tree item, only trees on", kTree, {0, 0, 1}, 0, true, 1},
        {"tree item, lists on", kTree, {1, 1, 0}, 0, true, 0},
        {"folder item with Ctrl", kFolder, {0, 1, 0}, VK_CONTROL, true, 0},
        {"folder item with Shift", kFolder, {0, 1, 0}, VK_SHIFT, true, 0},
        {"desktop item with Ctrl", kDesktop, {1, 0, 0}, VK_LCONTROL, true, 0},
        {"folder item with Alt", kFolder, {0, 1, 0}, VK_MENU, true, 1},
        {"tree item with Ctrl", kTree, {0, 0, 1}, VK_CONTROL, true, 1},
        {"tree item with Shift", kTree, {0, 0, 1}, VK_SHIFT, true, 1},
        {"folder empty space", kFolder, {1, 1, 1}, 0, false, 0},
        {"desktop empty space", kDesktop, {1, 1, 1}, 0, false, 0},
        {"tree empty space", kTree, {1, 1, 1}, 0, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        sim::AddShellDesktop(d(), kItems);
        HWND view = nullptr;
        switch (c.view) {
            case kDesktop: view = d().ByName("desktop-list"); break;
            case kFolder: view = sim::AddFolderWindow(d(), {100, 100, 500, 400}, kItems).list; break;
            case kDialogList: {
                HWND dialog = MakeWindow("dialog", {100, 100, 500, 400}, "#32770");
                view = sim::AddListView(d(), "dialog-list", dialog, {110, 130, 490, 390}, kItems);
                break;
            }
            case kTree: {
                HWND frame = MakeWindow("frame", {100, 100, 500, 400});
                view = sim::AddTreeView(d(), "tree", frame, {110, 130, 490, 390}, kItems);
                break;
            }
        }
        Enable(c.settings);
        if (c.modifier != 0) d().SetKeyDown(c.modifier, true);
        // A tree item's row reaches right of its label: any point the view
        // names an item for counts.
        const POINT client = c.onItem ? POINT{110, 50} : POINT{200, 200};
        EXPECT_EQ(c.consumed, Click(At(view, client.x, client.y)));
        EXPECT_EQ(static_cast<unsigned>(c.consumed), Shared().statistics.singleClickOpens);
        EXPECT_EQ(c.consumed ? Opened(d().NameOf(view), client) : std::vector<sim::Message>{},
                  d().PostedTo(view));
    }
}

TEST_F(SingleClickTest, ADoubleClickOpensAnItemOnceAndEmptySpaceNever) {
    struct Case {
        const char* name;
        POINT client;
        std::vector<int> results;
        unsigned opens;
    };
    const Case cases[] = {
        // The first click opens through its release; the double-click and
        // the release after it are consumed.
        {"item", {50, 20}, {0, 1, 0, 1, 1}, 1},
        {"empty space", {300, 200}, {0, 0, 0, 0, 0}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        sim::ShellView folder = sim::AddFolderWindow(d(), {100, 100, 500, 400}, kItems);
        Enable({1, 1, 1});
        d().cursor = At(folder.list, c.client.x, c.client.y);
        // Press, release, press, double-click, release, as Windows delivers
        // a double-click.
        const UINT sequence[] = {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK,
                                 WM_LBUTTONUP};
        std::vector<int> results;
        for (UINT id : sequence) results.push_back(SingleClickOpen(id));
        EXPECT_EQ(c.results, results);
        EXPECT_EQ(c.opens, Shared().statistics.singleClickOpens);
        EXPECT_EQ(c.opens ? Opened("folder-list", c.client) : std::vector<sim::Message>{},
                  d().PostedTo(folder.list));
        EXPECT_EQ(0, Shared().suppressNextUp);
    }
}

// The release after a consumed double-click is eaten in whichever program it
// comes (a window the open brought up), and nowhere else: a later press,
// anywhere, owns the next release.
TEST_F(SingleClickTest, TheDoubleClicksReleaseIsEatenWhereverItComesAndNoLaterOne) {
    struct Step {
        int process;
        UINT id;
        int consumed;
    };
    const int other = 2;  // after the controlling program and the shell
    const struct {
        const char* name;
        std::vector<Step> steps;
    } cases[] = {
        {"its release comes in another program",
         {{other, WM_LBUTTONUP, 1}, {other, WM_LBUTTONDOWN, 0}, {0, WM_LBUTTONUP, 0}}},
        {"its release is never seen", {{other, WM_LBUTTONDOWN, 0}, {0, WM_LBUTTONUP, 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        ASSERT_EQ(other, d().AddProcess("other"));
        d().LoadLibraryInto(other);
        sim::ShellView folder = sim::AddFolderWindow(d(), {100, 100, 500, 400}, kItems);
        Enable({1, 1, 1});
        d().cursor = At(folder.list, 50, 20);
        EXPECT_EQ(0, SingleClickOpen(WM_LBUTTONDOWN));
        EXPECT_EQ(1, SingleClickOpen(WM_LBUTTONDBLCLK));
        // Off the items, so that no release opens anything.
        d().cursor = At(folder.list, 300, 200);
        for (const Step& step : c.steps) {
            d().EnterProcess(step.process);
            EXPECT_EQ(step.consumed, SingleClickOpen(step.id)) << "process " << step.process << ", 0x" << std::hex
                                                               << step.id;
        }
        d().EnterProcess(0);
    }
}

TEST_F(SingleClickTest, AViewOfAnotherProcessIsNeverSentAnAddressOfThisOne) {
    // The release reaches this process (a window here has the capture) while
    // the cursor is over another program's views.
    const int other = d().AddProcess("other");
    HWND frame = MakeWindow("frame", {500, 100, 900, 400}, "SimWindow", other);
    sim::AddTreeView(d(), "tree", frame, {510, 130, 890, 390}, kItems, other);
    sim::ShellView folder = sim::AddFolderWindow(d(), {100, 100, 500, 400}, kItems, other);
    Enable({1, 1, 1});
    d().TakeTrace();
    EXPECT_EQ(0, Click(At(folder.list, 50, 20)));
    EXPECT_EQ(0, Click({560, 150}));
    for (const std::string& line : d().TakeTrace())
        EXPECT_EQ(std::string::npos, line.find("HITTEST")) << line;
    EXPECT_EQ(0u, Shared().statistics.singleClickOpens);
}

}  // namespace
