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
    std::snprintf(text, sizeof text, "%.3f", value);
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

bool printReport(const ElfImage& image, std::ostream& out, uint64_t limit)
{
    bool complete = true;
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
    const auto& events = board.events();

    out << "image\n";
    const ImageUse use = imageUse(image);
    out << "  flash used:  " << use.flashBytes << " of " << kFlashSize << " bytes ("
        << number(100.0 * use.flashBytes / kFlashSize) << " %)\n";
    out << "  RAM used:    " << use.ramTotal() << " of " << kRamSize << " bytes (" << use.ramData << " data, "
        << use.ramZeroed << " zeroed, " << use.ramOther << " stacks and other)\n";

    out << "run (" << board.instructions() << " instructions)\n";
    if (board.fault()) {
        out << "  " << board.fault()->message() << "\n";
        complete = false;
    }

    const std::string output = board.uartOutput();
    const std::string greeting = output.substr(0, output.find('\n') + 1);
    const auto greetingEnd = greeting.empty() ? std::nullopt : uartTextEnd(events, greeting);
    if (greetingEnd) {
        out << "  reset to last greeting byte:  " << *greetingEnd << " instructions (\"" << escaped(greeting)
            << "\", " << greeting.size() << " bytes, UART0 at " << number(kPclkHz / 16 / board.uart0().divisor())
            << " baud " << board.uart0().frameFormat() << ")\n";
    } else {
        out << "  reset to last greeting byte:  no greeting line seen\n";
        complete = false;
    }

    const auto delayMs = image.find("DelayMs");
    std::vector<double> perUnit;
    if (delayMs) {
        for (const CallSpan& call : callsOf(events, delayMs->address)) {
            if (call.length() && call.argument > 0) {
                perUnit.push_back(double(*call.length()) / call.argument);
                if (perUnit.size() == 1) {
                    out << "  DelayMs(" << call.argument << "):  " << *call.length() << " instructions\n";
                }
            }
        }
    }
    if (!perUnit.empty()) {
        const auto [lo, hi] = std::minmax_element(perUnit.begin(), perUnit.end());
        out << "  per DelayMs unit:  " << number(*lo);
        if (*hi != *lo) {
            out << " .. " << number(*hi);
        }
        out << " instructions (" << perUnit.size() << " calls)\n";
        if (auto zero = delayOfZero(image, delayMs->address)) {
            out << "  DelayMs(0):  " << *zero << " instructions\n";
        }
    } else {
        out << "  per DelayMs unit:  no completed DelayMs call seen\n";
        complete = false;
    }

    const auto phases = ledPhases(events);
    std::vector<uint64_t> periods;
    for (size_t i = 0; i + 1 < phases.size(); ++i) {
        if (!phases[i].high && loopStart && phases[i].start >= *loopStart) {
            const LedPhase& low = phases[i];
            const LedPhase& high = phases[i + 1];
            periods.push_back(low.length() + high.length());
            if (periods.size() == 1) {
                out << "  heartbeat: LED low " << low.length() << ", high " << high.length() << " instructions\n";
            }
        }
    }
    if (!periods.empty()) {
        const auto [lo, hi] = std::minmax_element(periods.begin(), periods.end());
        out << "  per heartbeat period:  " << *lo;
        if (*hi != *lo) {
            out << " .. " << *hi;
        }
        out << " instructions (" << periods.size() << " periods)\n";
    } else {
        out << "  per heartbeat period:  no complete LED period seen\n";
        complete = false;
    }
    return complete;
}

}  // namespace boardsim
