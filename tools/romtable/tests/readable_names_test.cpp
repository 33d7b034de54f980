// Table names shown in the locale's character set: dactables' GBK names at a
// UTF-8 terminal, each part of a path on its own.
#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "readable_names.h"

namespace {

const std::string GBK_NAME = "TLV5618_1V\xD5\xFD\xCF\xD2\xCA\xFD\xBE\xDD.txt";  // TLV5618_1V正弦数据.txt in GBK
const std::string UTF8_NAME = "TLV5618_1V正弦数据.txt";

// The process's LC_CTYPE for one test.
class CharacterSet {
public:
    explicit CharacterSet(const char* locale) : before_(std::setlocale(LC_CTYPE, nullptr))
    {
        available_ = std::setlocale(LC_CTYPE, locale) != nullptr;
    }
    ~CharacterSet() { std::setlocale(LC_CTYPE, before_.c_str()); }
    CharacterSet(const CharacterSet&) = delete;
    CharacterSet& operator=(const CharacterSet&) = delete;
    bool available() const { return available_; }

private:
    std::string before_;
    bool available_ = false;
};

}  // namespace

TEST(ReadableNames, GbkNamesReadAsUtf8AtAUtf8Terminal)
{
    const CharacterSet utf8("C.UTF-8");
    ASSERT_TRUE(utf8.available());
    EXPECT_EQ(readable_path("tables/" + GBK_NAME), "tables/" + UTF8_NAME);
    // A folder named in UTF-8 holding a GBK name: each part as it is written.
    EXPECT_EQ(readable_path("/home/用户/" + GBK_NAME), "/home/用户/" + UTF8_NAME);
    EXPECT_EQ(readable_path("/home/用户/" + UTF8_NAME), "/home/用户/" + UTF8_NAME);
    // Bytes that are neither stay as they are.
    EXPECT_EQ(readable_path("bad\xFF\xFF.txt"), "bad\xFF\xFF.txt");
    EXPECT_EQ(with_readable_paths("cannot write " + GBK_NAME + ".png, nor " + GBK_NAME, {GBK_NAME}),
              "cannot write " + UTF8_NAME + ".png, nor " + UTF8_NAME);
}

TEST(ReadableNames, ALocaleThatCannotShowANameKeepsItsBytes)
{
    const CharacterSet plain("C");
    ASSERT_TRUE(plain.available());
    EXPECT_EQ(readable_path("tables/" + GBK_NAME), "tables/" + GBK_NAME);
    // Files get UTF-8 whatever the terminal.
    EXPECT_EQ(utf8_path("tables/" + GBK_NAME), "tables/" + UTF8_NAME);
    EXPECT_TRUE(is_utf8(UTF8_NAME));
    EXPECT_FALSE(is_utf8(GBK_NAME));
}
