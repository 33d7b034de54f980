#include "peripherals/pin_select.h"

#include <string>

#include "machine/pin_names.h"

namespace boardsim {

using namespace pinsel;

namespace {

const std::vector<RegisterSpec>& pinselTable()
{
    static const std::vector<RegisterSpec> table = {
        {kPinsel0, "PINSEL0", Access::ReadWrite, 0x00000000, Behaviour::Handled},
        // P0.27..P0.30 come out of reset as the A/D converter's inputs.
        {kPinsel1, "PINSEL1", Access::ReadWrite, 0x15400000, Behaviour::Handled},
        // Its real reset value follows the boot and debug pins; with the
        // image booting from on-chip flash and no trace port, nothing is
        // routed to port 1's special functions.
        {kPinsel2, "PINSEL2", Access::ReadWrite, 0x00000000, Behaviour::Handled},
    };
    return table;
}

}  // namespace

PinSelect::PinSelect() : Peripheral("PINSEL", 0x18, pinselTable())
{
    for (const uint32_t offset : {kPinsel0, kPinsel1, kPinsel2}) {
        handle(offset, [this, offset] { return stored(offset); },
               [this, offset](uint32_t v) {
                   store(offset, v);
                   if (onChanged) {
                       onChanged();
                   }
               });
    }
    reset();
}

BusResult PinSelect::write(uint32_t offset, unsigned size, uint32_t value)
{
    if (size == 4 && (offset == kPinsel0 || offset == kPinsel1)) {
        const unsigned first = offset == kPinsel0 ? 0 : 16;
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

}  // namespace boardsim
