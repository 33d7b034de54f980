// The real lpc21isp programs the simulated board over a pseudo-terminal, as
// it would a board on /dev/ttyUSB0 with P0.14 held low at reset.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <thread>

#include "support/child_process.h"
#include "support/docs_example.h"

using boardsim::testing::Child;
using boardsim::testing::CommandResult;
using boardsim::testing::ScratchDir;
using boardsim::testing::slurp;

namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

bool haveLpc21isp() { return std::system("command -v lpc21isp >/dev/null 2>&1") == 0; }

std::vector<char> bytesOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Flashing {
    CommandResult tool;
    CommandResult board;
};

// boardsim in its boot loader on `link`, once the link is there.
std::unique_ptr<Child> bootLoader(const std::string& link, const std::vector<std::string>& boardArgs)
{
    std::vector<std::string> board = {BOARDSIM_EXE, "--isp", link};
    board.insert(board.end(), boardArgs.begin(), boardArgs.end());
    auto sim = std::make_unique<Child>(board);
    boardsim::testing::waitForPath(link, 10);
    return sim;
}

// lpc21isp's arguments for `link`, at 115200 baud with the crystal in kHz.
std::vector<std::string> lpc21isp(const std::string& link, const std::vector<std::string>& toolArgs,
                                  const std::string& crystal = "11059")
{
    std::vector<std::string> tool = {"lpc21isp"};
    tool.insert(tool.end(), toolArgs.begin(), toolArgs.end());
    tool.insert(tool.end(), {link, "115200", crystal});
    return tool;
}

// boardsim waits in its boot loader on LINK; lpc21isp is run against it.
Flashing flash(const ScratchDir& dir, const std::vector<std::string>& boardArgs,
               const std::vector<std::string>& toolArgs, const std::string& crystal = "11059")
{
    const std::string link = dir.file("ttyISP");
    const auto sim = bootLoader(link, boardArgs);
    Flashing result;
    if (!std::filesystem::is_symlink(link)) {
        result.board = sim->wait(1);
        return result;
    }
    Child isp(lpc21isp(link, toolArgs, crystal));
    result.tool = isp.wait(60);
    result.board = sim->wait(30);
    return result;
}

}  // namespace

TEST(Lpc21isp, HexFileFlashesABlankBoardWhichThenGreets)
{
    if (!haveLpc21isp()) {
        GTEST_SKIP() << "lpc21isp is not installed (scripts/bootstrap installs it)";
    }
    const ScratchDir dir;
    const std::string saved = dir.file("flash.bin");
    const Flashing f = flash(dir, {"--run", "20ms", "--save-flash", saved}, {"-hex", FIRMWARE_HEX});
    EXPECT_EQ(f.tool.status, 0) << f.tool.out << f.tool.err;
    EXPECT_TRUE(contains(f.tool.out, "Download Finished")) << f.tool.out;
    ASSERT_EQ(f.board.status, 0) << f.board.err;
    EXPECT_TRUE(contains(f.board.out, "G: the code starts")) << f.board.out;
    EXPECT_TRUE(contains(f.board.out, "UART0  \"Hello my first UART pro\\n\"")) << f.board.out;

    const std::vector<char> image = bytesOf(FIRMWARE_BIN);
    const std::vector<char> flashed = bytesOf(saved);
    ASSERT_EQ(flashed.size(), 256u * 1024);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flashed.begin())) << "flash differs from firmware.bin";
    EXPECT_EQ(flashed[128 * 1024], char(0xFF));  // untouched sectors stay erased
}

TEST(Lpc21isp, BinFileWithVerifyAndTheImageAlreadyInFlash)
{
    if (!haveLpc21isp()) {
        GTEST_SKIP() << "lpc21isp is not installed (scripts/bootstrap installs it)";
    }
    const ScratchDir dir;
    const Flashing f = flash(dir, {FIRMWARE_ELF, "--run", "20ms"}, {"-bin", "-verify", FIRMWARE_BIN});
    EXPECT_EQ(f.tool.status, 0) << f.tool.out << f.tool.err;
    EXPECT_TRUE(contains(f.tool.out, "Verified correct")) << f.tool.out;
    EXPECT_EQ(f.board.status, 0) << f.board.err;
    EXPECT_TRUE(contains(f.board.out, "Hello my first UART pro")) << f.board.out;
}

TEST(Lpc21isp, WithoutGoTheBoardRunsOnlyWhenResetAfterwards)
{
    if (!haveLpc21isp()) {
        GTEST_SKIP() << "lpc21isp is not installed (scripts/bootstrap installs it)";
    }
    const ScratchDir dir;
    const Flashing stay = flash(dir, {"--isp-idle", "1s", "--run", "20ms"}, {"-donotstart", "-hex", FIRMWARE_HEX});
    EXPECT_EQ(stay.tool.status, 0) << stay.tool.out;
    EXPECT_EQ(stay.board.status, 0) << stay.board.err;
    EXPECT_TRUE(contains(stay.board.out, "the host went quiet")) << stay.board.out;
    EXPECT_FALSE(contains(stay.board.out, "Hello")) << stay.board.out;

    const Flashing reset =
        flash(dir, {"--isp-idle", "1s", "--reset-after-isp", "--run", "20ms"}, {"-donotstart", "-hex", FIRMWARE_HEX});
    EXPECT_EQ(reset.board.status, 0) << reset.board.err;
    EXPECT_TRUE(contains(reset.board.out, "UART0  \"Hello my first UART pro\\n\"")) << reset.board.out;
}

TEST(Lpc21isp, SaveFlashWithoutTheBootLoaderWritesTheImagesFlash)
{
    const ScratchDir dir;
    const std::string saved = dir.file("flash.bin");
    const CommandResult r = boardsim::testing::runCommand({BOARDSIM_EXE, FIRMWARE_ELF, "--run", "1k", "--quiet",
                                                           "--save-flash", saved});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<char> image = bytesOf(FIRMWARE_BIN);
    const std::vector<char> flashed = bytesOf(saved);
    ASSERT_EQ(flashed.size(), 256u * 1024);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flashed.begin()));
    EXPECT_EQ(flashed.back(), char(0xFF));
}

// A chip held in ISP mode waits for its host as long as it takes: the idle
// time counts only once a host has spoken. Interrupted before any did,
// nothing was done, and the run fails.
TEST(Lpc21isp, TheBootLoaderWaitsForItsHostHoweverLong)
{
    if (!haveLpc21isp()) {
        GTEST_SKIP() << "lpc21isp is not installed (scripts/bootstrap installs it)";
    }
    const ScratchDir dir;
    const std::string link = dir.file("ttyISP");
    {
        const auto sim = bootLoader(link, {"--isp-idle", "0.2s", "--run", "20ms"});
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
        ASSERT_FALSE(sim->exitStatus(0)) << "the boot loader gave up on a host that never came: " << sim->out();
        const CommandResult tool = boardsim::testing::runCommand(lpc21isp(link, {"-hex", FIRMWARE_HEX}));
        EXPECT_EQ(tool.status, 0) << tool.out;
        const CommandResult board = sim->wait(10);
        EXPECT_EQ(board.status, 0) << board.err;
        EXPECT_TRUE(contains(board.out, "UART0  \"Hello my first UART pro\\n\"")) << board.out;
    }
    const auto sim = bootLoader(link, {});
    sim->signal(SIGTERM);
    const CommandResult nobody = sim->wait(10);
    EXPECT_EQ(nobody.status, 1);
    EXPECT_TRUE(contains(nobody.err, "boardsim: --isp: interrupted (SIGTERM) before any host spoke to the boot loader"))
        << nobody.err;
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

// A pty has no modem lines for -control to reset the chip with: a new open
// of the link stands for that reset. A tool killed in the middle of a
// download leaves the boot loader half way through it; the next one finds
// it at its start.
TEST(Lpc21isp, AfterAToolKilledMidDownloadTheNextOneFlashes)
{
    if (!haveLpc21isp()) {
        GTEST_SKIP() << "lpc21isp is not installed (scripts/bootstrap installs it)";
    }
    const ScratchDir dir;
    // 96 KiB to download: long enough to be caught in the middle.
    const std::string big = dir.file("big.bin");
    {
        std::vector<char> bytes = bytesOf(FIRMWARE_BIN);
        bytes.resize(96 * 1024);
        for (size_t i = bytesOf(FIRMWARE_BIN).size(); i < bytes.size(); ++i) {
            bytes[i] = char(i * 131 + (i >> 8));
        }
        std::ofstream(big, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    }
    const std::string link = dir.file("ttyISP");
    const auto sim = bootLoader(link, {"--run", "20ms"});
    {
        Child killed(lpc21isp(link, {"-control", "-bin", big}));
        ASSERT_TRUE(boardsim::testing::waitFor([&] { return contains(killed.out(), "Sector 2: .."); }))
            << killed.out();
        killed.signal(SIGKILL);
        ASSERT_EQ(killed.wait(5).status, -1);
    }
    const CommandResult next =
        boardsim::testing::runCommand(lpc21isp(link, {"-control", "-try10", "-hex", FIRMWARE_HEX}));
    EXPECT_EQ(next.status, 0) << next.out;
    EXPECT_TRUE(contains(next.out, "Download Finished")) << next.out;
    const CommandResult board = sim->wait(10);
    EXPECT_EQ(board.status, 0) << board.err;
    EXPECT_TRUE(contains(board.out, "UART0  \"Hello my first UART pro\\n\"")) << board.out;
}

TEST(Lpc21isp, TwoRunsOneAfterAnotherOnOneBoard)
{
    if (!haveLpc21isp()) {
        GTEST_SKIP() << "lpc21isp is not installed (scripts/bootstrap installs it)";
    }
    const ScratchDir dir;
    const std::string link = dir.file("ttyISP");
    const auto sim = bootLoader(link, {"--run", "20ms"});
    const CommandResult first = boardsim::testing::runCommand(lpc21isp(link, {"-donotstart", "-hex", FIRMWARE_HEX}));
    EXPECT_EQ(first.status, 0) << first.out;
    const CommandResult second =
        boardsim::testing::runCommand(lpc21isp(link, {"-try10", "-bin", "-verify", FIRMWARE_BIN}));
    EXPECT_EQ(second.status, 0) << second.out;
    EXPECT_TRUE(contains(second.out, "Verified correct")) << second.out;
    const CommandResult board = sim->wait(10);
    EXPECT_EQ(board.status, 0) << board.err;
    EXPECT_TRUE(contains(board.out, "UART0  \"Hello my first UART pro\\n\"")) << board.out;
}

// After G the board runs on, paced to the wall clock, UART0 on the link
// (lpc21isp -term shows the greeting), until interrupted.
TEST(Lpc21isp, AfterGoTheBoardRunsOnPacedWithUart0OnTheLink)
{
    if (!haveLpc21isp()) {
        GTEST_SKIP() << "lpc21isp is not installed (scripts/bootstrap installs it)";
    }
    const ScratchDir dir;
    const std::string link = dir.file("ttyISP");
    const auto sim = bootLoader(link, {});
    Child terminal(lpc21isp(link, {"-term", "-hex", FIRMWARE_HEX}));
    ASSERT_TRUE(boardsim::testing::waitFor([&] { return contains(terminal.out(), "Hello my first UART pro\n"); }))
        << terminal.out();
    const auto greeted = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    ASSERT_FALSE(sim->exitStatus(0)) << "the board stopped after the greeting: " << sim->out();
    sim->signal(SIGTERM);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - greeted).count();
    const CommandResult board = sim->wait(10);
    EXPECT_EQ(board.status, 0) << board.err;
    std::smatch stop;
    ASSERT_TRUE(std::regex_search(board.out, stop, std::regex("([0-9.]+) ms  stop   interrupted \\(SIGTERM\\)")))
        << board.out;
    const double boardSeconds = std::stod(stop[1]) / 1e3;
    EXPECT_GT(boardSeconds, 0.5 * wall);
    EXPECT_LT(boardSeconds, 2 * wall + 0.5) << "not paced";
}

// The boot loader times flash programming from the crystal figure: one
// that cannot be the board's is warned of.
TEST(Lpc21isp, ACrystalFigureThatCannotBeRightIsWarnedOf)
{
    if (!haveLpc21isp()) {
        GTEST_SKIP() << "lpc21isp is not installed (scripts/bootstrap installs it)";
    }
    for (const char* crystal : {"0", "1", "99999"}) {
        const ScratchDir dir;
        const Flashing f = flash(dir, {"--run", "1ms"}, {"-hex", FIRMWARE_HEX}, crystal);
        EXPECT_EQ(f.tool.status, 0) << f.tool.out;
        EXPECT_EQ(f.board.status, 0) << f.board.err;
        EXPECT_TRUE(contains(f.board.err, std::string("the ISP host gave the crystal as ") + crystal +
                                              " kHz, but the board's runs at 11059.2 kHz"))
            << f.board.err;
    }
    const ScratchDir dir;
    const Flashing right = flash(dir, {"--run", "1ms"}, {"-hex", FIRMWARE_HEX}, "11059");
    EXPECT_FALSE(contains(right.board.err, "crystal")) << right.board.err;
}

// Whoever waits for boardsim's word that the boot loader is ready finds the
// link there.
TEST(Lpc21isp, TheLinkIsThereOnceBoardsimSaysItIsReady)
{
    const ScratchDir dir;
    const std::string link = dir.file("ttyISP");
    Child sim({BOARDSIM_EXE, "--isp", link});
    ASSERT_TRUE(boardsim::testing::waitFor([&] { return contains(sim.out(), "waiting for the host"); })) << sim.err();
    ASSERT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(std::filesystem::read_symlink(link).string().rfind("/dev/pts/", 0), 0u);
    EXPECT_TRUE(contains(sim.out(), "ISP    boot loader on " + link + " (" + std::filesystem::read_symlink(link).string()))
        << sim.out();
}

// The flashing manual's example as a reader runs it: boardsim in the background,
// lpc21isp once the boot loader is ready, the board's own lines in a log
// and lpc21isp's terminal showing only what the board sends on UART0.
TEST(Lpc21isp, TheManualsExampleWaitsForTheBoardAndKeepsItsLinesOutOfTheTerminal)
{
    if (!haveLpc21isp()) {
        GTEST_SKIP() << "lpc21isp is not installed (scripts/bootstrap installs it)";
    }
    const std::string manual = DOCS_DIR "/flashing.md";
    const std::vector<std::string> block = boardsim::testing::docsBlock(manual, "lpc21isp -control -term");
    ASSERT_FALSE(block.empty()) << "no lpc21isp example in " << manual;
    const boardsim::testing::DocsFolder dir(BOARDSIM_EXE, FIRMWARE_ELF, FIRMWARE_HEX);
    std::string script = "cd '" + dir.path().string() + "'\n";
    for (const std::string& line : block) {
        script += line + "\n";
    }
    Child reader({"bash", "-c", script}, true);
    ASSERT_TRUE(boardsim::testing::waitFor([&] { return contains(reader.out(), "Hello my first UART pro\n"); },
                                           std::chrono::milliseconds(30000)))
        << reader.out() << reader.err();
    const std::string terminal = reader.out() + reader.err();
    EXPECT_TRUE(contains(terminal, "Download Finished")) << terminal;
    for (const char* boards : {"ISP    ", "waiting for the host", "UART0  ", "boardsim:"}) {
        EXPECT_FALSE(contains(terminal, boards)) << "the board's line \"" << boards << "\" in lpc21isp's terminal:\n"
                                                 << terminal;
    }
    EXPECT_TRUE(contains(slurp(dir.file("build/isp.log")), "G: the code starts")) << slurp(dir.file("build/isp.log"));
    reader.signal(SIGTERM);
    reader.wait(10);
}
