// The board on probe programs of its own (images/kit), written as public
// LPC2000 firmware is: interrupts through the VIC's vectored slots, FIQ,
// software requests, interrupt-driven UART, idle mode, Thumb code; and the
// failures such firmware meets, each with its message.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "frontends/common/firmware_profile.h"
#include "frontends/report/report.h"
#include "support/kit_program.h"
#include "support/test_board.h"

using namespace boardsim;
using boardsim::testing::kit;
using boardsim::testing::only;
using boardsim::testing::runToEnd;
using boardsim::testing::symbol;
using boardsim::testing::word;
using boardsim::testing::TestBoard;

namespace {

constexpr double kFosc = 11059200;

BoardOptions watching(const ElfImage& image, const std::vector<std::string>& names)
{
    BoardOptions options;
    for (const std::string& name : names) {
        options.watched.push_back(symbol(image, name));
    }
    return options;
}

std::vector<Event> callsTo(const TestBoard& board, const std::string& name)
{
    std::vector<Event> calls;
    const uint32_t address = symbol(board.image(), name);
    for (const Event& e : only(board.events(), EventKind::Call)) {
        if (e.address == address) {
            calls.push_back(e);
        }
    }
    return calls;
}

class Isa : public ::testing::TestWithParam<const char*> {
protected:
    std::string program(const std::string& name) const { return name + "_" + GetParam(); }
};

}  // namespace

TEST_P(Isa, ATimerTickThroughAVectoredSlotCountsAtItsRateWithAFixedLatency)
{
    const ElfImage image = kit(program("tick"));
    BoardOptions options = watching(image, {"probe_done", "tick_isr"});
    options.traceIo = true;
    TestBoard board(image, options);
    ASSERT_TRUE(runToEnd(board)) << (board.fault() ? board.fault()->message() : "");
    EXPECT_EQ(word(board, "ticks"), 100u);
    const auto isr = callsTo(board, "tick_isr");
    ASSERT_EQ(isr.size(), 100u);
    // A period is MR0 + 1 = 11059 counts of the 11.0592 MHz peripheral clock.
    const double period = 11059 / kFosc;
    for (size_t i = 1; i < isr.size(); ++i) {
        EXPECT_NEAR(isr[i].time - isr[i - 1].time, period, 8 / kFosc) << "tick " << i;
    }
    const double mean = (isr.back().time - isr.front().time) / double(isr.size() - 1);
    EXPECT_NEAR(1 / mean, 1000.018, 0.01);
    // From each match (TC reaching MR0: 11058 counts after the timer was
    // started, then every 11059) to the handler's first instruction: the
    // instruction running, the IRQ entry, the vector's load of VectAddr.
    const auto start = std::find_if(board.events().begin(), board.events().end(), [](const Event& e) {
        return e.kind == EventKind::IoWrite && e.address == 0xE0004004 && e.value == 1;
    });
    ASSERT_NE(start, board.events().end());
    for (size_t k = 0; k < isr.size(); ++k) {
        const double match = start->time + (11058 + 11059.0 * double(k)) / kFosc;
        const double latency = (isr[k].time - match) * kFosc;
        EXPECT_GT(latency, 3) << "tick " << k;
        EXPECT_LT(latency, 60) << "tick " << k;
    }
    EXPECT_FALSE(board.fault());
}

TEST_P(Isa, IdleModeSleepsBetweenTicksAndTheSimulatorSkipsTheSleep)
{
    const ElfImage busyImage = kit(program("tick"));
    TestBoard busy(busyImage, watching(busyImage, {"probe_done"}));
    ASSERT_TRUE(runToEnd(busy));
    const ElfImage image = kit(program("tick_idle"));
    TestBoard board(image, watching(image, {"probe_done"}));
    ASSERT_TRUE(runToEnd(board)) << (board.fault() ? board.fault()->message() : "");
    EXPECT_EQ(word(board, "ticks"), 100u);
    EXPECT_EQ(word(board, "wakeups"), 100u);  // one wake-up per tick
    EXPECT_NEAR(board.seconds(), busy.seconds(), 1e-4);
    // The same simulated time for a small share of the instructions: the
    // idle stretches cost nothing to simulate.
    EXPECT_LT(board.instructions() * 20, busy.instructions());
    EXPECT_GT(double(board.idleCycles()) / double(board.cycles()), 0.95);
    EXPECT_EQ(board.powerDownCycles(), 0u);
}

TEST_P(Isa, FiqPreemptsAnIrqHandlerAndSimultaneousRequestsGoBySlot)
{
    const ElfImage image = kit(program("nesting"));
    TestBoard board(image, watching(image, {"probe_done"}));
    ASSERT_TRUE(runToEnd(board)) << (board.fault() ? board.fault()->message() : "");
    const auto bytes = board.readMemory(symbol(image, "order"), 5);
    // Timer0's IRQ, Timer1's FIQ inside it, EINT2 (slot 1) before EINT1
    // (slot 2) raised together, then EINT0 through DefVectAddr.
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "TF21D");
}

TEST_P(Isa, AnInterruptDrivenUartSendsALongTextAndTakesItBackThroughALoopbackPlug)
{
    const ElfImage image = kit(program("uart_irq"));
    BoardOptions options = watching(image, {"probe_done"});
    options.uartLoopback[0] = true;
    TestBoard board(image, options);
    ASSERT_TRUE(runToEnd(board)) << (board.fault() ? board.fault()->message() : "");
    const std::string text =
        "The quick brown fox jumps over the lazy dog, 0123456789 times, "
        "and the UART keeps up from its interrupt alone.\n";
    EXPECT_EQ(board.uartOutput(), text);
    const auto echo = board.readMemory(symbol(image, "echo"), text.size());
    EXPECT_EQ(std::string(echo.begin(), echo.end()), text);
    // 16 bytes per THRE interrupt: the first, when it was enabled, and one
    // each time the FIFO ran dry.
    EXPECT_EQ(word(board, "thre_interrupts"), (text.size() + 15) / 16);
    // Back to back at 115200 baud: the line never idles while the text goes.
    const auto bytes = only(board.events(), EventKind::UartByte);
    ASSERT_EQ(bytes.size(), text.size());
    EXPECT_NEAR(bytes.back().time - bytes.front().time, double(text.size() - 1) * 10 / 115200, 2e-6);
}

// Keil-style headers declare the 8- and 16-bit registers as bytes and
// halfwords (T0IR, T0TCR, PLLCON, PLLFEED, VPBDIV; T0MCR, PLLSTAT): the
// chip takes such accesses, the value's low bits, and so does the board.
// Ports 1 to 3 have their registers and levels.
TEST_P(Isa, ByteAndHalfwordRegisterAccessesAsKeilStyleHeadersMakeThemAndGpioPortsOneToThree)
{
    const ElfImage image = kit(program("widths"));
    TestBoard board(image, watching(image, {"probe_done", "tick_isr"}));
    ASSERT_TRUE(runToEnd(board)) << (board.fault() ? board.fault()->message() : "");
    EXPECT_EQ(word(board, "pllstat"), 0x723u);  // MSEL 3, PSEL 1, enabled, connected, locked
    EXPECT_EQ(word(board, "mcr"), 3u);
    EXPECT_EQ(word(board, "ticks"), 10u);
    const auto isr = callsTo(board, "tick_isr");
    ASSERT_EQ(isr.size(), 10u);
    EXPECT_NEAR(isr[9].time - isr[0].time, 9e-3, 1e-6);  // 1 kHz at the 44.2 MHz peripheral clock
    EXPECT_EQ(word(board, "port1"), 0xFFA00003u);  // P1.16..23 driven; P1.2..15 are no pins
    EXPECT_EQ(word(board, "port2"), 0x12345678u);
    EXPECT_EQ(word(board, "port3"), 0xFFFFC3C3u);
}

// Two tasks switched by the tick and by a software request when the queue
// between them is full or empty: every item arrives as made, the tick at
// its rate, each task running with its own registers and stack.
TEST_P(Isa, TwoTasksSwitchOnTheTickAndOnTheQueueWithTheirContextsKept)
{
    const ElfImage image = kit(program("rtos"));
    TestBoard board(image);
    ASSERT_EQ(board.runUntil(When::at(0.01)), StopReason::Limit) << (board.fault() ? board.fault()->message() : "");
    const uint32_t ticks = word(board, "ticks");
    ASSERT_EQ(board.runUntil(When::at(0.03)), StopReason::Limit) << (board.fault() ? board.fault()->message() : "");
    EXPECT_EQ(word(board, "errors"), 0u);
    EXPECT_GT(word(board, "consumed"), 100u);
    EXPECT_LE(word(board, "produced") - word(board, "consumed"), 8u);  // the queue's length
    EXPECT_NEAR(double(word(board, "ticks") - ticks), 20, 1);
    EXPECT_GT(word(board, "yields"), 10u) << "the queue never made a task give way";
}

INSTANTIATE_TEST_SUITE_P(ArmAndThumb, Isa, ::testing::Values("arm", "thumb"));

// The cycles of the loops in images/kit/cycles.S, counted from the cycle
// table: (3 + 1 + 1 + 3) + 4 x 6 flash waits = 32 a turn, the last turn's
// branch not taken (1 instead of 3): 100 x 32 - 2.
TEST(ThumbTiming, TheSameLoopCostsTheSameInArmAndThumbAndCountdownsAreCountedByTheTurn)
{
    const ElfImage image = kit("cycles_both");
    for (const bool fastLoops : {true, false}) {
        BoardOptions options = watching(image, {"arm_loop_start", "arm_loop_end", "thumb_loop_start",
                                                "thumb_loop_end", "thumb_countdown_start", "thumb_countdown_end",
                                                "probe_done"});
        options.fastLoops = fastLoops;
        TestBoard board(image, options);
        ASSERT_TRUE(runToEnd(board, When::instructions(100'000)));
        const auto cycles = [&](const std::string& from, const std::string& to) {
            return (callsTo(board, to).at(0).time - callsTo(board, from).at(0).time) * kFosc;
        };
        EXPECT_NEAR(cycles("arm_loop_start", "arm_loop_end"), 3198, 1e-3);
        EXPECT_NEAR(cycles("thumb_loop_start", "thumb_loop_end"), 3198, 1e-3);
        // subs (1 + 6) and bne (3 + 6): 16 a turn, 200 turns, the last bne
        // not taken.
        EXPECT_NEAR(cycles("thumb_countdown_start", "thumb_countdown_end"), 200 * 16 - 2, 1e-3);
        const auto steps = callsTo(board, "thumb_countdown_end").at(0).stamp -
                           callsTo(board, "thumb_countdown_start").at(0).stamp;
        EXPECT_EQ(steps, 400u) << (fastLoops ? "counted by the turn" : "every turn run");
    }
}

// Sequences of images/kit/sequences.S, each counted by hand from the
// ARM7TDMI TRM's instruction cycle table (S, N and I cycles, one clock
// each), plus 6 cycles of flash wait per instruction fetched (the MAM off,
// MAMTIM 7) and per word of data read from flash.
TEST(CycleTable, HandCountedSequencesTakeTheirCycles)
{
    const ElfImage image = kit("sequences_arm");
    struct Sequence {
        const char* name;
        double cycles;
        const char* count;
    };
    const Sequence sequences[] = {
        {"psr", 5 * (1 + 6), "MRS, two data operations, two MSRs (a mode change and back): 1S each"},
        {"block", 5 + 6 + 4 + 4 + 4 * 6,
         "STMIA of 4 with the base in the list (n-1)S + 2N; LDMIA of 4 and of 2 with the base in the list "
         "nS + 1N + 1I; SWP 1S + 2N + 1I"},
        {"multiply", 2 + 3 + 6 + 4 + 4 * 6,
         "MUL 1S + 1I and SMULL 1S + 2I by 0xFFFFFFFF (m = 1, leading ones); UMULL by it 1S + 5I (m = 4: "
         "only leading zeros end an unsigned multiply early); UMLAL by 5 1S + 3I"},
        {"failed", 4 * (1 + 6), "a register-shifted ADD, an LDR, a MUL and a MOV into the PC, each failing its "
                                "condition: 1S"},
        {"swi", (3 + 6) + (5 + 6 + 6) + (3 + 6),
         "SWI 2S + 1N; the vector's LDR PC 2S + 2N + 1I and its literal from flash; MOVS PC, LR 2S + 1N"},
    };
    std::vector<std::string> labels;
    for (const Sequence& s : sequences) {
        labels.push_back(std::string(s.name) + "_start");
        labels.push_back(std::string(s.name) + "_end");
    }
    labels.emplace_back("probe_done");
    TestBoard board(image, watching(image, {labels.begin(), labels.end()}));
    ASSERT_TRUE(runToEnd(board, When::instructions(10'000))) << (board.fault() ? board.fault()->message() : "");
    for (const Sequence& s : sequences) {
        const auto from = callsTo(board, std::string(s.name) + "_start");
        const auto to = callsTo(board, std::string(s.name) + "_end");
        ASSERT_EQ(from.size(), 1u) << s.name;
        ASSERT_EQ(to.size(), 1u) << s.name;
        EXPECT_NEAR((to[0].time - from[0].time) * kFosc, s.cycles, 1e-3) << s.name << ": " << s.count;
    }
}

// What public firmware meets where the model ends, each said by name.
TEST(KitFailures, EachEndsTheRunWithItsOwnMessage)
{
    struct Case {
        const char* image;
        std::vector<const char*> mentions;
    };
    const Case cases[] = {
        {"failure1_arm", {"CCR (0xe0024008)", "the real-time clock (RTC) is not modelled"}},
        {"failure2_arm", {"data abort", "read of unmapped address 0x80000000", "branches to itself", "can never leave"}},
        {"failure3_arm", {"powered down (PCON.PD)", "nothing that could wake it"}},
        {"failure4_arm", {"System mode branches to itself", "interrupts masked"}},
        {"failure5_arm", {"8-bit write of 0x00000005 to T0TC (0xe0004008)", "T0TC is 32 bits wide", "0x05050505"}},
        // Loops that can never leave, with no branch to itself.
        {"failure7_arm", {"data abort", "read of unmapped address 0x80000000", "its handler loops from",
                          "<data_abort_entry>", "reading nothing that can change", "can never leave"}},
        {"failure8_arm", {"undefined instruction", "its handler loops from", "<undefined_entry+0x4>", "can never leave"}},
        {"failure10_arm", {"System mode loops from", "<wait_masked+0x6>", "interrupts masked", "can never leave"}},
    };
    for (const Case& c : cases) {
        for (const bool fastLoops : {true, false}) {
            SCOPED_TRACE(std::string(c.image) + (fastLoops ? ", loops skipped" : ", every turn run"));
            const ElfImage image = kit(c.image);
            BoardOptions options = boardOptionsFor(image);
            options.fastLoops = fastLoops;
            TestBoard board(image, options);
            EXPECT_EQ(board.runUntil(5'000'000), StopReason::Fault);
            ASSERT_TRUE(board.fault());
            for (const char* mention : c.mentions) {
                EXPECT_NE(board.fault()->message().find(mention), std::string::npos) << board.fault()->message();
            }
            EXPECT_LT(board.fault()->stamp, 1000u) << "found at once, not at the end of the run";
        }
    }
}

// Public firmware for this family runs the PLL's oscillator outside the
// data sheet's range, and real chips run it: a warning naming the figures,
// a fault only in a strict run.
TEST(PllOutOfRange, IsAWarningAndTheRunGoesOnUnlessStrict)
{
    const ElfImage image = kit("failure6_arm");
    BoardOptions options = watching(image, {"probe_done"});
    std::vector<std::string> heard;
    options.onWarning = [&heard](const std::string& warning) { heard.push_back(warning); };
    TestBoard board(image, options);
    ASSERT_TRUE(runToEnd(board)) << (board.fault() ? board.fault()->message() : "");
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(board.warnings(), heard);
    EXPECT_NE(heard[0].find("Fcco = 88.4736 MHz (M = 4, P = 1), outside 156-320 MHz"), std::string::npos)
        << heard[0];
    EXPECT_DOUBLE_EQ(board.machine().cclkHz(), 4 * kFosc);

    options.strict = true;
    TestBoard strict(image, options);
    EXPECT_FALSE(runToEnd(strict));
    ASSERT_TRUE(strict.fault());
    EXPECT_NE(strict.fault()->message().find("outside 156-320 MHz"), std::string::npos) << strict.fault()->message();
}

// A handler that waits on something that can change (a key's pin) waits:
// no hang, and the key ends it.
TEST(KitFailures, AHandlerPollingAPinWaitsForItAndIsNoHang)
{
    const ElfImage image = kit("failure9_arm");
    BoardOptions options = watching(image, {"probe_done"});
    options.bounceSeconds = 0;
    TestBoard waiting(image, options);
    EXPECT_EQ(waiting.runUntil(When::at(0.05)), StopReason::Limit);
    EXPECT_FALSE(waiting.fault());
    EXPECT_EQ(word(waiting, "key_seen"), 0u);
    // Nothing due could change the pin: the wait was counted unrun.
    EXPECT_GT(waiting.skippedInstructions() * 10, waiting.instructions() * 9);

    TestBoard board(image, options);
    board.pressKey(1, When::at(0.03), When::at(0.01));
    ASSERT_TRUE(runToEnd(board)) << (board.fault() ? board.fault()->message() : "");
    EXPECT_EQ(word(board, "key_seen"), 1u);
    EXPECT_NEAR(board.seconds(), 0.03, 1e-4);
}

TEST(PowerDown, TheChipSitsOutATimedRunAndWakesOnlyOnAnExternalInterruptAllowedToWakeIt)
{
    const ElfImage never = kit("failure3_arm");  // no wake-up enabled
    TestBoard asleep(never);
    EXPECT_EQ(asleep.runUntil(When::at(0.5)), StopReason::Limit);
    EXPECT_GT(asleep.powerDownCycles(), uint64_t(0.49 * kFosc));
    EXPECT_TRUE(asleep.sleeping());

    const ElfImage image = kit("powerdown_arm");
    BoardOptions options = watching(image, {"probe_done"});
    options.bounceSeconds = 0;
    TestBoard board(image, options);
    board.pressKey(1, When::at(0.2), When::at(0.05));
    ASSERT_TRUE(runToEnd(board)) << (board.fault() ? board.fault()->message() : "");
    EXPECT_EQ(word(board, "woken"), 1u);
    EXPECT_NEAR(board.seconds(), 0.2, 1e-3);  // asleep from the start until the key
    EXPECT_NEAR(double(board.powerDownCycles()) / kFosc, 0.2, 1e-3);
}

// --report on images that are not the board's firmware: what it can
// measure, and what it says when a run never got anywhere.
TEST(ReportOnAnyImage, InterruptRatesTimeInEachModeAndWhatNeverHappened)
{
    ReportRequest request;
    request.maxSeconds = 0.05;
    const Figures idle = measure(kit("tick_idle_thumb"), request);
    ASSERT_EQ(idle.interrupts.size(), 1u);
    EXPECT_EQ(idle.interrupts[0].source, "TIMER0");
    // Over the stretch the timer ran, not from reset: the code starts it late.
    EXPECT_NEAR(idle.interrupts[0].perSecond, 1000, 0.5);
    EXPECT_GT(idle.idleShare, 0.9);
    EXPECT_TRUE(idle.mainInstructions);
    EXPECT_FALSE(idle.hasHeartbeat);
    EXPECT_TRUE(idle.problems.empty()) << idle.problems[0];  // it set no UART up: nothing to send
    std::ostringstream text;
    printReport(kit("tick_idle_thumb"), text, request);
    EXPECT_NE(text.str().find("stacks in no section of the image"), std::string::npos) << text.str();

    const Figures uart = measure(kit("uart_irq_arm"), request);
    ASSERT_EQ(uart.uarts.size(), 2u);
    ASSERT_TRUE(uart.uarts[0].baud);
    EXPECT_NEAR(*uart.uarts[0].baud, 115200, 1);
    EXPECT_EQ(uart.uarts[0].frameFormat, "8N1");
    EXPECT_FALSE(uart.uarts[1].baud);  // never set up
    EXPECT_GT(uart.uarts[0].bytes, 100u);
    EXPECT_TRUE(uart.problems.empty()) << uart.problems[0];

    // The board as the command line made it: a key pressed at 20 ms wakes
    // the chip from its power-down.
    const ElfImage powerdown = kit("powerdown_arm");
    const Figures asleep = measure(powerdown, request);
    EXPECT_GT(asleep.powerDownShare, 0.95);
    request.board = boardOptionsFor(powerdown);
    request.board->bounceSeconds = 0;
    request.prepare = [](Board& board) { board.pressKey(1, When::at(0.02), When::at(0.01)); };
    const Figures woken = measure(powerdown, request);
    EXPECT_NEAR(woken.powerDownShare, 0.4, 0.05);
    request.board.reset();
    request.prepare = nullptr;

    const Figures aborted = measure(kit("failure2_arm"), request);
    ASSERT_FALSE(aborted.problems.empty());
    EXPECT_NE(aborted.problems[0].find("data abort"), std::string::npos) << aborted.problems[0];
}

// Loops counted without being run (countdowns, and wait loops whose turns
// repeat until the next thing due) must leave no trace: the same events at
// the same instructions and times, the same cycles, as every turn run.
TEST(SkippedLoops, GiveTheSameRunAsEveryTurnRun)
{
    // The polling images wait on UART0's LSR and on KEY_1's pin, held
    // here for a while with its contacts' bounce (traced, every read of
    // theirs would be run), and on Timer0's counter (always run).
    struct Case {
        const char* name;
        double skippedShare;  // at least
        bool traceIo;
    };
    const Case cases[] = {
        {"tick_poll_arm", 0.5, true}, {"tick_poll_thumb", 0.5, true}, {"tick_idle_arm", 0, true},
        {"cycles_both", 0, true},     {"poll_arm", 0.25, false},      {"poll_thumb", 0.25, false},
        {"rtos_arm", 0, true},        {"rtos_thumb", 0, true}};
    for (const auto& [name, skippedShare, traceIo] : cases) {
        SCOPED_TRACE(name);
        const ElfImage image = kit(name);
        std::vector<std::vector<Event>> runs;
        std::vector<std::pair<uint64_t, uint64_t>> ends;
        uint64_t skipped = 0;
        for (const bool fast : {true, false}) {
            BoardOptions options = boardOptionsFor(image);
            options.fastLoops = fast;
            options.traceIo = traceIo;
            TestBoard board(image, options);
            board.pressKey(1, When::at(0.0071), When::at(0.004));
            board.runUntil(When::at(0.02));
            ASSERT_FALSE(board.fault()) << board.fault()->message();
            runs.push_back(board.events());
            ends.emplace_back(board.instructions(), board.cycles());
            skipped += board.skippedInstructions();
        }
        // The waiting the fast run counted unrun.
        EXPECT_GE(double(skipped), skippedShare * double(ends[0].first)) << "the loops were not skipped";
        EXPECT_EQ(ends[0], ends[1]);
        ASSERT_EQ(runs[0].size(), runs[1].size());
        for (size_t i = 0; i < runs[0].size(); ++i) {
            EXPECT_EQ(runs[0][i].stamp, runs[1][i].stamp) << "event " << i;
            EXPECT_EQ(runs[0][i].time, runs[1][i].time) << "event " << i;
            EXPECT_EQ(runs[0][i].kind, runs[1][i].kind) << "event " << i;
        }
    }
}
