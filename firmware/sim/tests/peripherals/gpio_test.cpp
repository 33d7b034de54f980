// The GPIO block on its own (user manual, "GPIO"): outputs read back what
// they drive, inputs what the outside world puts on the pins; ports 1 to 3
// at 0x10 bytes a port, their levels kept by the model.
#include <gtest/gtest.h>

#include <limits>

#include "peripherals/gpio.h"
#include "support/fake_services.h"

using namespace boardsim;
using boardsim::testing::ModelUnderTest;

namespace {

constexpr uint32_t IOPIN = 0x00, IOSET = 0x04, IODIR = 0x08, IOCLR = 0x0C;
constexpr uint32_t port(unsigned n, uint32_t reg) { return 0x10 * n + reg; }

}  // namespace

TEST(Gpio, PinsReadOutputsAndWhatTheOutsideWorldPutsOnInputs)
{
    ModelUnderTest<Gpio> p;
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

TEST(Gpio, PortsOneToThreeHaveTheirOwnRegistersAndLevels)
{
    ModelUnderTest<Gpio> p;
    int changes = 0;
    p.model.onOutputsChanged = [&] { ++changes; };  // port 0's pin layer hears nothing of them
    EXPECT_EQ(p.model.registerName(port(1, IODIR), true), "IO1DIR");
    EXPECT_EQ(p.model.registerName(port(3, IOCLR), true), "IO3CLR");
    EXPECT_EQ(p.read(port(2, IOPIN)), 0xFFFFFFFFu);  // nothing drives them: they read high
    EXPECT_EQ(p.read(port(1, IOPIN)), 0xFFFF0003u);  // P1.2..P1.15 are no pins of the chip

    p.write(port(2, IODIR), 0x0000FF00);
    p.write(port(2, IOSET), 0x00005A00);
    EXPECT_EQ(p.read(port(2, IOPIN)), 0xFFFF5AFFu);
    p.write(port(2, IOCLR), 0x00001000);
    EXPECT_EQ(p.read(port(2, IOSET)), 0x00004A00u);
    p.model.setOutsideLevels(3, 0x0000FFFF);
    p.write(port(3, IOPIN), 0x80000000);  // loads the latch; an input still reads the outside
    EXPECT_EQ(p.read(port(3, IOPIN)), 0x0000FFFFu);
    p.write(port(3, IODIR), 0x80000001);
    EXPECT_EQ(p.read(port(3, IOPIN)), 0x8000FFFEu);

    // P1.26..31 given to the debug port: the GPIO registers no longer drive them.
    p.write(port(1, IODIR), 0xC0000000);
    p.write(port(1, IOCLR), 0xC0000000);
    EXPECT_EQ(p.read(port(1, IOPIN)), 0x3FFF0003u);
    p.model.gpioPins = [](unsigned) { return ~0xFC000000u; };
    EXPECT_EQ(p.read(port(1, IOPIN)), 0xFFFF0003u);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(p.read(IOPIN), 0xFFFFFFFFu);  // port 0 untouched
}

// IO0PIN reads the same until the first edge already on its way to port
// 0's pins (a byte's bits on TxD); the other ports have no such edges.
TEST(Gpio, PortZeroPinsAreSteadyUntilTheNextEdgeOnItsWay)
{
    ModelUnderTest<Gpio> p;
    p.model.nextPinEdge = [] { return 0.125; };
    EXPECT_EQ(p.model.steadyUntil(IOPIN), 0.125);
    EXPECT_EQ(p.model.steadyUntil(IOSET), std::numeric_limits<double>::infinity());
    EXPECT_EQ(p.model.steadyUntil(port(2, IOPIN)), std::numeric_limits<double>::infinity());
}
