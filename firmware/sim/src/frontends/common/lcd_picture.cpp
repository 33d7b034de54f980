#include "frontends/common/lcd_picture.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <stdexcept>

#include "machine/board.h"

#ifdef BOARDSIM_HAVE_PNG
#include <png.h>
#endif

namespace boardsim {
namespace {

// A border of light glass around the pixels, as on the real panel.
constexpr unsigned kBorder = 4;
constexpr uint8_t kLight[3] = {0xB4, 0xC8, 0x9A};
constexpr uint8_t kDark[3] = {0x1E, 0x28, 0x1E};

bool endsWith(const std::string& text, const std::string& suffix)
{
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

using File = std::unique_ptr<FILE, int (*)(FILE*)>;

File openForWriting(const std::string& path)
{
    File file(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!file) {
        throw std::runtime_error("cannot write " + path);
    }
    return file;
}

// Dark flag of each output pixel, row by row.
std::vector<std::vector<bool>> enlarge(const std::vector<uint8_t>& frame, unsigned scale)
{
    const unsigned width = kLcdWidth * scale + 2 * kBorder;
    const unsigned height = kLcdHeight * scale + 2 * kBorder;
    std::vector<std::vector<bool>> rows(height, std::vector<bool>(width, false));
    for (unsigned y = 0; y < kLcdHeight * scale; ++y) {
        for (unsigned x = 0; x < kLcdWidth * scale; ++x) {
            rows[y + kBorder][x + kBorder] = lcdPixel(frame, x / scale, y / scale);
        }
    }
    return rows;
}

void writePbm(const std::vector<std::vector<bool>>& rows, const std::string& path)
{
    File file = openForWriting(path);
    std::fprintf(file.get(), "P1\n%zu %zu\n", rows[0].size(), rows.size());
    for (const auto& row : rows) {
        for (size_t x = 0; x < row.size(); ++x) {
            std::fputc(row[x] ? '1' : '0', file.get());
            std::fputc(x + 1 == row.size() ? '\n' : ' ', file.get());
        }
    }
    if (std::fflush(file.get()) != 0 || std::ferror(file.get())) {
        throw std::runtime_error("cannot write " + path);
    }
}

#ifdef BOARDSIM_HAVE_PNG
void writePng(const std::vector<std::vector<bool>>& rows, const std::string& path)
{
    File file = openForWriting(path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        throw std::runtime_error("libpng could not start");
    }
    std::vector<std::vector<png_byte>> pixels;
    for (const auto& row : rows) {
        std::vector<png_byte> line;
        for (bool dark : row) {
            const uint8_t* colour = dark ? kDark : kLight;
            line.insert(line.end(), colour, colour + 3);
        }
        pixels.push_back(std::move(line));
    }
    std::vector<png_bytep> pointers(pixels.size());
    std::transform(pixels.begin(), pixels.end(), pointers.begin(), [](auto& line) { return line.data(); });
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("cannot write " + path);
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, png_uint_32(rows[0].size()), png_uint_32(rows.size()), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_rows(png, info, pointers.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
}
#endif

}  // namespace

bool lcdPixel(const std::vector<uint8_t>& frame, unsigned x, unsigned y)
{
    const size_t index = size_t(y / 8) * kLcdWidth + x;
    return index < frame.size() && ((frame[index] >> (y % 8)) & 1) != 0;
}

bool lcdBlank(const std::vector<uint8_t>& frame)
{
    return std::all_of(frame.begin(), frame.end(), [](uint8_t byte) { return byte == 0; });
}

void writeLcdPicture(const std::vector<uint8_t>& frame, const std::string& path, unsigned scale)
{
    if (frame.size() != kLcdFrameBytes) {
        throw std::runtime_error("an LCD frame is " + std::to_string(kLcdFrameBytes) + " bytes");
    }
    const auto rows = enlarge(frame, scale == 0 ? 1 : scale);
#ifdef BOARDSIM_HAVE_PNG
    if (!endsWith(path, ".pbm")) {
        writePng(rows, path);
        return;
    }
#else
    if (!endsWith(path, ".pbm")) {
        throw std::runtime_error("built without libpng: name the picture *.pbm");
    }
#endif
    writePbm(rows, path);
}

std::string lcdAsText(const std::vector<uint8_t>& frame)
{
    std::string text;
    for (unsigned y = 0; y < kLcdHeight; ++y) {
        for (unsigned x = 0; x < kLcdWidth; ++x) {
            text += lcdPixel(frame, x, y) ? '#' : '.';
        }
        text += '\n';
    }
    return text;
}

}  // namespace boardsim
