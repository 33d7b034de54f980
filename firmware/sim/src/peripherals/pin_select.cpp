#include "peripherals/pin_select.h"

namespace boardsim {

const std::vector<RegisterSpec>& PinSelect::registers() const
{
    static const std::vector<RegisterSpec> table = {
        {kPinsel0, "PINSEL0", Access::ReadWrite, 0x00000000},
        // P0.27..P0.30 come out of reset as the A/D converter's inputs.
        {kPinsel1, "PINSEL1", Access::ReadWrite, 0x15400000},
        // Its real reset value follows the boot and debug pins; with the
        // image booting from on-chip flash and no trace port, nothing is
        // routed to port 1's special functions.
        {kPinsel2, "PINSEL2", Access::ReadWrite, 0x00000000},
    };
    return table;
}

void PinSelect::reset()
{
    for (const RegisterSpec& r : registers()) {
        *slot(r.offset) = r.reset;
    }
}

uint32_t* PinSelect::slot(uint32_t offset)
{
    switch (offset) {
    case kPinsel0: return &pinsel0_;
    case kPinsel1: return &pinsel1_;
    default: return &pinsel2_;  // the table admits no other offset
    }
}

unsigned PinSelect::port0Function(unsigned pin) const
{
    const uint32_t word = pin < 16 ? pinsel0_ : pinsel1_;
    return (word >> (2 * (pin % 16))) & 0x3u;
}

uint32_t PinSelect::readRegister(uint32_t offset)
{
    return *slot(offset);
}

void PinSelect::writeRegister(uint32_t offset, uint32_t value)
{
    *slot(offset) = value;
}

}  // namespace boardsim
