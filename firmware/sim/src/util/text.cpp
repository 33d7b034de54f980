#include "util/text.h"

#include <cstdio>

namespace boardsim {
namespace {

std::string escapeByte(unsigned char c)
{
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\x%02x", c);
    return escape;
}

// The length of the UTF-8 sequence that starts at `at`, or 0 when it is no
// well-formed one or encodes a control character (C1, U+0080 to U+009F).
size_t printableSequence(const std::string& text, size_t at)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
    } else {
        return 0;
    }
    if (at + length > text.size()) {
        return 0;
    }
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            return 0;
        }
    }
    const unsigned second = byte(at + 1);
    const bool overlong = (lead == 0xE0 && second < 0xA0) || (lead == 0xF0 && second < 0x90);
    const bool beyond = (lead == 0xF4 && second >= 0x90) || (lead == 0xED && second >= 0xA0);  // or a surrogate
    const bool c1 = lead == 0xC2 && second < 0xA0;
    return overlong || beyond || c1 ? 0 : length;
}

}  // namespace

std::string terminalSafe(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c >= 0x20 && c < 0x7F) || c == '\n' || c == '\t') {
            out += char(c);
            ++i;
            continue;
        }
        const size_t length = c >= 0x80 ? printableSequence(text, i) : 0;
        if (length == 0) {
            out += escapeByte(c);
            ++i;
        } else {
            out.append(text, i, length);
            i += length;
        }
    }
    return out;
}

std::string hex(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", value);
    return text;
}

std::string mhz(double hz)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.4f MHz", hz / 1e6);
    return text;
}

std::string quoted(const std::string& text)
{
    std::string out = "\"";
    for (const unsigned char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20 || c >= 0x7F) {
            out += escapeByte(c);
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

std::string printable(const std::string& text)
{
    std::string out;
    for (const unsigned char c : text) {
        out += (c >= 0x20 && c < 0x7F) ? std::string(1, char(c)) : escapeByte(c);
    }
    return out;
}

}  // namespace boardsim
