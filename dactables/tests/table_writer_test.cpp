// Header variants, entry layouts and line-break rules, written through the
// writer into a real file and read back byte for byte.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "gbk_convert.h"
#include "options.h"
#include "table_writer.h"

namespace {

TableOut table;

// Runs `write` on a table in a fresh file, closes it through the writer and
// returns the file's bytes.
template <typename Write>
std::string written(Write write)
{
    std::string path = testing::TempDir() + "table_writer_XXXXXX";
    const int fd = mkstemp(path.data());
    EXPECT_GE(fd, 0);
    close(fd);
    FILE* file = std::fopen(path.c_str(), "w+b");
    EXPECT_NE(file, nullptr);
    table_begin(&table, file);
    write();
    EXPECT_TRUE(table_close(&table));
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    std::remove(path.c_str());
    return bytes.str();
}

std::string header(HeaderVariant variant, int32_t step)
{
    return written([&] {
        write_header_top(&table, variant, 4096);
        write_header_rest(&table, variant, step);
    });
}

}  // namespace

TEST(TableHeader, EveryVariantWithCrLf)
{
    EXPECT_EQ(header(HeaderVariant::Plain, 0), "DEPTH = 4096\r\nCONTENT BEGIN:\r\n");
    EXPECT_EQ(header(HeaderVariant::Width16, 0),
              "WIDTH = 16\r\nDEPTH = 4096 \r\nCONTENT BEGIN:\r\n");
    EXPECT_EQ(header(HeaderVariant::Width8, 0),
              "WIDTH = 8\r\nDEPTH = 4096 \r\nCONTENT BEGIN:\r\n" + gbk("快速B通道") + "\r\n");
    EXPECT_EQ(header(HeaderVariant::Width8Step, -7),
              "WIDTH = 8\r\nDEPTH = 4096 \r\nSTEP = -7 \r\nCONTENT BEGIN:\r\n" + gbk("快速B通道") +
                  "\r\n");
    EXPECT_EQ(header(HeaderVariant::Width12, 0),
              "WIDTH = 12\r\nDEPTH = 4096 \r\nCONTENT BEGIN:\r\n" + gbk("正弦数据 for DAC12") + "\r\n");
}

TEST(TableHeader, StepVariantTopStopsBeforeTheStepLine)
{
    EXPECT_EQ(written([] { write_header_top(&table, HeaderVariant::Width8Step, 4096); }),
              "WIDTH = 8\r\nDEPTH = 4096 \r\n");
}

TEST(TableEntries, SingleIsSixWideBlankComma)
{
    EXPECT_EQ(written([] { write_single(&table, 688); }), "   688 ,");
    EXPECT_EQ(written([] { write_single(&table, 0); }), "     0 ,");
    EXPECT_EQ(written([] { write_single(&table, 17072); }), " 17072 ,");
    EXPECT_EQ(written([] { write_single(&table, 999999); }), "999999 ,");
    EXPECT_EQ(written([] { write_single(&table, 1234567); }), "1234567 ,");
    EXPECT_EQ(written([] { write_single(&table, -5); }), "    -5 ,");
    EXPECT_EQ(written([] { write_single(&table, INT32_MIN); }), "-2147483648 ,");
}

TEST(TableEntries, BytePairIsHighThenLow)
{
    EXPECT_EQ(written([] { write_byte_pair(&table, 17072); }), "    66 ,    176 ,");
    EXPECT_EQ(written([] { write_byte_pair(&table, 18446); }), "    72 ,     14 ,");
    EXPECT_EQ(written([] { write_byte_pair(&table, 0); }), "     0 ,      0 ,");
    EXPECT_EQ(written([] { write_byte_pair(&table, 0xFFFF); }), "   255 ,    255 ,");
    EXPECT_EQ(written([] { write_byte_pair(&table, 0x0A09); }), "    10 ,      9 ,");
}

TEST(LineBreakRules, IndexAndCount)
{
    for (uint32_t q : {0u, 10u, 20u, 4090u}) {
        EXPECT_TRUE(line_end_due(BreakRule::Index, q, 1)) << q;
    }
    for (uint32_t q : {1u, 9u, 11u, 4095u, 4096u}) {
        EXPECT_FALSE(line_end_due(BreakRule::Index, q, 5)) << q;
    }
    for (uint32_t count : {5u, 10u, 1365u}) {
        EXPECT_TRUE(line_end_due(BreakRule::Count, 1, count)) << count;
    }
    for (uint32_t count : {1u, 4u, 6u, 1364u}) {
        EXPECT_FALSE(line_end_due(BreakRule::Count, 10, count)) << count;
    }
}

TEST(TableEntries, ManyBlocksArriveWholeAndInOrder)
{
    // Far more than one block: every block must reach the file, in order.
    std::string expected;
    char field[32];
    for (int32_t i = 0; i < 20000; ++i) {
        std::snprintf(field, sizeof field, "%6d ,", i * 37 - 1000);
        expected += field;
        if (i % 3 == 0) {
            expected += "\r\n";
        }
    }
    EXPECT_EQ(written([] {
                  for (int32_t i = 0; i < 20000; ++i) {
                      write_single(&table, i * 37 - 1000);
                      if (i % 3 == 0) {
                          write_line_end(&table);
                      }
                  }
              }),
              expected);
}

TEST(TableEntries, RepeatedAndChangingValuesAcrossBlocks)
{
    // Every digit count, each value repeated (copied from the last text) and
    // interleaved with pairs and line ends, over many blocks.
    const int32_t values[] = {0, 9, 10, 99, 100, 999, 1000, 9999, 10000, 99999, 100000, 999999, 1234567, -7, 5};
    std::string expected;
    char field[48];
    for (int round = 0; round < 400; ++round) {
        for (int32_t value : values) {
            for (int repeat = 0; repeat < 3; ++repeat) {
                std::snprintf(field, sizeof field, "%6d ,", value);
                expected += field;
            }
            std::snprintf(field, sizeof field, "%6d , %6d ,", (round * 7) & 0xFF, value & 0xFF);
            expected += field;
            if (value == 5) {
                expected += "\r\n";
            }
        }
    }
    EXPECT_EQ(written([&] {
                  for (int round = 0; round < 400; ++round) {
                      for (int32_t value : values) {
                          for (int repeat = 0; repeat < 3; ++repeat) {
                              write_single(&table, value);
                          }
                          write_byte_pair(&table, static_cast<uint16_t>((round * 7) << 8 | (value & 0xFF)));
                          if (value == 5) {
                              write_line_end(&table);
                          }
                      }
                  }
              }),
              expected);
}

TEST(TableEntries, StepOfZeroWritesNothing)
{
    EXPECT_EQ(written([] { write_entries(&table, option_row(7), 0); }), "");
}

TEST(TableClose, ReportsAFailedWrite)
{
    FILE* full = std::fopen("/dev/full", "w+b");
    if (full == nullptr) {
        GTEST_SKIP() << "no /dev/full here";
    }
    table_begin(&table, full);
    write_header_top(&table, HeaderVariant::Plain, 4096);
    EXPECT_FALSE(table_close(&table));
}
