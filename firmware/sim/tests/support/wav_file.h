// A WAV file read back as an audio tool would read it (libsndfile): its
// format, rate, channels and every sample.
#pragma once

#include <string>
#include <vector>

namespace boardsim::testing {

struct WavFile {
    int format = 0;  // libsndfile's SF_FORMAT_* (container | encoding)
    int rate = 0;
    int channels = 0;
    std::vector<float> samples;  // interleaved
    size_t frames() const { return channels > 0 ? samples.size() / size_t(channels) : 0; }
    float at(size_t frame, int channel) const { return samples.at(frame * size_t(channels) + size_t(channel)); }
};

// Throws std::runtime_error with libsndfile's reason when it cannot be read.
WavFile readWav(const std::string& path);

}  // namespace boardsim::testing
