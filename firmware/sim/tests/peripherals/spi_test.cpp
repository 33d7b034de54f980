// SPI0 on its own, at its register offsets (user manual, "SPI interface
// SPI0"): SPIF eight SCK periods after a write, SCK = pclk / SPCCR, the
// waveform on its pins for each mode, the status bits and how each is
// cleared, the interrupt flag, and as slave what an outside master clocks in.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <tuple>
#include <vector>

#include "peripherals/spi.h"
#include "support/fake_services.h"

using namespace boardsim;
using boardsim::testing::ModelUnderTest;

namespace {

constexpr uint32_t SPCR = 0x00, SPSR = 0x04, SPDR = 0x08, SPCCR = 0x0C, SPINT = 0x1C;
constexpr uint32_t MSTR = 0x20, CPHA = 0x08, CPOL = 0x10, LSBF = 0x40, SPIE = 0x80;
constexpr uint32_t ABRT = 0x08, MODF = 0x10, ROVR = 0x20, WCOL = 0x40, SPIF = 0x80;
constexpr double kPclk = 11059200.0 / 4;  // the fake board's peripheral clock

// The pins as the model sees them: what it drives, the edges it hands
// over, and inputs the test sets.
struct RecordedPins final : SignalPins {
    struct Edge {
        unsigned signal;
        double time;
        bool level;
    };
    void drive(unsigned signal, bool enabled, bool level) override
    {
        driving[signal] = enabled;
        levels[signal] = level;
    }
    void driveAt(unsigned signal, double time, bool level) override { edges.push_back({signal, time, level}); }
    void cancelAfter(double time) override
    {
        edges.erase(std::remove_if(edges.begin(), edges.end(), [time](const Edge& e) { return e.time > time; }),
                    edges.end());
    }
    void settle(double /*time*/) override {}
    bool input(unsigned signal) override { return inputs[signal]; }
    bool connected(unsigned /*signal*/) const override { return true; }

    // The edges of one signal, in order.
    std::vector<Edge> of(unsigned signal) const
    {
        std::vector<Edge> out;
        for (const Edge& e : edges) {
            if (e.signal == signal) {
                out.push_back(e);
            }
        }
        return out;
    }

    std::array<bool, spi::kSignals> driving{};
    std::array<bool, spi::kSignals> levels{};
    std::array<bool, spi::kSignals> inputs{true, true, true, true};
    std::vector<Edge> edges;
};

struct Spi0 : ::testing::Test {
    Spi0() { spi.model.connectPins(pins); }

    // Master at SPCCR = `counter`, one byte sent now.
    void send(uint8_t byte, uint32_t control = MSTR, uint32_t counter = 8)
    {
        spi.write(SPCCR, counter);
        spi.write(SPCR, control);
        spi.write(SPDR, byte);
    }
    // The byte as a slave sees MOSI at the master's sampling edges, MOSI
    // resting at `mosi` before the byte.
    uint8_t mosiSampled(unsigned mode, bool lsbFirst, bool mosi) const
    {
        const bool cpha = (mode & 1) != 0;
        const bool cpol = (mode & 2) != 0;
        uint8_t byte = 0;
        unsigned n = 0;
        size_t next = 0;
        const auto mosiEdges = pins.of(spi::kMosi);
        for (const auto& sck : pins.of(spi::kSck)) {
            while (next < mosiEdges.size() && mosiEdges[next].time <= sck.time &&
                   !(mosiEdges[next].time == sck.time && cpha)) {
                mosi = mosiEdges[next++].level;
            }
            const bool leading = sck.level != cpol;
            if (leading != cpha) {
                byte = uint8_t(byte | (unsigned(mosi) << (lsbFirst ? n : 7 - n)));
                ++n;
            }
        }
        return byte;
    }

    ModelUnderTest<Spi> spi{0u};
    RecordedPins pins;
};

}  // namespace

TEST_F(Spi0, SpifComesEightSckPeriodsAfterTheWriteAtPclkOverTheCounter)
{
    EXPECT_EQ(spi.model.registerName(SPDR, true), "S0SPDR");
    for (const uint32_t counter : {8u, 254u}) {
        const double start = spi.services.time;
        const double byteTime = 8 * counter / kPclk;  // 23.1 us at 8, 735 us at 254
        send(0x5A, MSTR, counter);
        EXPECT_NEAR(spi.model.sckHz(), kPclk / counter, 1e-6);
        spi.services.advanceTo(start + byteTime * 0.999);
        EXPECT_EQ(spi.read(SPSR) & SPIF, 0u) << counter;
        spi.services.advanceTo(start + byteTime * 1.001);
        EXPECT_EQ(spi.read(SPSR) & SPIF, SPIF) << counter;
        EXPECT_EQ(spi.read(SPDR), 0xFFu);  // MISO idles high: nothing answered
        EXPECT_EQ(spi.read(SPSR) & SPIF, 0u);  // read SPSR, then SPDR: cleared
        pins.edges.clear();
    }
    EXPECT_TRUE(spi.services.faults.empty());
}

TEST_F(Spi0, EachModeAndBitOrderPutsTheByteOnMosiAroundItsSampleEdges)
{
    for (unsigned mode = 0; mode < 4; ++mode) {
        for (const bool lsbFirst : {false, true}) {
            SCOPED_TRACE("mode " + std::to_string(mode) + (lsbFirst ? " LSB first" : " MSB first"));
            pins.edges.clear();
            const uint32_t control = MSTR | (mode & 1 ? CPHA : 0) | (mode & 2 ? CPOL : 0) | (lsbFirst ? LSBF : 0);
            spi.write(SPCCR, 8);
            spi.write(SPCR, control);
            EXPECT_TRUE(pins.driving[spi::kSck]);
            EXPECT_TRUE(pins.driving[spi::kMosi]);
            EXPECT_FALSE(pins.driving[spi::kMiso]);
            EXPECT_EQ(pins.levels[spi::kSck], (mode & 2) != 0);  // SCK idles at CPOL
            const double start = spi.services.time;
            const bool mosiBefore = pins.levels[spi::kMosi];
            spi.write(SPDR, 0xB4);
            // 16 SCK edges half a period apart, from half a period in, back
            // to the idle level at the end.
            const auto sck = pins.of(spi::kSck);
            ASSERT_EQ(sck.size(), 16u);
            const double half = 4 / kPclk;
            for (size_t i = 0; i < sck.size(); ++i) {
                EXPECT_NEAR(sck[i].time - start, (i + 1) * half, 1e-12);
                EXPECT_EQ(sck[i].level, ((mode & 2) != 0) != (i % 2 == 0));
            }
            EXPECT_EQ(mosiSampled(mode, lsbFirst, mosiBefore), 0xB4);
            spi.services.advanceTo(start + 16 * half);
            spi.read(SPSR);
            spi.read(SPDR);
        }
    }
}

TEST_F(Spi0, AWriteWhileShiftingOrBeforeSpsrIsReadIsACollisionAndIsDropped)
{
    send(0x11);
    spi.write(SPDR, 0x22);  // mid-byte
    EXPECT_EQ(pins.of(spi::kSck).size(), 16u) << "the colliding byte was sent";
    EXPECT_EQ(spi.read(SPSR), WCOL);
    spi.services.advanceTo(1e-3);
    spi.write(SPDR, 0x33);  // SPIF set, but SPSR not read since
    EXPECT_EQ(pins.of(spi::kSck).size(), 16u);
    EXPECT_EQ(spi.read(SPSR), SPIF | WCOL);
    EXPECT_EQ(spi.read(SPSR), SPIF | WCOL);  // reading alone clears neither
    spi.write(SPDR, 0x44);  // SPSR read with both: this access clears them and starts a byte
    EXPECT_EQ(pins.of(spi::kSck).size(), 32u);
    EXPECT_EQ(spi.read(SPSR), 0u);
}

TEST_F(Spi0, SselLowInMasterModeIsAModeFaultThatDropsToSlaveAndLetsGoOfThePins)
{
    spi.write(SPCR, MSTR | SPIE);
    spi.write(SPCCR, 8);
    spi.services.time = 1e-3;
    spi.write(SPDR, 0xFF);
    spi.model.inputChanged(spi::kSsel, false, 1e-3 + 5 / kPclk);  // another master, after SCK's first edge
    EXPECT_EQ(spi.read(SPCR) & MSTR, 0u);
    EXPECT_FALSE(pins.driving[spi::kSck]);
    EXPECT_FALSE(pins.driving[spi::kMosi]);
    EXPECT_EQ(pins.of(spi::kSck).size(), 1u) << "edges after the fault were not dropped";
    EXPECT_TRUE(spi.irq);
    spi.services.advanceTo(1e-2);
    EXPECT_EQ(spi.read(SPSR), MODF);  // the byte never completed
    spi.write(SPINT, 1);
    EXPECT_FALSE(spi.irq);
    spi.model.inputChanged(spi::kSsel, true, 1e-2);
    spi.write(SPCR, MSTR);  // SPSR read with MODF, then SPCR written: cleared
    EXPECT_EQ(spi.read(SPSR), 0u);
    EXPECT_TRUE(pins.driving[spi::kSck]);

    // SSEL already low when master mode is asked for.
    pins.inputs[spi::kSsel] = false;
    spi.write(SPCR, 0);
    spi.write(SPCR, MSTR);
    EXPECT_EQ(spi.read(SPSR), MODF);
    EXPECT_EQ(spi.read(SPCR) & MSTR, 0u);
}

TEST_F(Spi0, SpifRaisesTheInterruptOnlyWithSpieUntilAOneIsWrittenToSpint)
{
    send(0x01);
    spi.services.advanceTo(1e-3);
    EXPECT_FALSE(spi.irq);
    EXPECT_EQ(spi.read(SPINT), 0u);
    spi.read(SPSR);
    spi.write(SPDR, 0x02);
    pins.levels[spi::kSck] = true;
    spi.write(SPCR, MSTR | SPIE);  // mid-byte: SCK stays the waveform's
    EXPECT_TRUE(pins.levels[spi::kSck]);
    spi.services.advanceTo(2e-3);
    EXPECT_TRUE(spi.irq);
    EXPECT_EQ(spi.read(SPINT), 1u);
    spi.write(SPINT, 0);  // a zero changes nothing
    EXPECT_TRUE(spi.irq);
    spi.write(SPINT, 1);
    EXPECT_FALSE(spi.irq);
    EXPECT_EQ(spi.read(SPINT), 0u);
}

TEST_F(Spi0, TheMasterReadsMisoAtItsSamplingEdges)
{
    send(0x00);
    const double start = spi.services.time;
    const double period = 8 / kPclk;
    // MISO low during bits 2 and 3 (sampled at 2.5 and 3.5 periods), high again after.
    spi.model.inputChanged(spi::kMiso, false, start + 2.2 * period);
    spi.model.inputChanged(spi::kMiso, true, start + 3.8 * period);
    spi.services.advanceTo(start + 9 * period);
    spi.read(SPSR);
    EXPECT_EQ(spi.read(SPDR), 0xCFu);  // 1100 1111
}

TEST_F(Spi0, AClockCounterBelowEightOrOddIsAFaultInMasterMode)
{
    for (const uint32_t counter : {0u, 6u, 9u}) {
        spi.services.faults.clear();
        send(0x55, MSTR, counter);
        ASSERT_EQ(spi.services.faults.size(), 1u) << counter;
        EXPECT_NE(spi.services.faults[0].find("S0SPCCR = " + std::to_string(counter)), std::string::npos)
            << spi.services.faults[0];
        EXPECT_TRUE(pins.edges.empty());
        EXPECT_EQ(spi.model.sckHz(), 0);
    }
}

// As slave (mode 0): SSEL low selects it, the outside master's SCK edges
// shift MOSI in and SPDR's byte out on MISO.
TEST_F(Spi0, AsSlaveItTakesWhatAMasterClocksInWithOverrunAndAbort)
{
    double t = 0;
    auto clockIn = [&](uint8_t byte, unsigned bits) {
        for (unsigned n = 0; n < bits; ++n) {
            pins.inputs[spi::kMosi] = (byte >> (7 - n)) & 1;
            spi.model.inputChanged(spi::kSck, true, t += 1e-6);  // sampled
            spi.model.inputChanged(spi::kSck, false, t += 1e-6);
        }
    };
    std::vector<bool> misoBits;
    spi.write(SPDR, 0x96);  // to send
    spi.model.inputChanged(spi::kSsel, false, t);
    EXPECT_TRUE(pins.driving[spi::kMiso]);
    for (unsigned n = 0; n < 8; ++n) {
        misoBits.push_back(pins.levels[spi::kMiso]);
        pins.inputs[spi::kMosi] = (0x3C >> (7 - n)) & 1;
        spi.model.inputChanged(spi::kSck, true, t += 1e-6);
        spi.model.inputChanged(spi::kSck, false, t += 1e-6);
    }
    EXPECT_EQ(misoBits, (std::vector<bool>{true, false, false, true, false, true, true, false}));  // 0x96
    EXPECT_EQ(spi.read(SPSR), SPIF);

    clockIn(0x81, 8);  // SPIF still set: this byte is lost
    EXPECT_EQ(spi.read(SPSR), SPIF | ROVR);
    EXPECT_EQ(spi.read(SPSR), SPIF);  // ROVR clears on reading SPSR
    EXPECT_EQ(spi.read(SPDR), 0x3Cu);

    clockIn(0xF0, 3);
    spi.model.inputChanged(spi::kSsel, true, t += 1e-6);  // let go mid-byte
    EXPECT_FALSE(pins.driving[spi::kMiso]);
    EXPECT_EQ(spi.read(SPSR), ABRT);
    EXPECT_EQ(spi.read(SPSR), 0u);
}
