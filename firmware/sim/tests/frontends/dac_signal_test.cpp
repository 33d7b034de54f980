// The signal chain end to end, on a kit image that plays a table through
// SPI0 into the board's TLV5618 from Timer1's vectored interrupt: the words
// on the wire as sigrok-cli's SPI decoder reads them from the VCD, the
// voltages in the WAV file, the report's figures against those the shared
// spectral code gives the table itself, the outputs as GTKWave reads them,
// the scenario steps, and a DAC fault.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <regex>
#include <string>
#include <vector>

#include "frontends/scenario/scenario_parse.h"
#include "machine/tlv5618.h"
#include "shared/spectrum.h"
#include "support/child_process.h"
#include "support/image_words.h"
#include "support/logic_analyzer.h"
#include "support/scenario_text.h"
#include "support/wav_file.h"

using namespace boardsim;
using boardsim::testing::CommandResult;
using boardsim::testing::contains;
using boardsim::testing::decodeVcd;
using boardsim::testing::readWav;
using boardsim::testing::ScratchDir;
using boardsim::testing::slurp;

namespace {

const std::string kKit = PROBE_DIR "/kit_dac_play_arm.elf";
constexpr double kUpdateHz = 11059200.0 / 384;  // pclk / (T1MR0 + 1)

CommandResult runBoardsim(std::vector<std::string> args)
{
    args.insert(args.begin(), BOARDSIM_EXE);
    return boardsim::testing::runCommand(args);
}

// The words the kit plays, as its image holds them (dac_table, in flash).
std::vector<uint16_t> kitTable()
{
    return boardsim::testing::imageHalfwords(kKit, "dac_table");
}

std::vector<double> voltsOf(const std::vector<uint16_t>& words)
{
    return boardsim::testing::dacVolts(words);
}

// A figure of the report's JSON object for DAC output B.
double outputB(const std::string& json, const std::string& name)
{
    std::smatch object;
    if (!std::regex_search(json, object, std::regex("\"B\": \\{[^}]*\\}"))) {
        return NAN;
    }
    const std::string text = object.str();
    std::smatch value;
    if (!std::regex_search(text, value, std::regex("\"" + name + "\": ([-+0-9.e]+)"))) {
        return NAN;
    }
    return std::stod(value[1]);
}

}  // namespace

TEST(DacSignal, SigrokDecodesTheTablesWordsFromTheSpiLinesInTheVcd)
{
    REQUIRE_PROGRAM(sigrok, "sigrok-cli");
    const std::vector<uint16_t> table = kitTable();
    ASSERT_EQ(table.size(), 64u);
    const ScratchDir dir;
    const std::string vcd = dir.file("dac.vcd");
    ASSERT_EQ(runBoardsim({kKit, "--run", "10ms", "--vcd", vcd, "--vcd-pins", "P0_4,P0_6,P0_23", "--quiet"}).status,
              0);
    std::string error;
    const auto words = decodeVcd(sigrok, vcd, "spi:clk=P0_4:mosi=P0_6:cs=P0_23:cpol=0:cpha=1:wordsize=16",
                                 "mosi-data", {10, 0}, &error);
    ASSERT_GT(words.size(), 250u) << error;  // 28.8 kHz for the 9.5 ms after the greeting
    for (size_t i = 0; i < words.size(); ++i) {
        ASSERT_EQ(std::stoul(words[i].text, nullptr, 16), table[i % table.size()]) << "word " << i;
    }
}

TEST(DacSignal, TheWavHoldsTheTablesVoltagesOnOutputBAndNothingOnA)
{
    const std::vector<double> volts = voltsOf(kitTable());
    ASSERT_EQ(volts.size(), 64u);
    const ScratchDir dir;
    const std::string wav = dir.file("dac.wav");
    ASSERT_EQ(runBoardsim({kKit, "--run", "10ms", "--dac-out", wav, "--dac-rate", "500k", "--quiet"}).status, 0);
    const boardsim::testing::WavFile out = readWav(wav);
    EXPECT_EQ(out.rate, 500'000);
    ASSERT_EQ(out.channels, 2);
    EXPECT_NEAR(double(out.frames()), 5000, 2) << "10 ms at 500k frames a second";
    // Output B, from its first update on, once settled between updates
    // (runs of equal frames), takes the table's voltages in its order;
    // output A is never written.
    std::vector<float> settled;
    size_t run = 0;
    bool playing = false;
    for (size_t k = 1; k < out.frames(); ++k) {
        EXPECT_EQ(out.at(k, 0), 0.0f);
        playing = playing || out.at(k, 1) != 0.0f;
        run = out.at(k, 1) == out.at(k - 1, 1) ? run + 1 : 0;
        if (run == 4 && playing) {
            settled.push_back(out.at(k, 1));
        }
    }
    ASSERT_GT(settled.size(), 250u);
    for (size_t i = 0; i < settled.size(); ++i) {
        ASSERT_EQ(settled[i], float(volts[i % volts.size()])) << "update " << i << ": code x 2.98 / 4096";
    }
}

TEST(DacSignal, TheReportMeasuresTheTablesSineAsTheSharedSpectralCodeMeasuresTheTable)
{
    const std::vector<double> volts = voltsOf(kitTable());
    ASSERT_EQ(volts.size(), 64u);
    const CommandResult report = runBoardsim({kKit, "--report", "--json", "--run", "60ms"});
    ASSERT_EQ(report.status, 0) << report.err;
    const std::string& json = report.out;
    EXPECT_NEAR(outputB(json, "update_hz"), kUpdateHz, 0.01) << json;
    EXPECT_LT(outputB(json, "update_jitter_pp_us"), 0.05) << "the core sleeps between updates: no jitter";
    EXPECT_NEAR(outputB(json, "frequency_hz"), kUpdateHz / 64, 1e-3);
    EXPECT_EQ(outputB(json, "period_updates"), 64);
    EXPECT_GE(outputB(json, "periods"), 20);
    EXPECT_DOUBLE_EQ(outputB(json, "min_v"), *std::min_element(volts.begin(), volts.end()));
    EXPECT_NEAR(outputB(json, "max_v"), *std::max_element(volts.begin(), volts.end()), 1e-9);
    // The table played ideally gives romtable's figures; what settling
    // leaves of each update (tau = 0.28 us of 34.7 us) moves them a little.
    const SpectralFigures table = measure_period(volts, 1.49);
    EXPECT_NEAR(outputB(json, "sfdr_dbc"), table.sfdr_dbc, 0.1);
    EXPECT_NEAR(outputB(json, "thd_db"), table.thd_db, 0.1);
    EXPECT_NEAR(outputB(json, "sinad_db"), table.sinad_db, 0.2);
    EXPECT_TRUE(contains(json, "\"dac_outputs\": {\"B\": {")) << "output A was never set: not reported";

    const CommandResult text = runBoardsim({kKit, "--report", "--run", "20ms"});
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_TRUE(contains(text.out, "DAC (TLV5618) output B: ")) << text.out;
    EXPECT_TRUE(contains(text.out, "Hz: 64 updates a period")) << text.out;
}

TEST(DacSignal, GtkwaveConvertsTheOutputsAsRealVariablesWithEveryValue)
{
    REQUIRE_PROGRAM(vcd2fst, "vcd2fst");
    REQUIRE_PROGRAM(fst2vcd, "fst2vcd");
    const ScratchDir dir;
    const std::string vcd = dir.file("dac.vcd");
    ASSERT_EQ(runBoardsim({kKit, "--run", "5ms", "--vcd", vcd, "--quiet"}).status, 0);
    const CommandResult converted = boardsim::testing::runCommand({vcd2fst, "-v", vcd, "-f", dir.file("dac.fst")});
    ASSERT_EQ(converted.status, 0) << converted.err;
    const CommandResult back = boardsim::testing::runCommand({fst2vcd, dir.file("dac.fst")});
    ASSERT_EQ(back.status, 0) << back.err;
    const std::regex real("\\$var real 64 \\S+ DAC_([AB]) \\$end");
    EXPECT_EQ(std::distance(std::sregex_iterator(back.out.begin(), back.out.end(), real), std::sregex_iterator()), 2);
    const std::regex value("\nr([-0-9.e]+) ");
    const auto values = [&](const std::string& text) {
        std::vector<double> found;
        for (auto at = std::sregex_iterator(text.begin(), text.end(), value); at != std::sregex_iterator(); ++at) {
            found.push_back(std::stod((*at)[1]));
        }
        return found;
    };
    const std::vector<double> original = values(slurp(vcd));
    ASSERT_GT(original.size(), 100u);
    const std::vector<double> read = values(back.out);
    ASSERT_EQ(read.size(), original.size());
    for (size_t i = 0; i < read.size(); ++i) {
        ASSERT_NEAR(read[i], original[i], 1e-6) << "value " << i;
    }
    // Every code the table plays is a settled value in the trace.
    for (const double v : voltsOf(kitTable())) {
        EXPECT_NE(std::find_if(original.begin(), original.end(), [v](double x) { return std::fabs(x - v) < 1e-8; }),
                  original.end())
            << v;
    }
}

TEST(DacSignal, ScenarioStepsExpectTheSignalAndSaveIt)
{
    const ElfImage image = ElfImage::fromFile(kKit);
    const ScratchDir dir;
    const auto passing = boardsim::testing::runScenarioText(image, dir, R"(
timeout: 1s
steps:
  - wait-serial: "dac\n"
  - expect-signal: {output: B, hz: 450, tolerance: 0.1%, min: 0, max: 1, sfdr: 70}
  - save-signal: {file: last.wav, last: 5ms, rate: 200k}
  - save-signal: all.wav
)");
    EXPECT_TRUE(passing.outcome.passed) << passing.printed;
    EXPECT_TRUE(contains(passing.printed, "450 Hz, 0.000 V to 1.000 V, SFDR 73.")) << passing.printed;
    const boardsim::testing::WavFile last = readWav(dir.file("last.wav"));
    EXPECT_EQ(last.rate, 200'000);
    EXPECT_EQ(last.frames(), 1000u);
    const boardsim::testing::WavFile all = readWav(dir.file("all.wav"));
    EXPECT_NEAR(double(all.frames()) / all.rate, 0.504e-3 + 4 / 450.0, 1e-4) << "from reset to the step";

    const struct {
        const char* step;
        const char* says;
    } failing[] = {
        {"{output: B, hz: 500}", "DAC output B over 8ms: 450 Hz, expected 500 Hz within 1%"},
        {"{output: B, hz: 450, sfdr: 80}", "below the 80 dBc expected at least"},
        {"{output: B, hz: 450, max: 0.9}", "up to 0.9996 V, above the 0.9 V expected at most"},
        {"{output: A, hz: 450}", "no word set DAC output A"},
    };
    for (const auto& f : failing) {
        const auto run = boardsim::testing::runScenarioText(
            image, dir, std::string("steps:\n  - expect-signal: ") + f.step + "\n");
        EXPECT_FALSE(run.outcome.passed) << f.step;
        EXPECT_TRUE(contains(run.outcome.failure, f.says)) << f.step << ": " << run.outcome.failure;
    }
    for (const char* bad : {"{output: C, hz: 450}", "{output: B, hz: 450, over: 1ms}", "{output: B}",
                            "{output: B, hz: 450, min: 1, max: 0.5}", "{output: B, hz: 450, max: 3.5}"}) {
        EXPECT_THROW(boardsim::testing::runScenarioText(image, dir, std::string("steps:\n  - expect-signal: ") + bad),
                     ScenarioError)
            << bad;
    }
}

TEST(DacSignal, AWordInTheLcdsSpiModeIsTheDacsFaultAndEndsTheRun)
{
    const CommandResult r = runBoardsim({PROBE_DIR "/kit_dac_play_cpha0_arm.elf", "--run", "10ms", "--quiet"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "DAC (TLV5618): DIN changed 0 ns after a falling edge of SCLK")) << r.err;
}
