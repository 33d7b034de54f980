// boardsim: runs a firmware.elf for the LPC2294 board and prints what the
// board shows: UART0 output, key presses, LCD pictures and faults, each
// stamped with the instructions executed since reset, and at the end what
// each pin did (every edge of the pins asked for as it comes).
#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include <iterator>
#include <memory>
#include <set>

#include "machine/board.h"
#include "frontends/gdb/gdb_board_target.h"
#include "frontends/gdb/gdb_server.h"
#include "frontends/isp/isp_command.h"
#include "frontends/common/lcd_picture.h"
#include "frontends/live/live_run.h"
#include "frontends/cli/options.h"
#include "frontends/common/signals.h"
#include "frontends/common/firmware_profile.h"
#include "frontends/common/output_file.h"
#include "frontends/report/report.h"
#include "frontends/report/trace_analysis.h"
#include "frontends/scenario/scenario_cli.h"
#include "frontends/trace/pin_activity.h"
#include "frontends/signal/dac_out.h"
#include "frontends/trace/pin_trace.h"
#include "frontends/web/web_run.h"
#include "machine/pin_names.h"
#include "util/text.h"

namespace {

using namespace boardsim;

constexpr size_t kLongestUartPiece = 256;
constexpr double kQuietUart = 0.010;  // seconds without a byte that end a piece

void line(uint64_t stamp, double seconds, const std::string& what)
{
    std::printf("%12llu %12.3f ms  %s\n", static_cast<unsigned long long>(stamp), seconds * 1e3, what.c_str());
}

// A value that points at data (RAM, a peripheral, a data section of the
// image) reads better in hex with what it points at; anything else is a number.
std::string argumentText(const ElfImage& image, uint32_t value)
{
    const Section* section = image.sectionAt(value);
    const bool data = (value >= kRamBase && value - kRamBase < kRamSize) || value >= 0xE0000000u ||
                      (section != nullptr && !section->executable);
    if (!data) {
        return std::to_string(value);
    }
    std::string text = hex(value);
    const std::string symbol = image.describe(value);
    if (!symbol.empty()) {
        text += " <" + symbol + ">";
    } else if (section != nullptr) {
        text += " <" + section->name + ">";
    }
    return text;
}

// A register's name in a --trace-io line, which shows its address beside
// it: no address twice. One that is no register of any block has no name
// ("-"); an offset in a block without a register there, short ("GPIO0+0x20").
std::string traceName(const std::string& name, uint32_t address)
{
    if (name == hex(address)) {
        return "-";
    }
    const size_t plus = name.find("+0x");
    if (plus == std::string::npos) {
        return name;
    }
    char offset[16];
    std::snprintf(offset, sizeof offset, "+0x%x", unsigned(std::stoul(name.substr(plus + 3), nullptr, 16)));
    return name.substr(0, plus) + offset;
}

class Printer {
public:
    Printer(Board& board, const Options& options, std::set<uint32_t> shown)
        : board_(board), options_(options), shown_(std::move(shown))
    {
        if (options.periods) {
            const auto delayMs = board.image().find("DelayMs");
            if (!delayMs) {
                throw BoardError("--periods: the image has no DelayMs, so its heartbeat cannot be told");
            }
            heartbeat_.emplace(delayMs->address);
        }
    }

    void operator()(const Event& e)
    {
        countPeriods(e);
        endQuietPieces(e.time);
        switch (e.kind) {
        case EventKind::UartByte: uart(e); break;
        case EventKind::Led: break;  // the pins' summary, or --trace-pins
        case EventKind::Key: key(e); break;
        case EventKind::Call:
        case EventKind::Return:
        case EventKind::Swi: call(e); break;
        case EventKind::IoRead:
        case EventKind::IoWrite: io(e); break;
        case EventKind::Exception: exception(e); break;
        case EventKind::ChipReset:
            if (!options_.quiet) {
                line(e.stamp, e.time, "reset  " + board_.lastChipReset());
            }
            break;
        }
    }

    void flushUart(uint64_t stamp, double seconds)
    {
        for (int n = 0; n < Lpc2294Machine::kUarts; ++n) {
            if (!pendingUart_[size_t(n)].empty() && !options_.quiet) {
                line(stamp, seconds, "UART" + std::to_string(n) + "  " + quoted(pendingUart_[size_t(n)]));
            }
            pendingUart_[size_t(n)].clear();
        }
    }

private:
    void uart(const Event& e)
    {
        const size_t n = e.address;
        pendingUart_[n] += char(e.value);
        lastUartByte_[n] = {e.stamp, e.time};
        // A UART that never sends a line feed is printed in pieces as it
        // comes (a long one, or one the UART fell quiet after), not held
        // until the end of the run.
        if (e.value == '\n' || pendingUart_[n].size() >= kLongestUartPiece) {
            printPiece(n);
        }
    }

    void printPiece(size_t n)
    {
        if (!options_.quiet) {
            line(lastUartByte_[n].first, lastUartByte_[n].second,
                 "UART" + std::to_string(n) + "  " + quoted(pendingUart_[n]));
            // What the board says shows as it says it, also in a pipe (a
            // long run prints little else until its end).
            std::fflush(stdout);
        }
        pendingUart_[n].clear();
    }

    void endQuietPieces(double now)
    {
        for (size_t n = 0; n < pendingUart_.size(); ++n) {
            if (!pendingUart_[n].empty() && now - lastUartByte_[n].second > kQuietUart) {
                printPiece(n);
            }
        }
    }

    void key(const Event& e) const
    {
        if (!options_.quiet) {
            line(e.stamp, e.time, "KEY_" + std::to_string(e.address) + (e.value ? "  down" : "  up"));
        }
    }

    void call(const Event& e) const
    {
        if (options_.quiet) {
            return;
        }
        if (e.kind == EventKind::Swi) {
            if (options_.showCalls) {
                line(e.stamp, e.time, "swi    code " + std::to_string(e.value));
            }
            return;
        }
        if (!options_.showCalls && shown_.count(e.address) == 0) {
            return;
        }
        const std::string name = board_.image().describe(e.address);
        if (e.kind == EventKind::Call) {
            line(e.stamp, e.time, "call   " + name + "(r0 = " + argumentText(board_.image(), e.value) + ")");
        } else {
            line(e.stamp, e.time, "return " + name);
        }
    }

    void io(const Event& e) const
    {
        if (options_.quiet) {
            return;
        }
        const bool read = e.kind == EventKind::IoRead;
        char name[16];
        std::snprintf(name, sizeof name, "%-8s", traceName(board_.registerName(e.address, !read), e.address).c_str());
        line(e.stamp, e.time, std::string(read ? "read   " : "write  ") + name + " " + hex(e.address) +
                          (read ? " -> " : " <- ") + hex(e.value) + "  by " + board_.locate(e.pc));
    }

    void exception(const Event& e) const
    {
        // Interrupts are routine in interrupt-driven firmware: shown with
        // the calls; aborts and undefined instructions always.
        const auto kind = ArmException(e.value);
        const bool routine = kind == ArmException::Irq || kind == ArmException::Fiq;
        if (!options_.quiet && (!routine || options_.showCalls)) {
            line(e.stamp, e.time, std::string("enter  ") + exceptionEntry(ArmException(e.value)).name + " from " +
                              board_.locate(e.pc));
        }
    }

    void countPeriods(const Event& e)
    {
        if (heartbeat_ && heartbeat_->feed(e) && ++periods_ >= *options_.periods) {
            board_.requestStop();
        }
    }

    Board& board_;
    const Options& options_;
    std::set<uint32_t> shown_;  // functions named by --watch
    std::optional<HeartbeatTracker> heartbeat_;
    std::array<std::string, Lpc2294Machine::kUarts> pendingUart_;
    std::array<std::pair<uint64_t, double>, Lpc2294Machine::kUarts> lastUartByte_{};  // its stamp and time
    uint64_t periods_ = 0;
};

void showLive(std::optional<LiveRun>& live, const Event& e)
{
    if (live) {
        live->observe(e);
    }
}

std::string stopText(const std::optional<LiveRun>& live, StopReason reason, const Options& options)
{
    if (live && !live->ending().empty()) {
        return live->ending();
    }
    if (reason == StopReason::Requested && pendingSignal() != 0) {
        return std::string("interrupted (") + signalName(pendingSignal()) + ")";
    }
    return reason == StopReason::Limit ? "end of the run (--run " + options.run.text + ")" : "LED periods counted";
}

BoardOptions boardOptionsFor(const ElfImage& image, const Options& options)
{
    BoardOptions boardOptions = boardOptionsFor(image);
    boardOptions.traceIo = options.traceIo;
    boardOptions.strict = options.strict;
    boardOptions.onWarning = [](const std::string& warning) {
        std::fflush(stdout);
        std::cerr << "boardsim: warning: " << warning << "\n";
    };
    boardOptions.hostBaud = options.baud;
    boardOptions.bounceSeconds = options.bounce;
    boardOptions.uartLoopback = options.uartLoopback;
    boardOptions.ain = options.ain;
    return boardOptions;
}

// The board as the command line makes it (loopback plugs, key contacts,
// keys pressed), measured.
int report(const ElfImage& image, const Options& options)
{
    ReportRequest request;
    request.board = boardOptionsFor(image, options);
    request.board->traceIo = false;  // the figures, not every access
    request.prepare = [&options](Board& board) {
        for (const KeyPress& press : options.presses) {
            board.pressKey(press.key, press.at, press.hold);
        }
    };
    if (options.runGiven) {
        request.limit = options.run;
    }
    request.periods = options.periods.value_or(request.periods);
    request.hostBaud = options.baud;
    request.json = options.json;
    request.toLimit = !options.presses.empty();
    request.prepare = [&options](Board& board) {
        for (const KeyPress& press : options.presses) {
            board.pressKey(press.key, press.at, press.hold);
        }
    };
    const auto problems = printReport(image, std::cout, request);
    for (const std::string& problem : problems) {
        std::cerr << "boardsim: report incomplete: " << problem << "\n";
    }
    return problems.empty() ? 0 : 1;
}

// Functions named by --watch, as the board knows them; data is refused.
std::set<uint32_t> watchedByName(const ElfImage& image, const Options& options, BoardOptions& boardOptions)
{
    std::set<uint32_t> addresses;
    for (const std::string& name : options.extraWatched) {
        const auto symbol = image.find(name);
        if (!symbol) {
            throw UsageError("--watch: the image has no symbol " + name);
        }
        if (!symbol->isFunction) {
            throw UsageError("--watch: " + name + " is data, not a function (at " + hex(symbol->address) + ")");
        }
        boardOptions.watched.push_back(symbol->address);
        addresses.insert(symbol->address);
    }
    return addresses;
}

// The LCD pictures a run was asked for: at moments scheduled on the board,
// and at its end.
class Pictures {
public:
    Pictures(Board& board, const Options& options) : board_(board), options_(options)
    {
        for (const LcdShot& shot : options.shots) {
            if (shot.at) {
                pending_.push_back(&shot);
                board.schedule(*shot.at, [this, entry = pending_.size() - 1] {
                    write(pending_[entry]->path);
                    pending_[entry] = nullptr;
                });
            }
        }
    }

    void writeFinal()
    {
        for (const LcdShot& shot : options_.shots) {
            if (!shot.at) {
                write(shot.path);
            }
        }
    }

    // Says which pictures the run ended too early for; false if any.
    bool allWritten() const
    {
        bool all = true;
        for (const LcdShot* shot : pending_) {
            if (shot != nullptr) {
                std::fflush(stdout);
                std::cerr << "boardsim: " << shot->path << " not written: the run ended after "
                          << board_.instructions() << " instructions (" << board_.seconds() * 1e3 << " ms), before "
                          << shot->at->text << "\n";
                all = false;
            }
        }
        return all;
    }

private:
    void write(const std::string& path)
    {
        writeLcdPicture(board_.lcdFrame(), path);
        if (!options_.quiet) {
            line(board_.instructions(), board_.seconds(), "LCD    picture written to " + path);
        }
        // An empty glass is no fault, but whoever asked for the picture
        // wants to know why it is empty.
        const std::string blank = board_.lcdWhyBlank();
        if (!blank.empty()) {
            std::fflush(stdout);
            std::cerr << "boardsim: " << path << ": the LCD shows nothing: " << blank << "\n";
        }
    }

    Board& board_;
    const Options& options_;
    std::vector<const LcdShot*> pending_;
};

// Every edge of the pins --trace-pins names, as a line; the summary of all
// at the end.
std::unique_ptr<PinActivity> watchPins(Board& board, const Options& options)
{
    auto activity = std::make_unique<PinActivity>(
        options.quiet ? 0 : options.tracePins, [](uint64_t stamp, double time, unsigned pin, bool level) {
            line(stamp, time, "pin    " + describePin(pin) + (level ? " high" : " low"));
        });
    activity->attach(board);
    return activity;
}

void printPinSummary(const Board& board, const PinActivity& activity, const Options& options)
{
    if (options.quiet) {
        return;
    }
    for (const std::string& text : activity.summary(board.seconds())) {
        line(board.instructions(), board.seconds(), "pins   " + text);
    }
}

int finishRun(const Board& board, StopReason reason, const Options& options, const Pictures& pictures,
              const std::optional<LiveRun>& live, const PinActivity& activity)
{
    if (reason == StopReason::Fault) {
        printPinSummary(board, activity, options);
        std::fflush(stdout);
        std::cerr << "boardsim: " << board.fault()->message() << "\n";
        return 1;
    }
    if (!options.quiet) {
        line(board.instructions(), board.seconds(), "stop   " + stopText(live, reason, options));
    }
    printPinSummary(board, activity, options);
    bool complete = pictures.allWritten();
    if (board.machine().lineCheck() && board.machine().terminal().garbled()) {
        std::fflush(stdout);
        std::cerr << "boardsim: " << board.machine().garbleMessage() << "\n";
        complete = false;
    }
    return complete ? 0 : 1;
}

// Every file the run will write, with the option that names it.
std::vector<NamedOutput> outputsOf(const Options& options)
{
    std::vector<NamedOutput> outputs;
    std::transform(options.shots.begin(), options.shots.end(), std::back_inserter(outputs),
                   [](const LcdShot& shot) { return NamedOutput{shot.at ? "--lcd-at" : "--lcd", shot.path}; });
    if (!options.lcdMovie.empty()) {
        outputs.push_back({"--lcd-movie", options.lcdMovie});
    }
    if (!options.saveFlash.empty()) {
        outputs.push_back({"--save-flash", options.saveFlash});
    }
    if (!options.vcd.empty()) {
        outputs.push_back({"--vcd", options.vcd});
    }
    if (!options.dacOut.empty()) {
        outputs.push_back({"--dac-out", options.dacOut});
    }
    if (!options.junit.empty()) {
        outputs.push_back({"--junit", options.junit});
    }
    return outputs;
}

// The pin trace and the DAC's outputs: whatever of them the run was asked
// for, following each board the run makes.
class Recorders {
public:
    explicit Recorders(const Options& options)
    {
        if (!options.vcd.empty()) {
            trace_.emplace(options.vcd, options.vcdPins, options.vcdDac);
        }
        if (!options.dacOut.empty()) {
            dacOut_.emplace(options.dacOut, options.dacRate);
        }
    }
    void attach(Board& board)
    {
        if (trace_) {
            trace_->attach(board);
        }
        if (dacOut_) {
            dacOut_->attach(board);
        }
    }
    void detach()
    {
        if (trace_) {
            trace_->detach();
        }
        if (dacOut_) {
            dacOut_->detach();
        }
    }
    // Both complete up to the board's present moment, however the run ended;
    // the first that cannot be written is thrown once both were tried.
    void finish()
    {
        std::exception_ptr failed;
        const auto attempt = [&failed](auto& recorder) {
            try {
                if (recorder) {
                    recorder->finish();
                }
            } catch (const std::exception&) {
                failed = failed ? failed : std::current_exception();
            }
        };
        attempt(trace_);
        attempt(dacOut_);
        if (failed) {
            std::rethrow_exception(failed);
        }
    }

private:
    std::optional<PinTrace> trace_;
    std::optional<DacOut> dacOut_;
};

// The board under gdb: nothing runs until gdb says so. The board's events
// are printed as in a plain run.
int debug(const Options& options)
{
    const ElfImage image = ElfImage::fromFile(options.image);
    refuseClashingOutputs(options.image, outputsOf(options));
    BoardOptions boardOptions = boardOptionsFor(image, options);
    const std::set<uint32_t> shown = watchedByName(image, options, boardOptions);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // lines show up while gdb holds the board
    std::unique_ptr<Printer> printer;
    std::unique_ptr<PinActivity> pins;
    // One trace over the session: a monitor reset's new board goes on
    // where the old one was let go.
    Recorders recorders(options);
    GdbBoardTarget target(
        image, boardOptions,
        [&](Board& board) {
            printer = std::make_unique<Printer>(board, options, shown);
            board.subscribe([p = printer.get()](const Event& e) { (*p)(e); });
            pins = watchPins(board, options);
            for (const KeyPress& press : options.presses) {
                board.pressKey(press.key, press.at, press.hold);
            }
            recorders.attach(board);
        },
        options.speedGiven ? std::optional<double>(options.speed) : std::nullopt,
        [&](Board& /*board*/) { recorders.detach(); });
    GdbServer server(*options.gdbPort);
    std::cerr << "boardsim: waiting for gdb on 127.0.0.1:" << server.port() << std::endl;
    server.serve(target, std::cerr, [] { return pendingSignal() != 0; });
    recorders.finish();
    return 0;
}

// The boot loader ended without starting any code: what only a run can
// make is not made, and the run fails if any was asked for.
int nothingRan(const Options& options)
{
    int status = 0;
    for (const NamedOutput& output : outputsOf(options)) {
        if (output.option != "--save-flash") {
            std::cerr << "boardsim: " << output.path << " not written: no code ran after the boot loader\n";
            status = 1;
        }
    }
    return status;
}

int simulate(const Options& options)
{
    const ElfImage image = options.image.empty() ? ElfImage() : ElfImage::fromFile(options.image);
    if (options.report) {
        return report(image, options);
    }
    if (options.web) {
        return serveWeb(image, options);
    }
    refuseClashingOutputs(options.image, outputsOf(options));
    if (!options.scenarios.empty()) {
        return runScenarios(image, boardOptionsFor(image, options), options, std::cout, std::cerr);
    }
    for (const LcdShot& shot : options.shots) {
        checkWritable(shot.path);
    }
    if (!options.saveFlash.empty()) {
        checkWritable(options.saveFlash);
    }
    Recorders recorders(options);
    BoardOptions boardOptions = boardOptionsFor(image, options);
    std::set<uint32_t> shown = watchedByName(image, options, boardOptions);
    // The ISP port is UART0: after the boot loader, the code runs on, paced,
    // with UART0 on the same link. The session sees the host open and close
    // the link, so the pty does not hold it open itself.
    std::unique_ptr<Pty> ispLink;
    if (!options.ispLink.empty()) {
        ispLink = std::make_unique<Pty>(options.ispLink, false, std::cerr);
        const IspEnd end = bootThroughIsp(image, options, *ispLink, boardOptions);
        if (end != IspEnd::Run) {
            return end == IspEnd::Done ? nothingRan(options) : 1;
        }
    }
    Board board(image, boardOptions);
    board.stopWhen(pendingSignalFlag());
    recorders.attach(board);
    std::optional<LiveRun> live;
    if (LiveRun::wanted(options, ispLink.get())) {
        live.emplace(board, options, ispLink.get());
    }
    Printer printer(board, options, std::move(shown));
    board.subscribe([&](const Event& e) {
        printer(e);
        showLive(live, e);
    });
    const std::unique_ptr<PinActivity> pins = watchPins(board, options);
    for (const KeyPress& press : options.presses) {
        board.pressKey(press.key, press.at, press.hold);
    }
    Pictures pictures(board, options);
    const StopReason reason = live ? live->run() : board.runUntil(options.run);
    printer.flushUart(board.instructions(), board.seconds());
    recorders.finish();  // first: the longest to make, and whole up to a fault too
    pictures.writeFinal();
    if (!options.saveFlash.empty() && !ispLink) {
        saveFlash(board.readMemory(kFlashBase, kFlashSize), options.saveFlash);  // the core cannot write it
    }
    return finishRun(board, reason, options, pictures, live, *pins);
}

// What was printed is the run's result: output that could not all be
// written fails it.
int checkStandardOutput(int status)
{
    errno = 0;
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0 && std::cout.good()) {
        return status;
    }
    const int reason = errno;
    std::cerr << "boardsim: cannot write standard output: " << (reason != 0 ? std::strerror(reason) : "write error")
              << "\n";
    return 1;
}

int run(const Options& options)
{
    if (options.help) {
        std::cout << usageText();
        return 0;
    }
    return options.gdbPort ? debug(options) : simulate(options);
}

}  // namespace

int main(int argc, char** argv)
{
    const SignalGuard signals;
    int status = 0;
    // A paced run (also the one after the boot loader) goes on until it is
    // interrupted: a signal ends it as intended.
    bool endedAsIntended = false;
    try {
        const Options options = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
        endedAsIntended = options.screen || !options.uartPty.empty() || !options.ispLink.empty() || options.web.has_value();
        status = run(options);
    } catch (const UsageError& e) {
        std::cerr << "boardsim: " << e.what() << "\n" << usageText();
        status = 2;
    } catch (const std::exception& e) {
        std::cerr << "boardsim: " << terminalSafe(e.what()) << "\n";
        status = 1;
    }
    const int ending = pendingSignal();
    if (ending == SIGPIPE || (ending != 0 && !endedAsIntended)) {
        // Everything is written; the run was cut short, and says so the
        // way a shell understands.
        endBySignal(ending);
    }
    return checkStandardOutput(status);
}
