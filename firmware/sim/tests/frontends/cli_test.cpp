// boardsim's command line on the real image: what a user sees, and mistakes
// caught before a long run rather than after it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "support/child_process.h"
#include "support/image_patch.h"

using boardsim::testing::CommandResult;
using boardsim::testing::ScratchDir;

namespace {

CommandResult runBoardsim(std::vector<std::string> args)
{
    args.insert(args.begin(), BOARDSIM_EXE);
    return boardsim::testing::runCommand(args);
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Stamps of the output lines that contain `what`.
std::vector<uint64_t> stampsOf(const std::string& out, const std::string& what)
{
    std::vector<uint64_t> stamps;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        if (contains(line, what)) {
            stamps.push_back(std::stoull(line));
        }
    }
    return stamps;
}

}  // namespace

TEST(Cli, PictureFilesAreCheckedBeforeTheRunStarts)
{
    const ScratchDir dir;
    CommandResult r = runBoardsim({FIRMWARE_ELF, "--lcd-at", "1k:/dev/null/y.png"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "cannot write /dev/null/y.png: Not a directory")) << r.err;
    EXPECT_EQ(r.out, "");  // not one instruction ran
    EXPECT_FALSE(contains(r.err, "terminate")) << r.err;

    r = runBoardsim({FIRMWARE_ELF, "--lcd", dir.path().string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "is a directory")) << r.err;
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(Cli, APictureDueAfterTheRunEndsFailsTheRun)
{
    const ScratchDir dir;
    const CommandResult late = runBoardsim({FIRMWARE_ELF, "--lcd-at", "10M:" + dir.file("late.png"), "--run", "1M"});
    EXPECT_EQ(late.status, 1);
    EXPECT_TRUE(contains(late.err, "late.png not written")) << late.err;
    EXPECT_TRUE(contains(late.err, "before 10M")) << late.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("late.png")));

    const CommandResult early = runBoardsim({FIRMWARE_ELF, "--lcd-at", "500k:" + dir.file("early.png"), "--run", "1M"});
    EXPECT_EQ(early.status, 0) << early.err;
    EXPECT_TRUE(std::filesystem::exists(dir.file("early.png")));
}

TEST(Cli, PeriodsCountHeartbeatsNotTheStartUpBlip)
{
    // The LED goes low for one instruction between IO0DIR and IO0SET, then
    // the loop's first low phase starts the first beat, the next one ends it.
    const CommandResult r = runBoardsim({FIRMWARE_ELF, "--periods", "1", "--trace-pins", "LED"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto offs = stampsOf(r.out, "pin    P0.31 (LED) low");
    const auto stop = stampsOf(r.out, "stop");
    ASSERT_EQ(offs.size(), 3u) << r.out;
    ASSERT_EQ(stop.size(), 1u);
    EXPECT_EQ(stop[0], offs[2]);
    EXPECT_GT(offs[2] - offs[1], 400'000u);  // two DelayMs(200), about 200k instructions each
}

TEST(Cli, ReportNamesTheFigureARunIsTooShortFor)
{
    const CommandResult shortRun = runBoardsim({FIRMWARE_ELF, "--report", "--run", "100k"});
    EXPECT_EQ(shortRun.status, 1);
    EXPECT_TRUE(contains(shortRun.err, "report incomplete")) << shortRun.err;
    EXPECT_TRUE(contains(shortRun.err, "heartbeat period")) << shortRun.err;

    const CommandResult two = runBoardsim({FIRMWARE_ELF, "--report", "--periods", "2"});
    EXPECT_EQ(two.status, 0) << two.err;
    EXPECT_TRUE(contains(two.out, "(2 periods)")) << two.out;
    // A run of a few milliseconds of host time: its speed is said to be
    // that of this run alone, mostly start-up.
    EXPECT_TRUE(std::regex_search(two.out, std::regex("ms simulated in [0-9.]+ ms of host time: [0-9.]+ x real time\\)\n"
                                                      "  speed: of this run alone, .* mostly the simulator's start-up"
                                                      ".*make sim-bench measures the speed over longer runs\n")))
        << two.out;
    // 504 bytes x 8 bits at 11.0592 MHz / 8.
    EXPECT_TRUE(contains(two.out, "LCD over SPI0: SCK 1.3824 MHz; a whole frame (504 bytes) 2.917 ms on the wire, "
                                  "342.9 frames/s at most; the image sent one in "))
        << two.out;
}

TEST(Cli, WatchTakesCAndCppNamesAndRefusesData)
{
    for (const char* name : {"KeyGetPress", "_Z11KeyGetPressv", "KeyGetPress()"}) {
        const CommandResult r = runBoardsim({FIRMWARE_ELF, "--watch", name, "--run", "500k"});
        EXPECT_EQ(r.status, 0) << name << ": " << r.err;
        // Printed without --calls, under the name a reader knows.
        EXPECT_TRUE(contains(r.out, "call   KeyGetPress(r0 = ")) << name << ": " << r.out;
        EXPECT_FALSE(contains(r.out, "call   DelayMs")) << "only the watched function is shown";
    }
    const CommandResult data = runBoardsim({FIRMWARE_ELF, "--watch", "LcdFrame"});
    EXPECT_EQ(data.status, 2);
    EXPECT_TRUE(contains(data.err, "LcdFrame is data")) << data.err;

    const CommandResult calls = runBoardsim({FIRMWARE_ELF, "--calls", "--run", "30k"});
    EXPECT_TRUE(contains(calls.out, "call   UART0_SendStr(r0 = 0x")) << calls.out;  // a pointer, in hex
}

TEST(Cli, ImageErrorsNameTheFileAndTheReason)
{
    const ScratchDir dir;
    const std::string text = dir.file("notes.txt");
    std::ofstream(text) << "not a program\n";
    const struct {
        std::string image;
        std::string says;
    } cases[] = {
        {dir.path().string(), dir.path().string() + ": is a directory"},
        {dir.file("missing.elf"), dir.file("missing.elf") + ": No such file or directory"},
        {text, text + ": not an ELF file"},
    };
    for (const auto& c : cases) {
        const CommandResult r = runBoardsim({c.image});
        EXPECT_EQ(r.status, 1) << c.image;
        EXPECT_TRUE(contains(r.err, c.says)) << r.err;
    }
}

// A copy of the image whose start-up skips the clock set-up (the call made
// a no-op) runs on the crystal: UART0's divisor, worked out for the planned
// peripheral clock, then gives 28800 baud. A terminal at 115200 shows
// garbage and the run fails; one at 28800 reads the greeting.
TEST(Cli, WithoutItsClockSetUpTheImageGreetsAt28800Baud)
{
    const ScratchDir dir;
    const std::string copy = dir.file("no_clocks.elf");
    ASSERT_TRUE(boardsim::testing::patchCallToNop(FIRMWARE_ELF, copy, "BoardStart", "BoardClockInit"));

    const CommandResult fast = runBoardsim({copy, "--run", "50ms"});
    EXPECT_EQ(fast.status, 1);
    EXPECT_TRUE(contains(fast.err, "28800 baud")) << fast.err;
    EXPECT_TRUE(contains(fast.err, "115200 baud")) << fast.err;

    const CommandResult slow = runBoardsim({copy, "--run", "50ms", "--baud", "28800"});
    EXPECT_EQ(slow.status, 0) << slow.err;
    EXPECT_TRUE(contains(slow.out, "UART0  \"Hello my first UART pro\\n\"")) << slow.out;

    const CommandResult real = runBoardsim({FIRMWARE_ELF, "--run", "50ms"});
    EXPECT_EQ(real.status, 0) << real.err;
    EXPECT_TRUE(contains(real.out, "UART0  \"Hello my first UART pro\\n\"")) << real.out;
}

// A PLL oscillator below the data sheet's range: on standard error a
// warning that names the figures, and the run goes on; --strict fails it.
TEST(Cli, ThePllOutsideItsRangeWarnsAndStrictMakesItAFault)
{
    const std::string image = std::string(PROBE_DIR) + "/kit_failure6_arm.elf";
    const CommandResult warned = runBoardsim({image, "--run", "10ms", "--quiet"});
    EXPECT_EQ(warned.status, 0) << warned.err;
    EXPECT_TRUE(contains(warned.err, "boardsim: warning: PLL enabled with Fcco = 88.4736 MHz (M = 4, P = 1), "
                                     "outside 156-320 MHz\n"))
        << warned.err;

    const CommandResult strict = runBoardsim({image, "--run", "10ms", "--quiet", "--strict"});
    EXPECT_EQ(strict.status, 1);
    EXPECT_TRUE(contains(strict.err, "boardsim: fault after ")) << strict.err;
    EXPECT_TRUE(contains(strict.err, "outside 156-320 MHz")) << strict.err;
    EXPECT_FALSE(contains(strict.err, "warning")) << strict.err;
}

// The check of the line's speed fails the run on the first line a
// terminal at --baud reads as garbage; the fault is the line's, so it
// names the byte, its time and both rates, and no instruction.
TEST(Cli, AWrongBaudFailsTheRunNamingTheByteTheTimeAndBothRates)
{
    const CommandResult r = runBoardsim({FIRMWARE_ELF, "--baud", "9600", "--run", "50ms"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "boardsim: fault after ")) << r.err;
    EXPECT_TRUE(contains(r.err, "instructions: at 2.5")) << r.err;  // the greeting's line feed
    EXPECT_TRUE(contains(r.err, " ms UART0 sent byte 0x0a (\\n, the end of the first line)")) << r.err;
    EXPECT_TRUE(contains(r.err, "UART0 sends at 115200 baud, the terminal on TxD0 listens at 9600 baud")) << r.err;
    EXPECT_FALSE(contains(r.err, "instruction at")) << r.err;
}

TEST(Cli, TimesAndCountsMixAndLinesCarryBoth)
{
    // A press without a length is held 80 ms, as at the live screen and in
    // scenarios.
    const CommandResult r = runBoardsim(
        {FIRMWARE_ELF, "--run", "130ms", "--press", "2@5ms:10ms", "--press", "3@40ms", "--bounce", "0"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "KEY_2  down")) << r.out;
    EXPECT_TRUE(contains(r.out, "5.000 ms  KEY_2  down")) << r.out;
    EXPECT_TRUE(contains(r.out, "15.000 ms  KEY_2  up")) << r.out;
    EXPECT_TRUE(contains(r.out, " 40.000 ms  KEY_3  down")) << r.out;
    EXPECT_TRUE(contains(r.out, "120.000 ms  KEY_3  up")) << r.out;
    EXPECT_TRUE(contains(r.out, "130.000 ms  stop")) << r.out;

    const CommandResult json = runBoardsim({FIRMWARE_ELF, "--report", "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    for (const char* key : {"\"cclk_hz\": 44236800", "\"pclk_hz\": 11059200", "\"uart0_baud\": 115200",
                            "\"delay_unit_cycles\"", "\"delay_unit_us\"", "\"heartbeat_period_ms\"", "\"led_hz\"",
                            "\"reset_to_greeting_us\"", "\"sim_speed_x_real_time\"", "\"sim_wall_ms\"", "\"spi0_sck_hz\": 1382400",
                            "\"lcd_frame_ms\": 2.91666667", "\"lcd_frames_per_s\"", "\"lcd_frame_sent_ms\""}) {
        EXPECT_TRUE(contains(json.out, key)) << key << " in " << json.out;
    }
    EXPECT_EQ(json.out.front(), '{');
    EXPECT_EQ(json.out.substr(json.out.size() - 2), "}\n");
}

// A plain run does not print every edge: it ends with what each pin did.
// The summary's count is the edges --trace-pins prints one by one, and the
// LED's pace is the heartbeat the report measures.
TEST(Cli, APlainRunEndsWithASummaryOfEachPinAndTracePinsPrintsTheEdges)
{
    const CommandResult plain = runBoardsim({FIRMWARE_ELF, "--run", "100ms"});
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_FALSE(contains(plain.out, "pin    ")) << plain.out;
    std::smatch led;
    ASSERT_TRUE(std::regex_search(plain.out, led,
                                  std::regex("100\\.000 ms  pins   P0\\.31 \\(LED\\): ([0-9]+) edges from [0-9.]+us to "
                                             "[0-9.]+ms, high [0-9.]+ % of the time, rising every (18\\.1[0-9]*)ms "
                                             "\\(55\\.[0-9]+ Hz\\)\n")))
        << plain.out;
    EXPECT_TRUE(contains(plain.out, "pins   P0.0 (TXD0): 148 edges from ")) << plain.out;
    EXPECT_TRUE(contains(plain.out, "pins   P0.4 (LCD_SCLK, DAC_SCLK): ")) << plain.out;
    EXPECT_FALSE(contains(plain.out, "P0.16 (KEY_1)")) << "a pin that did nothing is left out";

    const CommandResult traced = runBoardsim({FIRMWARE_ELF, "--run", "100ms", "--trace-pins", "led,P0.16"});
    ASSERT_EQ(traced.status, 0) << traced.err;
    EXPECT_EQ(stampsOf(traced.out, "pin    P0.31 (LED) ").size(), std::stoul(led[1])) << traced.out;
    EXPECT_TRUE(stampsOf(traced.out, "pin    P0.16").empty());

    EXPECT_EQ(runBoardsim({FIRMWARE_ELF, "--run", "100ms", "--quiet"}).out, "");
    const CommandResult wrong = runBoardsim({FIRMWARE_ELF, "--trace-pins", "LED,BUZZER"});
    EXPECT_EQ(wrong.status, 2);
    EXPECT_TRUE(contains(wrong.err, "got \"BUZZER\"")) << wrong.err;
}

TEST(Cli, TraceIoNamesEachRegister)
{
    const CommandResult r = runBoardsim({FIRMWARE_ELF, "--trace-io", "--run", "2k"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* name : {"write  PLLFEED", "read   PLLSTAT", "write  PINSEL1", "write  IO0DIR", "write  U0LCR",
                             "write  U0DLL", "write  U0THR", "read   U0LSR"}) {
        EXPECT_TRUE(contains(r.out, name)) << name;
    }
    EXPECT_TRUE(contains(r.out, "write  PINSEL1  0xe002c004 <- ")) << r.out.substr(0, 2000);
}
