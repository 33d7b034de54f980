// The program's console texts as a reader would spell them, in UTF-8; tests
// convert them to GBK with iconv.
#pragma once

inline constexpr char MENU_UTF8[] =
    "波形数据生成器\n"
    "1.正弦波\n"
    "2.余弦波\n"
    "3.TLV5617A快速B通道正弦波\n"
    "4.将选项3的数据拆分成8位\n"
    "5.正弦信号(0~1V) for TLV5618\n"
    "6.方波信号(先1V后0) 与正弦信号(No.5)叠加 for TLV5618\n"
    "7.设置步进量的正弦信号数据 for TLV5618\n"
    "8.设置步进量的正弦+方波数据for TLV5618\n"
    "9.正弦信号(0~2V) for MSP430X2XX dac12 \n";
inline constexpr char PROMPT_OPTION_UTF8[] = "请输入对应的序号：";
inline constexpr char PROMPT_STEP_UTF8[] = "请输入步进量:\t";
inline constexpr char BAD_OPTION_UTF8[] = "Error! 序号输入错误！";
inline constexpr char BAD_STEP_UTF8[] = "Error! 步进量输入错误！";
