#include "frontends/signal/wav_writer.h"

#include <sndfile.h>

#include <algorithm>
#include <string_view>

namespace boardsim {

// libsndfile writes the header, the samples, and at the end the header's
// sizes again, through these; a failure is kept and reported as a short
// write, which libsndfile passes on.
struct WavIo {
    static WavWriter& of(void* user) { return *static_cast<WavWriter*>(user); }

    static sf_count_t length(void* user) { return sf_count_t(of(user).length_); }

    static sf_count_t seek(sf_count_t offset, int whence, void* user)
    {
        WavWriter& w = of(user);
        sf_count_t at = offset;
        if (whence == SEEK_CUR) {
            at += sf_count_t(w.position_);
        } else if (whence == SEEK_END) {
            at += sf_count_t(w.length_);
        }
        if (at < 0 || !w.error_.empty()) {
            return -1;
        }
        try {
            w.file_.seek(uint64_t(at));
        } catch (const OutputError& e) {
            w.error_ = e.what();
            return -1;
        }
        w.position_ = uint64_t(at);
        return at;
    }

    static sf_count_t read(void* /*ptr*/, sf_count_t /*count*/, void* /*user*/) { return 0; }

    static sf_count_t write(const void* ptr, sf_count_t count, void* user)
    {
        WavWriter& w = of(user);
        if (!w.error_.empty() || count < 0) {
            return 0;
        }
        try {
            w.file_.write(std::string_view(static_cast<const char*>(ptr), size_t(count)));
        } catch (const OutputError& e) {
            w.error_ = e.what();
            return 0;
        }
        w.position_ += uint64_t(count);
        w.length_ = std::max(w.length_, w.position_);
        return count;
    }

    static sf_count_t tell(void* user) { return sf_count_t(of(user).position_); }
};

WavWriter::WavWriter(const std::string& path, unsigned rate, unsigned channels) : file_(path)
{
    static SF_VIRTUAL_IO io = {WavIo::length, WavIo::seek, WavIo::read, WavIo::write, WavIo::tell};
    SF_INFO info{};
    info.samplerate = int(rate);
    info.channels = int(channels);
    info.format = SF_FORMAT_RF64 | SF_FORMAT_FLOAT;
    sound_ = sf_open_virtual(&io, SFM_WRITE, &info, this);
    if (sound_ == nullptr) {
        const std::string why = error_.empty() ? sf_strerror(nullptr) : error_;
        file_.abandon();
        throw OutputError(error_.empty() ? "cannot write " + path + ": " + why : why);
    }
    // Plain WAV while it fits; RF64 only when the file grows past 4 GiB.
    sf_command(sound_, SFC_RF64_AUTO_DOWNGRADE, nullptr, SF_TRUE);
}

WavWriter::~WavWriter()
{
    abandon();
}

void WavWriter::close()
{
    if (sound_ != nullptr) {
        const int status = sf_close(sound_);
        sound_ = nullptr;
        if (status != 0 && error_.empty()) {
            error_ = "cannot write " + file_.target() + ": " + sf_error_number(status);
        }
    }
}

void WavWriter::write(const float* frames, size_t count)
{
    if (sound_ == nullptr || failed() || count == 0) {
        return;
    }
    const sf_count_t written = sf_writef_float(sound_, frames, sf_count_t(count));
    if (written != sf_count_t(count) && error_.empty()) {
        error_ = "cannot write " + file_.target() + ": " + sf_strerror(sound_);
    }
    frames_ += uint64_t(written > 0 ? written : 0);
}

void WavWriter::finish()
{
    close();
    if (failed()) {
        file_.abandon();
        throw OutputError(error_);
    }
    file_.commit();
}

void WavWriter::abandon()
{
    close();
    file_.abandon();
}

}  // namespace boardsim
