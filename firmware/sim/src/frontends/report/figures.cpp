// Measuring the report's figures: one run of the image from reset, its
// events kept (bounded), the engine's count of cycles by mode.
#include <algorithm>
#include <array>
#include <chrono>

#include "core/event_log.h"
#include "frontends/common/firmware_profile.h"
#include "frontends/report/report.h"
#include "frontends/report/trace_analysis.h"
#include "frontends/signal/dac_recording.h"
#include "machine/chip_map.h"

namespace boardsim {
namespace {

// Enough for a few heartbeats of the board's firmware and the first lines
// of any UART; a long run keeps the latest.
constexpr size_t kKeptEvents = 200'000;

std::string tooShort(const Figures& f, const std::string& figure)
{
    char ms[32];
    std::snprintf(ms, sizeof ms, "%.3f", f.seconds * 1e3);
    return "the run ended after " + std::to_string(f.instructions) + " instructions (" + ms + " ms), before " +
           figure + ": give a longer --run";
}

std::optional<uint64_t> delayOfZero(const ElfImage& image, uint32_t main, uint32_t delayMs)
{
    Board board(image, boardOptionsFor(image));
    const size_t watching = board.subscribe([&](const Event& e) {
        if (e.kind == EventKind::Call && e.address == main) {
            board.requestStop();
        }
    });
    if (board.runUntil(10'000'000) != StopReason::Requested) {
        return std::nullopt;
    }
    board.unsubscribe(watching);
    return board.call(delayMs, {0}, 1'000'000);
}

void measureUarts(const Board& board, const EventLog& log, Figures& f)
{
    for (int n = 0; n < Lpc2294Machine::kUarts; ++n) {
        const Uart& uart = n == 0 ? board.machine().uart0 : board.machine().uart1;
        UartFigures u;
        u.name = "UART" + std::to_string(n);
        // A line the code set up (its reset LCR is 0): its speed and frame.
        if (uart.lineControl() != 0 && uart.divisor() != 0 && f.pclkHz > 0) {
            u.baud = f.pclkHz / (16.0 * uart.divisor());
            u.frameFormat = uart.frameFormat();
        }
        std::string text;
        for (const Event& e : log.events()) {
            if (e.kind != EventKind::UartByte || e.address != uint32_t(n)) {
                continue;
            }
            ++u.bytes;
            text += char(e.value);
            if (e.value == '\n' && !u.firstLine) {
                u.firstLine = text;
                u.firstLineInstructions = e.stamp;
                u.firstLineSeconds = e.time;
            }
        }
        f.uarts.push_back(u);
    }
    // An image that set no UART up has nothing to send: no problem.
    const bool sent = std::any_of(f.uarts.begin(), f.uarts.end(), [](const UartFigures& u) { return u.bytes > 0; });
    const bool setUp = std::any_of(f.uarts.begin(), f.uarts.end(), [](const UartFigures& u) { return bool(u.baud); });
    if (!sent && setUp) {
        f.problems.push_back(tooShort(f, "any byte on UART0 or UART1 (none was sent)"));
    }
}

// When each VIC channel's interrupts were taken, the first and the last
// time: a rate is counted over the stretch its source ran, not from reset
// (a timer the code starts late is no slower for it).
class InterruptTimes {
public:
    explicit InterruptTimes(Board& board) : board_(board)
    {
        board.subscribe([this](const Event& e) {
            const auto kind = ArmException(e.value);
            if (e.kind == EventKind::Exception && (kind == ArmException::Irq || kind == ArmException::Fiq)) {
                heard(e.time);
            }
        });
    }

    // Interrupts per second of `channel` that was raised `count` times.
    double rate(unsigned channel, uint64_t count, double seconds) const
    {
        const Stretch& s = stretches_[channel];
        if (s.taken >= 3 && s.last > s.first) {
            return double(s.taken - 1) / (s.last - s.first);
        }
        return seconds > 0 ? double(count) / seconds : 0;
    }

private:
    struct Stretch {
        uint64_t taken = 0;
        double first = 0;
        double last = 0;
    };

    void heard(double time)
    {
        for (unsigned channel = 0; channel < 32; ++channel) {
            const uint64_t raised = board_.machine().interruptsRaised(channel);
            if (raised == counts_[channel]) {
                continue;
            }
            counts_[channel] = raised;
            Stretch& s = stretches_[channel];
            s.first = s.taken == 0 ? time : s.first;
            s.last = time;
            ++s.taken;
        }
    }

    Board& board_;
    std::array<uint64_t, 32> counts_{};
    std::array<Stretch, 32> stretches_{};
};

void measureInterrupts(const Board& board, const InterruptTimes& times, Figures& f)
{
    for (unsigned channel = 0; channel < 32; ++channel) {
        const uint64_t count = board.machine().interruptsRaised(channel);
        if (count != 0) {
            f.interrupts.push_back({vicChannelName(channel), count, times.rate(channel, count, f.seconds)});
        }
    }
}

void measureModes(const Board& board, Figures& f)
{
    const ModeCycles cycles = board.modeCycles();
    const double total = double(board.cycles());
    if (total <= 0) {
        return;
    }
    constexpr double kShown = 0.0005;  // a mode with less is left out
    for (uint32_t mode = 0; mode < cycles.byMode.size(); ++mode) {
        if (double(cycles.byMode[mode]) / total >= kShown) {
            f.modes.push_back({modeName(mode | 0x10), double(cycles.byMode[mode]) / total});
        }
    }
    std::sort(f.modes.begin(), f.modes.end(), [](const ModeShare& a, const ModeShare& b) { return a.share > b.share; });
    f.idleShare = double(cycles.idle) / total;
    f.powerDownShare = double(cycles.poweredDown) / total;
}

void measureDelay(const ElfImage& image, const FirmwareProfile& profile, const EventLog& log, Figures& f)
{
    for (const CallSpan& call : callsOf(log.events(), *profile.delayMs)) {
        if (!call.length() || call.argument == 0) {
            continue;
        }
        const double seconds = call.returnedAt - call.enteredAt;
        f.delayArgument = call.argument;
        f.delayInstructions = *call.length();
        f.delayUnitInstructions = double(*call.length()) / call.argument;
        f.delayUnitSeconds = seconds / call.argument;
        f.delayUnitCycles = seconds * f.cclkHz / call.argument;
        break;
    }
    if (!f.delayArgument) {
        f.problems.push_back(tooShort(f, "the first DelayMs call returned"));
        return;
    }
    if (profile.main) {
        f.delayZeroInstructions = delayOfZero(image, *profile.main, *profile.delayMs);
    }
}

void measureHeartbeat(const EventLog& log, uint32_t delayMs, uint64_t wanted, Figures& f)
{
    const auto periods = heartbeatPeriods(log.events(), delayMs);
    f.heartbeats = periods.size();
    if (periods.empty()) {
        f.problems.push_back(tooShort(f, "one complete heartbeat period (LED low for a DelayMs, then high)"));
        return;
    }
    f.heartbeatLow = periods.front().low();
    f.heartbeatHigh = periods.front().high();
    f.heartbeatSeconds = periods.front().endTime - periods.front().startTime;
    if (periods.size() < wanted) {
        f.problems.push_back(tooShort(f, std::to_string(wanted) + " heartbeat periods (" +
                                             std::to_string(periods.size()) + " seen)"));
    }
}

void measureLcd(const Lpc2294Machine& machine, Figures& f)
{
    const Spi& spi = machine.spi0;
    if (!spi.master() || spi.sckHz() <= 0) {
        return;  // an image without the LCD has no such figures, and that is no problem
    }
    f.spiSckHz = spi.sckHz();
    f.lcdFrameSeconds = kLcdFrameBytes * 8 / spi.sckHz();
    const Pcd8544::Traffic& traffic = machine.lcd().traffic();
    if (traffic.longestRun >= kLcdFrameBytes) {
        f.lcdFrameSentSeconds = traffic.longestRunSeconds;
    }
}

void measureDac(const DacRecording& recording, double seconds, Figures& f)
{
    for (unsigned output = 0; output < Tlv5618::kOutputs; ++output) {
        if (recording.changed(output)) {
            f.dacOutputs.push_back(measureSignal(recording.output(output), output, 0, seconds));
        }
    }
}

}  // namespace

Figures measure(const ElfImage& image, const ReportRequest& request)
{
    const FirmwareProfile profile = readProfile(image);
    BoardOptions options = request.board.value_or(boardOptionsFor(image));
    options.hostBaud = request.hostBaud;
    options.accountModes = true;
    Board board(image, options);
    const EventLog log(board, kKeptEvents);
    const InterruptTimes interruptTimes(board);
    const DacRecording dac(board);
    if (request.prepare) {
        request.prepare(board);
    }
    Figures f;
    f.hasMain = profile.main.has_value();
    f.hasHeartbeat = profile.delayMs.has_value();
    std::optional<HeartbeatTracker> heartbeat;
    if (profile.delayMs) {
        heartbeat.emplace(*profile.delayMs);
    }
    uint64_t beats = 0;
    board.subscribe([&](const Event& e) {
        if (profile.main && !f.mainInstructions && e.kind == EventKind::Call && e.address == *profile.main) {
            f.mainInstructions = e.stamp;
            f.mainSeconds = e.time;
        }
        if (heartbeat && heartbeat->feed(e) && ++beats >= request.periods && !request.toLimit) {
            board.requestStop();
        }
    });
    // Whichever comes first: the limit given, or the longest simulated time.
    board.scheduleAtTime(request.maxSeconds, [&board] { board.requestStop(); });
    const auto start = std::chrono::steady_clock::now();
    board.runUntil(request.limit);
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;

    f.instructions = board.instructions();
    f.seconds = board.seconds();
    f.wallSeconds = wall.count();
    f.cclkHz = board.machine().cclkHz();
    f.pclkHz = board.machine().pclkHz();
    if (board.fault()) {
        f.problems.push_back(board.fault()->message());
    }
    if (f.hasMain && !f.mainInstructions) {
        f.problems.push_back(tooShort(f, "main was reached: the start-up never called it"));
    }
    measureUarts(board, log, f);
    measureInterrupts(board, interruptTimes, f);
    measureModes(board, f);
    measureLcd(board.machine(), f);
    measureDac(dac, f.seconds, f);
    if (profile.delayMs) {
        measureDelay(image, profile, log, f);
        measureHeartbeat(log, *profile.delayMs, request.periods, f);
    }
    return f;
}

}  // namespace boardsim
