// The menu engine with the real menu actions, the GUI and the LCD driver,
// driven through scripted key pins; the picture is what reaches the glass
// of a fake panel behind the registers.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "config.h"
#include "key.h"
#include "lcd/LcdHAL.h"
#include "lcd/GUI.h"
#include "menu/MENU.h"
#include "board_pins.h"
#include "event_log.h"
#include "fake_panel.h"
#include "fake_registers.h"
#include "glass_text.h"
#include "menu_session.h"

namespace {

using board_pins::KeysDown;
using Frame = std::vector<INT8U>;

constexpr std::uint32_t kUp = 0xFFFFFFFF;

Frame Snapshot() { return fake_panel::Glass(); }

bool Pixel(const Frame &frame, unsigned x, unsigned y) { return (frame[(y / 8) * 84 + x] >> (y % 8)) & 1; }

bool Blank(const Frame &frame)
{
    return std::all_of(frame.begin(), frame.end(), [](INT8U b) { return b == 0; });
}

// Dark pixels in the marker column (x 6..11) of the text row at y0..y0+7.
int MarkerPixels(const Frame &frame, unsigned y0)
{
    int dark = 0;
    for (unsigned x = 6; x < 12; x++)
    {
        for (unsigned y = y0; y < y0 + 8; y++)
        {
            dark += Pixel(frame, x, y);
        }
    }
    return dark;
}

constexpr unsigned kVersionRow = 16;
constexpr unsigned kAuthorRow = 24;
constexpr unsigned kSignalRow = 32;

TEST(Menu, ShowsTitleAndThreeEntriesMarkingTheFirst)
{
    StartMenu();
    Frame frame = Snapshot();
    EXPECT_EQ(GlassText(frame, 0), "Menu");
    EXPECT_EQ(GlassText(frame, kVersionRow), "> Version");
    EXPECT_EQ(GlassText(frame, kAuthorRow), "Author");
    EXPECT_EQ(GlassText(frame, kSignalRow), "Signal");
    EXPECT_EQ(GlassText(frame, 40), "");
}

TEST(Menu, KeysMoveTheMarkerAndKey4GoesBackToTheTop)
{
    StartMenu();
    fake_panel::ForgetBytes();
    DealKeys({KeysDown({2}), KeysDown({2}), kUp});
    // Only the marker's columns went to the panel, not the whole menu.
    EXPECT_LE(fake_panel::State().bytes.size(), 20u);
    Frame down = Snapshot();
    EXPECT_EQ(MarkerPixels(down, kVersionRow), 0);
    EXPECT_GT(MarkerPixels(down, kAuthorRow), 0);

    DealKeys({KeysDown({2}), kUp});
    EXPECT_EQ(MarkerPixels(Snapshot(), kAuthorRow), 0);
    EXPECT_GT(MarkerPixels(Snapshot(), kSignalRow), 0);
    down = Snapshot();
    DealKeys({KeysDown({2}), kUp});   // already on the last entry
    EXPECT_EQ(Snapshot(), down);

    DealKeys({KeysDown({1}), kUp});
    EXPECT_GT(MarkerPixels(Snapshot(), kAuthorRow), 0);

    DealKeys({KeysDown({1}), kUp});
    EXPECT_GT(MarkerPixels(Snapshot(), kVersionRow), 0);
    EXPECT_EQ(MarkerPixels(Snapshot(), kAuthorRow), 0);

    DealKeys({KeysDown({2}), kUp, KeysDown({4}), kUp});
    EXPECT_GT(MarkerPixels(Snapshot(), kVersionRow), 0);
    EXPECT_EQ(MarkerPixels(Snapshot(), kAuthorRow), 0);
}

TEST(Menu, AuthorLeavesTheScreenExactlyAsItWas)
{
    StartMenu();
    DealKeys({KeysDown({2}), kUp});
    Frame before = Snapshot();
    event_log::Clear();
    DealKeys({KeysDown({3}), kUp});
    EXPECT_EQ(Snapshot(), before);
    EXPECT_TRUE(event_log::Events().empty());   // no register written
}

TEST(Menu, VersionShowsABlankScreenUntilANewKeyPressThenTheMenu)
{
    StartMenu();
    Frame menu = Snapshot();
    std::vector<Frame> seen;
    // Two passes of DealKey see KEY_3 pressed; the action then sees it still
    // held, released, and a KEY_1 press and release, each for two samples a
    // pass apart. The frame is captured at every read.
    board_pins::Script script({KeysDown({3}), KeysDown({3}), KeysDown({3}), kUp, kUp, kUp, KeysDown({1}),
                               KeysDown({1}), kUp, kUp},
                              [&seen](std::size_t) { seen.push_back(Snapshot()); });
    script.Install();
    DealKey();
    DealKey();
    EXPECT_EQ(script.ReadsDone(), 10u);
    ASSERT_EQ(seen.size(), 10u);
    EXPECT_EQ(seen[0], menu);
    EXPECT_EQ(seen[1], menu);
    for (std::size_t read = 2; read < seen.size(); read++)
    {
        EXPECT_TRUE(Blank(seen[read])) << "read " << read;
    }
    EXPECT_EQ(Snapshot(), menu);
    EXPECT_THAT(fake_panel::State().breaches, ::testing::IsEmpty());
}

}  // namespace
