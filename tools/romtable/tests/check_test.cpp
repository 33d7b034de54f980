// The strict check: every table kind passes as the generator writes it, and
// each kind of damage is found at its line and column.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "kinds.h"
#include "table_format.h"
#include "test_tables.h"

namespace {

const std::string FAST_B = "\xBF\xEC\xCB\xD9" "B\xCD\xA8\xB5\xC0";

std::string problems_text(const CheckResult& result)
{
    std::string text;
    for (const Problem& p : result.problems) {
        text += std::to_string(p.line) + ":" + std::to_string(p.column) + ": " + p.message + "\n";
    }
    return text;
}

struct Damage {
    const char* name;
    int option;
    std::function<std::string(const std::string&)> apply;
    int line;
    int column;
    const char* message_part;
};

// Option 1: header lines 1-2, then line 3 holds q = 1..9 (8 characters each),
// line 412 (q = 4090..4096) is the last. Option 5: header lines 1-4, pairs of
// 17 characters from line 5. Option 9: an empty line 5, entries from line 6.
const std::vector<Damage>& damages()
{
    static const std::vector<Damage> list = {
        {"lone LF", 1, [](const std::string& t) { return replaced(t, "\r\n", "\n", 40); }, 3, 73, "LF alone"},
        {"lone CR", 1, [](const std::string& t) { return replaced(t, "\r\n", "\r", 40); }, 3, 73, "found CR"},
        {"blank after plain DEPTH", 1, [](const std::string& t) { return replaced(t, "4096\r\n", "4096 \r\n"); }, 1, 13,
         "no blank"},
        {"WIDTH 10", 3, [](const std::string& t) { return replaced(t, "WIDTH = 16", "WIDTH = 10"); }, 1, 9,
         "WIDTH must be"},
        {"DEPTH 4095", 5, [](const std::string& t) { return replaced(t, "4096 ", "4095 "); }, 2, 9, "DEPTH is 4096"},
        {"DEPTH without its blank", 5, [](const std::string& t) { return replaced(t, "4096 \r\n", "4096\r\n"); }, 2, 13,
         "expected a blank"},
        {"fast channel B line missing", 5, [](const std::string& t) { return replaced(t, FAST_B + "\r\n", ""); }, 4, 1,
         "fast channel B"},
        {"STEP 0", 7, [](const std::string& t) { return replaced(t, "STEP = 1 ", "STEP = 0 "); }, 3, 8,
         "STEP must not be 0"},
        {"CONTENT BEGIN misspelt", 9, [](const std::string& t) { return replaced(t, "CONTENT", "CONTENTS"); }, 3, 1,
         "CONTENT BEGIN"},
        {"field not six wide", 1, [](const std::string& t) { return replaced(t, "   688 ,", "  688  ,"); }, 3, 1,
         "right-aligned"},
        {"separator", 1, [](const std::string& t) { return replaced(t, "   688 ,", "   688 ;"); }, 3, 7, "expected \" ,\""},
        {"negative number", 1, [](const std::string& t) { return replaced(t, "   688 ,", "  -688 ,"); }, 3, 3, "negative"},
        {"line end missing", 1, [](const std::string& t) { return replaced(t, "\r\n", "", 40); }, 3, 73,
         "expected a line end before entry 10"},
        {"line end too early", 1, [](const std::string& t) { return replaced(t, "   688 ,", "   688 ,\r\n", 30); }, 3, 9,
         "line end after 1 entries"},
        {"empty line of DAC12 missing", 9,
         [](const std::string& t) { return replaced(t, "DAC12\r\n\r\n", "DAC12\r\n"); }, 5, 1,
         "expected a line end before entry 1"},
        {"step table breaks every fifth", 7, [](const std::string& t) { return replaced(t, "\r\n", " ", 80); }, 6, 69,
         "expected a line end before entry 5"},
        {"last comma missing", 1, [](const std::string& t) { return t.substr(0, t.size() - 1); }, 412, 56,
         "ends inside an entry"},
        {"line end after the last entry", 1, [](const std::string& t) { return t + "\r\n"; }, 412, 57,
         "ends with a line end"},
        {"last entry missing", 1, [](const std::string& t) { return t.substr(0, t.size() - 8); }, 412, 49,
         "4095 entries, but DEPTH = 4096 says 4096"},
        {"cut in the middle", 5, [](const std::string& t) { return t.substr(0, 5000); }, 0, 0, "cut short"},
        {"5617 code not a multiple of 4", 1, [](const std::string& t) { return replaced(t, "   688 ,", "   690 ,"); }, 3,
         1, "multiple of 4"},
        {"16-bit word without 0x4000", 3, [](const std::string& t) { return replaced(t, " 17072 ,", "   688 ,"); }, 4,
         1, "0x4000"},
        {"byte above 255", 5, [](const std::string& t) { return replaced(t, "   176 ,", "   256 ,"); }, 5, 10,
         "0 to 255"},
        {"high byte without 0x40", 5, [](const std::string& t) { return replaced(t, "    66 ,", "     2 ,"); }, 5, 1,
         "0x40"},
        {"DAC12 code above 4095", 9, [](const std::string& t) { return replaced(t, "  1365 ,", "  4096 ,"); }, 6, 1,
         "0 to 4095"},
        {"NUL bytes", 1, [](const std::string& t) { return replaced(t, "   688", std::string("\0\0\0688", 6)); }, 3, 1,
         "byte 0x00"},
        {"not a table at all", 1, [](const std::string&) { return std::string("hello\r\n"); }, 1, 1, "not a DAC table"},
        {"empty file", 1, [](const std::string&) { return std::string(); }, 1, 1, "not a DAC table"},
        {"5618 words cut to 4095 entries", 5, [](const std::string& t) { return t.substr(0, t.size() - 17); }, 0, 0,
         "of a 1 to 2 V sine (option 6)"},
    };
    return list;
}

}  // namespace

TEST(CheckTable, EveryKindPassesAsWritten)
{
    for (int option = 1; option <= 9; ++option) {
        const std::vector<int32_t> steps =
            option == 7 || option == 8 ? std::vector<int32_t>{1, 3, 7, 4094, 4095, 5000, -1, -3, INT32_MIN}
                                       : std::vector<int32_t>{1};
        for (int32_t step : steps) {
            const CheckResult result = check_table(sample_table(option, step));
            EXPECT_TRUE(result.ok()) << "option " << option << " step " << step << "\n" << problems_text(result);
            const std::vector<int> fits = fitting_options(result.table);
            EXPECT_NE(std::find(fits.begin(), fits.end(), option), fits.end()) << "option " << option;
        }
    }
}

TEST(CheckTable, EachDamageFoundAtItsPlace)
{
    for (const Damage& d : damages()) {
        const CheckResult result = check_table(d.apply(sample_table(d.option)));
        ASSERT_FALSE(result.problems.empty()) << d.name;
        const Problem& first = result.problems.front();
        EXPECT_NE(first.message.find(d.message_part), std::string::npos) << d.name << "\n" << problems_text(result);
        if (d.line != 0) {
            EXPECT_EQ(first.line, d.line) << d.name << "\n" << problems_text(result);
            EXPECT_EQ(first.column, d.column) << d.name << "\n" << problems_text(result);
        }
    }
}

// git or an editor turns every CR LF into LF: one finding, not one per line;
// the values read as from the table itself, and any other damage still
// found at its place.
TEST(CheckTable, LfLineEndsThroughoutAreOneFinding)
{
    const std::string table = sample_table(8, 3);
    const std::string lf = replaced_all(table, "\r\n", "\n");
    const CheckResult sound = check_table(table);
    const CheckResult converted = check_table(lf);
    EXPECT_TRUE(converted.lf_line_ends);
    EXPECT_TRUE(converted.readable()) << problems_text(converted);
    EXPECT_FALSE(converted.ok());
    EXPECT_EQ(converted.lf_line, 1);
    EXPECT_EQ(converted.lf_column, 10);  // after "WIDTH = 8"
    EXPECT_EQ(converted.table.values, sound.table.values);
    EXPECT_EQ(converted.table.step, 3);

    const std::string damaged = replaced(table, "    66 ,", "    66 .", 200);
    const CheckResult both = check_table(replaced_all(damaged, "\r\n", "\n"));
    const CheckResult alone = check_table(damaged);
    ASSERT_EQ(both.problems.size(), 1u) << problems_text(both);
    ASSERT_EQ(alone.problems.size(), 1u) << problems_text(alone);
    EXPECT_EQ(both.problems[0].line, alone.problems[0].line);
    EXPECT_EQ(both.problems[0].column, alone.problems[0].column);
    EXPECT_FALSE(both.readable());

    // A few lines turned, the others not: each is damage of its own.
    const CheckResult mixed = check_table(replaced(table, "\r\n", "\n", 300));
    EXPECT_FALSE(mixed.lf_line_ends);
    EXPECT_EQ(mixed.problems.size(), 1u) << problems_text(mixed);
}

TEST(CheckTable, EveryBadValueListedUpToTheLimit)
{
    std::string table = sample_table(1);
    std::size_t changed = 0;
    for (std::size_t at = table.find("   688 ,"); at != std::string::npos; at = table.find("   688 ,", at)) {
        table.replace(at, 8, "   689 ,");
        ++changed;
    }
    const CheckResult some = check_table(table);
    EXPECT_GT(changed, 4u);
    EXPECT_EQ(some.problems.size(), changed) << problems_text(some);

    std::string all_bad = sample_table(3);
    const std::size_t data = all_bad.find("BEGIN:");
    for (std::size_t at = all_bad.find(" 1", data); at != std::string::npos; at = all_bad.find(" 1", at + 2)) {
        all_bad[at + 1] = '2';  // 17072 -> 27072 and alike: no control bit pattern left
    }
    const CheckResult many = check_table(all_bad);
    ASSERT_EQ(many.problems.size(), MAX_PROBLEMS + 1);
    EXPECT_NE(many.problems.back().message.find("more problems not listed"), std::string::npos);
}

TEST(FittingOptions, TellsTheKindsOfOneHeaderApart)
{
    EXPECT_EQ(fitting_options(check_table(sample_table(4)).table), (std::vector<int>{4, 5}));
    EXPECT_EQ(fitting_options(check_table(sample_table(5)).table), (std::vector<int>{5}));
    EXPECT_EQ(fitting_options(check_table(sample_table(6)).table), (std::vector<int>{6}));
    EXPECT_EQ(fitting_options(check_table(sample_table(7, 3)).table), (std::vector<int>{7}));
    EXPECT_EQ(fitting_options(check_table(sample_table(8, 3)).table), (std::vector<int>{8}));
}

TEST(ConverterModel, VoltsOfCodes)
{
    EXPECT_DOUBLE_EQ(volts(Converter::Tlv5617, 1372), 343 * 2.98 / 1024);
    EXPECT_DOUBLE_EQ(volts(Converter::Tlv5618, 1374), 1374 * 2.98 / 4096);
    EXPECT_DOUBLE_EQ(volts(Converter::Dac12, 2703), 2703 * 1.5 / 4096);
    EXPECT_EQ(code_of(3, 0x4000 | 1372), 1372u);
    EXPECT_EQ(code_of(9, 2703), 2703u);
}
