// The devices on SPI0 behind the recording registers, for the board layer's
// LCD and DAC drivers: SPI0 (S0SPDR writes, S0SPSR showing SPIF a couple of
// reads after each byte, S0SPCR's mode) and the GPIO lines D/C, SCE and RES
// of the LCD and /CS of the DAC (IO0SET, IO0CLR, IO0DIR; IO0SET reads back
// the latch) feed a PCD8544 decoder and a TLV5618 word collector. It writes
// down every LCD byte with its D/C, every DAC word, and every breach of what
// SPI0 and the devices need: a byte written before the last one's SPIF was
// seen (the chip would drop it), S0SPCR, D/C, SCE or /CS changed while a
// byte was shifting, a byte to no device or to both, an LCD byte in another
// mode than 0 or before a reset pulse, a DAC byte in another mode than
// CPOL 0 / CPHA 1, a DAC word of other than 16 bits, SPI0 not set up as
// master on its pins, a command the controller lacks.
#ifndef FIRMWARE_TESTS_FAKE_PANEL_H
#define FIRMWARE_TESTS_FAKE_PANEL_H

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace fake_panel {

constexpr unsigned kWidth = 84;
constexpr unsigned kBanks = 6;
constexpr unsigned kPowerUpByte = 0xA5;  // what the RAM holds before it is written

struct Panel {
    std::array<std::uint8_t, kWidth * kBanks> ram{};
    bool powerDown = true;
    bool extended = false;
    unsigned display = 0;  // D and E: 0 blank, 1 all on, 2 normal, 3 inverse
    unsigned x = 0, y = 0;
    unsigned vop = 0, bias = 0, temperature = 0;
    int resetPulses = 0;
    std::vector<std::pair<bool, std::uint8_t>> bytes;  // (data, byte) in order
    std::vector<std::uint16_t> dacWords;               // in order
    std::vector<std::string> breaches;
};

// A freshly powered panel behind the registers. Call after
// fake_registers::Reset(), which drops the hooks.
void Install();
const Panel &State();
// Drops the bytes and DAC words written down so far; the panel keeps its state.
void ForgetBytes();
// What the glass shows: the RAM, when on (PD = 0, Vop > 0) in normal mode;
// all zeros otherwise.
std::vector<std::uint8_t> Glass();

}  // namespace fake_panel

#endif
