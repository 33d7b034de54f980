// The machine's peripherals through their registers, at the addresses and
// with the reset values and bit meanings of the LPC2119/2129/2194/2292/2294
// user manual (UM10114 chapters "Pin connect block", "GPIO", "UART0"),
// written from the manual, not from the models' own constants.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "machine/lpc2294_machine.h"

using namespace boardsim;

namespace {

// Time stands still unless a test moves it; scheduled work runs when it does.
class FakeBoard : public BoardServices {
public:
    void emit(EventKind kind, uint32_t address, uint32_t value) override { emitAt(time, kind, address, value); }
    void emitAt(double at, EventKind kind, uint32_t address, uint32_t value) override
    {
        events.push_back({0, at, kind, 0, address, value});
    }
    double now() const override { return time; }
    void scheduleAt(double at, std::function<void()> action) override { due.emplace(at, std::move(action)); }
    double pclkHz() const override { return pclk ? pclk() : 11059200.0 / 4; }
    void setInterruptLine(unsigned line, bool asserted) override { lines[line] = asserted; }
    void fault(std::string what) override { faults.push_back(std::move(what)); }
    void clocksChanged() override { ++clockChanges; }
    uint64_t busAccesses() const override { return accesses; }

    void advanceTo(double t)
    {
        while (!due.empty() && due.begin()->first <= t) {
            time = due.begin()->first;
            auto action = std::move(due.begin()->second);
            due.erase(due.begin());
            action();
        }
        time = t;
    }

    double time = 0;
    uint64_t accesses = 0;
    int clockChanges = 0;
    std::function<double()> pclk;
    std::multimap<double, std::function<void()>> due;
    std::map<unsigned, bool> lines;
    std::vector<Event> events;
    std::vector<std::string> faults;
};

class Peripherals : public ::testing::Test {
protected:
    Peripherals()
    {
        board.pclk = [this] { return machine.pclkHz(); };
        machine.reset();
    }

    BusResult read(uint32_t address, unsigned size = 4)
    {
        ++board.accesses;
        const auto device = machine.deviceAt(address);
        return device ? device->first->read(device->second, size) : BusResult::refuse("unclaimed");
    }
    bool write(uint32_t address, uint32_t value, unsigned size = 4)
    {
        ++board.accesses;
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
                   U0LSR = 0xE000C014, U0SCR = 0xE000C01C, U0FCR = 0xE000C008;
constexpr uint32_t MAMCR = 0xE01FC000, MAMTIM = 0xE01FC004, MEMMAP = 0xE01FC040, PLLCON = 0xE01FC080,
                   PLLCFG = 0xE01FC084, PLLSTAT = 0xE01FC088, PLLFEED = 0xE01FC08C, VPBDIV = 0xE01FC100;
constexpr uint32_t T0IR = 0xE0004000, T0TCR = 0xE0004004, T0TC = 0xE0004008, T0PR = 0xE000400C,
                   T0MCR = 0xE0004014, T0MR0 = 0xE0004018, T1TC = 0xE0008008;
constexpr double kFosc = 11059200;

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
        EXPECT_EQ(value(MAMCR), 0u);
        EXPECT_EQ(value(MAMTIM), 7u);
        EXPECT_EQ(value(MEMMAP), 0u);
        EXPECT_EQ(value(PLLSTAT), 0u);
        EXPECT_EQ(value(VPBDIV), 0u);
        EXPECT_EQ(value(T0TC), 0u);
        EXPECT_EQ(value(T0TCR), 0u);
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
    board.advanceTo(0.01);
    ASSERT_EQ(board.faults.size(), 1u);
    EXPECT_NE(board.faults[0].find("TxD0"), std::string::npos) << board.faults[0];
    EXPECT_TRUE(board.events.empty());

    ASSERT_TRUE(write(PINSEL0, 0x05));  // P0.0 TxD0, P0.1 RxD0
    ASSERT_TRUE(write(U0RBR, 'B', 1));
    board.advanceTo(0.02);
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
    EXPECT_FALSE(read(PLLFEED).ok);             // write-only
    EXPECT_FALSE(write(PLLSTAT, 0));            // read-only
    EXPECT_FALSE(read(0xE0004040).ok);          // past T0EMR
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

// The clocks after reset: the PLL off and bypassed, VPB at a quarter.
TEST_F(Peripherals, PllTakesEffectOnlyThroughAValidFeedAndLocksBeforeItConnects)
{
    EXPECT_DOUBLE_EQ(machine.cclkHz(), kFosc);
    EXPECT_DOUBLE_EQ(machine.pclkHz(), kFosc / 4);

    ASSERT_TRUE(write(PLLCFG, 0x23));  // M = 4, P = 2: Fcco 176.9 MHz
    ASSERT_TRUE(write(PLLCON, 1));
    EXPECT_EQ(value(PLLSTAT), 0u);     // nothing until the feed
    // Broken feeds change nothing: a wrong value, the wrong order, another
    // access between the two writes.
    ASSERT_TRUE(write(PLLFEED, 0xAA));
    ASSERT_TRUE(write(PLLFEED, 0x56));
    ASSERT_TRUE(write(PLLFEED, 0x55));
    ASSERT_TRUE(write(PLLFEED, 0xAA));
    ASSERT_TRUE(write(PLLFEED, 0xAA));
    EXPECT_EQ(value(PLLCON), 1u);      // this read comes between 0xAA and 0x55
    ASSERT_TRUE(write(PLLFEED, 0x55));
    EXPECT_EQ(value(PLLSTAT), 0u);

    ASSERT_TRUE(write(PLLFEED, 0xAA));
    ASSERT_TRUE(write(PLLFEED, 0x55));
    EXPECT_EQ(value(PLLSTAT), 0x123u);  // MSEL 3, PSEL 1, PLLE; not yet locked
    board.advanceTo(1e-3);
    EXPECT_EQ(value(PLLSTAT), 0x523u);  // PLOCK
    EXPECT_DOUBLE_EQ(machine.cclkHz(), kFosc);  // enabled, not connected

    ASSERT_TRUE(write(PLLCON, 3));
    ASSERT_TRUE(write(PLLFEED, 0xAA));
    ASSERT_TRUE(write(PLLFEED, 0x55));
    EXPECT_EQ(value(PLLSTAT), 0x723u);
    EXPECT_DOUBLE_EQ(machine.cclkHz(), 4 * kFosc);
    EXPECT_DOUBLE_EQ(machine.pclkHz(), kFosc);
    ASSERT_TRUE(write(VPBDIV, 1));
    EXPECT_DOUBLE_EQ(machine.pclkHz(), 4 * kFosc);
    ASSERT_TRUE(write(VPBDIV, 3));  // reserved: the divider stays
    EXPECT_DOUBLE_EQ(machine.pclkHz(), 4 * kFosc);
    EXPECT_TRUE(board.faults.empty());
    EXPECT_GT(board.clockChanges, 0);
}

TEST_F(Peripherals, PllConnectedBeforeLockOrOutsideTheOscillatorsRangeFails)
{
    ASSERT_TRUE(write(PLLCFG, 0x23));
    ASSERT_TRUE(write(PLLCON, 3));  // enable and connect in one feed: no lock yet
    ASSERT_TRUE(write(PLLFEED, 0xAA));
    ASSERT_TRUE(write(PLLFEED, 0x55));
    ASSERT_EQ(board.faults.size(), 1u);
    EXPECT_NE(board.faults[0].find("before it locked"), std::string::npos) << board.faults[0];

    machine.reset();
    board.faults.clear();
    ASSERT_TRUE(write(PLLCFG, 0x03));  // M = 4, P = 1: Fcco 88.5 MHz, too slow
    ASSERT_TRUE(write(PLLCON, 1));
    ASSERT_TRUE(write(PLLFEED, 0xAA));
    ASSERT_TRUE(write(PLLFEED, 0x55));
    ASSERT_EQ(board.faults.size(), 1u);
    EXPECT_NE(board.faults[0].find("outside 156-320 MHz"), std::string::npos) << board.faults[0];
}

TEST_F(Peripherals, TimerCountsThePeripheralClockThroughItsPrescaler)
{
    ASSERT_TRUE(write(T0PR, 9));  // TC every 10 pclk cycles
    ASSERT_TRUE(write(T0TCR, 1));
    board.advanceTo(1e-3);        // 2764.8 pclk cycles at Fosc / 4
    EXPECT_EQ(value(T0TC), 276u);
    EXPECT_EQ(value(T1TC), 0u);   // Timer1 was never started
    ASSERT_TRUE(write(T0TCR, 0)); // stopped: holds its count
    board.advanceTo(2e-3);
    EXPECT_EQ(value(T0TC), 276u);
    ASSERT_TRUE(write(T0TCR, 2)); // reset
    EXPECT_EQ(value(T0TC), 0u);
}

TEST_F(Peripherals, TimerMatchInterruptsResetsAndStopsAsMcrAsks)
{
    ASSERT_TRUE(write(T0MR0, 1000));
    ASSERT_TRUE(write(T0MCR, 0x3));  // MR0: interrupt and reset TC
    ASSERT_TRUE(write(T0TCR, 1));
    board.advanceTo(1500 / (kFosc / 4));
    EXPECT_EQ(value(T0IR), 1u);
    EXPECT_TRUE(board.lines[4]);      // Timer0's request line
    EXPECT_NEAR(value(T0TC), 500, 2);  // reset at 1000, counting again
    ASSERT_TRUE(write(T0IR, 1));      // writing 1 clears the flag
    EXPECT_EQ(value(T0IR), 0u);
    EXPECT_FALSE(board.lines[4]);

    ASSERT_TRUE(write(T0MCR, 0x4));   // MR0: stop
    board.advanceTo(3000 / (kFosc / 4));
    EXPECT_EQ(value(T0TC), 1000u);
    EXPECT_EQ(value(T0TCR) & 1, 0u);
}

TEST_F(Peripherals, UartLineStatusFollowsTheBytesOnTheWire)
{
    ASSERT_TRUE(write(PINSEL0, 0x05));
    ASSERT_TRUE(write(U0LCR, 0x83));
    ASSERT_TRUE(write(U0RBR, 6));       // 2.7648 MHz / 96 = 28800 baud
    ASSERT_TRUE(write(U0LCR, 0x03));
    ASSERT_TRUE(write(U0FCR, 0x07));    // FIFOs on
    EXPECT_DOUBLE_EQ(machine.uart0.baud(), 28800);
    ASSERT_TRUE(write(U0RBR, 'a', 1));  // straight to the shifter
    EXPECT_EQ(value(U0LSR) & 0x60, 0x20u);  // THRE, not TEMT
    ASSERT_TRUE(write(U0RBR, 'b', 1));  // waits in the FIFO
    EXPECT_EQ(value(U0LSR) & 0x60, 0x00u);
    const double byteTime = 10 / 28800.0;
    board.advanceTo(1.5 * byteTime);
    EXPECT_EQ(value(U0LSR) & 0x60, 0x20u);
    board.advanceTo(2.5 * byteTime);
    EXPECT_EQ(value(U0LSR) & 0x60, 0x60u);
    ASSERT_EQ(board.events.size(), 2u);
    EXPECT_NEAR(board.events[1].time, 2 * byteTime, 1e-9);  // back to back
    // The host listens at 115200: four times too slow a line is garbage to it.
    EXPECT_TRUE(machine.terminal().garbled());
    EXPECT_NE(machine.terminal().seen(), "ab");
    for (int i = 0; i < 17; ++i) {  // one shifting, sixteen waiting
        ASSERT_TRUE(write(U0RBR, 'x', 1));
    }
    EXPECT_TRUE(board.faults.empty());
    ASSERT_TRUE(write(U0RBR, 'y', 1));  // lost on the chip
    ASSERT_EQ(board.faults.size(), 1u);
    EXPECT_NE(board.faults[0].find("FIFO full"), std::string::npos);
}

// What the host types reaches U0RBR one frame time later, in order; LSR bit 0
// says a byte waits, bit 1 that one was lost to a full FIFO.
TEST(PeripheralsReceive, UartReceivesWhatTheHostSendsOnRxD0)
{
    FakeBoard board;
    Lpc2294Machine machine{board, 28800};  // a host at the rate the UART is set to
    board.pclk = [&] { return machine.pclkHz(); };
    machine.reset();
    auto bus = [&](uint32_t address) { return machine.deviceAt(address).value(); };
    auto rd = [&](uint32_t address) { return bus(address).first->read(bus(address).second, 4).value; };
    auto wr = [&](uint32_t address, uint32_t v) { ASSERT_TRUE(bus(address).first->write(bus(address).second, 4, v).ok); };
    auto divisor = [&](uint32_t d) {
        wr(U0LCR, 0x83);
        wr(U0RBR, d);  // DLL
        wr(U0LCR, 0x03);
    };
    divisor(6);  // 2.7648 MHz / 96 = 28800 baud
    wr(U0FCR, 0x07);
    const double byteTime = 10 / 28800.0;

    machine.hostSend('x');  // P0.1 still GPIO: the UART never sees it
    board.advanceTo(2 * byteTime);
    EXPECT_EQ(rd(U0LSR) & 0x01, 0u);

    wr(PINSEL0, 0x05);  // P0.0 TxD0, P0.1 RxD0
    const double start = board.time;
    machine.hostSend('o');
    machine.hostSend('k');
    board.advanceTo(start + 0.9 * byteTime);
    EXPECT_EQ(rd(U0LSR) & 0x01, 0u);  // the stop bit has not arrived yet
    board.advanceTo(start + 1.1 * byteTime);
    EXPECT_EQ(rd(U0LSR) & 0x01, 1u);
    EXPECT_EQ(rd(U0RBR), uint32_t('o'));
    EXPECT_EQ(rd(U0LSR) & 0x01, 0u);  // the second is still on the wire
    board.advanceTo(start + 2.1 * byteTime);
    EXPECT_EQ(rd(U0RBR), uint32_t('k'));
    EXPECT_EQ(rd(U0LSR) & 0x03, 0u);

    for (int i = 0; i < 17; ++i) {  // one more than the FIFO holds
        machine.hostSend(uint8_t('a' + i));
    }
    board.advanceTo(board.time + 18 * byteTime);
    EXPECT_EQ(rd(U0LSR) & 0x03, 0x03u);  // data waits, one lost
    EXPECT_EQ(rd(U0LSR) & 0x02, 0u);     // OE cleared by the read
    std::string got;
    for (int i = 0; i < 20 && (rd(U0LSR) & 0x01) != 0; ++i) {
        got += char(rd(U0RBR));
    }
    EXPECT_EQ(got, "abcdefghijklmnop");  // the newcomer was lost, not the oldest

    machine.hostSend('z');
    board.advanceTo(board.time + 2 * byteTime);
    wr(U0FCR, 0x03);  // RX FIFO reset
    EXPECT_EQ(rd(U0LSR) & 0x01, 0u);

    wr(U0FCR, 0x00);  // FIFOs off: one byte waits, the next overruns
    machine.hostSend('1');
    machine.hostSend('2');
    board.advanceTo(board.time + 3 * byteTime);
    EXPECT_EQ(rd(U0LSR) & 0x03, 0x03u);
    EXPECT_EQ(rd(U0RBR), uint32_t('1'));

    divisor(24);  // 7200 baud: a quarter of the host's rate reads garbage
    machine.hostSend('A');
    board.advanceTo(board.time + 2 * byteTime);
    EXPECT_NE(rd(U0RBR), uint32_t('A'));
}
