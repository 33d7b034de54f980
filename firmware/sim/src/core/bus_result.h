// Outcome of one register access on the peripheral bus. A model refuses an
// access it does not know instead of guessing; the board turns that into a fault.
#pragma once

#include <cstdint>
#include <string>

namespace boardsim {

struct BusResult {
    bool ok = true;
    uint32_t value = 0;     // the value read (reads only)
    std::string problem;    // why the access was refused

    static BusResult read(uint32_t v) { return {true, v, {}}; }
    static BusResult done() { return {}; }
    static BusResult refuse(std::string why) { return {false, 0, std::move(why)}; }
};

}  // namespace boardsim
