// The core's IRQ mask and the VIC's enabled channels, for the board layer's
// interrupt code on the host: SwiHandle1 (IRQDisable, IRQEnable, ...) sets
// and clears the mask, and writes of VICIntEnable and VICIntEnClr enable
// and disable channels. An interrupt can reach its handler only when both
// let it through.
#ifndef FIRMWARE_TESTS_FAKE_CORE_H
#define FIRMWARE_TESTS_FAKE_CORE_H

namespace fake_core {

// IRQs unmasked (as the start-up leaves them before main), no channel
// enabled. Call after fake_registers::Reset(), which drops the hooks.
void Install();
bool IrqMasked();
// The channel is enabled in the VIC and IRQs are unmasked.
bool Delivers(unsigned channel);

}  // namespace fake_core

#endif
