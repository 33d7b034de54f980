// boardsim: runs a firmware.elf for the LPC2294 board and prints what the
// board shows: UART0 output, the LED's edges, key presses, LCD pictures and
// faults, each stamped with the instructions executed since reset.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "board.h"
#include "lcd_picture.h"
#include "options.h"
#include "report.h"

namespace {

using namespace boardsim;

void line(uint64_t stamp, const std::string& what)
{
    std::printf("%12llu  %s\n", static_cast<unsigned long long>(stamp), what.c_str());
}

std::string quoted(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", c);
            out += escape;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

std::string hex(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", value);
    return text;
}

class Printer {
public:
    Printer(Board& board, const Options& options) : board_(board), options_(options) {}

    void operator()(const Event& e)
    {
        switch (e.kind) {
        case EventKind::UartByte: uart(e); break;
        case EventKind::Led: led(e); break;
        case EventKind::Key: key(e); break;
        case EventKind::Call:
        case EventKind::Return:
        case EventKind::Swi: call(e); break;
        case EventKind::IoRead:
        case EventKind::IoWrite: io(e); break;
        }
    }

    void flushUart(uint64_t stamp)
    {
        if (!pendingUart_.empty() && !options_.quiet) {
            line(stamp, "UART0  " + quoted(pendingUart_));
        }
        pendingUart_.clear();
    }

private:
    void uart(const Event& e)
    {
        pendingUart_ += char(e.value);
        if (e.value == '\n') {
            flushUart(e.stamp);
        }
    }

    void led(const Event& e)
    {
        if (!options_.quiet) {
            const char* state = e.address == 0 ? "P0.31 not an output" : e.value ? "on  (P0.31 high)" : "off (P0.31 low)";
            line(e.stamp, std::string("LED    ") + state);
        }
        countPeriods(e);
    }

    void key(const Event& e) const
    {
        if (!options_.quiet) {
            line(e.stamp, "KEY_" + std::to_string(e.address) + (e.value ? "  down" : "  up"));
        }
    }

    void call(const Event& e) const
    {
        if (!options_.showCalls || options_.quiet) {
            return;
        }
        const std::string name = board_.image().describe(e.address);
        if (e.kind == EventKind::Swi) {
            line(e.stamp, "swi    code " + std::to_string(e.value));
        } else if (e.kind == EventKind::Call) {
            line(e.stamp, "call   " + name + "(r0 = " + std::to_string(e.value) + ")");
        } else {
            line(e.stamp, "return " + name);
        }
    }

    void io(const Event& e) const
    {
        if (options_.quiet) {
            return;
        }
        const bool read = e.kind == EventKind::IoRead;
        line(e.stamp, std::string(read ? "read   " : "write  ") + hex(e.address) + (read ? " -> " : " <- ") +
                          hex(e.value) + "  by " + board_.locate(e.pc));
    }

    void countPeriods(const Event& e)
    {
        // A period is a low phase and the high phase after it: it ends with
        // the falling edge that starts the next one.
        if (!options_.periods || e.address == 0 || e.value != 0) {
            return;
        }
        if (++fallingEdges_ > *options_.periods) {
            board_.requestStop();
        }
    }

    Board& board_;
    const Options& options_;
    std::string pendingUart_;
    uint64_t fallingEdges_ = 0;
};

int simulate(const Options& options)
{
    const ElfImage image = ElfImage::fromFile(options.image);
    if (options.report) {
        return printReport(image, std::cout, options.runGiven ? options.run : 50'000'000) ? 0 : 1;
    }

    BoardOptions boardOptions;
    boardOptions.traceIo = options.traceIo;
    for (const std::string& name : options.extraWatched) {
        if (!image.find(name)) {
            throw UsageError("the image has no symbol " + name);
        }
        boardOptions.watchedFunctions.push_back(name);
    }
    Board board(image, boardOptions);
    if (!options.shots.empty() && !board.hasLcd()) {
        throw BoardError("the image has no LcdFrame symbol, so there is no LCD picture");
    }

    Printer printer(board, options);
    board.setObserver([&](const Event& e) { printer(e); });
    for (const KeyPress& press : options.presses) {
        board.pressKey(press.key, press.at, press.hold);
    }
    auto writeShot = [&](const std::string& path) {
        writeLcdPicture(board.lcdFrame(), path);
        if (!options.quiet) {
            line(board.instructions(), "LCD    picture written to " + path);
        }
    };
    for (const LcdShot& shot : options.shots) {
        if (shot.at) {
            board.schedule(*shot.at, [&, path = shot.path] { writeShot(path); });
        }
    }

    const StopReason reason = board.runUntil(options.run);
    printer.flushUart(board.instructions());

    for (const LcdShot& shot : options.shots) {
        if (!shot.at) {
            writeShot(shot.path);
        }
    }
    if (reason == StopReason::Fault) {
        std::fflush(stdout);
        std::cerr << "boardsim: " << board.fault()->message() << "\n";
        return 1;
    }
    if (!options.quiet) {
        line(board.instructions(), reason == StopReason::Limit ? "stop   instruction bound reached"
                                                               : "stop   LED periods counted");
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        const Options options = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
        if (options.help) {
            std::cout << usageText();
            return 0;
        }
        return simulate(options);
    } catch (const UsageError& e) {
        std::cerr << "boardsim: " << e.what() << "\n" << usageText();
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "boardsim: " << e.what() << "\n";
        return 1;
    }
}
