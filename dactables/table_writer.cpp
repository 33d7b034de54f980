#include "table_writer.h"

#include <charconv>
#include <cstring>

#include "gbk_text.h"

namespace {

// Room kept free in the block before each piece is formatted: a line end and
// two fields of the widest int32_t, with their separators.
constexpr std::size_t MAX_PIECE = 64;

void flush_block(TableOut* out)
{
    if (!out->failed && out->used > 0 &&
        std::fwrite(out->block, 1, out->used, out->file) != out->used) {
        out->failed = true;
    }
    out->used = 0;
}

char* reserve(TableOut* out)
{
    if (TABLE_BLOCK_SIZE - out->used < MAX_PIECE) {
        flush_block(out);
    }
    return out->block + out->used;
}

void commit(TableOut* out, const char* end)
{
    out->used = static_cast<std::size_t>(end - out->block);
}

char* put_text(char* p, const char* text)
{
    const std::size_t length = std::strlen(text);
    // The block holds the file's bytes, not C strings: no terminator belongs there.
    // NOLINTNEXTLINE(bugprone-not-null-terminated-result)
    std::memcpy(p, text, length);
    return p + length;
}

char* put_line_end(char* p)
{
    p[0] = '\r';
    p[1] = '\n';
    return p + 2;
}

char* put_int(char* p, int32_t value)
{
    return std::to_chars(p, p + 12, value).ptr;
}

// "00" to "99", for writing numbers two digits at a time.
struct DigitPairs {
    char text[200];
};

constexpr DigitPairs make_digit_pairs()
{
    DigitPairs pairs{};
    for (std::size_t n = 0; n < 100; ++n) {
        pairs.text[2 * n] = static_cast<char>('0' + n / 10);
        pairs.text[2 * n + 1] = static_cast<char>('0' + n % 10);
    }
    return pairs;
}

constexpr DigitPairs DIGIT_PAIRS = make_digit_pairs();

void put_pair(char* p, uint32_t two_digits)
{
    // NOLINTNEXTLINE(bugprone-not-null-terminated-result): two digits of a field, no string
    std::memcpy(p, DIGIT_PAIRS.text + 2 * static_cast<std::size_t>(two_digits), 2);
}

// "%6d": right-aligned in six characters, wider when the number needs it.
// Every single entry goes through here, so the usual case (0 to 99999: every
// code and word of the tables) is written two digits at a time.
char* put_field6(char* p, int32_t value)
{
    if (value >= 0 && value < 100000) {
        // NOLINTNEXTLINE(bugprone-not-null-terminated-result): six blanks of the field, no string
        std::memcpy(p, "      ", 6);
        const auto v = static_cast<uint32_t>(value);
        if (v >= 100) {
            const uint32_t high = v / 100;
            put_pair(p + 4, v - high * 100);
            if (high >= 100) {
                const uint32_t top = high / 100;
                put_pair(p + 2, high - top * 100);
                p[1] = static_cast<char>('0' + top);
            } else if (high >= 10) {
                put_pair(p + 2, high);
            } else {
                p[3] = static_cast<char>('0' + high);
            }
        } else if (v >= 10) {
            put_pair(p + 4, v);
        } else {
            p[5] = static_cast<char>('0' + v);
        }
        return p + 6;
    }
    char digits[12];
    const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    const std::size_t length = static_cast<std::size_t>(end - digits);
    if (length < 6) {
        std::memset(p, ' ', 6 - length);
        p += 6 - length;
    }
    std::memcpy(p, digits, length);
    return p + length;
}


// Text of one header line, written with a line end after it.
void write_header_line(TableOut* out, const char* text)
{
    char* p = reserve(out);
    p = put_text(p, text);
    commit(out, put_line_end(p));
}

// "NAME = %d\n", or "NAME = %d \n" with a blank before the line end.
void write_number_line(TableOut* out, const char* name_equals, int32_t value, bool blank)
{
    char* p = reserve(out);
    p = put_text(p, name_equals);
    p = put_int(p, value);
    if (blank) {
        *p++ = ' ';
    }
    commit(out, put_line_end(p));
}

}  // namespace

void table_begin(TableOut* out, FILE* file)
{
    // The block is the buffer: the stream's own would only copy it once more.
    std::setvbuf(file, nullptr, _IONBF, 0);
    out->file = file;
    out->failed = false;
    out->used = 0;
    out->has_last_single = false;
}

void write_header_top(TableOut* out, HeaderVariant variant, int32_t depth)
{
    switch (variant) {
    case HeaderVariant::Plain:
        write_number_line(out, "DEPTH = ", depth, false);
        return;
    case HeaderVariant::Width16:
        write_header_line(out, "WIDTH = 16");
        break;
    case HeaderVariant::Width8:
    case HeaderVariant::Width8Step:
        write_header_line(out, "WIDTH = 8");
        break;
    case HeaderVariant::Width12:
        write_header_line(out, "WIDTH = 12");
        break;
    }
    write_number_line(out, "DEPTH = ", depth, true);
}

void write_header_rest(TableOut* out, HeaderVariant variant, int32_t step)
{
    if (variant == HeaderVariant::Width8Step) {
        write_number_line(out, "STEP = ", step, true);
    }
    write_header_line(out, "CONTENT BEGIN:");
    if (variant == HeaderVariant::Width8 || variant == HeaderVariant::Width8Step) {
        write_header_line(out, HEADER_FAST_CHANNEL_B);
    } else if (variant == HeaderVariant::Width12) {
        write_header_line(out, HEADER_DAC12_SINE);
    }
}

void write_line_end(TableOut* out)
{
    commit(out, put_line_end(reserve(out)));
}

void write_single_formatted(TableOut* out, int32_t value)
{
    char* start = reserve(out);
    char* p = put_field6(start, value);
    p[0] = ' ';
    p[1] = ',';
    p += 2;
    // Only the usual eight characters are kept; wider entries are rare.
    out->has_last_single = p - start == sizeof out->last_single_text;
    if (out->has_last_single) {
        out->last_single = value;
        std::memcpy(out->last_single_text, start, sizeof out->last_single_text);
    }
    commit(out, p);
}

void write_byte_pair_after_flush(TableOut* out, uint16_t word)
{
    flush_block(out);
    write_byte_pair(out, word);
}

bool table_flush(TableOut* out)
{
    flush_block(out);
    if (std::fflush(out->file) != 0) {
        out->failed = true;
    }
    return !out->failed;
}

bool table_close(TableOut* out)
{
    table_flush(out);
    if (std::fclose(out->file) != 0) {
        out->failed = true;
    }
    out->file = nullptr;
    return !out->failed;
}
