// GPIO port 0 on its own (user manual, "GPIO"): outputs read back what they
// drive, inputs what the outside world puts on the pins.
#include <gtest/gtest.h>

#include "peripherals/port0.h"
#include "support/fake_services.h"

using namespace boardsim;
using boardsim::testing::ModelUnderTest;

namespace {

constexpr uint32_t IOPIN = 0x00, IOSET = 0x04, IODIR = 0x08, IOCLR = 0x0C;

}  // namespace

TEST(Port0, PinsReadOutputsAndWhatTheOutsideWorldPutsOnInputs)
{
    ModelUnderTest<Port0> p;
    int changes = 0;
    p.model.onOutputsChanged = [&] { ++changes; };
    p.model.setOutsideLevels(0xFFFFFFFF);
    p.write(IODIR, 0x80000000);
    p.write(IOSET, 0x80000000);
    EXPECT_EQ(p.read(IOPIN), 0xFFFFFFFFu);
    p.model.setOutsideLevels(~(1u << 18));
    EXPECT_EQ(p.read(IOPIN), ~(1u << 18));
    p.write(IOCLR, 0x80000000);
    EXPECT_EQ(p.read(IOPIN), ~((1u << 18) | 0x80000000u));
    EXPECT_EQ(p.read(IOSET), 0u);  // IOSET reads the output latch
    p.write(IODIR, 0x80040000);   // a pin made an output reads what it drives
    EXPECT_EQ(p.read(IOPIN) & (1u << 18), 0u);
    p.write(IOPIN, 1u << 18);     // writing IOPIN loads the latch
    EXPECT_NE(p.read(IOPIN) & (1u << 18), 0u);
    EXPECT_EQ(changes, 5);
}
