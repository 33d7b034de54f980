// boardsim --vcd read back by the tools engineers use on a logic
// analyzer's recordings: sigrok-cli's protocol decoders (UART, SPI, edge
// timing) and GTKWave's vcd2fst. What they find must be what the image
// does: the greeting on TxD0, the LCD's commands and display bytes, the
// keys' bounce, the LED's heartbeat, and a whole file however the run ends.
#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <filesystem>
#include <regex>
#include <sstream>

#include "machine/board.h"
#include "support/child_process.h"
#include "support/docs_example.h"
#include "support/logic_analyzer.h"

using boardsim::testing::Annotation;
using boardsim::testing::Child;
using boardsim::testing::CommandResult;
using boardsim::testing::contains;
using boardsim::testing::decodeVcd;
using boardsim::testing::joined;
using boardsim::testing::ScratchDir;
using boardsim::testing::slurp;

namespace {

const std::string kGreeting = "Hello my first UART pro[0A]";  // as sigrok shows it, the newline in hex

CommandResult runBoardsim(std::vector<std::string> args)
{
    args.insert(args.begin(), BOARDSIM_EXE);
    return boardsim::testing::runCommand(args);
}

// The edges a timing decoder saw, as sample numbers: each annotation spans
// the time from one edge to the next.
std::vector<uint64_t> edgesOf(const std::vector<Annotation>& intervals)
{
    std::vector<uint64_t> edges;
    for (const Annotation& a : intervals) {
        if (edges.empty()) {
            edges.push_back(a.from);
        }
        edges.push_back(a.to);
    }
    return edges;
}

size_t edgesWithin(const std::vector<uint64_t>& edges, uint64_t from, uint64_t to)
{
    return size_t(std::count_if(edges.begin(), edges.end(), [&](uint64_t e) { return e >= from && e <= to; }));
}

// The time of the file's last timestamp, in nanoseconds; 0 when its last
// line is not one (a file cut short).
uint64_t lastTimestamp(const std::string& vcd)
{
    const size_t start = vcd.rfind('\n', vcd.size() >= 2 ? vcd.size() - 2 : 0);
    const std::string last = vcd.substr(start == std::string::npos ? 0 : start + 1);
    return last.size() > 2 && last[0] == '#' && last.back() == '\n' ? std::stoull(last.substr(1)) : 0;
}

std::vector<std::string> variables(const std::string& vcd)
{
    std::vector<std::string> names;
    const std::regex var("\\$var wire 1 \\S+ (\\S+) \\$end");
    for (auto at = std::sregex_iterator(vcd.begin(), vcd.end(), var); at != std::sregex_iterator(); ++at) {
        names.push_back((*at)[1]);
    }
    return names;
}

// The variables of one scope, as "scope.name" the way GTKWave names them.
std::vector<std::string> scopeVariables(const std::string& vcd, const std::string& scope)
{
    const std::string opening = "$scope module " + scope + " $end\n";
    const size_t start = vcd.find(opening);
    if (start == std::string::npos) {
        return {};
    }
    const size_t end = vcd.find("$upscope", start);
    std::vector<std::string> names;
    for (const std::string& name : variables(vcd.substr(start, end - start))) {
        names.push_back(scope + "." + name);
    }
    return names;
}

}  // namespace

TEST(VcdTrace, SigrokReadsTheGreetingOnTxd0At115200Baud)
{
    REQUIRE_PROGRAM(sigrok, "sigrok-cli");
    const ScratchDir dir;
    const std::string vcd = dir.file("pins.vcd");
    const CommandResult r = runBoardsim({FIRMWARE_ELF, "--run", "30ms", "--vcd", vcd, "--quiet"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string error;
    const auto bytes = decodeVcd(sigrok, vcd, "uart:baudrate=115200:tx=P0_0:format=ascii", "tx-data", {100}, &error);
    EXPECT_EQ(joined(bytes), kGreeting) << error;
    // Its last stop bit leaves 2.54 ms after reset, as --report says.
    ASSERT_FALSE(bytes.empty());
    EXPECT_NEAR(double(bytes.back().to) * 100e-9, 2.54e-3, 0.02e-3);
    // Every pin is in it, and the board's names of the wired ones.
    const std::vector<std::string> pins = scopeVariables(slurp(vcd), "port0");
    ASSERT_EQ(pins.size(), 32u);
    EXPECT_EQ(pins.front(), "port0.P0_0");
    EXPECT_EQ(pins.back(), "port0.P0_31");
    EXPECT_EQ(scopeVariables(slurp(vcd), "board"),
              (std::vector<std::string>{"board.TXD0", "board.RXD0", "board.LCD_SCLK", "board.LCD_SDIN", "board.KEY_1",
                                        "board.KEY_2", "board.KEY_3", "board.KEY_4", "board.LCD_DC", "board.LCD_SCE",
                                        "board.LCD_RES", "board.DAC_CS", "board.LED"}));
    EXPECT_EQ(variables(slurp(vcd)).size(), 45u) << "nothing else";
}

// The VCD manual's commands, run as it writes them: sigrok-cli decodes the
// greeting and every byte SPI0 sent the LCD (as many as the D/C split
// below finds), by the board's names; and the GTKWave save file it names
// shows signals the trace has.
TEST(VcdTrace, TheManualsCommandsDecodeEveryByte)
{
    REQUIRE_PROGRAM(sigrok, "sigrok-cli");
    const std::string manual = DOCS_DIR "/pins-and-vcd.md";
    const std::vector<std::string> block = boardsim::testing::docsBlock(manual, "sigrok-cli -I vcd");
    ASSERT_FALSE(block.empty()) << "no block of sigrok-cli commands in " << manual;
    const boardsim::testing::DocsFolder dir(BOARDSIM_EXE, FIRMWARE_ELF, FIRMWARE_HEX);
    const auto shell = [&](const std::string& command) {
        return boardsim::testing::runCommand({"bash", "-c", "cd '" + dir.path().string() + "' && " + command});
    };
    const CommandResult run = shell(boardsim::testing::lineWith(block, "build/bin/boardsim"));
    ASSERT_EQ(run.status, 0) << run.err;

    const CommandResult uart = shell(boardsim::testing::lineWith(block, "-P uart"));
    ASSERT_EQ(uart.status, 0) << uart.err;
    EXPECT_TRUE(contains(std::regex_replace(uart.out, std::regex("uart-1: |\n"), ""), kGreeting)) << uart.out;

    const CommandResult spi = shell(boardsim::testing::lineWith(block, "-P spi"));
    ASSERT_EQ(spi.status, 0) << spi.err;
    const std::string vcd = dir.file("pins.vcd");
    const std::string split = "spi:clk=P0_4:mosi=P0_6:cs=P0_20";
    const size_t sent = decodeVcd(sigrok, vcd, split + ":cs_polarity=active-low", "mosi-data", {10}).size() +
                        decodeVcd(sigrok, vcd, split + ":cs_polarity=active-high", "mosi-data", {10}).size();
    EXPECT_GT(sent, 700u);
    EXPECT_EQ(size_t(std::count(spi.out.begin(), spi.out.end(), '\n')), sent) << spi.out.substr(0, 500);
    EXPECT_EQ(spi.out.substr(0, 50), "spi-1: 21\nspi-1: B8\nspi-1: 04\nspi-1: 13\nspi-1: 20\n");

    std::smatch save;
    const std::string viewer = boardsim::testing::lineWith(block, "gtkwave");
    ASSERT_TRUE(std::regex_search(viewer, save, std::regex("(docs/\\S+\\.gtkw)"))) << viewer;
    const std::string saved = slurp(std::string(PROJECT_ROOT) + "/" + save[1].str());
    ASSERT_FALSE(saved.empty()) << save[1];
    const std::vector<std::string> traced = scopeVariables(slurp(vcd), "board");
    std::istringstream lines(saved);
    size_t shown = 0;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && std::string("[*@-").find(line[0]) == std::string::npos) {
            EXPECT_NE(std::find(traced.begin(), traced.end(), line), traced.end()) << line << " is not in the trace";
            ++shown;
        }
    }
    EXPECT_EQ(shown, traced.size()) << "every signal of the board in the save file";
}

// With D/C as the decoder's chip select, the bytes sent while it was low
// are the commands and those sent while it was high the display data.
// Played into a controller's RAM in the order they came, they must give
// what the board's own controller shows at the end.
TEST(VcdTrace, SigrokReadsTheLcdsCommandsAndDisplayBytesAndDcTellsThemApart)
{
    REQUIRE_PROGRAM(sigrok, "sigrok-cli");
    const ScratchDir dir;
    const std::string vcd = dir.file("lcd.vcd");
    const CommandResult r =
        runBoardsim({FIRMWARE_ELF, "--run", "100ms", "--vcd", vcd, "--vcd-pins", "P0_4,P0.6,lcd_dc,LCD_SCE", "--quiet"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(variables(slurp(vcd)), (std::vector<std::string>{"P0_4", "P0_6", "P0_20", "P0_21", "LCD_SCLK", "LCD_SDIN",
                                                               "LCD_DC", "LCD_SCE"}));

    const std::string spi = "spi:clk=P0_4:mosi=P0_6:cs=P0_20";
    const auto commands = decodeVcd(sigrok, vcd, spi + ":cs_polarity=active-low", "mosi-data", {50});
    const auto data = decodeVcd(sigrok, vcd, spi + ":cs_polarity=active-high", "mosi-data", {50});
    ASSERT_GE(commands.size(), 8u);
    // The set-up: extended instructions, Vop 56, temperature coefficient 0,
    // bias 1/8, basic instructions; then Y = 0, X = 0 for the first frame.
    EXPECT_EQ(joined({commands.begin(), commands.begin() + 7}, " "), "21 B8 04 13 20 40 80");
    ASSERT_GE(data.size(), 504u) << "the first frame is the whole RAM";
    EXPECT_GT(data[503].to, commands[6].to);
    EXPECT_LT(data[503].to, commands[7].from) << "the display goes on after the first whole frame";
    EXPECT_EQ(commands[7].text, "0C");

    // Horizontal addressing: X runs across a bank, then on into the next.
    std::vector<Annotation> traffic = commands;
    traffic.insert(traffic.end(), data.begin(), data.end());
    std::sort(traffic.begin(), traffic.end(), [](const Annotation& a, const Annotation& b) { return a.from < b.from; });
    std::vector<uint8_t> ram(504, 0);
    unsigned x = 0;
    unsigned y = 0;
    for (const Annotation& byte : traffic) {
        const auto value = uint8_t(std::stoul(byte.text, nullptr, 16));
        const bool isData = std::find_if(data.begin(), data.end(), [&](const Annotation& d) {
                                return d.from == byte.from;
                            }) != data.end();
        if (isData) {
            ram[y * 84 + x] = value;
            if (++x == 84) {
                x = 0;
                y = (y + 1) % 6;
            }
        } else if ((value & 0xF8) == 0x40) {
            y = value & 7u;
        } else if ((value & 0x80) != 0) {
            x = value & 0x7Fu;
        }
    }
    const boardsim::ElfImage image = boardsim::ElfImage::fromFile(FIRMWARE_ELF);
    boardsim::Board board(image);
    board.runUntil(boardsim::When::at(0.1));
    EXPECT_EQ(ram, board.lcdFrame());
}

TEST(VcdTrace, AKeysBounceShowsAsSeveralEdgesWithinTheBounceTime)
{
    REQUIRE_PROGRAM(sigrok, "sigrok-cli");
    const ScratchDir dir;
    const std::string vcd = dir.file("key.vcd");
    const CommandResult r = runBoardsim(
        {FIRMWARE_ELF, "--run", "70ms", "--press", "2@30ms:20ms", "--vcd", vcd, "--vcd-pins", "P0_17", "--quiet"});
    ASSERT_EQ(r.status, 0) << r.err;
    // Samples of a microsecond.
    const auto edges = edgesOf(decodeVcd(sigrok, vcd, "timing:data=P0_17", "time", {1000}));
    EXPECT_GE(edgesWithin(edges, 30'000, 35'000), 3u) << "the press chatters for the 5 ms bounce time";
    EXPECT_EQ(edgesWithin(edges, 35'001, 49'999), 0u) << "then the contact holds";
    EXPECT_GE(edgesWithin(edges, 50'000, 55'000), 3u) << "and chatters again when let go";
    EXPECT_EQ(edgesWithin(edges, 55'001, 70'000), 0u);
    EXPECT_EQ(edges.size() % 2, 0u) << "it ends up again, as it started";
}

TEST(VcdTrace, TheLedsHeartbeatLastsWhatTheReportSays)
{
    REQUIRE_PROGRAM(sigrok, "sigrok-cli");
    const ScratchDir dir;
    const std::string vcd = dir.file("led.vcd");
    const CommandResult r = runBoardsim({FIRMWARE_ELF, "--run", "100ms", "--vcd", vcd, "--vcd-pins", "P0_31", "--quiet"});
    ASSERT_EQ(r.status, 0) << r.err;
    // From one falling edge to the next: a low phase and a high phase.
    const auto periods = decodeVcd(sigrok, vcd, "timing:data=P0_31:edge=falling", "time", {1000});
    ASSERT_GE(periods.size(), 3u);
    const CommandResult report = runBoardsim({FIRMWARE_ELF, "--report", "--json"});
    std::smatch match;
    ASSERT_TRUE(std::regex_search(report.out, match, std::regex("\"heartbeat_period_ms\": ([0-9.]+)"))) << report.out;
    const double reported = std::stod(match[1]);
    EXPECT_NEAR(reported, 18.1, 0.05);
    for (const Annotation& period : periods) {
        EXPECT_TRUE(contains(period.text, " ms (")) << period.text;
        EXPECT_NEAR(std::stod(period.text), reported, 0.002) << period.text;
    }
}

// GTKWave's converter reads the whole file: converted back, every pin and
// every change is there.
TEST(VcdTrace, GtkwavesVcd2fstReadsEveryPinAndEveryChange)
{
    REQUIRE_PROGRAM(vcd2fst, "vcd2fst");
    REQUIRE_PROGRAM(fst2vcd, "fst2vcd");
    const ScratchDir dir;
    const std::string vcd = dir.file("pins.vcd");
    ASSERT_EQ(runBoardsim({FIRMWARE_ELF, "--run", "50ms", "--press", "1@20ms:10ms", "--vcd", vcd, "--quiet"}).status,
              0);
    const CommandResult converted = boardsim::testing::runCommand({vcd2fst, "-v", vcd, "-f", dir.file("pins.fst")});
    ASSERT_EQ(converted.status, 0) << converted.err;
    const CommandResult back = boardsim::testing::runCommand({fst2vcd, dir.file("pins.fst")});
    ASSERT_EQ(back.status, 0) << back.err;

    const std::string original = slurp(vcd);
    EXPECT_EQ(variables(back.out), variables(original));
    const auto count = [](const std::string& text, const std::regex& what) {
        return std::distance(std::sregex_iterator(text.begin(), text.end(), what), std::sregex_iterator());
    };
    const std::regex timestamp("\n#[0-9]+\n");
    const std::regex value("\n[01]\\S+");
    EXPECT_EQ(count(back.out, timestamp), count(original, timestamp));
    EXPECT_EQ(count(back.out, value), count(original, value));
    EXPECT_EQ(lastTimestamp(back.out), 50'000'000u);
}

// However the run ends, the file is whole up to that moment; until then
// the name holds nothing of it.
TEST(VcdTrace, TheFileIsWholeWhenAFaultOrASignalEndsTheRun)
{
    REQUIRE_PROGRAM(sigrok, "sigrok-cli");
    const ScratchDir dir;
    // A terminal at 9600 baud reads garbage: the run fails at the end of
    // the greeting's line.
    const std::string faulted = dir.file("fault.vcd");
    const CommandResult fault = runBoardsim({FIRMWARE_ELF, "--baud", "9600", "--vcd", faulted, "--quiet"});
    EXPECT_EQ(fault.status, 1);
    EXPECT_TRUE(contains(fault.err, "9600 baud")) << fault.err;
    EXPECT_EQ(joined(decodeVcd(sigrok, faulted, "uart:tx=P0_0:format=ascii", "tx-data")), kGreeting);
    EXPECT_NEAR(double(lastTimestamp(slurp(faulted))), 2.54e6, 0.02e6) << "ends where the fault stopped the run";

    const std::string interrupted = dir.file("interrupted.vcd");
    Child boardsim({BOARDSIM_EXE, FIRMWARE_ELF, "--run", "100000s", "--vcd", interrupted});
    ASSERT_TRUE(boardsim::testing::waitFor([&] { return contains(boardsim.out(), "UART0  \"Hello"); }));
    EXPECT_FALSE(std::filesystem::exists(interrupted)) << "the trace is in place only once it is whole";
    boardsim.signal(SIGINT);
    ASSERT_TRUE(boardsim.exitStatus());
    std::smatch stop;
    const std::string out = boardsim.out();
    ASSERT_TRUE(std::regex_search(out, stop, std::regex("([0-9.]+) ms  stop   interrupted \\(SIGINT\\)")))
        << out.substr(out.size() > 2000 ? out.size() - 2000 : 0);
    const std::string text = slurp(interrupted);
    EXPECT_NEAR(double(lastTimestamp(text)) / 1e6, std::stod(stop[1]), 0.001);
    // Seconds of the board's time went by: a millisecond of each quiet
    // stretch is enough for the decoder.
    EXPECT_EQ(joined(decodeVcd(sigrok, interrupted, "uart:tx=P0_0:format=ascii", "tx-data", {100, 1'000'000})),
              kGreeting);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()),
              2) << "no temporary file left";
}
