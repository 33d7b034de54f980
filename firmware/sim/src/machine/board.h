// The simulated board as front ends use it: the engine running an image on
// the LPC2294 machine, with the board's keys, LED and host terminal.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/engine.h"
#include "image/elf_image.h"
#include "machine/lcd_geometry.h"
#include "machine/lpc2294.h"

namespace boardsim {

struct BoardOptions : EngineOptions {
    double hostBaud = kDefaultHostBaud;     // the terminal on TxD0
    double bounceSeconds = kDefaultBounce;  // key contacts' chatter (0: clean edges)
    // A loopback plug on UART0's or UART1's connector instead of the host's
    // terminal: what the UART sends comes back to it.
    std::array<bool, Lpc2294Machine::kUarts> uartLoopback{};
    // The voltages on AIN0..AIN3.
    std::array<double, Lpc2294Machine::kAnalogInputs> ain{};
};

namespace detail {
// Built before the engine that runs it.
struct MachineHolder {
    explicit MachineHolder(const BoardOptions& options) : lpc2294(options.hostBaud, options.bounceSeconds) {}
    Lpc2294Machine lpc2294;
};
}  // namespace detail

class Board : private detail::MachineHolder, public Engine {
public:
    explicit Board(const ElfImage& image, const BoardOptions& options = {});
    // Front ends hold boards by pointer (gdb's rebuilds one) and tests derive
    // from it; it has virtual functions through the engine's services.
    virtual ~Board() = default;
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;

    const Lpc2294Machine& machine() const { return lpc2294; }
    Lpc2294Machine& machine() { return lpc2294; }

    // KEY_k goes down at `at` and up again after `hold` (instructions or
    // time), its contacts chattering for the bounce time at each edge.
    void pressKey(int key, const When& at, const When& hold) { lpc2294.keypad().press(key, at, hold); }
    void pressKey(int key, uint64_t at, uint64_t hold)
    {
        pressKey(key, When::instructions(at), When::instructions(hold));
    }
    // The host's terminal sends `byte` to UART0 (at its rate, or at `baud`).
    void hostSend(uint8_t byte, double baud = 0) { lpc2294.hostSend(byte, baud); }

    // What the LCD's glass shows now: the controller's RAM as its mode
    // shows it, 6 banks of 84 column bytes (lcd_geometry.h).
    std::vector<uint8_t> lcdFrame() { return lpc2294.lcdGlass(); }
    // Why the glass shows nothing, in a sentence; empty when it shows its RAM.
    std::string lcdWhyBlank() { return lpc2294.lcdWhyBlank(); }
};

}  // namespace boardsim
