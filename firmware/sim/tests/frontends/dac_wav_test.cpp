// The DAC's outputs as a WAV file: frames at start + k / rate, each holding
// every output's voltage at that instant (settling included), read back by
// libsndfile as any audio tool would; the file only in place once finished,
// a failed write reported at the finish, an unfinished file leaving the
// target as it was.
#include <gtest/gtest.h>

#include <sndfile.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <vector>

#include "frontends/signal/output_sampler.h"
#include "frontends/signal/wav_writer.h"
#include "support/scratch_dir.h"
#include "support/wav_file.h"

using namespace boardsim;
using boardsim::testing::contains;
using boardsim::testing::readWav;
using boardsim::testing::ScratchDir;
using boardsim::testing::slurp;

TEST(OutputSampler, EachFrameHoldsEveryOutputAtItsInstantSettlingIncluded)
{
    std::vector<float> frames;
    OutputSampler sampler(1000, 0, {Tlv5618::Step{0, 0.5, 0.5, 0}, Tlv5618::Step{0, 0, 0, 0}},
                          [&](const float* f, size_t n) { frames.insert(frames.end(), f, f + 2 * n); });
    sampler.step(Tlv5618::kB, {0.003, 0, 1, 1e-3});    // B from 0 towards 1 V at 3 ms, tau 1 ms
    sampler.step(Tlv5618::kA, {0.0045, 0.5, 2, 0});     // A jumps to 2 V at 4.5 ms
    sampler.until(0.0065);
    ASSERT_EQ(frames.size(), 2u * 7) << "frames at 0 ... 6 ms, before the end at 6.5 ms";
    const auto a = [&](size_t k) { return frames[2 * k]; };
    const auto b = [&](size_t k) { return frames[2 * k + 1]; };
    EXPECT_FLOAT_EQ(b(2), 0);
    EXPECT_FLOAT_EQ(b(3), 0) << "at the step's instant the output is where it was";
    EXPECT_FLOAT_EQ(b(4), float(1 - std::exp(-1.0)));
    EXPECT_FLOAT_EQ(b(6), float(1 - std::exp(-3.0)));
    EXPECT_FLOAT_EQ(a(4), 0.5f);
    EXPECT_FLOAT_EQ(a(5), 2.0f);
    EXPECT_EQ(sampler.frames(), 7u);
}

TEST(WavWriter, ThirtyTwoBitFloatFramesReadBackByLibsndfileAndInPlaceOnlyWhenFinished)
{
    const ScratchDir dir;
    const std::string path = dir.file("out.wav");
    std::ofstream(path) << "last run's file\n";
    std::vector<float> frames;
    for (int k = 0; k < 5000; ++k) {
        frames.push_back(float(k) * 1e-4f);
        frames.push_back(-float(k));
    }
    {
        WavWriter wav(path, 250000, 2);
        wav.write(frames.data(), 3000);
        wav.write(frames.data() + 6000, 2000);
        EXPECT_EQ(slurp(path), "last run's file\n") << "nothing in place before the finish";
        wav.finish();
        EXPECT_EQ(wav.frames(), 5000u);
    }
    const boardsim::testing::WavFile back = readWav(path);
    EXPECT_EQ(back.format & SF_FORMAT_TYPEMASK, SF_FORMAT_WAVEX) << "WAVE_FORMAT_EXTENSIBLE, below 4 GiB no RF64";
    EXPECT_EQ(back.format & SF_FORMAT_SUBMASK, SF_FORMAT_FLOAT);
    EXPECT_EQ(back.rate, 250000);
    EXPECT_EQ(back.channels, 2);
    EXPECT_EQ(back.samples, frames);
    EXPECT_EQ(slurp(path).substr(0, 4), "RIFF");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()),
              1);
}

TEST(WavWriter, AFailedWriteIsReportedAtTheFinishAndAnUnfinishedFileLeavesTheTargetAlone)
{
    const std::vector<float> frames(2 * 100'000, 0.25f);
    {
        WavWriter full("/dev/full", 1'000'000, 2);
        full.write(frames.data(), 100'000);  // never throws
        EXPECT_THROW(full.finish(), OutputError);
    }
    const ScratchDir dir;
    const std::string path = dir.file("out.wav");
    std::ofstream(path) << "last run's file\n";
    {
        WavWriter wav(path, 1000, 2);
        wav.write(frames.data(), 10);
    }
    EXPECT_EQ(slurp(path), "last run's file\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()),
              1);
    std::filesystem::create_directories(dir.file("d"));
    try {
        const WavWriter folder(dir.file("d"), 1000, 2);
        FAIL() << "a folder taken as a WAV file";
    } catch (const OutputError& e) {
        EXPECT_TRUE(contains(e.what(), "is a directory")) << e.what();
    }
}
