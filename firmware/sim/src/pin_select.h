// Pin connect block: which function drives each pin. Only the three PINSEL
// registers exist in this model.
#pragma once

#include "bus_result.h"

namespace boardsim {

class PinSelect {
public:
    static constexpr uint32_t kBase = 0xE002C000;
    static constexpr uint32_t kPinsel0 = 0x00;
    static constexpr uint32_t kPinsel1 = 0x04;
    static constexpr uint32_t kPinsel2 = 0x14;

    BusResult read(uint32_t offset, unsigned size) const;
    BusResult write(uint32_t offset, unsigned size, uint32_t value);

    // P0.0 carries TxD0 when PINSEL0 bits 1:0 are 01.
    bool txd0Selected() const { return (pinsel0_ & 0x3u) == 0x1u; }
    uint32_t pinsel0() const { return pinsel0_; }
    uint32_t pinsel1() const { return pinsel1_; }

private:
    uint32_t* slot(uint32_t offset);

    uint32_t pinsel0_ = 0;
    uint32_t pinsel1_ = 0;
    // Its reset value depends on boot pins on the real part; nothing in the
    // image relies on it, so it starts as 0.
    uint32_t pinsel2_ = 0;
};

}  // namespace boardsim
