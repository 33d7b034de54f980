// Each kind of step on the real image, passing and failing: what it does to
// the board, the time it passes at, and what its failure says it saw.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "frontends/common/firmware_profile.h"
#include "frontends/common/lcd_picture.h"
#include "frontends/scenario/scenario_board.h"
#include "frontends/scenario/scenario_steps.h"
#include "support/scenario_text.h"

using namespace boardsim;
using boardsim::testing::contains;
using boardsim::testing::ScenarioResult;
using boardsim::testing::ScratchDir;

namespace {

const ElfImage& firmware()
{
    static const ElfImage image = ElfImage::fromFile(FIRMWARE_ELF);
    return image;
}

ScenarioResult run(const ScratchDir& dir, const std::string& steps, const std::string& timeout = "2s")
{
    return boardsim::testing::runScenarioText(firmware(), dir, "timeout: " + timeout + "\nsteps:\n" + steps);
}

ScenarioResult run(const ScratchDir& dir, const std::string& steps, const ScenarioSettings& settings)
{
    return boardsim::testing::runScenarioText(firmware(), dir, "timeout: 2s\nsteps:\n" + steps, settings);
}

ScenarioSettings defaults()
{
    ScenarioSettings settings;
    settings.board = boardOptionsFor(firmware());
    return settings;
}

// The picture the menu shows after start-up, marker on "Version".
std::vector<uint8_t> menuPicture()
{
    return readLcdPicture(SCENARIO_DIR "/menu-version.png");
}

}  // namespace

TEST(ScenarioSteps, DelayRunsTheBoardOnByTimeOrCountAndNotPastTheTimeout)
{
    const ScratchDir dir;
    const auto both = run(dir, "  - delay: 250ms\n  - delay: 1M\n");
    ASSERT_TRUE(both.outcome.passed) << both.printed;
    EXPECT_EQ(both.outcome.stepsPassed, 2);
    EXPECT_TRUE(contains(both.printed, "     250.000 ms  ok     1  delay 250ms\n")) << both.printed;
    EXPECT_GT(both.outcome.simulatedSeconds, 0.26);  // a million instructions take some 45 ms
    EXPECT_LT(both.outcome.simulatedSeconds, 0.35);

    // Each step counts from where the last one ended, not from the first
    // instruction after it: no drift.
    std::string tenths;
    for (int i = 0; i < 10; ++i) {
        tenths += "  - delay: 10ms\n  - expect-pin: {pin: KEY_1, value: 1}\n";
    }
    const auto steady = run(dir, tenths);
    EXPECT_DOUBLE_EQ(steady.outcome.simulatedSeconds, 0.1);
    EXPECT_TRUE(contains(steady.printed, "     100.000 ms  ok    20  expect-pin")) << steady.printed;

    const auto late = run(dir, "  - delay: 50ms\n  - delay: 60ms\n", "100ms");
    EXPECT_FALSE(late.outcome.passed);
    EXPECT_EQ(late.outcome.failure,
              "step 2 (delay, line 4): the scenario's timeout of 100ms ran out during the delay");
    EXPECT_NEAR(late.outcome.simulatedSeconds, 0.1, 1e-6);
    EXPECT_EQ(late.outcome.failedStep, 2);

    const auto count = run(dir, "  - delay: 100M\n", "100ms");
    EXPECT_EQ(count.outcome.failedStep, 1);
    EXPECT_NEAR(count.outcome.simulatedSeconds, 0.1, 1e-6);

    // A count too large to add to the instructions so far is no moment
    // already past.
    const auto huge = run(dir, "  - delay: 1ms\n  - delay: 18446744073709551k\n", "100ms");
    EXPECT_EQ(huge.outcome.failedStep, 2) << huge.printed;
    EXPECT_NEAR(huge.outcome.simulatedSeconds, 0.1, 1e-6);

    // Within the first millisecond, the summary is in milliseconds.
    const auto brief = run(dir, "  - delay: 377us\n");
    EXPECT_TRUE(contains(brief.printed, "passed: 1 step, 0.377 ms of simulated time\n")) << brief.printed;
}

// A name or a path may hold anything; the terminal sees no control
// character of it, and UTF-8 as it is.
TEST(ScenarioSteps, WhatTheRunPrintsHasNoControlCharactersOfNamesOrPaths)
{
    const ScratchDir dir;
    const auto r = boardsim::testing::runScenarioText(
        firmware(), dir, "name: \"\\e[2J\\e]0;owned\\a Grüße\"\nsteps:\n  - save-lcd: \"a\\e[31m.png\"\n");
    ASSERT_TRUE(r.outcome.passed) << r.printed;
    EXPECT_FALSE(contains(r.printed, "\x1b")) << r.printed;
    EXPECT_FALSE(contains(r.printed, "\a")) << r.printed;
    EXPECT_TRUE(contains(r.printed, "\\x1b[2J\\x1b]0;owned\\x07 Grüße")) << r.printed;
    EXPECT_TRUE(contains(r.printed, "save-lcd a\\x1b[31m.png")) << r.printed;
}

TEST(ScenarioSteps, WaitSerialFindsTextOrAPatternFromWhereTheLastWaitMatched)
{
    const ScratchDir dir;
    const auto found = run(dir, "  - wait-serial: Hello\n  - wait-serial: {regex: \"first [A-Z]+ pro$\"}\n");
    ASSERT_TRUE(found.outcome.passed) << found.printed;
    // The line once its line feed is in, 2.537 ms after reset; "Hello" once
    // its "o" is, 19 bytes of 87 us before.
    EXPECT_TRUE(contains(found.printed, "       0.888 ms  ok     1  wait-serial \"Hello\"\n")) << found.printed;
    EXPECT_TRUE(contains(found.printed, "       2.537 ms  ok     2  wait-serial /first [A-Z]+ pro$/\n"))
        << found.printed;

    const auto again = run(dir, "  - wait-serial: Hello\n  - wait-serial: {text: Hello, timeout: 50ms}\n");
    EXPECT_EQ(again.outcome.failure, "step 2 (wait-serial, line 4): \"Hello\" not seen on UART0 within 50ms; "
                                     "UART0 sent \" my first UART pro\\n\" after the last match");

    const auto silent = run(dir, "  - wait-serial: {uart: 1, regex: \"[0-9]\", timeout: 10ms}\n");
    EXPECT_EQ(silent.outcome.failure,
              "step 1 (wait-serial, line 3): nothing matching /[0-9]/ seen on UART1 within 10ms; UART1 sent nothing");
}

TEST(ScenarioSteps, WriteSerialTakesTheBytesTimeOnTheLineAndFillsTheUart)
{
    const ScratchDir dir;
    ScenarioSettings settings = defaults();
    auto waiting = std::make_shared<std::optional<size_t>>();
    settings.hooks.emplace_back([waiting](Board& board, const Scenario&) {
        return [waiting, &board] { *waiting = board.machine().uart0.received(); };
    });
    const auto written = run(dir, "  - delay: 10ms\n  - write-serial: abc\n", settings);
    ASSERT_TRUE(written.outcome.passed) << written.printed;
    // Three 8N1 frames at 115200 baud: 260 us. The image never reads UART0.
    EXPECT_TRUE(contains(written.printed, "      10.260 ms  ok     2  write-serial \"abc\"\n")) << written.printed;
    EXPECT_EQ(*waiting, 3u);

    const auto late = run(dir, "  - write-serial: \"0123456789abcdefghij\"\n", "1ms");
    EXPECT_EQ(late.outcome.failure, "step 1 (write-serial, line 3): the scenario's timeout of 1ms ran out during "
                                    "the bytes' time on the line");
}

TEST(ScenarioSteps, KeysArePressedHeldAndReleasedOnlyInTurn)
{
    const ScratchDir dir;
    // An 80 ms press and the contacts' 5 ms of chatter: "Version" blanks the screen.
    const auto press = run(dir, "  - delay: 100ms\n  - press: 3\n  - delay: 100ms\n  - expect-lcd: blank\n");
    ASSERT_TRUE(press.outcome.passed) << press.printed;
    EXPECT_TRUE(contains(press.printed, "     185.000 ms  ok     2  press KEY_3 for 80ms\n")) << press.printed;

    const auto held = run(dir, "  - hold: 1\n  - expect-pin: {pin: KEY_1, value: 0}\n  - release: 1\n"
                               "  - expect-pin: {pin: KEY_1, value: 1}\n  - hold: 1\n  - press: 1\n");
    EXPECT_EQ(held.outcome.stepsPassed, 5) << held.printed;
    EXPECT_EQ(held.outcome.failure,
              "step 6 (press, line 8): KEY_1 is still held from a hold step: release it first");

    // A press is over when its step is, also with clean contacts and when
    // it lasts a count of instructions.
    ScenarioSettings clean = defaults();
    clean.board.bounceSeconds = 0;
    const auto again = run(dir, "  - press: 2\n  - press: 2\n  - press: {key: 2, for: 100k}\n  - press: 2\n", clean);
    EXPECT_TRUE(again.outcome.passed) << again.printed;
    EXPECT_TRUE(contains(again.printed, "     160.000 ms  ok     2  press KEY_2 for 80ms\n")) << again.printed;

    const auto loose = run(dir, "  - release: KEY_2\n");
    EXPECT_EQ(loose.outcome.failure,
              "step 1 (release, line 3): KEY_2 is not held: release lets go of a key a hold step pressed");
}

TEST(ScenarioSteps, PinsAreExpectedNowOrWaitedForToTheMomentTheyChange)
{
    const ScratchDir dir;
    ScenarioSettings settings = defaults();
    auto firstOff = std::make_shared<std::optional<double>>();
    settings.hooks.emplace_back([firstOff](Board& board, const Scenario&) {
        board.subscribe([firstOff](const Event& e) {
            if (e.kind == EventKind::Led && e.value == 0 && e.time > 0.005 && !*firstOff) {
                *firstOff = e.time;
            }
        });
        return std::function<void()>();
    });
    const auto waited = run(dir, "  - delay: 5ms\n  - expect-pin: {pin: LED, value: 1}\n"
                                 "  - wait-pin: {pin: P0.31, value: 0, timeout: 20ms}\n",
                            settings);
    ASSERT_TRUE(waited.outcome.passed) << waited.printed;
    ASSERT_TRUE(*firstOff);
    char line[96];
    std::snprintf(line, sizeof line, "%12.3f ms  ok     3  wait-pin P0.31 (LED) = 0 within 20ms\n", **firstOff * 1e3);
    EXPECT_TRUE(contains(waited.printed, line)) << waited.printed << "\nwanted: " << line;

    const auto wrong = run(dir, "  - delay: 5ms\n  - expect-pin: {pin: LED, value: 0}\n");
    EXPECT_EQ(wrong.outcome.failure, "step 2 (expect-pin, line 4): P0.31 (LED) is 1, expected 0");

    const auto never = run(dir, "  - wait-pin: {pin: KEY_1, value: 0, timeout: 30ms}\n");
    EXPECT_EQ(never.outcome.failure,
              "step 1 (wait-pin, line 3): P0.16 (KEY_1) did not become 0 within 30ms: it stayed 1");
    EXPECT_NEAR(never.outcome.simulatedSeconds, 0.030, 1e-6);
}

TEST(ScenarioSteps, ABlinkIsMeasuredForFrequencyAndDuty)
{
    const ScratchDir dir;
    // From the first heartbeat on: the LED is up from 0.4 ms, its first low
    // phase starts after the start-up.
    const auto beat = run(dir, "  - delay: 30ms\n  - expect-blink: {pin: LED, hz: 55.2, tolerance: 3%, duty: 50%}\n");
    ASSERT_TRUE(beat.outcome.passed) << beat.printed;
    EXPECT_TRUE(contains(beat.printed, "55.20 Hz, duty 50.0%")) << beat.printed;

    const auto slow = run(dir, "  - delay: 30ms\n  - expect-blink: {pin: LED, hz: 27.6, tolerance: 10%}\n");
    EXPECT_EQ(slow.outcome.failure, "step 2 (expect-blink, line 4): P0.31 (LED) blinks at 55.20 Hz, duty 50.0% "
                                    "over 362.3ms, expected 27.6 Hz within 10%");

    // Slow blinks keep four digits that count.
    EXPECT_EQ(frequencyText(1.0 / 6), "0.1667 Hz");
    EXPECT_EQ(frequencyText(0.01234), "0.01234 Hz");

    const auto lopsided = run(dir, "  - delay: 30ms\n  - expect-blink: {pin: LED, hz: 55.2, duty: 25%}\n");
    EXPECT_TRUE(contains(lopsided.outcome.failure, "expected 55.2 Hz, duty 25% within 5%"))
        << lopsided.outcome.failure;

    const auto still = run(dir, "  - expect-blink: {pin: KEY_1, hz: 10}\n");
    EXPECT_EQ(still.outcome.failure,
              "step 1 (expect-blink, line 3): P0.16 (KEY_1) did not blink: 0 changes in 1s, high at the end");
}

TEST(ScenarioSteps, TheLcdIsComparedPixelForPixelAndAMismatchLeavesItsPictures)
{
    const ScratchDir dir;
    std::filesystem::copy_file(SCENARIO_DIR "/menu-version.png", dir.file("menu.png"));
    std::filesystem::copy_file(SCENARIO_DIR "/menu-author.png", dir.file("author.png"));

    const auto blankAtReset = run(dir, "  - expect-lcd: blank\n");
    ASSERT_TRUE(blankAtReset.outcome.passed);
    EXPECT_TRUE(contains(blankAtReset.printed, "the LCD shows nothing: ")) << blankAtReset.printed;

    const auto same = run(dir, "  - delay: 100ms\n  - expect-lcd: menu.png\n  - save-lcd: saved.pbm\n");
    ASSERT_TRUE(same.outcome.passed) << same.printed;
    EXPECT_EQ(readLcdPicture(dir.file("saved.pbm")), menuPicture());

    const auto notBlank = run(dir, "  - delay: 100ms\n  - expect-lcd: blank\n");
    const std::string actual = dir.file("s-step2-actual.png");
    EXPECT_TRUE(contains(notBlank.outcome.failure, "step 2 (expect-lcd, line 4): the LCD shows ")) << notBlank.outcome.failure;
    EXPECT_TRUE(contains(notBlank.outcome.failure, " dark pixels, expected blank; the glass as it was: " + actual))
        << notBlank.outcome.failure;
    EXPECT_EQ(readLcdPicture(actual), menuPicture());

    ScenarioSettings elsewhere = defaults();
    std::filesystem::create_directory(dir.path() / "report");
    elsewhere.outputs = dir.file("report");
    const auto other = run(dir, "  - delay: 100ms\n  - expect-lcd: author.png\n", elsewhere);
    const LcdDifference difference = lcdDifference(readLcdPicture(dir.file("author.png")), menuPicture());
    ASSERT_GT(difference.pixels, 0u);
    EXPECT_TRUE(contains(other.outcome.failure, "step 2 (expect-lcd, line 4): the LCD differs from author.png in " +
                                                    std::to_string(difference.pixels) + " pixels (the first at x " +
                                                    std::to_string(difference.firstX) + ", y " +
                                                    std::to_string(difference.firstY) + "); the glass as it was: " +
                                                    dir.file("report/s-step2-actual.png")))
        << other.outcome.failure;
    EXPECT_TRUE(contains(other.outcome.failure, dir.file("report/s-step2-diff.png"))) << other.outcome.failure;
    EXPECT_EQ(readLcdPicture(dir.file("report/s-step2-actual.png")), menuPicture());
    EXPECT_TRUE(std::filesystem::file_size(dir.file("report/s-step2-diff.png")) > 0);
}

TEST(ScenarioSteps, AFaultEndsTheStepItHappensInWithItsMessage)
{
    const ScratchDir dir;
    ScenarioSettings settings = defaults();
    settings.board.hostBaud = 9600;  // the greeting's line feed is where the terminal shows garbage
    const auto garbled = run(dir, "  - delay: 10ms\n", settings);
    EXPECT_TRUE(contains(garbled.outcome.failure, "step 1 (delay, line 3): the board faulted during the delay: "))
        << garbled.outcome.failure;
    EXPECT_TRUE(contains(garbled.outcome.failure, "9600 baud")) << garbled.outcome.failure;
}

TEST(ScenarioSteps, HooksSeeTheBoardBeforeItRunsAndTheirFailureFailsTheScenario)
{
    const ScratchDir dir;
    ScenarioSettings settings = defaults();
    auto before = std::make_shared<std::optional<uint64_t>>();
    settings.hooks.emplace_back([before](Board& board, const Scenario& scenario) {
        *before = board.instructions();
        EXPECT_EQ(scenario.name, "s");
        return [] { throw std::runtime_error("cannot write the movie"); };
    });
    const auto r = run(dir, "  - delay: 1ms\n", settings);
    EXPECT_EQ(*before, 0u);
    EXPECT_FALSE(r.outcome.passed);
    EXPECT_EQ(r.outcome.stepsPassed, 1);
    EXPECT_EQ(r.outcome.failure, "after the last step: cannot write the movie");
    EXPECT_FALSE(r.outcome.failedStep);
}

// A UART that talks through a long scenario with no wait reading it keeps
// the scenario's memory within a bound; a wait's text never moves under it.
TEST(ScenarioSteps, UnreadSerialTextIsKeptWithinABound)
{
    ScenarioBoard::Received line;
    const size_t sent = 3'000'000;
    for (size_t i = 0; i < sent; ++i) {
        line.add(char('a' + i % 26), double(i) * 1e-4, false);
    }
    EXPECT_LE(line.text.size(), size_t{512} * 1024);
    EXPECT_EQ(line.times.size(), line.text.size());
    EXPECT_EQ(line.unreadLetGo, sent - line.text.size());
    EXPECT_EQ(line.text.back(), char('a' + (sent - 1) % 26));
    EXPECT_DOUBLE_EQ(line.times.back(), double(sent - 1) * 1e-4);

    const size_t kept = line.text.size();
    for (size_t i = 0; i < size_t{1} << 20; ++i) {
        line.add('x', 0, true);
    }
    EXPECT_EQ(line.text.size(), kept + (size_t{1} << 20));
}
