// Every Chinese literal of the program, against a real GBK conversion of its
// readable spelling.
#include <gtest/gtest.h>

#include "expected_text.h"
#include "gbk_convert.h"
#include "gbk_text.h"

TEST(GbkText, MenuMatchesGbkConversion)
{
    EXPECT_EQ(gbk(MENU_UTF8), MENU_TEXT);
}

TEST(GbkText, PromptsMessagesNamesAndHeadersMatchGbkConversion)
{
    EXPECT_EQ(gbk(PROMPT_OPTION_UTF8), PROMPT_OPTION);
    EXPECT_EQ(gbk(PROMPT_STEP_UTF8), PROMPT_STEP);
    EXPECT_EQ(gbk(BAD_OPTION_UTF8), MSG_BAD_OPTION);
    EXPECT_EQ(gbk(BAD_STEP_UTF8), MSG_BAD_STEP);
    EXPECT_EQ(gbk("TLV5618_1V正弦数据.txt"), FILE_TLV5618_SINE);
    EXPECT_EQ(gbk("TLV5618_正弦+方波数据.txt"), FILE_TLV5618_SINE_SQUARE);
    EXPECT_EQ(gbk("TLV5618_步进量正弦数据.txt"), FILE_TLV5618_STEP_SINE);
    EXPECT_EQ(gbk("TLV5618_步进量正弦+方波数据.txt"), FILE_TLV5618_STEP_SINE_SQUARE);
    EXPECT_EQ(gbk("正弦数据 for DAC12.txt"), FILE_DAC12_SINE);
    EXPECT_EQ(gbk("快速B通道"), HEADER_FAST_CHANNEL_B);
    EXPECT_EQ(gbk("正弦数据 for DAC12"), HEADER_DAC12_SINE);
}
