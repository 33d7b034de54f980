#include "glass_text.h"

#include "config.h"
#include "font5x7.h"

namespace {

constexpr unsigned kWidth = 84;
constexpr unsigned kCell = FONT_WIDTH + 1;

bool Pixel(const std::vector<std::uint8_t> &glass, unsigned x, unsigned y)
{
    return ((glass.at((y / 8) * kWidth + x) >> (y % 8)) & 1u) != 0;
}

bool CellShows(const std::vector<std::uint8_t> &glass, unsigned x0, unsigned y0, const INT8U *rows)
{
    for (unsigned row = 0; row < FONT_HEIGHT + 1; row++)
    {
        for (unsigned col = 0; col < kCell; col++)
        {
            const bool ink = row < FONT_HEIGHT && col < FONT_WIDTH && ((rows[row] >> (FONT_WIDTH - 1 - col)) & 1u);
            if (Pixel(glass, x0 + col, y0 + row) != ink)
            {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

std::string GlassText(const std::vector<std::uint8_t> &glass, unsigned y)
{
    const INT8U *missing = FontGlyph('\x01');
    std::string text;
    for (unsigned x = 0; x + kCell <= kWidth; x += kCell)
    {
        char read = '?';
        for (int c = ' '; c <= '~'; c++)
        {
            const INT8U *rows = FontGlyph(static_cast<CHAR>(c));
            if (rows != missing && CellShows(glass, x, y, rows))
            {
                read = static_cast<char>(c);
                break;
            }
        }
        text += read;
    }
    const auto first = text.find_first_not_of(' ');
    return first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(' ') - first + 1);
}
