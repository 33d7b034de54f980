// The board on the probe image (images/probe.S), whose instruction counts
// can be worked out by hand, and on its fault-injected variants.
#include <gtest/gtest.h>

#include "frontends/report/trace_analysis.h"
#include "support/test_board.h"

using namespace boardsim;
using boardsim::testing::only;
using boardsim::testing::TestBoard;

namespace {

ElfImage probe(const std::string& kind)
{
    return ElfImage::fromFile(std::string(PROBE_DIR) + "/probe_" + kind + ".elf");
}

uint32_t symbol(const ElfImage& image, const std::string& name)
{
    auto s = image.find(name);
    if (!s) {
        throw std::runtime_error("probe image lacks " + name);
    }
    return s->address;
}

// Runs until the label `name` is about to execute.
void runTo(Board& board, const std::string& name)
{
    const uint32_t target = symbol(board.image(), name);
    const size_t watching = board.subscribe([&board, target](const Event& e) {
        if (e.kind == EventKind::Call && e.address == target) {
            board.requestStop();
        }
    });
    ASSERT_EQ(board.runUntil(100'000), StopReason::Requested);
    board.unsubscribe(watching);
}

BoardOptions watching(const ElfImage& image, const std::string& name)
{
    BoardOptions options;
    options.watched = {symbol(image, name)};
    return options;
}

}  // namespace

TEST(ProbeImage, SwiEntersTheVectorAndTheHandlerFlipsOnlyTheRequestedBit)
{
    const ElfImage image = probe("healthy");
    TestBoard board(image, watching(image, "after_swi"));
    runTo(board, "after_swi");

    constexpr uint32_t kSys = 0x1F, kI = 0x80, kF = 0x40;
    auto flags = [&](CpuReg r) { return board.reg(r) & (0x1F | kI | kF); };
    EXPECT_EQ(flags(CpuReg::R8), kSys | kF);       // 1: IRQ on
    EXPECT_EQ(flags(CpuReg::R9), kSys);            // 3: FIQ on
    EXPECT_EQ(flags(CpuReg::R10), kSys | kI);      // 0: IRQ off
    EXPECT_EQ(flags(CpuReg::R11), kSys | kI | kF); // 2: FIQ off
    EXPECT_EQ(flags(CpuReg::R12), kSys | kI | kF); // 7: ignored
    // Back in System mode with System mode's own stack, not Supervisor's.
    EXPECT_EQ(board.reg(CpuReg::SP), 0x40003F00u);
    const auto swis = only(board.events(), EventKind::Swi);
    ASSERT_EQ(swis.size(), 5u);
    EXPECT_EQ(swis[0].value, 1u);
    EXPECT_EQ(swis[4].value, 7u);
}

TEST(ProbeImage, UartSendsOnlyTheTransmitHoldingBytes)
{
    const ElfImage image = probe("healthy");
    TestBoard board(image, watching(image, "key_loop"));
    runTo(board, "key_loop");
    // The probe waits only for THRE: two bytes are still on their way.
    EXPECT_EQ(board.uartOutput(), "O");
    board.runUntil(When::at(board.seconds() + 0.001));
    EXPECT_EQ(board.uartOutput(), "OK\n");  // the divisor 6 written under DLAB is not sent
    // 8N1 at 11.0592 MHz / (16 x 6) = 115200 baud: 10 bits, 86.8 us a byte, back to back.
    const auto bytes = only(board.events(), EventKind::UartByte);
    ASSERT_EQ(bytes.size(), 3u);
    EXPECT_NEAR(bytes[1].time - bytes[0].time, 10 / 115200.0, 1e-7);
    EXPECT_NEAR(bytes[2].time - bytes[1].time, 10 / 115200.0, 1e-7);
    EXPECT_EQ(board.machine().uart0.divisor(), 6u);
    EXPECT_FALSE(board.fault());
}

TEST(ProbeImage, LedPhasesHaveTheLengthsCountedFromTheCode)
{
    const ElfImage image = probe("healthy");
    TestBoard board(image, watching(image, "key_loop"));
    runTo(board, "key_loop");
    const auto leds = only(board.events(), EventKind::Led);
    // IO0DIR first: the pin becomes an output at the latch's reset level, low.
    ASSERT_GE(leds.size(), 2u);
    EXPECT_EQ(leds[0].value, 0u);
    EXPECT_EQ(leds[1].value, 1u);
    EXPECT_EQ(leds[1].stamp, leds[0].stamp + 1);
    const auto phases = ledPhases(board.events());
    ASSERT_EQ(phases.size(), 7u);  // low, high, then three pulses
    for (size_t i = 2; i < phases.size(); ++i) {
        EXPECT_EQ(phases[i].length(), phases[i].high ? 3u : 22u) << "phase " << i;
    }
}

TEST(ProbeImage, PressedKeyReadsLowOnlyWhileHeld)
{
    const ElfImage image = probe("healthy");
    BoardOptions clean = watching(image, "key_loop");
    clean.bounceSeconds = 0;
    TestBoard board(image, clean);
    runTo(board, "key_loop");
    const uint64_t t = board.instructions();
    board.pressKey(2, t + 10, 100);
    auto scratch = [&] {
        auto bytes = board.readMemory(kRamBase, 4);
        return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
    };
    constexpr uint32_t kKeys = 0xFu << 16;
    board.runUntil(t + 5);
    EXPECT_EQ(scratch() & kKeys, kKeys);
    board.runUntil(t + 60);
    EXPECT_EQ(scratch() & kKeys, kKeys & ~(1u << 17));
    board.runUntil(t + 160);
    EXPECT_EQ(scratch() & kKeys, kKeys);
    const auto keys = only(board.events(), EventKind::Key);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].stamp, t + 10);
    EXPECT_EQ(keys[1].stamp, t + 110);
}

TEST(ProbeImage, RunningInPiecesEqualsRunningAtOnce)
{
    const ElfImage image = probe("healthy");
    TestBoard whole(image);
    whole.runUntil(250);
    TestBoard pieces(image);
    for (uint64_t bound : {1u, 2u, 37u, 100u, 101u, 250u}) {
        pieces.runUntil(bound);
        EXPECT_EQ(pieces.instructions(), bound);
    }
    EXPECT_EQ(pieces.reg(CpuReg::PC), whole.reg(CpuReg::PC));
    EXPECT_EQ(pieces.cycles(), whole.cycles());
    EXPECT_EQ(pieces.reg(CpuReg::R6), whole.reg(CpuReg::R6));
    ASSERT_EQ(pieces.events().size(), whole.events().size());
    for (size_t i = 0; i < whole.events().size(); ++i) {
        EXPECT_EQ(pieces.events()[i].stamp, whole.events()[i].stamp);
    }
}

TEST(ProbeImage, CallRunsAFunctionAndCountsItsInstructions)
{
    const ElfImage image = probe("healthy");
    TestBoard board(image, watching(image, "after_swi"));
    runTo(board, "after_swi");
    const auto taken = board.call(symbol(image, "twice"), {21}, 100);
    ASSERT_TRUE(taken);
    EXPECT_EQ(*taken, 2u);
    EXPECT_EQ(board.reg(CpuReg::R0), 42u);
}

struct FaultCase {
    const char* image;
    const char* mentions;  // a word of the message, naming what went wrong
    const char* address;   // the address it names
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.image; }

class ProbeFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(ProbeFault, StopsTheRunAndNamesAddressAndInstruction)
{
    const FaultCase& c = GetParam();
    const ElfImage image = probe(c.image);
    TestBoard board(image);
    EXPECT_EQ(board.runUntil(10'000), StopReason::Fault);
    ASSERT_TRUE(board.fault());
    const Fault& fault = *board.fault();
    const std::string message = fault.message();
    EXPECT_NE(message.find(c.mentions), std::string::npos) << message;
    EXPECT_NE(message.find(c.address), std::string::npos) << message;
    EXPECT_TRUE(fault.instructionKnown);
    EXPECT_NE(message.find("instructions"), std::string::npos);
    // Nothing runs past a fault.
    const uint64_t at = board.instructions();
    EXPECT_EQ(board.runUntil(20'000), StopReason::Fault);
    EXPECT_EQ(board.instructions(), at);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ProbeFault,
    ::testing::Values(FaultCase{"unmapped_write", "unmapped", "0x80000000"},
                    FaultCase{"undefined", "undefined instruction", "0xe7f000f0"},
                    FaultCase{"unknown_register", "no such UART0 register", "0xe000c010"},
                    FaultCase{"flash_write", "to flash", "0x00000100"},
                    FaultCase{"hang", "Undef_Hang", "fault_point"},
                    FaultCase{"tx_unrouted", "TxD0", "U0THR"}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.image); });

TEST(ProbeImage, FaultStampIsTheFaultingInstruction)
{
    // fault_point is reached after the same instructions in every variant;
    // the healthy image tells when.
    const ElfImage healthy = probe("healthy");
    Board reference(healthy, watching(healthy, "fault_point"));
    runTo(reference, "fault_point");
    const uint64_t before = reference.instructions();  // fault_point counted, not yet done

    const ElfImage image = probe("undefined");
    TestBoard board(image);
    board.runUntil(10'000);
    ASSERT_TRUE(board.fault());
    EXPECT_EQ(board.fault()->stamp, before);
    EXPECT_EQ(board.fault()->pc, symbol(image, "fault_point"));
}

TEST(ProbeImage, ImageWithoutBootChecksumIsRefused)
{
    const ElfImage image = probe("bad_checksum");
    try {
        TestBoard board(image);
        FAIL() << "the board started an image the boot loader would refuse";
    } catch (const BoardError& e) {
        EXPECT_NE(std::string(e.what()).find("boot loader"), std::string::npos) << e.what();
    }
}

TEST(ProbeImage, AnActionThatThrowsEndsTheRunWithItsErrorAndTheBoardGoesOn)
{
    const ElfImage image = probe("healthy");
    TestBoard board(image);
    board.schedule(40, [] { throw std::runtime_error("disk full"); });
    try {
        board.runUntil(100);
        FAIL() << "the action's error was lost";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "disk full");
    }
    EXPECT_EQ(board.instructions(), 40u);
    EXPECT_EQ(board.runUntil(100), StopReason::Limit);
    EXPECT_EQ(board.instructions(), 100u);
}

struct Forbidden {
    const char* image;
    const char* word;
};

void PrintTo(const Forbidden& f, std::ostream* os) { *os << f.image; }

class ForbiddenInstruction : public ::testing::TestWithParam<Forbidden> {};

// Each is an instruction of a later core, or one for a coprocessor: the
// ARM7TDMI enters the undefined-instruction vector, whose handler in the
// probe hangs, and the run fails naming the instruction and its word.
TEST_P(ForbiddenInstruction, EntersTheUndefinedVectorAndTheHangFailsTheRun)
{
    const Forbidden& f = GetParam();
    const ElfImage image = probe(f.image);
    TestBoard board(image);
    std::optional<uint32_t> modeAtEntry;
    std::optional<uint32_t> linkAtEntry;
    board.subscribe([&](const Event& e) {
        if (e.kind == EventKind::Exception && !modeAtEntry) {
            modeAtEntry = board.reg(CpuReg::CPSR) & 0x1F;
            linkAtEntry = board.reg(CpuReg::LR);
        }
    });
    EXPECT_EQ(board.runUntil(10'000), StopReason::Fault);
    ASSERT_TRUE(board.fault());
    const std::string message = board.fault()->message();
    EXPECT_NE(message.find("undefined instruction"), std::string::npos) << message;
    EXPECT_NE(message.find("Undef_Hang"), std::string::npos) << message;
    EXPECT_NE(message.find("<fault_point>"), std::string::npos) << message;
    EXPECT_NE(message.find(f.word), std::string::npos) << message;
    ASSERT_TRUE(modeAtEntry);
    EXPECT_EQ(*modeAtEntry, 0x1Bu);  // Undefined mode
    EXPECT_EQ(*linkAtEntry, symbol(image, "fault_point") + 4);
}

INSTANTIATE_TEST_SUITE_P(ArmV5AndCoprocessor, ForbiddenInstruction,
                         ::testing::Values(Forbidden{"clz", "0xe16f0f11"}, Forbidden{"blx", "0xe12fff31"},
                                         Forbidden{"ldrd", "0xe1c120d0"}, Forbidden{"qadd", "0xe1020051"},
                                         Forbidden{"smulbb", "0xe1600281"}, Forbidden{"mrc_p15", "0xee100f10"}),
                         [](const ::testing::TestParamInfo<Forbidden>& info) { return std::string(info.param.image); });

// Words with the NV condition, erased flash among them: the ARM7TDMI never
// executes them, each costs what a failed condition costs (1S and its
// fetch), and the run goes on after them.
TEST(ProbeImage, NeverConditionWordsAreSkippedLikeAFailedCondition)
{
    const auto toKeyLoop = [](const std::string& kind) {
        const ElfImage image = probe(kind);
        auto board = std::make_unique<TestBoard>(image, watching(image, "key_loop"));
        runTo(*board, "key_loop");
        return std::make_pair(board->instructions(), board->cycles());
    };
    const auto healthy = toKeyLoop("healthy");
    const auto never = toKeyLoop("never");
    EXPECT_EQ(never.first, healthy.first + 3);
    // The MAM is off in the probe: every fetch from flash waits MAMTIM - 1.
    const ElfImage image = probe("never");
    const TestBoard reference(image);
    const uint64_t fetchWait = reference.machine().systemControl.mamFetchCycles() - 1;
    EXPECT_EQ(never.second, healthy.second + 3 * (1 + fetchWait));
}

// A jump into erased flash runs through it, word by word, to the end of
// flash; the fetch beyond is a prefetch abort whose message names the jump.
TEST(ProbeImage, AJumpIntoErasedFlashRunsToItsEndAndAbortsNamingTheJump)
{
    const ElfImage healthyImage = probe("healthy");
    Board reference(healthyImage, watching(healthyImage, "fault_point"));
    runTo(reference, "fault_point");
    const uint64_t jump = reference.instructions();  // the jump counted

    const ElfImage image = probe("erased_jump");
    TestBoard board(image);
    board.profile(0x3F000, 0x40000);
    EXPECT_EQ(board.runUntil(10'000), StopReason::Fault);
    ASSERT_TRUE(board.fault());
    const std::string message = board.fault()->message();
    EXPECT_NE(message.find("prefetch abort: instruction fetch from unmapped address 0x00040000, after 1024 "
                           "never-executed words from 0x0003f000"),
              std::string::npos)
        << message;
    EXPECT_NE(message.find("its handler hangs at Undef_Hang; instruction at " + board.locate(symbol(image, "fault_point"))),
              std::string::npos)
        << message;
    EXPECT_EQ(board.executions(0x3F000), 1u);
    EXPECT_EQ(board.executions(0x3FFFC), 1u);
    // The jump, 1024 words, then the vector and the hang's branch.
    EXPECT_EQ(board.fault()->stamp, jump + 1024);
    const auto aborts = only(board.events(), EventKind::Exception);
    ASSERT_EQ(aborts.size(), 1u);
    EXPECT_EQ(aborts[0].address, 0x0Cu);
    EXPECT_EQ(aborts[0].pc, 0x40000u);
}

TEST(ProbeImage, InterruptsAreTakenAsTheArm7tdmiTakesThemWhenCpsrAllows)
{
    const ElfImage image = probe("healthy");
    TestBoard board(image, watching(image, "after_swi"));
    runTo(board, "after_swi");  // System mode, IRQ and FIQ masked by the last requests
    const uint32_t systemCpsr = board.reg(CpuReg::CPSR);
    ASSERT_EQ(systemCpsr & 0xDF, 0xDFu);

    std::optional<Event> entry;
    board.subscribe([&](const Event& e) {
        if (e.kind == EventKind::Exception) {
            entry = e;
            board.requestStop();
        }
    });
    board.setCoreInterrupt(ArmException::Irq, true);
    board.runUntil(board.instructions() + 20);
    EXPECT_FALSE(entry) << "IRQ taken while CPSR masks it";

    board.setReg(CpuReg::CPSR, systemCpsr & ~0x80u);  // unmask IRQ only
    const uint32_t next = board.reg(CpuReg::PC);
    const uint64_t before = board.instructions();
    board.runUntil(before + 20);
    ASSERT_TRUE(entry);
    EXPECT_EQ(board.instructions(), before);  // taken before the next instruction ran
    EXPECT_EQ(entry->address, 0x18u);
    EXPECT_EQ(board.reg(CpuReg::PC), 0x18u);
    EXPECT_EQ(board.reg(CpuReg::CPSR) & 0xFF, 0x12u | 0x80u | 0x40u);  // IRQ mode, IRQ masked, FIQ as it was
    EXPECT_EQ(board.reg(CpuReg::SPSR), systemCpsr & ~0x80u);
    EXPECT_EQ(board.reg(CpuReg::LR), next + 4);  // "subs pc, lr, #4" resumes there

    // FIQ outranks IRQ and masks both.
    board.setCoreInterrupt(ArmException::Fiq, true);
    board.setReg(CpuReg::CPSR, systemCpsr & ~0xC0u);
    entry.reset();
    board.runUntil(board.instructions() + 20);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->address, 0x1Cu);
    EXPECT_EQ(board.reg(CpuReg::CPSR) & 0xFF, 0x11u | 0xC0u);
}

// The probe's blink loop, counted by hand from the ARM7TDMI's cycle table
// with the MAM off at reset (MAMTIM 7: every fetch takes 7 cycles, 6 more
// than the core's one) and one cycle more for a VPB access at VPBDIV = 1:
// low phase: str 2 + mov 1 + 10 x subs 1 + 9 x bne taken 3 + bne not taken 1,
// with 12+10 fetches (22 x 6) and the str's VPB cycle: 174 cycles;
// high phase: str 2 + subs 1 + bne taken 3, 3 fetches (18), 1 VPB: 25 cycles.
TEST(ProbeImage, LedPhasesTakeTheCyclesOfTheManualsTable)
{
    const ElfImage image = probe("healthy");
    for (const bool fastLoops : {true, false}) {
        BoardOptions options = watching(image, "key_loop");
        options.fastLoops = fastLoops;
        TestBoard board(image, options);
        runTo(board, "key_loop");
        const auto leds = only(board.events(), EventKind::Led);
        ASSERT_EQ(leds.size(), 8u);  // output, high, then three pulses
        constexpr double kCclk = 11059200;
        for (size_t i = 2; i + 1 < leds.size(); ++i) {
            const double cycles = (leds[i + 1].time - leds[i].time) * kCclk;
            EXPECT_NEAR(cycles, leds[i].value == 0 ? 174 : 25, 1e-6) << "phase " << i << " fast " << fastLoops;
        }
    }
}
