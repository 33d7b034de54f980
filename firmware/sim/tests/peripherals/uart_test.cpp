// UART0 on its own, at its register offsets, with the bit meanings of the
// LPC2294 user manual's UART0 chapter (written from the manual, not from the
// model's constants).
#include <gtest/gtest.h>

#include "peripherals/uart.h"
#include "support/fake_services.h"

using namespace boardsim;
using boardsim::testing::ModelUnderTest;

namespace {

constexpr uint32_t RBR = 0x00, IER = 0x04, IIR = 0x08, FCR = 0x08, LCR = 0x0C, LSR = 0x14;
constexpr double kPclk = 11059200.0 / 4;

struct Uart0 : ModelUnderTest<Uart> {
    Uart0() : ModelUnderTest<Uart>(0u)
    {
        model.onTransmit = [this](const LineFrame& frame) { sent.push_back(frame); };
    }
    void divisor(uint32_t d)
    {
        write(LCR, 0x83);  // DLAB, 8N1
        write(RBR, d & 0xFF);
        write(IER, d >> 8);
        write(LCR, 0x03);
    }
    std::vector<LineFrame> sent;
};

}  // namespace

TEST(Uart, TheDivisorLatchSharesAddressesWithDataAndIerAndNamesFollowDlab)
{
    Uart0 u;
    EXPECT_EQ(u.model.registerName(RBR, false), "U0RBR");
    EXPECT_EQ(u.model.registerName(RBR, true), "U0THR");
    EXPECT_EQ(u.model.registerName(IIR, true), "U0FCR");
    u.write(LCR, 0x80);
    EXPECT_EQ(u.read(RBR), 0x01u);  // DLL resets to 1, DLM to 0
    EXPECT_EQ(u.read(IER), 0x00u);
    EXPECT_EQ(u.model.registerName(RBR, true), "U0DLL");
    EXPECT_EQ(u.model.registerName(IER, false), "U0DLM");
    u.write(RBR, 6);  // DLL: not a byte for the line
    u.write(LCR, 0x03);
    EXPECT_EQ(u.model.divisor(), 6u);
    EXPECT_TRUE(u.sent.empty());
    EXPECT_EQ(u.model.frameFormat(), "8N1");
    u.write(LCR, 0x1E);  // 7 bits, even parity, 2 stop bits
    EXPECT_EQ(u.model.frameFormat(), "7E2");
}

TEST(Uart, LineStatusFollowsTheBytesOnTheWire)
{
    Uart0 u;
    u.divisor(6);        // 2.7648 MHz / 96 = 28800 baud
    u.write(FCR, 0x07);  // FIFOs on
    EXPECT_DOUBLE_EQ(u.model.baud(), kPclk / 96);
    u.write(RBR, 'a', 1);  // straight to the shifter
    EXPECT_EQ(u.read(LSR) & 0x60, 0x20u);  // THRE, not TEMT
    u.write(RBR, 'b', 1);  // waits in the FIFO
    EXPECT_EQ(u.read(LSR) & 0x60, 0x00u);
    const double byteTime = 10 / 28800.0;
    u.services.advanceTo(1.5 * byteTime);
    EXPECT_EQ(u.read(LSR) & 0x60, 0x20u);
    u.services.advanceTo(2.5 * byteTime);
    EXPECT_EQ(u.read(LSR) & 0x60, 0x60u);
    ASSERT_EQ(u.sent.size(), 2u);
    EXPECT_NEAR(u.sent[1].end(), 2 * byteTime, 1e-9);  // back to back
    for (int i = 0; i < 17; ++i) {  // one shifting, sixteen waiting
        u.write(RBR, 'x', 1);
    }
    EXPECT_TRUE(u.services.faults.empty());
    u.write(RBR, 'y', 1);  // lost on the chip
    ASSERT_EQ(u.services.faults.size(), 1u);
    EXPECT_NE(u.services.faults[0].find("FIFO full"), std::string::npos);
}

TEST(Uart, ReceivedBytesWaitInTheFifoAndOneTooManyIsAnOverrun)
{
    Uart0 u;
    u.divisor(6);
    u.write(FCR, 0x07);
    EXPECT_EQ(u.read(LSR) & 0x01, 0u);
    for (int i = 0; i < 17; ++i) {  // one more than the FIFO holds
        u.model.receive(uint8_t('a' + i));
    }
    EXPECT_EQ(u.read(LSR) & 0x03, 0x03u);  // data waits, one lost
    EXPECT_EQ(u.read(LSR) & 0x02, 0u);     // OE cleared by the read
    std::string got;
    for (int i = 0; i < 20 && (u.read(LSR) & 0x01) != 0; ++i) {
        got += char(u.read(RBR));
    }
    EXPECT_EQ(got, "abcdefghijklmnop");  // the newcomer was lost, not the oldest
    u.model.receive('z');
    u.write(FCR, 0x03);  // RX FIFO reset
    EXPECT_EQ(u.read(LSR) & 0x01, 0u);
    u.write(FCR, 0x00);  // FIFOs off: one byte waits, the next overruns
    u.model.receive('1');
    u.model.receive('2');
    EXPECT_EQ(u.read(LSR) & 0x03, 0x03u);
    EXPECT_EQ(u.read(RBR), uint32_t('1'));
}

TEST(Uart, AByteWithoutABaudRateIsAFault)
{
    Uart0 u;
    u.divisor(0);
    u.write(RBR, 'q', 1);
    ASSERT_EQ(u.services.faults.size(), 1u);
    EXPECT_NE(u.services.faults[0].find("divisor latch at 0"), std::string::npos) << u.services.faults[0];
}

// IIR bits 3:1 from the manual: 011 line status, 010 receive data, 110
// character time-out, 001 THRE; bit 0 clear while one is pending; bits 7:6
// set with the FIFOs on.
TEST(Uart, InterruptsComeInTheManualsOrderAndClearAsItSays)
{
    Uart0 u;
    u.divisor(6);
    u.write(FCR, 0x47);  // FIFOs on, receive trigger at 4 bytes
    EXPECT_EQ(u.read(IIR), 0xC1u);
    EXPECT_FALSE(u.irq);

    u.write(IER, 0x02);  // THRE, with the transmit FIFO empty
    EXPECT_TRUE(u.irq);
    EXPECT_EQ(u.read(IIR), 0xC2u);  // reading IIR with THRE reported clears it
    EXPECT_FALSE(u.irq);
    u.write(RBR, 'a', 1);  // straight to the shifter: THR empty again
    EXPECT_TRUE(u.irq);
    u.write(RBR, 'b', 1);  // waits in the FIFO: not empty, writing THR cleared it
    EXPECT_FALSE(u.irq);
    u.services.advanceTo(1.1 * 10 / 28800.0);  // 'b' moves to the shifter
    EXPECT_TRUE(u.irq);
    u.write(IER, 0x05);  // receive data and line status only
    EXPECT_FALSE(u.irq);

    for (const char c : std::string("xyz")) {
        u.model.receive(uint8_t(c));
    }
    EXPECT_FALSE(u.irq);  // below the trigger level
    u.model.receive('w');
    EXPECT_TRUE(u.irq);
    EXPECT_EQ(u.read(IIR), 0xC4u);
    EXPECT_EQ(u.read(RBR), uint32_t('x'));  // three left: below the level
    EXPECT_FALSE(u.irq);
    // Four character times without activity: the time-out reports the rest.
    const double charTime = 10 / 28800.0;
    u.services.advanceTo(u.services.time + 3.9 * charTime);
    EXPECT_FALSE(u.irq);
    u.services.advanceTo(u.services.time + 0.2 * charTime);
    EXPECT_TRUE(u.irq);
    EXPECT_EQ(u.read(IIR), 0xCCu);
    while ((u.read(LSR) & 0x01) != 0) {
        u.read(RBR);
    }
    EXPECT_FALSE(u.irq);

    for (int i = 0; i < 17; ++i) {  // one more than the FIFO holds: an overrun
        u.model.receive('o');
    }
    EXPECT_EQ(u.read(IIR), 0xC6u);  // line status comes first
    u.read(LSR);  // clears OE
    EXPECT_EQ(u.read(IIR), 0xC4u);
}
