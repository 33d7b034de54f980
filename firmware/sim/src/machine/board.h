// The simulated board as front ends use it: the engine running an image on
// the LPC2294 machine, with the board's keys, LED and host terminal.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/engine.h"
#include "image/elf_image.h"
#include "machine/lcd_geometry.h"
#include "machine/lpc2294.h"

namespace boardsim {

struct BoardOptions : EngineOptions {
    double hostBaud = kDefaultHostBaud;     // the terminal on TxD0
    double bounceSeconds = kDefaultBounce;  // key contacts' chatter (0: clean edges)
    // Where the frame buffer the display shows lies in RAM, if the image
    // has one.
    std::optional<uint32_t> lcdFrame;
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

    bool hasLcd() const { return lcdFrame_.has_value(); }
    // The display's frame buffer as it is now.
    std::vector<uint8_t> lcdFrame() const;

private:
    std::optional<uint32_t> lcdFrame_;
};

}  // namespace boardsim
