#include "machine/board.h"


namespace boardsim {

Board::Board(const ElfImage& image, const BoardOptions& options)
    : MachineHolder(options), Engine(image, lpc2294, options)
{
}

}  // namespace boardsim
