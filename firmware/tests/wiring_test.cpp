// The board's wiring header checks at compile time that no two functions
// share a pin; here, that the check catches a clash when there is one.
#include <gtest/gtest.h>

#include "wiring.h"

namespace {

TEST(Wiring, TheClashCheckRefusesASharedPinOrOneBeyondPort0)
{
    constexpr unsigned board[] = {PINS_OF_ONE_FUNCTION};
    EXPECT_TRUE(WiringPinsDistinct(board));
    constexpr unsigned twice[] = {PIN_TXD0, PIN_LCD_SCE, PIN_KEY_1, PIN_LCD_SCE};
    EXPECT_FALSE(WiringPinsDistinct(twice));
    constexpr unsigned dacCsOnAKey[] = {PIN_KEY_1, PIN_KEY_1 + 3, PIN_DAC_CS - 4};
    EXPECT_FALSE(WiringPinsDistinct(dacCsOnAKey));
    constexpr unsigned beyond[] = {PIN_TXD0, PIN_LED + 1};
    EXPECT_FALSE(WiringPinsDistinct(beyond));
}

}  // namespace
