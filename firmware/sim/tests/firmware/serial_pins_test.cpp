// UART0's line on its pins, as a logic analyzer on P0.0 and P0.1 would see
// it: each frame bit by bit, every edge on a bit boundary of its frame at
// the line's rate, what the UART sends on TxD0 and what the host types on
// RxD0.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "machine/board.h"

using namespace boardsim;

namespace {

constexpr double kBit = 1 / 115200.0;

// The edges one pin made, and the bytes a receiver reads from them.
struct Line {
    std::vector<std::pair<double, bool>> edges;

    bool levelAt(double time) const
    {
        bool level = true;  // idle, pulled up
        for (const auto& [at, to] : edges) {
            if (at > time) {
                break;
            }
            level = to;
        }
        return level;
    }

    // 8N1: each falling edge from idle starts a frame, sampled mid-bit.
    std::string bytes() const
    {
        std::string text;
        double busyUntil = -1;
        for (const auto& [at, to] : edges) {
            if (to || at < busyUntil) {
                continue;
            }
            unsigned byte = 0;
            for (unsigned n = 0; n < 8; ++n) {
                byte |= unsigned(levelAt(at + (n + 1.5) * kBit)) << n;
            }
            EXPECT_TRUE(levelAt(at + 9.5 * kBit)) << "no stop bit after " << byte;
            text += char(byte);
            busyUntil = at + 9.5 * kBit;
        }
        return text;
    }

    // The largest distance of an edge from a bit boundary of its frame.
    double offBoundary() const
    {
        double worst = 0;
        double start = -1;
        for (const auto& [at, to] : edges) {
            if (!to && (start < 0 || at >= start + 9.5 * kBit)) {
                start = at;
            }
            const double bits = (at - start) / kBit;
            worst = std::max(worst, std::abs(bits - std::round(bits)) * kBit);
        }
        return worst;
    }
};

}  // namespace

TEST(SerialPins, TheGreetingLeavesOnTxd0BitByBitAtTheLinesBitTimes)
{
    const ElfImage image = ElfImage::fromFile(FIRMWARE_ELF);
    Board board(image);
    Line txd;
    board.machine().pins().listen(1u << 0, [&](unsigned, bool level, double time) {
        txd.edges.emplace_back(time, level);
    });
    board.runUntil(When::at(0.004));
    EXPECT_EQ(txd.bytes(), "Hello my first UART pro\n");
    EXPECT_LT(txd.offBoundary(), 1e-9);
    ASSERT_FALSE(txd.edges.empty());
    EXPECT_NEAR(txd.edges.back().first, 2.54e-3 - kBit, 0.02e-3) << "the newline's last data bit ends the edges";
}

TEST(SerialPins, WhatTheHostTypesArrivesOnRxd0AtTheTerminalsRate)
{
    const ElfImage image = ElfImage::fromFile(FIRMWARE_ELF);
    Board board(image);
    Line rxd;
    board.machine().pins().listen(1u << 1, [&](unsigned, bool level, double time) {
        rxd.edges.emplace_back(time, level);
    });
    board.runUntil(When::at(0.01));  // past UART0_Init: P0.1 is RxD0
    const double typed = board.seconds();
    for (const char c : std::string("ok?")) {
        board.hostSend(uint8_t(c));
    }
    board.runUntil(When::at(0.011));
    EXPECT_EQ(rxd.bytes(), "ok?");
    EXPECT_LT(rxd.offBoundary(), 1e-9);
    ASSERT_FALSE(rxd.edges.empty());
    EXPECT_NEAR(rxd.edges.front().first, typed, 1e-9) << "the first start bit begins as the host types";
    EXPECT_EQ(board.machine().uart0.received(), 3u) << "and the UART took the frames in";
}
