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

// "%6d": right-aligned in six characters, wider when the number needs it.
// Every entry goes through here, so the usual case (0 to 999999, the whole
// field) is filled in place, digit by digit from the right.
char* put_field6(char* p, int32_t value)
{
    if (value >= 0 && value < 1000000) {
        // NOLINTNEXTLINE(bugprone-not-null-terminated-result): six blanks of the field, no string
        std::memcpy(p, "      ", 6);
        char* digit = p + 6;
        uint32_t rest = static_cast<uint32_t>(value);
        do {
            *--digit = static_cast<char>('0' + rest % 10);
            rest /= 10;
        } while (rest != 0);
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

// "%6d ," for every byte, made at compile time: a byte pair is two of these
// with a blank between, and most tables are byte pairs.
constexpr std::size_t ENTRY_LENGTH = 8;

struct ByteEntries {
    char text[256][ENTRY_LENGTH];
};

constexpr ByteEntries make_byte_entries()
{
    ByteEntries entries{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        char* entry = entries.text[byte];
        for (std::size_t i = 0; i < 6; ++i) {
            entry[i] = ' ';
        }
        std::size_t i = 6;
        unsigned rest = byte;
        do {
            entry[--i] = static_cast<char>('0' + rest % 10);
            rest /= 10;
        } while (rest != 0);
        entry[6] = ' ';
        entry[7] = ',';
    }
    return entries;
}

constexpr ByteEntries BYTE_ENTRIES = make_byte_entries();

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

bool line_end_due(BreakRule rule, uint32_t q, uint32_t count)
{
    return rule == BreakRule::Index ? q % 10 == 0 : count % 5 == 0;
}

void write_line_end(TableOut* out)
{
    commit(out, put_line_end(reserve(out)));
}

void write_single(TableOut* out, int32_t value)
{
    char* p = put_field6(reserve(out), value);
    p[0] = ' ';
    p[1] = ',';
    commit(out, p + 2);
}

void write_byte_pair(TableOut* out, uint16_t word)
{
    char* p = reserve(out);
    std::memcpy(p, BYTE_ENTRIES.text[word >> 8], ENTRY_LENGTH);
    p[ENTRY_LENGTH] = ' ';
    std::memcpy(p + ENTRY_LENGTH + 1, BYTE_ENTRIES.text[word & 0xFF], ENTRY_LENGTH);
    commit(out, p + 2 * ENTRY_LENGTH + 1);
}

bool table_close(TableOut* out)
{
    flush_block(out);
    if (std::fflush(out->file) != 0) {
        out->failed = true;
    }
    if (std::fclose(out->file) != 0) {
        out->failed = true;
    }
    out->file = nullptr;
    return !out->failed;
}
