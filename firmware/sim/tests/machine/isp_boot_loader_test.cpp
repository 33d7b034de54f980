// The boot loader's protocol, as the user manual's ISP chapter gives it:
// synchronisation, echo, return codes, and the rules of the flash.
#include <gtest/gtest.h>

#include <numeric>

#include "machine/isp_boot_loader.h"

using namespace boardsim;

namespace {

class Isp : public ::testing::Test {
protected:
    Isp() : loader(std::vector<uint8_t>(256 * 1024, 0xFF))
    {
        EXPECT_EQ(loader.receive("?"), "Synchronized\r\n");
        EXPECT_EQ(loader.receive("Synchronized\r\n"), "Synchronized\r\nOK\r\n");  // echoed, then OK
        EXPECT_EQ(loader.receive("11059\r\n"), "11059\r\nOK\r\n");
    }

    // Sends a command; returns the reply without the echo.
    std::string send(const std::string& command)
    {
        const std::string out = loader.receive(command + "\r\n");
        const std::string echo = command + "\r\n";
        EXPECT_EQ(out.substr(0, echo.size()), echo) << command;
        return out.substr(std::min(echo.size(), out.size()));
    }

    // W then the data in uuencoded lines, a checksum after every 20.
    std::string download(uint32_t address, const std::vector<uint8_t>& data, bool breakChecksum = false)
    {
        std::string replies = send("W " + std::to_string(address) + " " + std::to_string(data.size()));
        size_t at = 0;
        while (at < data.size()) {
            uint32_t sum = 0;
            for (int line = 0; line < 20 && at < data.size(); ++line) {
                const size_t n = std::min<size_t>(45, data.size() - at);
                replies += send(uuencodeLine(&data[at], n));
                sum = std::accumulate(data.begin() + long(at), data.begin() + long(at + n), sum);
                at += n;
            }
            replies += send(std::to_string(breakChecksum ? sum + 1 : sum));
            if (breakChecksum) {
                return replies;
            }
        }
        return replies;
    }

    IspBootLoader loader;
};

}  // namespace

TEST(IspSync, OnlyTheQuestionMarkStartsItAndTheCrystalIsEchoed)
{
    IspBootLoader loader({});
    EXPECT_EQ(loader.receive("hello\r\n"), "");  // before synchronising, nothing is answered
    EXPECT_EQ(loader.receive("?"), "Synchronized\r\n");
    EXPECT_EQ(loader.receive("Synchronized\r\n"), "Synchronized\r\nOK\r\n");
    EXPECT_EQ(loader.receive("14746\r\n"), "14746\r\nOK\r\n");
    EXPECT_EQ(loader.crystalKhz(), 14746u);  // taken as given
}

TEST_F(Isp, IdentityAndUnlocking)
{
    EXPECT_EQ(send("J"), "0\r\n84016915\r\n");  // LPC2294
    EXPECT_EQ(send("K").substr(0, 3), "0\r\n");
    EXPECT_EQ(send("E 0 0"), "15\r\n");        // CMD_LOCKED
    EXPECT_EQ(send("G 0 A"), "15\r\n");
    EXPECT_EQ(send("U 12345"), "16\r\n");      // INVALID_CODE
    EXPECT_EQ(send("U 23130"), "0\r\n");
    EXPECT_EQ(send("X"), "1\r\n");             // INVALID_COMMAND
    EXPECT_EQ(send("P 0 x"), "12\r\n");        // PARAM_ERROR
    EXPECT_EQ(send("A 0"), "0\r\n");
    EXPECT_EQ(loader.receive("J\r\n"), "0\r\n84016915\r\n");  // no echo any more
}

TEST_F(Isp, FlashIsWrittenOnlyIntoPreparedErasedUserSectors)
{
    ASSERT_EQ(send("U 23130"), "0\r\n");
    std::vector<uint8_t> data(256);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = uint8_t(i * 7);
    }
    EXPECT_EQ(download(0x40000200, data), "0\r\nOK\r\n");
    EXPECT_EQ(send("C 0 1073742336 256"), "9\r\n");          // not prepared
    EXPECT_EQ(send("P 0 0"), "0\r\n");
    EXPECT_EQ(send("C 4 1073742336 256"), "3\r\n");          // DST_ADDR_ERROR: not on 256 bytes
    EXPECT_EQ(send("C 0 1073742336 300"), "6\r\n");          // COUNT_ERROR
    EXPECT_EQ(send("C 0 1073742336 256"), "0\r\n");
    EXPECT_TRUE(std::equal(data.begin(), data.end(), loader.flash().begin()));
    EXPECT_EQ(send("C 0 1073742336 256"), "9\r\n");          // each copy wants its own prepare
    EXPECT_EQ(send("M 0 1073742336 256"), "0\r\n");
    EXPECT_EQ(send("M 0 1073742340 8"), "10\r\n0\r\n");      // COMPARE_ERROR at offset 0
    EXPECT_EQ(send("I 0 0"), "8\r\n0\r\n0\r\n");              // SECTOR_NOT_BLANK, offset, contents

    EXPECT_EQ(send("P 17 17"), "7\r\n");                     // INVALID_SECTOR: 17 user sectors only
    EXPECT_EQ(send("P 16 16"), "0\r\n");
    EXPECT_EQ(send("C 253952 1073742336 8192"), "5\r\n");    // into the boot block
    EXPECT_EQ(send("P 0 0"), "0\r\n");
    EXPECT_EQ(send("E 0 0"), "0\r\n");
    EXPECT_EQ(send("I 0 0"), "0\r\n");
    EXPECT_EQ(loader.flash()[0], 0xFF);
}

TEST_F(Isp, ADownloadBlockWithAWrongSumIsSentAgain)
{
    std::vector<uint8_t> data(1000, 0x5A);  // 20 lines and a bit: two blocks
    const std::string bad = download(0x40000200, data, true);
    EXPECT_EQ(bad.substr(bad.size() - 8), "RESEND\r\n");
    EXPECT_EQ(loader.ram()[0x200], 0x00);  // nothing kept
    // The host sends the block again, right this time, and the rest.
    size_t at = 0;
    std::string replies;
    for (int block = 0; block < 2; ++block) {
        uint32_t sum = 0;
        for (int line = 0; line < 20 && at < data.size(); ++line) {
            const size_t n = std::min<size_t>(45, data.size() - at);
            replies += send(uuencodeLine(&data[at], n));
            sum += uint32_t(n) * 0x5A;
            at += n;
        }
        replies += send(std::to_string(sum));
    }
    EXPECT_EQ(replies, "OK\r\nOK\r\n");
    EXPECT_EQ(loader.ram()[0x200 + 999], 0x5A);
    EXPECT_EQ(send("W 1073742336 6"), "6\r\n");     // COUNT_ERROR
    EXPECT_EQ(send("W 1073742338 4"), "13\r\n");    // ADDR_ERROR
    EXPECT_EQ(send("W 1073742112 4"), "14\r\n");    // the boot loader's own RAM
}

TEST_F(Isp, ReadSendsUuencodedBlocksWithTheirSums)
{
    const std::string out = send("R 0 8");
    // Blank flash: eight 0xFF bytes in one line, then their sum.
    const uint8_t ff[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(out, "0\r\n" + uuencodeLine(ff, 8) + "\r\n2040\r\n");
    EXPECT_EQ(send("OK"), "");
    EXPECT_EQ(send("J"), "0\r\n84016915\r\n");  // back to commands
}

TEST_F(Isp, GoStartsTheCodeAndEndsTheSession)
{
    ASSERT_EQ(send("U 23130"), "0\r\n");
    EXPECT_EQ(send("G 2 A"), "13\r\n");   // ARM code on a word boundary
    EXPECT_EQ(send("G 0 Q"), "12\r\n");
    EXPECT_EQ(send("G 228 A"), "0\r\n");
    EXPECT_TRUE(loader.started());
    EXPECT_EQ(loader.startAddress(), 228u);
    EXPECT_FALSE(loader.startThumb());
    EXPECT_EQ(loader.receive("J\r\n"), "");  // the boot loader is gone
}

// A host that starts over finds the boot loader at its start, the flash as
// programmed: a '?' where a command would be, a new open of the line
// (restart()), or a '?' once the host has abandoned a transfer.
TEST_F(Isp, AHostStartingOverFindsTheBootLoaderAtItsStart)
{
    ASSERT_EQ(send("U 23130"), "0\r\n");
    EXPECT_EQ(download(0x40000200, std::vector<uint8_t>(256, 0x12)), "0\r\nOK\r\n");
    ASSERT_EQ(send("P 0 0"), "0\r\n");
    ASSERT_EQ(send("C 0 1073742336 256"), "0\r\n");
    EXPECT_EQ(loader.receive("?"), "Synchronized\r\n");
    EXPECT_EQ(loader.receive("Synchronized\r\n"), "Synchronized\r\nOK\r\n");
    EXPECT_EQ(loader.receive("12000\r\n"), "12000\r\nOK\r\n");
    EXPECT_EQ(send("E 0 0"), "15\r\n");  // locked again, as after a reset
    EXPECT_EQ(loader.flash()[0], 0x12);    // what was programmed stays

    // A transfer cut off: the host went quiet in the middle of the data.
    ASSERT_EQ(send("W 1073742336 512"), "0\r\n");
    const std::vector<uint8_t> data(45, 0x34);
    loader.receive(uuencodeLine(data.data(), 22));  // half a line
    loader.lineQuiet();
    EXPECT_EQ(loader.receive("?"), "Synchronized\r\n");
    EXPECT_EQ(loader.receive("Synchronized\r\n"), "Synchronized\r\nOK\r\n");

    // A host gone quiet half way through the synchronisation: until then
    // its repeated '?' is only echoed.
    EXPECT_EQ(loader.receive("11059\r\n?"), "11059\r\nOK\r\nSynchronized\r\n");
    EXPECT_EQ(loader.receive("?"), "?");
    loader.lineQuiet();
    EXPECT_EQ(loader.receive("?"), "Synchronized\r\n");
    EXPECT_EQ(loader.receive("Synchronized\r\n"), "Synchronized\r\nOK\r\n");

    // A new open of the line, in the middle of anything.
    EXPECT_EQ(loader.receive("11059\r\nJ"), "11059\r\nOK\r\nJ");
    loader.restart();
    EXPECT_EQ(loader.receive("\r\n"), "");  // not synchronised: nothing is answered
    EXPECT_EQ(loader.receive("?"), "Synchronized\r\n");
}

// In a transfer that goes on, '?' is data: a uuencoded line of 31 bytes
// begins with it.
TEST_F(Isp, AQuestionMarkInATransferIsData)
{
    std::vector<uint8_t> data(32);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = uint8_t(0x7C + i % 4);  // 0x7C..0x7F first: the second character is a ? too
    }
    const std::string line = uuencodeLine(data.data(), 31);
    ASSERT_EQ(line.substr(0, 2), "??");
    ASSERT_EQ(send("W 1073742336 32"), "0\r\n");
    EXPECT_EQ(send(line), "");
    EXPECT_EQ(send(uuencodeLine(&data[31], 1)), "");
    EXPECT_EQ(send(std::to_string(std::accumulate(data.begin(), data.end(), 0u))), "OK\r\n");
    EXPECT_EQ(loader.ram()[0x200], 0x7C);
}

TEST(Uuencode, LinesRoundTripAndMalformedOnesAreRefused)
{
    std::vector<uint8_t> bytes(45);
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = uint8_t(255 - i * 5);
    }
    const std::string line = uuencodeLine(bytes.data(), bytes.size());
    EXPECT_EQ(line.size(), 61u);  // 'M' and 60 characters
    EXPECT_EQ(line[0], 'M');
    std::vector<uint8_t> back;
    ASSERT_TRUE(uudecodeLine(line, back));
    EXPECT_EQ(back, bytes);
    EXPECT_FALSE(uudecodeLine("M", back));        // promises 45 bytes, holds none
    EXPECT_FALSE(uudecodeLine("", back));
    EXPECT_FALSE(uudecodeLine("$\x7f\x7f\x7f\x7f", back));  // not six-bit characters
}
