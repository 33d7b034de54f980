// Every Chinese text of dactables, as the GBK (code page 936) bytes the program
// prints and writes on every platform. The readable text stands beside each
// literal; tests/gbk_text_test.cpp converts that text with iconv and compares.
// A literal is split where an ASCII hex digit follows a byte escape, so that the
// digit does not become part of the escape.
#pragma once

// The whole menu, each line ending in a line end.
inline constexpr char MENU_TEXT[] =
    "\xB2\xA8\xD0\xCE\xCA\xFD\xBE\xDD\xC9\xFA\xB3\xC9\xC6\xF7\n"  // 波形数据生成器
    "1.\xD5\xFD\xCF\xD2\xB2\xA8\n"                                // 1.正弦波
    "2.\xD3\xE0\xCF\xD2\xB2\xA8\n"                                // 2.余弦波
    "3.TLV5617A\xBF\xEC\xCB\xD9"
    "B\xCD\xA8\xB5\xC0\xD5\xFD\xCF\xD2\xB2\xA8\n"  // 3.TLV5617A快速B通道正弦波
    "4.\xBD\xAB\xD1\xA1\xCF\xEE"
    "3\xB5\xC4\xCA\xFD\xBE\xDD\xB2\xF0\xB7\xD6\xB3\xC9"
    "8\xCE\xBB\n"                                               // 4.将选项3的数据拆分成8位
    "5.\xD5\xFD\xCF\xD2\xD0\xC5\xBA\xC5(0~1V) for TLV5618\n"  // 5.正弦信号(0~1V) for TLV5618
    "6.\xB7\xBD\xB2\xA8\xD0\xC5\xBA\xC5(\xCF\xC8"
    "1V\xBA\xF3"
    "0) \xD3\xEB\xD5\xFD\xCF\xD2\xD0\xC5\xBA\xC5(No.5)\xB5\xFE\xBC\xD3 for TLV5618\n"
    // 6.方波信号(先1V后0) 与正弦信号(No.5)叠加 for TLV5618
    "7.\xC9\xE8\xD6\xC3\xB2\xBD\xBD\xF8\xC1\xBF\xB5\xC4\xD5\xFD\xCF\xD2\xD0\xC5\xBA\xC5\xCA\xFD\xBE\xDD for TLV5618\n"
    // 7.设置步进量的正弦信号数据 for TLV5618
    "8.\xC9\xE8\xD6\xC3\xB2\xBD\xBD\xF8\xC1\xBF\xB5\xC4\xD5\xFD\xCF\xD2+\xB7\xBD\xB2\xA8\xCA\xFD\xBE\xDD"
    "for TLV5618\n"
    // 8.设置步进量的正弦+方波数据for TLV5618  (no blank before "for")
    "9.\xD5\xFD\xCF\xD2\xD0\xC5\xBA\xC5(0~2V) for MSP430X2XX dac12 \n";
    // 9.正弦信号(0~2V) for MSP430X2XX dac12   (ends with a blank)

// 请输入对应的序号：  (full-width colon, no line end)
inline constexpr char PROMPT_OPTION[] =
    "\xC7\xEB\xCA\xE4\xC8\xEB\xB6\xD4\xD3\xA6\xB5\xC4\xD0\xF2\xBA\xC5\xA3\xBA";

// 请输入步进量:  then a tab (ASCII colon, no line end)
inline constexpr char PROMPT_STEP[] = "\xC7\xEB\xCA\xE4\xC8\xEB\xB2\xBD\xBD\xF8\xC1\xBF:\t";

// Error! 序号输入错误！
inline constexpr char MSG_BAD_OPTION[] =
    "Error! \xD0\xF2\xBA\xC5\xCA\xE4\xC8\xEB\xB4\xED\xCE\xF3\xA3\xA1";

// Error! 步进量输入错误！
inline constexpr char MSG_BAD_STEP[] =
    "Error! \xB2\xBD\xBD\xF8\xC1\xBF\xCA\xE4\xC8\xEB\xB4\xED\xCE\xF3\xA3\xA1";

// TLV5618_1V正弦数据.txt
inline constexpr char FILE_TLV5618_SINE[] = "TLV5618_1V\xD5\xFD\xCF\xD2\xCA\xFD\xBE\xDD.txt";

// TLV5618_正弦+方波数据.txt
inline constexpr char FILE_TLV5618_SINE_SQUARE[] =
    "TLV5618_\xD5\xFD\xCF\xD2+\xB7\xBD\xB2\xA8\xCA\xFD\xBE\xDD.txt";

// TLV5618_步进量正弦数据.txt
inline constexpr char FILE_TLV5618_STEP_SINE[] =
    "TLV5618_\xB2\xBD\xBD\xF8\xC1\xBF\xD5\xFD\xCF\xD2\xCA\xFD\xBE\xDD.txt";

// TLV5618_步进量正弦+方波数据.txt
inline constexpr char FILE_TLV5618_STEP_SINE_SQUARE[] =
    "TLV5618_\xB2\xBD\xBD\xF8\xC1\xBF\xD5\xFD\xCF\xD2+\xB7\xBD\xB2\xA8\xCA\xFD\xBE\xDD.txt";

// 正弦数据 for DAC12.txt
inline constexpr char FILE_DAC12_SINE[] = "\xD5\xFD\xCF\xD2\xCA\xFD\xBE\xDD for DAC12.txt";

// 快速B通道  (header line of the fast channel B tables)
inline constexpr char HEADER_FAST_CHANNEL_B[] = "\xBF\xEC\xCB\xD9"
                                                "B\xCD\xA8\xB5\xC0";

// 正弦数据 for DAC12  (header line of the DAC12 table)
inline constexpr char HEADER_DAC12_SINE[] = "\xD5\xFD\xCF\xD2\xCA\xFD\xBE\xDD for DAC12";
