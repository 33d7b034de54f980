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
constexpr int kReportPeriods = 3;

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

bool printGreeting(const Board& board, std::ostream& out)
{
    const std::string output = board.uartOutput();
    const size_t lineEnd = output.find('\n');
    const auto end = lineEnd == std::string::npos ? std::nullopt
                                                  : uartTextEnd(board.events(), output.substr(0, lineEnd + 1));
    if (!end) {
        out << "  reset to last greeting byte:  no greeting line seen\n";
        return false;
    }
    const std::string greeting = output.substr(0, lineEnd + 1);
    out << "  reset to last greeting byte:  " << *end << " instructions (\"" << escaped(greeting) << "\", "
        << greeting.size() << " bytes, UART0 at " << number(kPclkHz / 16 / board.uart0().divisor()) << " baud "
        << board.uart0().frameFormat() << ")\n";
    return true;
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

bool printDelay(const ElfImage& image, const Board& board, std::ostream& out)
{
    const auto delayMs = image.find("DelayMs");
    std::vector<double> perUnit;
    if (delayMs) {
        for (const CallSpan& call : callsOf(board.events(), delayMs->address)) {
            if (!call.length() || call.argument == 0) {
                continue;
            }
            perUnit.push_back(double(*call.length()) / call.argument);
            if (perUnit.size() == 1) {
                out << "  DelayMs(" << call.argument << "):  " << *call.length() << " instructions\n";
            }
        }
    }
    if (perUnit.empty()) {
        out << "  per DelayMs unit:  no completed DelayMs call seen\n";
        return false;
    }
    out << "  per DelayMs unit:  ";
    printRange(out, perUnit);
    out << " instructions (" << perUnit.size() << " calls)\n";
    if (auto zero = delayOfZero(image, delayMs->address)) {
        out << "  DelayMs(0):  " << *zero << " instructions\n";
    }
    return true;
}

bool printHeartbeat(const Board& board, std::optional<uint64_t> loopStart, std::ostream& out)
{
    const auto phases = ledPhases(board.events());
    std::vector<uint64_t> periods;
    for (size_t i = 0; i + 1 < phases.size(); ++i) {
        const LedPhase& low = phases[i];
        const LedPhase& high = phases[i + 1];
        if (low.high || !loopStart || low.start < *loopStart) {
            continue;
        }
        periods.push_back(low.length() + high.length());
        if (periods.size() == 1) {
            out << "  heartbeat: LED low " << low.length() << ", high " << high.length() << " instructions\n";
        }
    }
    if (periods.empty()) {
        out << "  per heartbeat period:  no complete LED period seen\n";
        return false;
    }
    out << "  per heartbeat period:  ";
    printRange(out, periods);
    out << " instructions (" << periods.size() << " periods)\n";
    return true;
}

}  // namespace

bool printReport(const ElfImage& image, std::ostream& out, uint64_t limit)
{
    Board board(image);
    // The heartbeat starts with the main loop, at the first DealKey call; the
    // LED edges of the start-up before it are no heartbeat.
    const auto dealKey = image.find("DealKey");
    std::optional<uint64_t> loopStart;
    int fallingEdges = 0;
    board.setObserver([&](const Event& e) {
        if (!loopStart && e.kind == EventKind::Call && dealKey && e.address == dealKey->address) {
            loopStart = e.stamp;
        }
        if (loopStart && e.kind == EventKind::Led && e.address == 1 && e.value == 0 &&
            ++fallingEdges > kReportPeriods) {
            board.requestStop();
        }
    });
    board.runUntil(limit);

    printImageUse(image, out);
    out << "run (" << board.instructions() << " instructions)\n";
    bool complete = true;
    if (board.fault()) {
        out << "  " << board.fault()->message() << "\n";
        complete = false;
    }
    complete = printGreeting(board, out) && complete;
    complete = printDelay(image, board, out) && complete;
    complete = printHeartbeat(board, loopStart, out) && complete;
    return complete;
}


}  // namespace boardsim
