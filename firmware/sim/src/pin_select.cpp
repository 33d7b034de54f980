#include "pin_select.h"

namespace boardsim {

uint32_t* PinSelect::slot(uint32_t offset)
{
    switch (offset) {
    case kPinsel0: return &pinsel0_;
    case kPinsel1: return &pinsel1_;
    case kPinsel2: return &pinsel2_;
    default: return nullptr;
    }
}

BusResult PinSelect::read(uint32_t offset, unsigned size) const
{
    const uint32_t* reg = const_cast<PinSelect*>(this)->slot(offset);
    if (reg == nullptr) {
        return BusResult::refuse("no such pin select register");
    }
    if (size != 4) {
        return BusResult::refuse("pin select registers take 32-bit accesses only");
    }
    return BusResult::read(*reg);
}

BusResult PinSelect::write(uint32_t offset, unsigned size, uint32_t value)
{
    uint32_t* reg = slot(offset);
    if (reg == nullptr) {
        return BusResult::refuse("no such pin select register");
    }
    if (size != 4) {
        return BusResult::refuse("pin select registers take 32-bit accesses only");
    }
    *reg = value;
    return BusResult::done();
}

}  // namespace boardsim
