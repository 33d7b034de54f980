#include "report.h"


#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "board.h"
#include "trace_analysis.h"

namespace boardsim {
namespace {

// Peripheral clock of the board: 11.0592 MHz crystal, core at 4 x, VPB at 1/4.
constexpr double kPclkHz = 11059200.0;

bool inRam(uint32_t address) { return address >= kRamBase && address - kRamBase < kRamSize; }

std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, value == double(uint64_t(value)) ? "%.0f" : "%.3f", value);
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
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<uint64_t> delayOfZero(const ElfImage& image, uint32_t delayMs)
{
    Board board(image);
    auto main = image.find("main");
    if (!main) {
        return std::nullopt;
    }
    board.setObserver([&](const Event& e) {
        if (e.kind == EventKind::Call && e.address == main->address) {
            board.requestStop();
        }
    });
    if (board.runUntil(10'000'000) != StopReason::Requested) {
        return std::nullopt;
    }
    board.setObserver(nullptr);
    return board.call(delayMs, {0}, 1'000'000);
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

namespace {

void printImageUse(const ElfImage& image, std::ostream& out)
{
    const ImageUse use = imageUse(image);
    out << "image\n";
    out << "  flash used:  " << use.flashBytes << " of " << kFlashSize << " bytes ("
        << number(100.0 * use.flashBytes / kFlashSize) << " %)\n";
    out << "  RAM used:    " << use.ramTotal() << " of " << kRamSize << " bytes (" << use.ramData << " data, "
        << use.ramZeroed << " zeroed, " << use.ramOther << " stacks and other)\n";
}

using Problems = std::vector<std::string>;

std::string tooShort(const Board& board, const std::string& figure)
{
    return "the run ended after " + std::to_string(board.instructions()) + " instructions, before " + figure +
           ": give a longer --run";
}

void printGreeting(const Board& board, std::ostream& out, Problems& problems)
{
    const std::string output = board.uartOutput();
    const size_t lineEnd = output.find('\n');
    const auto end = lineEnd == std::string::npos ? std::nullopt
                                                  : uartTextEnd(board.events(), output.substr(0, lineEnd + 1));
    if (!end) {
        out << "  reset to last greeting byte:  no greeting line seen\n";
        problems.push_back(tooShort(board, "a whole greeting line on UART0"));
        return;
    }
    const std::string greeting = output.substr(0, lineEnd + 1);
    out << "  reset to last greeting byte:  " << *end << " instructions (\"" << escaped(greeting) << "\", "
        << greeting.size() << " bytes, UART0 at " << number(kPclkHz / 16 / board.machine().uart0.divisor()) << " baud "
        << board.machine().uart0.frameFormat() << ")\n";
}

template <typename T>
void printRange(std::ostream& out, const std::vector<T>& values)
{
    const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
    out << number(double(*lo));
    if (*hi != *lo) {
        out << " .. " << number(double(*hi));
    }
}

void printDelay(const ElfImage& image, const Board& board, uint32_t delayMs, std::ostream& out,
                Problems& problems)
{
    std::vector<double> perUnit;
    for (const CallSpan& call : callsOf(board.events(), delayMs)) {
        if (!call.length() || call.argument == 0) {
            continue;
        }
        perUnit.push_back(double(*call.length()) / call.argument);
        if (perUnit.size() == 1) {
            out << "  DelayMs(" << call.argument << "):  " << *call.length() << " instructions\n";
        }
    }
    if (perUnit.empty()) {
        out << "  per DelayMs unit:  no completed DelayMs call seen\n";
        problems.push_back(tooShort(board, "the first DelayMs call returned"));
        return;
    }
    out << "  per DelayMs unit:  ";
    printRange(out, perUnit);
    out << " instructions (" << perUnit.size() << " calls)\n";
    if (auto zero = delayOfZero(image, delayMs)) {
        out << "  DelayMs(0):  " << *zero << " instructions\n";
    }
}

void printHeartbeat(const Board& board, uint32_t delayMs, uint64_t wanted, std::ostream& out, Problems& problems)
{
    const auto periods = heartbeatPeriods(board.events(), delayMs);
    if (periods.empty()) {
        out << "  per heartbeat period:  no complete LED period seen\n";
        problems.push_back(tooShort(board, "one complete heartbeat period (LED low for a DelayMs, then high)"));
        return;
    }
    out << "  heartbeat: LED low " << periods.front().low() << ", high " << periods.front().high()
        << " instructions\n";
    std::vector<uint64_t> lengths(periods.size());
    std::transform(periods.begin(), periods.end(), lengths.begin(),
                   [](const HeartbeatPeriod& period) { return period.length(); });
    out << "  per heartbeat period:  ";
    printRange(out, lengths);
    out << " instructions (" << periods.size() << " periods)\n";
    if (periods.size() < wanted) {
        problems.push_back(tooShort(board, std::to_string(wanted) + " heartbeat periods (" +
                                               std::to_string(periods.size()) + " seen)"));
    }
}

}  // namespace

std::vector<std::string> printReport(const ElfImage& image, std::ostream& out, uint64_t limit, uint64_t periods)
{
    const auto delayMs = image.find("DelayMs");
    if (!delayMs) {
        throw BoardError("the image has no DelayMs function: there is no delay or heartbeat to measure");
    }
    Board board(image);
    HeartbeatTracker heartbeat(delayMs->address);
    uint64_t beats = 0;
    board.setObserver([&](const Event& e) {
        if (heartbeat.feed(e) && ++beats >= periods) {
            board.requestStop();
        }
    });
    board.runUntil(limit);

    printImageUse(image, out);
    out << "run (" << board.instructions() << " instructions)\n";
    Problems problems;
    if (board.fault()) {
        out << "  " << board.fault()->message() << "\n";
        problems.push_back(board.fault()->message());
    }
    printGreeting(board, out, problems);
    printDelay(image, board, delayMs->address, out, problems);
    printHeartbeat(board, delayMs->address, periods, out, problems);
    return problems;
}

}  // namespace boardsim
