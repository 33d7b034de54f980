#include "export.h"

#include <algorithm>
#include <cstdio>

#include "readable_names.h"

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

// The source file's name goes into a comment: in UTF-8 where it can be (a
// GBK table name converted), kept from ending the comment or line and from
// carrying bytes a compiler might not take.
std::string comment_safe(const std::string& name)
{
    const std::string text = utf8_path(name);
    const bool utf8 = is_utf8(text);
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && !utf8) ||
            (text[i] == '*' && i + 1 < text.size() && text[i + 1] == '/')) {
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

namespace {

std::string hex_record(uint32_t address, uint8_t type, const std::string& data)
{
    std::string line = ":";
    char field[16];
    unsigned sum = static_cast<unsigned>(data.size()) + ((address >> 8) & 0xFF) + (address & 0xFF) + type;
    std::snprintf(field, sizeof field, "%02X%04X%02X", static_cast<unsigned>(data.size()), address & 0xFFFF, type);
    line += field;
    for (char c : data) {
        const auto byte = static_cast<unsigned char>(c);
        std::snprintf(field, sizeof field, "%02X", byte);
        line += field;
        sum += byte;
    }
    std::snprintf(field, sizeof field, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
    return line + field;
}

}  // namespace

std::string intel_hex(const Table& table)
{
    constexpr std::size_t RECORD_BYTES = 16;
    const std::string bytes = binary_words(table, ByteOrder::Big);
    std::string out;
    for (std::size_t at = 0; at < bytes.size(); at += RECORD_BYTES) {
        if (at % 0x10000 == 0) {
            const auto upper = static_cast<uint32_t>(at >> 16);
            out += hex_record(0, 4, std::string{static_cast<char>(upper >> 8), static_cast<char>(upper & 0xFF)});
        }
        out += hex_record(static_cast<uint32_t>(at), 0, bytes.substr(at, RECORD_BYTES));
    }
    return out + hex_record(0, 1, "");
}

std::string memory_initialization_file(const Table& table, const std::string& source)
{
    const std::size_t count = table.values.size();
    std::string out = "-- " + std::to_string(count) + " words of " + comment_safe(source) + " (" +
                      header_name(table.header) + "), written by romtable.\n";
    out += "WIDTH = 16;\nDEPTH = " + std::to_string(count) + ";\nADDRESS_RADIX = HEX;\nDATA_RADIX = HEX;\n";
    out += "CONTENT BEGIN\n";
    char line[32];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(line, sizeof line, "    %03zX : %04X;\n", i, static_cast<unsigned>(table.values[i] & 0xFFFF));
        out += line;
    }
    return out + "END;\n";
}

std::string coefficient_file(const Table& table)
{
    std::string out = "memory_initialization_radix = 16;\nmemory_initialization_vector =\n";
    char line[16];
    for (std::size_t i = 0; i < table.values.size(); ++i) {
        std::snprintf(line, sizeof line, "%04x%c\n", static_cast<unsigned>(table.values[i] & 0xFFFF),
                      i + 1 == table.values.size() ? ';' : ',');
        out += line;
    }
    return out;
}
