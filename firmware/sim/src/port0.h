// GPIO port 0 of the board: the status LED on P0.31 and KEY_1..KEY_4 on
// P0.16..P0.19 (pull-ups, a pressed key pulls its pin low).
#pragma once

#include "bus_result.h"

namespace boardsim {

struct LedState {
    bool driven = false;  // P0.31 is an output
    bool high = false;    // level on the pin
    bool operator==(const LedState& o) const { return driven == o.driven && high == o.high; }
    bool operator!=(const LedState& o) const { return !(*this == o); }
};

class Port0 {
public:
    static constexpr uint32_t kBase = 0xE0028000;
    static constexpr uint32_t kPin = 0x00;
    static constexpr uint32_t kSet = 0x04;
    static constexpr uint32_t kDir = 0x08;
    static constexpr uint32_t kClr = 0x0C;
    static constexpr uint32_t kLedMask = 1u << 31;
    static constexpr unsigned kFirstKeyPin = 16;
    static constexpr int kKeyCount = 4;

    BusResult read(uint32_t offset, unsigned size) const;
    BusResult write(uint32_t offset, unsigned size, uint32_t value);

    // Level of every pin: outputs read back what they drive, inputs read the
    // outside world (pull-ups, so 1 unless a pressed key grounds the pin).
    uint32_t pins() const;
    uint32_t direction() const { return dir_; }
    uint32_t latch() const { return latch_; }
    LedState led() const;

    void setKey(int key, bool down);  // key 1..4
    bool keyDown(int key) const;

private:
    uint32_t dir_ = 0;
    uint32_t latch_ = 0;
    uint32_t groundedInputs_ = 0;
};

}  // namespace boardsim
