// The signal generator as a user starts it, end to end: KEY_2, KEY_2 and
// KEY_3 from the start-up menu play option 5's table; the words on the wire
// (sigrok-cli's SPI decoder on the VCD, the DAC's chip select framing them)
// are the table's words in its order, and the DAC's output in the WAV holds
// their voltages at the generator's steady rate.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/image_words.h"
#include "support/logic_analyzer.h"
#include "support/wav_file.h"

using boardsim::testing::dacVolts;
using boardsim::testing::decodeVcd;
using boardsim::testing::imageHalfwords;
using boardsim::testing::readWav;
using boardsim::testing::ScratchDir;

namespace {

constexpr double kUpdateHz = 8192;  // the generator's default rate
const std::vector<std::string> kStartSignal = {"--press", "2@0.1s", "--press", "2@0.3s", "--press", "3@0.5s"};

int runFirmware(const std::string& run, std::vector<std::string> outputs)
{
    std::vector<std::string> args = {BOARDSIM_EXE, FIRMWARE_ELF, "--run", run, "--quiet"};
    args.insert(args.end(), kStartSignal.begin(), kStartSignal.end());
    args.insert(args.end(), outputs.begin(), outputs.end());
    return boardsim::testing::runCommand(args).status;
}

}  // namespace

TEST(SignalChain, TheWordsOnTheWireAreOption5sTableInItsOrder)
{
    REQUIRE_PROGRAM(sigrok, "sigrok-cli");
    const std::vector<uint16_t> table = imageHalfwords(FIRMWARE_ELF, "SignalOption5");
    ASSERT_EQ(table.size(), 4096u);
    const ScratchDir dir;
    const std::string vcd = dir.file("signal.vcd");
    ASSERT_EQ(runFirmware("0.75s", {"--vcd", vcd, "--vcd-pins", "DAC_SCLK,DAC_DIN,DAC_CS"}), 0);
    std::string error;
    const auto words = decodeVcd(sigrok, vcd, "spi:clk=P0_4:mosi=P0_6:cs=P0_23:cpol=0:cpha=1:wordsize=16",
                                 "mosi-data", {10, 20'000}, &error);
    // About 0.2 s of playing at 8192 words a second.
    ASSERT_GT(words.size(), 1000u) << error;
    for (size_t i = 0; i < words.size(); ++i) {
        ASSERT_EQ(std::stoul(words[i].text, nullptr, 16), table[i % table.size()]) << "word " << i;
    }
}

TEST(SignalChain, AfterItsFirstSecondTheOutputHoldsTheTablesVoltagesAtASteadyRate)
{
    const std::vector<double> volts = dacVolts(imageHalfwords(FIRMWARE_ELF, "SignalOption5"));
    ASSERT_EQ(volts.size(), 4096u);
    const ScratchDir dir;
    const std::string wav = dir.file("signal.wav");
    constexpr int kRate = 200'000;
    ASSERT_EQ(runFirmware("2.1s", {"--dac-out", wav, "--dac-rate", "200k"}), 0);
    const boardsim::testing::WavFile out = readWav(wav);
    ASSERT_EQ(out.channels, 2);
    ASSERT_EQ(out.rate, kRate);
    // Output B's first update: the table's first word, 0.5 V.
    size_t first = 0;
    while (first < out.frames() && out.at(first, 1) == 0.0f) {
        ++first;
    }
    ASSERT_LT(first, out.frames()) << "output B never moved";
    EXPECT_NEAR(double(first) / kRate, 0.52, 0.03) << "playing starts once KEY_3's press is taken";
    // From the second second of playing on, update i holds from its own
    // instant to the next one's: sampled half-way between them.
    const auto frameOf = [&](size_t update) {
        return first + size_t(std::lround((double(update) + 0.5) * kRate / kUpdateHz));
    };
    size_t checked = 0;
    double low = 10;
    double high = -10;
    for (size_t update = size_t(kUpdateHz); frameOf(update) < out.frames(); ++update) {
        const float held = out.at(frameOf(update), 1);
        ASSERT_EQ(held, float(volts[update % volts.size()])) << "update " << update;
        low = std::min(low, double(held));
        high = std::max(high, double(held));
        ++checked;
    }
    EXPECT_GT(checked, size_t(kUpdateHz / 2)) << "half a second of the second second at least";
    EXPECT_GE(low, 0.0);
    EXPECT_LE(high, 1.0);
    EXPECT_GT(high - low, 0.99) << "0 to 1 V";
    // Output A is never written.
    for (size_t k = 0; k < out.frames(); k += 97) {
        ASSERT_EQ(out.at(k, 0), 0.0f) << "frame " << k;
    }
}
