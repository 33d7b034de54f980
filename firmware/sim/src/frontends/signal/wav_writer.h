// A WAV file of 32-bit float samples, written as it grows, by the output-file
// rule (output_file.h): libsndfile lays the format out onto the temporary
// file through its virtual I/O, and only finish() puts the file in place.
// It is a RIFF WAVE file (IEEE float samples, WAVE_FORMAT_EXTENSIBLE) while
// it fits in 4 GiB, and RF64 beyond that, which is what readers of long
// recordings expect.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "frontends/common/output_file.h"

struct sf_private_tag;  // libsndfile's SNDFILE

namespace boardsim {

class WavWriter {
public:
    // Makes the temporary file; throws OutputError.
    WavWriter(const std::string& path, unsigned rate, unsigned channels);
    // Unfinished, the file is given up and the target left as it was.
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // `count` frames of one sample per channel, interleaved. Never throws:
    // a write that fails is kept for finish(), and the rest is dropped.
    void write(const float* frames, size_t count);
    // The header completed, the file in place; throws OutputError, also for
    // a write that failed on the way.
    void finish();
    void abandon();

    bool failed() const { return !error_.empty(); }
    const std::string& error() const { return error_; }
    uint64_t frames() const { return frames_; }
    const std::string& target() const { return file_.target(); }

private:
    // libsndfile's virtual I/O, onto the file being written.
    friend struct WavIo;
    void close();

    OutputFile file_;
    sf_private_tag* sound_ = nullptr;
    uint64_t position_ = 0;
    uint64_t length_ = 0;
    uint64_t frames_ = 0;
    std::string error_;
};

}  // namespace boardsim
