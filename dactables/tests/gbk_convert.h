// Text conversion for the tests, through glibc iconv: independent of the
// program's own byte escapes and of the locale.
#pragma once

#include <string>

// Converts text between two iconv encodings; fails the calling test if a
// character cannot be converted.
std::string convert_text(const std::string& text, const char* from, const char* to);

inline std::string gbk(const std::string& utf8)
{
    return convert_text(utf8, "UTF-8", "GBK");
}
