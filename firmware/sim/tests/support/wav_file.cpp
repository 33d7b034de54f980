#include "support/wav_file.h"

#include <sndfile.h>

#include <stdexcept>

namespace boardsim::testing {

WavFile readWav(const std::string& path)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        throw std::runtime_error(path + ": " + sf_strerror(nullptr));
    }
    WavFile wav;
    wav.format = info.format;
    wav.rate = info.samplerate;
    wav.channels = info.channels;
    wav.samples.resize(size_t(info.frames) * size_t(info.channels));
    const sf_count_t read = sf_readf_float(file, wav.samples.data(), info.frames);
    sf_close(file);
    if (read != info.frames) {
        throw std::runtime_error(path + ": " + std::to_string(read) + " of " + std::to_string(info.frames) +
                                 " frames read");
    }
    return wav;
}

}  // namespace boardsim::testing
