#include "test_tables.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

double voltage(uint32_t q, bool cosine, bool lifted)
{
    const double angle = static_cast<double>(2u * q) * 3.1415926 / 4096;
    const double v = ((cosine ? std::cos(angle) : std::sin(angle)) + 1) * 0.5;
    return lifted ? v + 1 : v;
}

uint32_t value_of(int option, uint32_t q)
{
    const double v = voltage(q, option == 2, option == 6 || option == 8);
    if (option == 9) {
        return (static_cast<uint32_t>(v * 100) << 12) / 150;
    }
    const uint32_t code = option <= 4 ? static_cast<uint32_t>(v * 512 / 1.49) << 2
                                      : static_cast<uint32_t>(v * 2048 / 1.49);
    return option >= 3 ? code | 0x4000 : code;
}

std::string field(uint32_t value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%6u ,", value);
    return text;
}

}  // namespace

std::string sample_table(int option, int32_t step)
{
    const std::string fast_b = "\xBF\xEC\xCB\xD9" "B\xCD\xA8\xB5\xC0";
    std::string t;
    if (option <= 2) {
        t = "DEPTH = 4096\r\nCONTENT BEGIN:\r\n";
    } else if (option == 3) {
        t = "WIDTH = 16\r\nDEPTH = 4096 \r\nCONTENT BEGIN:\r\n";
    } else if (option == 9) {
        t = "WIDTH = 12\r\nDEPTH = 4096 \r\nCONTENT BEGIN:\r\n\xD5\xFD\xCF\xD2\xCA\xFD\xBE\xDD for DAC12\r\n";
    } else if (option == 7 || option == 8) {
        t = "WIDTH = 8\r\nDEPTH = 4096 \r\nSTEP = " + std::to_string(step) + " \r\nCONTENT BEGIN:\r\n" + fast_b + "\r\n";
    } else {
        t = "WIDTH = 8\r\nDEPTH = 4096 \r\nCONTENT BEGIN:\r\n" + fast_b + "\r\n";
    }
    const bool stepped = option == 7 || option == 8;
    const uint32_t advance = stepped ? static_cast<uint32_t>(step) : 1;
    const uint32_t end = option <= 5 ? 4097 : 4096;
    uint32_t count = 0;
    for (uint32_t q = option == 9 ? 0 : 1; q < end; q += advance) {
        ++count;
        if (stepped ? count % 5 == 0 : q % 10 == 0) {
            t += "\r\n";
        }
        const uint32_t value = value_of(option, q);
        t += option >= 4 && option <= 8 ? field(value >> 8) + " " + field(value & 0xFF) : field(value);
    }
    return t;
}

std::string replaced(const std::string& bytes, const std::string& from, const std::string& to, std::size_t after)
{
    const std::size_t at = bytes.find(from, after);
    EXPECT_NE(at, std::string::npos) << "no \"" << from << "\" to replace";
    if (at == std::string::npos) {
        return bytes;
    }
    return bytes.substr(0, at) + to + bytes.substr(at + from.size());
}

std::string replaced_all(std::string bytes, const std::string& from, const std::string& to)
{
    for (std::size_t at = bytes.find(from); at != std::string::npos; at = bytes.find(from, at + to.size())) {
        bytes.replace(at, from.size(), to);
    }
    return bytes;
}

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "romtable-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "cannot make a temporary folder";
    }
    path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

void write_file(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    ASSERT_TRUE(out.good()) << path;
}

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
