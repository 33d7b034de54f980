#include "machine/board.h"


namespace boardsim {

Board::Board(const ElfImage& image, const BoardOptions& options)
    : MachineHolder(options), Engine(image, lpc2294, options), lcdFrame_(options.lcdFrame)
{
}

std::vector<uint8_t> Board::lcdFrame() const
{
    if (!lcdFrame_) {
        throw BoardError("the image has no LcdFrame symbol");
    }
    return readMemory(*lcdFrame_, kLcdFrameBytes);
}

}  // namespace boardsim
