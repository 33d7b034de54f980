#include "peripherals/port0.h"

namespace boardsim {

const std::vector<RegisterSpec>& Port0::registers() const
{
    // IO0PIN has no reset value of its own: it reads the pins.
    static const std::vector<RegisterSpec> table = {
        {kPin, "IO0PIN", Access::ReadWrite, 0x00000000},
        {kSet, "IO0SET", Access::ReadWrite, 0x00000000},
        {kDir, "IO0DIR", Access::ReadWrite, 0x00000000},
        {kClr, "IO0CLR", Access::WriteOnly, 0x00000000},
    };
    return table;
}

void Port0::reset()
{
    dir_ = 0;
    latch_ = 0;
}

uint32_t Port0::readRegister(uint32_t offset)
{
    switch (offset) {
    case kPin: return pins();
    case kSet: return latch_;  // IO0SET reads back the output latch
    default: return dir_;      // kDir; IO0CLR is write-only
    }
}

void Port0::writeRegister(uint32_t offset, uint32_t value)
{
    switch (offset) {
    case kPin: latch_ = value; break;  // writing IO0PIN loads the latch directly
    case kSet: latch_ |= value; break;
    case kDir: dir_ = value; break;
    default: latch_ &= ~value; break;  // kClr
    }
    if (onOutputsChanged) {
        onOutputsChanged();
    }
}

}  // namespace boardsim
