#include "peripherals/port0.h"

namespace boardsim {

using namespace gpio;

namespace {

const std::vector<RegisterSpec>& gpioTable()
{
    // IO0PIN has no reset value of its own: it reads the pins. IO0SET reads
    // back the output latch.
    static const std::vector<RegisterSpec> table = {
        {kPin, "IO0PIN", Access::ReadWrite, 0x00000000, Behaviour::Handled, {}, true},
        {kSet, "IO0SET", Access::ReadWrite, 0x00000000, Behaviour::Handled},
        {kDir, "IO0DIR", Access::ReadWrite, 0x00000000, Behaviour::Handled},
        {kClr, "IO0CLR", Access::WriteOnly, 0x00000000, Behaviour::Handled},
    };
    return table;
}

}  // namespace

Port0::Port0() : Peripheral("GPIO0", 0x10, gpioTable())
{
    handle(kPin, [this] { return pins(); },
           [this](uint32_t v) {
               latch_ = v;  // writing IO0PIN loads the latch directly
               changed();
           });
    handle(kSet, [this] { return latch_; },
           [this](uint32_t v) {
               latch_ |= v;
               changed();
           });
    handle(kDir, [this] { return direction(); },
           [this](uint32_t v) {
               store(kDir, v);
               changed();
           });
    handle(kClr, nullptr, [this](uint32_t v) {
        latch_ &= ~v;
        changed();
    });
    // The pins change only by the board's scheduled work or the core's
    // writes (and edges handed ahead, which the machine's quiet time bounds).
    markSteady(kPin);
    markSteady(kSet);
    markSteady(kDir);
    reset();
}

void Port0::changed() const
{
    if (onOutputsChanged) {
        onOutputsChanged();
    }
}

}  // namespace boardsim
