#include "port0.h"

#include <stdexcept>

namespace boardsim {
namespace {

uint32_t keyMask(int key)
{
    if (key < 1 || key > Port0::kKeyCount) {
        throw std::out_of_range("key number must be 1.." + std::to_string(Port0::kKeyCount));
    }
    return 1u << (Port0::kFirstKeyPin + unsigned(key - 1));
}

}  // namespace

BusResult Port0::read(uint32_t offset, unsigned size) const
{
    if (size != 4) {
        return BusResult::refuse("GPIO registers take 32-bit accesses only");
    }
    switch (offset) {
    case kPin: return BusResult::read(pins());
    case kSet: return BusResult::read(latch_);  // IO0SET reads back the output latch
    case kDir: return BusResult::read(dir_);
    case kClr: return BusResult::refuse("IO0CLR is write-only");
    default: return BusResult::refuse("no such GPIO register");
    }
}

BusResult Port0::write(uint32_t offset, unsigned size, uint32_t value)
{
    if (size != 4) {
        return BusResult::refuse("GPIO registers take 32-bit accesses only");
    }
    switch (offset) {
    case kPin: latch_ = value; break;  // writing IO0PIN loads the latch directly
    case kSet: latch_ |= value; break;
    case kDir: dir_ = value; break;
    case kClr: latch_ &= ~value; break;
    default: return BusResult::refuse("no such GPIO register");
    }
    return BusResult::done();
}

uint32_t Port0::pins() const
{
    const uint32_t inputs = ~groundedInputs_;
    return (latch_ & dir_) | (inputs & ~dir_);
}

LedState Port0::led() const
{
    LedState state;
    state.driven = (dir_ & kLedMask) != 0;
    state.high = (pins() & kLedMask) != 0;
    return state;
}

void Port0::setKey(int key, bool down)
{
    const uint32_t mask = keyMask(key);
    groundedInputs_ = down ? (groundedInputs_ | mask) : (groundedInputs_ & ~mask);
}

bool Port0::keyDown(int key) const
{
    return (groundedInputs_ & keyMask(key)) != 0;
}

}  // namespace boardsim
