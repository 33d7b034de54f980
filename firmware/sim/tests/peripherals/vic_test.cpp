// The VIC on its own, at its register offsets (user manual, "Vectored
// Interrupt Controller"; ARM PL190): routing to IRQ or FIQ, the vectored
// slots' priorities, the default vector, software interrupts, nesting, and
// the protection of the registers from User mode.
#include <gtest/gtest.h>

#include "peripherals/vic.h"
#include "support/fake_services.h"

using namespace boardsim;
using boardsim::testing::ModelUnderTest;

namespace {

constexpr uint32_t IRQStatus = 0x000, FIQStatus = 0x004, RawIntr = 0x008, IntSelect = 0x00C, IntEnable = 0x010,
                   IntEnClr = 0x014, SoftInt = 0x018, SoftIntClear = 0x01C, Protection = 0x020, VectAddr = 0x030,
                   DefVectAddr = 0x034, VectAddr0 = 0x100, VectCntl0 = 0x200;
constexpr unsigned TIMER0 = 4, TIMER1 = 5, UART0 = 6, EINT0 = 14;

struct VicUnderTest : ModelUnderTest<Vic> {
    VicUnderTest()
    {
        model.driveCore([this](bool i, bool f) {
            irq = i;
            fiq = f;
        });
    }
    void slot(unsigned n, unsigned channel, uint32_t handler)
    {
        write(VectAddr0 + 4 * n, handler);
        write(VectCntl0 + 4 * n, 0x20 | channel);
    }
    bool irq = false;
    bool fiq = false;
};

}  // namespace

TEST(Vic, ARequestReachesIrqOrFiqOnlyWhenEnabledAndTheStatusRegistersShowIt)
{
    VicUnderTest v;
    v.model.setLine(TIMER0, true);
    EXPECT_EQ(v.read(RawIntr), 1u << TIMER0);
    EXPECT_EQ(v.read(IRQStatus), 0u);
    EXPECT_FALSE(v.irq);
    v.write(IntEnable, 1u << TIMER0);
    EXPECT_EQ(v.read(IRQStatus), 1u << TIMER0);
    EXPECT_TRUE(v.irq);
    v.write(IntSelect, 1u << TIMER0);  // now an FIQ source
    EXPECT_FALSE(v.irq);
    EXPECT_TRUE(v.fiq);
    EXPECT_EQ(v.read(FIQStatus), 1u << TIMER0);
    EXPECT_EQ(v.read(IRQStatus), 0u);
    v.write(IntEnClr, 1u << TIMER0);  // writing 1 disables; IntEnable keeps the others
    EXPECT_FALSE(v.fiq);
    EXPECT_EQ(v.read(IntEnable), 0u);
    v.model.setLine(TIMER0, false);
    EXPECT_EQ(v.read(RawIntr), 0u);
}

TEST(Vic, VectAddrGivesTheHighestPriorityActiveSlotAndHoldsLowerOnesUntilWritten)
{
    VicUnderTest v;
    v.slot(0, UART0, 0x1000);
    v.slot(3, TIMER0, 0x3000);
    v.write(DefVectAddr, 0xD000);
    v.write(IntEnable, (1u << UART0) | (1u << TIMER0) | (1u << TIMER1));
    v.model.setLine(TIMER0, true);
    v.model.setLine(TIMER1, true);  // in no slot: non-vectored
    ASSERT_TRUE(v.irq);
    EXPECT_EQ(v.read(VectAddr), 0x3000u);  // the handler of slot 3
    EXPECT_FALSE(v.irq);  // same and lower priorities wait
    v.model.setLine(UART0, true);  // slot 0 is higher: it nests
    EXPECT_TRUE(v.irq);
    EXPECT_EQ(v.read(VectAddr), 0x1000u);
    EXPECT_FALSE(v.irq);
    v.model.setLine(UART0, false);
    v.write(VectAddr, 0);  // the end of UART0's handler: back to slot 3's level
    EXPECT_FALSE(v.irq);
    v.model.setLine(TIMER0, false);
    v.write(VectAddr, 0);  // the end of TIMER0's handler
    EXPECT_TRUE(v.irq);    // TIMER1 still waits
    EXPECT_EQ(v.read(VectAddr), 0xD000u);  // non-vectored: the default
    EXPECT_FALSE(v.irq);
    v.model.setLine(TIMER1, false);
    v.write(VectAddr, 0);
    EXPECT_FALSE(v.irq);
    EXPECT_EQ(v.model.assertions()[TIMER0], 1u);
}

TEST(Vic, ADisabledSlotIsNoVectorAndSoftwareRequestsJoinTheRawOnes)
{
    VicUnderTest v;
    v.write(VectAddr0, 0x1000);
    v.write(VectCntl0, EINT0);  // enable bit clear
    v.write(DefVectAddr, 0xD000);
    v.write(IntEnable, 1u << EINT0);
    v.write(SoftInt, 1u << EINT0);
    EXPECT_EQ(v.read(RawIntr), 1u << EINT0);
    EXPECT_TRUE(v.irq);
    EXPECT_EQ(v.read(VectAddr), 0xD000u);
    v.write(SoftIntClear, 1u << EINT0);
    v.write(VectAddr, 0);
    EXPECT_FALSE(v.irq);
    EXPECT_EQ(v.read(SoftInt), 0u);
}

TEST(Vic, ProtectionKeepsUserModeOut)
{
    VicUnderTest v;
    v.write(Protection, 1);
    v.services.userMode = true;
    v.write(IntEnable, 1u << TIMER0);  // ignored
    EXPECT_EQ(v.read(IntEnable), 0u);
    v.services.userMode = false;
    EXPECT_EQ(v.read(IntEnable), 0u);
    v.write(IntEnable, 1u << TIMER0);
    EXPECT_EQ(v.read(IntEnable), 1u << TIMER0);
}
