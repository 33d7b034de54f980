#include "peripherals/pin_select.h"

#include <string>

#include "machine/pin_names.h"

namespace boardsim {

using namespace pinsel;

// Every register 32 bits wide (the user manual's pin connect block).
PinSelect::PinSelect()
    : Peripheral("PINSEL", 0x18), pinsel0_(define(0x00, "PINSEL0", 32)),
      // P0.27..P0.30 come out of reset as the A/D converter's inputs.
      pinsel1_(define(0x04, "PINSEL1", 32, 0x15400000)),
      // Its real reset value follows the boot and debug pins; with the
      // image booting from on-chip flash and no debugger or trace port,
      // nothing is routed to port 1's special functions.
      pinsel2_(define(0x14, "PINSEL2", 32).field(kDebugPort).field(kTracePort).field(kExternalBus))
{
    for (Register* r : {&pinsel0_, &pinsel1_, &pinsel2_}) {
        r->afterWrite([this](uint32_t) {
            if (onChanged) {
                onChanged();
            }
        });
    }
    reset();
}

BusResult PinSelect::write(uint32_t offset, unsigned size, uint32_t value)
{
    if (size == 4 && (offset == pinsel0_.offset() || offset == pinsel1_.offset())) {
        const unsigned first = offset == pinsel0_.offset() ? 0 : 16;
        for (unsigned pin = first; pin < first + 16; ++pin) {
            const unsigned function = (value >> (2 * (pin % 16))) & 0x3u;
            if (function != 0 && port0PinNames(pin).functions[function] == nullptr) {
                static const char* const kBits[] = {"00", "01", "10", "11"};
                return BusResult::refuse("P0." + std::to_string(pin) + " has no function " + kBits[function] +
                                         " (reserved in the user manual)");
            }
        }
    }
    return Peripheral::write(offset, size, value);
}

unsigned PinSelect::port0Function(unsigned pin) const
{
    const uint32_t word = pin < 16 ? pinsel0() : pinsel1();
    return (word >> (2 * (pin % 16))) & 0x3u;
}

uint32_t PinSelect::port1GpioPins() const
{
    return ~((pinsel2_.has(kDebugPort) ? kDebugPins : 0) | (pinsel2_.has(kTracePort) ? kTracePins : 0));
}

}  // namespace boardsim
