// The probe programs of images/kit, built into PROBE_DIR by the tests'
// CMake rules (kit_<program>_<isa>.elf), and what tests read of a run of
// one: its symbols, its words in RAM, its return from main.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "image/elf_image.h"
#include "machine/board.h"

namespace boardsim::testing {

inline ElfImage kit(const std::string& name)
{
    return ElfImage::fromFile(std::string(PROBE_DIR) + "/kit_" + name + ".elf");
}

inline uint32_t symbol(const ElfImage& image, const std::string& name)
{
    const auto s = image.find(name);
    if (!s) {
        throw std::runtime_error("probe program lacks " + name);
    }
    return s->address;
}

// The word at `name` (or `index` words past it) in the board's memory.
inline uint32_t word(const Board& board, const std::string& name, uint32_t index = 0)
{
    const auto bytes = board.readMemory(symbol(board.image(), name) + 4 * index, 4);
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

// Board options that follow calls of probe_done, which runToEnd() waits for.
inline BoardOptions endingAtProbeDone(const ElfImage& image)
{
    BoardOptions options;
    options.watched.push_back(symbol(image, "probe_done"));
    return options;
}

// Runs until the program returns from main (or `limit`); true when it did
// (the board follows calls of probe_done: endingAtProbeDone()).
inline bool runToEnd(Board& board, const When& limit = When::at(1.0))
{
    const uint32_t done = symbol(board.image(), "probe_done");
    const size_t watching = board.subscribe([&board, done](const Event& e) {
        if (e.kind == EventKind::Call && e.address == done) {
            board.requestStop();
        }
    });
    const StopReason reason = board.runUntil(limit);
    board.unsubscribe(watching);
    return reason == StopReason::Requested;
}

}  // namespace boardsim::testing
