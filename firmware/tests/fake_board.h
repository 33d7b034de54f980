// Fakes of the board layer for the firmware's own modules. Every call is
// logged in event_log; DealKey ends main's endless loop after a set number
// of passes by throwing LoopEnded.
#ifndef FIRMWARE_TESTS_FAKE_BOARD_H
#define FIRMWARE_TESTS_FAKE_BOARD_H

#include <string>
#include <vector>

struct LoopEnded
{
};

namespace fake_board {

// Clears the log and the registers; DealKey returns `passes` times, then throws.
void Reset(int passes);
// Every string handed to UART0_SendStr, byte for byte.
const std::vector<std::string> &SentStrings();

}  // namespace fake_board

// main.cpp's main, renamed in the host build so it does not clash with the test runner's.
int FirmwareMain();

#endif
