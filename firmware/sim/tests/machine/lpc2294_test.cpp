// The machine: its peripherals at the user manual's addresses, and what the
// board wires to the pins (keys and pull-ups, the LED, the host terminal on
// TxD0 and RxD0, the LCD's controller on SPI0 and three GPIO lines,
// the DAC sharing SPI0's lines with its own chip select, interrupt lines to
// the core), and that wiring against the firmware's wiring header.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "machine/lpc2294.h"
#include "support/fake_services.h"

using namespace boardsim;
using boardsim::testing::FakeServices;

namespace {

class Lpc2294 : public ::testing::Test {
protected:
    explicit Lpc2294(double hostBaud = kDefaultHostBaud) : machine(hostBaud, 0)
    {
        machine.attach(services);
        services.pclk = [this] { return machine.pclkHz(); };
        services.onClocksChanged = [this] { machine.clocksApplied(); };
        machine.reset();
    }

    BusResult read(uint32_t address, unsigned size = 4)
    {
        ++services.accesses;
        const auto device = machine.deviceAt(address);
        return device ? device->first->read(device->second, size) : BusResult::refuse("unclaimed");
    }
    bool write(uint32_t address, uint32_t value, unsigned size = 4)
    {
        ++services.accesses;
        const auto device = machine.deviceAt(address);
        return device && device->first->write(device->second, size, value).ok;
    }
    uint32_t value(uint32_t address) { return read(address).value; }

    FakeServices services;
    Lpc2294Machine machine;
};

class Lpc2294WithSlowHost : public Lpc2294 {
protected:
    Lpc2294WithSlowHost() : Lpc2294(28800) {}
};

constexpr uint32_t PINSEL0 = 0xE002C000, PINSEL1 = 0xE002C004, PINSEL2 = 0xE002C014;
constexpr uint32_t IO0PIN = 0xE0028000, IO0SET = 0xE0028004, IO0DIR = 0xE0028008, IO0CLR = 0xE002800C;
constexpr uint32_t U0RBR = 0xE000C000, U0IER = 0xE000C004, U0IIR = 0xE000C008, U0LCR = 0xE000C00C,
                   U0LSR = 0xE000C014, U0SCR = 0xE000C01C, U0FCR = 0xE000C008;
constexpr uint32_t MAMCR = 0xE01FC000, MAMTIM = 0xE01FC004, MEMMAP = 0xE01FC040, PLLSTAT = 0xE01FC088,
                   VPBDIV = 0xE01FC100;
constexpr uint32_t T0TCR = 0xE0004004, T0TC = 0xE0004008, T0MCR = 0xE0004014, T0MR0 = 0xE0004018,
                   T0IR = 0xE0004000;

}  // namespace

TEST_F(Lpc2294, ResetValuesAtTheManualsAddressesAndResetRestoresThem)
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
    };
    expectReset();
    for (uint32_t address : {PINSEL0, PINSEL1, PINSEL2, IO0DIR, IO0SET, U0SCR, U0LCR}) {
        ASSERT_TRUE(write(address, 0x5A)) << std::hex << address;
    }
    machine.reset();
    expectReset();
}

TEST_F(Lpc2294, AccessesTheChipDoesNotOfferAreRefused)
{
    EXPECT_FALSE(read(IO0CLR).ok);              // write-only
    EXPECT_FALSE(write(U0LSR, 0));              // read-only
    EXPECT_FALSE(write(PINSEL1, 0x5, 2));      // a 32-bit register is written whole
    EXPECT_FALSE(read(U0LSR + 1, 1).ok);        // and reached only at its word address
    EXPECT_FALSE(read(0xE000C010).ok);          // UART0 has no modem control register
    EXPECT_FALSE(read(0xE002C008).ok);          // between PINSEL1 and PINSEL2
    EXPECT_FALSE(machine.deviceAt(0xE0030000));  // SPI1: not modelled, so unclaimed
    EXPECT_FALSE(read(0xE0004040).ok);          // past T0EMR
}

TEST_F(Lpc2294, KeysGroundTheirPinsAgainstTheBoardsPullUps)
{
    ASSERT_TRUE(write(IO0DIR, 0x80000000));
    ASSERT_TRUE(write(IO0SET, 0x80000000));
    EXPECT_EQ(value(IO0PIN), 0xFFFFFFFFu);  // inputs pulled up, P0.31 driven high
    machine.setKey(3, true);                 // KEY_3 grounds P0.18
    EXPECT_EQ(value(IO0PIN), ~(1u << 18));
    EXPECT_TRUE(machine.keyDown(3));
    machine.setKey(3, false);
    EXPECT_EQ(value(IO0PIN), 0xFFFFFFFFu);
    EXPECT_THROW(machine.setKey(5, true), std::out_of_range);
}

TEST_F(Lpc2294, TheLedOnP031IsReportedOnlyWhenItChangesAsAnOutput)
{
    ASSERT_TRUE(write(IO0SET, 0x80000000));  // latch high, pin still an input
    ASSERT_TRUE(write(IO0DIR, 0x80000000));  // now driven high
    ASSERT_TRUE(write(IO0SET, 0x80000000));  // no change
    ASSERT_TRUE(write(IO0CLR, 0x80000000));
    ASSERT_EQ(services.events.size(), 2u);
    EXPECT_EQ(services.events[0].kind, EventKind::Led);
    EXPECT_EQ(services.events[0].address, 1u);  // driven
    EXPECT_EQ(services.events[0].value, 1u);    // high
    EXPECT_EQ(services.events[1].value, 0u);
}

TEST_F(Lpc2294, UartSendsOnTxD0OnlyWhenPinsel0RoutesItAndAHostAtAnotherRateSeesGarbage)
{
    ASSERT_TRUE(write(U0LCR, 0x83));  // DLAB, 8N1: 2.7648 MHz / 96 = 28800 baud
    ASSERT_TRUE(write(U0RBR, 6));
    ASSERT_TRUE(write(U0LCR, 0x03));
    ASSERT_TRUE(write(U0RBR, 'A', 1));  // P0.0 still GPIO: the byte never leaves
    services.advanceTo(0.01);
    ASSERT_EQ(services.faults.size(), 1u);
    EXPECT_NE(services.faults[0].find("TxD0"), std::string::npos) << services.faults[0];
    EXPECT_TRUE(services.events.empty());

    ASSERT_TRUE(write(PINSEL0, 0x05));  // P0.0 TxD0, P0.1 RxD0
    ASSERT_TRUE(write(U0RBR, 'B', 1));
    services.advanceTo(0.02);
    ASSERT_EQ(services.events.size(), 1u);
    EXPECT_EQ(services.events[0].kind, EventKind::UartByte);
    EXPECT_EQ(services.events[0].value, uint32_t('B'));
    // The host listens at 115200: four times too slow a line is garbage to it.
    EXPECT_TRUE(machine.terminal().garbled());
    EXPECT_NE(machine.terminal().seen(), "B");
}

TEST_F(Lpc2294, TimerLinesReachTheCoreThroughTheirVicChannel)
{
    ASSERT_TRUE(write(0xFFFFF010, 1u << 4));  // VICIntEnable: TIMER0
    ASSERT_TRUE(write(T0MR0, 100));
    ASSERT_TRUE(write(T0MCR, 0x1));
    ASSERT_TRUE(write(T0TCR, 1));
    services.advanceTo(1e-3);
    EXPECT_EQ(machine.interrupts().lines(), 1u << 4);  // TIMER0 is channel 4
    EXPECT_TRUE(services.nIrq);
    ASSERT_TRUE(write(T0IR, 1));
    EXPECT_EQ(machine.interrupts().lines(), 0u);
    EXPECT_FALSE(services.nIrq);
}

// What the host types reaches U0RBR one frame time later, in order.
TEST_F(Lpc2294WithSlowHost, UartReceivesWhatTheHostSendsOnRxD0AtItsOwnRate)
{
    auto divisor = [&](uint32_t d) {
        ASSERT_TRUE(write(U0LCR, 0x83));
        ASSERT_TRUE(write(U0RBR, d));  // DLL
        ASSERT_TRUE(write(U0LCR, 0x03));
    };
    divisor(6);  // 2.7648 MHz / 96 = 28800 baud, the host's rate
    ASSERT_TRUE(write(U0FCR, 0x07));
    const double byteTime = 10 / 28800.0;

    machine.hostSend('x');  // P0.1 still GPIO: the UART never sees it
    services.advanceTo(2 * byteTime);
    EXPECT_EQ(value(U0LSR) & 0x01, 0u);

    ASSERT_TRUE(write(PINSEL0, 0x05));
    const double start = services.time;
    machine.hostSend('o');
    machine.hostSend('k');
    services.advanceTo(start + 0.9 * byteTime);
    EXPECT_EQ(value(U0LSR) & 0x01, 0u);  // the stop bit has not arrived yet
    services.advanceTo(start + 1.1 * byteTime);
    EXPECT_EQ(value(U0RBR), uint32_t('o'));
    EXPECT_EQ(value(U0LSR) & 0x01, 0u);  // the second is still on the wire
    services.advanceTo(start + 2.1 * byteTime);
    EXPECT_EQ(value(U0RBR), uint32_t('k'));

    divisor(24);  // 7200 baud: a quarter of the host's rate reads garbage
    machine.hostSend('A');
    services.advanceTo(services.time + 2 * byteTime);
    EXPECT_NE(value(U0RBR), uint32_t('A'));
}

namespace {

constexpr uint32_t S0SPCR = 0xE0020000, S0SPSR = 0xE0020004, S0SPDR = 0xE0020008, S0SPCCR = 0xE002000C;
constexpr uint32_t kLcdDc = 1u << 20, kLcdSce = 1u << 21, kLcdRes = 1u << 22;

// The board's LCD wiring brought up through the registers as a driver
// would: SCK0, MOSI0 and SSEL0 on their pins, SPI0 master at pclk / 8,
// D/C, SCE and RES outputs, a reset pulse.
class Lpc2294WithLcd : public Lpc2294 {
protected:
    Lpc2294WithLcd()
    {
        write(PINSEL0, 0x5100);
        write(S0SPCCR, 8);
        write(S0SPCR, 0x20);
        write(IO0SET, kLcdSce | kLcdDc);
        write(IO0CLR, kLcdRes);
        write(IO0DIR, kLcdSce | kLcdDc | kLcdRes);
        services.advanceTo(services.time + 1e-6);
        write(IO0SET, kLcdRes);
    }
    // One byte through SPI0 with SCE low, waiting for SPIF as a driver does.
    void send(uint8_t byte, bool data)
    {
        write(data ? IO0SET : IO0CLR, kLcdDc);
        write(IO0CLR, kLcdSce);
        write(S0SPDR, byte);
        services.advanceTo(services.time + 1e-4);
        EXPECT_EQ(value(S0SPSR) & 0x80, 0x80u);
        write(IO0SET, kLcdSce);
    }
};

}  // namespace

TEST_F(Lpc2294WithLcd, BytesFromSpi0ReachThePanelThroughThePinsTheBoardWires)
{
    EXPECT_TRUE(machine.lcd().resetDone());
    for (const uint8_t command : {0x21, 0x80 | 56, 0x13, 0x20, 0x0C, 0x42, 0x80 | 7}) {
        send(command, false);
    }
    send(0x5A, true);
    EXPECT_EQ(machine.lcd().ram()[2 * kLcdWidth + 7], 0x5A);
    EXPECT_EQ(machine.lcd().registers().vop, 56u);
    EXPECT_EQ(machine.lcdWhyBlank(), "");
    EXPECT_EQ(machine.lcdGlass()[2 * kLcdWidth + 7], 0x5A);
    EXPECT_TRUE(services.faults.empty()) << services.faults.front();
    // IO0PIN reads every pin, whatever its function: SCK0 idles low.
    EXPECT_EQ(value(IO0PIN) & (1u << 4), 0u);
}

TEST_F(Lpc2294WithLcd, Spi0InterruptsOnChannel10AndSselPulledLowIsAModeFault)
{
    write(S0SPCR, 0xA0);  // master, SPIE
    send(0x00, false);
    EXPECT_EQ(machine.interrupts().lines(), 1u << 10);
    machine.pins().setOutside(~(1u << 7));  // something on the board pulls SSEL0 low
    EXPECT_EQ(value(S0SPSR) & 0x10, 0x10u);  // MODF
    EXPECT_EQ(value(S0SPCR) & 0x20, 0u);     // a slave now
}

TEST_F(Lpc2294WithLcd, ABytePastPinsThatAreNotSpi0IsAFault)
{
    write(PINSEL0, 0x5000);  // P0.4 back to GPIO
    write(S0SPDR, 0x21);
    ASSERT_EQ(services.faults.size(), 1u);
    EXPECT_NE(services.faults[0].find("P0.4 is not SCK0"), std::string::npos) << services.faults[0];
    EXPECT_NE(services.faults[0].find("PINSEL0 = 0x00005000"), std::string::npos) << services.faults[0];
}

namespace {

constexpr uint32_t kDacCs = 1u << 23;

// The DAC on the LCD's SCK0 and MOSI0 with its own /CS on P0.23, as the
// board wires it: each device's bytes in its own SPI mode, the other one's
// chip select high throughout.
class Lpc2294WithLcdAndDac : public Lpc2294WithLcd {
protected:
    Lpc2294WithLcdAndDac()
    {
        write(IO0SET, kDacCs);
        write(IO0DIR, kLcdSce | kLcdDc | kLcdRes | kDacCs);
        machine.dac().listen([this](unsigned output, const Tlv5618::Step& step) {
            heard.push_back({output, step.time, step.target});
        });
    }
    // A DAC word as two bytes in CPOL 0, CPHA 1, /CS low across both.
    void sendWord(uint16_t word)
    {
        write(S0SPCR, 0x28);  // master, CPHA 1
        write(IO0CLR, kDacCs);
        for (const uint8_t byte : {uint8_t(word >> 8), uint8_t(word)}) {
            write(S0SPDR, byte);
            services.advanceTo(services.time + 1e-4);
            EXPECT_EQ(value(S0SPSR) & 0x80, 0x80u);
        }
        write(IO0SET, kDacCs);
        write(S0SPCR, 0x20);  // back to the LCD's mode 0
    }
    struct Heard {
        unsigned output;
        double time;
        double volts;
    };
    std::vector<Heard> heard;
};

}  // namespace

TEST_F(Lpc2294WithLcdAndDac, TheLcdAndTheDacShareSpi0EachIgnoringTheOthersTraffic)
{
    for (const uint8_t command : {0x21, 0x80 | 56, 0x13, 0x20, 0x0C, 0x40, 0x80}) {
        send(command, false);
    }
    sendWord(0x4000 | 1375);
    send(0xA5, true);
    sendWord(0x4000 | 4095);
    send(0x3C, true);
    EXPECT_TRUE(services.faults.empty()) << services.faults.front();
    EXPECT_EQ(machine.lcd().ram()[0], 0xA5);
    EXPECT_EQ(machine.lcd().ram()[1], 0x3C);
    EXPECT_EQ(machine.lcd().traffic().data, 2u) << "the DAC's bytes never reached the panel";
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[0].output, Tlv5618::kB);
    EXPECT_DOUBLE_EQ(heard[0].volts, 2 * 1.49 * 1375 / 4096);
    EXPECT_DOUBLE_EQ(heard[1].volts, 2 * 1.49 * 4095 / 4096);
    EXPECT_EQ(machine.dac().words(), 2u) << "the LCD's bytes never reached the DAC";
}

TEST_F(Lpc2294WithLcdAndDac, ABytePastBothChipSelectsIsAFault)
{
    write(IO0CLR, kLcdSce | kDacCs);
    write(S0SPCR, 0x28);
    write(S0SPDR, 0x40);
    ASSERT_FALSE(services.faults.empty());
    EXPECT_NE(services.faults[0].find("with both the LCD's SCE (P0.21) and the DAC's /CS (P0.23) low"),
              std::string::npos)
        << services.faults[0];
}

TEST_F(Lpc2294WithLcdAndDac, ADacWordInTheLcdsSpiModeIsAFaultOfTheDac)
{
    // CPHA 0 changes MOSI on SCK's falling edge, where the DAC takes DIN.
    write(IO0CLR, kDacCs);
    write(S0SPDR, 0x4A);
    services.advanceTo(services.time + 1e-4);
    ASSERT_FALSE(services.faults.empty());
    EXPECT_NE(services.faults[0].find("DAC (TLV5618): DIN changed 0 ns after a falling edge"), std::string::npos)
        << services.faults[0];
}

namespace {

// The board's wiring header's pin numbers by macro name: "#define NAME N".
std::map<std::string, unsigned> wiringHeaderPins()
{
    std::ifstream in(BOARD_WIRING_H);
    std::map<std::string, unsigned> pins;
    const std::regex define(R"(^\s*#define\s+(PIN_\w+)\s+([0-9]+)u?\s*(/\*.*)?$)");
    for (std::string line; std::getline(in, line);) {
        std::smatch match;
        if (std::regex_match(line, match, define)) {
            pins[match[1]] = unsigned(std::stoul(match[2]));
        }
    }
    return pins;
}

// The macro of the header that names one of the DAC's lines: its name holds
// DAC (or TLV) and one of `line`'s spellings.
std::vector<std::pair<std::string, unsigned>> dacLine(const std::map<std::string, unsigned>& pins,
                                                      const std::regex& line)
{
    std::vector<std::pair<std::string, unsigned>> found;
    for (const auto& [name, pin] : pins) {
        if ((name.find("DAC") != std::string::npos || name.find("TLV") != std::string::npos) &&
            std::regex_search(name, line)) {
            found.emplace_back(name, pin);
        }
    }
    return found;
}

}  // namespace

TEST(BoardWiring, TheMachineWiresTheLcdAndTheDacWhereTheFirmwaresWiringHeaderSays)
{
    const std::map<std::string, unsigned> pins = wiringHeaderPins();
    ASSERT_FALSE(pins.empty()) << "no pin numbers read from " << BOARD_WIRING_H;
    EXPECT_EQ(pins.at("PIN_LCD_SCLK"), Lpc2294Machine::kLcdSclkPin);
    EXPECT_EQ(pins.at("PIN_LCD_SDIN"), Lpc2294Machine::kLcdSdinPin);
    EXPECT_EQ(pins.at("PIN_LCD_DC"), Lpc2294Machine::kLcdDcPin);
    EXPECT_EQ(pins.at("PIN_LCD_SCE"), Lpc2294Machine::kLcdScePin);
    EXPECT_EQ(pins.at("PIN_LCD_RES"), Lpc2294Machine::kLcdResPin);
    EXPECT_EQ(pins.at("PIN_LED"), Lpc2294Machine::kLedPin);
    EXPECT_EQ(pins.at("PIN_KEY_1"), Lpc2294Machine::kFirstKeyPin);
    const bool anyDac = std::any_of(pins.begin(), pins.end(), [](const auto& p) {
        return p.first.find("DAC") != std::string::npos || p.first.find("TLV") != std::string::npos;
    });
    if (!anyDac) {
        GTEST_SKIP() << BOARD_WIRING_H << " names no DAC pins yet; the machine wires the TLV5618 on P0."
                     << Lpc2294Machine::kDacSclkPin << ", P0." << Lpc2294Machine::kDacDinPin << " and P0."
                     << Lpc2294Machine::kDacCsPin;
    }
    const struct {
        const char* line;
        std::regex spelled;
        unsigned pin;
    } lines[] = {
        {"SCLK", std::regex("SCLK|SCK|CLK"), Lpc2294Machine::kDacSclkPin},
        {"DIN", std::regex("DIN|SDI|MOSI|DATA"), Lpc2294Machine::kDacDinPin},
        {"/CS", std::regex("_N?CS|SYNC|SEL"), Lpc2294Machine::kDacCsPin},
    };
    for (const auto& l : lines) {
        const auto found = dacLine(pins, l.spelled);
        ASSERT_EQ(found.size(), 1u) << "the DAC's " << l.line << " is not named once in " << BOARD_WIRING_H;
        EXPECT_EQ(found[0].second, l.pin) << found[0].first;
    }
}
