#include "peripherals/gpio.h"

#include <limits>
#include <string>

namespace boardsim {
namespace {

// The pins each port has on the LPC2294 (144 pins): port 1 lacks
// P1.2..P1.15.
constexpr uint32_t kPinsOfPort[Gpio::kPorts] = {0xFFFFFFFF, 0xFFFF0003, 0xFFFFFFFF, 0xFFFFFFFF};

}  // namespace

// Every register 32 bits wide (the user manual's GPIO chapter). IOnPIN has
// no reset value of its own: it reads the pins. IOnSET reads back the
// output latch. Both are steady: the pins change only by the board's
// scheduled work or the core's writes, and port 0's also by the edges
// handed ahead to them.
Gpio::Gpio() : Peripheral("GPIO", 0x10 * kPorts)
{
    for (unsigned port = 0; port < kPorts; ++port) {
        const uint32_t base = 0x10 * port;
        const std::string p = "IO" + std::to_string(port);
        define(base + 0x0, p + "PIN", 32)
            .noResetValue()
            .reads([this, port] { return port == 0 ? pins() : pins(port); })
            .writes([this, port](uint32_t v) {
                latch_[port] = v;  // writing IOnPIN loads the latch directly
                changed(port);
            })
            .steady(port == 0 ? std::function<double()>([this] { return nextPinEdgeTime(); }) : nullptr);
        define(base + 0x4, p + "SET", 32)
            .reads([this, port] { return latch_[port]; })
            .writes([this, port](uint32_t v) {
                latch_[port] |= v;
                changed(port);
            })
            .steady();
        dir_[port] = &define(base + 0x8, p + "DIR", 32).afterWrite([this, port](uint32_t) { changed(port); });
        define(base + 0xC, p + "CLR", 32, 0, Access::WriteOnly).writes([this, port](uint32_t v) {
            latch_[port] &= ~v;
            changed(port);
        });
    }
    reset();
}

uint32_t Gpio::pins(unsigned port) const
{
    const uint32_t gpio = port != 0 && gpioPins ? gpioPins(port) : 0xFFFFFFFF;
    const uint32_t driven = direction(port) & gpio;
    return kPinsOfPort[port] & ((latch_.at(port) & driven) | (outside_.at(port) & ~driven));
}

double Gpio::nextPinEdgeTime() const
{
    return nextPinEdge ? nextPinEdge() : std::numeric_limits<double>::infinity();
}

void Gpio::changed(unsigned port) const
{
    if (port == 0 && onOutputsChanged) {
        onOutputsChanged();
    }
}

}  // namespace boardsim
