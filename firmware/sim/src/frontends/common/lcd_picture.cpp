#include "frontends/common/lcd_picture.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <memory>
#include <stdexcept>

#include "frontends/common/output_file.h"
#include "machine/board.h"

#ifdef BOARDSIM_HAVE_PNG
#include <png.h>
#endif

namespace boardsim {
namespace {

// A border of light glass around the pixels, as on the real panel.
constexpr unsigned kBorder = 4;
using Rgb = std::array<uint8_t, 3>;
constexpr Rgb kLight = {0xB4, 0xC8, 0x9A};
constexpr Rgb kDark = {0x1E, 0x28, 0x1E};
// In a difference picture: a dark pixel the glass lacks, and one it has too many.
constexpr Rgb kMissing = {0xE0, 0x20, 0x20};
constexpr Rgb kExtra = {0x20, 0x40, 0xE0};
// Grey levels below this read as dark: the two glass colours are far apart.
constexpr uint8_t kDarkBelow = 128;

bool endsWith(const std::string& text, const std::string& suffix)
{
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The LCD's pixels enlarged `scale` times in a border of light glass, each
// output pixel's colour row by row.
struct Canvas {
    unsigned width = 0;
    unsigned height = 0;
    std::vector<Rgb> pixels;
};

Canvas paint(unsigned scale, const std::function<Rgb(unsigned x, unsigned y)>& colourOf)
{
    Canvas canvas;
    canvas.width = kLcdWidth * scale + 2 * kBorder;
    canvas.height = kLcdHeight * scale + 2 * kBorder;
    canvas.pixels.assign(size_t(canvas.width) * canvas.height, kLight);
    for (unsigned y = 0; y < kLcdHeight * scale; ++y) {
        for (unsigned x = 0; x < kLcdWidth * scale; ++x) {
            canvas.pixels[size_t(y + kBorder) * canvas.width + x + kBorder] = colourOf(x / scale, y / scale);
        }
    }
    return canvas;
}

// Plain PBM: every pixel not light glass is dark.
std::string pbm(const Canvas& canvas)
{
    std::string out = "P1\n" + std::to_string(canvas.width) + " " + std::to_string(canvas.height) + "\n";
    for (size_t i = 0; i < canvas.pixels.size(); ++i) {
        out += canvas.pixels[i] != kLight ? '1' : '0';
        out += (i + 1) % canvas.width == 0 ? '\n' : ' ';
    }
    return out;
}

#ifdef BOARDSIM_HAVE_PNG
std::string png(const Canvas& canvas, const std::string& path)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = canvas.width;
    image.height = canvas.height;
    image.format = PNG_FORMAT_RGB;
    // Asked for its size first, then made in a buffer of that size.
    png_alloc_size_t size = 0;
    if (png_image_write_to_memory(&image, nullptr, &size, 0, canvas.pixels.data(), 0, nullptr) != 0) {
        std::string bytes(size, '\0');
        if (png_image_write_to_memory(&image, bytes.data(), &size, 0, canvas.pixels.data(), 0, nullptr) != 0) {
            bytes.resize(size);
            return bytes;
        }
    }
    const std::string why = image.message;
    png_image_free(&image);
    throw std::runtime_error("cannot write " + path + ": " + why);
}
#endif

// The picture is made in memory and written as a whole, by the rule every
// output file follows (output_file.h).
void writeCanvas(const Canvas& canvas, const std::string& path)
{
#ifdef BOARDSIM_HAVE_PNG
    if (!endsWith(path, ".pbm")) {
        writeOutputFile(path, png(canvas, path));
        return;
    }
#else
    if (!endsWith(path, ".pbm")) {
        throw std::runtime_error("built without libpng: name the picture *.pbm");
    }
#endif
    writeOutputFile(path, pbm(canvas));
}

// A picture as dark flags, row by row.
struct Grid {
    unsigned width = 0;
    unsigned height = 0;
    std::vector<bool> dark;
};

[[noreturn]] void unreadable(const std::string& path, const std::string& why)
{
    throw std::runtime_error("cannot read the picture " + path + ": " + why);
}

// A PBM header's next number, past white space and comments.
unsigned pbmNumber(std::istream& in, const std::string& path)
{
    for (int c = in.peek(); c != EOF; c = in.peek()) {
        if (c == '#') {
            in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
        } else if (std::isspace(c) != 0) {
            in.get();
        } else {
            break;
        }
    }
    unsigned value = 0;
    if (!(in >> value) || value == 0 || value > 10000) {
        unreadable(path, "a PBM header without a size");
    }
    return value;
}

Grid readPbm(std::istream& in, const std::string& path)
{
    char magic[2] = {};
    in.read(magic, 2);
    const bool plain = magic[1] == '1';
    Grid grid;
    grid.width = pbmNumber(in, path);
    grid.height = pbmNumber(in, path);
    in.get();  // the one white space character before raw data
    grid.dark.reserve(size_t(grid.width) * grid.height);
    if (plain) {
        for (char c = 0; grid.dark.size() < size_t(grid.width) * grid.height && in.get(c);) {
            if (c == '0' || c == '1') {
                grid.dark.push_back(c == '1');
            } else if (std::isspace(static_cast<unsigned char>(c)) == 0) {
                unreadable(path, std::string("a PBM pixel that is neither 0 nor 1: '") + c + "'");
            }
        }
    } else {
        const size_t rowBytes = (grid.width + 7) / 8;
        std::vector<char> row(rowBytes);
        for (unsigned y = 0; y < grid.height && in.read(row.data(), std::streamsize(rowBytes)); ++y) {
            for (unsigned x = 0; x < grid.width; ++x) {
                grid.dark.push_back(((static_cast<unsigned char>(row[x / 8]) >> (7 - x % 8)) & 1) != 0);
            }
        }
    }
    if (grid.dark.size() != size_t(grid.width) * grid.height) {
        unreadable(path, "the PBM data ends early");
    }
    return grid;
}

Grid readGrid(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        unreadable(path, std::strerror(errno));
    }
    char magic[2] = {};
    in.read(magic, 2);
    if (magic[0] == 'P' && (magic[1] == '1' || magic[1] == '4')) {
        in.seekg(0);
        return readPbm(in, path);
    }
#ifdef BOARDSIM_HAVE_PNG
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
        unreadable(path, std::string("neither PBM (P1, P4) nor PNG: ") + image.message);
    }
    image.format = PNG_FORMAT_GRAY;
    std::vector<uint8_t> grey(PNG_IMAGE_SIZE(image));
    png_color white = {0xFF, 0xFF, 0xFF};  // transparent parts read as light
    if (png_image_finish_read(&image, &white, grey.data(), 0, nullptr) == 0) {
        const std::string why = image.message;
        png_image_free(&image);
        unreadable(path, why);
    }
    Grid grid;
    grid.width = image.width;
    grid.height = image.height;
    std::transform(grey.begin(), grey.end(), std::back_inserter(grid.dark),
                   [](uint8_t level) { return level < kDarkBelow; });
    return grid;
#else
    unreadable(path, "not a PBM picture (P1, P4), and boardsim was built without libpng");
#endif
}

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

namespace {

Canvas glass(const std::vector<uint8_t>& frame, unsigned scale)
{
    if (frame.size() != kLcdFrameBytes) {
        throw std::runtime_error("an LCD frame is " + std::to_string(kLcdFrameBytes) + " bytes");
    }
    return paint(scale == 0 ? 1 : scale, [&](unsigned x, unsigned y) { return lcdPixel(frame, x, y) ? kDark : kLight; });
}

}  // namespace

void writeLcdPicture(const std::vector<uint8_t>& frame, const std::string& path, unsigned scale)
{
    writeCanvas(glass(frame, scale), path);
}

#ifdef BOARDSIM_HAVE_PNG
std::string lcdPng(const std::vector<uint8_t>& frame, unsigned scale)
{
    return png(glass(frame, scale), "the LCD picture");
}
#endif

std::vector<uint8_t> readLcdPicture(const std::string& path)
{
    const Grid grid = readGrid(path);
    const unsigned scale = grid.width > 2 * kBorder ? (grid.width - 2 * kBorder) / kLcdWidth : 0;
    if (scale == 0 || grid.width != kLcdWidth * scale + 2 * kBorder || grid.height != kLcdHeight * scale + 2 * kBorder) {
        unreadable(path, std::to_string(grid.width) + " x " + std::to_string(grid.height) +
                             " pixels is no size of an LCD picture (84 x 48 at a whole scale, a border of " +
                             std::to_string(kBorder) + " around)");
    }
    std::vector<uint8_t> frame(kLcdFrameBytes, 0);
    for (unsigned y = 0; y < kLcdHeight; ++y) {
        for (unsigned x = 0; x < kLcdWidth; ++x) {
            // Every output pixel of an LCD pixel's square must agree: a
            // picture that does not is no picture of the glass.
            const auto at = [&](unsigned dx, unsigned dy) {
                return grid.dark[(kBorder + size_t(y) * scale + dy) * grid.width + kBorder + size_t(x) * scale + dx];
            };
            const bool dark = at(0, 0);
            for (unsigned dy = 0; dy < scale; ++dy) {
                for (unsigned dx = 0; dx < scale; ++dx) {
                    if (at(dx, dy) != dark) {
                        unreadable(path, "pixel (" + std::to_string(x) + ", " + std::to_string(y) +
                                             ") of the LCD is not one colour in the picture");
                    }
                }
            }
            if (dark) {
                frame[size_t(y / 8) * kLcdWidth + x] |= uint8_t(1u << (y % 8));
            }
        }
    }
    return frame;
}

LcdDifference lcdDifference(const std::vector<uint8_t>& expected, const std::vector<uint8_t>& actual)
{
    LcdDifference difference;
    for (unsigned y = 0; y < kLcdHeight; ++y) {
        for (unsigned x = 0; x < kLcdWidth; ++x) {
            if (lcdPixel(expected, x, y) != lcdPixel(actual, x, y) && difference.pixels++ == 0) {
                difference.firstX = x;
                difference.firstY = y;
            }
        }
    }
    return difference;
}

void writeLcdDifference(const std::vector<uint8_t>& expected, const std::vector<uint8_t>& actual,
                        const std::string& path, unsigned scale)
{
    const bool pbm = endsWith(path, ".pbm");
    writeCanvas(paint(scale == 0 ? 1 : scale,
                      [&](unsigned x, unsigned y) {
                          const bool want = lcdPixel(expected, x, y);
                          const bool have = lcdPixel(actual, x, y);
                          if (want != have) {
                              return want ? kMissing : kExtra;
                          }
                          return have && !pbm ? kDark : kLight;
                      }),
                path);
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
