#include "console_input.h"

namespace {

bool is_c_space(int c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool is_digit(int c)
{
    return c >= '0' && c <= '9';
}

}  // namespace

bool read_int32(FILE* in, int32_t* value)
{
    int c = getc(in);
    while (is_c_space(c)) {
        c = getc(in);
    }
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = c == '-';
        c = getc(in);
    }
    if (!is_digit(c)) {
        if (c != EOF) {
            ungetc(c, in);
        }
        return false;
    }
    // The magnitude saturates just past the int32 range, so that any number of
    // digits is read to its end and still known not to fit.
    const int64_t limit = negative ? INT64_C(2147483648) : INT64_C(2147483647);
    int64_t magnitude = 0;
    bool too_big = false;
    while (is_digit(c)) {
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > limit) {
            too_big = true;
            magnitude = limit + 1;
        }
        c = getc(in);
    }
    if (c != EOF) {
        ungetc(c, in);
    }
    if (too_big) {
        return false;
    }
    *value = static_cast<int32_t>(negative ? -magnitude : magnitude);
    return true;
}
