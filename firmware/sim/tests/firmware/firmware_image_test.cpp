// The real firmware image on the simulated board: what only the binary can
// show (timing in instructions, the delay loop surviving optimisation, the
// order of the start-up, the greeting as it leaves the pin). Which
// functions main calls in which order, with which registers, the host tests
// of the firmware prove already; what the board shows a user (the greeting,
// the heartbeat, the menu's pictures, "Version" and its keys) the scenarios
// in firmware/scenarios check.
#include <gtest/gtest.h>


#include <algorithm>

#include "machine/board.h"
#include "support/test_board.h"
#include "frontends/common/lcd_picture.h"
#include "frontends/report/trace_analysis.h"

using namespace boardsim;
using boardsim::testing::TestBoard;

namespace {

const char kGreeting[] = "Hello my first UART pro\n";

const ElfImage& firmware()
{
    static const ElfImage image = ElfImage::fromFile(FIRMWARE_ELF);
    return image;
}

uint32_t fn(const std::string& name)
{
    auto s = firmware().find(name);
    if (!s) {
        throw std::runtime_error("firmware.elf has no symbol " + name);
    }
    return s->address;
}

std::optional<uint64_t> firstCall(const TestBoard& board, const std::string& name)
{
    const auto calls = callsOf(board.events(), fn(name));
    return calls.empty() ? std::nullopt : std::optional<uint64_t>(calls.front().entered);
}

bool isUart0(uint32_t address) { return (address & ~0xFFFu) == kUart0Base; }

size_t occurrences(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

}  // namespace

TEST(FirmwareImage, StartUpEntersMainInSystemModeAfterOneIrqEnable)
{
    TestBoard board(firmware());
    std::optional<uint32_t> cpsrAtMain;
    board.subscribe([&](const Event& e) {
        if (e.kind == EventKind::Call && e.address == fn("main")) {
            cpsrAtMain = board.reg(CpuReg::CPSR);
            board.requestStop();
        }
    });
    ASSERT_EQ(board.runUntil(100'000), StopReason::Requested);
    ASSERT_TRUE(cpsrAtMain);
    EXPECT_EQ(*cpsrAtMain & 0x1F, 0x1Fu);  // System mode
    EXPECT_NE(*cpsrAtMain & 0x40, 0u);     // FIQ masked
    EXPECT_EQ(*cpsrAtMain & 0x80, 0u);     // IRQ unmasked by IRQEnable()
    size_t swis = 0;
    for (const Event& e : board.events()) {
        if (e.kind == EventKind::Swi) {
            ++swis;
            EXPECT_EQ(e.value, 1u);
        }
    }
    EXPECT_EQ(swis, 1u);
}

TEST(FirmwareImage, GreetingLeavesOnceBeforeKeysGuiAndMenuAndAfterTheLedIsUp)
{
    BoardOptions options = boardOptionsFor(firmware());
    options.traceIo = true;
    TestBoard board(firmware(), options);
    ASSERT_EQ(board.runUntil(3'000'000), StopReason::Limit);

    const std::string output = board.uartOutput();
    EXPECT_EQ(output, kGreeting);
    EXPECT_EQ(occurrences(output, kGreeting), 1u);

    // Handed to the UART before anything else is set up; the line then takes
    // its time (2 ms at 115200 baud) while the start-up goes on.
    const auto sends = callsOf(board.events(), fn("UART0_SendStr"));
    ASSERT_EQ(sends.size(), 1u);
    ASSERT_TRUE(sends[0].returned);
    const auto greetingDone = sends[0].returned;
    const auto onTheWire = uartTextEnd(board.events(), kGreeting);
    ASSERT_TRUE(onTheWire);
    EXPECT_GT(*onTheWire, *greetingDone);
    for (const char* later : {"KeySysInit", "GUI_Init", "Menu_Init", "DealKey", "LcdClrScrn"}) {
        const auto called = firstCall(board, later);
        ASSERT_TRUE(called) << later;
        EXPECT_LT(*greetingDone, *called) << later;
    }
    // Nothing but the LED pin has been set up on port 0 when the last byte goes.
    for (const Event& e : board.events()) {
        if (e.stamp > *greetingDone) {
            break;
        }
        if (e.kind == EventKind::IoWrite && e.address == 0xE0028008u) {
            EXPECT_EQ(e.value & (0xFu << 16), 0u) << "key pins touched before the greeting went out";
        }
    }

    // The LED is an output and high when UART0 is first touched.
    std::optional<Event> ledBefore;
    bool uartSeen = false;
    for (const Event& e : board.events()) {
        if ((e.kind == EventKind::IoRead || e.kind == EventKind::IoWrite) && isUart0(e.address)) {
            uartSeen = true;
            break;
        }
        if (e.kind == EventKind::Led) {
            ledBefore = e;
        }
    }
    ASSERT_TRUE(uartSeen);
    ASSERT_TRUE(ledBefore) << "no LED edge before the first UART0 access";
    EXPECT_EQ(ledBefore->address, 1u) << "P0.31 not an output";
    EXPECT_EQ(ledBefore->value, 1u) << "LED low";
}

TEST(FirmwareImage, EachPassIsOneLowAndOneHighDelayDifferingByOneDealKey)
{
    TestBoard board(firmware());
    ASSERT_EQ(board.runUntil(4'000'000), StopReason::Limit);
    const auto& events = board.events();
    const auto loopStart = firstCall(board, "DealKey");
    ASSERT_TRUE(loopStart);
    const auto delays = callsOf(events, fn("DelayMs"));
    const auto dealKeys = callsOf(events, fn("DealKey"));

    auto inside = [](const std::vector<CallSpan>& calls, const LedPhase& phase) {
        std::vector<CallSpan> found;
        for (const CallSpan& c : calls) {
            if (c.entered >= phase.start && c.returned && *c.returned <= phase.end) {
                found.push_back(c);
            }
        }
        return found;
    };

    size_t passes = 0;
    const auto phases = ledPhases(events);
    for (size_t i = 0; i + 1 < phases.size(); ++i) {
        const LedPhase& low = phases[i];
        const LedPhase& high = phases[i + 1];
        if (high.high == false || low.high || low.start < *loopStart) {
            continue;
        }
        ++passes;
        const auto lowDelays = inside(delays, low);
        const auto highDelays = inside(delays, high);
        ASSERT_EQ(lowDelays.size(), 1u);
        ASSERT_EQ(highDelays.size(), 1u);
        EXPECT_EQ(lowDelays[0].argument, 200u);
        EXPECT_EQ(highDelays[0].argument, 200u);
        EXPECT_TRUE(inside(dealKeys, low).empty());
        const auto highDealKeys = inside(dealKeys, high);
        ASSERT_EQ(highDealKeys.size(), 1u) << "the high phase ends with the next pass's DealKey";

        // Apart from the one DealKey, both phases are a DelayMs(200) and the
        // handful of instructions that call it and flip the pin.
        constexpr uint64_t kGlue = 8;
        const uint64_t dealKey = *highDealKeys[0].length();
        EXPECT_LE(low.length(), high.length());
        EXPECT_LE(high.length() - low.length(), dealKey + kGlue);
        EXPECT_GE(high.length() - low.length() + kGlue, dealKey);
        EXPECT_LE(low.length() - *lowDelays[0].length(), kGlue);
    }
    EXPECT_GE(passes, 4u);
}

TEST(FirmwareImage, DelayUnitIsFiveHundredIterationsOfASurvivingLoop)
{
    const auto delay = firmware().find("DelayMs");
    ASSERT_TRUE(delay && delay->size > 0);
    TestBoard board(firmware());
    board.profile(delay->address, delay->address + delay->size);

    std::vector<uint64_t> hottest;  // per DelayMs(200) call
    std::vector<uint64_t> loopBodies;
    std::vector<uint64_t> lengths;
    const size_t boardObserver = board.subscribe([&](const Event& e) {
        if (e.address != delay->address) {
            return;
        }
        if (e.kind == EventKind::Call) {
            board.clearProfile();
            return;
        }
        if (e.kind != EventKind::Return) {
            return;
        }
        uint64_t top = 0;
        uint64_t body = 0;
        for (uint32_t a = delay->address; a < delay->address + delay->size; a += 4) {
            top = std::max(top, board.executions(a));
        }
        for (uint32_t a = delay->address; a < delay->address + delay->size; a += 4) {
            body += board.executions(a) >= 200 * 500 ? 1 : 0;
        }
        hottest.push_back(top);
        loopBodies.push_back(body);
        if (hottest.size() >= 4) {
            board.requestStop();
        }
    });
    board.runUntil(5'000'000);
    board.unsubscribe(boardObserver);
    for (const CallSpan& c : callsOf(board.events(), delay->address)) {
        if (c.returned) {
            lengths.push_back(*c.length());
        }
    }
    ASSERT_EQ(hottest.size(), 4u);
    ASSERT_EQ(lengths.size(), 4u);
    for (size_t i = 0; i < hottest.size(); ++i) {
        // The innermost loop's instructions run once per iteration (its test
        // at most once more per unit): 500 per unit, 200 units.
        EXPECT_GE(hottest[i], 200u * 500u);
        EXPECT_LE(hottest[i], 200u * 501u);
        ASSERT_GE(loopBodies[i], 1u);
        // Everything else is a few instructions per unit.
        const double perUnit = double(lengths[i]) / 200;
        EXPECT_GE(perUnit, 500.0 * loopBodies[i]);
        EXPECT_LE(perUnit, 500.0 * loopBodies[i] + 16);
        EXPECT_EQ(lengths[i], lengths[0]) << "DelayMs(200) took different times";
    }

    // Called directly: 0 units return at once; each unit adds the same.
    TestBoard direct(firmware());
    const size_t directObserver = direct.subscribe([&](const Event& e) {
        if (e.kind == EventKind::Call && e.address == fn("main")) {
            direct.requestStop();
        }
    });
    ASSERT_EQ(direct.runUntil(100'000), StopReason::Requested);
    direct.unsubscribe(directObserver);
    const auto zero = direct.call(delay->address, {0}, 1'000);
    const auto one = direct.call(delay->address, {1}, 10'000);
    const auto two = direct.call(delay->address, {2}, 10'000);
    ASSERT_TRUE(zero && one && two);
    EXPECT_LE(*zero, 8u);
    EXPECT_NEAR(double(*two - *one), double(lengths[0]) / 200, 1.0);
}

TEST(FirmwareImage, AuthorReturnsAtOnceAndLeavesTheScreenAsItWas)
{
    BoardOptions options = boardOptionsFor(firmware());
    options.traceIo = true;
    TestBoard board(firmware(), options);
    board.pressKey(2, 100'000, 1'000'000);    // select "Author"
    board.pressKey(3, 2'000'000, 1'000'000);  // run it
    std::vector<std::vector<uint8_t>> atEntry, atReturn;
    board.subscribe([&](const Event& e) {
        if (e.address == fn("SysAuthor") && e.kind == EventKind::Call) {
            atEntry.push_back(board.lcdFrame());
        }
        if (e.address == fn("SysAuthor") && e.kind == EventKind::Return) {
            atReturn.push_back(board.lcdFrame());
        }
    });
    board.runUntil(5'000'000);
    ASSERT_FALSE(board.fault()) << board.fault()->message();

    const auto authors = callsOf(board.events(), fn("SysAuthor"));
    ASSERT_EQ(authors.size(), 1u);
    ASSERT_TRUE(authors[0].returned);
    EXPECT_LE(*authors[0].length(), 8u);
    for (const Event& e : board.events()) {
        if ((e.kind == EventKind::IoRead || e.kind == EventKind::IoWrite) && e.stamp > authors[0].entered &&
            e.stamp <= *authors[0].returned) {
            ADD_FAILURE() << "SysAuthor touched a peripheral register";
        }
    }
    ASSERT_EQ(atEntry.size(), 1u);
    ASSERT_EQ(atReturn.size(), 1u);
    EXPECT_FALSE(lcdBlank(atEntry[0]));
    EXPECT_EQ(atReturn[0], atEntry[0]);
    // The menu does not redraw after "Author": two heartbeats later the
    // screen is still exactly what SysAuthor found.
    EXPECT_EQ(board.lcdFrame(), atEntry[0]);
}

TEST(FirmwareImage, LongRunWithKeyPressesEndsWithoutFault)
{
    TestBoard board(firmware());
    // Through every menu path: down, Author, up, Version (ended by KEY_4),
    // KEY_4 at the top, presses of several keys at once.
    const std::vector<std::pair<int, uint64_t>> presses = {
        {2, 2'000'000}, {3, 5'000'000}, {1, 8'000'000}, {3, 11'000'000}, {4, 16'000'000},
        {4, 20'000'000}, {2, 24'000'000}, {2, 27'000'000}, {1, 30'000'000}, {1, 33'000'000},
        {3, 36'000'000}, {2, 40'000'000}, {3, 40'000'000}, {4, 44'000'000}};
    for (const auto& [key, at] : presses) {
        board.pressKey(key, at, 1'000'000);
    }
    EXPECT_EQ(board.runUntil(50'000'000), StopReason::Limit);
    ASSERT_FALSE(board.fault()) << board.fault()->message();
    EXPECT_EQ(board.instructions(), 50'000'000u);
    EXPECT_EQ(board.uartOutput(), kGreeting);
    EXPECT_EQ(callsOf(board.events(), fn("SysVersion")).size(), 2u);
    EXPECT_EQ(callsOf(board.events(), fn("SysAuthor")).size(), 1u);
    // Still beating at the end.
    const auto phases = ledPhases(board.events());
    ASSERT_FALSE(phases.empty());
    EXPECT_GT(phases.back().end, 49'000'000u);
}

// Busy-wait loops are counted by the turn: the run must look exactly as if
// every instruction had been counted by itself.
TEST(FirmwareImage, LoopsCountedByTheTurnGiveTheSameRunAsInstructionByInstruction)
{
    std::vector<std::vector<Event>> runs;
    std::vector<uint64_t> cycles;
    for (const bool fastLoops : {true, false}) {
        BoardOptions options = boardOptionsFor(firmware());
        options.fastLoops = fastLoops;
        options.bounceSeconds = 0;
        TestBoard board(firmware(), options);
        board.pressKey(2, 1'500'000, 900'000);
        board.pressKey(3, 4'000'000, 900'000);
        board.runUntil(6'000'123);
        ASSERT_FALSE(board.fault());
        EXPECT_EQ(board.instructions(), 6'000'123u);
        runs.push_back(board.events());
        cycles.push_back(board.cycles());
    }
    EXPECT_EQ(cycles[0], cycles[1]);
    ASSERT_EQ(runs[0].size(), runs[1].size());
    for (size_t i = 0; i < runs[0].size(); ++i) {
        const Event& a = runs[0][i];
        const Event& b = runs[1][i];
        EXPECT_TRUE(a.kind == b.kind && a.stamp == b.stamp && a.address == b.address && a.value == b.value &&
                    a.time == b.time)
            << "event " << i << ": " << int(a.kind) << "@" << a.stamp << " vs " << int(b.kind) << "@" << b.stamp;
    }
}
