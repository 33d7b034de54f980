#include "machine/board.h"


namespace boardsim {

Board::Board(const ElfImage& image, const BoardOptions& options)
    : MachineHolder(options), Engine(image, lpc2294, options)
{
    for (int uart = 0; uart < Lpc2294Machine::kUarts; ++uart) {
        lpc2294.serial(uart).setLoopback(options.uartLoopback[size_t(uart)]);
    }
    for (unsigned channel = 0; channel < Lpc2294Machine::kAnalogInputs; ++channel) {
        lpc2294.setAin(channel, options.ain[channel]);
    }
}

}  // namespace boardsim
