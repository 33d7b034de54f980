// What the simulator looks for in an image, read from its symbols by a
// front end and handed to the engine, which knows no firmware by name: the
// board-support functions whose calls are worth reporting, hang loops by
// their labels, the functions the report measures. A stripped image has an
// empty profile and runs all the same: the board shows what it shows (the
// LCD's picture comes from the panel's controller, not from the image).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "image/elf_image.h"
#include "machine/board.h"

namespace boardsim {

struct WatchedFunction {
    uint32_t address;
    std::string name;
};

struct FirmwareProfile {
    std::vector<WatchedFunction> watched;
    std::vector<std::pair<uint32_t, std::string>> hangs;
    std::optional<uint32_t> main;
    std::optional<uint32_t> delayMs;

    std::vector<uint32_t> watchedAddresses() const;
};

// The functions reported when the image has them.
const std::vector<std::string>& defaultWatchedFunctions();

FirmwareProfile readProfile(const ElfImage& image);

// The board options a front end starts from for `image`: what its profile
// says to watch and to trap.
BoardOptions boardOptionsFor(const ElfImage& image);

}  // namespace boardsim
