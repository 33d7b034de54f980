// The real lpc21isp programs the simulated board over a pseudo-terminal, as
// it would a board on /dev/ttyUSB0 with P0.14 held low at reset.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "support/child_process.h"

using boardsim::testing::Child;
using boardsim::testing::CommandResult;
using boardsim::testing::ScratchDir;

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

// boardsim waits in its boot loader on LINK; lpc21isp is run against it.
Flashing flash(const ScratchDir& dir, const std::vector<std::string>& boardArgs,
               const std::vector<std::string>& toolArgs)
{
    const std::string link = dir.file("ttyISP");
    std::vector<std::string> board = {BOARDSIM_EXE, "--isp", link};
    board.insert(board.end(), boardArgs.begin(), boardArgs.end());
    Child sim(board);
    Flashing result;
    if (!boardsim::testing::waitForPath(link, 10)) {
        result.board = sim.wait(1);
        return result;
    }
    std::vector<std::string> tool = {"lpc21isp"};
    tool.insert(tool.end(), toolArgs.begin(), toolArgs.end());
    tool.insert(tool.end(), {link, "115200", "11059"});
    Child isp(tool);
    result.tool = isp.wait(60);
    result.board = sim.wait(30);
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
