// The machine's peripherals through their registers, at the addresses and
// with the reset values and bit meanings of the LPC2119/2129/2194/2292/2294
// user manual (UM10114 chapters "Pin connect block", "GPIO", "UART0"),
// written from the manual, not from the models' own constants.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lpc2294_machine.h"

using namespace boardsim;

namespace {

class FakeBoard : public BoardServices {
public:
    void emit(EventKind kind, uint32_t address, uint32_t value) override
    {
        events.push_back({0, kind, 0, address, value});
    }
    uint64_t now() const override { return 0; }
    void scheduleAt(uint64_t, std::function<void()>) override {}
    void setInterruptLine(unsigned, bool) override {}
    void fault(std::string what) override { faults.push_back(std::move(what)); }

    std::vector<Event> events;
    std::vector<std::string> faults;
};

class Peripherals : public ::testing::Test {
protected:
    Peripherals() { machine.reset(); }

    BusResult read(uint32_t address, unsigned size = 4)
    {
        const auto device = machine.deviceAt(address);
        return device ? device->first->read(device->second, size) : BusResult::refuse("unclaimed");
    }
    bool write(uint32_t address, uint32_t value, unsigned size = 4)
    {
        const auto device = machine.deviceAt(address);
        return device && device->first->write(device->second, size, value).ok;
    }
    uint32_t value(uint32_t address) { return read(address).value; }
    std::string name(uint32_t address, bool writing)
    {
        const auto device = machine.deviceAt(address);
        return device ? device->first->registerName(device->second, writing) : "";
    }

    FakeBoard board;
    Lpc2294Machine machine{board};
};

constexpr uint32_t PINSEL0 = 0xE002C000, PINSEL1 = 0xE002C004, PINSEL2 = 0xE002C014;
constexpr uint32_t IO0PIN = 0xE0028000, IO0SET = 0xE0028004, IO0DIR = 0xE0028008, IO0CLR = 0xE002800C;
constexpr uint32_t U0RBR = 0xE000C000, U0IER = 0xE000C004, U0IIR = 0xE000C008, U0LCR = 0xE000C00C,
                   U0LSR = 0xE000C014, U0SCR = 0xE000C01C;

}  // namespace

TEST_F(Peripherals, ResetValuesAreTheManualsAndResetRestoresThem)
{
    auto expectReset = [&] {
        EXPECT_EQ(value(PINSEL0), 0u);
        EXPECT_EQ(value(PINSEL1), 0x15400000u);  // P0.27..30 as AIN0..3
        EXPECT_EQ(value(IO0DIR), 0u);
        EXPECT_EQ(value(IO0SET), 0u);
        EXPECT_EQ(value(U0IIR), 0x01u);  // no interrupt pending
        EXPECT_EQ(value(U0LCR), 0u);
        EXPECT_EQ(value(U0LSR), 0x60u);  // THRE and TEMT: transmitter empty
        EXPECT_EQ(value(U0IER), 0u);
        EXPECT_EQ(value(U0SCR), 0u);
        ASSERT_TRUE(write(U0LCR, 0x80));  // divisor latch: DLL resets to 1, DLM to 0
        EXPECT_EQ(value(U0RBR), 0x01u);
        EXPECT_EQ(value(U0IER), 0x00u);
        ASSERT_TRUE(write(U0LCR, 0x00));
    };
    expectReset();
    for (uint32_t address : {PINSEL0, PINSEL1, PINSEL2, IO0DIR, IO0SET, U0SCR, U0LCR}) {
        ASSERT_TRUE(write(address, 0x5A)) << std::hex << address;
    }
    machine.reset();
    expectReset();
}

TEST_F(Peripherals, GpioPinsReadOutputsAndWhatTheKeysAndPullUpsPutOnInputs)
{
    ASSERT_TRUE(write(IO0DIR, 0x80000000));
    ASSERT_TRUE(write(IO0SET, 0x80000000));
    EXPECT_EQ(value(IO0PIN), 0xFFFFFFFFu);  // inputs pulled up, P0.31 driven high
    machine.setKey(3, true);                 // KEY_3 grounds P0.18
    EXPECT_EQ(value(IO0PIN), ~(1u << 18));
    ASSERT_TRUE(write(IO0CLR, 0x80000000));
    EXPECT_EQ(value(IO0PIN), ~((1u << 18) | 0x80000000u));
    EXPECT_EQ(value(IO0SET), 0u);            // IO0SET reads the output latch
    machine.setKey(3, false);
    EXPECT_EQ(value(IO0PIN), 0x7FFFFFFFu);
    ASSERT_TRUE(write(IO0DIR, 0x80010000));  // a key pin made an output reads what it drives
    machine.setKey(1, true);
    EXPECT_EQ(value(IO0PIN) & (1u << 16), 0u);
    ASSERT_TRUE(write(IO0PIN, 1u << 16));    // writing IO0PIN loads the latch
    EXPECT_NE(value(IO0PIN) & (1u << 16), 0u);
    EXPECT_THROW(machine.setKey(5, true), std::out_of_range);
}

TEST_F(Peripherals, TheLedOnP031IsReportedOnlyWhenItChangesAsAnOutput)
{
    ASSERT_TRUE(write(IO0SET, 0x80000000));  // latch high, pin still an input
    ASSERT_TRUE(write(IO0DIR, 0x80000000));  // now driven high
    ASSERT_TRUE(write(IO0SET, 0x80000000));  // no change
    ASSERT_TRUE(write(IO0CLR, 0x80000000));
    ASSERT_EQ(board.events.size(), 2u);
    EXPECT_EQ(board.events[0].kind, EventKind::Led);
    EXPECT_EQ(board.events[0].address, 1u);  // driven
    EXPECT_EQ(board.events[0].value, 1u);    // high
    EXPECT_EQ(board.events[1].value, 0u);
}

TEST_F(Peripherals, UartSendsOnTxD0OnlyWhenPinsel0RoutesIt)
{
    ASSERT_TRUE(write(U0LCR, 0x83));  // DLAB, 8N1
    ASSERT_TRUE(write(U0RBR, 6));     // DLL: not a byte for the line
    ASSERT_TRUE(write(U0IER, 0));     // DLM
    ASSERT_TRUE(write(U0LCR, 0x03));
    EXPECT_EQ(machine.uart0.divisor(), 6u);
    EXPECT_EQ(machine.uart0.frameFormat(), "8N1");

    ASSERT_TRUE(write(U0RBR, 'A', 1));  // P0.0 still GPIO: the byte never leaves
    ASSERT_EQ(board.faults.size(), 1u);
    EXPECT_NE(board.faults[0].find("TxD0"), std::string::npos) << board.faults[0];
    EXPECT_TRUE(board.events.empty());

    ASSERT_TRUE(write(PINSEL0, 0x05));  // P0.0 TxD0, P0.1 RxD0
    ASSERT_TRUE(write(U0RBR, 'B', 1));
    ASSERT_EQ(board.events.size(), 1u);
    EXPECT_EQ(board.events[0].kind, EventKind::UartByte);
    EXPECT_EQ(board.events[0].value, uint32_t('B'));

    ASSERT_TRUE(write(U0LCR, 0x1E));  // 7 bits, even parity, 2 stop bits
    EXPECT_EQ(machine.uart0.frameFormat(), "7E2");
}

TEST_F(Peripherals, AccessesTheChipDoesNotOfferAreRefused)
{
    EXPECT_FALSE(read(IO0CLR).ok);              // write-only
    EXPECT_FALSE(write(U0LSR, 0));              // read-only
    EXPECT_FALSE(read(IO0SET, 1).ok);           // GPIO: words only
    EXPECT_FALSE(read(PINSEL1, 2).ok);
    EXPECT_FALSE(read(U0LSR, 2).ok);            // UART: bytes or words
    EXPECT_TRUE(read(U0LSR, 1).ok);
    EXPECT_FALSE(read(0xE000C010).ok);          // UART0 has no modem control register
    EXPECT_FALSE(read(0xE002C008).ok);          // between PINSEL1 and PINSEL2
    EXPECT_FALSE(machine.deviceAt(0xE0020000));  // SPI0: not modelled, so unclaimed
}

TEST_F(Peripherals, RegistersHaveTheirManualNamesAsTheAccessReachesThem)
{
    EXPECT_EQ(name(PINSEL1, false), "PINSEL1");
    EXPECT_EQ(name(IO0CLR, true), "IO0CLR");
    EXPECT_EQ(name(U0RBR, false), "U0RBR");
    EXPECT_EQ(name(U0RBR, true), "U0THR");
    EXPECT_EQ(name(U0IIR, true), "U0FCR");
    ASSERT_TRUE(write(U0LCR, 0x80));
    EXPECT_EQ(name(U0RBR, true), "U0DLL");
    EXPECT_EQ(name(U0IER, false), "U0DLM");
}
