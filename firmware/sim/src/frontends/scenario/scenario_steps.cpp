#include "frontends/scenario/scenario_steps.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <utility>
#include <vector>

#include "frontends/common/lcd_picture.h"
#include "machine/pin_names.h"
#include "frontends/scenario/serial_match.h"
#include "frontends/signal/recording_wav.h"
#include "frontends/signal/signal_figures.h"
#include "machine/lcd_geometry.h"
#include "util/text.h"

namespace boardsim {
namespace {

// What a failed wait-serial shows of the text the UART sent instead.
constexpr size_t kTextShown = 240;
// 8N1: a start bit, eight data bits, a stop bit.
constexpr double kBitsPerByte = 10;
constexpr double kForever = std::numeric_limits<double>::infinity();

std::string formatted(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

#ifdef BOARDSIM_HAVE_PNG
const char* const kPictureType = ".png";
#else
const char* const kPictureType = ".pbm";
#endif

StepResult passed(std::string detail = {}, std::optional<double> at = std::nullopt)
{
    return {true, at, std::move(detail)};
}

// Takes a step's watcher off the board however the step ends: it refers
// to the step's own variables.
template <typename Off>
class Unwatch {
public:
    explicit Unwatch(Off off) : off_(std::move(off)) {}
    ~Unwatch() { off_(); }
    Unwatch(const Unwatch&) = delete;
    Unwatch& operator=(const Unwatch&) = delete;

private:
    Off off_;
};

class StepRunner {
public:
    StepRunner(ScenarioBoard& board, const Step& step, const StepOutputs& outputs)
        : sb_(board), step_(step), outputs_(outputs), startedAt_(board.now())
    {
    }

    StepResult operator()(const DelayStep& delay) const
    {
        const When end = later(delay.length);
        const Ran ran = sb_.runTo(end);
        return ran == Ran::Reached ? passed({}, endTime(end)) : failed(endedEarly(ran, "the delay"));
    }

    StepResult operator()(const WaitSerialStep& wait) const;
    StepResult operator()(const WriteSerialStep& write) const;
    StepResult operator()(const KeyStep& key) const;
    StepResult operator()(const PinStep& pin) const;
    StepResult operator()(const BlinkStep& blink) const;
    StepResult operator()(const LcdStep& lcd) const;
    StepResult operator()(const SignalStep& signal) const;
    StepResult operator()(const SaveSignalStep& save) const;
    StepResult operator()(const SetAinStep& set) const
    {
        board().machine().setAin(set.channel, set.volts);
        return passed();
    }

private:
    using Ran = ScenarioBoard::Ran;

    Board& board() const { return sb_.board(); }

    // A step that ran the board fails where it stopped; one that did not,
    // at the moment the last step ended.
    StepResult failed(std::string detail) const
    {
        return {false, sb_.now() > startedAt_ ? std::optional<double>(sb_.now()) : std::nullopt, std::move(detail)};
    }

    When later(const When& length) const
    {
        if (length.isTime) {
            return When::at(sb_.moment() + length.seconds);
        }
        // A count too large to add is as good as forever: it must not
        // wrap around to a moment already past.
        const uint64_t now = board().instructions();
        const uint64_t left = std::numeric_limits<uint64_t>::max() - now;
        return When::instructions(length.count > left ? std::numeric_limits<uint64_t>::max() : now + length.count);
    }

    // When a step that ran to `end` ended: a count ends where the board is.
    double endTime(const When& end) const { return end.isTime ? end.seconds : sb_.now(); }

    // Why a run ended before what `what` waited for.
    std::string endedEarly(Ran ran, const std::string& what) const
    {
        if (ran == Ran::Fault) {
            return "the board faulted during " + what + ": " + board().fault()->message();
        }
        if (ran == Ran::Interrupted) {
            return "the run stopped during " + what + ": " + sb_.interruption();
        }
        return "the scenario's timeout of " + durationText(sb_.deadline()) + " ran out during " + what;
    }

    // What a wait that timed out says about when it gave up.
    std::string gaveUp(Ran ran, const std::optional<double>& timeout) const
    {
        if (ran == Ran::Deadline || !timeout) {
            return "by the scenario's timeout of " + durationText(sb_.deadline());
        }
        return "within " + durationText(*timeout);
    }

    void settle(const When& target) const
    {
        const Ran ran = sb_.runTo(target);
        if (ran == Ran::Fault) {
            throw BoardError("the board faulted: " + board().fault()->message());
        }
        if (ran == Ran::Interrupted) {
            throw BoardError(endedEarly(ran, "the step"));
        }
    }

    std::string outputFile(const std::string& what) const { return mismatchPicture(outputs_, step_.number, what); }

    bool pinLevel(unsigned pin) const { return ((board().machine().pins().levels() >> pin) & 1u) != 0; }

    StepResult comparePicture(const LcdStep& lcd, const std::vector<uint8_t>& frame) const;
    std::string keepPictures(const std::vector<uint8_t>& frame, const std::vector<uint8_t>* expected) const;

    ScenarioBoard& sb_;
    const Step& step_;
    const StepOutputs& outputs_;
    double startedAt_;
};

StepResult StepRunner::operator()(const WaitSerialStep& wait) const
{
    ScenarioBoard::Received& line = sb_.received(wait.uart);
    SerialMatcher matcher(wait.text, wait.pattern);
    std::optional<SerialMatcher::Match> match = matcher.find(line.text, line.searchFrom);
    Ran ran = Ran::Reached;
    if (!match) {
        const Unwatch unwatch([this] { sb_.watchUart(nullptr); });
        sb_.watchUart([&](int uart) {
            if (uart == wait.uart && !match) {
                match = matcher.find(line.text, line.searchFrom);
                if (match) {
                    sb_.stop();
                }
            }
        });
        ran = sb_.runTo(When::at(wait.timeout ? sb_.moment() + *wait.timeout : kForever));
    }
    if (match) {
        line.searchFrom = match->end;
        // A byte is known when the UART starts sending it: the match is
        // there once the last byte it needed has reached the terminal.
        const double arrived = match->seen > 0 ? line.times.at(match->seen - 1) : 0;
        const double before = sb_.now();
        settle(When::at(arrived));
        return passed({}, std::max(arrived, before));
    }
    if (ran == Ran::Fault || ran == Ran::Interrupted) {
        return failed(endedEarly(ran, "the wait"));
    }
    const std::string uart = "UART" + std::to_string(wait.uart);
    const std::string wanted = wait.pattern ? "nothing matching /" + wait.text + "/" : boardsim::quoted(wait.text) + " not";
    std::string message = wanted + " seen on " + uart + " " + gaveUp(ran, wait.timeout) + "; ";
    const std::string since = line.text.substr(line.searchFrom);
    if (since.empty()) {
        message += uart + " sent nothing";
    } else if (since.size() > kTextShown) {
        message += "the last it sent: ..." + boardsim::quoted(since.substr(since.size() - kTextShown));
    } else {
        message += uart + " sent " + boardsim::quoted(since);
    }
    message += line.searchFrom > 0 ? " after the last match" : "";
    if (line.unreadLetGo > 0) {
        message += " (and " + std::to_string(line.unreadLetGo) + " earlier bytes no wait read, no longer kept)";
    }
    return failed(message);
}

StepResult StepRunner::operator()(const WriteSerialStep& write) const
{
    SerialPort& port = board().machine().serial(write.uart);
    for (const char c : write.text) {
        port.hostSend(uint8_t(c));
    }
    // The step takes the bytes' time on the line, so that the next one
    // finds them in the UART.
    const double end = sb_.now() + double(write.text.size()) * kBitsPerByte / port.terminal().baud();
    const Ran ran = sb_.runTo(When::at(end));
    return ran == Ran::Reached ? passed({}, end) : failed(endedEarly(ran, "the bytes' time on the line"));
}

StepResult StepRunner::operator()(const KeyStep& key) const
{
    Keypad& keypad = board().machine().keypad();
    const std::string name = "KEY_" + std::to_string(key.key);
    const bool held = keypad.held(key.key);
    const double start = sb_.moment();
    if (key.action == KeyStep::Release) {
        if (!held) {
            return failed(name + " is not held: release lets go of a key a hold step pressed");
        }
        keypad.release(key.key, When::at(start));
    } else if (held) {
        return failed(name + " is still held from a hold step: release it first");
    } else {
        keypad.hold(key.key, When::at(start));
    }
    double settled = start;
    if (key.action == KeyStep::Press) {
        const When up = key.length.isTime ? When::at(start + key.length.seconds) : later(key.length);
        keypad.release(key.key, up);
        const Ran ran = sb_.runTo(up);
        if (ran != Ran::Reached) {
            return failed(endedEarly(ran, "the press"));
        }
        if (keypad.held(key.key)) {
            settle(When::instructions(board().instructions() + 1));  // the release due now
        }
        settled = endTime(up);
    }
    // Until the contacts have settled, so that the next step sees the key
    // as it now is.
    settled += sb_.bounce();
    const Ran ran = sb_.runTo(When::at(settled));
    return ran == Ran::Reached ? passed({}, settled) : failed(endedEarly(ran, "the contacts' bounce"));
}

StepResult StepRunner::operator()(const PinStep& pin) const
{
    const std::string name = describePin(pin.pin);
    const char* const wanted = pin.level ? "1" : "0";
    if (pinLevel(pin.pin) == pin.level) {
        return passed();
    }
    if (!pin.wait) {
        return failed(name + " is " + (pin.level ? "0" : "1") + ", expected " + wanted);
    }
    std::optional<double> reached;
    const Unwatch unwatch([this] { sb_.watchPins(nullptr); });
    sb_.watchPins([&](unsigned changed, bool level, double time) {
        if (changed == pin.pin && level == pin.level && !reached) {
            reached = time;
            sb_.stop();
        }
    });
    const Ran ran = sb_.runTo(When::at(pin.timeout ? sb_.moment() + *pin.timeout : kForever));
    pinLevel(pin.pin);  // a change handed over ahead, up to now, is heard too
    if (reached) {
        return passed({}, reached);
    }
    if (ran == Ran::Fault || ran == Ran::Interrupted) {
        return failed(endedEarly(ran, "the wait"));
    }
    return failed(name + " did not become " + wanted + " " + gaveUp(ran, pin.timeout) + ": it stayed " +
                  (pin.level ? "0" : "1"));
}

StepResult StepRunner::operator()(const BlinkStep& blink) const
{
    const std::string name = describePin(blink.pin);
    std::vector<std::pair<double, bool>> edges;
    const bool first = pinLevel(blink.pin);
    const Unwatch unwatch([this] { sb_.watchPins(nullptr); });
    sb_.watchPins([&](unsigned changed, bool level, double time) {
        if (changed == blink.pin) {
            edges.emplace_back(time, level);
        }
    });
    const double end = sb_.moment() + blink.over;
    const Ran ran = sb_.runTo(When::at(end));
    pinLevel(blink.pin);
    if (ran != Ran::Reached) {
        return failed(endedEarly(ran, "the measurement"));
    }
    std::vector<double> rises;
    for (const auto& [time, level] : edges) {
        if (level) {
            rises.push_back(time);
        }
    }
    const std::string over = durationText(blink.over);
    if (rises.size() < 2) {
        const bool last = edges.empty() ? first : edges.back().second;
        return failed(name + " did not blink: " + std::to_string(edges.size()) + " change" +
                      (edges.size() == 1 ? "" : "s") + " in " + over + ", " + (last ? "high" : "low") + " at the end");
    }
    // Whole periods only: from the first rise to the last.
    const double span = rises.back() - rises.front();
    double high = 0;
    for (size_t i = 0; i + 1 < edges.size(); ++i) {
        if (edges[i].second && !edges[i + 1].second && edges[i + 1].first <= rises.back()) {
            high += edges[i + 1].first - edges[i].first;
        }
    }
    const double hz = double(rises.size() - 1) / span;
    const double duty = high / span;
    const std::string seen = frequencyText(hz) + ", duty " + formatted("%.1f%%", duty * 100);
    const bool hzOk = std::fabs(hz - blink.hz) <= blink.tolerance * blink.hz;
    const bool dutyOk = !blink.duty || std::fabs(duty - *blink.duty) <= blink.tolerance * *blink.duty;
    if (hzOk && dutyOk) {
        return passed(seen, end);
    }
    std::string expected = formatted("%g Hz", blink.hz);
    if (blink.duty) {
        expected += ", duty " + formatted("%g%%", *blink.duty * 100);
    }
    return failed(name + " blinks at " + seen + " over " + over + ", expected " + expected + " within " +
                  formatted("%g%%", blink.tolerance * 100));
}

StepResult StepRunner::operator()(const LcdStep& lcd) const
{
    const std::vector<uint8_t> frame = board().lcdFrame();
    const std::string why = board().lcdWhyBlank();
    const std::string nothing = why.empty() ? "" : "the LCD shows nothing: " + why;
    static const std::vector<uint8_t> kBlank(kLcdFrameBytes, 0);
    switch (lcd.action) {
    case LcdStep::Save:
        writeLcdPicture(frame, lcd.path);
        return passed(nothing);
    case LcdStep::ExpectBlank:
        if (lcdBlank(frame)) {
            return passed(nothing);
        }
        return failed("the LCD shows " + std::to_string(lcdDifference(kBlank, frame).pixels) +
                      " dark pixels, expected blank; " + keepPictures(frame, nullptr));
    case LcdStep::ExpectPicture: break;
    }
    return comparePicture(lcd, frame);
}

StepResult StepRunner::comparePicture(const LcdStep& lcd, const std::vector<uint8_t>& frame) const
{
    const LcdDifference difference = lcdDifference(lcd.expected, frame);
    if (difference.pixels == 0) {
        return passed();
    }
    std::string message = "the LCD differs from " + lcd.shownPath + " in " + std::to_string(difference.pixels) +
                          " pixel" + (difference.pixels == 1 ? "" : "s") + " (the first at x " +
                          std::to_string(difference.firstX) + ", y " + std::to_string(difference.firstY) + ")";
    const std::string why = board().lcdWhyBlank();
    if (!why.empty()) {
        message += "; it shows nothing: " + why;
    }
    return failed(message + "; " + keepPictures(frame, &lcd.expected));
}

// Writes what the glass showed (and, against a picture, where it differs)
// and says where; a picture that cannot be written is said too, and the
// step fails all the same for what it saw.
std::string StepRunner::keepPictures(const std::vector<uint8_t>& frame, const std::vector<uint8_t>* expected) const
{
    const std::string actual = outputFile("actual");
    std::string said;
    try {
        writeLcdPicture(frame, actual);
        said = "the glass as it was: " + actual;
        if (expected != nullptr) {
            const std::string diff = outputFile("diff");
            writeLcdDifference(*expected, frame, diff);
            said += ", the difference (red: dark in the picture, light on the glass; blue: the other way): " + diff;
        }
    } catch (const std::exception& e) {
        said += std::string(said.empty() ? "" : "; ") + "no picture of it: " + e.what();
    }
    return said;
}

StepResult StepRunner::operator()(const SignalStep& signal) const
{
    const std::string name = std::string("DAC output ") + Tlv5618::outputName(signal.output);
    const double start = sb_.moment();
    const double end = start + signal.over;
    const Ran ran = sb_.runTo(When::at(end));
    board().machine().pins().catchUp();  // a word whose last edge is due by now
    if (ran != Ran::Reached) {
        return failed(endedEarly(ran, "the measurement"));
    }
    const SignalFigures f = measureSignal(sb_.dac()->output(signal.output), signal.output, start, end);
    const std::string seen = signalSummary(f);
    const std::string over = " over " + durationText(signal.over);
    if (f.updates == 0) {
        return failed("no word set " + name + over);
    }
    if (!f.frequencyHz) {
        return failed(name + " has no period" + over + ": " + f.note + " (" + seen + ")");
    }
    std::vector<std::string> wrong;
    if (std::fabs(*f.frequencyHz - signal.hz) > signal.tolerance * signal.hz) {
        wrong.push_back(formatted("%.6g Hz", *f.frequencyHz) + ", expected " + formatted("%g Hz", signal.hz) +
                        " within " + formatted("%g%%", signal.tolerance * 100));
    }
    if (signal.min && f.minVolts < *signal.min) {
        wrong.push_back(formatted("down to %.4f V", f.minVolts) + ", below the " + formatted("%g V", *signal.min) +
                        " expected at least");
    }
    if (signal.max && f.maxVolts > *signal.max) {
        wrong.push_back(formatted("up to %.4f V", f.maxVolts) + ", above the " + formatted("%g V", *signal.max) +
                        " expected at most");
    }
    if (signal.sfdr && !f.spectrum.measured) {
        wrong.push_back("no SFDR: " + f.spectrum.note);
    } else if (signal.sfdr && f.spectrum.sfdr_dbc < *signal.sfdr) {
        wrong.push_back(formatted("SFDR %.2f dBc", f.spectrum.sfdr_dbc) + ", below the " +
                        formatted("%g dBc", *signal.sfdr) + " expected at least");
    }
    if (wrong.empty()) {
        return passed(seen, end);
    }
    std::string message = name + over + ": ";
    for (size_t i = 0; i < wrong.size(); ++i) {
        message += (i == 0 ? "" : "; ") + wrong[i];
    }
    return failed(message + " (" + seen + ")");
}

StepResult StepRunner::operator()(const SaveSignalStep& save) const
{
    board().machine().pins().catchUp();
    const double now = sb_.moment();
    const double from = save.last ? std::max(0.0, now - *save.last) : 0.0;
    writeRecordingWav(*sb_.dac(), save.path, save.rate, from, now);
    return passed();
}

}  // namespace

std::string mismatchPicture(const StepOutputs& outputs, int step, const std::string& what)
{
    return (std::filesystem::path(outputs.folder) /
            (outputs.prefix + "-step" + std::to_string(step) + "-" + what + kPictureType))
        .string();
}

std::string frequencyText(double hz)
{
    // Two decimals, and at least four digits that count: a slow blink's
    // 0.1667 Hz is not 0.17 Hz.
    const int decimals = hz > 0 && std::isfinite(hz) ? std::max(2, 3 - int(std::floor(std::log10(hz)))) : 2;
    char text[64];
    std::snprintf(text, sizeof text, "%.*f Hz", std::min(decimals, 12), hz);
    return text;
}

StepResult runStep(ScenarioBoard& board, const Step& step, const StepOutputs& outputs)
{
    return std::visit(StepRunner(board, step, outputs), step.action);
}

}  // namespace boardsim
