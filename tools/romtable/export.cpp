#include "export.h"

#include <algorithm>
#include <cstdio>

bool is_c_name(const std::string& name)
{
    if (name.empty() || (name[0] >= '0' && name[0] <= '9')) {
        return false;
    }
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    });
}

namespace {

// The source file's name goes into a comment: keep it from ending the comment
// or carrying bytes a C compiler might not take.
std::string comment_safe(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c >= 0x7F || (text[i] == '*' && i + 1 < text.size() && text[i + 1] == '/')) {
            out += '?';
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

std::string c_header(const Table& table, const std::string& name, const std::string& source)
{
    std::string out;
    out += "/* " + std::to_string(table.values.size()) + " words of " + comment_safe(source) + " (" +
           header_name(table.header) + "), written by romtable. */\n";
    out += "#pragma once\n\n#include <stdint.h>\n\n";
    out += "#define " + name + "_LENGTH " + std::to_string(table.values.size()) + "\n\n";
    out += "static const uint16_t " + name + "[" + name + "_LENGTH] = {";
    for (std::size_t i = 0; i < table.values.size(); ++i) {
        char word[16];
        std::snprintf(word, sizeof word, "0x%04X,", static_cast<unsigned>(table.values[i] & 0xFFFF));
        out += i % 8 == 0 ? "\n    " : " ";
        out += word;
    }
    out += "\n};\n";
    return out;
}

std::string binary_words(const Table& table, ByteOrder order)
{
    std::string out;
    out.reserve(table.values.size() * 2);
    for (uint32_t value : table.values) {
        const char high = static_cast<char>((value >> 8) & 0xFF);
        const char low = static_cast<char>(value & 0xFF);
        out += order == ByteOrder::Big ? high : low;
        out += order == ByteOrder::Big ? low : high;
    }
    return out;
}
