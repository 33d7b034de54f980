#include "gbk_convert.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <vector>

std::string convert_text(const std::string& text, const char* from, const char* to)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        ADD_FAILURE() << "iconv cannot convert " << from << " to " << to;
        return {};
    }
    std::vector<char> input(text.begin(), text.end());
    std::vector<char> output(text.size() * 4 + 16);
    char* in = input.data();
    size_t in_left = input.size();
    char* out = output.data();
    size_t out_left = output.size();
    if (iconv(cd, &in, &in_left, &out, &out_left) == static_cast<size_t>(-1)) {
        ADD_FAILURE() << "iconv failed on \"" << text << "\"";
    }
    iconv_close(cd);
    return std::string(output.data(), output.size() - out_left);
}
