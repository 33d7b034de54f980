#include "machine/board.h"


namespace boardsim {

Board::Board(const ElfImage& image, const BoardOptions& options)
    : MachineHolder(options), Engine(image, lpc2294, options), lcdFrame_(options.lcdFrame)
{
    for (int uart = 0; uart < Lpc2294Machine::kUarts; ++uart) {
        lpc2294.serial(uart).setLoopback(options.uartLoopback[size_t(uart)]);
    }
}

std::vector<uint8_t> Board::lcdFrame() const
{
    if (!lcdFrame_) {
        throw BoardError("the image has no LcdFrame symbol");
    }
    return readMemory(*lcdFrame_, kLcdFrameBytes);
}

}  // namespace boardsim
