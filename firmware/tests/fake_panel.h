// The LCD panel behind the recording registers, for the board layer's LCD
// driver: SPI0 (S0SPDR writes, S0SPSR showing SPIF a couple of reads after
// each byte) and the GPIO lines D/C, SCE and RES (IO0SET, IO0CLR, IO0DIR)
// feed a PCD8544 decoder. It writes down every byte with its D/C, and every
// breach of what SPI0 and the controller need: a byte written before the
// last one's SPIF was seen (the chip would drop it), D/C or SCE changed
// while a byte was shifting, a byte with SCE high or before a reset pulse,
// SPI0 not set up as master on its pins, a command the controller lacks.
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
    std::vector<std::string> breaches;
};

// A freshly powered panel behind the registers. Call after
// fake_registers::Reset(), which drops the hooks.
void Install();
const Panel &State();
// Drops the bytes written down so far; the panel keeps its state.
void ForgetBytes();
// What the glass shows: the RAM, when on (PD = 0, Vop > 0) in normal mode;
// all zeros otherwise.
std::vector<std::uint8_t> Glass();

}  // namespace fake_panel

#endif
