// The export forms: the C header's array and the binary words in both orders.
#include <gtest/gtest.h>

#include <algorithm>

#include "export.h"
#include "table_format.h"
#include "test_tables.h"

TEST(Export, CHeaderHoldsEveryWord)
{
    const Table table = check_table(sample_table(5)).table;
    const std::string header = c_header(table, "tlv5618_sine", "TLV5618.txt");
    EXPECT_NE(header.find("#include <stdint.h>"), std::string::npos);
    EXPECT_NE(header.find("#define tlv5618_sine_LENGTH 4096\n"), std::string::npos);
    EXPECT_NE(header.find("static const uint16_t tlv5618_sine[tlv5618_sine_LENGTH] = {\n    0x42B0, 0x42B1,"),
              std::string::npos)
        << header.substr(0, 300);  // 688 | 0x4000, then 689
    std::size_t words = 0;
    for (std::size_t at = header.find("0x", header.find('{')); at != std::string::npos; at = header.find("0x", at + 1)) {
        ++words;
    }
    EXPECT_EQ(words, 4096u);
    EXPECT_EQ(header.substr(header.size() - 5), ",\n};\n");
}

TEST(Export, SourceNameCannotBreakTheComment)
{
    const Table table = check_table(sample_table(9)).table;
    const std::string header = c_header(table, "t", "evil*/name\xD5\xFD.txt");
    EXPECT_EQ(header.find("*/name"), std::string::npos);
    // A GBK name is named in UTF-8, as C sources are written.
    EXPECT_NE(header.find("name正.txt"), std::string::npos) << header.substr(0, 100);
    const std::string odd = c_header(table, "t", "a\nb\xFF.txt");
    EXPECT_EQ(odd.find('\n'), odd.find("*/") + 2) << odd.substr(0, 100);  // the comment is one line
    EXPECT_EQ(odd.find('\xFF'), std::string::npos);
}

// Every entry one word, in the forms FPGA tools read; srec_cat reads the
// Intel HEX and MIF back in romtable_srec_cat_formats.
TEST(Export, MemoryFilesHoldOneWordPerEntry)
{
    const Table table = check_table(sample_table(6)).table;  // 4095 entries, 0x4000 | 2062 first
    const std::string mif = memory_initialization_file(table, "t.txt");
    EXPECT_NE(mif.find("\nWIDTH = 16;\nDEPTH = 4095;\n"), std::string::npos) << mif.substr(0, 200);
    EXPECT_NE(mif.find("CONTENT BEGIN\n    000 : 480E;\n"), std::string::npos) << mif.substr(0, 200);
    EXPECT_NE(mif.find("    FFE : "), std::string::npos);
    EXPECT_EQ(mif.find("    FFF : "), std::string::npos);
    const std::string coe = coefficient_file(table);
    EXPECT_EQ(coe.rfind("memory_initialization_radix = 16;\nmemory_initialization_vector =\n480e,\n", 0), 0u);
    EXPECT_EQ(std::count(coe.begin(), coe.end(), ','), 4094);
    EXPECT_EQ(coe.substr(coe.size() - 2), ";\n");
    const std::string hex = intel_hex(table);
    EXPECT_EQ(hex.rfind(":020000040000FA\n:10000000480E", 0), 0u) << hex.substr(0, 60);
    EXPECT_EQ(hex.substr(hex.size() - 12), ":00000001FF\n");
}

TEST(Export, CNames)
{
    EXPECT_TRUE(is_c_name("sine_rom"));
    EXPECT_TRUE(is_c_name("_T1"));
    EXPECT_FALSE(is_c_name(""));
    EXPECT_FALSE(is_c_name("1st"));
    EXPECT_FALSE(is_c_name("a-b"));
    EXPECT_FALSE(is_c_name("a b"));
}

TEST(Export, BinaryWordsInBothByteOrders)
{
    const Table table = check_table(sample_table(3)).table;  // 17072 = 0x42B0 first
    const std::string le = binary_words(table, ByteOrder::Little);
    const std::string be = binary_words(table, ByteOrder::Big);
    ASSERT_EQ(le.size(), 8192u);
    ASSERT_EQ(be.size(), 8192u);
    EXPECT_EQ(le.substr(0, 2), "\xB0\x42");
    EXPECT_EQ(be.substr(0, 2), "\x42\xB0");
    for (std::size_t i = 0; i < le.size(); i += 2) {
        ASSERT_EQ(le[i], be[i + 1]) << i;
        ASSERT_EQ(le[i + 1], be[i]) << i;
    }
}
