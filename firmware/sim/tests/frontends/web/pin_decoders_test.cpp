#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frontends/web/pin_decoders.h"
#include "machine/serial_line.h"

namespace boardsim {
namespace {

constexpr double kBaud = 115200;

// The line's edges for `text` sent 8N1 from `start`, a frame right after the other.
std::vector<std::pair<double, bool>> uartEdges(const std::string& text, double start, double baud = kBaud)
{
    std::vector<std::pair<double, bool>> edges;
    bool level = true;
    double t = start;
    for (const char c : text) {
        LineFrame frame;
        frame.start = t;
        frame.baud = baud;
        frame.byte = uint8_t(c);
        for (unsigned bit = 0; bit < frame.bits(); ++bit) {
            if (frame.level(bit) != level) {
                level = frame.level(bit);
                edges.emplace_back(t + bit / baud, level);
            }
        }
        t = frame.end();
    }
    return edges;
}

std::string decodeUart(const std::vector<std::pair<double, bool>>& edges, double until,
                       std::vector<PinAnnotation>* annotations = nullptr)
{
    UartPinDecoder decoder(0, [] { return kBaud; });
    std::vector<PinAnnotation> out;
    for (const auto& [time, level] : edges) {
        decoder.edge(time, level, out);
    }
    decoder.settle(until, out);
    std::string bytes;
    for (const PinAnnotation& a : out) {
        bytes += char(a.byte);
    }
    if (annotations != nullptr) {
        *annotations = out;
    }
    return bytes;
}

TEST(UartPinDecoder, ReadsFramesFromTheirEdgesWithTheirTimes)
{
    std::vector<PinAnnotation> annotations;
    EXPECT_EQ(decodeUart(uartEdges("Hello\n", 0.001), 0.01, &annotations), "Hello\n");
    ASSERT_EQ(annotations.size(), 6u);
    EXPECT_NEAR(annotations[0].from, 0.001, 1e-12);
    EXPECT_NEAR(annotations[0].to - annotations[0].from, 10 / kBaud, 1e-12);
    EXPECT_EQ(annotations[0].label, "48 'H'");
    EXPECT_EQ(annotations[5].label, "0A");
    // A frame still on the line is not read before its stop bit's middle.
    EXPECT_EQ(decodeUart(uartEdges("AB", 0), 19 / kBaud), "A");
}

TEST(UartPinDecoder, MarksABadStopBitAndIgnoresAGlitch)
{
    // 0x00 with its stop bit low: ten bit times low, then high again.
    const std::vector<std::pair<double, bool>> broken = {{0, false}, {10 / kBaud, true}};
    std::vector<PinAnnotation> annotations;
    decodeUart(broken, 1, &annotations);
    ASSERT_EQ(annotations.size(), 1u);
    EXPECT_EQ(annotations[0].label, "00 !");
    // Low for less than half a bit: no start bit.
    EXPECT_EQ(decodeUart({{0, false}, {0.3 / kBaud, true}}, 1), "");
    // A line not set up (no rate) reads nothing.
    UartPinDecoder idle(0, [] { return 0.0; });
    std::vector<PinAnnotation> out;
    for (const auto& [time, level] : uartEdges("x", 0)) {
        idle.edge(time, level, out);
    }
    idle.settle(1, out);
    EXPECT_TRUE(out.empty());
}

// SPI master edges: CPOL 0, MSB first; CPHA 0 puts each bit on MOSI half a
// period before its rising edge, CPHA 1 at its rising edge.
struct SpiBus {
    static constexpr unsigned kSck = 4, kMosi = 6, kLcdCs = 21, kDacCs = 23;
    SpiPinDecoder decoder{kSck, kMosi, {{"LCD", kLcdCs, false}, {"DAC", kDacCs, true}}};
    std::vector<PinAnnotation> out;
    double t = 0;
    static constexpr double kHalf = 1e-6;

    void set(unsigned pin, bool level) { decoder.edge(pin, t, level, out); }
    void byte(uint8_t value, bool cpha, unsigned bits = 8)
    {
        for (unsigned n = 0; n < bits; ++n) {
            const bool bit = ((value >> (7 - n)) & 1) != 0;
            if (!cpha) {
                set(kMosi, bit);
            }
            t += kHalf;
            set(kSck, true);
            if (cpha) {
                set(kMosi, bit);
            }
            t += kHalf;
            set(kSck, false);
        }
    }
};

TEST(SpiPinDecoder, ReadsEachDeviceInItsOwnPhaseWhileItIsSelected)
{
    SpiBus bus;
    bus.set(SpiBus::kLcdCs, false);
    bus.byte(0x21, false);
    bus.byte(0xC8, false);
    bus.set(SpiBus::kLcdCs, true);
    bus.set(SpiBus::kDacCs, false);
    bus.byte(0x4F, true);
    bus.byte(0xA5, true);
    bus.set(SpiBus::kDacCs, true);
    ASSERT_EQ(bus.out.size(), 4u);
    EXPECT_EQ(bus.out[0].label, "LCD 21 '!'");
    EXPECT_EQ(bus.out[1].byte, 0xC8);
    EXPECT_EQ(bus.out[2].label, "DAC 4F 'O'");
    EXPECT_EQ(bus.out[3].byte, 0xA5);
    EXPECT_EQ(bus.out[3].pin, SpiBus::kMosi);
    // From the first rising edge to the eighth sampling edge.
    EXPECT_NEAR(bus.out[0].to - bus.out[0].from, 14 * SpiBus::kHalf, 1e-12);
}

TEST(SpiPinDecoder, DropsABytePastItsChipSelectAndWhatNoDeviceIsSelectedFor)
{
    SpiBus bus;
    bus.byte(0x55, false);  // nobody selected
    bus.set(SpiBus::kLcdCs, false);
    bus.byte(0xFF, false, 5);  // cut short
    bus.set(SpiBus::kLcdCs, true);
    bus.set(SpiBus::kLcdCs, false);
    bus.byte(0x0F, false);
    ASSERT_EQ(bus.out.size(), 1u);
    EXPECT_EQ(bus.out[0].byte, 0x0F);
}

}  // namespace
}  // namespace boardsim
