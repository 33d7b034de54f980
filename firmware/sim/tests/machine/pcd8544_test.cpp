// The PCD8544 on its own, its five lines driven by the test, against its
// datasheet: the serial interface, the reset and what it leaves, each
// command in both instruction sets, addressing and its wrap, the display
// modes on the glass, the RAM's noise after power-on, and the faults.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "machine/pcd8544.h"

using namespace boardsim;

namespace {

struct Panel : ::testing::Test {
    Panel()
    {
        // SCLK low (an SPI in mode 0), SCE high, RES high: nobody has reset it.
        lcd.powerOn({false, true, true, true, true}, 0);
    }
    void set(unsigned line, bool level) { lcd.setLine(line, level, t); }
    void resetPulse(double low = 1e-6)
    {
        set(Pcd8544::kReset, false);
        t += low;
        set(Pcd8544::kReset, true);
        t += 1e-6;
    }
    // One byte, SCE low around it, at SCLK `period`; D/C set from the start.
    void send(uint8_t byte, bool data, double period = 1e-6)
    {
        set(Pcd8544::kDataCommand, data);
        set(Pcd8544::kEnable, false);
        for (int n = 7; n >= 0; --n) {
            set(Pcd8544::kSdin, ((byte >> n) & 1) != 0);
            t += period / 2;
            set(Pcd8544::kSclk, true);
            t += period / 2;
            set(Pcd8544::kSclk, false);
        }
        t += 1e-6;
        set(Pcd8544::kEnable, true);
        t += 1e-6;
    }
    void commands(const std::vector<uint8_t>& bytes)
    {
        for (uint8_t b : bytes) {
            send(b, false);
        }
    }
    void data(const std::vector<uint8_t>& bytes)
    {
        for (uint8_t b : bytes) {
            send(b, true);
        }
    }
    // What the board's driver sends: on, Vop 56, TC 0, bias 1:48, basic set, normal.
    void setUp()
    {
        resetPulse();
        commands({0x21, 0x80 | 56, 0x04, 0x13, 0x20, 0x0C});
    }
    bool faulted(const std::string& part) const
    {
        return std::any_of(faults.begin(), faults.end(),
                           [&](const std::string& f) { return f.find(part) != std::string::npos; });
    }
    uint8_t ramAt(unsigned x, unsigned y) const { return lcd.ram()[y * kLcdWidth + x]; }

    double t = 1e-6;
    std::vector<std::string> faults;
    Pcd8544 lcd{[this](const std::string& what) { faults.push_back(what); }};
};

bool allOf(const std::vector<uint8_t>& picture, uint8_t value)
{
    return std::all_of(picture.begin(), picture.end(), [value](uint8_t b) { return b == value; });
}

}  // namespace

TEST_F(Panel, UntilResetAndSetUpTheGlassIsEmptyAndSaysWhyThenShowsTheRamsPowerOnNoise)
{
    EXPECT_TRUE(allOf(lcd.glass(), 0));
    EXPECT_NE(lcd.whyBlank().find("no reset pulse"), std::string::npos) << lcd.whyBlank();
    send(0x21, false);
    ASSERT_EQ(faults.size(), 1u);
    EXPECT_NE(faults[0].find("command 0x21 sent before a reset pulse"), std::string::npos) << faults[0];

    resetPulse(50e-9);  // the datasheet asks for 100 ns
    send(0x21, false);
    ASSERT_EQ(faults.size(), 2u);
    EXPECT_NE(faults[1].find("RES was low for only 50 ns"), std::string::npos) << faults[1];

    resetPulse();
    faults.clear();
    const Pcd8544::Registers& r = lcd.registers();
    EXPECT_TRUE(r.powerDown);
    EXPECT_EQ(r.display, Pcd8544::kBlank);
    EXPECT_EQ(r.vop, 0u);
    EXPECT_NE(lcd.whyBlank().find("power-down"), std::string::npos) << lcd.whyBlank();
    commands({0x21});
    EXPECT_NE(lcd.whyBlank().find("Vop is 0"), std::string::npos) << lcd.whyBlank();
    commands({0x80 | 56, 0x20});
    EXPECT_NE(lcd.whyBlank().find("display is blank"), std::string::npos) << lcd.whyBlank();
    commands({0x0C});
    EXPECT_EQ(lcd.whyBlank(), "");
    // Never written, the RAM shows what it came up with: neither blank nor black.
    const auto glass = lcd.glass();
    EXPECT_GT(std::set<uint8_t>(glass.begin(), glass.end()).size(), 100u);
    EXPECT_TRUE(faults.empty());

    set(Pcd8544::kReset, false);  // held in reset: nothing shows
    EXPECT_NE(lcd.whyBlank().find("RES is low"), std::string::npos);
    EXPECT_TRUE(allOf(lcd.glass(), 0));
}

TEST_F(Panel, DisplayControlShowsBlankAllOnNormalOrInverse)
{
    setUp();
    commands({0x40, 0x80});
    std::vector<uint8_t> frame(kLcdFrameBytes);
    for (size_t i = 0; i < frame.size(); ++i) {
        frame[i] = uint8_t(i * 7);
    }
    data(frame);
    EXPECT_EQ(lcd.glass(), frame);  // 0x0C: normal
    commands({0x08});
    EXPECT_TRUE(allOf(lcd.glass(), 0x00));
    EXPECT_NE(lcd.whyBlank().find("blank"), std::string::npos);
    commands({0x09});
    EXPECT_TRUE(allOf(lcd.glass(), 0xFF));  // all segments on
    commands({0x0D});
    auto inverse = frame;
    for (uint8_t& b : inverse) {
        b = uint8_t(~b);
    }
    EXPECT_EQ(lcd.glass(), inverse);
    commands({0x24});  // PD = 1: power-down keeps the RAM, shows nothing
    EXPECT_TRUE(allOf(lcd.glass(), 0x00));
    commands({0x20});
    EXPECT_EQ(lcd.glass(), inverse);
    EXPECT_TRUE(faults.empty());
}

TEST_F(Panel, EachInstructionSetHasItsOwnCommands)
{
    resetPulse();
    commands({0x23});  // PD 0, V 1, H 1
    EXPECT_FALSE(lcd.registers().powerDown);
    EXPECT_TRUE(lcd.registers().vertical);
    EXPECT_TRUE(lcd.registers().extended);
    commands({0x06, 0x12, 0xBF});  // extended: TC 2, bias BS 2, Vop 63
    EXPECT_EQ(lcd.registers().temperature, 2u);
    EXPECT_EQ(lcd.registers().bias, 2u);
    EXPECT_EQ(lcd.registers().vop, 63u);
    EXPECT_EQ(lcd.registers().x, 0u) << "0xBF set X in the extended set";
    commands({0x20, 0xA5, 0x43, 0x00});  // basic: X 37, Y 3, NOP
    EXPECT_EQ(lcd.registers().x, 37u);
    EXPECT_EQ(lcd.registers().y, 3u);
    EXPECT_EQ(lcd.registers().vop, 63u) << "0xA5 set Vop in the basic set";
    EXPECT_TRUE(faults.empty());
}

TEST_F(Panel, DataFillsColumnBytesAlongRowsOrDownBanksAndWrapsAround)
{
    setUp();
    commands({0x45, 0x80 | 82});
    data({0x11, 0x22, 0x33});  // horizontal: (82,5), (83,5), then back to (0,0)
    EXPECT_EQ(ramAt(82, 5), 0x11);
    EXPECT_EQ(ramAt(83, 5), 0x22);
    EXPECT_EQ(ramAt(0, 0), 0x33);
    commands({0x42, 0x80 | 83});
    data({0x44, 0x55});  // the end of a row goes on at the start of the next bank
    EXPECT_EQ(ramAt(83, 2), 0x44);
    EXPECT_EQ(ramAt(0, 3), 0x55);

    commands({0x22, 0x44, 0x80 | 83});  // vertical addressing
    data({0x66, 0x77, 0x88});  // (83,4), (83,5), then back to (0,0)
    EXPECT_EQ(ramAt(83, 4), 0x66);
    EXPECT_EQ(ramAt(83, 5), 0x77);
    EXPECT_EQ(ramAt(0, 0), 0x88);
    commands({0x45, 0x80 | 10});
    data({0x99, 0xAA});  // the bottom of a column goes on at the top of the next
    EXPECT_EQ(ramAt(10, 5), 0x99);
    EXPECT_EQ(ramAt(11, 0), 0xAA);
    EXPECT_TRUE(faults.empty());
}

TEST_F(Panel, DataOrCommandIsWhatDcReadsAtTheEighthBit)
{
    setUp();
    commands({0x40, 0x80});
    // D/C low through seven bits, high at the eighth: data.
    set(Pcd8544::kDataCommand, false);
    set(Pcd8544::kEnable, false);
    for (int n = 7; n >= 0; --n) {
        set(Pcd8544::kSdin, ((0x3C >> n) & 1) != 0);
        if (n == 0) {
            set(Pcd8544::kDataCommand, true);
        }
        t += 0.5e-6;
        set(Pcd8544::kSclk, true);
        t += 0.5e-6;
        set(Pcd8544::kSclk, false);
    }
    // SCE stays low: the next byte follows at once, here a command with
    // D/C high until its last bit.
    for (int n = 7; n >= 0; --n) {
        set(Pcd8544::kSdin, ((0x0D >> n) & 1) != 0);
        if (n == 0) {
            set(Pcd8544::kDataCommand, false);
        }
        t += 0.5e-6;
        set(Pcd8544::kSclk, true);
        t += 0.5e-6;
        set(Pcd8544::kSclk, false);
    }
    set(Pcd8544::kEnable, true);
    EXPECT_EQ(ramAt(0, 0), 0x3C);
    EXPECT_EQ(lcd.registers().display, Pcd8544::kInverse);
    EXPECT_EQ(lcd.traffic().data, 1u);
    EXPECT_TRUE(faults.empty());
}

TEST_F(Panel, WhatARealPanelPunishesIsAFaultWithItsReason)
{
    setUp();
    send(0x40, false, 0.25e-6);  // 4.0 MHz: the limit itself
    EXPECT_TRUE(faults.empty());
    send(0x40, false, 0.2e-6);
    EXPECT_TRUE(faulted("SCLK at 5.00 MHz")) << faults.front();

    faults.clear();
    set(Pcd8544::kEnable, false);
    for (int n = 0; n < 3; ++n) {
        t += 0.5e-6;
        set(Pcd8544::kSclk, true);
        t += 0.5e-6;
        set(Pcd8544::kSclk, false);
    }
    set(Pcd8544::kEnable, true);
    EXPECT_TRUE(faulted("SCE went high after 3 bits")) << faults.front();

    for (const uint8_t reserved : {0x01, 0x10, 0x30, 0x48}) {
        faults.clear();
        send(reserved, false);
        EXPECT_TRUE(faulted("is not one of the basic instruction set")) << int(reserved);
    }
    faults.clear();
    commands({0x21, 0x08});
    EXPECT_TRUE(faulted("command 0x08 is not one of the extended"));
    commands({0x20});

    faults.clear();
    commands({0x46});
    EXPECT_TRUE(faulted("sets Y to 6"));
    commands({0x80 | 84});
    EXPECT_TRUE(faulted("sets X to 84"));

    faults.clear();
    set(Pcd8544::kReset, false);
    send(0x55, true);
    EXPECT_TRUE(faulted("data byte 0x55 sent while RES is low"));
}

TEST_F(Panel, TrafficTellsTheLongestRunOfDataBytesFirstBitToLast)
{
    setUp();
    data({1, 2, 3});
    commands({0x40});
    data(std::vector<uint8_t>(10, 0));
    // A byte above takes 10 us (8 SCLK periods and 2 us around them): from
    // the first byte's first rising edge to the tenth byte's eighth, nine
    // bytes and seven periods.
    EXPECT_EQ(lcd.traffic().longestRun, 10u);
    EXPECT_NEAR(lcd.traffic().longestRunSeconds, 9 * 10e-6 + 7 * 1e-6, 1e-9);
    EXPECT_EQ(lcd.traffic().data, 13u);
    EXPECT_EQ(lcd.traffic().commands, 7u);
}
