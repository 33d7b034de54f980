// Pin connect block: which function drives each pin of port 0 (PINSEL0 for
// P0.0..15, PINSEL1 for P0.16..31, two bits a pin) and port 1's trace and
// debug pins (PINSEL2).
#pragma once

#include "peripherals/peripheral.h"

namespace boardsim {

class PinSelect final : public Peripheral {
public:
    static constexpr uint32_t kPinsel0 = 0x00;
    static constexpr uint32_t kPinsel1 = 0x04;
    static constexpr uint32_t kPinsel2 = 0x14;

    PinSelect() { reset(); }
    const char* name() const override { return "PINSEL"; }
    uint32_t size() const override { return 0x18; }
    const std::vector<RegisterSpec>& registers() const override;
    void reset() override;

    // The function of P0.`pin`: 0 GPIO, 1..3 the pin's other functions.
    unsigned port0Function(unsigned pin) const;
    uint32_t pinsel0() const { return pinsel0_; }
    uint32_t pinsel1() const { return pinsel1_; }

protected:
    unsigned accessWidths() const override { return 1u << 4; }
    uint32_t readRegister(uint32_t offset) override;
    void writeRegister(uint32_t offset, uint32_t value) override;

private:
    uint32_t* slot(uint32_t offset);

    uint32_t pinsel0_ = 0;
    uint32_t pinsel1_ = 0;
    uint32_t pinsel2_ = 0;
};

}  // namespace boardsim
