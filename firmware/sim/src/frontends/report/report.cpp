#include "frontends/report/report.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "core/event_log.h"
#include "frontends/common/firmware_profile.h"
#include "frontends/report/trace_analysis.h"

namespace boardsim {
namespace {

bool inRam(uint32_t address) { return address >= kRamBase && address - kRamBase < kRamSize; }

std::string number(double value, const char* format = "%.3f")
{
    char text[48];
    std::snprintf(text, sizeof text, value == double(uint64_t(value)) ? "%.0f" : format, value);
    return text;
}

std::string escaped(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<uint64_t> delayOfZero(const ElfImage& image, uint32_t delayMs)
{
    Board board(image, boardOptionsFor(image));
    auto main = image.find("main");
    if (!main) {
        return std::nullopt;
    }
    const size_t watching = board.subscribe([&](const Event& e) {
        if (e.kind == EventKind::Call && e.address == main->address) {
            board.requestStop();
        }
    });
    if (board.runUntil(10'000'000) != StopReason::Requested) {
        return std::nullopt;
    }
    board.unsubscribe(watching);
    return board.call(delayMs, {0}, 1'000'000);
}

std::string tooShort(const Figures& f, const std::string& figure)
{
    return "the run ended after " + std::to_string(f.instructions) + " instructions (" +
           number(f.seconds * 1e3) + " ms), before " + figure + ": give a longer --run";
}

void measureGreeting(const EventLog& log, Figures& f)
{
    const std::string output = log.uartText();
    const size_t lineEnd = output.find('\n');
    if (lineEnd == std::string::npos) {
        f.problems.push_back(tooShort(f, "a whole greeting line on UART0"));
        return;
    }
    f.greeting = output.substr(0, lineEnd + 1);
    const auto& events = log.events();
    const auto end = std::find_if(events.begin(), events.end(),
                                  [](const Event& e) { return e.kind == EventKind::UartByte && e.value == '\n'; });
    if (end != events.end()) {
        f.greetingInstructions = end->stamp;
        f.greetingSeconds = end->time;
    }
}

void measureDelay(const ElfImage& image, const EventLog& log, uint32_t delayMs, Figures& f)
{
    for (const CallSpan& call : callsOf(log.events(), delayMs)) {
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
    f.delayZeroInstructions = delayOfZero(image, delayMs);
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

void printLcd(const Figures& f, std::ostream& out)
{
    if (!f.lcdFrameSeconds) {
        return;
    }
    out << "  LCD over SPI0: SCK " << number(*f.spiSckHz / 1e6, "%.4f") << " MHz; a whole frame (" << kLcdFrameBytes
        << " bytes) " << number(*f.lcdFrameSeconds * 1e3) << " ms on the wire, " << number(1 / *f.lcdFrameSeconds, "%.1f")
        << " frames/s at most";
    if (f.lcdFrameSentSeconds) {
        out << "; the image sent one in " << number(*f.lcdFrameSentSeconds * 1e3) << " ms ("
            << number(1 / *f.lcdFrameSentSeconds, "%.1f") << " frames/s)";
    }
    out << "\n";
}

void printText(const ElfImage& image, const Figures& f, std::ostream& out)
{
    const ImageUse use = imageUse(image);
    out << "image\n";
    out << "  flash used:  " << use.flashBytes << " of " << kFlashSize << " bytes ("
        << number(100.0 * use.flashBytes / kFlashSize) << " %)\n";
    out << "  RAM used:    " << use.ramTotal() << " of " << kRamSize << " bytes (" << use.ramData << " data, "
        << use.ramZeroed << " zeroed, " << use.ramOther << " stacks and other)\n";
    out << "clocks (as the image set them)\n";
    out << "  cclk " << number(f.cclkHz / 1e6, "%.4f") << " MHz, pclk " << number(f.pclkHz / 1e6, "%.4f")
        << " MHz";
    if (f.uartBaud) {
        out << ", UART0 " << number(*f.uartBaud, "%.1f") << " baud " << f.frameFormat;
    }
    out << "\n";
    out << "run (" << f.instructions << " instructions, " << number(f.seconds * 1e3) << " ms simulated in "
        << number(f.wallSeconds * 1e3) << " ms: " << number(f.seconds / f.wallSeconds, "%.1f")
        << " x real time)\n";
    if (f.greeting) {
        out << "  reset to last greeting bit:  " << number(*f.greetingSeconds * 1e6) << " us, "
            << *f.greetingInstructions << " instructions (\"" << escaped(*f.greeting) << "\", "
            << f.greeting->size() << " bytes)\n";
    }
    if (f.delayArgument) {
        out << "  DelayMs(" << *f.delayArgument << "):  " << *f.delayInstructions << " instructions\n";
        out << "  per DelayMs unit:  " << number(*f.delayUnitInstructions) << " instructions, "
            << number(*f.delayUnitCycles, "%.1f") << " cycles, " << number(*f.delayUnitSeconds * 1e6) << " us\n";
    }
    if (f.delayZeroInstructions) {
        out << "  DelayMs(0):  " << *f.delayZeroInstructions << " instructions\n";
    }
    if (f.heartbeatSeconds) {
        out << "  heartbeat: LED low " << *f.heartbeatLow << ", high " << *f.heartbeatHigh << " instructions; "
            << number(*f.heartbeatSeconds * 1e3) << " ms a period, the LED blinks at "
            << number(1.0 / *f.heartbeatSeconds) << " Hz (" << f.heartbeats << " periods)\n";
    }
    printLcd(f, out);
}

void jsonField(std::ostream& out, bool& first, const char* name, const std::optional<double>& value)
{
    out << (first ? "" : ", ") << "\"" << name << "\": ";
    first = false;
    if (value) {
        char text[48];
        std::snprintf(text, sizeof text, "%.9g", *value);
        out << text;
    } else {
        out << "null";
    }
}

void printJson(const ElfImage& image, const Figures& f, std::ostream& out)
{
    const ImageUse use = imageUse(image);
    auto maybe = [](const auto& v) { return v ? std::optional<double>(double(*v)) : std::nullopt; };
    bool first = true;
    out << "{";
    jsonField(out, first, "cclk_hz", f.cclkHz);
    jsonField(out, first, "pclk_hz", f.pclkHz);
    jsonField(out, first, "uart0_baud", f.uartBaud);
    jsonField(out, first, "delay_unit_cycles", f.delayUnitCycles);
    jsonField(out, first, "delay_unit_us", f.delayUnitSeconds ? std::optional<double>(*f.delayUnitSeconds * 1e6)
                                                              : std::nullopt);
    jsonField(out, first, "delay_unit_instructions", f.delayUnitInstructions);
    jsonField(out, first, "heartbeat_period_ms",
              f.heartbeatSeconds ? std::optional<double>(*f.heartbeatSeconds * 1e3) : std::nullopt);
    jsonField(out, first, "led_hz", f.heartbeatSeconds ? std::optional<double>(1.0 / *f.heartbeatSeconds)
                                                       : std::nullopt);
    jsonField(out, first, "reset_to_greeting_us",
              f.greetingSeconds ? std::optional<double>(*f.greetingSeconds * 1e6) : std::nullopt);
    jsonField(out, first, "reset_to_greeting_instructions", maybe(f.greetingInstructions));
    jsonField(out, first, "spi0_sck_hz", f.spiSckHz);
    jsonField(out, first, "lcd_frame_ms", f.lcdFrameSeconds ? std::optional<double>(*f.lcdFrameSeconds * 1e3) : std::nullopt);
    jsonField(out, first, "lcd_frames_per_s",
              f.lcdFrameSeconds ? std::optional<double>(1 / *f.lcdFrameSeconds) : std::nullopt);
    jsonField(out, first, "lcd_frame_sent_ms",
              f.lcdFrameSentSeconds ? std::optional<double>(*f.lcdFrameSentSeconds * 1e3) : std::nullopt);
    jsonField(out, first, "sim_speed_x_real_time", f.seconds / f.wallSeconds);
    jsonField(out, first, "instructions", double(f.instructions));
    jsonField(out, first, "simulated_ms", f.seconds * 1e3);
    jsonField(out, first, "flash_bytes", double(use.flashBytes));
    jsonField(out, first, "ram_bytes", double(use.ramTotal()));
    out << "}\n";
}

}  // namespace

ImageUse imageUse(const ElfImage& image)
{
    ImageUse use;
    for (const LoadChunk& chunk : image.loadChunks()) {
        use.flashBytes += uint32_t(chunk.bytes.size());
    }
    for (const Section& s : image.sections()) {
        if (!s.allocated || !inRam(s.address)) {
            continue;
        }
        if (s.occupiesFile) {
            use.ramData += s.size;
        } else if (s.name == ".bss") {
            use.ramZeroed += s.size;
        } else {
            use.ramOther += s.size;
        }
    }
    return use;
}

Figures measure(const ElfImage& image, const ReportRequest& request)
{
    const auto delayMs = image.find("DelayMs");
    if (!delayMs) {
        throw BoardError("the image has no DelayMs function: there is no delay or heartbeat to measure");
    }
    BoardOptions options = boardOptionsFor(image);
    options.hostBaud = request.hostBaud;
    Board board(image, options);
    const EventLog log(board);
    HeartbeatTracker heartbeat(delayMs->address);
    uint64_t beats = 0;
    board.subscribe([&](const Event& e) {
        if (heartbeat.feed(e) && ++beats >= request.periods) {
            board.requestStop();
        }
    });
    const auto start = std::chrono::steady_clock::now();
    board.runUntil(request.limit);
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;

    Figures f;
    f.instructions = board.instructions();
    f.seconds = board.seconds();
    f.wallSeconds = wall.count();
    f.cclkHz = board.machine().cclkHz();
    f.pclkHz = board.machine().pclkHz();
    if (board.machine().uart0.divisor() != 0) {
        f.uartBaud = f.pclkHz / (16.0 * board.machine().uart0.divisor());
        f.frameFormat = board.machine().uart0.frameFormat();
    }
    if (board.fault()) {
        f.problems.push_back(board.fault()->message());
    }
    measureGreeting(log, f);
    measureDelay(image, log, delayMs->address, f);
    measureHeartbeat(log, delayMs->address, request.periods, f);
    measureLcd(board.machine(), f);
    return f;
}

std::vector<std::string> printReport(const ElfImage& image, std::ostream& out, const ReportRequest& request)
{
    const Figures f = measure(image, request);
    if (request.json) {
        printJson(image, f, out);
    } else {
        printText(image, f, out);
    }
    return f.problems;
}

}  // namespace boardsim
