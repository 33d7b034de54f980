// What a terminal reads off TxD0 at its own rate.
#include <gtest/gtest.h>

#include "machine/serial_line.h"

using namespace boardsim;

namespace {

std::vector<LineFrame> sent(const std::string& text, double baud, double gap = 0)
{
    std::vector<LineFrame> frames;
    double t = 1e-3;
    for (char c : text) {
        LineFrame f;
        f.start = t;
        f.baud = baud;
        f.byte = uint8_t(c);
        frames.push_back(f);
        t = f.end() + gap;
    }
    return frames;
}

}  // namespace

TEST(SerialLine, ATerminalAtTheLinesRateOrCloseToItReadsTheText)
{
    const std::string text = "Hello my first UART pro\n";
    EXPECT_EQ(receiveAt(sent(text, 115200), 115200), text);
    EXPECT_EQ(receiveAt(sent(text, 115200, 3e-4), 115200), text);  // idle gaps between bytes
    EXPECT_EQ(receiveAt(sent(text, 115200 * 1.02), 115200), text); // 2 % off: still sampled right
    EXPECT_EQ(receiveAt(sent(text, 115200 * 0.98), 115200), text);
}

TEST(SerialLine, AWrongRateIsGarbageAndTheTerminalSaysSo)
{
    const std::string text = "Hello my first UART pro\n";
    const std::string seen = receiveAt(sent(text, 28800), 115200);
    EXPECT_NE(seen, text);
    EXPECT_GT(seen.size(), 0u);
    EXPECT_NE(receiveAt(sent(text, 115200), 28800), text);

    HostTerminal terminal(115200);
    for (const LineFrame& f : sent("ok", 115200 * 1.025)) {
        EXPECT_FALSE(terminal.receive(f));  // within 3 %
    }
    HostTerminal slow(115200);
    EXPECT_TRUE(slow.receive(sent("x", 28800).front()));
    EXPECT_TRUE(slow.garbled());
    EXPECT_DOUBLE_EQ(slow.lineBaud(), 28800);
}

// A receiver fed each frame as it ends reads what it reads of the whole
// line at once, and at the line's rate each byte as soon as it has ended.
TEST(SerialLine, AReceiverFedFrameByFrameReadsAsFromTheWholeLine)
{
    const std::vector<LineFrame> frames = sent("Hello my first UART pro\n", 115200, 2e-5);
    for (const double baud : {115200.0, 28800.0, 9600.0, 460800.0}) {
        LineReceiver receiver(baud);
        std::string text;
        for (const LineFrame& f : frames) {
            receiver.add(f);
            const std::string now = receiver.take(f.end());
            if (baud == 115200.0) {
                EXPECT_EQ(now, std::string(1, char(f.byte)));
            }
            text += now;
        }
        text += receiver.take(frames.back().end() + 1);
        EXPECT_EQ(text, receiveAt(frames, baud)) << baud;
    }
}
