// The board from power-up to its menu, and keys pressed as the main loop
// sees them: for the tests of the menu and the screens it opens.
#ifndef FIRMWARE_TESTS_MENU_SESSION_H
#define FIRMWARE_TESTS_MENU_SESSION_H

#include <cstdint>
#include <vector>

// Fresh registers, panel and core; the key driver, the GUI and the menu
// set up as main does.
void StartMenu();
// Runs DealKey once per pass as the main loop would, each state of `pins`
// (IO0PIN, board_pins::KeysDown) held for two passes: a key counts once two
// passes agree on it.
void DealKeys(const std::vector<std::uint32_t> &pins);

#endif
