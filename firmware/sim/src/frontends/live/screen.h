// The board in a terminal, full screen (ncurses): the LCD drawn with
// half-block characters (two pixel rows a character row), the LED, which
// keys are down, the simulated time and clock, and UART0's text so far.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "machine/lpc2294.h"

namespace boardsim {

struct ScreenView {
    std::string image;             // the image's file name, for the title
    std::vector<uint8_t> lcd;      // what the glass shows
    std::string lcdBlank;          // why it shows nothing, if it does
    LedState led;
    std::array<bool, 4> keysDown{};
    double seconds = 0;
    double cclkHz = 0;
    uint64_t instructions = 0;
    double speed = 1;
    std::string uart;              // everything UART0 sent
    std::string status;            // how the run stands ("running", why it stopped)
};

class Screen {
public:
    // Takes over the terminal on standard output; throws BoardError when
    // there is none (or boardsim was built without ncursesw).
    Screen();
    ~Screen();  // gives the terminal back as it was
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    void draw(const ScreenView& view) const;
    // A key typed, or -1 when none waits. Never blocks.
    int key() const;

    // The smallest terminal the view fits in.
    static constexpr int kMinColumns = 86;
    static constexpr int kMinRows = 34;

private:
    struct Terminal;  // ncurses' window, kept out of this header with its macros
    std::unique_ptr<Terminal> terminal_;
};

// The LCD rows as text lines of half blocks (U+2580, U+2584, U+2588, space),
// or of ' , # where the terminal cannot show them: 84 characters, 24 rows.
std::vector<std::string> lcdHalfBlocks(const std::vector<uint8_t>& frame, bool unicode = true);

}  // namespace boardsim
