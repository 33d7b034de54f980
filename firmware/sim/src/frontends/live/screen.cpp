#include "frontends/live/screen.h"

#include <unistd.h>

#include <langinfo.h>

#include <clocale>
#include <cstring>
#include <cstdio>

#include "machine/board.h"
#include "core/board_error.h"
#include "frontends/common/lcd_picture.h"

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

struct Screen::Terminal {
    WINDOW* window = nullptr;  // the whole terminal
    bool unicode = true;       // its locale can show the half blocks
};

namespace {

// Words of `text` in lines of at most `width` characters.
std::vector<std::string> wrapped(const std::string& text, size_t width)
{
    std::vector<std::string> lines(1);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(' ', start);
        end = end == std::string::npos ? text.size() : end;
        const std::string word = text.substr(start, end - start);
        if (!lines.back().empty() && lines.back().size() + 1 + word.size() > width) {
            lines.emplace_back();
        }
        lines.back() += (lines.back().empty() ? "" : " ") + word;
        start = end + 1;
    }
    return lines;
}

void drawLcd(WINDOW* w, const std::vector<uint8_t>& frame, const std::string& blank, bool unicode)
{
    mvwaddch(w, 1, 0, ACS_ULCORNER);
    mvwhline(w, 1, 1, ACS_HLINE, int(kLcdWidth));
    mvwaddch(w, 1, int(kLcdWidth) + 1, ACS_URCORNER);
    const std::vector<std::string> rows = frame.empty()
                                              ? std::vector<std::string>(kLcdHeight / 2, std::string(kLcdWidth, ' '))
                                              : lcdHalfBlocks(frame, unicode);
    for (size_t r = 0; r < rows.size(); ++r) {
        const int y = 2 + int(r);
        mvwaddch(w, y, 0, ACS_VLINE);
        wattron(w, COLOR_PAIR(kLcdColours));  // dark pixels on the green glass
        mvwaddstr(w, y, 1, rows[r].c_str());
        wattroff(w, COLOR_PAIR(kLcdColours));
        mvwaddch(w, y, int(kLcdWidth) + 1, ACS_VLINE);
    }
    const int below = 2 + int(rows.size());
    mvwaddch(w, below, 0, ACS_LLCORNER);
    mvwhline(w, below, 1, ACS_HLINE, int(kLcdWidth));
    mvwaddch(w, below, int(kLcdWidth) + 1, ACS_LRCORNER);
    // An empty glass says why, in the middle of the glass.
    if (!blank.empty()) {
        const auto lines = wrapped("nothing shows: " + blank, kLcdWidth - 4);
        for (size_t i = 0; i < lines.size(); ++i) {
            mvwaddstr(w, 2 + int(kLcdHeight / 4) - int(lines.size() / 2) + int(i), 3, lines[i].c_str());
        }
    }
}

// The lines under the LCD, from row `top`: LED and keys, time, help.
void drawStatus(WINDOW* w, int top, const ScreenView& view)
{
    const char* led = !view.led.driven ? "-  (P0.31 not an output)" : view.led.high ? "*  on" : "o  off";
    mvwprintw(w, top, 0, "LED %s", led);
    mvwaddstr(w, top, 32, "keys");
    for (size_t k = 0; k < view.keysDown.size(); ++k) {
        wattrset(w, view.keysDown[k] ? A_REVERSE : A_NORMAL);
        mvwprintw(w, top, 37 + int(k) * 7, "KEY_%zu", k + 1);
    }
    wattrset(w, A_NORMAL);
    mvwprintw(w, top + 1, 0, "time %.3f s   cclk %.4f MHz   %llu instructions", view.seconds, view.cclkHz / 1e6,
              static_cast<unsigned long long>(view.instructions));
    mvwprintw(w, top + 2, 0, "1-4 press KEY_1..KEY_4   q quit   %s", view.status.c_str());
}

}  // namespace

Screen::Screen()
{
    if (isatty(STDOUT_FILENO) == 0 || isatty(STDIN_FILENO) == 0) {
        throw BoardError("--screen needs a terminal on standard input and output");
    }
    std::setlocale(LC_ALL, "");  // UTF-8 output for the half blocks
    WINDOW* window = initscr();
    if (window == nullptr) {
        throw BoardError("--screen: cannot set up the terminal");
    }
    terminal_ = std::make_unique<Terminal>();
    terminal_->window = window;
    terminal_->unicode = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
    cbreak();
    noecho();
    nodelay(window, TRUE);
    keypad(window, TRUE);
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

int Screen::key() const
{
    const int c = wgetch(terminal_->window);
    return c == ERR ? -1 : c;
}

void Screen::draw(const ScreenView& view) const
{
    WINDOW* w = terminal_->window;
    werase(w);
    int rows = 0;
    int columns = 0;
    getmaxyx(w, rows, columns);
    if (rows < kMinRows || columns < kMinColumns) {
        mvwprintw(w, 0, 0, "boardsim: the terminal is %d x %d characters;", columns, rows);
        mvwprintw(w, 1, 0, "the board needs at least %d x %d.", kMinColumns, kMinRows);
        mvwprintw(w, 2, 0, "Enlarge it, or press q to quit.");
        wrefresh(w);
        return;
    }
    mvwprintw(w, 0, 0, "boardsim  %s", view.image.c_str());
    mvwprintw(w, 0, columns - 20, "speed %gx", view.speed);
    drawLcd(w, view.lcd, view.lcdBlank, terminal_->unicode);
    const int below = 3 + int(kLcdHeight / 2);
    drawStatus(w, below, view);
    mvwhline(w, below + 3, 0, ACS_HLINE, columns);
    mvwaddstr(w, below + 3, 2, " UART0 ");
    const int first = below + 4;
    const auto lines = uartLines(view.uart, size_t(columns), size_t(rows - first));
    for (size_t i = 0; i < lines.size(); ++i) {
        mvwaddstr(w, first + int(i), 0, lines[i].c_str());
    }
    wrefresh(w);
}

#else

struct Screen::Terminal {};

Screen::Screen()
{
    throw BoardError("--screen: boardsim was built without ncursesw");
}

Screen::~Screen() = default;

void Screen::draw(const ScreenView& /*view*/) const {}

int Screen::key() const
{
    return -1;
}

#endif

}  // namespace boardsim
