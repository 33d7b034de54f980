// Every model of the machine through its register definitions: after reset
// each readable register reads its reset value, the access rules hold at
// the bus, names are unique, and a definition that cannot be right is
// refused when the machine is built. The definition mechanism itself on a
// model made for the test: field access modes, callbacks, aliases, widths.
#include <gtest/gtest.h>

#include <limits>
#include <set>

#include "core/board_error.h"
#include "machine/lpc2294.h"
#include "support/fake_services.h"

using namespace boardsim;
using boardsim::testing::FakeServices;
using boardsim::testing::ModelUnderTest;

namespace {

struct Machine : ::testing::Test {
    Machine()
    {
        machine.attach(services);
        services.pclk = [this] { return machine.pclkHz(); };
        machine.reset();
    }
    FakeServices services;
    Lpc2294Machine machine;
};

}  // namespace

TEST_F(Machine, EveryReadableRegisterReadsItsResetValueAndItsDefinitionDecidesAccess)
{
    for (const DeviceRow& row : Lpc2294Machine::rows()) {
        Peripheral& device = *machine.device(row.name);
        std::set<uint32_t> words;
        for (const Register& r : device.registers()) {
            SCOPED_TRACE(r.name());
            words.insert(r.offset());
            if (r.conditional()) {
                continue;  // an alias: reached below through its condition
            }
            EXPECT_EQ(device.registerName(r.offset(), !r.readable()), r.name());
            const BusResult read = device.read(r.offset(), 4);
            if (r.readable()) {
                EXPECT_TRUE(read.ok) << read.problem;
                if (r.hasResetValue()) {
                    EXPECT_EQ(read.value, r.resetValue());
                }
            } else if (device.registerName(r.offset(), false) == r.name()) {
                EXPECT_FALSE(read.ok) << "write-only, and alone at its offset";
            }
        }
        // Every word of its space that no register holds is refused.
        for (uint32_t offset = 0; offset < device.size(); offset += 4) {
            if (words.count(offset) == 0) {
                const BusResult r = device.read(offset, 4);
                EXPECT_FALSE(r.ok) << row.name << " answered at offset " << offset;
            }
        }
    }
    EXPECT_TRUE(services.faults.empty());
}

TEST_F(Machine, StorageRegistersKeepOnlyTheirFieldsBitsAndResetRestoresTheDefinition)
{
    Peripheral& scb = *machine.device("scb");
    ASSERT_TRUE(scb.write(0x040, 4, 0xFFFFFFFF).ok);  // MEMMAP: MAP only
    EXPECT_EQ(scb.read(0x040, 4).value, 0x3u);
    Peripheral& uart = *machine.device("uart0");
    ASSERT_TRUE(uart.write(0x1C, 1, 0x5A).ok);  // U0SCR: eight bits of storage
    EXPECT_EQ(uart.read(0x1C, 1).value, 0x5Au);
    machine.reset();
    EXPECT_EQ(scb.read(0x040, 4).value, 0u);
    EXPECT_EQ(uart.read(0x1C, 1).value, 0u);
}

namespace {

// A block made for the test: one register of each kind the mechanism
// offers, at the offsets below.
constexpr uint32_t STATUS = 0x0, CONTROL = 0x4, DATA = 0x8, WIDE = 0xC;
constexpr Field kDone{"DONE", 0, 1};
constexpr Field kError{"ERR", 1, 1};
constexpr Field kLost{"LOST", 2, 1};
constexpr Field kLevel{"LEVEL", 4, 4};
constexpr Field kMode{"MODE", 0, 2};
constexpr Field kGo{"GO", 2, 1};

class Sample final : public Peripheral {
public:
    Sample()
        : Peripheral("SAMPLE", 0x10),
          status_(define(STATUS, "SSTAT", 8, 0x01)
                      .field(kDone, Access::WriteOneToClear)
                      .field(kError, Access::ReadOnly)
                      .field(kLost, Access::ReadToClear)
                      .field(kLevel, Access::ReadOnly, [this] { return level; })),
          control_(define(CONTROL, "SCTRL", 8).field(kMode).field(kGo, Access::WriteOnly))
    {
        control_.beforeWrite([this] { seenBefore = control_.value(); }).afterWrite([this](uint32_t v) {
            written.push_back(v);
        });
        // DATA: read from a FIFO, written to another, the divisor while
        // SCTRL.MODE is 3.
        define(DATA, "SDIV", 8, 0x07).onlyWhile("SCTRL.MODE = 3", [this] { return control_.get(kMode) == 3; });
        define(DATA, "SRX", 8, 0, Access::ReadOnly).reads([this] { return uint32_t(rx++); });
        define(DATA, "STX", 8, 0, Access::WriteOnly).writes([this](uint32_t v) { tx.push_back(v); });
        define(WIDE, "SWIDE", 32);
        reset();
    }
    void flag(const Field& f) { status_.put(f, 1); }

    uint32_t level = 0;
    uint32_t seenBefore = 0xFF;
    uint32_t rx = 0x41;
    std::vector<uint32_t> written, tx;

private:
    Register& status_;
    Register& control_;
};

}  // namespace

TEST(RegisterDefinition, EachFieldTakesAccessesByItsOwnMode)
{
    ModelUnderTest<Sample> s;
    EXPECT_EQ(s.read(STATUS), 0x01u);  // the reset value
    s.model.flag(kError);
    s.model.flag(kLost);
    s.model.level = 9;
    EXPECT_EQ(s.read(STATUS), 0x97u);
    EXPECT_EQ(s.read(STATUS), 0x93u);  // LOST cleared by the read before
    s.write(STATUS, 0xFE);             // a 0 leaves DONE; ERR and LEVEL are read-only
    EXPECT_EQ(s.read(STATUS), 0x93u);
    s.write(STATUS, 0x01);             // a 1 clears DONE
    EXPECT_EQ(s.read(STATUS), 0x92u);

    s.write(CONTROL, 0xFF);  // MODE and GO kept; GO reads 0
    EXPECT_EQ(s.read(CONTROL), 0x03u);
    EXPECT_EQ(s.model.seenBefore, 0u);  // the hook before the write saw the old value
    EXPECT_EQ(s.model.written, std::vector<uint32_t>{0xFF});
    s.model.reset();
    EXPECT_EQ(s.read(CONTROL), 0u);
    EXPECT_EQ(s.read(STATUS), 0x91u);  // DONE again; LEVEL is the model's
}

TEST(RegisterDefinition, AliasesAnswerByDirectionAndCondition)
{
    ModelUnderTest<Sample> s;
    EXPECT_EQ(s.model.registerName(DATA, false), "SRX");
    EXPECT_EQ(s.model.registerName(DATA, true), "STX");
    EXPECT_EQ(s.read(DATA), 0x41u);
    EXPECT_EQ(s.read(DATA), 0x42u);
    s.write(DATA, 0x1234);  // an 8-bit register takes the low byte
    EXPECT_EQ(s.model.tx, std::vector<uint32_t>{0x34});
    s.write(CONTROL, 3);  // the divisor's condition
    EXPECT_EQ(s.model.registerName(DATA, true), "SDIV");
    EXPECT_EQ(s.read(DATA), 0x07u);  // its own reset value
    s.write(DATA, 0x05);
    EXPECT_EQ(s.read(DATA), 0x05u);
    EXPECT_EQ(s.model.tx.size(), 1u);
    s.write(CONTROL, 0);
    EXPECT_EQ(s.read(DATA), 0x43u);
}

// The chip reaches a register only whole, at its word address: loads of
// any width take its low bits; a store at least as wide as the register
// writes its low bits; a narrower one is refused, saying what it would do.
TEST(RegisterDefinition, AccessWidthsAreTheChipsWholeRegisterRules)
{
    ModelUnderTest<Sample> s;
    s.write(WIDE, 0x12345678);
    EXPECT_EQ(s.read(WIDE, 1), 0x78u);
    EXPECT_EQ(s.read(WIDE, 2), 0x5678u);
    s.write(CONTROL, 0x2, 1);
    s.write(CONTROL, 0x1, 2);
    EXPECT_EQ(s.read(CONTROL, 1), 0x1u);

    const BusResult narrow = s.model.write(WIDE, 2, 0xABCD);
    EXPECT_FALSE(narrow.ok);
    EXPECT_NE(narrow.problem.find("SWIDE is 32 bits wide"), std::string::npos) << narrow.problem;
    EXPECT_NE(narrow.problem.find("0xabcdabcd"), std::string::npos) << narrow.problem;
    EXPECT_EQ(s.read(WIDE), 0x12345678u);  // untouched

    for (const BusResult& r : {s.model.read(WIDE + 1, 1), s.model.write(CONTROL + 2, 2, 0)}) {
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.problem.find("at its word address"), std::string::npos) << r.problem;
    }
    EXPECT_FALSE(s.model.write(0x10, 4, 0).ok);
}

// A register is steady (a loop polling it may have turns counted unrun)
// when reading it again gives the same and changes nothing: storage, which
// only the bus or scheduled work changes, for ever; a register the model
// reads out, or one a read clears, not unless its definition says so.
TEST(RegisterDefinition, OnlyWhatNothingButTheBusChangesIsSteady)
{
    constexpr double kForEver = std::numeric_limits<double>::infinity();
    ModelUnderTest<Sample> s;
    EXPECT_EQ(s.model.steadyUntil(CONTROL), kForEver);
    EXPECT_EQ(s.model.steadyUntil(WIDE), kForEver);
    EXPECT_EQ(s.model.steadyUntil(STATUS), 0);  // LOST clears on a read, LEVEL is the model's
    EXPECT_EQ(s.model.steadyUntil(DATA), 0);    // SRX pops a FIFO
    s.write(CONTROL, 3);
    EXPECT_EQ(s.model.steadyUntil(DATA), kForEver);  // SDIV answers now
    EXPECT_EQ(s.model.steadyUntil(WIDE + 1), 0);     // refused, so no promise
    EXPECT_EQ(s.model.steadyUntil(0x10), 0);

    Register marked(0, "MARKED", 8, 0, Access::ReadOnly);
    marked.reads([] { return 1u; });
    EXPECT_EQ(marked.steadyUntil(), 0);
    marked.steady();
    EXPECT_EQ(marked.steadyUntil(), kForEver);
    marked.steady([] { return 0.25; });
    EXPECT_EQ(marked.steadyUntil(), 0.25);
}

TEST_F(Machine, PolledStatusAndPinsAreSteadyAndCountersAreNot)
{
    constexpr double kForEver = std::numeric_limits<double>::infinity();
    Peripheral& uart = *machine.device("uart0");
    EXPECT_EQ(uart.steadyUntil(0x14), kForEver);  // U0LSR: frames end by scheduled work
    EXPECT_EQ(uart.steadyUntil(0x00), 0);         // U0RBR pops the FIFO
    EXPECT_EQ(uart.steadyUntil(0x08), 0);         // U0IIR: a read clears THRE's interrupt
    Peripheral& timer = *machine.device("timer0");
    EXPECT_EQ(timer.steadyUntil(0x08), 0);         // T0TC counts by itself
    EXPECT_EQ(timer.steadyUntil(0x00), kForEver);  // T0IR: set by a match, which is scheduled
    Peripheral& gpio = *machine.device("gpio");
    for (const uint32_t reg : {0x00u, 0x04u, 0x08u, 0x20u}) {
        EXPECT_EQ(gpio.steadyUntil(reg), kForEver) << reg;  // no pin edge on its way
    }
    EXPECT_EQ(gpio.steadyUntil(0x0C), 0);  // IO0CLR is write-only
}

namespace {

// A block whose definitions cannot be right, in each of the ways a new
// model could go wrong.
class Broken final : public Peripheral {
public:
    enum Fault { SameAccessSameOffset, AliasBehindAnother, OutsideItsSpace, FieldBeyondWidth, OverlappingFields,
                 ResetBeyondWidth, NameTwice };
    explicit Broken(Fault fault) : Peripheral("BROKEN", 0x10)
    {
        define(0x0, "PLAIN", 32);
        switch (fault) {
        case SameAccessSameOffset: define(0x0, "AGAIN", 32); break;
        case AliasBehindAnother: define(0x0, "LATER", 32).onlyWhile("never", [] { return true; }); break;
        case OutsideItsSpace: define(0x10, "BEYOND", 32); break;
        case FieldBeyondWidth: define(0x4, "NARROW", 8).field({"HIGH", 6, 4}); break;
        case OverlappingFields: define(0x4, "TWICE", 8).field({"A", 0, 4}).field({"B", 3, 2}); break;
        case ResetBeyondWidth: define(0x4, "SMALL", 8, 0x100); break;
        case NameTwice: define(0x4, "PLAIN", 32); break;
        }
    }
};

}  // namespace

TEST(RegisterDefinition, ADefinitionThatCannotBeRightIsRefusedNamingTheRegister)
{
    const std::pair<Broken::Fault, const char*> cases[] = {
        {Broken::SameAccessSameOffset, "AGAIN (offset 0x00000000) shares its offset with PLAIN"},
        {Broken::AliasBehindAnother, "LATER (offset 0x00000000) shares its offset with PLAIN"},
        {Broken::OutsideItsSpace, "BEYOND (offset 0x00000010) lies outside"},
        {Broken::FieldBeyondWidth, "NARROW (offset 0x00000004) has field HIGH outside its 8 bits"},
        {Broken::OverlappingFields, "TWICE (offset 0x00000004) has field B over bits another field has"},
        {Broken::ResetBeyondWidth, "SMALL (offset 0x00000004) resets to 0x00000100"},
        {Broken::NameTwice, "two registers are named PLAIN"},
    };
    for (const auto& [fault, message] : cases) {
        const Broken model(fault);
        try {
            model.validate();
            ADD_FAILURE() << "accepted: " << message;
        } catch (const BoardError& e) {
            EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find("BROKEN"), std::string::npos) << e.what();
        }
    }
}
