#include "reference_table.h"

#include <cmath>
#include <cstdio>

#include "gbk_convert.h"

namespace {

double voltage(uint32_t q, bool cosine, bool lifted)
{
    uint32_t twice = 2u * q;
    double angle = (double)twice * 3.1415926 / 4096;
    double s = cosine ? std::cos(angle) : std::sin(angle);
    double v = (s + 1) * 0.5;
    return lifted ? v + 1 : v;
}

int code_5617(double v)
{
    if (v < 0 || v >= 2.98) return 0;
    return ((int)(v * 512 / 1.49)) * 4;
}

int code_5618(double v)
{
    if (v < 0 || v >= 2.98) return 0;
    return (int)(v * 2048 / 1.49);
}

std::string format(const char* pattern, int a, int b = 0)
{
    char text[64];
    std::snprintf(text, sizeof text, pattern, a, b);
    return text;
}

}  // namespace

std::string reference_file_name(int option)
{
    const char* names[] = {"sin_ROM.txt",
                           "cos_ROM.txt",
                           "TLV5617_fast_sin_ROM.txt",
                           "TLV5617_fast_sin_ROM_2.txt",
                           "TLV5618_1V正弦数据.txt",
                           "TLV5618_正弦+方波数据.txt",
                           "TLV5618_步进量正弦数据.txt",
                           "TLV5618_步进量正弦+方波数据.txt",
                           "正弦数据 for DAC12.txt"};
    return gbk(names[option - 1]);
}

std::string reference_table(int option, int32_t step)
{
    std::string t;
    // Header.
    if (option <= 2) {
        t += "DEPTH = 4096\r\n";
    } else {
        const char* width = option == 3 ? "16" : option == 9 ? "12" : "8";
        t += std::string("WIDTH = ") + width + "\r\n";
        t += "DEPTH = 4096 \r\n";
        if (option == 7 || option == 8) t += format("STEP = %d \r\n", step);
    }
    t += "CONTENT BEGIN:\r\n";
    if (option >= 4 && option <= 8) t += gbk("快速B通道") + "\r\n";
    if (option == 9) t += gbk("正弦数据 for DAC12") + "\r\n";

    // Entries.
    if (option == 7 || option == 8) {
        uint32_t count = 0;
        for (uint32_t q = 1; q < 4096; q += (uint32_t)step) {
            count++;
            if (count % 5 == 0) t += "\r\n";
            int word = (code_5618(voltage(q, false, option == 8)) | 0x4000) & 0xFFFF;
            t += format("%6d , %6d ,", word >> 8, word & 0xFF);
        }
        return t;
    }
    uint32_t first = option == 9 ? 0 : 1;
    uint32_t last = option >= 6 ? 4095 : 4096;
    for (uint32_t q = first; q <= last; q++) {
        if (q % 10 == 0) t += "\r\n";
        double v = voltage(q, option == 2, option == 6);
        if (option <= 3) {
            int code = code_5617(v);
            if (option == 3) code |= 0x4000;
            t += format("%6d ,", code);
        } else if (option <= 6) {
            int word = (option == 4 ? code_5617(v) : code_5618(v)) | 0x4000;
            t += format("%6d , %6d ,", word >> 8, word & 0xFF);
        } else {
            uint32_t u = (uint32_t)(v * 100);
            t += format("%6d ,", (int)((u << 12) / 150));
        }
    }
    return t;
}
