// The pin connect block on its own: two bits a pin, PINSEL0 for P0.0..15,
// PINSEL1 for P0.16..31.
#include <gtest/gtest.h>

#include "peripherals/pin_select.h"
#include "support/fake_services.h"

using namespace boardsim;
using boardsim::testing::ModelUnderTest;

TEST(PinSelect, EachPinsFunctionComesFromItsTwoBits)
{
    ModelUnderTest<PinSelect> p;
    EXPECT_EQ(p.model.port0Function(27), 1u);  // AIN0 after reset
    EXPECT_EQ(p.model.port0Function(31), 0u);
    p.write(0x00, 0x0000000D);  // P0.0 function 1, P0.1 function 3
    p.write(0x04, 0x20000002);  // P0.16 function 2, P0.30 function 2
    EXPECT_EQ(p.model.port0Function(0), 1u);
    EXPECT_EQ(p.model.port0Function(1), 3u);
    EXPECT_EQ(p.model.port0Function(2), 0u);
    EXPECT_EQ(p.model.port0Function(16), 2u);
    EXPECT_EQ(p.model.port0Function(30), 2u);
    EXPECT_EQ(p.model.port0Function(27), 0u);
}

// A value the user manual marks reserved is refused, naming the pin, and
// the register keeps what it held.
TEST(PinSelect, AReservedFunctionIsRefused)
{
    ModelUnderTest<PinSelect> p;
    try {
        p.write(0x04, 0x80000000);  // P0.31 is a GPIO pin only
        ADD_FAILURE() << "a reserved value was taken";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("P0.31 has no function 10"), std::string::npos) << e.what();
    }
    EXPECT_EQ(p.model.pinsel1(), 0x15400000u);
    EXPECT_THROW(p.write(0x00, 0x00000003u << 20), std::runtime_error);  // P0.10: 11 is reserved
}
