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

}  // namespace

std::string hex(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", value);
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
