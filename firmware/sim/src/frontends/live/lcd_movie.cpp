#include "frontends/live/lcd_movie.h"

#include <algorithm>
#include <cmath>

#include "machine/board.h"
#include "core/board_error.h"
#include "frontends/common/lcd_picture.h"

#ifdef BOARDSIM_HAVE_GIF
#include <gif_lib.h>

#include "frontends/common/output_file.h"
#endif

namespace boardsim {

void LcdMovie::add(double seconds, const std::vector<uint8_t>& frame)
{
    if (frames_.empty() || frames_.back().pixels != frame) {
        frames_.push_back({seconds, frame});
    }
}

#ifdef BOARDSIM_HAVE_GIF

bool lcdMovieSupported() { return true; }

namespace {

// GIF delays are in hundredths of a second, at most 65535.
int centiseconds(double seconds)
{
    return int(std::clamp(std::lround(seconds * 100), 1L, 65535L));
}

std::string gifError(int code)
{
    const char* text = GifErrorString(code);
    return text != nullptr ? text : "GIF error " + std::to_string(code);
}

extern "C" int appendGif(GifFileType* gif, const GifByteType* data, int length)
{
    static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(data), size_t(length));
    return length;
}

// The movie is made in memory and written as a whole, by the rule every
// output file follows; the encoder is closed also when a step fails.
class GifBuilder {
public:
    explicit GifBuilder(const std::string& path) : path_(path)
    {
        int error = 0;
        gif_ = EGifOpen(&bytes_, appendGif, &error);
        if (gif_ == nullptr) {
            throw BoardError("cannot write " + path + ": " + gifError(error));
        }
        EGifSetGifVersion(gif_, true);  // GIF89a: delays and looping
    }
    ~GifBuilder()
    {
        if (gif_ != nullptr) {
            EGifCloseFile(gif_, nullptr);
        }
    }
    GifBuilder(const GifBuilder&) = delete;
    GifBuilder& operator=(const GifBuilder&) = delete;

    GifFileType* get() const { return gif_; }
    void check(int result) const
    {
        if (result != GIF_OK) {
            throw BoardError("cannot write " + path_ + ": " + gifError(gif_->Error));
        }
    }
    // The whole file.
    const std::string& close()
    {
        int error = 0;
        GifFileType* gif = gif_;
        gif_ = nullptr;
        if (EGifCloseFile(gif, &error) != GIF_OK) {
            throw BoardError("cannot write " + path_ + ": " + gifError(error));
        }
        return bytes_;
    }

private:
    std::string path_;
    std::string bytes_;
    GifFileType* gif_ = nullptr;
};

}  // namespace

void LcdMovie::write(const std::string& path, double end, unsigned scale) const
{
    if (frames_.empty()) {
        throw BoardError(path + " not written: the LCD was never seen");
    }
    const int width = int(kLcdWidth * scale);
    const int height = int(kLcdHeight * scale);
    // The panel's grey-green glass and its dark pixels, as lcd_picture draws them.
    GifColorType colours[2] = {{0xB4, 0xC8, 0x9A}, {0x1E, 0x28, 0x1E}};
    ColorMapObject* map = GifMakeMapObject(2, colours);
    if (map == nullptr) {
        throw BoardError("cannot write " + path + ": out of memory");
    }
    GifBuilder gif(path);
    const int described = EGifPutScreenDesc(gif.get(), width, height, 1, 0, map);
    GifFreeMapObject(map);
    gif.check(described);

    // The NETSCAPE2.0 block: loop for ever.
    const unsigned char loop[3] = {1, 0, 0};
    gif.check(EGifPutExtensionLeader(gif.get(), APPLICATION_EXT_FUNC_CODE));
    gif.check(EGifPutExtensionBlock(gif.get(), 11, "NETSCAPE2.0"));
    gif.check(EGifPutExtensionBlock(gif.get(), 3, loop));
    gif.check(EGifPutExtensionTrailer(gif.get()));

    std::vector<GifPixelType> row(size_t(width), 0);
    for (size_t i = 0; i < frames_.size(); ++i) {
        const Frame& frame = frames_[i];
        const double until = i + 1 < frames_.size() ? frames_[i + 1].at : std::max(end, frame.at + 1.0);
        GraphicsControlBlock control{};
        control.DisposalMode = DISPOSE_DO_NOT;
        // From rounded moments, so that the rounding does not add up.
        control.DelayTime = centiseconds(std::round(until * 100) / 100 - std::round(frame.at * 100) / 100);
        control.TransparentColor = NO_TRANSPARENT_COLOR;
        GifByteType extension[4];
        const size_t length = EGifGCBToExtension(&control, extension);
        gif.check(EGifPutExtension(gif.get(), GRAPHICS_EXT_FUNC_CODE, int(length), extension));
        gif.check(EGifPutImageDesc(gif.get(), 0, 0, width, height, false, nullptr));
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                row[size_t(x)] = lcdPixel(frame.pixels, unsigned(x) / scale, unsigned(y) / scale) ? 1 : 0;
            }
            gif.check(EGifPutLine(gif.get(), row.data(), width));
        }
    }
    const std::string& bytes = gif.close();
    try {
        writeOutputFile(path, bytes);
    } catch (const OutputError& e) {
        throw BoardError(e.what());
    }
}

#else

bool lcdMovieSupported() { return false; }

void LcdMovie::write(const std::string& path, double /*end*/, unsigned /*scale*/) const
{
    throw BoardError(path + " not written: boardsim was built without giflib");
}

#endif

}  // namespace boardsim
