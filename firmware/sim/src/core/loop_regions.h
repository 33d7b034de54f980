// Busy-wait loops in flash: a run of register-only instructions closed by a
// branch back to its first one. Such a loop can neither fault nor touch
// memory. A countdown among them (a delay loop's "subs r3, r3, #1 / bne")
// leaves nothing behind a turn but its counter, so the board can count its
// turns without running them: most of a firmware's time is spent in them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/arm_timing.h"

namespace boardsim {

struct LoopRegion {
    uint32_t start;  // first instruction, the branch target
    uint32_t end;    // the backward branch
    bool thumb = false;
    // A countdown ("subs rN, rN, #step" then "bne" back to it): how many
    // more turns it takes follows from rN, so turns can be skipped exactly.
    int counter = -1;  // N, or -1 for any other loop
    uint32_t step = 0;
    unsigned length() const { return (end - start) / (thumb ? 2 : 4) + 1; }
};

// Thumb countdowns in `words` read as halfwords: "subs rN, #k" (or "subs
// rN, rN, #k") then "bne" back to it. `plain(i)` as below, for the word
// holding the halfword.
template <typename Plain>
std::vector<LoopRegion> findThumbCountdowns(const std::vector<uint32_t>& words, Plain plain);

// Fills in `counter` and `step` when the two Thumb halfwords at `loop`
// are a countdown.
void recogniseThumbCountdown(LoopRegion& loop, uint16_t subs, uint16_t bne);

// Fills in `counter` and `step` when `loop` is a countdown.
void recogniseCountdown(LoopRegion& loop, const std::vector<uint32_t>& words);

// The loop regions in `words` (the flash, one ARM word each, at address 4i).
// `plain(i)` says whether word i may run without a callback (no watched
// function, trap or breakpoint there).
template <typename Plain>
std::vector<LoopRegion> findLoopRegions(const std::vector<uint32_t>& words, const std::vector<InsnTiming>& timing,
                                        Plain plain);

bool registerOnly(uint32_t word, const InsnTiming& timing);

constexpr unsigned kMaxLoopLength = 32;

template <typename Plain>
std::vector<LoopRegion> findLoopRegions(const std::vector<uint32_t>& words, const std::vector<InsnTiming>& timing,
                                        Plain plain)
{
    std::vector<LoopRegion> regions;
    for (size_t i = 0; i < words.size(); ++i) {
        const uint32_t word = words[i];
        if ((word >> 28) == 0xF || ((word >> 24) & 0xF) != 0xA) {
            continue;  // B only: BL would leave the loop
        }
        const auto offset = int32_t(word << 8) >> 6;  // imm24, sign-extended, x 4
        const int64_t target = int64_t(i) * 4 + 8 + offset;
        const auto end = uint32_t(i * 4);
        if (target > int64_t(end) || target < 0 || end - uint32_t(target) >= 4 * kMaxLoopLength) {
            continue;
        }
        const auto start = uint32_t(target);
        bool ok = plain(i);
        for (uint32_t a = start; ok && a < end; a += 4) {
            ok = plain(a / 4) && registerOnly(words[a / 4], timing[a / 4]);
        }
        if (ok && (regions.empty() || regions.back().end < start)) {
            regions.push_back({start, end});
            recogniseCountdown(regions.back(), words);
        }
    }
    return regions;
}

template <typename Plain>
std::vector<LoopRegion> findThumbCountdowns(const std::vector<uint32_t>& words, Plain plain)
{
    std::vector<LoopRegion> regions;
    const auto halfword = [&words](size_t h) { return uint16_t(words[h / 2] >> ((h & 1) * 16)); };
    for (size_t h = 1; h < words.size() * 2; ++h) {
        const uint16_t branch = halfword(h);
        // bne back by exactly one instruction: offset -3 halfwords from PC + 4.
        if (branch != 0xD1FD || !plain(h / 2) || !plain((h - 1) / 2)) {
            continue;
        }
        LoopRegion loop{uint32_t((h - 1) * 2), uint32_t(h * 2), true};
        recogniseThumbCountdown(loop, halfword(h - 1), branch);
        if (loop.counter >= 0) {
            regions.push_back(loop);
        }
    }
    return regions;
}

}  // namespace boardsim
