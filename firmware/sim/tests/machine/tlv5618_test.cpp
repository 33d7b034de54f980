// The TLV5618 on its own, its three lines driven by the test, against its
// datasheet: the 16-bit word taken on SCLK's falling edges while /CS is low,
// the register selects (DAC B and buffer; buffer; DAC A with B from the
// buffer), the output voltage, fast and slow settling, power-down, the
// lines ignored while /CS is high, and each fault by name.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "machine/tlv5618.h"

using namespace boardsim;

namespace {

constexpr double kLsb = 2 * 1.49 / 4096;

struct DacBench {
    DacBench()
    {
        dac.powerOn({false, false, true}, 0);
        dac.listen([this](unsigned output, const Tlv5618::Step& step) { steps.push_back({output, step}); });
    }
    void set(unsigned line, bool level) { dac.setLine(line, level, t); }

    // SCLK idles low; DIN changes on the rising edge and is taken on the
    // falling one (an SPI master in CPOL 0, CPHA 1), `bits` clocks of
    // `period` with /CS low around them.
    void clockIn(uint32_t value, unsigned bits, double period = 1e-6)
    {
        for (unsigned n = 0; n < bits; ++n) {
            t += period / 2;
            set(Tlv5618::kSclk, true);
            set(Tlv5618::kDin, ((value >> (bits - 1 - n)) & 1u) != 0);
            t += period / 2;
            set(Tlv5618::kSclk, false);
        }
    }
    void send(uint16_t word, double period = 1e-6)
    {
        set(Tlv5618::kCs, false);
        clockIn(word, 16, period);
        t += 1e-6;
        set(Tlv5618::kCs, true);
        t += 1e-6;
    }
    bool faulted(const std::string& part) const
    {
        return std::any_of(faults.begin(), faults.end(),
                           [&](const std::string& f) { return f.find(part) != std::string::npos; });
    }
    double settledVolts(unsigned output) const { return dac.volts(output, t + 1); }

    struct Heard {
        unsigned output;
        Tlv5618::Step step;
    };
    double t = 1e-6;
    std::vector<std::string> faults;
    std::vector<Heard> steps;
    Tlv5618 dac{[this](const std::string& what) { faults.push_back(what); }};
};

}  // namespace

TEST(Dac, AWordIsSixteenBitsMsbFirstOnFallingEdgesAndTakesEffectAtTheSixteenth)
{
    DacBench d;
    d.set(Tlv5618::kCs, false);
    d.clockIn(0x4ABC >> 1, 15);
    EXPECT_TRUE(d.steps.empty()) << "nothing happens before the 16th edge";
    d.clockIn(0, 1);  // the last bit of 0x4ABC is 0
    ASSERT_EQ(d.steps.size(), 1u);
    EXPECT_EQ(d.steps[0].output, Tlv5618::kB);
    EXPECT_DOUBLE_EQ(d.steps[0].step.time, d.t) << "the 16th falling edge is the word's moment";
    EXPECT_EQ(d.dac.registers().dacB, 0xABC);
    EXPECT_EQ(d.dac.registers().buffer, 0xABC);
    EXPECT_TRUE(d.dac.registers().fast);
    EXPECT_DOUBLE_EQ(d.steps[0].step.target, 2 * 1.49 * 0xABC / 4096);
    d.t += 1e-6;
    d.set(Tlv5618::kCs, true);
    EXPECT_TRUE(d.faults.empty()) << d.faults.front();
    EXPECT_EQ(d.dac.words(), 1u);
}

TEST(Dac, RegisterSelectsDacBAndBufferThenBufferOnlyThenDacAWithBFromTheBuffer)
{
    DacBench d;
    d.send(0x4000 | 100);  // R1 R0 = 00: DAC B and the buffer
    EXPECT_NEAR(d.settledVolts(Tlv5618::kB), 100 * kLsb, 1e-12);
    EXPECT_DOUBLE_EQ(d.settledVolts(Tlv5618::kA), 0);

    d.steps.clear();
    d.send(0x5000 | 2000);  // 01: the buffer only, no output moves
    EXPECT_TRUE(d.steps.empty());
    EXPECT_EQ(d.dac.registers().buffer, 2000);
    EXPECT_NEAR(d.settledVolts(Tlv5618::kB), 100 * kLsb, 1e-12);

    d.send(0xC000 | 4095);  // 10: DAC A, and B from the buffer, both at once
    ASSERT_EQ(d.steps.size(), 2u);
    EXPECT_EQ(d.steps[0].output, Tlv5618::kA);
    EXPECT_EQ(d.steps[1].output, Tlv5618::kB);
    EXPECT_DOUBLE_EQ(d.steps[0].step.time, d.steps[1].step.time);
    EXPECT_NEAR(d.settledVolts(Tlv5618::kA), 4095 * kLsb, 1e-12);
    EXPECT_NEAR(d.settledVolts(Tlv5618::kB), 2000 * kLsb, 1e-12);
    EXPECT_NEAR(d.settledVolts(Tlv5618::kA), 2.98 * 4095 / 4096, 1e-12) << "full scale is 2 x REF = 2.98 V";
    EXPECT_TRUE(d.faults.empty());
}

TEST(Dac, FastAndSlowModeSettleAFullScaleStepToHalfAnLsbInTheirSettlingTimes)
{
    DacBench d;
    for (const bool fast : {true, false}) {
        d.send(fast ? 0x4000 : 0x0000);  // from 0 V, settled
        d.t += 1e-3;
        d.send(uint16_t((fast ? 0x4000 : 0x0000) | 4095));
        const Tlv5618::Step step = d.dac.lastStep(Tlv5618::kB);
        const double settle = fast ? Tlv5618::kSettleFast : Tlv5618::kSettleSlow;
        const double target = 4095 * kLsb;
        EXPECT_DOUBLE_EQ(step.at(step.time), 0) << "an output does not jump";
        const double early = step.at(step.time + 0.9 * settle);
        const double late = step.at(step.time + settle);
        EXPECT_GT(target - early, kLsb / 2) << (fast ? "fast" : "slow");
        EXPECT_LE(target - late, kLsb / 2 + 1e-9) << (fast ? "fast" : "slow");
        EXPECT_GT(step.at(step.time + settle / 10), step.at(step.time + settle / 20)) << "it rises all the way";
        d.t += 1e-3;
    }
}

TEST(Dac, AWordDuringSettlingStartsFromWhereTheOutputIs)
{
    DacBench d;
    d.send(0x0000 | 4000);  // slow
    const double started = d.dac.lastStep(Tlv5618::kB).time;
    d.send(0x0000 | 1000);
    const Tlv5618::Step second = d.dac.lastStep(Tlv5618::kB);
    const double midway = Tlv5618::Step{started, 0, 4000 * kLsb, Tlv5618::tauOf(false)}.at(second.time);
    EXPECT_NEAR(second.from, midway, 1e-12);
    EXPECT_GT(second.from, 0.5) << "the first step had not settled";
}

TEST(Dac, PowerDownTurnsBothOutputsOffAndAWordWithoutPwrBringsThemBack)
{
    DacBench d;
    d.send(0xC000 | 3000);  // A 3000 (and B from the buffer, 0)
    d.send(0x4000 | 1000);  // B 1000
    d.steps.clear();
    d.send(0x6000 | 1234);  // PWR = 1, writing B and the buffer
    EXPECT_TRUE(d.dac.registers().powerDown);
    EXPECT_EQ(d.steps.size(), 2u) << "both outputs go off";
    EXPECT_DOUBLE_EQ(d.dac.volts(Tlv5618::kA, d.t), 0);
    EXPECT_DOUBLE_EQ(d.dac.volts(Tlv5618::kB, d.t), 0);
    d.send(0x5000 | 7);  // buffer only, power back on: both settle to their codes
    EXPECT_FALSE(d.dac.registers().powerDown);
    EXPECT_NEAR(d.settledVolts(Tlv5618::kA), 3000 * kLsb, 1e-12);
    EXPECT_NEAR(d.settledVolts(Tlv5618::kB), 1234 * kLsb, 1e-12);
    EXPECT_TRUE(d.faults.empty());
}

TEST(Dac, SclkAndDinAreIgnoredWhileCsIsHigh)
{
    DacBench d;
    // Another device's bytes on the shared lines: 24 clocks with /CS high.
    d.clockIn(0xFFFFFF, 24);
    EXPECT_TRUE(d.steps.empty());
    EXPECT_TRUE(d.faults.empty());
    d.send(0x4000 | 77);
    EXPECT_EQ(d.dac.registers().dacB, 77) << "a word after them starts afresh";
    EXPECT_TRUE(d.faults.empty());
}

TEST(Dac, EveryTimingTheDatasheetForbidsIsAFaultByName)
{
    struct Case {
        const char* what;
        std::function<void(DacBench&)> drive;
        const char* named;
    };
    const std::vector<Case> cases = {
        {"a word cut short", [](DacBench& d) {
             d.set(Tlv5618::kCs, false);
             d.clockIn(0x4000, 9);
             d.t += 1e-6;
             d.set(Tlv5618::kCs, true);
         }, "after 9 of a word's 16"},
        {"a 17th clock", [](DacBench& d) {
             d.set(Tlv5618::kCs, false);
             d.clockIn(0x4000, 17);
         }, "a 17th falling edge"},
        {"SCLK at 25 MHz", [](DacBench& d) { d.send(0x4000, 40e-9); }, "above the 20 MHz"},
        {"DIN changing on the falling edge (CPHA 0)", [](DacBench& d) {
             d.set(Tlv5618::kCs, false);
             d.t += 1e-6;
             d.set(Tlv5618::kSclk, true);
             d.t += 0.5e-6;
             d.set(Tlv5618::kSclk, false);
             d.set(Tlv5618::kDin, true);
         }, "after a falling edge of SCLK"},
        {"DIN changing just before the falling edge", [](DacBench& d) {
             d.set(Tlv5618::kCs, false);
             d.t += 1e-6;
             d.set(Tlv5618::kSclk, true);
             d.t += 0.5e-6;
             d.set(Tlv5618::kDin, true);
             d.t += 3e-9;
             d.set(Tlv5618::kSclk, false);
         }, "before a falling edge of SCLK"},
        {"/CS low too late", [](DacBench& d) {
             d.set(Tlv5618::kSclk, true);
             d.t += 1e-6;
             d.set(Tlv5618::kCs, false);
             d.t += 2e-9;
             d.set(Tlv5618::kSclk, false);
         }, "/CS went low only 2 ns"},
        {"/CS high right after the 16th edge", [](DacBench& d) {
             d.set(Tlv5618::kCs, false);
             d.clockIn(0x4000, 16);
             d.t += 4e-9;
             d.set(Tlv5618::kCs, true);
         }, "the converter needs 10 ns"},
        {"the reserved register", [](DacBench& d) { d.send(0x9000 | 5); }, "R1 R0 = 11"},
    };
    for (const Case& c : cases) {
        DacBench d;
        c.drive(d);
        EXPECT_TRUE(d.faulted(c.named)) << c.what << ": " << (d.faults.empty() ? "no fault" : d.faults.front());
        EXPECT_TRUE(d.faulted("DAC (TLV5618): ")) << c.what;
    }
    // The reserved word writes nothing.
    DacBench reserved;
    reserved.send(0x9000 | 5);
    EXPECT_EQ(reserved.dac.registers().dacA, 0);
    EXPECT_EQ(reserved.dac.registers().buffer, 0);
}

TEST(Dac, TheFastestLpcSpiAndATwoByteWordWithAPauseBetweenThemAreNoFault)
{
    DacBench d;
    // SCK at pclk / 8 with pclk at its 60 MHz maximum: 7.5 MHz.
    d.set(Tlv5618::kCs, false);
    d.clockIn(0x40, 8, 1 / 7.5e6);
    d.t += 5e-6;  // the code writes the second byte
    d.clockIn(0xFA, 8, 1 / 7.5e6);
    d.t += 50e-9;
    d.set(Tlv5618::kCs, true);
    EXPECT_TRUE(d.faults.empty()) << d.faults.front();
    EXPECT_EQ(d.dac.registers().dacB, 0x0FA);
}
