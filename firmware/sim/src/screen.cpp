#include "screen.h"

#include <unistd.h>

#include <langinfo.h>

#include <clocale>
#include <cstring>
#include <cstdio>

#include "board.h"
#include "board_error.h"
#include "lcd_picture.h"

#ifdef BOARDSIM_HAVE_CURSES
#include <curses.h>
#endif

namespace boardsim {

std::vector<std::string> lcdHalfBlocks(const std::vector<uint8_t>& frame, bool unicode)
{
    static const char* const kBlocks[4] = {" ", "\u2580", "\u2584", "\u2588"};  // none, upper, lower, both
    static const char* const kAscii[4] = {" ", "'", ",", "#"};
    const char* const* kCells = unicode ? kBlocks : kAscii;
    std::vector<std::string> rows;
    for (unsigned y = 0; y < kLcdHeight; y += 2) {
        std::string row;
        for (unsigned x = 0; x < kLcdWidth; ++x) {
            const unsigned cell = (lcdPixel(frame, x, y) ? 1u : 0u) | (lcdPixel(frame, x, y + 1) ? 2u : 0u);
            row += kCells[cell];
        }
        rows.push_back(row);
    }
    return rows;
}

#ifdef BOARDSIM_HAVE_CURSES

namespace {

constexpr short kLcdColours = 1;

// The UART's text as screen lines of at most `width` characters, the last
// `count` of them; what a terminal would not print shows as a dot.
std::vector<std::string> uartLines(const std::string& text, size_t width, size_t count)
{
    std::vector<std::string> lines(1);
    for (const char c : text) {
        if (c == '\n') {
            lines.emplace_back();
            continue;
        }
        if (c == '\r') {
            continue;
        }
        if (lines.back().size() >= width) {
            lines.emplace_back();
        }
        lines.back() += (c >= 0x20 && c < 0x7F) ? c : '.';
    }
    if (lines.size() > count) {
        lines.erase(lines.begin(), lines.end() - long(count));
    }
    return lines;
}

}  // namespace

Screen::Screen()
{
    if (isatty(STDOUT_FILENO) == 0 || isatty(STDIN_FILENO) == 0) {
        throw BoardError("--screen needs a terminal on standard input and output");
    }
    std::setlocale(LC_ALL, "");  // UTF-8 output for the half blocks
    unicode_ = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
    if (initscr() == nullptr) {
        throw BoardError("--screen: cannot set up the terminal");
    }
    cbreak();
    noecho();
    nodelay(stdscr, TRUE);
    keypad(stdscr, TRUE);
    curs_set(0);
    if (has_colors()) {
        start_color();
        init_pair(kLcdColours, COLOR_BLACK, COLOR_GREEN);
    }
}

Screen::~Screen()
{
    endwin();
}

int Screen::key()
{
    const int c = getch();
    return c == ERR ? -1 : c;
}

void Screen::draw(const ScreenView& view)
{
    erase();
    int rows = 0;
    int columns = 0;
    getmaxyx(stdscr, rows, columns);
    if (rows < kMinRows || columns < kMinColumns) {
        mvprintw(0, 0, "boardsim: the terminal is %d x %d characters;", columns, rows);
        mvprintw(1, 0, "the board needs at least %d x %d.", kMinColumns, kMinRows);
        mvprintw(2, 0, "Enlarge it, or press q to quit.");
        refresh();
        return;
    }
    mvprintw(0, 0, "boardsim  %s", view.image.c_str());
    mvprintw(0, columns - 20, "speed %gx", view.speed);

    // The LCD in its frame, dark pixels on the green glass.
    mvaddch(1, 0, ACS_ULCORNER);
    mvhline(1, 1, ACS_HLINE, int(kLcdWidth));
    mvaddch(1, int(kLcdWidth) + 1, ACS_URCORNER);
    const std::vector<std::string> lcd =
        view.lcd.empty() ? std::vector<std::string>(kLcdHeight / 2, std::string(kLcdWidth, ' '))
                         : lcdHalfBlocks(view.lcd, unicode_);
    for (size_t r = 0; r < lcd.size(); ++r) {
        const int y = 2 + int(r);
        mvaddch(y, 0, ACS_VLINE);
        attron(COLOR_PAIR(kLcdColours));
        mvaddstr(y, 1, lcd[r].c_str());
        attroff(COLOR_PAIR(kLcdColours));
        mvaddch(y, int(kLcdWidth) + 1, ACS_VLINE);
    }
    const int below = 2 + int(lcd.size());
    mvaddch(below, 0, ACS_LLCORNER);
    mvhline(below, 1, ACS_HLINE, int(kLcdWidth));
    mvaddch(below, int(kLcdWidth) + 1, ACS_LRCORNER);
    if (view.lcd.empty()) {
        mvaddstr(2 + int(kLcdHeight / 4), 20, "the image has no LcdFrame: no LCD");
    }

    const char* led = !view.led.driven ? "-  (P0.31 not an output)" : view.led.high ? "*  on" : "o  off";
    mvprintw(below + 1, 0, "LED %s", led);
    mvaddstr(below + 1, 32, "keys");
    for (size_t k = 0; k < view.keysDown.size(); ++k) {
        if (view.keysDown[k]) {
            attron(A_REVERSE);
        }
        mvprintw(below + 1, 37 + int(k) * 7, "KEY_%zu", k + 1);
        attroff(A_REVERSE);
    }
    mvprintw(below + 2, 0, "time %.3f s   cclk %.4f MHz   %llu instructions", view.seconds, view.cclkHz / 1e6,
             static_cast<unsigned long long>(view.instructions));
    mvprintw(below + 3, 0, "1-4 press KEY_1..KEY_4   q quit   %s", view.status.c_str());
    mvhline(below + 4, 0, ACS_HLINE, columns);
    mvaddstr(below + 4, 2, " UART0 ");
    const int first = below + 5;
    const auto lines = uartLines(view.uart, size_t(columns), size_t(rows - first));
    for (size_t i = 0; i < lines.size(); ++i) {
        mvaddstr(first + int(i), 0, lines[i].c_str());
    }
    refresh();
}

#else

Screen::Screen()
{
    throw BoardError("--screen: boardsim was built without ncursesw");
}

Screen::~Screen() = default;

void Screen::draw(const ScreenView& /*view*/) {}

int Screen::key()
{
    return -1;
}

#endif

}  // namespace boardsim
