// The two menu actions against fakes of the LCD and key drivers.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "config.h"
#include "menu/MENU.h"
#include "event_log.h"
#include "fake_board.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

TEST(MenuActions, VersionClearsTheScreenThenWaitsForAKey)
{
    fake_board::Reset(0);
    SysVersion();
    // Returning only after WaitAnyKeyDown is what keeps the blank screen up.
    EXPECT_THAT(event_log::Events(), ElementsAre("LcdClrScrn", "WaitAnyKeyDown"));
}

TEST(MenuActions, AuthorTouchesNothing)
{
    fake_board::Reset(0);
    SysAuthor();
    EXPECT_THAT(event_log::Events(), IsEmpty());   // no call, no register write
}

}  // namespace
